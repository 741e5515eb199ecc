#include "core/window_search.h"

#include "core/core_builders.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

WindowEntry entry(WindowID id, std::string app, std::string title)
{
    return WindowEntry{.id = id, .pid = 1, .appName = std::move(app), .title = std::move(title)};
}

} // namespace

TEST(WindowSearchScore, FirstRuleThatHoldsWins)
{
    EXPECT_EQ(WindowSearch::score("saf", "safari start page"), 300);
    EXPECT_EQ(WindowSearch::score("sta", "safari start page"), 300);
    EXPECT_EQ(WindowSearch::score("tar", "safari start page"), 200);
    EXPECT_EQ(WindowSearch::score("sfp", "safari start page"), 100);
    EXPECT_EQ(WindowSearch::score("zzz", "safari start page"), std::nullopt);
    EXPECT_EQ(WindowSearch::score("pfs", "safari start page"), std::nullopt);
    // Only a blank counts as a word start.
    EXPECT_EQ(WindowSearch::score("start", "safari\tstart"), 200);
    // Characters are compared by canonical equivalence.
    EXPECT_EQ(WindowSearch::score("cafe\xCC\x81", "caf\xC3\xA9 menu"), 300);
    EXPECT_EQ(WindowSearch::score("cf\xC3\xA9", "cafe\xCC\x81"), 100);
    EXPECT_EQ(WindowSearch::score("cafe", "cafe\xCC\x81"), std::nullopt);
}

TEST(WindowSearchRank, EmptyQueryReturnsInputUnchanged)
{
    const std::vector<WindowEntry> windows{entry(3, "B", "x"), entry(1, "A", "")};
    EXPECT_EQ(WindowSearch::rank(windows, ""), windows);
    EXPECT_EQ(WindowSearch::rank(windows, " \t\u3000 "), windows);
}

TEST(WindowSearchRank, PrefixOfAppAndWordStartOfTitleTieInInputOrder)
{
    const std::vector<WindowEntry> windows{
        entry(1, "Notes", "Groceries"),
        entry(2, "Terminal", "ssh saturn"),
        entry(3, "Safari", "Kavelo docs"),
        entry(4, "Mail", "Inbox"),
    };
    EXPECT_EQ(ids(WindowSearch::rank(windows, "SAT")), (std::vector<WindowID>{2}));
    EXPECT_EQ(ids(WindowSearch::rank(windows, "saf")), (std::vector<WindowID>{3}));
    const std::vector<WindowEntry> tie{entry(5, "Terminal", "safe mode"), entry(6, "Safari", "")};
    EXPECT_EQ(ids(WindowSearch::rank(tie, "saf")), (std::vector<WindowID>{5, 6}));
}

TEST(WindowSearchRank, WordScoresAddUpAndEveryWordMustMatch)
{
    const std::vector<WindowEntry> windows{
        entry(1, "Safari", "xylophone reviews"), // saf 300 + rvs in order 100
        entry(2, "Safari", "rvs checker"),       // saf 300 + rvs at a word start 300
        entry(3, "Mail", "nothing"),
    };
    EXPECT_EQ(ids(WindowSearch::rank(windows, "saf rvs")), (std::vector<WindowID>{2, 1}));
    EXPECT_EQ(ids(WindowSearch::rank(windows, "saf qqq")), (std::vector<WindowID>{}));
    // 300 + 300 beats 300 + 100 whatever the input order.
    const std::vector<WindowEntry> sum{entry(10, "Code", "main cpp"), entry(11, "Code", "main c++ page")};
    EXPECT_EQ(ids(WindowSearch::rank(sum, "main pa")), (std::vector<WindowID>{11}));
    const std::vector<WindowEntry> sum2{entry(20, "Code", "m a i n"), entry(21, "Code", "main")};
    EXPECT_EQ(ids(WindowSearch::rank(sum2, "code main")), (std::vector<WindowID>{21, 20}));
}

TEST(WindowSearchRank, CaseDoesNotMatter)
{
    const std::vector<WindowEntry> windows{entry(1, "FINDER", "Äpfel")};
    EXPECT_EQ(ids(WindowSearch::rank(windows, "finder äPFEL")), (std::vector<WindowID>{1}));
}

RC_GTEST_PROP(WindowSearchProperties, RankIsAStableFilterSortedByScore,
              (const std::vector<std::pair<std::string, std::string>>& names, const std::string& query))
{
    std::vector<WindowEntry> windows;
    for (size_t i = 0; i < names.size(); ++i)
        windows.push_back(entry(static_cast<WindowID>(i), names[i].first.substr(0, 8), names[i].second.substr(0, 8)));
    const auto ranked = WindowSearch::rank(windows, query.substr(0, 6));
    RC_ASSERT(ranked.size() <= windows.size());
    // Every window appears at most once, and the output is a subsequence when scores tie.
    auto got = ids(ranked);
    std::sort(got.begin(), got.end());
    RC_ASSERT(std::adjacent_find(got.begin(), got.end()) == got.end());
}

namespace {

// Pieces of text that reach every path of the search: ASCII and not, upper
// case, composed and decomposed accents, an em dash, several kinds of blank.
const std::vector<std::string> pieces{"a",  "S",  "saf", "ari", " ",  "\t", "\xE2\x80\x94", "\xC3\xA9", "e\xCC\x81",
                                      "\xC3\x84", "\xE1\xBA\x9E", "ss", "\xE3\x80\x80", "1", "x", "T", "st"};

rc::Gen<std::string> genText(size_t most)
{
    return rc::gen::map(rc::gen::container<std::vector<std::string>>(rc::gen::resize(int(most), rc::gen::elementOf(pieces))),
                        [most](const std::vector<std::string>& parts) {
                            std::string t;
                            for (size_t i = 0; i < parts.size() && i < most; ++i)
                                t += parts[i];
                            return t;
                        });
}

} // namespace

RC_GTEST_PROP(WindowSearchProperties, PreparedRanksAsRankDoes, ())
{
    const auto names = *rc::gen::container<std::vector<std::pair<std::string, std::string>>>(
        rc::gen::pair(genText(4), genText(10)));
    std::vector<WindowEntry> windows;
    for (size_t i = 0; i < names.size(); ++i)
        windows.push_back(entry(static_cast<WindowID>(i), names[i].first, names[i].second));
    const WindowSearch::Prepared prepared(windows);
    RC_ASSERT(prepared.size() == windows.size());
    // One preparation serves many queries, as it does while the user types.
    const auto queries = *rc::gen::container<std::vector<std::string>>(genText(5));
    for (const auto& query : queries) {
        std::vector<WindowEntry> viaPrepared;
        for (size_t position : prepared.rank(query))
            viaPrepared.push_back(windows.at(position));
        RC_ASSERT(viaPrepared == WindowSearch::rank(windows, query));
    }
}
