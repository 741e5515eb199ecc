#include "app/workflows/browser_tabs.h"

#include "core/workflow_plan.h"

#include <algorithm>

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

std::map<std::string, std::vector<std::string>> captureRunning(const Platform& platform, bool includingSafari)
{
    const std::vector<RunningApp> running = platform.workspace.runningApps();
    std::map<std::string, std::vector<std::string>> out;
    for (std::string_view browser : supported) {
        if (browser == safari && !includingSafari)
            continue;
        const bool runs = std::any_of(running.begin(), running.end(),
                                      [&](const RunningApp& app) { return app.bundleID == browser; });
        if (!runs)
            continue;
        std::vector<std::string> kept = WorkflowPlan::keepable(read(platform.browsers, browser).value_or(std::vector<std::string>{}));
        if (!kept.empty())
            out.emplace(std::string(browser), std::move(kept));
    }
    return out;
}

} // namespace kavelo::BrowserTabs
