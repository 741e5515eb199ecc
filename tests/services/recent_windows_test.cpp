// What tells a manager that raises the window it focuses from one that
// leaves the stacking alone: the window just made active stands in front of
// every other program's normal window on screen.

#include "app/services/recent_windows.h"

#include <gtest/gtest.h>

namespace kavelo {
namespace {

WindowInfo window(WindowID number, std::int32_t pid, std::int32_t layer = 0, bool onScreen = true)
{
    return WindowInfo{.number = number, .layer = layer, .ownerPid = pid, .onScreen = onScreen};
}

TEST(RecentWindows, TheWindowMadeActiveStandsInFrontOfOtherProgramsWindows)
{
    constexpr std::int32_t own = 99;
    struct Case {
        const char* what;
        std::vector<WindowInfo> list;   // front to back
        bool inFront;
    };
    const Case cases[] = {
        {"in front", {window(1, 10), window(2, 20)}, true},
        {"behind another program's window", {window(2, 20), window(1, 10)}, false},
        {"behind its own dialog", {window(3, 10), window(1, 10), window(2, 20)}, true},
        {"behind a window kept above", {window(2, 20, 3), window(1, 10)}, true},
        {"behind a dock", {window(2, 20, 20), window(1, 10)}, true},
        {"behind a window of another desktop", {window(2, 20, 0, false), window(1, 10)}, true},
        {"behind this program's panel", {window(5, own, 101), window(6, own), window(1, 10)}, true},
        {"not listed", {window(2, 20)}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(standsInFront(c.list, 1, own), c.inFront) << c.what;
}

} // namespace
} // namespace kavelo
