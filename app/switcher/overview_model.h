#pragma once

// The state of the window overview: the windows of the last catalog read,
// their pictures, the search text, the scope, the selected card, the grid's
// column count, the permission hint, the workflows of the command bar and
// a counter that asks the view to focus the search field.
//
// The controller writes it when the overview opens and on keys; the view
// reads it and writes `query`, `scope` and `selection`. Every write of a
// published property is announced on `changed`, after the write.

#include "app/platform/image.h"
#include "app/services/signal.h"
#include "core/geometry.h"
#include "core/window_entry.h"
#include "core/window_search.h"
#include "core/window_scope.h"
#include "core/workspace.h"

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kavelo {

class OverviewModel {
public:
    enum class Property {
        query,
        scope,
        selection,
        windows,
        thumbnails,
        columns,
        missingPermission,
        workflows,
        focusRequest,
    };

    OverviewModel();
    OverviewModel(const OverviewModel&) = delete;
    OverviewModel& operator=(const OverviewModel&) = delete;

    // Every write of `query` or `scope`, even of the same value, also sets
    // `selection` to 0.
    const std::string& query() const { return query_; }
    void setQuery(std::string query);
    WindowScope scope() const { return scope_; }
    void setScope(WindowScope scope);

    // An index into `results`; may lie past their end (readers check).
    int selection() const { return selection_; }
    void setSelection(int selection);

    // Front-most first.
    const std::vector<WindowEntry>& windows() const { return windows_; }
    void setWindows(std::vector<WindowEntry> windows);

    // Shared with the thumbnail cache, not copied.
    const std::unordered_map<WindowID, SharedImage>& thumbnails() const { return thumbnails_; }
    void setThumbnails(std::unordered_map<WindowID, SharedImage> thumbnails);
    void setThumbnail(WindowID window, SharedImage image);
    void setThumbnail(WindowID window, Image image);
    void removeThumbnail(WindowID window);
    // The one window whose picture the last `thumbnails` change was about;
    // none when the whole set changed.
    std::optional<WindowID> changedThumbnail() const { return changedThumbnail_; }

    int columns() const { return columns_; }
    void setColumns(int columns);

    bool missingPermission() const { return missingPermission_; }
    void setMissingPermission(bool missing);

    const std::vector<Workspace>& workflows() const { return workflows_; }
    void setWorkflows(std::vector<Workspace> workflows);

    int focusRequest() const { return focusRequest_; }
    void setFocusRequest(int request);

    // The pointer when the overview opened, bottom-left form. Not announced.
    Point pointerAtOpen() const { return pointerAtOpen_; }
    void setPointerAtOpen(Point point) { pointerAtOpen_ = point; }

    // The windows shown, in display order: those the scope includes, in
    // catalog order, ranked for the query. Worked out once per change of
    // the windows, the scope or the query.
    const std::vector<WindowEntry>& results() const;

    // How many windows the scope includes; the query does not count.
    int count(WindowScope scope) const { return counts_[std::size_t(scope)]; }

    Signal<Property> changed;

private:
    void announce(Property property) const { changed.send(property); }

    std::string query_;
    WindowScope scope_ = WindowScope::all;
    int selection_ = 0;
    std::vector<WindowEntry> windows_;
    std::unordered_map<WindowID, SharedImage> thumbnails_;
    std::optional<WindowID> changedThumbnail_;
    int columns_ = 3;
    bool missingPermission_ = false;
    std::vector<Workspace> workflows_;
    int focusRequest_ = 0;
    Point pointerAtOpen_;

    std::array<int, allWindowScopes.size()> counts_{};
    struct InScope {
        std::vector<WindowEntry> windows;
        WindowSearch::Prepared search;
    };
    mutable std::optional<InScope> inScope_;
    mutable std::optional<std::vector<WindowEntry>> results_;
};

} // namespace kavelo
