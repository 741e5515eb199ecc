#pragma once

// An opaque-or-not sRGB colour as the settings keep it, and its stored form:
// six upper-case hexadecimal digits "RRGGBB".

#include <optional>
#include <string>
#include <string_view>

namespace kavelo {

struct Color {
    double red = 0;     // sRGB components, 0 to 1
    double green = 0;
    double blue = 0;
    double opacity = 1;
    friend bool operator==(const Color&, const Color&) = default;
};

// Each component times 255, truncated. No value when a component is not a
// finite number from 0 to 1 (it has no two-digit form).
std::optional<std::string> hex(const Color& color);

// The whole text read as one base-16 integer (an optional sign, then hex
// digits); its low 24 bits are red, green and blue, opacity 1. No value for
// an empty text, any other character or a number beyond 64 bits.
std::optional<Color> colorFromHex(std::string_view text);

} // namespace kavelo
