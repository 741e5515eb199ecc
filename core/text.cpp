#include "core/text.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace kavelo::text {

namespace {

bool isPlainAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\r'; });
}

icu::UnicodeString toUnicode(std::string_view s)
{
    return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUtf8(const icu::UnicodeString& u)
{
    std::string out;
    u.toUTF8String(out);
    return out;
}

const icu::Normalizer2* nfc()
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
    return U_SUCCESS(status) ? n : nullptr;
}

// One iterator per thread: creating one is costly and they are not shareable.
icu::BreakIterator* characterBreaks()
{
    thread_local std::unique_ptr<icu::BreakIterator> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> b(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            b.reset();
        return b;
    }();
    return it.get();
}

icu::UnicodeString normalizedUnicode(std::string_view s)
{
    icu::UnicodeString u = toUnicode(s);
    if (const auto* n = nfc()) {
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString out = n->normalize(u, status);
        if (U_SUCCESS(status))
            return out;
    }
    return u;
}

// Boundaries (in UTF-16 units) of the user-perceived characters of `u`.
std::vector<int32_t> characterBoundaries(const icu::UnicodeString& u)
{
    std::vector<int32_t> bounds;
    icu::BreakIterator* it = characterBreaks();
    if (!it) {
        // Without ICU data fall back to code points.
        for (int32_t i = 0; i < u.length(); i = u.moveIndex32(i, 1))
            bounds.push_back(i);
        bounds.push_back(u.length());
        return bounds;
    }
    it->setText(u);
    for (int32_t b = it->first(); b != icu::BreakIterator::DONE; b = it->next())
        bounds.push_back(b);
    if (bounds.empty())
        bounds.push_back(0);
    return bounds;
}

} // namespace

std::string lowercased(std::string_view s)
{
    if (isPlainAscii(s)) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    icu::UnicodeString u = toUnicode(s);
    u.toLower(icu::Locale::getRoot());
    return toUtf8(u);
}

std::string uppercased(std::string_view s)
{
    if (isPlainAscii(s)) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return out;
    }
    icu::UnicodeString u = toUnicode(s);
    u.toUpper(icu::Locale::getRoot());
    return toUtf8(u);
}

bool isWhitespace(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }

std::string trimmingWhitespace(std::string_view s)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    const auto length = static_cast<int32_t>(s.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !isWhitespace(static_cast<char32_t>(c)))
            break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, begin, previous, c);
        if (c < 0 || !isWhitespace(static_cast<char32_t>(c)))
            break;
        end = previous;
    }
    return std::string(s.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin)));
}

bool isControl(char32_t c)
{
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_CONTROL_CHAR || type == U_FORMAT_CHAR;
}

std::vector<std::string> splitOnWhitespace(std::string_view s)
{
    std::vector<std::string> words;
    std::string current;
    int32_t i = 0;
    const auto length = static_cast<int32_t>(s.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    while (i < length) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c >= 0 && isWhitespace(static_cast<char32_t>(c))) {
            if (!current.empty())
                words.push_back(std::move(current));
            current.clear();
        } else if (c < 0) {
            current += "\xEF\xBF\xBD";
        } else {
            current.append(s.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
        }
    }
    if (!current.empty())
        words.push_back(std::move(current));
    return words;
}

std::string normalized(std::string_view s)
{
    if (isPlainAscii(s))
        return std::string(s);
    return toUtf8(normalizedUnicode(s));
}

bool canonicallyEqual(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    return normalized(a) == normalized(b);
}

std::vector<std::string> characters(std::string_view s)
{
    CharacterSequence seq(s);
    std::vector<std::string> out;
    out.reserve(seq.size());
    for (size_t i = 0; i < seq.size(); ++i)
        out.emplace_back(seq[i]);
    return out;
}

size_t characterCount(std::string_view s) { return CharacterSequence(s).size(); }

std::string droppingLastCharacter(std::string_view s)
{
    CharacterSequence seq(s);
    if (seq.empty())
        return {};
    std::string out;
    for (size_t i = 0; i + 1 < seq.size(); ++i)
        out += seq[i];
    return out;
}

char32_t firstScalar(std::string_view s)
{
    if (s.empty())
        return 0;
    int32_t i = 0;
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, static_cast<int32_t>(s.size()), c);
    return c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
}

std::u32string scalars(std::string_view s)
{
    std::u32string out;
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    const auto length = static_cast<int32_t>(s.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        out.push_back(c < 0 ? U'\uFFFD' : static_cast<char32_t>(c));
    }
    return out;
}

std::string utf8(char32_t c)
{
    char bytes[U8_MAX_LENGTH];
    int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, c);
    return std::string(bytes, static_cast<size_t>(length));
}

int hexValue(char32_t c)
{
    if (c >= '0' && c <= '9')
        return int(c - '0');
    if (c >= 'a' && c <= 'f')
        return int(c - 'a') + 10;
    if (c >= 'A' && c <= 'F')
        return int(c - 'A') + 10;
    return -1;
}

std::string printable(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    const auto length = static_cast<int32_t>(s.size());
    char escape[16];
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            for (int32_t k = start; k < i; ++k) {
                std::snprintf(escape, sizeof escape, "\\x%02x", bytes[k]);
                out += escape;
            }
            continue;
        }
        const bool bidi = (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0x200e ||
                          c == 0x200f || c == 0x061c;
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7f) {
            std::snprintf(escape, sizeof escape, "\\x%02x", unsigned(c));
            out += escape;
        } else if ((c >= 0x80 && c <= 0x9f) || c == 0x2028 || c == 0x2029 || bidi) {
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            out += escape;
        } else {
            out.append(s.substr(std::size_t(start), std::size_t(i - start)));
        }
    }
    return out;
}

std::string quoted(std::string_view s) { return "\"" + printable(s) + "\""; }

bool isLetter(std::string_view character)
{
    const char32_t c = firstScalar(character);
    return c != 0 && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC);
}

bool isNumber(std::string_view character)
{
    const char32_t c = firstScalar(character);
    return c != 0 && u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

CharacterSequence::CharacterSequence(std::string_view utf8)
{
    if (isPlainAscii(utf8)) {
        text_.assign(utf8);
        simple_ = true;
        return;
    }
    simple_ = false;
    const icu::UnicodeString u = normalizedUnicode(utf8);
    const std::vector<int32_t> utf16Bounds = characterBoundaries(u);
    bounds_.reserve(utf16Bounds.size());
    bounds_.push_back(0);
    for (size_t i = 1; i < utf16Bounds.size(); ++i) {
        icu::UnicodeString piece = u.tempSubStringBetween(utf16Bounds[i - 1], utf16Bounds[i]);
        piece.toUTF8String(text_);
        bounds_.push_back(static_cast<std::uint32_t>(text_.size()));
    }
}

bool CharacterSequence::matchesAt(size_t at, const CharacterSequence& other) const
{
    if (at + other.size() > size())
        return false;
    if (simple_ && other.simple_)
        return std::string_view(text_).substr(at, other.size()) == other.text_;
    for (size_t i = 0; i < other.size(); ++i)
        if ((*this)[at + i] != other[i])
            return false;
    return true;
}

bool CharacterSequence::contains(const CharacterSequence& other) const
{
    if (other.empty())
        return true;
    if (simple_ && other.simple_)
        return text_.find(other.text_) != std::string::npos;
    if (other.size() > size())
        return false;
    for (size_t at = 0; at + other.size() <= size(); ++at)
        if (matchesAt(at, other))
            return true;
    return false;
}

bool CharacterSequence::containsInOrder(const CharacterSequence& other) const
{
    size_t next = 0;
    for (size_t i = 0; i < size() && next < other.size(); ++i)
        if ((*this)[i] == other[next])
            ++next;
    return next == other.size();
}

} // namespace kavelo::text
