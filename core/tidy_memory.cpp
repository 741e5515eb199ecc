#include "core/tidy_memory.h"

#include <cmath>

namespace kavelo {

bool TidyMemory::isUntouched(const std::map<WindowID, Rect>& current, double tolerance) const
{
    bool anyOpen = false;
    for (const auto& [id, tidied] : after) {
        const auto now = current.find(id);
        if (now == current.end())
            continue;
        anyOpen = true;
        const Rect& f = now->second;
        auto near = [&](double a, double b) { return std::abs(a - b) <= tolerance; };
        if (!(near(f.origin.x, tidied.origin.x) && near(f.origin.y, tidied.origin.y) &&
              near(f.size.width, tidied.size.width) && near(f.size.height, tidied.size.height)))
            return false;
    }
    return anyOpen;
}

} // namespace kavelo
