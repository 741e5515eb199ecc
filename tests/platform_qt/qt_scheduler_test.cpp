#include "app/platform/qt/qt_scheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace kavelo;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "qt_scheduler_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Spins the event loop until `done` or a generous deadline.
template <class F>
bool spinUntil(F done, int ms = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

} // namespace

TEST(QtScheduler, RunsAfterRepeatsAndCancels)
{
    app();
    QtScheduler s;
    SystemClock clock;
    const Date start = clock.now();
    bool once = false;
    Handle a = s.after(0.02, [&] { once = true; });
    ASSERT_TRUE(spinUntil([&] { return once; }));
    EXPECT_GE((clock.now() - start).count(), 0.015);
    EXPECT_FALSE(a.pending());

    int ticks = 0;
    Handle r = s.every(1.0 / 60, [&] { ++ticks; });
    ASSERT_TRUE(spinUntil([&] { return ticks >= 3; }));
    r.cancel();
    const int at = ticks;
    spinUntil([] { return false; }, 100);
    EXPECT_EQ(ticks, at);

    bool dropped = false;
    {
        Handle gone = s.after(0.01, [&] { dropped = true; });
    }
    spinUntil([] { return false; }, 60);
    EXPECT_FALSE(dropped);
}

TEST(QtScheduler, PostFromAnotherThreadRunsOnTheMainThread)
{
    app();
    QtScheduler s;
    std::atomic<int> ran{0};
    const auto main = std::this_thread::get_id();
    bool onMain = true;
    std::thread worker([&] {
        for (int i = 0; i < 10; ++i)
            s.post([&] {
                onMain = onMain && std::this_thread::get_id() == main;
                ++ran;
            });
    });
    worker.join();
    ASSERT_TRUE(spinUntil([&] { return ran == 10; }));
    EXPECT_TRUE(onMain);
}

TEST(QtScheduler, HandlesOutlivingTheSchedulerAreHarmless)
{
    app();
    Handle h;
    {
        QtScheduler s;
        h = s.after(10.0, [] {});
    }
    h.cancel();
    SUCCEED();
}
