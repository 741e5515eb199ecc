#pragma once

// The program's desktop over a binary's shared Qt-on-xcb session: the X11
// backend on the manual scheduler, its settings in a temporary home. A
// fixture derives from it, sets up its own parts after `SetUp` and tears
// them down before `TearDown`.

#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "services/temp_home.h"
#include "support/x11_qt_app.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace kavelo::test {

template <class Base = ::testing::Test>
class X11QtDesktopTest : public Base {
protected:
    // `what` names the tests in the message when there is no X server.
    explicit X11QtDesktopTest(std::string what) : what_(std::move(what)) {}

    void SetUp() override
    {
        session = X11QtApp::session.get();
        if (!session) {
            if (x11Required())
                FAIL() << "no X server for " << what_ << ": " << X11QtApp::error;
            GTEST_SKIP() << "no X server for " << what_ << ": " << X11QtApp::error;
        }
        home = std::make_unique<TempHome>();
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home->paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
    }

    void TearDown() override
    {
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        home.reset();
    }

    // Whether the fixture's own set-up may go on after this one's.
    bool ready() const { return !this->HasFatalFailure() && !this->IsSkipped(); }

    X11Session* session = nullptr;
    std::unique_ptr<TempHome> home;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;

private:
    std::string what_;
};

} // namespace kavelo::test
