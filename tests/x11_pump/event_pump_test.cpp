// The one run-loop pump on a real QCoreApplication loop: a real X server's
// events reach their observers with nothing else happening, a simulated
// desktop's deferred writes settle on the Qt timers, and an idle loop sleeps.

#include "app/platform/qt/qt_event_pump.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/platform/x11/x11_desktop.h"
#include "support/x11_session.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>

using namespace kavelo;
using namespace std::chrono_literals;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "x11_pump_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Runs the loop until `quit` is called or `ms` pass; whether it was quit.
bool runLoop(QEventLoop& loop, int ms)
{
    bool timedOut = false;
    QTimer::singleShot(ms, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    loop.exec();
    return !timedOut;
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// A backend that counts how often it is drained.
class Counting : public DesktopBackend {
public:
    explicit Counting(DesktopBackend& inner) : inner_(inner) {}
    Platform platform(Scheduler& scheduler, Clock& clock) override { return inner_.platform(scheduler, clock); }
    int eventDescriptor() const override { return inner_.eventDescriptor(); }
    void processEvents() override
    {
        ++drains;
        inner_.processEvents();
    }
    void setWakeup(std::function<void()> wakeup) override { inner_.setWakeup(std::move(wakeup)); }
    void attach(Scheduler* scheduler) override { inner_.attach(scheduler); }
    int drains = 0;

private:
    DesktopBackend& inner_;
};

class EventPumpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        app();
        session = std::make_unique<test::X11Session>();
        if (!session->start({"xclock"}, &startError))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X server for the pump tests: " << startError;
            GTEST_SKIP() << "no X server for the pump tests: " << startError;
        }
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;
    std::unique_ptr<X11Desktop> x11;
    QtScheduler scheduler;
};

// Regression: events that came in while the backend waited for a reply sat
// in its queue, the descriptor never turned readable again, and nothing was
// reported until some other event arrived.
TEST_F(EventPumpTest, AWindowOpenedByAClientIsReportedWithNoOtherEvent)
{
    QtEventPump pump(*x11, scheduler);
    std::vector<std::string> activated;
    QEventLoop loop;
    Handle observer = x11->workspace().onActivation([&](const RunningApp& app) {
        activated.push_back(app.name.value_or(""));
        loop.quit();
    });
    // Drain what is there now, so the only news left is the new window.
    QCoreApplication::processEvents();

    const pid_t term = session->launch({"xterm"});
    ASSERT_TRUE(test::waitFor(
        [&] {
            const auto terms = session->windowsOfClass("XTerm");
            return !terms.empty() && session->activeWindow() == terms.front();
        },
        test::answerDeadline));
    // A reply the backend waits for brings the manager's news along into
    // its queue.
    EXPECT_FALSE(x11->displays().screens().empty());

    EXPECT_TRUE(runLoop(loop, 5000)) << "the activation was not reported";
    EXPECT_EQ(activated, std::vector<std::string>{"XTerm"});
    session->terminate(term);
}

TEST_F(EventPumpTest, TheLoopSleepsWhileNothingHappens)
{
    Counting counting(*x11);
    QtEventPump pump(counting, scheduler);
    QCoreApplication::processEvents();
    QEventLoop loop;
    const int drainsBefore = counting.drains;
    const double cpuBefore = cpuSeconds();
    runLoop(loop, 400);
    // A spinning loop drains thousands of times and burns the whole span; a
    // sleeping one wakes for the session's own traffic now and then, more
    // often on a loaded machine.
    EXPECT_LT(counting.drains - drainsBefore, 40);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.1);
}

// The simulated desktop has no descriptor; its deferred writes run on the
// scheduler the pump hands it.
TEST(EventPump, ADeferredSimulatedWriteSettlesOnTheLoop)
{
    app();
    SimBackend backend;
    QtScheduler scheduler;
    QtEventPump pump(backend, scheduler);
    SimDesktop& desktop = backend.desktop();
    const std::int32_t pid = desktop.addApp(SimApp{.bundleID = std::string("com.example.Slow"),
                                                   .name = std::string("Slow")});
    const WindowID number = desktop.addWindow(SimWindow{
        .pid = pid, .title = "Slow", .frame = Rect(100, 100, 400, 300), .defersWrites = true, .deferSeconds = 0.05});
    const auto elements = desktop.accessibility().windows(pid);
    ASSERT_TRUE(elements && elements->size() == 1);
    ASSERT_TRUE(elements->front()->setPosition(Point(300, 200)));
    EXPECT_EQ(desktop.window(number)->frame.origin, Point(100, 100));

    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (desktop.window(number)->frame.origin == Point(300, 200))
            loop.quit();
    });
    poll.start(5);
    EXPECT_TRUE(runLoop(loop, 3000));
    EXPECT_EQ(desktop.window(number)->frame.origin, Point(300, 200));
}

} // namespace
