#include "app/switcher/overview_model.h"

#include "core/window_search.h"

namespace kavelo {

OverviewModel::OverviewModel() = default;

void OverviewModel::setQuery(std::string query)
{
    query_ = std::move(query);
    results_.reset();
    announce(Property::query);
    setSelection(0);
}

void OverviewModel::setScope(WindowScope scope)
{
    scope_ = scope;
    inScope_.reset();
    results_.reset();
    announce(Property::scope);
    setSelection(0);
}

void OverviewModel::setSelection(int selection)
{
    selection_ = selection;
    announce(Property::selection);
}

void OverviewModel::setWindows(std::vector<WindowEntry> windows)
{
    windows_ = std::move(windows);
    counts_.fill(0);
    for (const WindowEntry& w : windows_)
        for (WindowScope s : allWindowScopes)
            counts_[std::size_t(s)] += includes(s, w.state);
    inScope_.reset();
    results_.reset();
    announce(Property::windows);
}

void OverviewModel::setThumbnails(std::unordered_map<WindowID, SharedImage> thumbnails)
{
    std::erase_if(thumbnails, [](const auto& item) { return !item.second; });
    thumbnails_ = std::move(thumbnails);
    changedThumbnail_.reset();
    announce(Property::thumbnails);
}

void OverviewModel::setThumbnail(WindowID window, SharedImage image)
{
    if (!image)
        return removeThumbnail(window);
    thumbnails_[window] = std::move(image);
    changedThumbnail_ = window;
    announce(Property::thumbnails);
}

void OverviewModel::setThumbnail(WindowID window, Image image)
{
    setThumbnail(window, std::make_shared<const Image>(std::move(image)));
}

void OverviewModel::removeThumbnail(WindowID window)
{
    if (!thumbnails_.erase(window))
        return;
    changedThumbnail_ = window;
    announce(Property::thumbnails);
}

void OverviewModel::setColumns(int columns)
{
    columns_ = columns;
    announce(Property::columns);
}

void OverviewModel::setMissingPermission(bool missing)
{
    missingPermission_ = missing;
    announce(Property::missingPermission);
}

void OverviewModel::setWorkflows(std::vector<Workspace> workflows)
{
    workflows_ = std::move(workflows);
    announce(Property::workflows);
}

void OverviewModel::setFocusRequest(int request)
{
    focusRequest_ = request;
    announce(Property::focusRequest);
}

const std::vector<WindowEntry>& OverviewModel::results() const
{
    if (!results_) {
        // Search texts are prepared once per window list and scope, so a
        // typed letter only ranks.
        if (!inScope_) {
            inScope_.emplace();
            for (const WindowEntry& w : windows_)
                if (includes(scope_, w.state))
                    inScope_->windows.push_back(w);
            inScope_->search = WindowSearch::Prepared(inScope_->windows);
        }
        std::vector<WindowEntry> ranked;
        for (std::size_t i : inScope_->search.rank(query_))
            ranked.push_back(inScope_->windows[i]);
        results_ = std::move(ranked);
    }
    return *results_;
}

} // namespace kavelo
