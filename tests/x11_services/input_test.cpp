// Hot keys, the event tap trigger and key names against the real server,
// with keys and buttons typed through XTest.

#include "x11_services_fixture.h"

#include "app/services/hot_keys.h"
#include "app/services/key_names.h"
#include "app/services/mouse_button_trigger.h"

#include <algorithm>

namespace kavelo::testing {
namespace {

using InputTest = X11ServicesTest;

constexpr std::uint32_t controlOption = HotKeyModifier::control | HotKeyModifier::option;

TEST_F(InputTest, HotKeysFireRefuseTakenCombinationsAndRegisterAgain)
{
    constexpr std::uint16_t k = 40, j = 38, l = 37, capsLock = 57;
    HotKeys hotKeys(desktop->platform.hotKeys);
    std::vector<std::string> pressed;
    ASSERT_TRUE(hotKeys.registerHotKey(k, controlOption, [&] { pressed.push_back("k1"); }));
    EXPECT_EQ(hotKeys.nextIdentifier(), 2u);

    type(k, {controlKey, optionKey});
    ASSERT_TRUE(until([&] { return !pressed.empty(); }));
    EXPECT_EQ(pressed, std::vector<std::string>{"k1"});

    // Caps Lock on does not change the combination.
    type(capsLock, {});
    Restore capsOff([&] { type(capsLock, {}); });
    type(k, {controlKey, optionKey});
    ASSERT_TRUE(until([&] { return pressed.size() == 2; }));

    // Another client holds Control-Option-J: refused, and no identifier used.
    xcb_connection_t* c = session->connection();
    const std::uint8_t jKey = x11->serverKeyCode(j).value();
    xcb_grab_key(c, 1, session->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, jKey, XCB_GRAB_MODE_ASYNC,
                 XCB_GRAB_MODE_ASYNC);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    Restore ungrab([&] {
        xcb_ungrab_key(c, jKey, session->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
        xcb_flush(c);
    });
    EXPECT_FALSE(hotKeys.registerHotKey(j, controlOption, [&] { pressed.push_back("j"); }));
    EXPECT_EQ(hotKeys.nextIdentifier(), 2u);
    EXPECT_EQ(hotKeys.count(), 1u);

    // After removing every key, K is free again and L works; K typed before
    // L must not have fired anything.
    hotKeys.removeAll();
    EXPECT_EQ(hotKeys.count(), 0u);
    ASSERT_TRUE(hotKeys.registerHotKey(l, controlOption, [&] { pressed.push_back("l"); }));
    type(k, {controlKey, optionKey});
    type(l, {controlKey, optionKey});
    ASSERT_TRUE(until([&] { return pressed.size() == 3; }));
    EXPECT_EQ(pressed.back(), "l");

    ASSERT_TRUE(hotKeys.registerHotKey(k, controlOption, [&] { pressed.push_back("k3"); }));
    EXPECT_EQ(hotKeys.nextIdentifier(), 4u);
    type(k, {controlKey, optionKey});
    ASSERT_TRUE(until([&] { return pressed.size() == 4; }));
    EXPECT_EQ(pressed.back(), "k3");
}

// An override-redirect window in the top-left corner that reports the
// buttons pressed on it, as the application under the pointer would.
class ButtonTarget {
public:
    explicit ButtonTarget(test::X11Session& session) : session_(session), c_(session.connection())
    {
        window_ = xcb_generate_id(c_);
        const std::uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, session.root(), 0, 0, 200, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(c_, window_);
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_flush(c_);
        session.movePointer(100, 100);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~ButtonTarget()
    {
        xcb_destroy_window(c_, window_);
        xcb_flush(c_);
        presses();
    }

    // The buttons pressed on the window since the last call.
    std::vector<int> presses()
    {
        std::vector<int> out;
        while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
            if ((e->response_type & 0x7F) == XCB_BUTTON_PRESS)
                out.push_back(reinterpret_cast<xcb_button_press_event_t*>(e)->detail);
            std::free(e);
        }
        return out;
    }

    void click(std::uint8_t button)
    {
        session_.button(button, true);
        session_.button(button, false);
    }

private:
    test::X11Session& session_;
    xcb_connection_t* c_;
    xcb_window_t window_ = 0;
};

TEST_F(InputTest, MouseButtonTriggerTakesTheControlOptionWheelOnlyWhenAsked)
{
    ButtonTarget target(*session);
    MouseButtonTrigger trigger(desktop->platform.eventTap, desktop->platform.scheduler, [] { return true; });
    std::vector<double> deltas;
    bool take = false;
    trigger.onScroll = [&](double delta) {
        deltas.push_back(delta);
        return take;
    };
    std::vector<bool> holding;
    trigger.onKey = [&](TapEventType type, const TapEvent& event) {
        if (type == TapEventType::flagsChanged)
            holding.push_back((event.flags & 0xC0000) == 0xC0000);
        return false;
    };
    int actions = 0;
    trigger.button = 2;
    trigger.action = [&] { ++actions; };
    ASSERT_TRUE(trigger.start());
    EXPECT_TRUE(desktop->platform.eventTap.isRunning());

    // Everything the window receives, gathered while waiting: a left click
    // (which no grab takes) closes each step, so a scroll dropped before it
    // would have arrived by then.
    std::vector<int> reached;
    const auto settle = [&] {
        target.click(1);
        EXPECT_TRUE(until([&] {
            for (int b : target.presses())
                reached.push_back(b);
            return !reached.empty() && reached.back() == 1;
        }));
        const auto got = reached;
        reached.clear();
        return got;
    };
    // The keys stay down until the tap has decided, as a hand holds them
    // while it turns the wheel: the server matches a grab against the keys
    // held when it looks at the wheel, which may be after the decision on
    // the scroll before.
    const auto controlOptionScroll = [&](std::uint8_t button) {
        const std::size_t seen = deltas.size();
        session->key(x11->serverKeyCode(controlKey).value(), true);
        session->key(x11->serverKeyCode(optionKey).value(), true);
        target.click(button);
        if (trigger.isStarted()) {
            EXPECT_TRUE(until([&] { return deltas.size() > seen; }));
        }
        session->key(x11->serverKeyCode(optionKey).value(), false);
        session->key(x11->serverKeyCode(controlKey).value(), false);
    };

    // Not taken: the notched wheel's line becomes 8 points, and the window
    // under the pointer still gets the wheel.
    controlOptionScroll(5);
    EXPECT_EQ(settle(), std::vector<int>({5, 1}));
    EXPECT_EQ(deltas, std::vector<double>{-8});

    // Taken: the scroll is dropped. Sideways wheels are horizontal deltas.
    take = true;
    controlOptionScroll(4);
    controlOptionScroll(7);
    EXPECT_EQ(settle(), std::vector<int>{1});
    EXPECT_EQ(deltas, std::vector<double>({-8, 8, -8}));

    // Control alone is not the strip's wheel.
    session->key(x11->serverKeyCode(controlKey).value(), true);
    target.click(5);
    session->key(x11->serverKeyCode(controlKey).value(), false);
    EXPECT_EQ(settle(), std::vector<int>({5, 1}));
    EXPECT_EQ(deltas.size(), 3u);

    // The chosen button runs the action and is dropped; another passes.
    target.click(2);
    EXPECT_EQ(settle(), std::vector<int>{1});
    EXPECT_TRUE(until([&] { return actions == 1; }));
    trigger.button = 0;
    target.click(2);
    EXPECT_EQ(settle(), std::vector<int>({2, 1}));
    EXPECT_EQ(actions, 1);

    // The modifier changes reached onKey: Control-Option held, then released.
    EXPECT_NE(std::find(holding.begin(), holding.end(), true), holding.end());
    ASSERT_FALSE(holding.empty());
    EXPECT_FALSE(holding.back());

    trigger.stop();
    EXPECT_FALSE(desktop->platform.eventTap.isRunning());
    controlOptionScroll(4);
    EXPECT_EQ(settle(), std::vector<int>({4, 1}));
    EXPECT_EQ(deltas.size(), 3u);
}

TEST_F(InputTest, KeyNamesFollowTheServersKeyboardLayouts)
{
    const Keyboard& keyboard = desktop->platform.keyboard;
    const auto resolve = KeyNames::resolver(keyboard);
    EXPECT_EQ(resolve(0), std::optional<std::string>("A"));
    EXPECT_EQ(resolve(6), std::optional<std::string>("Z"));
    EXPECT_EQ(resolve(50), std::optional<std::string>("`"));
    EXPECT_EQ(resolve(49), std::nullopt);   // Space: white space
    EXPECT_EQ(resolve(36), std::nullopt);   // Return: a line break
    EXPECT_EQ(resolve(53), std::nullopt);   // Escape: a control character
    EXPECT_EQ(resolve(123), std::nullopt);  // Left arrow: a function-key character
    EXPECT_TRUE(KeyNames::source(keyboard, "us"));
    EXPECT_FALSE(KeyNames::source(keyboard, "de"));

    // A second layout, as the user adds one; the first stays in use.
    ASSERT_TRUE(session->run({"setxkbmap", "-layout", "us,de"}));
    Restore usOnly([&] {
        session->run({"setxkbmap", "-layout", "us"});
        until([&] { return desktop->platform.keyboard.layouts() == std::vector<std::string>{"us"}; });
    });
    ASSERT_TRUE(until([&] { return keyboard.translate("de", 6) == std::optional<std::string>("y"); }));
    EXPECT_EQ(keyboard.layouts(), (std::vector<std::string>{"us", "de"}));
    const auto german = KeyNames::source(keyboard, "de");
    ASSERT_TRUE(german);
    EXPECT_EQ(KeyNames::name(keyboard, 6, *german), std::optional<std::string>("Y"));
    EXPECT_EQ(KeyNames::name(keyboard, 16, *german), std::optional<std::string>("Z"));
    EXPECT_EQ(KeyNames::name(keyboard, 33, *german), std::optional<std::string>("Ü"));
    // Its upper case is two letters: kept as it is.
    EXPECT_EQ(KeyNames::name(keyboard, 27, *german), std::optional<std::string>("ß"));
    // A dead key types nothing by itself.
    EXPECT_EQ(KeyNames::name(keyboard, 50, *german), std::nullopt);
    EXPECT_EQ(resolve(6), std::optional<std::string>("Z"));
}

} // namespace
} // namespace kavelo::testing
