#pragma once

// What the switcher panel draws: the running session, the window pictures
// that have arrived, and the displays. Only the controller writes it; views
// read it and hear every change.
//
// The ranking of the current query and the display map are computed at most
// once per change and shared by the controller and the views, so a typed key
// ranks the session's windows once, over search texts prepared once per
// session.

#include "app/platform/image.h"
#include "app/services/signal.h"
#include "core/geometry.h"
#include "core/switcher_map.h"
#include "core/switcher_session.h"
#include "core/window_search.h"

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kavelo {

struct SwitcherChange {
    enum class Kind {
        sessionStarted, // a new session: new windows, no pictures
        key,            // a key changed the query or the selection
        thumbnail,      // a picture of `window` arrived or went
        displays,       // the screens changed: the map is new
    };
    Kind kind = Kind::key;
    WindowID window = 0;
    friend bool operator==(const SwitcherChange&, const SwitcherChange&) = default;
};

class SwitcherModel {
public:
    // The map's inputs, shared with the panel's sizing.
    static constexpr Size mapFitting{960, 440};
    static constexpr double mapGap = 14;

    SwitcherModel() = default;
    SwitcherModel(const SwitcherModel&) = delete;
    SwitcherModel& operator=(const SwitcherModel&) = delete;

    const SwitcherSession& session() const { return session_; }
    // Shared with the thumbnail cache, not copied.
    const std::unordered_map<WindowID, SharedImage>& thumbnails() const { return thumbnails_; }
    // Every screen's frame in the top-left-origin space, in the screen list's order.
    const std::vector<Rect>& displays() const { return displays_; }

    // A new session over `windows` (front-most first); the pictures go.
    void reset(std::vector<WindowEntry> windows, std::vector<Rect> displays);
    void setDisplays(std::vector<Rect> displays);
    // Kept only for a window of the session with a picture to show.
    void addThumbnail(WindowID window, SharedImage image);
    void addThumbnail(WindowID window, Image image);
    void removeThumbnail(WindowID window);
    // Applies one key to the session.
    SwitcherOutcome apply(const SwitcherKey& key);
    // Prepares the search texts now rather than at the first typed key.
    void prepareSearch() const;

    // The session's results for its query, as positions in its windows.
    const std::vector<std::size_t>& ranked() const;
    std::size_t resultCount() const { return ranked().size(); }
    const WindowEntry& result(std::size_t i) const { return session_.windows[ranked()[i]]; }
    // The selected result, none when the index is outside the results.
    const WindowEntry* selected() const;
    // The display map of the session's windows on `displays()`.
    const SwitcherMap& map() const;
    // Whether `window` belongs to the session.
    bool contains(WindowID window) const { return positions_.count(window) > 0; }

    // How many times the results were ranked since the model was made.
    std::size_t rankings() const { return rankings_; }

    Signal<SwitcherChange> changed;

private:
    SwitcherSession session_;
    std::unordered_map<WindowID, SharedImage> thumbnails_;
    std::vector<Rect> displays_;
    std::unordered_map<WindowID, std::size_t> positions_;

    mutable std::optional<WindowSearch::Prepared> search_;
    mutable std::optional<std::vector<std::size_t>> ranked_;
    mutable std::optional<SwitcherMap> map_;
    mutable std::size_t rankings_ = 0;
};

} // namespace kavelo
