#include "app/services/moz_lz4.h"

#include <lz4.h>

#include <cstdint>

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
