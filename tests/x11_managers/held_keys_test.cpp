// Keys the window manager holds are refused to us, whichever protocol it
// grabs them with: openbox, xfwm4 and KWin through the core protocol, mutter
// through XInput 2, which never refuses a core grab by itself. Each manager
// runs with its stock key bindings.

#include "x11_services/x11_services_fixture.h"

namespace kavelo::testing {
namespace {

constexpr std::uint16_t tabKey = 48;
constexpr std::uint16_t f12Key = 111;

class HeldKeysTest : public X11ServicesTest, public ::testing::WithParamInterface<test::WindowManager> {
protected:
    SessionSetup sessionSetup() const override { return SessionSetup{.manager = GetParam(), .clients = {"xterm"}}; }
    bool ready() override { return !read().windows.empty(); }
};

TEST_P(HeldKeysTest, TheManagersSwitcherKeysAreRefusedAndAFreeKeyIsOurs)
{
    EventTap& tap = x11->eventTap();
    EXPECT_FALSE(tap.claim(tabKey, EventFlag::option)) << "Alt+Tab";
    EXPECT_FALSE(x11->hotKeys().registerHotKey(tabKey, HotKeyModifier::option, 1)) << "Alt+Tab";

    const std::uint64_t free = EventFlag::control | EventFlag::option | EventFlag::shift;
    EXPECT_TRUE(tap.claim(f12Key, free));
    tap.unclaim(f12Key, free);
    const auto ref = x11->hotKeys().registerHotKey(f12Key, hotKeyModifiers(free), 2);
    EXPECT_TRUE(ref);
    if (ref)
        x11->hotKeys().unregisterHotKey(*ref);
}

INSTANTIATE_TEST_SUITE_P(Managers, HeldKeysTest,
                         ::testing::Values(test::WindowManager::openbox, test::WindowManager::xfwm4,
                                           test::WindowManager::mutter, test::WindowManager::kwin),
                         [](const auto& info) { return std::string(test::rawValue(info.param)); });

} // namespace
} // namespace kavelo::testing
