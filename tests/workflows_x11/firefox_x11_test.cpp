// A real Firefox: a window with two tabs saved into a workflow from its
// session file, Firefox closed, and the workflow bringing the two tabs back
// in a new window through Firefox's own command line.

#include "app/platform/desktop_entry.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/firefox_profiles.h"
#include "app/services/firefox_session.h"
#include "app/services/preferences.h"
#include "app/services/process_launcher.h"
#include "app/services/user_defaults.h"
#include "app/shell/workflows.h"
#include "core/workflow_plan.h"
#include "services/temp_home.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct NoToast : Toast {
    void show(std::string, std::string) override {}
};
struct NoPanels : WorkflowPanels {
    std::optional<std::string> askWorkflowName() override { return std::nullopt; }
    std::optional<fs::path> chooseExportFile(const std::string&) override { return std::nullopt; }
    std::optional<fs::path> chooseImportFile() override { return std::nullopt; }
};

// Nothing listens there: Firefox shows its error page and keeps the address.
const std::string first = "http://127.0.0.1:9/kavelo-first";
const std::string second = "http://127.0.0.1:9/kavelo-second";

// A session bus of the test's own: Firefox hands a second command line to
// the running one over it.
class SessionBus {
public:
    SessionBus()
    {
        FILE* out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!out)
            return;
        char line[512];
        if (std::fgets(line, sizeof line, out))
            address_ = std::string(line).substr(0, std::string(line).find('\n'));
        if (std::fgets(line, sizeof line, out))
            pid_ = std::atoi(line);
        ::pclose(out);
        if (!address_.empty())
            ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    }
    ~SessionBus()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    bool running() const { return pid_ > 0 && !address_.empty(); }

private:
    std::string address_;
    pid_t pid_ = 0;
};

class FirefoxX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!findProgram("firefox-esr")) {
            if (std::getenv("CI"))
                FAIL() << "firefox-esr is not installed";
            GTEST_SKIP() << "firefox-esr is not installed";
        }
        std::string error;
        if (!session.start({}, &error)) {
            if (std::getenv("CI"))
                FAIL() << "no X server: " << error;
            GTEST_SKIP() << "no X server: " << error;
        }
        ASSERT_TRUE(bus.running());
        ::setenv("DISPLAY", session.display().c_str(), 1);
        // The profile written here, not one Firefox makes per install; saved
        // every second.
        ::setenv("MOZ_LEGACY_PROFILES", "1", 1);
        profile = home.root() / ".mozilla/firefox/kavelo.default";
        fs::create_directories(profile);
        std::ofstream(home.root() / ".mozilla/firefox/profiles.ini")
            << "[Profile0]\nName=kavelo\nIsRelative=1\nPath=kavelo.default\nDefault=1\n\n"
               "[General]\nStartWithLastProfile=1\nVersion=2\n";
        std::ofstream(profile / "user.js") << "user_pref(\"browser.sessionstore.interval\", 1000);\n"
                                              "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                                              "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                                              "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                                              "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n";
        x11 = X11Desktop::connect(session.display(), &error);
        ASSERT_TRUE(x11) << error;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home.paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
        workflows = std::make_unique<Workflows>(*desktop, toast, panels, Workflows::folder(home.paths()));
        workflows->launcher = &launcher;
    }
    void TearDown() override
    {
        endFirefox();
        workflows.reset();
        desktop.reset();
        preferences.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        ::unsetenv("MOZ_LEGACY_PROFILES");
    }

    // The web addresses of every window Firefox has written, once they
    // match (a Firefox that starts adds its own start page).
    bool sessionShows(const std::vector<std::vector<std::string>>& wanted)
    {
        return test::waitFor(
            [&] {
                const auto windows = FirefoxSession::read(FirefoxSession::recoveryFile(profile));
                if (!windows)
                    return false;
                std::vector<std::vector<std::string>> got;
                for (const auto& w : *windows)
                    if (auto web = WorkflowPlan::keepable(FirefoxSession::addresses({w})); !web.empty())
                        got.push_back(std::move(web));
                last = got;
                return got == wanted;
            },
            40s, [&] { x11->processEvents(); });
    }
    std::vector<std::vector<std::string>> last;
    bool firefoxRuns()
    {
        for (const auto& app : x11->workspace().runningApps())
            if (app.bundleID == "firefox-esr")
                return true;
        return false;
    }
    void endFirefox()
    {
        if (const auto pid = FirefoxProfiles::lockHolder(profile)) {
            ::kill(*pid, SIGTERM);
            test::waitFor([&] { return ::kill(*pid, 0) != 0 || !FirefoxProfiles::lockHolder(profile); }, 20s,
                          [] {});
        }
    }

    test::TempHome home;
    test::X11Session session;
    SessionBus bus;
    fs::path profile;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
    NoToast toast;
    NoPanels panels;
    DetachedLauncher launcher;
    std::unique_ptr<Workflows> workflows;
};

TEST_F(FirefoxX11, AWindowOfTwoTabsIsSavedAndReopened)
{
    session.launch({"firefox-esr", first, second});
    ASSERT_TRUE(sessionShows({{first, second}}));
    ASSERT_TRUE(test::waitFor([&] { return firefoxRuns(); }, 20s, [&] { x11->processEvents(); }));

    workflows->save("Reading", "d");
    const auto saved = workflows->store().load("Reading");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->tabs, (std::map<std::string, std::vector<std::string>>{{"firefox-esr", {first, second}}}));

    endFirefox();
    ASSERT_TRUE(test::waitFor([&] { return !firefoxRuns(); }, 20s, [&] { x11->processEvents(); }));
    // Only the new Firefox can write it again.
    fs::remove_all(profile / "sessionstore-backups");
    fs::remove(profile / "sessionstore.jsonlz4");
    workflows->switchTo("Reading");
    EXPECT_EQ(workflows->message(), std::nullopt);
    EXPECT_TRUE(sessionShows({{first, second}})) << ::testing::PrintToString(last);
}

} // namespace
} // namespace kavelo::testing
