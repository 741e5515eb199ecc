#include "app/services/trackpad.h"

#include "input_fixture.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace kavelo;
using kavelo::testing::InputTest;

namespace {

// `fingers` touching at x (spread a little), y = 0.5, state 4.
ContactFrame frame(int fingers, float x, double time, std::int32_t state = 4)
{
    ContactFrame f{.time = time};
    for (int i = 0; i < fingers; ++i)
        f.touches.push_back({state, x + 0.02f * float(i), 0.5f});
    return f;
}

// A swipe to the right from x = 0.2, then the fingers lift.
std::vector<ContactFrame> swipe(int fingers, int frames = 20, double startTime = 0)
{
    std::vector<ContactFrame> out;
    for (int i = 0; i < frames; ++i)
        out.push_back(frame(fingers, 0.2f + 0.01f * float(i), startTime + 0.01 * i));
    out.push_back(ContactFrame{.time = startTime + 0.01 * frames});
    return out;
}

// What the tracker makes of the frames, worked out on this thread.
std::vector<SwipeEvent> expectedEvents(int fingers, const std::vector<ContactFrame>& frames)
{
    SwipeTracker tracker(fingers);
    std::vector<SwipeEvent> out;
    for (const auto& f : frames) {
        std::vector<Point> points;
        for (const Touch& t : f.touches)
            if (t.state == 4 || t.state == 5)
                points.push_back(Point(t.x, t.y));
        if (auto e = tracker.update(points, f.time))
            out.push_back(*e);
    }
    return out;
}

class TrackpadTest : public InputTest {
protected:
    Trackpad trackpad{sim.multitouch(), scheduler};
    std::vector<SwipeEvent> events;

    void SetUp() override
    {
        InputTest::SetUp();
        trackpad.onSwipe = [this](const SwipeEvent& e) { events.push_back(e); };
    }

    void deliverOnAnotherThread(const std::vector<ContactFrame>& frames)
    {
        std::thread device([&] {
            for (const auto& f : frames)
                sim.deliverTouches(f);
        });
        device.join();
    }
};

} // namespace

TEST_F(InputTest, SystemSwipesReadsTheSystemsTwoTrackpadDomains)
{
    const SystemWorkspace& w = sim.workspace();
    EXPECT_FALSE(Trackpad::systemSwipes(w, 3));
    EXPECT_FALSE(Trackpad::systemSwipes(w, 4));

    sim.setPreference("com.apple.AppleMultitouchTrackpad", "TrackpadThreeFingerHorizSwipeGesture", 2);
    EXPECT_TRUE(Trackpad::systemSwipes(w, 3));
    EXPECT_FALSE(Trackpad::systemSwipes(w, 4));

    // Any count but 3 asks for the four-finger setting; the Bluetooth domain
    // is asked when the first does not say 2.
    sim.setPreference("com.apple.AppleMultitouchTrackpad", "TrackpadFourFingerHorizSwipeGesture", 1);
    sim.setPreference("com.apple.driver.AppleBluetoothMultitouch.trackpad", "TrackpadFourFingerHorizSwipeGesture", 2);
    EXPECT_TRUE(Trackpad::systemSwipes(w, 4));
    EXPECT_TRUE(Trackpad::systemSwipes(w, 2));
    EXPECT_TRUE(Trackpad::systemSwipes(w, 5));

    // Only the integer 2 counts.
    for (const nlohmann::json& value : {nlohmann::json(2.0), nlohmann::json("2"), nlohmann::json(true),
                                        nlohmann::json::array({2}), nlohmann::json(0)}) {
        sim.setPreference("com.apple.driver.AppleBluetoothMultitouch.trackpad", "TrackpadFourFingerHorizSwipeGesture",
                          value);
        EXPECT_FALSE(Trackpad::systemSwipes(w, 4)) << value;
    }
    sim.setPreference("com.apple.driver.AppleBluetoothMultitouch.trackpad", "TrackpadFourFingerHorizSwipeGesture",
                      nlohmann::json(std::uint64_t(2)));
    EXPECT_TRUE(Trackpad::systemSwipes(w, 4));
}

TEST_F(TrackpadTest, StartReportsTheDevices)
{
    trackpad.stop();   // nothing started: nothing happens
    sim.setTrackpads(0);
    EXPECT_EQ(trackpad.start(3), 0);
    EXPECT_FALSE(trackpad.isStarted());
    EXPECT_FALSE(sim.multitouchRunning());

    sim.setTrackpads(2);
    EXPECT_EQ(trackpad.start(3), 2);
    EXPECT_TRUE(trackpad.isStarted());
    EXPECT_TRUE(sim.multitouchRunning());
    trackpad.stop();
    EXPECT_FALSE(trackpad.isStarted());
    EXPECT_FALSE(sim.multitouchRunning());
}

TEST_F(TrackpadTest, SwipesFromTheDeviceThreadArriveInOrderOnTheMainThread)
{
    sim.setTrackpads(1);
    ASSERT_EQ(trackpad.start(3), 1);
    const auto frames = swipe(3);
    deliverOnAnotherThread(frames);
    EXPECT_TRUE(events.empty());   // nothing runs until the main thread does

    scheduler.runPending();
    const auto expected = expectedEvents(3, frames);
    ASSERT_GE(expected.size(), 3u);
    EXPECT_EQ(expected.front(), SwipeEvent::began());
    EXPECT_EQ(expected.back().kind, SwipeEvent::Kind::ended);
    EXPECT_EQ(events, expected);
}

TEST_F(TrackpadTest, OnlyFingersOnThePadCount)
{
    sim.setTrackpads(1);
    ASSERT_EQ(trackpad.start(3), 1);
    // Four contacts, one of them hovering: a three-finger swipe.
    std::vector<ContactFrame> frames = swipe(3);
    for (auto& f : frames)
        if (!f.touches.empty())
            f.touches.push_back({1, 0.9f, 0.9f});
    frames[3].touches[0].state = 5;
    deliverOnAnotherThread(frames);
    scheduler.runPending();
    EXPECT_EQ(events, expectedEvents(3, swipe(3)));
    EXPECT_FALSE(events.empty());
}

TEST_F(TrackpadTest, RestartKeepsItsOwnFingerCountAndEndsNoSwipe)
{
    sim.setTrackpads(1);
    ASSERT_EQ(trackpad.start(3), 1);
    auto half = swipe(3, 10);
    half.pop_back();   // fingers still down
    deliverOnAnotherThread(half);
    ASSERT_EQ(trackpad.start(4), 1);
    deliverOnAnotherThread(swipe(3, 20, 1.0));
    scheduler.runPending();
    const auto beforeRestart = expectedEvents(3, half);
    EXPECT_EQ(events, beforeRestart);   // no `ended` for the swipe cut off, nothing from three fingers after

    events.clear();
    deliverOnAnotherThread(swipe(4, 20, 2.0));
    scheduler.runPending();
    EXPECT_EQ(events, expectedEvents(4, swipe(4, 20, 2.0)));
}

TEST_F(TrackpadTest, FramesAfterStopAreIgnored)
{
    sim.setTrackpads(1);
    ASSERT_EQ(trackpad.start(3), 1);
    auto frames = swipe(3);
    deliverOnAnotherThread(frames);
    trackpad.stop();
    for (const auto& f : swipe(3, 20, 5.0))
        EXPECT_FALSE(sim.deliverTouches(f));
    // What was produced before the stop still arrives; nothing after.
    scheduler.runPending();
    EXPECT_EQ(events, expectedEvents(3, frames));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(InputTest, EventsOfADestroyedTrackpadAreDropped)
{
    sim.setTrackpads(1);
    int delivered = 0;
    {
        Trackpad own(sim.multitouch(), scheduler);
        own.onSwipe = [&](const SwipeEvent&) { ++delivered; };
        ASSERT_EQ(own.start(3), 1);
        for (const auto& f : swipe(3))
            sim.deliverTouches(f);
        EXPECT_GT(scheduler.pendingCount(), 0u);
    }
    EXPECT_FALSE(sim.multitouchRunning());
    scheduler.runPending();
    EXPECT_EQ(delivered, 0);
}

// The device thread keeps sending while the main thread restarts, stops and
// finally destroys the reader. Every event that arrives belongs to a swipe
// (began, then moves, then at most one end), and nothing runs once it is gone.
TEST_F(InputTest, RestartsWhileFramesPourInAreSafe)
{
    sim.setTrackpads(1);
    auto reader = std::make_unique<Trackpad>(sim.multitouch(), scheduler);
    std::vector<SwipeEvent> events;
    reader->onSwipe = [&](const SwipeEvent& e) { events.push_back(e); };
    ASSERT_EQ(reader->start(3), 1);

    std::atomic<bool> running{true};
    std::thread device([&] {
        double time = 0;
        while (running.load()) {
            for (const auto& f : swipe(3, 12, time))
                sim.deliverTouches(f);
            time += 1;
        }
    });
    for (int round = 0; round < 200; ++round) {
        if (round % 3 == 0)
            reader->stop();
        else
            reader->start(round % 2 ? 3 : 4);
        scheduler.runPending();
    }
    reader.reset();
    running = false;
    device.join();
    const std::size_t before = events.size();
    scheduler.runPending();
    EXPECT_EQ(events.size(), before);

    // Within the events seen, a move never comes before the first began.
    bool begun = false;
    for (const auto& e : events) {
        if (e.kind == SwipeEvent::Kind::began)
            begun = true;
        else
            EXPECT_TRUE(begun);
    }
}
