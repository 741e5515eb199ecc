#pragma once

// Firefox's compressed JSON files ("mozLz4"): an 8-byte magic, the size of
// the text as a 32-bit little-endian number, and one LZ4 block.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavelo::MozLz4 {

inline constexpr std::string_view magic{"mozLz40\0", 8};
// Far above any real session; a larger claim is refused before allocating.
inline constexpr std::size_t largestText = 256u << 20;

// The text; none, with the reason in `problem`, for anything malformed: a
// wrong magic, a size beyond `largestText` or beyond what the block could
// hold, a block that does not decode to exactly that size.
std::optional<std::string> decode(std::string_view file, std::string* problem = nullptr);

// The file form of `text`, as Firefox writes it.
std::string encode(std::string_view text);

// The text of a file piece by piece, so that a large one is never held
// whole: the same checks as `decode`, the damage found when it is reached.
// `file` must outlive the stream.
class Stream {
public:
    static constexpr std::size_t defaultPieceSize = 1u << 20;

    // Pieces are at most `pieceSize` bytes long.
    explicit Stream(std::string_view file, std::size_t pieceSize = defaultPieceSize);
    // The next piece, valid until the next call; empty at the end of the
    // text and once damage is found.
    std::string_view next();
    // Why the text ends early; empty while it is sound.
    const std::string& problem() const { return problem_; }

private:
    enum class Phase { token, literals, match };
    bool fail(std::string why);
    bool readLength(std::size_t& length);
    bool readToken();
    bool readMatch();
    std::size_t copyLiterals(std::size_t room);
    std::size_t copyMatch(std::size_t room);

    std::string_view in_;
    std::size_t at_ = 0;
    std::uint32_t size_ = 0;
    std::size_t produced_ = 0;
    // The last bytes of text before the piece (a match reaches at most
    // 64 KiB back), then the piece.
    std::string buffer_;
    std::size_t piece_ = defaultPieceSize;
    std::size_t filled_ = 0;
    std::size_t literals_ = 0;
    std::size_t match_ = 0;
    std::size_t offset_ = 0;
    unsigned matchCode_ = 0;
    Phase phase_ = Phase::token;
    bool ended_ = false;
    std::string problem_;
};

} // namespace kavelo::MozLz4
