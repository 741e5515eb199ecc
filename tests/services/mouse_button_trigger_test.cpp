#include "app/services/mouse_button_trigger.h"

#include "app/services/hot_keys.h"
#include "input_fixture.h"

#include <rapidcheck/gtest.h>

#include <memory>
#include <vector>

using namespace kavelo;
using kavelo::testing::InputTest;

namespace {

constexpr std::uint64_t controlOptionFlags = EventFlag::control | EventFlag::option;
constexpr std::uint16_t tabKey = 48;
constexpr std::uint16_t escapeKey = 53;

class TriggerTest : public InputTest {
protected:
    bool permitted = true;
    MouseButtonTrigger trigger{sim.eventTap(), scheduler, [this] { return permitted; }};
};

} // namespace

TEST_F(TriggerTest, StartsOnlyWithPermissionAndOnce)
{
    permitted = false;
    EXPECT_FALSE(trigger.start());
    EXPECT_FALSE(trigger.isStarted());
    EXPECT_FALSE(sim.eventTap().isRunning());

    // Permission granted, but the system still refuses the tap.
    permitted = true;
    sim.setTrusted(false);
    EXPECT_FALSE(trigger.start());
    EXPECT_FALSE(trigger.isStarted());

    sim.setTrusted(true);
    EXPECT_TRUE(trigger.start());
    EXPECT_TRUE(trigger.start());
    EXPECT_TRUE(sim.eventTap().isRunning());

    trigger.stop();
    trigger.stop();
    EXPECT_FALSE(sim.eventTap().isRunning());
    EXPECT_TRUE(trigger.start());
}

TEST_F(TriggerTest, DestroyingTheTriggerStopsTheTap)
{
    auto own = std::make_unique<MouseButtonTrigger>(sim.eventTap(), scheduler, [] { return true; });
    int actions = 0;
    own->button = 2;
    own->action = [&] { ++actions; };
    ASSERT_TRUE(own->start());
    EXPECT_TRUE(sim.pressButton(2));   // queued, not run yet
    own.reset();
    EXPECT_FALSE(sim.eventTap().isRunning());
    EXPECT_FALSE(sim.pressButton(2));
    scheduler.runPending();
    EXPECT_EQ(actions, 0);
}

TEST_F(TriggerTest, KeysAreDroppedExactlyWhenOnKeySaysSo)
{
    HotKeys hotKeys(sim.hotKeys());
    int hotKeyRuns = 0;
    hotKeys.registerHotKey(tabKey, HotKeyModifier::option, [&] { ++hotKeyRuns; });
    ASSERT_TRUE(trigger.start());

    // Without a key callback every key passes, and the hot key fires.
    EXPECT_FALSE(sim.changeFlags(EventFlag::option));
    EXPECT_FALSE(sim.pressKey(tabKey, EventFlag::option));
    EXPECT_EQ(hotKeyRuns, 1);

    // A switcher-like filter: Option-Tab and the keys of the open session are
    // swallowed; Escape ends the session; releasing Option ends it too.
    bool session = false;
    std::vector<TapEventType> seen;
    trigger.onKey = [&](TapEventType type, const TapEvent& event) {
        seen.push_back(type);
        const bool option = event.flags & EventFlag::option;
        if (type == TapEventType::flagsChanged) {
            if (!option)
                session = false;
            return false;
        }
        if (type == TapEventType::keyDown && event.keyCode == tabKey && option) {
            session = true;
            return true;
        }
        if (session && type == TapEventType::keyDown && event.keyCode == escapeKey) {
            session = false;
            return true;
        }
        return session;
    };

    EXPECT_FALSE(sim.changeFlags(EventFlag::option));
    EXPECT_TRUE(sim.pressKey(tabKey, EventFlag::option));
    EXPECT_EQ(hotKeyRuns, 1);   // swallowed before the hot key saw it
    EXPECT_TRUE(sim.releaseKey(tabKey, EventFlag::option));
    EXPECT_TRUE(sim.pressKey(0, EventFlag::option));
    EXPECT_TRUE(sim.pressKey(escapeKey, EventFlag::option));
    EXPECT_FALSE(sim.releaseKey(escapeKey, EventFlag::option));
    EXPECT_TRUE(sim.pressKey(tabKey, EventFlag::option));
    EXPECT_FALSE(sim.changeFlags(0));
    EXPECT_FALSE(sim.pressKey(0));
    EXPECT_EQ(seen, (std::vector<TapEventType>{TapEventType::flagsChanged, TapEventType::keyDown, TapEventType::keyUp,
                                               TapEventType::keyDown, TapEventType::keyDown, TapEventType::keyUp,
                                               TapEventType::keyDown, TapEventType::flagsChanged,
                                               TapEventType::keyDown}));
}

TEST_F(TriggerTest, WheelDeltasScaleLinesAndKeepPoints)
{
    std::vector<double> deltas;
    bool takes = true;
    trigger.onScroll = [&](double delta) {
        deltas.push_back(delta);
        return takes;
    };
    ASSERT_TRUE(trigger.start());

    EXPECT_TRUE(sim.scroll(0, 1, false, controlOptionFlags));                        // a notched tick
    EXPECT_TRUE(sim.scroll(3.5, 0, true, controlOptionFlags));                       // a trackpad
    EXPECT_TRUE(sim.scroll(0, -2.25, true, controlOptionFlags));                     // vertical when no horizontal
    EXPECT_TRUE(sim.scroll(-2, 5, false, controlOptionFlags | EventFlag::shift));    // horizontal wins; Shift too
    EXPECT_TRUE(sim.scroll(0, 0, false, controlOptionFlags));                        // nothing, still taken
    EXPECT_EQ(deltas, (std::vector<double>{8.0, 3.5, -2.25, -16.0, 0.0}));

    // Without both Control and Option the wheel is not ours.
    EXPECT_FALSE(sim.scroll(0, 1, false, EventFlag::control));
    EXPECT_FALSE(sim.scroll(0, 1, false, EventFlag::option | EventFlag::command));
    EXPECT_EQ(deltas.size(), 5u);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(TriggerTest, ScrollNobodyTakesReachesTheApplications)
{
    ASSERT_TRUE(trigger.start());
    EXPECT_FALSE(sim.scroll(0, 1, false, controlOptionFlags));   // no callback at all

    // Arranging is off: the callback hears the scroll but declines it.
    int heard = 0;
    trigger.onScroll = [&](double) {
        ++heard;
        return false;
    };
    EXPECT_FALSE(sim.scroll(0, 1, false, controlOptionFlags));
    EXPECT_FALSE(sim.scroll(4, 0, true, controlOptionFlags));
    EXPECT_EQ(heard, 2);
}

TEST_F(TriggerTest, ChosenButtonIsDroppedAndItsActionQueued)
{
    int actions = 0;
    trigger.button = 3;
    trigger.action = [&] { ++actions; };
    ASSERT_TRUE(trigger.start());

    EXPECT_TRUE(sim.pressButton(3));
    EXPECT_EQ(actions, 0);   // not inside the tap
    EXPECT_TRUE(sim.releaseButton(3));
    scheduler.runPending();
    EXPECT_EQ(actions, 1);

    EXPECT_FALSE(sim.pressButton(2));
    EXPECT_FALSE(sim.releaseButton(2));
    EXPECT_FALSE(sim.pressButton(4));
    scheduler.runPending();
    EXPECT_EQ(actions, 1);

    // The action read when it runs is the one set then.
    EXPECT_TRUE(sim.pressButton(3));
    trigger.action = [&] { actions += 10; };
    scheduler.runPending();
    EXPECT_EQ(actions, 11);

    trigger.button = 0;
    for (int b = 2; b < 6; ++b) {
        EXPECT_FALSE(sim.pressButton(b));
        EXPECT_FALSE(sim.releaseButton(b));
    }
    EXPECT_EQ(scheduler.runPending(), 0u);
}

TEST_F(TriggerTest, DisabledTapIsSwitchedBackOn)
{
    std::vector<double> deltas;
    trigger.onScroll = [&](double d) {
        deltas.push_back(d);
        return true;
    };
    ASSERT_TRUE(trigger.start());

    sim.disableTap(TapEventType::tapDisabledByTimeout);
    EXPECT_TRUE(sim.tapEnabled());
    EXPECT_TRUE(sim.scroll(1, 0, true, controlOptionFlags));
    sim.disableTap(TapEventType::tapDisabledByUserInput);
    EXPECT_TRUE(sim.tapEnabled());
    EXPECT_TRUE(sim.scroll(2, 0, true, controlOptionFlags));
    EXPECT_EQ(deltas, (std::vector<double>{1, 2}));

    // A notice that arrives while stopped turns nothing back on.
    trigger.stop();
    EXPECT_FALSE(trigger.handle(TapEvent{.type = TapEventType::tapDisabledByTimeout}));
    EXPECT_FALSE(sim.eventTap().isRunning());
}

// Random input against the tap's rules: each event is dropped exactly when
// the rules say, scrolls arrive with their scaled delta, and every press of
// the chosen button runs the action once, later, on the main thread.
RC_GTEST_FIXTURE_PROP(TriggerTest, DropDecisionsFollowTheRules, ())
{
    RC_ASSERT(trigger.start());
    std::vector<double> deltas;
    std::vector<double> expectedDeltas;
    int actions = 0;
    int expectedActions = 0;
    bool scrollTaken = true;
    bool swallowKeys = false;
    trigger.action = [&] { ++actions; };
    trigger.onScroll = [&](double d) {
        deltas.push_back(d);
        return scrollTaken;
    };
    trigger.onKey = [&](TapEventType, const TapEvent&) { return swallowKeys; };

    const int steps = *rc::gen::inRange(1, 80);
    for (int step = 0; step < steps; ++step) {
        const std::uint64_t flags = *rc::gen::element<std::uint64_t>(
            0, EventFlag::control, EventFlag::option, controlOptionFlags, controlOptionFlags | EventFlag::shift,
            controlOptionFlags | EventFlag::command);
        bool dropped = false;
        bool expected = false;
        switch (*rc::gen::inRange(0, 8)) {
        case 0:
            swallowKeys = *rc::gen::arbitrary<bool>();
            dropped = sim.pressKey(*rc::gen::inRange<std::uint16_t>(0, 60), flags);
            expected = swallowKeys;
            break;
        case 1:
            dropped = sim.releaseKey(*rc::gen::inRange<std::uint16_t>(0, 60), flags);
            expected = swallowKeys;
            break;
        case 2:
            dropped = sim.changeFlags(flags);
            expected = swallowKeys;
            break;
        case 3: {
            scrollTaken = *rc::gen::arbitrary<bool>();
            const double dx = *rc::gen::element(0.0, 1.0, -3.5, 0.25);
            const double dy = *rc::gen::element(0.0, 1.0, -1.0, 2.5);
            const bool continuous = *rc::gen::arbitrary<bool>();
            dropped = sim.scroll(dx, dy, continuous, flags);
            if ((flags & controlOptionFlags) == controlOptionFlags) {
                expectedDeltas.push_back((dx != 0 ? dx : dy) * (continuous ? 1 : 8));
                expected = scrollTaken;
            }
            break;
        }
        case 4:
        case 5: {
            const int b = *rc::gen::inRange(2, 6);
            dropped = sim.pressButton(b);
            expected = trigger.button != 0 && b == trigger.button;
            expectedActions += expected ? 1 : 0;
            break;
        }
        case 6: {
            const int b = *rc::gen::inRange(2, 6);
            dropped = sim.releaseButton(b);
            expected = trigger.button != 0 && b == trigger.button;
            break;
        }
        case 7:
            trigger.button = *rc::gen::inRange(0, 6);
            break;
        default:
            sim.disableTap(*rc::gen::element(TapEventType::tapDisabledByTimeout,
                                            TapEventType::tapDisabledByUserInput));
            RC_ASSERT(sim.tapEnabled());
            break;
        }
        RC_ASSERT(dropped == expected);
        RC_ASSERT(deltas == expectedDeltas);
        if (*rc::gen::inRange(0, 3) == 0)
            scheduler.runPending();
        RC_ASSERT(actions <= expectedActions);
    }
    scheduler.runPending();
    RC_ASSERT(actions == expectedActions);
}
