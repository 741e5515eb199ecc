#include "app/services/thumbnails.h"
#include "services/desktop_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

using namespace kavelo;
using kavelo::testing::DesktopTest;
using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

// The sim's captures, each held until the test lets that window through.
class GatedCapture : public WindowCapture {
public:
    explicit GatedCapture(WindowCapture& real) : real_(real) {}

    bool isAllowed() const override { return real_.isAllowed(); }
    bool requestAccess() override { return real_.requestAccess(); }
    std::optional<std::vector<CapturableWindow>> windows() const override { return real_.windows(); }
    std::optional<Image> capture(WindowID number, int width, int height) const override
    {
        {
            std::unique_lock lock(mutex_);
            ++started_;
            changed_.notify_all();
            changed_.wait(lock, [&] { return open_.count(number) > 0; });
        }
        return real_.capture(number, width, height);
    }

    void let(WindowID number)
    {
        std::lock_guard lock(mutex_);
        open_.insert(number);
        changed_.notify_all();
    }
    bool waitStarted(int count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return started_ >= count; });
    }

private:
    WindowCapture& real_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable int started_ = 0;
    std::set<WindowID> open_;
};

class ThumbnailsTest : public DesktopTest {
protected:
    ThumbnailsTest() : gated(sim.capture()), gatedDesktop{kavelo::testing::replacing(desktop.platform, nullptr, &gated), prefs} {}

    void collect(WindowID id, const Image& image) { pictures.emplace_back(id, std::pair(image.width, image.height)); }
    Thumbnails::ImageHandler handler()
    {
        return [this](WindowID id, const Image& image) { collect(id, image); };
    }
    // Runs the main queue until `count` pictures arrived (or a long while).
    bool pumpUntil(std::size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (pictures.size() < count && std::chrono::steady_clock::now() < deadline) {
            scheduler.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return pictures.size() >= count;
    }

    GatedCapture gated;
    Desktop gatedDesktop;
    std::vector<std::pair<WindowID, std::pair<int, int>>> pictures;
};

} // namespace

TEST(ThumbnailSize, AtMost480WideInTheWindowsProportionsNeverEnlarged)
{
    using P = std::optional<std::pair<int, int>>;
    EXPECT_EQ(Thumbnails::pixelSize({1920, 1080}), P({480, 270}));
    EXPECT_EQ(Thumbnails::pixelSize({300, 200}), P({300, 200}));
    EXPECT_EQ(Thumbnails::pixelSize({480, 2000}), P({480, 2000}));
    EXPECT_EQ(Thumbnails::pixelSize({1, 300}), P({1, 300}));
    EXPECT_EQ(Thumbnails::pixelSize({0.5, 0.4}), P({1, 1}));
    EXPECT_EQ(Thumbnails::pixelSize({961, 3}), P({480, 1}));
    EXPECT_EQ(Thumbnails::pixelSize({100.9, 50.9}), P({100, 50}));
    EXPECT_EQ(Thumbnails::pixelSize({1000, 1e12}), P({480, 32768}));
    EXPECT_EQ(Thumbnails::pixelSize({std::nan(""), 10}), std::nullopt);
}

TEST_F(ThumbnailsTest, PicturesArriveOnTheMainThreadInCompletionOrder)
{
    const auto a = app("com.example.a", "A");
    const WindowID big = window(a, "big", {0, 30, 1920, 1080});
    const WindowID small = window(a, "small", {0, 30, 300, 200});
    const WindowID thin = window(a, "thin", {0, 30, 1, 50});

    auto task = Thumbnails::load(gatedDesktop, {big, small, thin}, handler());
    ASSERT_TRUE(gated.waitStarted(3));
    scheduler.runPending();
    EXPECT_TRUE(pictures.empty());   // nothing before a capture ends

    gated.let(thin);
    ASSERT_TRUE(pumpUntil(1));
    gated.let(big);
    ASSERT_TRUE(pumpUntil(2));
    gated.let(small);
    task->wait();
    EXPECT_TRUE(task->isFinished());
    scheduler.runPending();
    EXPECT_THAT(pictures, ElementsAre(Pair(thin, Pair(1, 50)), Pair(big, Pair(480, 270)), Pair(small, Pair(300, 200))));
}

TEST_F(ThumbnailsTest, UnknownClosedAndSyntheticWindowsAreSkipped)
{
    const auto a = app("com.example.a", "A");
    const WindowID one = window(a, "one", {0, 30, 400, 300});
    const WindowID closed = window(a, "closed", {0, 30, 400, 300});
    const WindowID two = window(a, "two", {0, 30, 600, 300});
    sim.closeWindow(closed);
    auto task = Thumbnails::load(desktop, {one, closed, syntheticWindowIDBase + 1, two, 9999}, handler());
    task->wait();
    scheduler.runPending();
    ASSERT_EQ(pictures.size(), 2u);
    std::set<WindowID> got{pictures[0].first, pictures[1].first};
    EXPECT_EQ(got, (std::set<WindowID>{one, two}));
}

TEST_F(ThumbnailsTest, NothingIsCapturedWithoutPermission)
{
    const auto a = app("com.example.a", "A");
    const WindowID one = window(a, "one", {0, 30, 400, 300});
    sim.setCaptureAllowed(false);
    auto task = Thumbnails::load(desktop, {one}, handler());
    task->wait();
    EXPECT_TRUE(task->isFinished());
    EXPECT_EQ(scheduler.runPending(), 0u);
    EXPECT_TRUE(pictures.empty());
}

TEST_F(ThumbnailsTest, ACancelledTaskDeliversNothingMore)
{
    const auto a = app("com.example.a", "A");
    const WindowID one = window(a, "one", {0, 30, 400, 300});
    const WindowID two = window(a, "two", {0, 30, 400, 300});
    const WindowID three = window(a, "three", {0, 30, 400, 300});

    auto task = Thumbnails::load(gatedDesktop, {one, two, three}, handler());
    ASSERT_TRUE(gated.waitStarted(3));
    gated.let(one);
    ASSERT_TRUE(pumpUntil(1));
    // The second picture is on its way to the main thread when the panel
    // closes; it is dropped there.
    gated.let(two);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (scheduler.pendingCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    task->cancel();
    EXPECT_TRUE(task->isCancelled());
    gated.let(three);
    task->wait();
    scheduler.runPending();
    EXPECT_THAT(pictures, ElementsAre(Pair(one, Pair(400, 300))));
}

TEST_F(ThumbnailsTest, DestroyingATaskWaitsForItsCapturesAndDropsTheirPictures)
{
    const auto a = app("com.example.a", "A");
    const WindowID one = window(a, "one", {0, 30, 400, 300});
    const WindowID two = window(a, "two", {0, 30, 400, 300});
    auto task = Thumbnails::load(gatedDesktop, {one, two}, handler());
    ASSERT_TRUE(gated.waitStarted(2));
    gated.let(one);
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        gated.let(two);
    });
    task.reset();   // returns once both captures ended
    later.join();
    scheduler.runPending();
    EXPECT_TRUE(pictures.empty());
}
