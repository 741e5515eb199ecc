#include "app/switcher/switcher_model.h"

#include <numeric>

namespace kavelo {

void SwitcherModel::reset(std::vector<WindowEntry> windows, std::vector<Rect> displays)
{
    session_ = SwitcherSession(std::move(windows));
    thumbnails_.clear();
    displays_ = std::move(displays);
    positions_.clear();
    for (std::size_t i = 0; i < session_.windows.size(); ++i)
        positions_.emplace(session_.windows[i].id, i);
    search_.reset();
    ranked_.reset();
    map_.reset();
    changed.send(SwitcherChange{.kind = SwitcherChange::Kind::sessionStarted});
}

void SwitcherModel::setDisplays(std::vector<Rect> displays)
{
    if (displays == displays_)
        return;
    displays_ = std::move(displays);
    map_.reset();
    changed.send(SwitcherChange{.kind = SwitcherChange::Kind::displays});
}

void SwitcherModel::addThumbnail(WindowID window, SharedImage image)
{
    if (!contains(window) || !image || !image->isValid())
        return;
    thumbnails_.insert_or_assign(window, std::move(image));
    changed.send(SwitcherChange{.kind = SwitcherChange::Kind::thumbnail, .window = window});
}

void SwitcherModel::addThumbnail(WindowID window, Image image)
{
    addThumbnail(window, std::make_shared<const Image>(std::move(image)));
}

void SwitcherModel::removeThumbnail(WindowID window)
{
    if (thumbnails_.erase(window))
        changed.send(SwitcherChange{.kind = SwitcherChange::Kind::thumbnail, .window = window});
}

SwitcherOutcome SwitcherModel::apply(const SwitcherKey& key)
{
    const std::string before = session_.query;
    // Text and Backspace only edit the query and Escape only cancels; the
    // other keys read the results.
    using Kind = SwitcherKey::Kind;
    const bool needsResults = key.kind != Kind::text && key.kind != Kind::backspace && key.kind != Kind::escape;
    static const std::vector<std::size_t> none;
    const SwitcherOutcome outcome = session_.apply(key, needsResults ? ranked() : none);
    if (session_.query != before)
        ranked_.reset();
    changed.send(SwitcherChange{.kind = SwitcherChange::Kind::key});
    return outcome;
}

void SwitcherModel::prepareSearch() const
{
    if (!search_)
        search_.emplace(session_.windows);
}

const std::vector<std::size_t>& SwitcherModel::ranked() const
{
    if (ranked_)
        return *ranked_;
    if (session_.query.empty()) {
        // Everything in order: nothing to prepare or rank.
        std::vector<std::size_t> all(session_.windows.size());
        std::iota(all.begin(), all.end(), std::size_t(0));
        ranked_ = std::move(all);
        return *ranked_;
    }
    prepareSearch();
    ++rankings_;
    ranked_ = search_->rank(session_.query);
    return *ranked_;
}

const WindowEntry* SwitcherModel::selected() const
{
    const auto& results = ranked();
    if (session_.index < 0 || std::size_t(session_.index) >= results.size())
        return nullptr;
    return &session_.windows[results[std::size_t(session_.index)]];
}

const SwitcherMap& SwitcherModel::map() const
{
    if (!map_)
        map_.emplace(session_.windows, displays_, mapFitting, mapGap);
    return *map_;
}

} // namespace kavelo
