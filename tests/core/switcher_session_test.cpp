#include "core/switcher_session.h"

#include "core/text.h"
#include "core/window_search.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

using namespace kavelo;

namespace {

WindowEntry window(WindowID id, std::string app, std::string title)
{
    return WindowEntry{.id = id, .pid = static_cast<std::int32_t>(id), .appName = std::move(app),
                       .title = std::move(title), .frame = Rect(0, 0, 800, 600)};
}

std::vector<WindowEntry> desk()
{
    return {
        window(1, "Safari", "Kavelo docs"),
        window(2, "Terminal", "ssh build"),
        window(3, "Mail", "Inbox"),
        window(4, "Safari", "Release notes"),
    };
}

SwitcherOutcome opens(WindowID id)
{
    for (const WindowEntry& w : desk())
        if (w.id == id)
            return SwitcherOutcome::open(w);
    return SwitcherOutcome::cancel();
}

} // namespace

TEST(SwitcherSession, StartsBehindTheFrontmostWindow)
{
    EXPECT_EQ(SwitcherSession(desk()).index, 1);
    EXPECT_EQ(SwitcherSession(desk()).selected()->id, 2u);
    EXPECT_EQ(SwitcherSession({window(9, "Notes", "")}).index, 0);

    SwitcherSession none{{}};
    EXPECT_EQ(none.index, 0);
    EXPECT_EQ(none.selected(), std::nullopt);
    for (auto key : {SwitcherKey::tab(false), SwitcherKey::tab(true), SwitcherKey::left(), SwitcherKey::right()}) {
        EXPECT_EQ(none.apply(key), SwitcherOutcome::keep());
        EXPECT_EQ(none.index, 0);
    }
    EXPECT_EQ(none.apply(SwitcherKey::enter()), SwitcherOutcome::cancel());
    EXPECT_EQ(none.apply(SwitcherKey::released()), SwitcherOutcome::cancel());
}

TEST(SwitcherSession, TabAndArrowsWrapAtBothEnds)
{
    SwitcherSession s({window(1, "A", ""), window(2, "B", ""), window(3, "C", "")});
    EXPECT_EQ(s.apply(SwitcherKey::tab(false)), SwitcherOutcome::keep());
    EXPECT_EQ(s.index, 2);
    s.apply(SwitcherKey::tab(false));
    EXPECT_EQ(s.index, 0);
    s.apply(SwitcherKey::tab(true));
    EXPECT_EQ(s.index, 2);
    s.apply(SwitcherKey::left());
    EXPECT_EQ(s.index, 1);
    s.apply(SwitcherKey::right());
    s.apply(SwitcherKey::right());
    EXPECT_EQ(s.index, 0);
    // An index set out of range by hand still steps back inside.
    s.index = -7;
    s.apply(SwitcherKey::left());
    EXPECT_EQ(s.index, 1);
}

TEST(SwitcherSession, OptionTabTabReleaseOpensTheThirdWindow)
{
    SwitcherSession s(desk());
    s.apply(SwitcherKey::tab(false));
    EXPECT_EQ(s.apply(SwitcherKey::released()), opens(3));
}

TEST(SwitcherSession, ShiftTabFromTheStartGoesBackToTheFrontmost)
{
    SwitcherSession s(desk());
    s.apply(SwitcherKey::tab(true));
    EXPECT_EQ(s.apply(SwitcherKey::enter()), opens(1));
    // Return and releasing the modifier do the same and change nothing.
    EXPECT_EQ(s.apply(SwitcherKey::released()), opens(1));
    EXPECT_EQ(s.index, 0);
}

TEST(SwitcherSession, TypingSearchesAndBackspaceToEmptyRestoresTheStart)
{
    SwitcherSession s(desk());
    EXPECT_EQ(s.apply(SwitcherKey::text("s")), SwitcherOutcome::keep());
    EXPECT_EQ(s.query, "s");
    EXPECT_EQ(s.index, 0);
    EXPECT_EQ(s.results(), WindowSearch::rank(desk(), "s"));
    s.apply(SwitcherKey::text("a"));
    s.apply(SwitcherKey::text("f"));
    ASSERT_EQ(s.results().size(), 2u);
    s.apply(SwitcherKey::tab(false));
    EXPECT_EQ(s.selected()->id, 4u);
    s.apply(SwitcherKey::tab(false));
    EXPECT_EQ(s.selected()->id, 1u);

    s.apply(SwitcherKey::backspace());
    EXPECT_EQ(s.query, "sa");
    EXPECT_EQ(s.index, 0);
    s.apply(SwitcherKey::backspace());
    s.apply(SwitcherKey::backspace());
    EXPECT_EQ(s.query, "");
    EXPECT_EQ(s.index, 1);
    EXPECT_EQ(s.results(), desk());
    // Nothing more to delete.
    s.index = 3;
    EXPECT_EQ(s.apply(SwitcherKey::backspace()), SwitcherOutcome::keep());
    EXPECT_EQ(s.index, 3);
    EXPECT_EQ(s.apply(SwitcherKey::released()), opens(4));
}

TEST(SwitcherSession, BackspaceToEmptyWithOneWindowSelectsIt)
{
    SwitcherSession s({window(1, "Notes", "")});
    s.apply(SwitcherKey::text("n"));
    s.apply(SwitcherKey::backspace());
    EXPECT_EQ(s.index, 0);
    EXPECT_EQ(s.selected()->id, 1u);
}

TEST(SwitcherSession, BackspaceRemovesAWholeUserPerceivedCharacter)
{
    SwitcherSession s(desk());
    s.apply(SwitcherKey::text("e\xCC\x81"));                     // e + combining acute
    s.apply(SwitcherKey::text("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD")); // thumbs up, medium skin tone
    s.apply(SwitcherKey::backspace());
    EXPECT_TRUE(text::canonicallyEqual(s.query, "\xC3\xA9"));
    s.apply(SwitcherKey::backspace());
    EXPECT_EQ(s.query, "");
    EXPECT_EQ(s.index, 1);
}

TEST(SwitcherSession, DigitOnAnEmptyQueryChoosesAWorkflow)
{
    SwitcherSession s(desk());
    EXPECT_EQ(s.apply(SwitcherKey::text("3")), SwitcherOutcome::workflow(3));
    EXPECT_EQ(s, SwitcherSession(desk()));
    for (auto [typed, n] : std::vector<std::pair<std::string, int>>{{"1", 1}, {"9", 9}, {"+7", 7}, {"007", 7}}) {
        SwitcherSession t(desk());
        EXPECT_EQ(t.apply(SwitcherKey::text(typed)), SwitcherOutcome::workflow(n)) << typed;
        EXPECT_EQ(t.query, "");
    }
    for (std::string typed : {"0", "10", "-3", "+", "3a", " 3", "\xD9\xA3" /* Arabic-Indic three */, "99999999999999999999"}) {
        SwitcherSession t(desk());
        EXPECT_EQ(t.apply(SwitcherKey::text(typed)), SwitcherOutcome::keep()) << typed;
        EXPECT_EQ(t.query, typed);
        EXPECT_EQ(t.index, 0);
    }
}

TEST(SwitcherSession, DigitAfterALetterIsSearchText)
{
    SwitcherSession s({window(1, "Preview", "a3 paper"), window(2, "Preview", "letter")});
    s.apply(SwitcherKey::text("a"));
    EXPECT_EQ(s.apply(SwitcherKey::text("3")), SwitcherOutcome::keep());
    EXPECT_EQ(s.query, "a3");
    EXPECT_EQ(s.results().size(), 1u);
    EXPECT_EQ(s.apply(SwitcherKey::enter()), SwitcherOutcome::open(window(1, "Preview", "a3 paper")));
}

TEST(SwitcherSession, NoMatchLeavesNothingToOpen)
{
    SwitcherSession s(desk());
    s.apply(SwitcherKey::text("q"));
    s.apply(SwitcherKey::text("z"));
    EXPECT_TRUE(s.results().empty());
    EXPECT_EQ(s.selected(), std::nullopt);
    s.apply(SwitcherKey::right());
    s.apply(SwitcherKey::tab(true));
    EXPECT_EQ(s.index, 0);
    EXPECT_EQ(s.apply(SwitcherKey::enter()), SwitcherOutcome::cancel());
    EXPECT_EQ(s.apply(SwitcherKey::released()), SwitcherOutcome::cancel());
}

TEST(SwitcherSession, EscapeCancelsWithoutChangingAnything)
{
    SwitcherSession s(desk());
    s.apply(SwitcherKey::text("m"));
    const SwitcherSession before = s;
    EXPECT_EQ(s.apply(SwitcherKey::escape()), SwitcherOutcome::cancel());
    EXPECT_EQ(s, before);
}

TEST(SwitcherKeyAndOutcome, EqualityLooksAtTheOwnPayloadOnly)
{
    EXPECT_NE(SwitcherKey::tab(true), SwitcherKey::tab(false));
    EXPECT_EQ(SwitcherKey::text("\xC3\xA9"), SwitcherKey::text("e\xCC\x81"));
    SwitcherKey left = SwitcherKey::left();
    left.characters = "x";
    EXPECT_EQ(left, SwitcherKey::left());
    EXPECT_NE(SwitcherOutcome::workflow(2), SwitcherOutcome::workflow(3));
    EXPECT_NE(SwitcherOutcome::open(desk()[0]), SwitcherOutcome::open(desk()[1]));
    EXPECT_NE(SwitcherOutcome::keep(), SwitcherOutcome::cancel());
}

namespace {

// Typed texts that stay whole user-perceived characters next to each other,
// so a model can track the query as a list of them.
const std::vector<std::string> atoms{"a", "f", "i", "m", "r", "s", "t", "x", " ", "1", "3", "0",
                                     "\xC3\xA9", "e\xCC\x81", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"};

rc::Gen<SwitcherKey> genKey()
{
    return rc::gen::oneOf(
        rc::gen::map(rc::gen::arbitrary<bool>(), [](bool b) { return SwitcherKey::tab(b); }),
        rc::gen::map(rc::gen::mapcat(rc::gen::inRange<size_t>(1, 3),
                                     [](size_t n) {
                                         return rc::gen::container<std::vector<std::string>>(
                                             n, rc::gen::elementOf(atoms));
                                     }),
                     [](const std::vector<std::string>& parts) {
                         std::string t;
                         for (const auto& p : parts)
                             t += p;
                         return SwitcherKey::text(t);
                     }),
        rc::gen::element(SwitcherKey::left(), SwitcherKey::right(), SwitcherKey::escape(), SwitcherKey::enter(),
                         SwitcherKey::backspace(), SwitcherKey::released(), SwitcherKey::backspace()));
}

std::vector<WindowEntry> randomWindows(const std::vector<int>& picks)
{
    static const char* apps[] = {"Safari", "Terminal", "Mail", "Finder", "Music"};
    static const char* titles[] = {"", "start page", "r\xC3\xA9sum\xC3\xA9", "inbox 3", "fix it", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD party"};
    std::vector<WindowEntry> out;
    for (size_t i = 0; i < picks.size(); ++i)
        out.push_back(window(static_cast<WindowID>(i + 1), apps[picks[i] % 5], titles[(picks[i] / 5) % 6]));
    return out;
}

} // namespace

RC_GTEST_PROP(SwitcherSessionProperties, RandomKeySequencesKeepTheSessionSound, ())
{
    const auto windows = randomWindows(*rc::gen::container<std::vector<int>>(rc::gen::inRange(0, 30)));
    const auto keys = *rc::gen::container<std::vector<SwitcherKey>>(genKey());

    SwitcherSession s(windows);
    RC_ASSERT(s.index == (windows.size() >= 2 ? 1 : 0));
    std::vector<std::string> model; // the query, one typed character per element

    for (const SwitcherKey& key : keys) {
        const SwitcherSession before = s;
        const SwitcherOutcome outcome = s.apply(key);
        const auto results = s.results();
        const int n = static_cast<int>(results.size());

        switch (key.kind) {
        case SwitcherKey::Kind::tab:
        case SwitcherKey::Kind::left:
        case SwitcherKey::Kind::right: {
            const int d = (key.kind == SwitcherKey::Kind::right ||
                           (key.kind == SwitcherKey::Kind::tab && !key.backward)) ? 1 : -1;
            RC_ASSERT(outcome == SwitcherOutcome::keep());
            RC_ASSERT(s.query == before.query);
            RC_ASSERT(s.index == (n == 0 ? before.index : (before.index + d + n) % n));
            break;
        }
        case SwitcherKey::Kind::text:
            if (outcome.kind == SwitcherOutcome::Kind::workflow) {
                RC_ASSERT(model.empty());
                RC_ASSERT(outcome.number >= 1 && outcome.number <= 9);
                RC_ASSERT(s == before);
            } else {
                RC_ASSERT(outcome == SwitcherOutcome::keep());
                // Split back into the atoms it was built from.
                std::string rest = key.characters;
                while (!rest.empty()) {
                    bool found = false;
                    for (size_t a = atoms.size(); a-- > 0;)
                        if (rest.starts_with(atoms[a])) {
                            model.push_back(atoms[a]);
                            rest.erase(0, atoms[a].size());
                            found = true;
                            break;
                        }
                    RC_ASSERT(found);
                }
                RC_ASSERT(s.index == 0);
            }
            break;
        case SwitcherKey::Kind::backspace:
            RC_ASSERT(outcome == SwitcherOutcome::keep());
            if (model.empty()) {
                RC_ASSERT(s == before);
            } else {
                model.pop_back();
                RC_ASSERT(s.index == (model.empty() && windows.size() >= 2 ? 1 : 0));
            }
            break;
        case SwitcherKey::Kind::escape:
            RC_ASSERT(outcome == SwitcherOutcome::cancel());
            RC_ASSERT(s == before);
            break;
        case SwitcherKey::Kind::enter:
        case SwitcherKey::Kind::released:
            RC_ASSERT(s == before);
            if (n == 0)
                RC_ASSERT(outcome == SwitcherOutcome::cancel());
            else
                RC_ASSERT(outcome == SwitcherOutcome::open(results[static_cast<size_t>(s.index)]));
            break;
        }

        std::string expected;
        for (const auto& c : model)
            expected += c;
        RC_ASSERT(text::canonicallyEqual(s.query, expected));
        // The selection is always on a result, or there is none to be on.
        RC_ASSERT(n == 0 || (s.index >= 0 && s.index < n));
        RC_ASSERT(s.selected() == (n == 0 ? std::nullopt : std::optional(results[static_cast<size_t>(s.index)])));
        RC_ASSERT(s.windows == windows);
    }
}
