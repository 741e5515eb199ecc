#pragma once

// Unicode text operations the models need, over UTF-8 strings. Everything
// here is ICU underneath; invalid UTF-8 reads as U+FFFD and never throws.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo::text {

// Full Unicode lower-case mapping (language-neutral), e.g. "ẞ" → "ß", "İ" → "i̇".
std::string lowercased(std::string_view s);

// Full Unicode upper-case mapping (language-neutral), e.g. "ß" → "SS".
std::string uppercased(std::string_view s);

// White space and line breaks (the Unicode White_Space property).
bool isWhitespace(char32_t c);

// The text without white space and line breaks at either end.
std::string trimmingWhitespace(std::string_view s);

// Control and format characters (general categories Cc and Cf).
bool isControl(char32_t c);

// Pieces between runs of any Unicode white space; empty pieces dropped.
std::vector<std::string> splitOnWhitespace(std::string_view s);

// Canonical composition, so canonically equivalent texts have equal bytes.
std::string normalized(std::string_view s);

bool canonicallyEqual(std::string_view a, std::string_view b);

// User-perceived characters (extended grapheme clusters), each normalized.
std::vector<std::string> characters(std::string_view s);

size_t characterCount(std::string_view s);

// The text without its last user-perceived character.
std::string droppingLastCharacter(std::string_view s);

// Classes of one user-perceived character, by its first scalar.
bool isLetter(std::string_view character);
bool isNumber(std::string_view character);

// The first scalar of a UTF-8 text, U+FFFD when malformed, 0 when empty.
char32_t firstScalar(std::string_view s);

// Every scalar of a UTF-8 text in order, U+FFFD for each malformed one.
std::u32string scalars(std::string_view s);

// The UTF-8 bytes of one scalar.
std::string utf8(char32_t c);

// The value of one hexadecimal digit of either case; -1 for anything else.
int hexValue(char32_t c);

// The text as it may be echoed to a terminal: control characters (C0, DEL,
// C1), line and paragraph separators, bidirectional controls, bytes that
// are not UTF-8 and the backslash itself are written as escapes ("\n",
// "\x1b", "\u202e", "\\"), so nothing echoed can move the cursor, start
// a line or reorder what follows.
std::string printable(std::string_view s);
// `printable` in double quotes: someone else's text named in a message.
std::string quoted(std::string_view s);

// A normalized text split into user-perceived characters, for matching
// character by character. Plain ASCII without carriage returns, the common
// case, is one character per byte and needs no boundary table.
class CharacterSequence {
public:
    CharacterSequence() = default;
    explicit CharacterSequence(std::string_view utf8);

    size_t size() const { return simple_ ? text_.size() : bounds_.size() - 1; }
    bool empty() const { return size() == 0; }
    std::string_view operator[](size_t i) const
    {
        if (simple_)
            return std::string_view(text_).substr(i, 1);
        return std::string_view(text_).substr(bounds_[i], bounds_[i + 1] - bounds_[i]);
    }
    const std::string& bytes() const { return text_; }
    bool oneBytePerCharacter() const { return simple_; }

    // Where `other` starts as a whole run of characters at index `at`.
    bool matchesAt(size_t at, const CharacterSequence& other) const;
    bool hasPrefix(const CharacterSequence& other) const { return matchesAt(0, other); }
    bool contains(const CharacterSequence& other) const;
    // Every character of `other` appears here in the same order.
    bool containsInOrder(const CharacterSequence& other) const;

private:
    std::string text_;
    std::vector<std::uint32_t> bounds_;
    bool simple_ = true;
};

} // namespace kavelo::text
