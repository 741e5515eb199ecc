#pragma once

// The switcher over the X11 backend, against a private Xvfb with openbox in
// its test configuration (no key bindings, so Alt-Tab is ours), three stock
// clients and a witness window of the test's own that records every key it
// is sent. Keys are typed through XTest as a person types them (each held
// for tens of milliseconds, every event on its own); the backend's events
// and the queued work run while the typist waits.

#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/mouse_button_trigger.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"
#include "app/switcher/switcher_controller.h"
#include "services/temp_home.h"
#include "support/person_keys.h"
#include "support/x11_session.h"
#include "x11_switcher/x11_switcher_environment.h"

#include <xcb/xcb.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavelo::testing {

using namespace std::chrono_literals;

// A missing X server fails the suite on CI and skips it elsewhere.
inline bool onCI() { return std::getenv("CI") != nullptr; }

// A stock client that records the keys the server sends it: xev, writing
// every key event it gets to a file of the test's.
class Witness {
public:
    bool open(test::X11Session& session)
    {
        char pattern[] = "/tmp/kavelo-witness-XXXXXX";
        if (!::mkdtemp(pattern))
            return false;
        folder_ = pattern;
        const std::string log = folder_ + "/keys";
        pid_ = session.launch({"sh", "-c", "exec xev -event keyboard -name witness -geometry 320x200+900+500 > " + log});
        return pid_ > 0;
    }
    ~Witness()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // The server key codes pressed since the last `forget`, in order.
    std::vector<int> pressed()
    {
        std::ifstream in(folder_ + "/keys");
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<int> out;
        std::size_t at = skip_;
        for (;;) {
            const std::size_t event = all.find("KeyPress event", at);
            if (event == std::string::npos)
                break;
            const std::size_t code = all.find("keycode ", event);
            if (code == std::string::npos)
                break;
            out.push_back(std::atoi(all.c_str() + code + 8));
            at = code;
        }
        return out;
    }
    void forget()
    {
        std::ifstream in(folder_ + "/keys", std::ios::ate);
        skip_ = in ? std::size_t(in.tellg()) : 0;
    }

private:
    std::string folder_;
    pid_t pid_ = -1;
    std::size_t skip_ = 0;
};

struct RecordedPanel : SwitcherPanel {
    void show(const Rect& frame) override
    {
        frames.push_back(frame);
        shown = true;
    }
    void orderOut() override { shown = false; }
    bool isShown() const override { return shown; }
    std::vector<Rect> frames;
    bool shown = false;
};

class X11SwitcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session = X11SwitcherEnvironment::session();
        witness = X11SwitcherEnvironment::witness();
        if (!session) {
            if (onCI())
                FAIL() << "no X server for the X11 switcher tests: " << X11SwitcherEnvironment::error();
            GTEST_SKIP() << "no X server for the X11 switcher tests: " << X11SwitcherEnvironment::error();
        }
        home = std::make_unique<test::TempHome>();
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home->paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
        typist.emplace(*session, [this] { pump(); });
        trigger = std::make_unique<MouseButtonTrigger>(x11->eventTap(), scheduler, [] { return true; });
        makeController(factory());
        trigger->onKey = [this](TapEventType type, const TapEvent& event) {
            return controller ? controller->handle(type, event) : false;
        };
        ASSERT_TRUE(trigger->start());
        ASSERT_TRUE(until([&] { return witnessWindow().has_value() && stock().size() == 3; }))
            << "the clients are not all managed";
    }

    void TearDown() override
    {
        controller.reset();
        trigger.reset();
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        home.reset();
    }

    virtual SwitcherPanelFactory factory()
    {
        return [this](SwitcherModel&, SwitcherOpen open) {
            click = std::move(open);
            auto made = std::make_unique<RecordedPanel>();
            panel = made.get();
            return made;
        };
    }

    void makeController(SwitcherPanelFactory makePanel)
    {
        controller.reset();
        controller = std::make_unique<SwitcherController>(*desktop, std::move(makePanel));
        controller->log = [this](std::string_view line) { logged.emplace_back(line); };
        controller->switchWorkflow = [this](int slot) { workflows.push_back(slot); };
        controller->updateClaim();
    }

    void pump()
    {
        x11->processEvents();
        scheduler.runPending();
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    }
    test::Waited until(const std::function<bool()>& done, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }
    // Lets the server and the backend settle for a moment.
    void settle(std::chrono::milliseconds span = 150ms)
    {
        test::pumpFor(span, [&] { pump(); });
    }

    Snapshot read() { return WindowCatalog::read(*desktop); }
    // The visible window of each stock client, by class.
    std::map<std::string, WindowEntry> stock()
    {
        std::map<std::string, WindowEntry> out;
        for (const auto& w : read().windows)
            if (w.state == WindowState::visible &&
                (w.bundleID == "XTerm" || w.bundleID == "XClock" || w.bundleID == "XEyes"))
                out.emplace(w.bundleID, w);
        return out;
    }
    // The managed client titled "witness" (xev sets no class).
    std::optional<xcb_window_t> witnessWindow()
    {
        xcb_connection_t* c = session->connection();
        for (xcb_window_t w : session->clientList()) {
            auto* reply = xcb_get_property_reply(
                c, xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 64), nullptr);
            const bool named = reply && std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                                                    std::size_t(xcb_get_property_value_length(reply))) == "witness";
            std::free(reply);
            if (named)
                return w;
        }
        return std::nullopt;
    }
    // The X window of the first managed client of a class ("XTerm").
    std::optional<xcb_window_t> clientOf(const std::string& className)
    {
        for (xcb_window_t w : session->clientList())
            if (session->wmClass(w) == className)
                return w;
        return std::nullopt;
    }

    std::optional<xcb_window_t> activeWindow()
    {
        xcb_connection_t* c = session->connection();
        const xcb_atom_t atom = session->atom("_NET_ACTIVE_WINDOW");
        auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, session->root(), atom, XCB_ATOM_WINDOW, 0, 1),
                                             nullptr);
        std::optional<xcb_window_t> out;
        if (reply && xcb_get_property_value_length(reply) == 4)
            out = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
        std::free(reply);
        if (out && *out == XCB_NONE)
            out.reset();
        return out;
    }
    std::optional<xcb_window_t> topOfStacking()
    {
        const auto list = session->stackingList();
        if (list.empty())
            return std::nullopt;
        return list.back();
    }

    // Focuses a client as a pager would.
    void activate(xcb_window_t window) { session->activate(window); }
    // Activates each in turn, the last one ending in front and active; true
    // once each stood on top of the stacking (xclock and xeyes never take
    // the focus) and first in the catalog the switcher reads.
    bool frontInOrder(const std::vector<xcb_window_t>& windows)
    {
        for (xcb_window_t w : windows) {
            activate(w);
            const bool last = w == windows.back();
            if (const auto waited = until([&] {
                    return topOfStacking() == w && catalogFront() == w && (!last || activeWindow() == w);
                });
                !waited) {
                ADD_FAILURE() << "cannot bring " << session->wmClass(w).value_or("?") << " to the front: "
                              << waited.report();
                return false;
            }
        }
        return true;
    }
    std::optional<xcb_window_t> catalogFront()
    {
        for (const auto& w : read().windows)
            if (w.state == WindowState::visible)
                return x11->serverWindow(w.id);
        return std::nullopt;
    }

    std::uint8_t serverKey(std::uint16_t classic) { return x11->serverKeyCode(classic).value(); }
    // One key down or up, then the pause a hand makes before the next.
    void key(std::uint16_t classic, bool press)
    {
        if (press)
            typist->down(serverKey(classic));
        else
            typist->up(serverKey(classic));
        typist->pause();
    }
    // A key held for tens of milliseconds, then the pause after it.
    void tap(std::uint16_t classic)
    {
        typist->stroke(serverKey(classic));
        typist->pause();
    }

    static constexpr std::uint16_t altKey = 58;
    static constexpr std::uint16_t shiftKey = 56;
    static constexpr std::uint16_t tabKey = 48;
    static constexpr std::uint16_t escapeKey = 53;

    test::X11Session* session = nullptr;
    Witness* witness = nullptr;
    std::optional<test::Typist> typist;

    std::unique_ptr<test::TempHome> home;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
    std::unique_ptr<MouseButtonTrigger> trigger;
    std::unique_ptr<SwitcherController> controller;
    RecordedPanel* panel = nullptr;
    SwitcherOpen click;
    std::vector<std::string> logged;
    std::vector<int> workflows;
};

} // namespace kavelo::testing
