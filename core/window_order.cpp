#include "core/window_order.h"

#include <algorithm>

namespace kavelo::WindowOrder {

std::vector<WindowID> placing(const std::vector<WindowID>& ids, const std::map<WindowID, int>& slots)
{
    if (slots.empty())
        return ids;
    std::vector<WindowID> list;
    std::vector<std::pair<WindowID, int>> slotted;
    for (WindowID id : ids) {
        const auto it = slots.find(id);
        if (it == slots.end())
            list.push_back(id);
        else
            slotted.emplace_back(id, it->second);
    }
    std::stable_sort(slotted.begin(), slotted.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    for (const auto& [id, slot] : slotted) {
        // In 64 bits, so that the lowest slot cannot overflow.
        const long long at = std::clamp<long long>(static_cast<long long>(slot) - 1, 0, static_cast<long long>(list.size()));
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), id);
    }
    return list;
}

} // namespace kavelo::WindowOrder
