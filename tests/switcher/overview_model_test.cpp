// The overview model: its change rules, its results and counts, and long
// random sequences of writes with the results checked after every step.

#include "app/switcher/overview_model.h"
#include "core/window_search.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kavelo;

namespace {

using P = OverviewModel::Property;

WindowEntry entry(WindowID id, std::string app, std::string title, WindowState state = WindowState::visible)
{
    return WindowEntry{.id = id, .pid = std::int32_t(id), .appName = std::move(app), .bundleID = "b",
                       .title = std::move(title), .frame = Rect(0, 0, 100, 100), .state = state};
}

std::vector<WindowEntry> sample()
{
    return {entry(1, "Mail", "Inbox"), entry(2, "Notes", "Groceries", WindowState::minimized),
            entry(3, "Mail", "Drafts", WindowState::hidden), entry(4, "Terminal", "build", WindowState::otherSpace),
            entry(5, "Notes", "", WindowState::visible)};
}

std::vector<WindowID> ids(const std::vector<WindowEntry>& windows)
{
    std::vector<WindowID> out;
    for (const auto& w : windows)
        out.push_back(w.id);
    return out;
}

TEST(OverviewModel, QueryAndScopeWritesResetTheSelectionEvenWhenUnchanged)
{
    OverviewModel model;
    model.setWindows(sample());
    std::vector<P> heard;
    Handle h = model.changed.connect([&](P p) { heard.push_back(p); });

    model.setSelection(3);
    model.setScope(WindowScope::all);   // the value it already has
    EXPECT_EQ(model.selection(), 0);
    model.setSelection(2);
    model.setQuery("");
    EXPECT_EQ(model.selection(), 0);
    EXPECT_EQ(heard, (std::vector<P>{P::selection, P::scope, P::selection, P::selection, P::query, P::selection}));

    // Nothing else resets it, and it may point past the results.
    model.setSelection(40);
    model.setColumns(5);
    model.setMissingPermission(true);
    model.setThumbnail(1, Image{});
    model.setPointerAtOpen(Point(3, 4));
    EXPECT_EQ(model.selection(), 40);
    EXPECT_EQ(model.pointerAtOpen(), Point(3, 4));
    EXPECT_EQ(heard.back(), P::thumbnails);   // the pointer is not announced
}

TEST(OverviewModel, ResultsFilterByScopeAndRankByQuery)
{
    OverviewModel model;
    model.setWindows(sample());
    EXPECT_EQ(ids(model.results()), (std::vector<WindowID>{1, 2, 3, 4, 5}));

    model.setScope(WindowScope::thisDesktop);   // visible and hidden together
    EXPECT_EQ(ids(model.results()), (std::vector<WindowID>{1, 3, 5}));
    model.setQuery("   ");                      // no words: catalog order
    EXPECT_EQ(ids(model.results()), (std::vector<WindowID>{1, 3, 5}));
    model.setQuery("dra");
    EXPECT_EQ(ids(model.results()), (std::vector<WindowID>{3}));
    model.setQuery("notes");                    // a window without a title matches its application
    EXPECT_EQ(ids(model.results()), (std::vector<WindowID>{5}));

    model.setScope(WindowScope::minimized);
    EXPECT_EQ(ids(model.results()), (std::vector<WindowID>{2}));
    model.setScope(WindowScope::otherDesktops);
    EXPECT_TRUE(model.results().empty());
    // The counts ignore the query; this desktop counts hidden windows too.
    EXPECT_EQ(model.count(WindowScope::all), 5);
    EXPECT_EQ(model.count(WindowScope::thisDesktop), 3);

    // New windows replace the results.
    model.setWindows({entry(9, "Notes", "Plans", WindowState::otherSpace)});
    EXPECT_EQ(ids(model.results()), (std::vector<WindowID>{9}));
}

// ---------------------------------------------------------------- random writes


const char* const apps[] = {"Mail", "Notes", "Terminal", "Café Élan", "Web"};
const char* const titles[] = {"", "Inbox", "notes on mail", "build — log", "Plans for café", "a b c"};

std::vector<WindowEntry> makeWindows(const std::vector<std::tuple<int, int, int, int>>& recipes)
{
    std::vector<WindowEntry> out;
    WindowID next = 1;
    for (const auto& [app, title, state, gap] : recipes) {
        next += WindowID(gap);
        out.push_back(entry(next++, apps[app], titles[title], WindowState(state)));
    }
    return out;
}

std::vector<WindowEntry> inScope(const std::vector<WindowEntry>& windows, WindowScope scope)
{
    std::vector<WindowEntry> out;
    std::copy_if(windows.begin(), windows.end(), std::back_inserter(out),
                 [&](const WindowEntry& w) { return includes(scope, w.state); });
    return out;
}

bool blank(const std::string& query)
{
    return std::all_of(query.begin(), query.end(), [](char c) { return c == ' '; });
}

RC_GTEST_PROP(OverviewModelProperty, ResultsFollowEveryWrite, ())
{
    const auto windowRecipes = rc::gen::container<std::vector<std::tuple<int, int, int, int>>>(
        rc::gen::tuple(rc::gen::inRange(0, 5), rc::gen::inRange(0, 6), rc::gen::inRange(0, 4), rc::gen::inRange(0, 3)));
    const auto queryGen = rc::gen::container<std::string>(rc::gen::element(' ', 'a', 'e', 'i', 'l', 'n', 'o', 's', 'M'));
    const int steps = *rc::gen::inRange(1, 60);

    OverviewModel model;
    std::vector<P> heard;
    Handle h = model.changed.connect([&](P p) { heard.push_back(p); });
    for (int step = 0; step < steps; ++step) {
        const int kind = *rc::gen::inRange(0, 4);
        heard.clear();
        const auto countsBefore = std::array{model.count(WindowScope::all), model.count(WindowScope::thisDesktop),
                                             model.count(WindowScope::minimized),
                                             model.count(WindowScope::otherDesktops)};
        switch (kind) {
        case 0: model.setWindows(makeWindows(*windowRecipes)); break;
        case 1: model.setScope(allWindowScopes[std::size_t(*rc::gen::inRange(0, 4))]); break;
        case 2: model.setQuery(*queryGen); break;
        default: model.setSelection(*rc::gen::inRange(-3, 40)); break;
        }

        const auto& results = model.results();
        const auto scoped = inScope(model.windows(), model.scope());
        // The kept results are those a fresh ranking gives.
        RC_ASSERT(ids(results) == ids(WindowSearch::rank(scoped, model.query())));
        if (blank(model.query()))
            RC_ASSERT(ids(results) == ids(scoped));
        for (const WindowEntry& r : results) {
            RC_ASSERT(includes(model.scope(), r.state));
            RC_ASSERT(std::count_if(scoped.begin(), scoped.end(), [&](const WindowEntry& w) { return w.id == r.id; }) ==
                      1);
        }
        for (WindowScope s : allWindowScopes)
            RC_ASSERT(model.count(s) == int(inScope(model.windows(), s).size()));
        if (kind == 1 || kind == 2) {
            RC_ASSERT(model.selection() == 0);
            RC_ASSERT(heard.back() == P::selection);
        }
        if (kind == 2)
            for (WindowScope s : allWindowScopes)
                RC_ASSERT(model.count(s) == countsBefore[std::size_t(s)]);
    }
}

} // namespace
