#include "core/strip.h"

#include "core/tile_floor.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

// Heights for stacked windows of these weights sharing `height` with `gap`
// between them, none under `least`: the windows that would be are held at
// it and the others share the rest. None when they cannot all have it.
std::optional<std::vector<double>> stackHeights(const std::vector<double>& weights, double height, double gap,
                                                double least)
{
    const std::size_t n = weights.size();
    const double available = height - gap * double(n - 1);
    if (n == 1)
        return std::vector<double>{std::max(std::floor(available), least)};
    const double lowest = std::ceil(least);
    if (lowest * double(n) > available)
        return std::nullopt;
    std::vector<bool> held(n, false);
    std::vector<double> out(n, lowest);
    for (bool more = true; more;) {
        more = false;
        double free = available;
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (held[i])
                free -= lowest;
            else
                sum += weights[i];
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (held[i])
                continue;
            out[i] = std::floor(free * weights[i] / sum);
            if (out[i] < least) {
                held[i] = true;
                more = true;
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        if (held[i])
            out[i] = lowest;
    return out;
}

} // namespace

// Two half columns and the gap between them fill a length exactly; a full
// column takes all of it. Never below the floor, however narrow the lane
// that wide pins leave.
double Strip::columnWidth(double fraction, double length, double least) const
{
    const double half = fraction < 1 ? gap / 2 : 0;
    const double width = std::floor(fraction * length - half);
    return width > least ? width : least;
}

double Strip::Measure::maxScroll() const { return std::max(0.0, total - lane.width()); }

Strip::Measure Strip::measure(const Rect& in) const
{
    Measure m;
    m.floor = TileFloor::of(in);
    double laneX = in.minX();
    double laneWidth = in.width();
    for (const Column& column : columns) {
        if (!column.pin)
            continue;
        const double w = columnWidth(column.width, in.width(), m.floor.width) + gap;
        laneWidth -= w;
        if (*column.pin == Pin::left)
            laneX += w;
    }
    // Pins wider than the screen leave an empty lane, not a negative one.
    m.lane = Rect(laneX, in.minY(), std::max(0.0, laneWidth), in.height());

    m.rolling.reserve(columns.size());
    m.sizes.reserve(columns.size());
    m.starts.reserve(columns.size());
    double start = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].pin)
            continue;
        const double size = columnWidth(columns[i].width, m.lane.width(), m.floor.width);
        if (!m.rolling.empty())
            start += m.sizes.back() + gap;
        m.rolling.push_back(i);
        m.sizes.push_back(size);
        m.starts.push_back(start);
        m.total += size;
    }
    if (!m.rolling.empty())
        m.total += gap * double(m.rolling.size() - 1);
    return m;
}

void Strip::place(const Column& column, const Rect& in, const Size& floor, StripLayout& into) const
{
    if (column.tabbed) {
        const Rect bar(in.minX(), in.minY(), in.width(), tabHeight);
        const Rect rest(in.minX(), in.minY() + tabHeight, in.width(), std::max(0.0, in.height() - tabHeight));
        for (WindowID id : column.ids)
            into.frames[id] = rest;
        into.tabs.push_back(TabBar{.frame = bar, .ids = column.ids, .active = column.active});
        return;
    }

    // A weight that is not a positive number would poison every height.
    auto weightOf = [&](WindowID id) {
        const auto it = column.weights.find(id);
        if (it == column.weights.end() || !(it->second > 0) || !std::isfinite(it->second))
            return 1.0;
        return it->second;
    };
    const std::size_t n = column.ids.size();
    if (n == 0)
        return;
    // More windows than fit at the floor: the last slot holds the rest, stacked.
    std::vector<double> heights;
    for (std::size_t slots = n; slots >= 1; --slots) {
        std::vector<double> weights;
        for (std::size_t i = 0; i < slots; ++i)
            weights.push_back(weightOf(column.ids[i]));
        if (auto fitted = stackHeights(weights, in.height(), gap, floor.height)) {
            heights = std::move(*fitted);
            break;
        }
    }
    double y = in.minY();
    for (std::size_t i = 0; i < n; ++i) {
        const WindowID id = column.ids[i];
        const std::size_t slot = std::min(i, heights.size() - 1);
        double height = heights[slot];
        if (n == 1 && keepsHeight) {
            if (const auto original = originalHeights.find(id); original != originalHeights.end())
                height = std::min(height, std::max(original->second, floor.height));
        }
        if (!(height > 0))
            height = 0;
        into.frames[id] = Rect(in.minX(), y, in.width(), height);
        if (i + 1 < heights.size())
            y += height + gap;
    }
}

StripLayout Strip::arranged(const Rect& in, const Measure& m, double scroll) const
{
    StripLayout layout;
    for (const Column& column : columns) {
        if (!column.pin)
            continue;
        const double w = columnWidth(column.width, in.width(), m.floor.width);
        const double x = *column.pin == Pin::left ? in.minX() : in.maxX() - w;
        place(column, Rect(x, in.minY(), w, in.height()), m.floor, layout);
    }
    // Columns out of view wait just beyond the edges, or just inside them
    // when the gap is too small to hide a sliver.
    const double edge = gap >= 4 ? parkGap : -parkGap;
    for (std::size_t k = 0; k < m.rolling.size(); ++k) {
        double x = m.lane.minX() + m.starts[k] - scroll;
        x = std::max(x, in.minX() - edge - m.sizes[k]);
        x = std::min(x, in.maxX() + edge);
        place(columns[m.rolling[k]], Rect(x, in.minY(), m.sizes[k], in.height()), m.floor, layout);
    }
    return layout;
}

StripLayout Strip::arranged(const Rect& in, double scroll) const { return arranged(in, measure(in), scroll); }

StripLayout Strip::layout(const Rect& in)
{
    const Measure m = measure(in);
    double target = scroll;
    if (!isPanning && focused) {
        for (std::size_t k = 0; k < m.rolling.size(); ++k) {
            const auto& ids = columns[m.rolling[k]].ids;
            if (std::find(ids.begin(), ids.end(), *focused) == ids.end())
                continue;
            const double laneWidth = m.lane.width();
            const bool centre = centering || centerMode == CenterMode::always ||
                                (centerMode == CenterMode::overflow && m.total > laneWidth);
            if (centre)
                target = m.starts[k] + m.sizes[k] * 0.5 - laneWidth * 0.5;
            // A column wider than the lane (held at the floor) shows its start.
            else if (m.starts[k] < target || m.sizes[k] > laneWidth)
                target = m.starts[k];
            else if (m.starts[k] + m.sizes[k] > target + laneWidth)
                target = m.starts[k] + m.sizes[k] - laneWidth;
            break;
        }
    }
    target = std::max(0.0, std::min(target, m.maxScroll()));
    scroll = target;
    return arranged(in, m, target);
}

std::map<WindowID, Rect> Strip::frames(const Rect& in) { return layout(in).frames; }

void Strip::beginPan()
{
    isPanning = true;
    centering = false;
    panTravel = 0;
}

void Strip::pan(double by, const Rect& in)
{
    panTravel += by;
    scroll = std::max(0.0, std::min(scroll + by, measure(in).maxScroll()));
}

std::optional<WindowID> Strip::endPan(double throwing, const Rect& in)
{
    if (!isPanning)
        return std::nullopt;
    isPanning = false;
    const Measure m = measure(in);
    const double limit = m.maxScroll();

    if (limit < 1) {
        // Nothing to scroll: a long enough swipe steps the focus instead.
        if (std::abs(panTravel) > 40)
            return moveFocus(panTravel > 0 ? Direction::right : Direction::left);
        return std::nullopt;
    }

    const double target = std::max(0.0, std::min(scroll + throwing, limit));
    std::optional<double> best;
    for (double start : m.starts) {
        const double candidate = std::min(start, limit);
        if (!best || std::abs(candidate - target) < std::abs(*best - target))
            best = candidate;
    }
    if (best)
        scroll = *best;
    const double s = scroll;
    const double laneWidth = m.lane.width();

    for (std::size_t k = 0; focused && k < m.rolling.size(); ++k) {
        const auto& ids = columns[m.rolling[k]].ids;
        if (std::find(ids.begin(), ids.end(), *focused) == ids.end())
            continue;
        if (m.starts[k] >= s - 1 && m.starts[k] + m.sizes[k] <= s + laneWidth + 1)
            return std::nullopt;
        break;
    }

    std::optional<std::size_t> chosen;
    const bool forward = throwing + panTravel >= 0;
    for (std::size_t k = 0; k < m.rolling.size(); ++k) {
        if (std::abs(std::min(m.starts[k], limit) - s) > 1)
            continue;
        chosen = k;
        if (!forward)
            break;
    }
    if (!chosen)
        return std::nullopt;
    setFocus(columns[m.rolling[*chosen]].active);
    return focused;
}

Rect Strip::keptHome(Rect frame, const Rect& in, bool screenOnLeft, bool screenOnRight)
{
    if (screenOnRight && frame.minX() >= in.maxX())
        frame.origin.x = in.maxX() - frame.width();
    if (screenOnLeft && frame.maxX() <= in.minX())
        frame.origin.x = in.minX();
    return frame;
}

} // namespace kavelo
