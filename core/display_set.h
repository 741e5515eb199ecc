#pragma once

// Monitor setups. A setup is known by its fingerprint: one part per display,
// "vendor-model-serial-WxH", sorted and joined by "|", so the order in which
// the screens are listed does not matter.

#include <cstdint>
#include <string>
#include <vector>

namespace kavelo {

struct DisplayInfo {
    std::uint32_t vendor = 0;
    std::uint32_t model = 0;
    // 0 when the display reports none.
    std::uint32_t serial = 0;
    // Screen size in points, truncated to whole numbers.
    int width = 0;
    int height = 0;

    friend bool operator==(const DisplayInfo&, const DisplayInfo&) = default;
};

namespace DisplaySet {

std::string fingerprint(const std::vector<DisplayInfo>& displays);

} // namespace DisplaySet

} // namespace kavelo
