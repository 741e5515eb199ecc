#include "core/shortcut.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <set>

using namespace kavelo;

namespace {

// The resolver is process-wide; every test leaves it as it found it.
class ShortcutTest : public ::testing::Test {
protected:
    void SetUp() override { saved = Shortcut::localName; Shortcut::localName = nullptr; }
    void TearDown() override { Shortcut::localName = saved; }
    Shortcut::KeyNameResolver saved;
};

constexpr int co = Shortcut::control | Shortcut::option;

const std::set<int> letterAndSymbolKeys = {0,  11, 8,  2,  14, 3,  5,  4,  34, 38, 40, 37, 46,  45,  31,  35, 12,
                                           15, 1,  17, 32, 9,  13, 7,  16, 6,  29, 18, 19, 20,  21,  23,  22, 26,
                                           28, 25, 49, 48, 36, 51, 50, 24, 27, 33, 30, 123, 124, 125, 126};
const std::set<int> functionKeyCodes = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};

} // namespace

TEST_F(ShortcutTest, ModifierNamesComeInAFixedOrderJoinedByPlus)
{
    const char* names[] = {"Ctrl+", "Alt+", "Shift+", "Super+"};
    const int bits[] = {Shortcut::control, Shortcut::option, Shortcut::shift, Shortcut::command};
    for (int combination = 0; combination < 16; ++combination) {
        int mask = 0;
        std::string expected;
        for (int i = 0; i < 4; ++i)
            if (combination & (1 << i)) {
                mask |= bits[i];
                expected += names[i];
            }
        EXPECT_EQ((Shortcut{.keyCode = 0, .modifiers = mask}.label()), expected + "A") << mask;
    }
    EXPECT_EQ(Shortcut::standard.label(), "Ctrl+Alt+Space");
    EXPECT_EQ((Shortcut{.keyCode = 123, .modifiers = co}.label()), "Ctrl+Alt+←");
    EXPECT_EQ((Shortcut{.keyCode = 126, .modifiers = 0x1900}.label()), "Ctrl+Alt+Super+↑");
    EXPECT_EQ((Shortcut{.keyCode = 50, .modifiers = 0x1A00}.label()), "Ctrl+Alt+Shift+`");
    EXPECT_EQ((Shortcut{.keyCode = 48, .modifiers = Shortcut::option}.label()), "Alt+Tab");
    EXPECT_EQ((Shortcut{.keyCode = 51, .modifiers = Shortcut::command}.label()), "Super+Backspace");
    EXPECT_EQ((Shortcut{.keyCode = 111, .modifiers = 0}.label()), "F12");
    EXPECT_EQ(Shortcut::modifierLabel(co), "Ctrl+Alt");
    EXPECT_EQ(Shortcut::modifierLabel(0), "");
}

TEST_F(ShortcutTest, UnknownKeysAndStrayBits)
{
    EXPECT_EQ((Shortcut{.keyCode = 200, .modifiers = co}.label()), "Ctrl+Alt+Key 200");
    EXPECT_EQ((Shortcut{.keyCode = -3, .modifiers = 0}.label()), "Key -3");
    EXPECT_EQ((Shortcut{.keyCode = 0, .modifiers = 0x80 | 0x2000 | 0x10000}.label()), "A");
    EXPECT_FALSE((Shortcut{.keyCode = 0, .modifiers = 0x80}.isUsable()));
    EXPECT_FALSE((Shortcut{.keyCode = 0, .modifiers = 0x2000 | Shortcut::shift}.isUsable()));
    // Stray bits are still part of the value.
    EXPECT_NE((Shortcut{.keyCode = 0, .modifiers = co | 0x80}), (Shortcut{.keyCode = 0, .modifiers = co}));
}

TEST_F(ShortcutTest, TheResolverNamesKeysWhenItCan)
{
    Shortcut::localName = [](int code) -> std::optional<std::string> {
        if (code == 49)
            return std::nullopt;
        if (code == 0)
            return "Q";
        if (code == 200)
            return "§";
        return std::nullopt;
    };
    EXPECT_EQ(Shortcut::standard.label(), "Ctrl+Alt+Space");
    EXPECT_EQ((Shortcut{.keyCode = 0, .modifiers = co}.label()), "Ctrl+Alt+Q");
    EXPECT_EQ((Shortcut{.keyCode = 96, .modifiers = 0}.label()), "F5");
    // A name from the layout does not make an unknown key usable.
    const Shortcut section{.keyCode = 200, .modifiers = co};
    EXPECT_EQ(section.label(), "Ctrl+Alt+§");
    EXPECT_FALSE(section.isUsable());
}

TEST_F(ShortcutTest, UsabilityRules)
{
    EXPECT_TRUE((Shortcut{.keyCode = 96, .modifiers = 0}.isUsable()));
    EXPECT_TRUE((Shortcut{.keyCode = 122, .modifiers = Shortcut::shift}.isUsable()));
    EXPECT_FALSE((Shortcut{.keyCode = 0, .modifiers = 0}.isUsable()));
    EXPECT_FALSE((Shortcut{.keyCode = 0, .modifiers = Shortcut::shift}.isUsable()));
    EXPECT_TRUE((Shortcut{.keyCode = 0, .modifiers = Shortcut::option}.isUsable()));
    EXPECT_TRUE((Shortcut{.keyCode = 0, .modifiers = Shortcut::command | Shortcut::shift}.isUsable()));
    EXPECT_TRUE((Shortcut{.keyCode = 49, .modifiers = Shortcut::control}.isUsable()));
    EXPECT_FALSE((Shortcut{.keyCode = 200, .modifiers = co}.isUsable()));
    EXPECT_FALSE((Shortcut{.keyCode = 53, .modifiers = co}.isUsable())); // Escape has no entry
}

RC_GTEST_PROP(ShortcutProperties, UsableExactlyForKnownKeysWithAStrongModifier, (int keySeed, int modifiers))
{
    const Shortcut::KeyNameResolver saved = Shortcut::localName;
    Shortcut::localName = nullptr;
    const int keyCode = keySeed % 300;
    const Shortcut s{.keyCode = keyCode, .modifiers = modifiers};
    const bool strong = (modifiers & (Shortcut::control | Shortcut::option | Shortcut::command)) != 0;
    const bool expected = functionKeyCodes.contains(keyCode) || (letterAndSymbolKeys.contains(keyCode) && strong);
    const bool unknown = !functionKeyCodes.contains(keyCode) && !letterAndSymbolKeys.contains(keyCode);
    const bool usable = s.isUsable();
    const std::string label = s.label();
    Shortcut::localName = saved;
    RC_ASSERT(usable == expected);
    RC_ASSERT(unknown == label.ends_with("Key " + std::to_string(keyCode)));
}

TEST(ShortcutJson, StoredFormRoundTrips)
{
    const Shortcut s{.keyCode = 45, .modifiers = 0x1A00};
    EXPECT_EQ(json::encode(s).dump(), R"({"keyCode":45,"modifiers":6656})");
    EXPECT_EQ(json::decode([&] { return json::shortcut(json::encode(s)); }), s);
    const std::vector<Shortcut> list{s, Shortcut::standard};
    EXPECT_EQ(json::decode([&] { return json::shortcuts(json::encode(list)); }), list);
}

TEST(ShortcutJson, BothMembersAreRequiredIntegers)
{
    const auto read = [](const char* text) { return json::decode([&] { return json::shortcut(Json::parse(text)); }); };
    EXPECT_EQ(read(R"({"modifiers":6144,"keyCode":49,"extra":1})"), Shortcut::standard);
    EXPECT_EQ(read(R"({"keyCode":49})"), std::nullopt);
    EXPECT_EQ(read(R"({"modifiers":6144})"), std::nullopt);
    EXPECT_EQ(read(R"({"keyCode":49,"modifiers":null})"), std::nullopt);
    EXPECT_EQ(read(R"({"keyCode":"49","modifiers":6144})"), std::nullopt);
    EXPECT_EQ(read(R"({"keyCode":49.5,"modifiers":6144})"), std::nullopt);
    EXPECT_EQ(read(R"({"keyCode":49,"modifiers":1e20})"), std::nullopt);
    EXPECT_EQ(read(R"([49,6144])"), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::shortcuts(Json::parse(R"([{"keyCode":1}])")); }), std::nullopt);
}
