#pragma once

// The web pages open in the user's browsers: Firefox's from the session
// file of the profile it runs with, the others' through the platform's
// browser scripting. Private windows are skipped. A browser that does not
// run is never asked, so nothing is launched by a capture.

#include "app/platform/platform.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo::BrowserTabs {

inline constexpr std::string_view safari = "com.apple.Safari";
// Firefox's identifier as its windows name it on X11, under which its tabs
// are kept.
inline constexpr std::string_view firefox = "firefox";

// In capture order; Safari only when asked for.
inline constexpr std::array<std::string_view, 7> supported{safari,
                                                           "com.google.Chrome",
                                                           "company.thebrowser.Browser",
                                                           "com.brave.Browser",
                                                           "com.microsoft.edgemac",
                                                           firefox,
                                                           "firefox-esr"};

// Firefox as its windows name it on X11.
bool isFirefox(std::string_view bundleID);

// Why a browser's tabs could not be read; the capture goes on without them.
using Log = std::function<void(const std::string&)>;
void logToStandardError(const std::string& problem);

// Whether `bundleID` may be pasted into a script: letters, digits, "." and
// "-" only. Workflow files are user input.
bool isScriptableIdentifier(std::string_view bundleID);

// The script that lists the tab addresses of every window of the browser,
// each window in its own try block so that a private one (or any failing
// one) is skipped alone.
std::string script(std::string_view bundleID);

// The addresses of all tabs of the browser, window by window; no value when
// the script cannot run or fails, or the identifier is not a plain one.
std::optional<std::vector<std::string>> read(BrowserScripting& browsers, std::string_view bundleID);

// The same for any supported browser: Firefox's from the session files of
// the profiles its running processes hold; no value when none reads.
std::optional<std::vector<std::string>> read(const Platform& platform, std::string_view bundleID,
                                             const Log& log = logToStandardError);

// The web addresses of every supported browser that runs, by bundle
// identifier; a browser with none is left out.
std::map<std::string, std::vector<std::string>> captureRunning(const Platform& platform, bool includingSafari,
                                                               const Log& log = logToStandardError);

// Firefox's tabs come from files, which a large session makes slow to read:
// a read is a plain value that may run on any thread.
struct FirefoxRead {
    std::string bundleID;
    // Where "profiles.ini" lives; none without a home.
    std::optional<std::filesystem::path> base;
    // The processes of this Firefox.
    std::set<std::int32_t> pids;
    // Why a folder where profiles live could not be looked into.
    std::optional<std::string> baseProblem;
};

struct FirefoxTabs {
    std::string bundleID;
    // None when no profile's session file reads.
    std::optional<std::vector<std::string>> addresses;
    // Why files could not be read, for the caller's log.
    std::vector<std::string> problems;
};

// The read of the Firefox `bundleID` among the running programs.
FirefoxRead firefoxRead(const std::vector<RunningApp>& running, std::string_view bundleID);
FirefoxTabs read(const FirefoxRead& request);
// The addresses a read found, its problems logged.
std::optional<std::vector<std::string>> logged(FirefoxTabs tabs, const Log& log);

// A capture in two steps, so that Firefox's files can be read elsewhere:
// the scripted browsers are asked at once, and the Firefox reads are left.
struct Capture {
    std::map<std::string, std::vector<std::string>> tabs;
    std::vector<FirefoxRead> firefox;
};
Capture startCapture(const Platform& platform, bool includingSafari);
// The capture with the results of its Firefox reads; their problems are
// logged.
std::map<std::string, std::vector<std::string>> finishCapture(Capture capture, std::vector<FirefoxTabs> firefox,
                                                              const Log& log = logToStandardError);

// The command lines that reopen `urls` in Firefox, in one new window:
// `program` is how Firefox is started (its desktop entry's command).
std::vector<std::vector<std::string>> firefoxCommands(const std::vector<std::string>& program,
                                                      const std::vector<std::string>& urls);

} // namespace kavelo::BrowserTabs
