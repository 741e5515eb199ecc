// The order of use: random notes and forgets against the plain rule (the
// last noted first, each window once, the oldest falling off), and windows
// ordered by it keep every window, the visible ones first.

#include "core/window_use.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>

using namespace kavelo;

namespace {

WindowEntry entry(WindowID id, WindowState state) { return WindowEntry{.id = id, .state = state}; }

} // namespace

RC_GTEST_PROP(WindowUseProperty, FollowsTheLastUseAndOrdersEveryWindowOnce,
              (const std::vector<std::pair<bool, std::uint8_t>>& steps))
{
    WindowUse use;
    std::vector<WindowID> expected;
    for (const auto& [forget, raw] : steps) {
        // Few ids, so that windows come back; a small capacity is not tested
        // by its size but by the rule.
        const WindowID id = raw % 12 + 1;
        std::erase(expected, id);
        if (forget) {
            use.forget(id);
        } else {
            use.note(id);
            expected.insert(expected.begin(), id);
        }
        RC_ASSERT(use.recent == expected);
    }

    std::vector<WindowEntry> windows;
    for (WindowID id = 1; id <= 14; ++id)
        windows.push_back(entry(id, *rc::gen::element(WindowState::visible, WindowState::minimized,
                                                        WindowState::otherSpace)));
    const auto ordered = use.ordered(windows);
    RC_ASSERT(std::is_permutation(ordered.begin(), ordered.end(), windows.begin(), windows.end()));
    const auto visible = [](const WindowEntry& w) { return w.state == WindowState::visible; };
    RC_ASSERT(std::is_partitioned(ordered.begin(), ordered.end(), visible));
    // The used visible windows first, most recent first; then the rest, each
    // part in the order given.
    std::vector<WindowID> want;
    for (WindowID id : expected)
        if (visible(windows[id - 1]))
            want.push_back(id);
    for (const auto& w : windows)
        if (visible(w) && std::find(want.begin(), want.end(), w.id) == want.end())
            want.push_back(w.id);
    for (const auto& w : windows)
        if (!visible(w))
            want.push_back(w.id);
    std::vector<WindowID> got;
    for (const auto& w : ordered)
        got.push_back(w.id);
    RC_ASSERT(got == want);
}

TEST(WindowUse, ForgetsTheLeastRecentlyUsedBeyondItsCapacity)
{
    WindowUse use;
    for (WindowID id = 1; id <= WindowUse::capacity + 3; ++id)
        use.note(id);
    ASSERT_EQ(use.recent.size(), WindowUse::capacity);
    EXPECT_EQ(use.recent.front(), WindowUse::capacity + 3);
    EXPECT_EQ(use.recent.back(), 4u);
}
