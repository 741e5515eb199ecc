// Fifos, devices and oversized files where Kavelo expects its own files:
// each reads as unreadable at once (a fifo without a writer would block an
// open for ever), and what the readers do with an unreadable file follows.

#include "app/platform/desktop_entry.h"
#include "app/platform/manual_scheduler.h"
#include "app/services/user_defaults.h"
#include "app/services/watchdog.h"
#include "core/json.h"
#include "core/workspace_store.h"
#include "services/fake_launcher.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>

using namespace kavelo;
using namespace std::chrono_literals;

namespace {

void makeFifo(const std::filesystem::path& path)
{
    std::filesystem::create_directories(path.parent_path());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
}

// Runs `work`; when it has not returned after a few seconds, a writer opens
// each fifo so that a blocked reader comes free, and the test fails.
void withoutBlocking(const std::vector<std::filesystem::path>& fifos, const std::function<void()>& work)
{
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(5s) == std::future_status::ready) {
        done.get();
        return;
    }
    ADD_FAILURE() << "a read blocked on a fifo";
    while (done.wait_for(50ms) != std::future_status::ready)
        for (const auto& fifo : fifos) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
}

} // namespace

TEST(SpecialFiles, ReadFileTakesOnlyRegularFilesWithinTheLimit)
{
    test::TempHome home;
    const auto fifo = home.root() / "fifo";
    makeFifo(fifo);
    std::ofstream(home.root() / "small") << "12345";
    std::filesystem::create_symlink(home.root() / "small", home.root() / "link");
    withoutBlocking({fifo}, [&] {
        EXPECT_EQ(readFile(fifo), std::nullopt);
        EXPECT_EQ(readFile("/dev/zero"), std::nullopt);
        EXPECT_EQ(readFile(home.root()), std::nullopt);
        EXPECT_EQ(readFile(home.root() / "small"), "12345");
        EXPECT_EQ(readFile(home.root() / "link"), "12345");
        EXPECT_EQ(readFile(home.root() / "small", 5), "12345");
        EXPECT_EQ(readFile(home.root() / "small", 4), std::nullopt);
        // Files under /proc tell no size; they are still read whole.
        EXPECT_TRUE(readFile("/proc/self/comm").value_or("").ends_with("\n"));
    });
}

TEST(SpecialFiles, FifosInPlaceOfSettingsLaunchesWorkflowsAndEntriesReadAsUnreadable)
{
    test::TempHome home;
    const Paths paths = home.paths();
    const Watchdog::Files files = Watchdog::Files::from(paths);
    const WorkspaceStore store(paths.applicationSupport / "Layouts");
    const std::vector<std::filesystem::path> fifos{paths.userDefaults, files.launches, store.url("Deep work"),
                                                   home.root() / "app.desktop"};
    for (const auto& fifo : fifos)
        makeFifo(fifo);

    withoutBlocking(fifos, [&] {
        UserDefaults defaults(paths.userDefaults);
        EXPECT_FALSE(defaults.contains("welcomed"));
        // Unreadable: set aside on the first change, never written into.
        EXPECT_TRUE(defaults.set("welcomed", Json(true)));
        ASSERT_TRUE(defaults.movedAside());
        EXPECT_EQ(std::filesystem::status(*defaults.movedAside()).type(), std::filesystem::file_type::fifo);
        EXPECT_EQ(readFile(paths.userDefaults).value_or(""), "{\n  \"welcomed\": true\n}\n");

        ManualClock clock;
        test::FakeLauncher launcher;
        Watchdog watchdog(paths, clock, launcher, {777, "/opt/kavelo/bin/kavelo"});
        EXPECT_TRUE(watchdog.recentLaunches().empty());
        watchdog.start();
        EXPECT_EQ(launcher.calls.size(), 1u);

        EXPECT_EQ(store.load("Deep work"), std::nullopt);
        EXPECT_TRUE(store.named().empty());
        EXPECT_EQ(DesktopEntry::load(home.root() / "app.desktop", "C"), std::nullopt);
    });
}
