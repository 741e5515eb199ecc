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
#include "app/workflows/workflows.h"
#include "core/workflow_plan.h"
#include "services/temp_home.h"
#include "support/seen.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <thread>

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

// A web server of the test's own, answering every request with a small
// page: a tab whose page fails to load may be recorded as a blank one.
// Each connection is served on its own, so that one Firefox opens ahead and
// leaves silent holds up no other.
class WebServer {
public:
    WebServer()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                const int client = ::accept(listener_, nullptr, nullptr);
                if (client < 0)
                    return;
                const timeval patience{5, 0};
                ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
                served_.emplace_back([this, client] { serve(client); });
            }
        });
    }
    ~WebServer()
    {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        if (thread_.joinable())
            thread_.join();
        for (auto& t : served_)
            t.join();
    }
    std::string url(std::string_view path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + std::string(path);
    }
    int requests() const { return requests_; }

private:
    void serve(int client)
    {
        char request[4096];
        if (::recv(client, request, sizeof request, 0) > 0) {
            ++requests_;
            const std::string_view page = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                                          "<!doctype html><title>Kavelo</title><p>Kavelo";
            [[maybe_unused]] auto m = ::send(client, page.data(), page.size(), MSG_NOSIGNAL);
        }
        ::close(client);
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> requests_{0};
    std::thread thread_;
    std::vector<std::thread> served_;   // by the accepting thread alone
};

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
        // The profile written here, not one Firefox makes per install.
        ::setenv("MOZ_LEGACY_PROFILES", "1", 1);
        profile = home.root() / ".mozilla/firefox/kavelo.default";
        fs::create_directories(profile);
        std::ofstream(home.root() / ".mozilla/firefox/profiles.ini")
            << "[Profile0]\nName=kavelo\nIsRelative=1\nPath=kavelo.default\nDefault=1\n\n"
               "[General]\nStartWithLastProfile=1\nVersion=2\n";
        // Its session saved every second, also once the display has had no
        // input for minutes (otherwise hourly). Firefox saves from an idle
        // callback, after the idle work of its start: on a starved machine,
        // long after its window shows. Less to do until then: one content
        // process, and none of the services that call home.
        std::ofstream(profile / "user.js")
            << "user_pref(\"browser.sessionstore.interval\", 1000);\n"
               "user_pref(\"browser.sessionstore.interval.idle\", 1000);\n"
               "user_pref(\"browser.sessionstore.idleDelay\", 86400);\n"
               "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
               "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n"
               "user_pref(\"browser.startup.page\", 0);\n"
               "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
               "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
               "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
               "user_pref(\"fission.autostart\", false);\n"
               "user_pref(\"dom.ipc.processCount\", 1);\n"
               "user_pref(\"dom.ipc.processPrelaunch.enabled\", false);\n"
               "user_pref(\"app.update.enabled\", false);\n"
               "user_pref(\"app.normandy.enabled\", false);\n"
               "user_pref(\"extensions.update.enabled\", false);\n"
               "user_pref(\"browser.search.update\", false);\n"
               "user_pref(\"browser.safebrowsing.malware.enabled\", false);\n"
               "user_pref(\"browser.safebrowsing.phishing.enabled\", false);\n"
               "user_pref(\"browser.safebrowsing.downloads.enabled\", false);\n"
               "user_pref(\"datareporting.healthreport.uploadEnabled\", false);\n"
               "user_pref(\"toolkit.telemetry.enabled\", false);\n"
               "user_pref(\"network.captive-portal-service.enabled\", false);\n"
               "user_pref(\"network.connectivity-service.enabled\", false);\n";
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
    // match (a Firefox that starts adds its own start page). Firefox starts
    // from nothing each time: up to a few seconds of processor.
    test::Waited sessionShows(const std::vector<std::vector<std::string>>& wanted)
    {
        last.reset();
        return test::waitFor(
            [&] {
                std::string problem;
                const auto windows = FirefoxSession::read(FirefoxSession::recoveryFile(profile), &problem);
                if (!windows) {
                    last = problem;
                    return false;
                }
                std::vector<std::vector<std::string>> got;
                for (const auto& w : *windows)
                    if (auto web = WorkflowPlan::keepable(FirefoxSession::addresses({w})); !web.empty())
                        got.push_back(std::move(web));
                last = ::testing::PrintToString(got);
                return got == wanted;
            },
            test::startDeadline, [&] { x11->processEvents(); });
    }
    bool firefoxRuns()
    {
        for (const auto& app : x11->workspace().runningApps())
            if (app.bundleID == "firefox-esr")
                return true;
        return false;
    }
    // The Firefox holding the profile: the workflow's is no child of ours.
    std::optional<pid_t> holder() const
    {
        const auto pid = FirefoxProfiles::lockHolder(profile);
        if (!pid)
            return std::nullopt;
        // A lock left behind may name a process that is now another program.
        std::error_code error;
        const auto program = fs::read_symlink("/proc/" + std::to_string(*pid) + "/exe", error);
        if (error || program.filename().string().find("firefox") == std::string::npos)
            return std::nullopt;
        return *pid;
    }
    void endFirefox()
    {
        if (const auto pid = holder()) {
            ::kill(*pid, SIGTERM);
            test::waitFor([&] { return ::kill(*pid, 0) != 0; }, test::answerDeadline);
        }
    }
    // What a give-up says of Firefox.
    std::string firefoxSeen() const
    {
        std::string out = "profile ";
        if (const auto pid = holder())
            out += "held by " + test::describeProcess(*pid);
        else
            out += "not held";
        out += "; session file " + test::describeFile(FirefoxSession::recoveryFile(profile));
        if (last)
            out += ", last read as " + *last;
        return out + "; " + std::to_string(web.requests()) + " pages served";
    }
    std::optional<std::string> last;   // what the session file last read as

    test::TempHome home;
    WebServer web;
    const std::string first = web.url("kavelo-first");
    const std::string second = web.url("kavelo-second");
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
    test::Witness witness{"Firefox", [this] { return firefoxSeen(); }};
};

TEST_F(FirefoxX11, AWindowOfTwoTabsIsSavedAndReopened)
{
    const pid_t started = session.launch({"firefox-esr", first, second});
    ASSERT_TRUE(sessionShows({{first, second}}));
    ASSERT_TRUE(test::waitFor([&] { return firefoxRuns(); }, test::answerDeadline, [&] { x11->processEvents(); }));

    workflows->save("Reading", "d");
    workflows->waitForTabs();
    scheduler.runPending();
    const auto saved = workflows->store().load("Reading");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->tabs, (std::map<std::string, std::vector<std::string>>{{"firefox-esr", {first, second}}}));

    // Quit as a user quits, then gone for good with every process of it,
    // before the workflow starts it anew.
    ::kill(started, SIGTERM);
    test::waitFor([&] { return !holder(); }, test::answerDeadline);
    session.terminate(started);
    ASSERT_TRUE(test::waitFor([&] { return !firefoxRuns(); }, test::answerDeadline, [&] { x11->processEvents(); }));
    // Only the new Firefox can write it again.
    fs::remove_all(profile / "sessionstore-backups");
    fs::remove(profile / "sessionstore.jsonlz4");
    workflows->switchTo("Reading");
    EXPECT_EQ(workflows->message(), std::nullopt);
    EXPECT_TRUE(sessionShows({{first, second}}));
}

} // namespace
} // namespace kavelo::testing
