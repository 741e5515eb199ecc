#pragma once

// A JSON text read token by token in one pass, from pieces that arrive one
// after another, without building any value: the reader of files too large
// to hold whole, in time and memory its bounds limit. The text is checked as strictly as a full parse checks it
// (grammar, escapes, UTF-8), up to the point the caller stops reading.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

class JsonStream {
public:
    // The next piece of text, valid until the next call; empty at the end.
    using Source = std::function<std::string_view()>;

    enum class Token { beginObject, endObject, beginArray, endArray, key, string, number, boolean, null, end, error };

    struct Bounds {
        // Containers nested deeper are an error.
        int deepest = 64;
        // Strings longer are read but not kept.
        std::size_t longestText = 1u << 16;
        // More values (containers and scalars) are an error, so that a text
        // of tiny values costs no more than a bounded number of steps.
        std::size_t mostValues = 32'000'000;
    };

    JsonStream(Source source, Bounds bounds);
    // One whole text.
    JsonStream(std::string_view text, Bounds bounds);

    // The next token; `end` once the one value and the white space after it
    // are read, `error` (for good) at anything else.
    Token next();
    // Reads past the value that `first` began (nothing more for a scalar).
    // False at an error.
    bool skip(Token first);

    // After `key` and `string`: the text, unescaped; empty when `cut()`.
    std::string_view text() const { return text_; }
    // The string was longer than `longestText`.
    bool cut() const { return cut_; }
    // After `boolean`.
    bool truth() const { return truth_; }
    // After `number`: its value, when it is an integer within 64 bits.
    std::optional<std::int64_t> integer() const { return integer_; }
    // After `error`: why.
    const char* problem() const { return problem_; }

private:
    enum class Expect : std::uint8_t { value, valueOrEnd, key, keyOrEnd, commaOrEnd, nothing };

    int peek()
    {
        if (at_ == end_ && !refill())
            return -1;
        return static_cast<unsigned char>(*at_);
    }
    bool refill();
    Token fail(const char* why);
    Token value(int c);
    Token close(Token token);
    bool readString(bool keep);
    bool readEscape(bool keep);
    bool readUTF8(int lead, bool keep);
    bool readNumber();
    bool readAnyNumber();
    bool readWord(std::string_view word);
    void keepByte(char c);

    Source source_;
    const char* at_ = nullptr;
    const char* end_ = nullptr;
    bool drained_ = false;
    Bounds bounds_;
    std::size_t values_ = 0;
    // Whether each open container is an object.
    std::vector<std::uint8_t> objects_;
    // Off while skipping: strings are checked, not kept.
    bool keep_ = true;
    Expect expect_ = Expect::value;
    std::string text_;
    bool cut_ = false;
    bool truth_ = false;
    std::optional<std::int64_t> integer_;
    const char* problem_ = nullptr;
};

} // namespace kavelo
