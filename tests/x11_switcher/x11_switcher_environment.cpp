#include "x11_switcher/x11_switcher_environment.h"

#include "x11_switcher/x11_switcher_fixture.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace kavelo::testing {

namespace {

struct State {
    std::unique_ptr<test::X11Session> session;
    std::string error;
    std::unique_ptr<Witness> witness;
    std::unique_ptr<QApplication> application;
};

State& state()
{
    static State s;
    return s;
}

class Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        State& s = state();
        s.session = std::make_unique<test::X11Session>();
        if (!s.session->start({"xterm", "xclock", "xeyes"}, &s.error, test::WindowManager::openboxKeysFree)) {
            s.session.reset();
            return;
        }
        s.witness = std::make_unique<Witness>();
        if (!s.witness->open(*s.session)) {
            s.error = "xev cannot be started";
            s.witness.reset();
            s.session.reset();
            return;
        }
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // No session bus belongs to the private display; without this Qt would
        // have one started for it through X.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::setenv("DISPLAY", s.session->display().c_str(), 1);
        static int argc = 1;
        static char name[] = "x11_switcher_tests";
        static char* argv[] = {name, nullptr};
        s.application = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override
    {
        State& s = state();
        s.application.reset();
        s.witness.reset();
        s.session.reset();
    }
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

} // namespace

test::X11Session* X11SwitcherEnvironment::session() { return state().session.get(); }
const std::string& X11SwitcherEnvironment::error() { return state().error; }
Witness* X11SwitcherEnvironment::witness() { return state().witness.get(); }
QApplication* X11SwitcherEnvironment::application() { return state().application.get(); }

} // namespace kavelo::testing
