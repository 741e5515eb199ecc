#include "app/platform/xsettings.h"

#include <cstddef>

namespace kavelo::XSettings {

namespace {

enum Type : std::uint8_t { integerType = 0, stringType = 1, colourType = 2 };

class Reader {
public:
    Reader(std::span<const std::uint8_t> data, bool bigEndian) : data_(data), bigEndian_(bigEndian) {}

    bool has(std::size_t n) const { return n <= data_.size() - at_; }
    bool skip(std::size_t n)
    {
        if (!has(n))
            return false;
        at_ += n;
        return true;
    }
    std::optional<std::uint32_t> card(std::size_t width)
    {
        if (!has(width))
            return std::nullopt;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t byte = bigEndian_ ? i : width - 1 - i;
            v = (v << 8) | data_[at_ + byte];
        }
        at_ += width;
        return v;
    }
    std::optional<std::string_view> bytes(std::size_t n)
    {
        if (!has(n))
            return std::nullopt;
        std::string_view out(reinterpret_cast<const char*>(data_.data()) + at_, n);
        at_ += n;
        return out;
    }

private:
    std::span<const std::uint8_t> data_;
    bool bigEndian_;
    std::size_t at_ = 0;
};

std::size_t padded(std::size_t n) { return (n + 3) & ~std::size_t(3); }

} // namespace

std::optional<std::int32_t> integer(std::span<const std::uint8_t> property, std::string_view name)
{
    if (property.size() < 12 || property[0] > 1)
        return std::nullopt;
    Reader r(property, property[0] == 1);
    r.skip(4);
    r.card(4);   // serial
    const auto count = r.card(4);
    std::optional<std::int32_t> found;
    // Every setting must read, or the whole property is ignored.
    for (std::uint32_t i = 0; i < count.value_or(0); ++i) {
        const auto type = r.card(1);
        if (!type || !r.skip(1))
            return std::nullopt;
        const auto nameLength = r.card(2);
        if (!nameLength)
            return std::nullopt;
        const auto settingName = r.bytes(*nameLength);
        if (!settingName || !r.skip(padded(*nameLength) - *nameLength) || !r.card(4))
            return std::nullopt;
        switch (*type) {
        case integerType: {
            const auto value = r.card(4);
            if (!value)
                return std::nullopt;
            if (*settingName == name)
                found = std::int32_t(*value);
            break;
        }
        case stringType: {
            const auto length = r.card(4);
            if (!length || !r.skip(*length) || !r.skip(padded(*length) - *length))
                return std::nullopt;
            break;
        }
        case colourType:
            if (!r.skip(8))
                return std::nullopt;
            break;
        default: return std::nullopt;
        }
    }
    return found;
}

} // namespace kavelo::XSettings
