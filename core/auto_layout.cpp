#include "core/auto_layout.h"

#include "core/tidy.h"
#include "core/tile_floor.h"

#include <algorithm>
#include <cmath>

namespace kavelo::AutoLayout {

namespace {

// Within 4 points a window counts as fitting its tile: windows report sizes
// a little off what they were given.
constexpr double slack = 4;

double usableShare(double share) { return std::isfinite(share) && share < 1 ? share : 0; }

const GridPlan* usablePlan(const std::optional<GridPlan>& plan)
{
    return plan && plan->isValid() ? &*plan : nullptr;
}

// A learned minimum, unless it is not a size at all.
std::optional<Size> minimumOf(const std::map<WindowID, Size>& minimums, WindowID id)
{
    const auto it = minimums.find(id);
    if (it == minimums.end())
        return std::nullopt;
    const Size s = it->second;
    if (!std::isfinite(s.width) || !std::isfinite(s.height) || s.width < 0 || s.height < 0)
        return std::nullopt;
    return s;
}

StripLayout tiledWith(TidyLayout kind, const std::vector<WindowID>& ids, int maxTiles, const Rect& r, double gap,
                      double share, const std::map<WindowID, Size>& minimums, const GridPlan* plan)
{
    StripLayout out;
    if (ids.empty())
        return out;
    size_t n = ids.size();
    if (maxTiles >= 1)
        n = std::min(n, static_cast<size_t>(maxTiles));

    std::vector<Rect> tiles;
    if (plan) {
        const size_t k = std::min(plan->cells.size(), n);
        tiles = plan->frames(static_cast<int>(k), r, gap);
        tiles.resize(std::min(k, tiles.size()));
        n = tiles.size();
    } else {
        tiles = Tidy::frames(kind, static_cast<int>(n), r, gap, share);
        if (n > 1) {
            std::vector<Size> mins(n);
            for (size_t t = 0; t + 1 < n; ++t)
                mins[t] = minimumOf(minimums, ids[t]).value_or(Size());
            for (size_t t = n - 1; t < ids.size(); ++t) {
                const Size m = minimumOf(minimums, ids[t]).value_or(Size());
                mins[n - 1].width = std::max(mins[n - 1].width, m.width);
                mins[n - 1].height = std::max(mins[n - 1].height, m.height);
            }
            if (auto fitted = Tidy::fit(tiles, mins, gap))
                tiles = std::move(*fitted);
        }
    }
    if (n == 0)
        return out;

    for (size_t t = 0; t + 1 < n; ++t)
        out.frames[ids[t]] = tiles[t];
    const Rect& last = tiles[n - 1];
    if (ids.size() <= n) {
        out.frames[ids[n - 1]] = last;
        return out;
    }
    const double barHeight = std::min(tabBarHeight, last.height());
    const Rect below(last.minX(), last.minY() + barHeight, last.width(), last.height() - barHeight);
    TabBar bar{.frame = Rect(last.minX(), last.minY(), last.width(), barHeight), .active = ids[n - 1]};
    for (size_t t = n - 1; t < ids.size(); ++t) {
        out.frames[ids[t]] = below;
        bar.ids.push_back(ids[t]);
    }
    out.tabs.push_back(std::move(bar));
    return out;
}

bool fits(const StripLayout& tiling, const std::vector<WindowID>& shown, const std::map<WindowID, Size>& minimums)
{
    for (WindowID id : shown) {
        const std::optional<Size> m = minimumOf(minimums, id);
        const auto frame = tiling.frames.find(id);
        if (!m || frame == tiling.frames.end())
            continue;
        if (frame->second.width() < m->width - slack || frame->second.height() < m->height - slack)
            return false;
    }
    return true;
}

// Every tile, a shared one with its bar, at least the floor.
bool aboveFloor(const StripLayout& tiling, const Size& floor)
{
    for (const auto& [tile, frame] : tiling.frames) {
        // clang before 16 cannot capture a structured binding.
        const auto& id = tile;
        const bool underBar = std::any_of(tiling.tabs.begin(), tiling.tabs.end(), [&](const TabBar& bar) {
            return std::find(bar.ids.begin(), bar.ids.end(), id) != bar.ids.end();
        });
        const double height = frame.height() + (underBar ? tabBarHeight : 0);
        if (frame.width() < floor.width || height < floor.height)
            return false;
    }
    return true;
}

// The last guard: a tile still under the floor (the fewest tiles a main
// window allows, a window widened past its tile) grows to it inside `area`;
// a shared tile grows with its bar.
void keepFloor(StripLayout& out, const Rect& area)
{
    const Size floor = TileFloor::of(area);
    for (TabBar& bar : out.tabs) {
        const auto below = out.frames.find(bar.active);
        if (below == out.frames.end())
            continue;
        const Rect tile = TileFloor::grown(bar.frame.united(below->second), area);
        const double barHeight = std::min(tabBarHeight, tile.height());
        bar.frame = Rect(tile.minX(), tile.minY(), tile.width(), barHeight);
        const Rect rest(tile.minX(), tile.minY() + barHeight, tile.width(), tile.height() - barHeight);
        for (WindowID id : bar.ids)
            out.frames[id] = rest;
    }
    for (auto& [window, frame] : out.frames) {
        const WindowID id = window;
        const bool underBar = std::any_of(out.tabs.begin(), out.tabs.end(), [&](const TabBar& bar) {
            return std::find(bar.ids.begin(), bar.ids.end(), id) != bar.ids.end();
        });
        if (!underBar && !TileFloor::holds(frame, floor))
            frame = TileFloor::grown(frame, area);
    }
}

} // namespace

StripLayout tiled(TidyLayout kind, const std::vector<WindowID>& ids, int maxTiles, const Rect& in, double gap,
                  double mainShare, const std::map<WindowID, Size>& minimums, const std::optional<GridPlan>& plan)
{
    return tiledWith(kind, ids, maxTiles, in.standardized(), gap, usableShare(mainShare), minimums, usablePlan(plan));
}

StripLayout layout(TidyLayout kind, const std::vector<WindowID>& ids, int maxTiles, int offset, const Rect& in,
                   double gap, double mainShare, const std::map<WindowID, Size>& minimums,
                   const std::optional<GridPlan>& plan)
{
    const Rect r = in.standardized();
    const double share = usableShare(mainShare);
    const GridPlan* grid = usablePlan(plan);
    const Size floor = TileFloor::of(r);
    if (maxTiles >= 1 || ids.empty()) {
        // Fewer tiles, the surplus as tabs, rather than tiles too small to use.
        int tiles = maxTiles;
        StripLayout out = tiledWith(kind, ids, tiles, r, gap, share, minimums, grid);
        while (!ids.empty() && std::min<std::size_t>(std::size_t(tiles), ids.size()) > 1 && !aboveFloor(out, floor)) {
            tiles = int(std::min<std::size_t>(std::size_t(tiles), ids.size())) - 1;
            out = tiledWith(kind, ids, tiles, r, gap, share, minimums, grid);
        }
        keepFloor(out, r);
        return out;
    }

    size_t n = ids.size();
    if (grid)
        n = std::min(n, grid->cells.size());
    const bool hasMain = kind == TidyLayout::focus || kind == TidyLayout::custom || share > 0;
    const size_t mains = hasMain ? 1 : 0;
    const std::vector<WindowID> rest(ids.begin() + static_cast<std::ptrdiff_t>(mains), ids.end());
    const size_t least = hasMain && ids.size() > 1 ? 2 : 1;

    StripLayout out;
    std::vector<WindowID> shown;
    size_t start = 0, k = 0;
    for (;;) {
        k = n - mains;
        const long long latest = static_cast<long long>(rest.size()) - static_cast<long long>(k);
        start = static_cast<size_t>(std::max(0LL, std::min(static_cast<long long>(offset), latest)));
        shown.assign(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(mains));
        shown.insert(shown.end(), rest.begin() + static_cast<std::ptrdiff_t>(start),
                     rest.begin() + static_cast<std::ptrdiff_t>(start + k));
        if (grid) {
            const GridPlan simple = grid->simplified(static_cast<int>(n));
            out = tiledWith(kind, shown, 0, r, gap, share, minimums, &simple);
        } else {
            out = tiledWith(kind, shown, 0, r, gap, share, minimums, nullptr);
        }
        if (n <= least || (fits(out, shown, minimums) && aboveFloor(out, floor)))
            break;
        --n;
    }

    for (WindowID id : shown) {
        const std::optional<Size> m = minimumOf(minimums, id);
        const auto frame = out.frames.find(id);
        if (!m || frame == out.frames.end())
            continue;
        Rect& f = frame->second;
        if (f.width() + slack < m->width && m->width <= r.width()) {
            f.origin.x = std::min(f.minX(), r.maxX() - m->width);
            f.size.width = m->width;
        }
    }

    keepFloor(out, r);

    out.waitingLeft.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(start));
    out.waitingRight.assign(rest.begin() + static_cast<std::ptrdiff_t>(start + k), rest.end());
    const double edge = gap >= 4 ? parkingGap : -parkingGap;
    const double parkedWidth = std::floor(r.width() * 0.4);
    auto park = [&](WindowID id, bool onLeft) {
        const double w = std::max(parkedWidth, minimumOf(minimums, id).value_or(Size()).width);
        const double x = onLeft ? r.minX() - edge - w : r.maxX() + edge;
        out.parked[id] = Rect(x, r.minY(), w, r.height());
    };
    for (WindowID id : out.waitingLeft)
        park(id, true);
    for (WindowID id : out.waitingRight)
        park(id, false);
    out.start = static_cast<int>(start);
    out.shown = std::move(shown);
    return out;
}

} // namespace kavelo::AutoLayout
