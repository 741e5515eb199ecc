#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kavelo {

// A picture without any toolkit: `width` × `height` pixels, RGBA, 8 bits per
// channel, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    bool isValid() const { return width > 0 && height > 0 && rgba.size() == std::size_t(width) * height * 4; }
    friend bool operator==(const Image&, const Image&) = default;
};

// One picture held in several places without a copy.
using SharedImage = std::shared_ptr<const Image>;

} // namespace kavelo
