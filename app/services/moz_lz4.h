#pragma once

// Firefox's compressed JSON files ("mozLz4"): an 8-byte magic, the size of
// the text as a 32-bit little-endian number, and one LZ4 block.

#include <cstddef>
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

} // namespace kavelo::MozLz4
