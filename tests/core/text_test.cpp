#include "core/text.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

using namespace kavelo;

TEST(Text, FullLowerCaseMapping)
{
    EXPECT_EQ(text::lowercased("Safari WINDOW"), "safari window");
    EXPECT_EQ(text::lowercased("ÄÖÜ"), "äöü");
    EXPECT_EQ(text::lowercased("İ"), "i\xCC\x87"); // full mapping adds the combining dot
    EXPECT_EQ(text::lowercased("ΣΑΣ"), "σας");     // final sigma
}

TEST(Text, FullUpperCaseMappingMayChangeTheCharacterCount)
{
    EXPECT_EQ(text::uppercased("safari z"), "SAFARI Z");
    EXPECT_EQ(text::uppercased("\u00E4\u00F6\u00FC"), "\u00C4\u00D6\u00DC");
    EXPECT_EQ(text::uppercased("\u00DF"), "SS");
    EXPECT_EQ(text::characterCount(text::uppercased("\uFB01")), 2u); // the fi ligature
}

TEST(Text, TrimsWhiteSpaceAndLineBreaksAtBothEnds)
{
    EXPECT_EQ(text::trimmingWhitespace(" \t\r\n a b \u00A0\u2028"), "a b");
    EXPECT_EQ(text::trimmingWhitespace("\r"), "");
    EXPECT_EQ(text::trimmingWhitespace(""), "");
    EXPECT_EQ(text::trimmingWhitespace("\u00DF"), "\u00DF");
    EXPECT_EQ(text::trimmingWhitespace("x\xFF "), "x\xFF"); // malformed bytes stay
}

TEST(Text, ControlAndFormatCharacters)
{
    EXPECT_TRUE(text::isControl(0x1B));
    EXPECT_TRUE(text::isControl(0x7F));
    EXPECT_TRUE(text::isControl(0x200D)); // zero-width joiner, a format character
    EXPECT_FALSE(text::isControl(U'a'));
    EXPECT_FALSE(text::isControl(0xF700));
}

TEST(Text, SplitsOnAnyWhiteSpace)
{
    const auto words = text::splitOnWhitespace("  one\ttwo\u00A0three\u2003four\n ");
    EXPECT_EQ(words, (std::vector<std::string>{"one", "two", "three", "four"}));
    EXPECT_TRUE(text::splitOnWhitespace(" \t\u3000").empty());
}

TEST(Text, CharactersAreGraphemeClusters)
{
    EXPECT_EQ(text::characterCount("e\xCC\x81"), 1u);         // e + combining acute
    EXPECT_EQ(text::characterCount("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"), 1u); // thumbs up + skin tone
    EXPECT_EQ(text::characterCount("a\r\nb"), 3u);
    EXPECT_EQ(text::droppingLastCharacter("cafe\xCC\x81"), "caf");
    EXPECT_EQ(text::droppingLastCharacter(""), "");
}

TEST(Text, CanonicalEquivalence)
{
    EXPECT_TRUE(text::canonicallyEqual("caf\xC3\xA9", "cafe\xCC\x81"));
    EXPECT_FALSE(text::canonicallyEqual("cafe", "caf\xC3\xA9"));
    const text::CharacterSequence composed("caf\xC3\xA9 noir");
    EXPECT_TRUE(composed.hasPrefix(text::CharacterSequence("cafe\xCC\x81")));
    // A prefix that ends inside a character is no prefix.
    EXPECT_FALSE(text::CharacterSequence("cafe\xCC\x81").hasPrefix(text::CharacterSequence("cafe")));
    EXPECT_TRUE(composed.containsInOrder(text::CharacterSequence("c\xC3\xA9n")));
}

TEST(Text, LetterAndNumberClasses)
{
    EXPECT_TRUE(text::isLetter("a"));
    EXPECT_TRUE(text::isLetter("\xC3\xA9"));
    EXPECT_TRUE(text::isLetter("\xE6\x97\xA5"));
    EXPECT_FALSE(text::isLetter("1"));
    EXPECT_TRUE(text::isNumber("7"));
    EXPECT_TRUE(text::isNumber("\xC2\xBD")); // one half
    EXPECT_FALSE(text::isNumber("x"));
    EXPECT_FALSE(text::isLetter(""));
}

TEST(Text, InvalidUtf8NeverBreaksAnything)
{
    const std::string bad = "ab\xFF\xC3(\xE2\x82";
    EXPECT_NO_THROW(text::lowercased(bad));
    EXPECT_NO_THROW(text::splitOnWhitespace(bad));
    EXPECT_NO_THROW(text::characters(bad));
    EXPECT_GT(text::characterCount(bad), 2u);
    EXPECT_EQ(text::firstScalar("\xFF"), U'\uFFFD');
}

RC_GTEST_PROP(TextProperties, ArbitraryBytesAreSafe, (const std::string& bytes))
{
    const auto chars = text::characters(bytes);
    std::string joined;
    for (const auto& c : chars)
        joined += c;
    RC_ASSERT(text::characterCount(joined) == chars.size());
    const text::CharacterSequence seq(bytes);
    RC_ASSERT(seq.contains(seq));
    RC_ASSERT(seq.containsInOrder(seq));
    text::lowercased(bytes);
}
