#pragma once

// The window pictures the switcher and the overview share: one copy per
// window, captured at the size of the largest card that shows it now, held
// within a byte budget. When a new picture does not fit, the pictures shown
// least recently go first, and of those shown together the ones furthest
// down the panel. A window that closes loses its picture at once. Holders
// of a picture hear when it leaves (`dropped`) and let go of it too, so
// memory stays within the budget whoever holds them.

#include "app/platform/image.h"
#include "app/platform/window_server.h"
#include "app/services/signal.h"
#include "app/services/thumbnails.h"
#include "core/geometry.h"
#include "core/window_entry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kavelo {

class ThumbnailCache {
public:
    // 100 windows at the overview's and the switcher's card sizes fit.
    static constexpr std::size_t defaultBudget = std::size_t(24) << 20;

    // Follows `windows` for windows that close.
    explicit ThumbnailCache(WindowServer& windows, std::size_t budget = defaultBudget);
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    enum class Panel : std::size_t { switcher, overview };

    // `panel` shows these windows now, in its order on screen (first most
    // wanted). Each window's box is the larger of what the two panels asked
    // for at their latest showing, so a card that shrank as windows opened
    // is not kept at its old size; the answer is what to capture: the same
    // windows with those boxes.
    std::vector<Thumbnails::Request> show(const std::vector<Thumbnails::Request>& requests, Panel panel);

    // Keeps a window's new picture in place of its old one and answers it,
    // or null when it is not wanted (a window no panel showed, an invalid
    // picture) or does not fit the budget.
    SharedImage store(WindowID window, Image image);
    // The picture held for a window; null for none.
    SharedImage find(WindowID window) const;

    // The window closed: its picture and its box go now.
    void forget(WindowID window);
    // Every window not in `live` is forgotten.
    void keepOnly(const std::unordered_set<WindowID>& live);
    // Everything goes (capture is no longer allowed).
    void clear();

    // Pictures for screens of this many device pixels per point take that
    // many times more bytes each: the budget grows to match, so a scaled
    // screen does not evict what a plain one keeps.
    void setScale(double scale);

    std::size_t budget() const { return budget_; }
    std::size_t bytes() const { return bytes_; }
    // Windows with a picture held.
    std::size_t pictureCount() const;
    // Windows known, with or without a picture.
    std::size_t windowCount() const { return entries_.size(); }

    // A picture left: evicted for room, or its window closed.
    Signal<WindowID> dropped;

private:
    struct Entry {
        SharedImage picture;
        std::array<Size, 2> boxes{Size{0, 0}, Size{0, 0}};   // by panel
        std::uint64_t shown = 0;   // higher: shown more recently, or nearer the top
    };
    static std::size_t cost(const Image& image) { return image.rgba.size(); }
    void drop(std::unordered_map<WindowID, Entry>::iterator it, bool evicted);
    // Makes room for `needed` more bytes; false when `window` itself is the
    // least wanted picture standing in the way.
    bool makeRoom(std::size_t needed, WindowID window);

    std::size_t baseBudget_;
    std::size_t budget_;
    std::size_t bytes_ = 0;
    std::uint64_t clock_ = 0;
    std::unordered_map<WindowID, Entry> entries_;
    Handle closes_;
};

} // namespace kavelo
