#include "app/workflows/browser_tabs.h"

#include "app/services/firefox_profiles.h"
#include "app/services/firefox_session.h"
#include "core/workflow_plan.h"

#include <algorithm>
#include <iostream>

namespace kavelo::BrowserTabs {

bool isScriptableIdentifier(std::string_view bundleID)
{
    return !bundleID.empty() && std::all_of(bundleID.begin(), bundleID.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    });
}

std::string script(std::string_view bundleID)
{
    const std::string_view privateTest =
        bundleID == safari ? std::string_view() : std::string_view("if (mode of w) is \"incognito\" then error number 1\n");
    std::string out = "tell application id \"";
    out += bundleID;
    out += "\"\n    set found to {}\n    repeat with w in windows\n        try\n            ";
    out += privateTest;
    out += "\n            repeat with t in tabs of w\n                set end of found to URL of t\n            end repeat\n"
           "        end try\n    end repeat\n    return found\nend tell";
    return out;
}

std::optional<std::vector<std::string>> read(BrowserScripting& browsers, std::string_view bundleID)
{
    if (!isScriptableIdentifier(bundleID))
        return std::nullopt;
    const auto items = browsers.run(script(bundleID));
    if (!items)
        return std::nullopt;
    std::vector<std::string> out;
    for (const auto& item : *items)
        if (item)
            out.push_back(*item);
    return out;
}

bool isFirefox(std::string_view bundleID) { return bundleID == "firefox" || bundleID == "firefox-esr"; }

void logToStandardError(const std::string& problem) { std::cerr << "kavelo: " << problem << '\n'; }

FirefoxRead firefoxRead(const std::vector<RunningApp>& running, std::string_view bundleID)
{
    std::string problem;
    FirefoxRead out{.bundleID = std::string(bundleID), .base = FirefoxProfiles::base(&problem)};
    for (const RunningApp& app : running)
        if (app.bundleID == bundleID)
            out.pids.insert(app.pid);
    if (!problem.empty())
        out.baseProblem = std::move(problem);
    return out;
}

std::optional<std::vector<std::string>> logged(FirefoxTabs tabs, const Log& log)
{
    for (const std::string& problem : tabs.problems)
        log(problem);
    return std::move(tabs.addresses);
}

FirefoxTabs read(const FirefoxRead& request)
{
    FirefoxTabs out{.bundleID = request.bundleID};
    if (request.baseProblem)
        out.problems.push_back(request.bundleID + ": " + *request.baseProblem);
    std::string unlisted;
    const auto profiles = request.base ? FirefoxProfiles::inUse(*request.base, request.pids, &unlisted)
                                       : std::vector<std::filesystem::path>{};
    if (profiles.empty()) {
        out.problems.push_back(request.bundleID + ": no profile of the running Firefox found" +
                               (unlisted.empty() ? std::string() : " (" + unlisted + ")"));
        return out;
    }
    for (const auto& profile : profiles) {
        const auto file = FirefoxSession::recoveryFile(profile);
        std::string problem;
        if (!FirefoxProfiles::isOwn(file)) {
            out.problems.push_back(request.bundleID + ": " + file.string() + " is not the user's own");
            continue;
        }
        if (const auto windows = FirefoxSession::read(file, &problem)) {
            auto addresses = FirefoxSession::addresses(*windows);
            if (!out.addresses)
                out.addresses.emplace();
            out.addresses->insert(out.addresses->end(), addresses.begin(), addresses.end());
        } else {
            out.problems.push_back(request.bundleID + ": " + file.string() + ": " + problem);
        }
    }
    return out;
}

std::optional<std::vector<std::string>> read(const Platform& platform, std::string_view bundleID, const Log& log)
{
    if (isFirefox(bundleID))
        return logged(read(firefoxRead(platform.workspace.runningApps(), bundleID)), log);
    return read(platform.browsers, bundleID);
}

std::vector<std::vector<std::string>> firefoxCommands(const std::vector<std::string>& program,
                                                      const std::vector<std::string>& urls)
{
    if (program.empty() || urls.empty())
        return {};
    // One address opens in a tab of a running Firefox unless a new window
    // is asked for; several open together in a new window.
    std::vector<std::string> line = program;
    if (urls.size() == 1)
        line.push_back("--new-window");
    line.insert(line.end(), urls.begin(), urls.end());
    return {line};
}

Capture startCapture(const Platform& platform, bool includingSafari)
{
    const std::vector<RunningApp> running = platform.workspace.runningApps();
    Capture out;
    for (std::string_view browser : supported) {
        if (browser == safari && !includingSafari)
            continue;
        const bool runs = std::any_of(running.begin(), running.end(),
                                      [&](const RunningApp& app) { return app.bundleID == browser; });
        if (!runs)
            continue;
        if (isFirefox(browser)) {
            out.firefox.push_back(firefoxRead(running, browser));
            continue;
        }
        const auto tabs = read(platform.browsers, browser);
        if (std::vector<std::string> kept = WorkflowPlan::keepable(tabs.value_or(std::vector<std::string>{}));
            !kept.empty())
            out.tabs.emplace(std::string(browser), std::move(kept));
    }
    return out;
}

std::map<std::string, std::vector<std::string>> finishCapture(Capture capture, std::vector<FirefoxTabs> firefox,
                                                              const Log& log)
{
    for (FirefoxTabs& tabs : firefox) {
        const std::string browser = tabs.bundleID;
        const auto addresses = logged(std::move(tabs), log);
        if (std::vector<std::string> kept = WorkflowPlan::keepable(addresses.value_or(std::vector<std::string>{}));
            !kept.empty())
            capture.tabs.emplace(browser, std::move(kept));
    }
    return std::move(capture.tabs);
}

std::map<std::string, std::vector<std::string>> captureRunning(const Platform& platform, bool includingSafari,
                                                               const Log& log)
{
    Capture capture = startCapture(platform, includingSafari);
    std::vector<FirefoxTabs> firefox;
    for (const FirefoxRead& request : capture.firefox)
        firefox.push_back(read(request));
    return finishCapture(std::move(capture), std::move(firefox), log);
}

} // namespace kavelo::BrowserTabs
