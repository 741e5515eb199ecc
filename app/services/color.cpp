#include "app/services/color.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace kavelo {

std::optional<std::string> hex(const Color& color)
{
    int bytes[3];
    const double components[3] = {color.red, color.green, color.blue};
    for (int i = 0; i < 3; ++i) {
        const double c = components[i];
        if (!std::isfinite(c) || c < 0 || c > 1)
            return std::nullopt;
        bytes[i] = static_cast<int>(c * 255);
    }
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", bytes[0], bytes[1], bytes[2]);
    return std::string(text);
}

std::optional<Color> colorFromHex(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // The magnitude may reach 2^63 only for a negative number.
    const std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    std::uint64_t magnitude = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / 16)
            return std::nullopt;
        magnitude = magnitude * 16 + static_cast<std::uint64_t>(digit);
    }
    // Two's complement, as the signed value's bits.
    const std::uint64_t bits = negative ? ~magnitude + 1 : magnitude;
    return Color{.red = static_cast<double>((bits >> 16) & 255) / 255,
                 .green = static_cast<double>((bits >> 8) & 255) / 255,
                 .blue = static_cast<double>(bits & 255) / 255,
                 .opacity = 1};
}

} // namespace kavelo
