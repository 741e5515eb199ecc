#include "app/services/json_stream.h"

#include "core/text.h"

#include <limits>

namespace kavelo {

namespace {

bool isSpace(int c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }

} // namespace

JsonStream::JsonStream(Source source, Bounds bounds) : source_(std::move(source)), bounds_(bounds) {}

JsonStream::JsonStream(std::string_view text, Bounds bounds)
    : JsonStream(Source([text, given = false]() mutable {
                     const bool first = !given;
                     given = true;
                     return first ? text : std::string_view();
                 }),
                 bounds)
{
}

bool JsonStream::refill()
{
    if (drained_)
        return false;
    const std::string_view piece = source_();
    if (piece.empty()) {
        drained_ = true;
        return false;
    }
    at_ = piece.data();
    end_ = piece.data() + piece.size();
    return true;
}

JsonStream::Token JsonStream::fail(const char* why)
{
    if (!problem_)
        problem_ = why;
    return Token::error;
}

JsonStream::Token JsonStream::next()
{
    if (problem_)
        return Token::error;
    for (;;) {
        int c = peek();
        while (c <= ' ' && isSpace(c)) {
            ++at_;
            c = peek();
        }
        switch (expect_) {
        case Expect::nothing:
            return c < 0 ? Token::end : fail("not JSON");
        case Expect::keyOrEnd:
            if (c == '}') {
                ++at_;
                return close(Token::endObject);
            }
            [[fallthrough]];
        case Expect::key:
            if (c != '"')
                return fail("not JSON");
            ++at_;
            if (!readString(keep_))
                return Token::error;
            c = peek();
            while (isSpace(c)) {
                ++at_;
                c = peek();
            }
            if (c != ':')
                return fail("not JSON");
            ++at_;
            expect_ = Expect::value;
            return Token::key;
        case Expect::valueOrEnd:
            if (c == ']') {
                ++at_;
                return close(Token::endArray);
            }
            [[fallthrough]];
        case Expect::value:
            return value(c);
        case Expect::commaOrEnd: {
            const bool object = objects_.back() != 0;
            if (c == ',') {
                ++at_;
                expect_ = object ? Expect::key : Expect::value;
                continue;
            }
            if (c == (object ? '}' : ']')) {
                ++at_;
                return close(object ? Token::endObject : Token::endArray);
            }
            return fail("not JSON");
        }
        }
    }
}

JsonStream::Token JsonStream::close(Token token)
{
    objects_.pop_back();
    expect_ = objects_.empty() ? Expect::nothing : Expect::commaOrEnd;
    return token;
}

JsonStream::Token JsonStream::value(int c)
{
    if (++values_ > bounds_.mostValues)
        return fail("too many values");
    Token token = Token::null;
    switch (c) {
    case '{':
    case '[':
        if (objects_.size() >= std::size_t(bounds_.deepest))
            return fail("nested too deeply");
        ++at_;
        objects_.push_back(c == '{');
        expect_ = c == '{' ? Expect::keyOrEnd : Expect::valueOrEnd;
        return c == '{' ? Token::beginObject : Token::beginArray;
    case '"':
        ++at_;
        if (!readString(keep_))
            return Token::error;
        token = Token::string;
        break;
    case 't':
    case 'f':
        if (!readWord(c == 't' ? "true" : "false"))
            return Token::error;
        truth_ = c == 't';
        token = Token::boolean;
        break;
    case 'n':
        if (!readWord("null"))
            return Token::error;
        break;
    default:
        if (c != '-' && !isDigit(c))
            return fail("not JSON");
        if (!readNumber())
            return Token::error;
        token = Token::number;
        break;
    }
    expect_ = objects_.empty() ? Expect::nothing : Expect::commaOrEnd;
    return token;
}

bool JsonStream::skip(Token first)
{
    if (first == Token::error || first == Token::end)
        return false;
    if (first != Token::beginObject && first != Token::beginArray)
        return true;
    const std::size_t depth = objects_.size();
    keep_ = false;
    while (objects_.size() >= depth) {
        const Token token = next();
        if (token == Token::error || token == Token::end)
            break;
    }
    keep_ = true;
    return !problem_;
}

void JsonStream::keepByte(char c)
{
    if (cut_)
        return;
    if (text_.size() >= bounds_.longestText) {
        cut_ = true;
        text_.clear();
        return;
    }
    text_.push_back(c);
}

bool JsonStream::readString(bool keep)
{
    text_.clear();
    cut_ = false;
    for (;;) {
        const char* run = at_;
        while (at_ != end_) {
            const auto b = static_cast<unsigned char>(*at_);
            if (b == '"' || b == '\\' || b < 0x20 || b >= 0x80)
                break;
            ++at_;
        }
        if (keep && !cut_ && at_ != run) {
            const auto n = std::size_t(at_ - run);
            if (text_.size() + n > bounds_.longestText) {
                cut_ = true;
                text_.clear();
            } else {
                text_.append(run, n);
            }
        }
        const int c = peek();
        if (c == '"') {
            ++at_;
            return true;
        }
        if (c < 0x20)
            return fail("not JSON"), false;
        if (c == '\\') {
            ++at_;
            if (!readEscape(keep))
                return false;
        } else if (c >= 0x80) {
            ++at_;
            if (!readUTF8(c, keep))
                return false;
        }
        // Otherwise a new piece began inside a plain run, which goes on.
    }
}

bool JsonStream::readEscape(bool keep)
{
    const int c = peek();
    if (c < 0)
        return fail("not JSON"), false;
    ++at_;
    char plain = 0;
    switch (c) {
    case '"':
    case '\\':
    case '/':
        plain = char(c);
        break;
    case 'b':
        plain = '\b';
        break;
    case 'f':
        plain = '\f';
        break;
    case 'n':
        plain = '\n';
        break;
    case 'r':
        plain = '\r';
        break;
    case 't':
        plain = '\t';
        break;
    case 'u':
        break;
    default:
        return fail("not JSON"), false;
    }
    if (c != 'u') {
        if (keep)
            keepByte(plain);
        return true;
    }
    const auto unit = [&]() -> long {
        long v = 0;
        for (int i = 0; i < 4; ++i) {
            const int c = peek();
            const int h = c < 0 ? -1 : text::hexValue(char32_t(c));
            if (h < 0)
                return -1;
            ++at_;
            v = v * 16 + h;
        }
        return v;
    };
    long code = unit();
    if (code < 0 || (code >= 0xdc00 && code <= 0xdfff))
        return fail("not JSON"), false;
    if (code >= 0xd800 && code <= 0xdbff) {
        if (peek() != '\\')
            return fail("not JSON"), false;
        ++at_;
        if (peek() != 'u')
            return fail("not JSON"), false;
        ++at_;
        const long low = unit();
        if (low < 0xdc00 || low > 0xdfff)
            return fail("not JSON"), false;
        code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
    }
    if (!keep)
        return true;
    if (code < 0x80) {
        keepByte(char(code));
    } else if (code < 0x800) {
        keepByte(char(0xc0 | (code >> 6)));
        keepByte(char(0x80 | (code & 0x3f)));
    } else if (code < 0x10000) {
        keepByte(char(0xe0 | (code >> 12)));
        keepByte(char(0x80 | ((code >> 6) & 0x3f)));
        keepByte(char(0x80 | (code & 0x3f)));
    } else {
        keepByte(char(0xf0 | (code >> 18)));
        keepByte(char(0x80 | ((code >> 12) & 0x3f)));
        keepByte(char(0x80 | ((code >> 6) & 0x3f)));
        keepByte(char(0x80 | (code & 0x3f)));
    }
    return true;
}

bool JsonStream::readUTF8(int lead, bool keep)
{
    // Well-formed sequences only: no overlong forms, no surrogates, nothing
    // past U+10FFFF.
    int count = 0, low = 0x80, high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf)
        count = 1;
    else if (lead >= 0xe0 && lead <= 0xef)
        count = 2, low = lead == 0xe0 ? 0xa0 : 0x80, high = lead == 0xed ? 0x9f : 0xbf;
    else if (lead >= 0xf0 && lead <= 0xf4)
        count = 3, low = lead == 0xf0 ? 0x90 : 0x80, high = lead == 0xf4 ? 0x8f : 0xbf;
    else
        return fail("not JSON"), false;
    if (keep)
        keepByte(char(lead));
    for (int i = 0; i < count; ++i) {
        const int c = peek();
        if (c < low || c > high)
            return fail("not JSON"), false;
        ++at_;
        if (keep)
            keepByte(char(c));
        low = 0x80, high = 0xbf;
    }
    return true;
}

bool JsonStream::readNumber()
{
    // Most numbers are short integers wholly inside the piece.
    const char* p = at_ + (*at_ == '-' ? 1 : 0);
    const char* const first = p;
    std::uint64_t magnitude = 0;
    while (p != end_ && isDigit(*p) && p - first < 18)
        magnitude = magnitude * 10 + std::uint64_t(*p++ - '0');
    if (p != end_ && p != first && !isDigit(*p) && *p != '.' && *p != 'e' && *p != 'E' &&
        (*first != '0' || p - first == 1)) {
        integer_ = *at_ == '-' ? -std::int64_t(magnitude) : std::int64_t(magnitude);
        at_ = p;
        return true;
    }
    return readAnyNumber();
}

bool JsonStream::readAnyNumber()
{
    integer_.reset();
    bool negative = false, integral = true, fits = true;
    std::uint64_t magnitude = 0;
    int c = peek();
    if (c == '-') {
        negative = true;
        ++at_;
        c = peek();
    }
    if (c == '0') {
        ++at_;
    } else if (isDigit(c)) {
        while (isDigit(c)) {
            const auto digit = std::uint64_t(c - '0');
            if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
                fits = false;
            magnitude = magnitude * 10 + digit;
            ++at_;
            c = peek();
        }
    } else {
        return fail("not JSON"), false;
    }
    const auto digits = [&] {
        int d = peek();
        if (!isDigit(d))
            return false;
        while (isDigit(d)) {
            ++at_;
            d = peek();
        }
        return true;
    };
    if (peek() == '.') {
        integral = false;
        ++at_;
        if (!digits())
            return fail("not JSON"), false;
    }
    if (c = peek(); c == 'e' || c == 'E') {
        integral = false;
        ++at_;
        if (c = peek(); c == '+' || c == '-')
            ++at_;
        if (!digits())
            return fail("not JSON"), false;
    }
    constexpr auto most = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    if (integral && fits && magnitude <= most + (negative ? 1 : 0))
        integer_ = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    return true;
}

bool JsonStream::readWord(std::string_view word)
{
    for (char w : word) {
        if (peek() != static_cast<unsigned char>(w))
            return fail("not JSON"), false;
        ++at_;
    }
    return true;
}

} // namespace kavelo
