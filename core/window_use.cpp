#include "core/window_use.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace kavelo {

void WindowUse::note(WindowID id)
{
    forget(id);
    recent.insert(recent.begin(), id);
    if (recent.size() > capacity)
        recent.resize(capacity);
}

void WindowUse::forget(WindowID id)
{
    std::erase(recent, id);
}

std::vector<WindowEntry> WindowUse::ordered(std::vector<WindowEntry> windows) const
{
    std::unordered_map<WindowID, std::size_t> rank;
    for (std::size_t i = 0; i < recent.size(); ++i)
        rank.emplace(recent[i], i);
    constexpr std::size_t unused = std::numeric_limits<std::size_t>::max();
    const auto key = [&](const WindowEntry& w) -> std::pair<int, std::size_t> {
        if (w.state != WindowState::visible)
            return {1, unused};
        const auto it = rank.find(w.id);
        return {0, it == rank.end() ? unused : it->second};
    };
    std::stable_sort(windows.begin(), windows.end(),
                     [&](const WindowEntry& a, const WindowEntry& b) { return key(a) < key(b); });
    return windows;
}

} // namespace kavelo
