#include "app/services/moz_lz4.h"

#include <lz4.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kavelo::MozLz4 {

namespace {

constexpr std::size_t headerSize = 12;
// LZ4 cannot expand a block by more than this.
constexpr std::size_t largestRatio = 255;

std::optional<std::string> fail(std::string* problem, std::string why)
{
    if (problem)
        *problem = std::move(why);
    return std::nullopt;
}

} // namespace

std::optional<std::string> decode(std::string_view file, std::string* problem)
{
    if (file.size() < headerSize || file.substr(0, magic.size()) != magic)
        return fail(problem, "not a mozLz4 file");
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i)
        size = (size << 8) | static_cast<unsigned char>(file[8 + std::size_t(i)]);
    const std::string_view block = file.substr(headerSize);
    if (size > largestText || size > block.size() * largestRatio)
        return fail(problem, "claims " + std::to_string(size) + " bytes, more than it can hold");
    if (block.size() > std::size_t(LZ4_MAX_INPUT_SIZE))
        return fail(problem, "too large");
    std::string out(size, '\0');
    const int n = LZ4_decompress_safe(block.data(), out.data(), int(block.size()), int(size));
    if (n < 0 || std::uint32_t(n) != size)
        return fail(problem, "damaged compressed data");
    return out;
}

std::string encode(std::string_view text)
{
    std::string out(magic);
    const auto size = std::uint32_t(text.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(char((size >> (8 * i)) & 0xff));
    std::string block(std::size_t(LZ4_compressBound(int(text.size()))), '\0');
    const int n = LZ4_compress_default(text.data(), block.data(), int(text.size()), int(block.size()));
    out.append(block.data(), std::size_t(n > 0 ? n : 0));
    return out;
}

} // namespace kavelo::MozLz4

namespace kavelo::MozLz4 {

namespace {

// How far back a match may reach.
constexpr std::size_t history = 1u << 16;
// The last bytes of a block are always literals.
constexpr std::size_t lastLiterals = 5;

} // namespace

Stream::Stream(std::string_view file, std::size_t pieceSize) : in_(file)
{
    if (file.size() < headerSize || file.substr(0, magic.size()) != magic) {
        fail("not a mozLz4 file");
        return;
    }
    for (int i = 3; i >= 0; --i)
        size_ = (size_ << 8) | static_cast<unsigned char>(file[8 + std::size_t(i)]);
    const std::size_t block = file.size() - headerSize;
    if (size_ > largestText || size_ > block * largestRatio) {
        fail("claims " + std::to_string(size_) + " bytes, more than it can hold");
        return;
    }
    if (block > std::size_t(LZ4_MAX_INPUT_SIZE)) {
        fail("too large");
        return;
    }
    at_ = headerSize;
    piece_ = std::max<std::size_t>(pieceSize, 1);
    // Room for many small pieces between two moves of the history.
    buffer_.resize(history + std::max(piece_, history));
}

bool Stream::fail(std::string why)
{
    problem_ = std::move(why);
    return false;
}

std::string_view Stream::next()
{
    if (ended_ || !problem_.empty())
        return {};
    if (buffer_.size() - filled_ < piece_) {
        std::memmove(buffer_.data(), buffer_.data() + filled_ - history, history);
        filled_ = history;
    }
    const std::size_t start = filled_;
    while (filled_ - start < piece_ && !ended_) {
        const std::size_t room = piece_ - (filled_ - start);
        bool sound = true;
        switch (phase_) {
        case Phase::token:
            sound = readToken();
            break;
        case Phase::literals:
            filled_ += copyLiterals(room);
            // The block ends after the literals of its last sequence.
            if (literals_ == 0 && at_ == in_.size()) {
                sound = produced_ == size_ || fail("damaged compressed data");
                ended_ = true;
            } else if (literals_ == 0) {
                sound = readMatch();
            }
            break;
        case Phase::match:
            filled_ += copyMatch(room);
            if (match_ == 0)
                phase_ = Phase::token;
            break;
        }
        if (!sound)
            return {};
    }
    return {buffer_.data() + start, filled_ - start};
}

bool Stream::readLength(std::size_t& length)
{
    unsigned char more = 255;
    while (more == 255) {
        if (at_ == in_.size())
            return false;
        more = static_cast<unsigned char>(in_[at_++]);
        length += more;
    }
    return true;
}

bool Stream::readToken()
{
    if (at_ == in_.size())
        return fail("damaged compressed data");
    const auto token = static_cast<unsigned char>(in_[at_++]);
    std::size_t length = token >> 4;
    if (length == 15 && !readLength(length))
        return fail("damaged compressed data");
    if (length > in_.size() - at_ || length > size_ - produced_)
        return fail("damaged compressed data");
    literals_ = length;
    matchCode_ = token & 15u;
    phase_ = Phase::literals;
    return true;
}

bool Stream::readMatch()
{
    if (in_.size() - at_ < 2)
        return fail("damaged compressed data");
    offset_ = static_cast<unsigned char>(in_[at_]) | std::size_t(static_cast<unsigned char>(in_[at_ + 1])) << 8;
    at_ += 2;
    std::size_t length = matchCode_ + 4;
    if (matchCode_ == 15 && !readLength(length))
        return fail("damaged compressed data");
    const std::size_t left = size_ - produced_;
    if (offset_ == 0 || offset_ > produced_ || length > left || left - length < lastLiterals)
        return fail("damaged compressed data");
    match_ = length;
    phase_ = Phase::match;
    return true;
}

std::size_t Stream::copyLiterals(std::size_t room)
{
    const std::size_t n = std::min(literals_, room);
    std::memcpy(buffer_.data() + filled_, in_.data() + at_, n);
    at_ += n;
    literals_ -= n;
    produced_ += n;
    return n;
}

std::size_t Stream::copyMatch(std::size_t room)
{
    const std::size_t n = std::min(match_, room);
    char* out = buffer_.data() + filled_;
    const char* from = out - offset_;
    // A match may overlap what it writes: the text repeats with the
    // offset's period, so each copy may be as long as all written so far.
    for (std::size_t done = 0; done < n;) {
        const std::size_t step = std::min(n - done, offset_ + done);
        std::memcpy(out + done, from, step);
        done += step;
    }
    match_ -= n;
    produced_ += n;
    return n;
}

} // namespace kavelo::MozLz4
