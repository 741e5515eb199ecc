// The one-pass JSON reader checks a text as strictly as a full parse does,
// wherever the pieces split it, and stops at its bounds; the piecewise
// mozLz4 decoder gives what the library's whole-block decoder gives.

#include "app/services/json_stream.h"
#include "app/services/moz_lz4.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

namespace kavelo::testing {
namespace {

// Reads the whole text in pieces of `piece` bytes; whether it is JSON.
bool accepts(std::string_view text, std::size_t piece, JsonStream::Bounds bounds = {})
{
    std::size_t at = 0;
    JsonStream json(
        [&] {
            const std::string_view out = text.substr(std::min(at, text.size()), piece);
            at += piece;
            return out;
        },
        bounds);
    return json.skip(json.next()) && json.next() == JsonStream::Token::end;
}

RC_GTEST_PROP(JsonStreamProperty, AcceptsWhatAFullParseAcceptsWhereverThePiecesSplit, ())
{
    std::string text = *rc::gen::element<std::string>(
        R"({"a":[1,-0,1.5e3,2E-2,true,false,null,"\u00e9\ud83d\ude00 \" \\ \/ \b\f\n\r\t"],"b":{"":{}}, "c" : [ ] })",
        "[\"é😀\", 0, -12345678901234567890, {\"x\":[[]]}]", "\"plain\"", "  17  ");
    // A few bytes changed or cut: many texts stop being JSON, some do not.
    for (int n = *rc::gen::inRange(0, 3); n > 0; --n) {
        const auto at = *rc::gen::inRange<std::size_t>(0, text.size());
        const char byte = *rc::gen::element('0', '"', '\\', ',', ']', '}', 'e', '.', '-', ' ', '\x01', '\xc3', '\xa9',
                                            '\xed', '\xff', 'u', 'd');
        switch (*rc::gen::inRange(0, 3)) {
        case 0:
            text.insert(text.begin() + std::ptrdiff_t(at), byte);
            break;
        case 1:
            if (at < text.size())
                text[at] = byte;
            break;
        default:
            text.resize(at);
        }
    }
    bool parses = true;
    try {
        const auto parsed = nlohmann::json::parse(text);
        (void)parsed;
    } catch (const nlohmann::json::out_of_range&) {
        RC_DISCARD("a number beyond a double: JSON, yet refused by the full parse");
    } catch (const nlohmann::json::parse_error&) {
        parses = false;
    }
    RC_ASSERT(accepts(text, *rc::gen::inRange<std::size_t>(1, 9)) == parses);
}

TEST(JsonStream, StopsAtItsBounds)
{
    const JsonStream::Bounds small{.deepest = 3, .longestText = 4, .mostValues = 6};
    EXPECT_TRUE(accepts("[[[1]], 2, 3]", 2, small));
    EXPECT_FALSE(accepts("[[[[1]]]]", 2, small));
    EXPECT_FALSE(accepts("[1, 2, 3, 4, 5, 6]", 2, small));
    JsonStream json(R"(["abcd", "abcde"])", small);
    json.next();
    EXPECT_EQ(json.next(), JsonStream::Token::string);
    EXPECT_EQ(json.text(), "abcd");
    EXPECT_EQ(json.next(), JsonStream::Token::string);
    EXPECT_TRUE(json.cut());
    EXPECT_EQ(json.text(), "");
}

RC_GTEST_PROP(MozLz4Property, PiecesJoinToWhatTheWholeBlockDecodesTo, ())
{
    // Repeats at every distance make long overlapping matches.
    std::string text;
    for (int n = *rc::gen::inRange(0, 40); n > 0; --n) {
        const auto run = *rc::gen::element<std::string>("a", "ab", "{\"url\":\"https://", "0,", "xyz12345");
        for (int r = *rc::gen::inRange(1, 2000); r > 0; --r)
            text += run;
    }
    std::string file = MozLz4::encode(text);
    // Damage anywhere: where both decoders take it, they agree (they differ
    // only at the edges of the format, such as a match with no offset).
    const bool damaged = *rc::gen::arbitrary<bool>();
    if (damaged)
        file[*rc::gen::inRange<std::size_t>(8, file.size())] ^= char(*rc::gen::inRange(1, 256));
    MozLz4::Stream stream(file, *rc::gen::inRange<std::size_t>(1, 70000));
    std::string joined;
    for (auto piece = stream.next(); !piece.empty(); piece = stream.next())
        joined += piece;
    if (!damaged) {
        RC_ASSERT(stream.problem().empty());
        RC_ASSERT(joined == text);
    } else if (const auto whole = MozLz4::decode(file); whole && stream.problem().empty()) {
        RC_ASSERT(joined == *whole);
    }
}

} // namespace
} // namespace kavelo::testing
