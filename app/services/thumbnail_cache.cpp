#include "app/services/thumbnail_cache.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

ThumbnailCache::ThumbnailCache(WindowServer& windows, std::size_t budget) : baseBudget_(budget), budget_(budget)
{
    closes_ = windows.onWindowClosed([this](WindowID window) { forget(window); });
}

void ThumbnailCache::setScale(double scale)
{
    const double s = std::isfinite(scale) ? std::clamp(scale, 1.0, 4.0) : 1.0;
    budget_ = std::size_t(double(baseBudget_) * s * s);
}

std::vector<Thumbnails::Request> ThumbnailCache::show(const std::vector<Thumbnails::Request>& requests, Panel panel)
{
    const std::size_t index = std::size_t(panel);
    std::vector<Thumbnails::Request> out(requests.size());
    // The first request ends up with the highest mark: nearest the top.
    for (std::size_t i = requests.size(); i-- > 0;) {
        Entry& entry = entries_[requests[i].id];
        entry.shown = ++clock_;
        entry.boxes[index] = requests[i].box;
        const Size& a = entry.boxes[0];
        const Size& b = entry.boxes[1];
        out[i] = {.id = requests[i].id, .box = Size(std::max(a.width, b.width), std::max(a.height, b.height))};
    }
    return out;
}

SharedImage ThumbnailCache::store(WindowID window, Image image)
{
    const auto it = entries_.find(window);
    if (it == entries_.end() || !image.isValid())
        return nullptr;
    const bool replacing = it->second.picture != nullptr;
    if (replacing) {
        bytes_ -= cost(*it->second.picture);
        it->second.picture.reset();
    }
    if (!makeRoom(cost(image), window)) {
        if (replacing)
            dropped.send(window);
        return nullptr;
    }
    it->second.picture = std::make_shared<const Image>(std::move(image));
    bytes_ += cost(*it->second.picture);
    return it->second.picture;
}

bool ThumbnailCache::makeRoom(std::size_t needed, WindowID window)
{
    if (needed > budget_)
        return false;
    const std::uint64_t mark = entries_.at(window).shown;
    while (bytes_ + needed > budget_) {
        auto victim = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->second.picture && (victim == entries_.end() || it->second.shown < victim->second.shown))
                victim = it;
        if (victim == entries_.end() || victim->second.shown > mark)
            return false;
        drop(victim, true);
    }
    return true;
}

SharedImage ThumbnailCache::find(WindowID window) const
{
    const auto it = entries_.find(window);
    return it == entries_.end() ? nullptr : it->second.picture;
}

void ThumbnailCache::drop(std::unordered_map<WindowID, Entry>::iterator it, bool evicted)
{
    const WindowID window = it->first;
    const bool hadPicture = it->second.picture != nullptr;
    if (hadPicture)
        bytes_ -= cost(*it->second.picture);
    // An evicted window keeps its boxes: it is captured at that size again
    // when next shown.
    if (evicted)
        it->second.picture.reset();
    else
        entries_.erase(it);
    if (hadPicture)
        dropped.send(window);
}

void ThumbnailCache::forget(WindowID window)
{
    if (const auto it = entries_.find(window); it != entries_.end())
        drop(it, false);
}

void ThumbnailCache::keepOnly(const std::unordered_set<WindowID>& live)
{
    std::vector<WindowID> gone;
    for (const auto& [window, entry] : entries_)
        if (!live.count(window))
            gone.push_back(window);
    for (WindowID window : gone)
        forget(window);
}

void ThumbnailCache::clear()
{
    std::vector<WindowID> all;
    for (const auto& [window, entry] : entries_)
        all.push_back(window);
    for (WindowID window : all)
        forget(window);
}

std::size_t ThumbnailCache::pictureCount() const
{
    return std::size_t(std::count_if(entries_.begin(), entries_.end(),
                                     [](const auto& entry) { return entry.second.picture != nullptr; }));
}

} // namespace kavelo
