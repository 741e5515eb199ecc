#include "core/display_set.h"

#include <algorithm>

namespace kavelo::DisplaySet {

std::string fingerprint(const std::vector<DisplayInfo>& displays)
{
    std::vector<std::string> parts;
    parts.reserve(displays.size());
    for (const DisplayInfo& d : displays)
        parts.push_back(std::to_string(d.vendor) + "-" + std::to_string(d.model) + "-" + std::to_string(d.serial) +
                        "-" + std::to_string(d.width) + "x" + std::to_string(d.height));
    std::sort(parts.begin(), parts.end());

    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += '|';
        out += parts[i];
    }
    return out;
}

} // namespace kavelo::DisplaySet
