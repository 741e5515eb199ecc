// Touchpad swipes as an X server sends them: recorded XInput 2.4 gesture
// events through the frames into the swipe tracker, and the passive grab
// that takes the chosen finger count on a real server.

#include "support/x11_session.h"

#include "app/platform/x11/x11_desktop.h"
#include "app/platform/x11/x11_gestures.h"
#include "core/swipe_tracker.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace kavelo;
using kavelo::test::X11Session;

namespace {

using Phase = GestureSwipe::Phase;

// One event as the server sends it: deltas in 16.16 fixed point, time in ms.
xcb_input_gesture_swipe_begin_event_t recorded(std::uint16_t type, std::uint32_t fingers, double dx, double dy,
                                               std::uint32_t ms, std::uint32_t flags = 0)
{
    xcb_input_gesture_swipe_begin_event_t e{};
    e.response_type = XCB_GE_GENERIC;
    e.event_type = type;
    e.detail = fingers;
    e.time = ms;
    // Accelerated deltas differ: only the unaccelerated ones count.
    e.delta_x = xcb_input_fp1616_t(dx * 3 * 65536);
    e.delta_unaccel_x = xcb_input_fp1616_t(dx * 65536);
    e.delta_unaccel_y = xcb_input_fp1616_t(dy * 65536);
    e.flags = flags;
    return e;
}

std::vector<SwipeEvent> replay(const std::vector<xcb_input_gesture_swipe_begin_event_t>& events, int fingers = 3)
{
    GestureFrames frames;
    SwipeTracker tracker(fingers);
    std::vector<SwipeEvent> out;
    for (const auto& e : events) {
        const auto swipe = gestureSwipe(e);
        if (!swipe)
            continue;
        const auto frame = frames.feed(*swipe);
        if (!frame)
            continue;
        std::vector<Point> touches;
        for (const Touch& t : frame->touches)
            touches.push_back(Point(t.x, t.y));
        if (auto event = tracker.update(touches, frame->time))
            out.push_back(*event);
    }
    return out;
}

TEST(GestureFrames, ASwipeBecomesBeganMovedEnded)
{
    const double w = GestureFrames::padWidth;
    const auto events = replay({
        recorded(XCB_INPUT_GESTURE_SWIPE_BEGIN, 3, 0, 0, 1000),
        recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 3, 0.02 * w, 0, 1010),   // below the threshold
        recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 3, 0.02 * w, 0, 1020),   // 0.04: began
        recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 3, 0.05 * w, 0, 1030),
        recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 3, -0.01 * w, 0, 1040),
        recorded(XCB_INPUT_GESTURE_SWIPE_END, 3, 0, 0, 1050),
    });
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, SwipeEvent::Kind::began);
    EXPECT_EQ(events[1].kind, SwipeEvent::Kind::moved);
    EXPECT_NEAR(events[1].dx, 0.05, 1e-6);
    EXPECT_NEAR(events[2].dx, -0.01, 1e-6);
    ASSERT_EQ(events[3].kind, SwipeEvent::Kind::ended);
    // 0.3 x 5 /s, then 0.7 x that + 0.3 x -1 /s.
    EXPECT_NEAR(events[3].velocity, 0.7 * 1.5 - 0.3, 1e-4);
}

TEST(GestureFrames, VerticalCancelledAndStrayEvents)
{
    const double w = GestureFrames::padWidth;
    // Upward first: never a swipe, however far it then goes sideways.
    EXPECT_TRUE(replay({recorded(XCB_INPUT_GESTURE_SWIPE_BEGIN, 3, 0, 0, 0),
                        recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 3, 0.01 * w, -0.04 * w, 10),
                        recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 3, 0.3 * w, 0, 20),
                        recorded(XCB_INPUT_GESTURE_SWIPE_END, 3, 0, 0, 30)})
                    .empty());
    // A cancelled swipe still ends: the strip must not stay panning.
    const auto cancelled = replay({recorded(XCB_INPUT_GESTURE_SWIPE_BEGIN, 4, 0, 0, 0),
                                   recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 4, 0.1 * w, 0, 10),
                                   recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 4, 0.1 * w, 0, 20),
                                   recorded(XCB_INPUT_GESTURE_SWIPE_END, 4, 0, 0, 30,
                                            XCB_INPUT_GESTURE_SWIPE_EVENT_FLAGS_GESTURE_SWIPE_CANCELLED)},
                                  4);
    ASSERT_EQ(cancelled.size(), 3u);
    EXPECT_EQ(cancelled.back().kind, SwipeEvent::Kind::ended);
    // Updates and ends without a begin, and pinches, make no frame.
    GestureFrames frames;
    EXPECT_FALSE(frames.feed(*gestureSwipe(recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 3, 100, 0, 0))));
    EXPECT_FALSE(frames.feed(*gestureSwipe(recorded(XCB_INPUT_GESTURE_SWIPE_END, 3, 0, 0, 0))));
    EXPECT_FALSE(gestureSwipe(recorded(XCB_INPUT_GESTURE_PINCH_BEGIN, 3, 0, 0, 0)));
    const auto swipe = gestureSwipe(recorded(XCB_INPUT_GESTURE_SWIPE_UPDATE, 3, -2.5, 1.25, 1500));
    EXPECT_EQ(*swipe, (GestureSwipe{.phase = Phase::update, .fingers = 3, .dx = -2.5, .dy = 1.25, .time = 1.5}));
}

// Whether another client may take the swipes on the root right now; it
// lets them go again at once. The server grabs swipes of any finger count.
bool othersCanGrab(const std::string& display)
{
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> own(c, xcb_disconnect);
    std::free(xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 4), nullptr));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::uint32_t mask[2] = {(1u << 30) | (1u << 31), 1u};
    const std::uint32_t any = XCB_INPUT_MODIFIER_MASK_ANY;
    auto* reply = xcb_input_xi_passive_grab_device_reply(
        c,
        xcb_input_xi_passive_grab_device(c, XCB_CURRENT_TIME, root, XCB_NONE, 0,
                                         XCB_INPUT_DEVICE_ALL_MASTER, 1, 2, XCB_INPUT_GRAB_TYPE_GESTURE_SWIPE_BEGIN,
                                         XCB_INPUT_GRAB_MODE_22_ASYNC, XCB_INPUT_GRAB_MODE_22_ASYNC, 0, mask, &any),
        nullptr);
    const bool granted = reply && reply->num_modifiers == 0;
    std::free(reply);
    return granted;
}

TEST(X11Gestures, SwipesAreGrabbedWhileAFingerCountIsChosen)
{
    X11Session session;
    std::string error;
    if (!session.start({}, &error)) {
        if (test::x11Required())
            FAIL() << "no X server: " << error;
        GTEST_SKIP() << "no X server: " << error;
    }
    auto desktop = X11Desktop::connect(session.display(), &error);
    ASSERT_TRUE(desktop) << error;
    Multitouch& touch = desktop->multitouch();
    // The virtual server has no touchpad: no device, but the grab is held.
    EXPECT_TRUE(touch.devices().empty());
    EXPECT_TRUE(othersCanGrab(session.display()));

    EXPECT_EQ(touch.start(3, [](const ContactFrame&) {}), 0);
    EXPECT_FALSE(othersCanGrab(session.display()));
    touch.start(4, [](const ContactFrame&) {});
    EXPECT_FALSE(othersCanGrab(session.display()));
    touch.stop();
    EXPECT_TRUE(othersCanGrab(session.display()));

    // Off (no fingers): nothing is taken.
    EXPECT_EQ(touch.start(0, [](const ContactFrame&) {}), 0);
    EXPECT_TRUE(othersCanGrab(session.display()));
    touch.start(3, [](const ContactFrame&) {});
    desktop.reset();
    EXPECT_TRUE(othersCanGrab(session.display()));
}

} // namespace
