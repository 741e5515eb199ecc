#include "core/workspace_matcher.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <set>

using namespace kavelo;

namespace {

WindowEntry live(WindowID id, std::string bundleID, std::string title)
{
    return WindowEntry{.id = id, .bundleID = std::move(bundleID), .title = std::move(title)};
}

// The matching as plainly as it can be written, to check the fast one against.
std::vector<Placement> reference(const std::vector<SavedWindow>& saved, std::vector<WindowEntry> remaining)
{
    std::vector<Placement> out;
    std::vector<SavedWindow> aside;
    for (const SavedWindow& s : saved) {
        const auto it = std::find_if(remaining.begin(), remaining.end(), [&](const WindowEntry& w) {
            return w.bundleID == s.bundleID && w.title == s.title;
        });
        if (it == remaining.end()) {
            aside.push_back(s);
            continue;
        }
        out.push_back({it->id, s.frame});
        remaining.erase(it);
    }
    for (const SavedWindow& s : aside) {
        const auto it = std::find_if(remaining.begin(), remaining.end(),
                                     [&](const WindowEntry& w) { return w.bundleID == s.bundleID; });
        if (it == remaining.end())
            continue;
        out.push_back({it->id, s.frame});
        remaining.erase(it);
    }
    return out;
}

} // namespace

TEST(WorkspaceMatcherMatch, TitlesFirstThenAnyWindowOfTheApplication)
{
    const Rect a(0, 0, 100, 100), b(100, 0, 100, 100);
    const auto placements = WorkspaceMatcher::match({{"app", "A", a}, {"app", "B", b}},
                                                    {live(7, "app", "B"), live(8, "app", "C")});
    EXPECT_EQ(placements, (std::vector<Placement>{{7, b}, {8, a}}));
}

TEST(WorkspaceMatcherMatch, NeverTakesAnotherApplicationsWindow)
{
    const Rect a(0, 0, 100, 100), b(5, 5, 50, 50);
    EXPECT_EQ(WorkspaceMatcher::match({{"mail", "Inbox", a}, {"notes", "n", b}}, {live(1, "safari", "Inbox")}),
              std::vector<Placement>{});
    EXPECT_EQ(WorkspaceMatcher::match({{"mail", "Inbox", a}, {"notes", "n", b}},
                                      {live(1, "safari", "Inbox"), live(2, "notes", "other")}),
              (std::vector<Placement>{{2, b}}));
    EXPECT_TRUE(WorkspaceMatcher::match({}, {live(1, "x", "y")}).empty());
    EXPECT_TRUE(WorkspaceMatcher::match({{"x", "y", a}}, {}).empty());
}

TEST(WorkspaceMatcherMatch, FrontmostWindowsAreTakenFirst)
{
    const Rect a(0, 0, 1, 1), b(0, 0, 2, 2), c(0, 0, 3, 3);
    EXPECT_EQ(WorkspaceMatcher::match({{"term", "zsh", a}, {"term", "zsh", b}, {"term", "vim", c}},
                                      {live(5, "term", "top"), live(3, "term", "zsh"), live(9, "term", "zsh"),
                                       live(4, "term", "zsh")}),
              (std::vector<Placement>{{3, a}, {9, b}, {5, c}}));
}

TEST(WorkspaceMatcherMatch, TextsCompareUnderCanonicalEquivalenceOnly)
{
    const Rect a(0, 0, 1, 1), b(0, 0, 2, 2);
    EXPECT_EQ(WorkspaceMatcher::match({{"app", "Caf\u00e9", a}, {"app", "x", b}},
                                      {live(1, "app", "X"), live(2, "app", "Cafe\u0301")}),
              (std::vector<Placement>{{2, a}, {1, b}}));
    EXPECT_TRUE(WorkspaceMatcher::match({{"App", "x", a}}, {live(1, "app", "x")}).empty());
}

RC_GTEST_PROP(WorkspaceMatcherMatch, AgreesWithThePlainAlgorithmAndUsesEachWindowOnce, ())
{
    const auto app = rc::gen::element<std::string>("mail", "safari", "term", "notes");
    const auto title = rc::gen::element<std::string>("", "A", "B", "C", "Inbox");
    const auto saved = *rc::gen::container<std::vector<SavedWindow>>(rc::gen::build<SavedWindow>(
        rc::gen::set(&SavedWindow::bundleID, app), rc::gen::set(&SavedWindow::title, title),
        rc::gen::set(&SavedWindow::frame, rc::gen::map(rc::gen::inRange(0, 1000), [](int x) {
                         return Rect(x, 0, 100, 100);
                     }))));
    const auto pairs = *rc::gen::container<std::vector<std::pair<std::string, std::string>>>(
        rc::gen::pair(app, title));
    std::vector<WindowEntry> windows;
    for (size_t i = 0; i < pairs.size(); ++i)
        windows.push_back(live(WindowID(1000 - i), pairs[i].first, pairs[i].second));

    const auto placements = WorkspaceMatcher::match(saved, windows);
    RC_ASSERT(placements == reference(saved, windows));

    std::set<WindowID> used;
    for (const Placement& p : placements)
        RC_ASSERT(used.insert(p.windowID).second);
    RC_ASSERT(placements.size() <= std::min(saved.size(), windows.size()));
}
