#include "core/tidy.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <utility>

namespace kavelo::Tidy {

namespace {

// A share that leaves the other tiles room, or 0.
double usableShare(double share) { return std::isfinite(share) && share < 1 ? share : 0; }

// Length left for tiles once the gaps are taken; never below 0, so too many
// tiles for the room give empty tiles rather than negative ones.
double freeLength(double length, double gap, int count) { return std::max(0.0, length - gap * (count - 1)); }

// `count` consecutive lengths sharing `free`; with a share the first gets
// floor(share × free) and the rest split what is left evenly.
std::vector<double> lengths(int count, double free, double share)
{
    std::vector<double> out(static_cast<size_t>(count));
    if (share <= 0 || count < 2) {
        std::fill(out.begin(), out.end(), free / count);
        return out;
    }
    const double first = std::floor(share * free);
    out[0] = first;
    std::fill(out.begin() + 1, out.end(), (free - first) / (count - 1));
    return out;
}

// Full-height columns side by side from R.minX.
std::vector<Rect> columnsIn(int count, const Rect& r, double gap, double share)
{
    const std::vector<double> widths = lengths(count, freeLength(r.width(), gap, count), share);
    std::vector<Rect> out;
    out.reserve(widths.size());
    double x = r.minX();
    for (double w : widths) {
        out.emplace_back(x, r.minY(), w, r.height());
        x += w + gap;
    }
    return out;
}

// Full-width rows stacked from R.minY.
std::vector<Rect> rowsIn(int count, const Rect& r, double gap, double share)
{
    std::vector<Rect> out = columnsIn(count, r.transposed(), gap, share);
    for (Rect& t : out)
        t = t.transposed();
    return out;
}

// `count` equal tiles stacked in the column [x, x + width) from R.minY.
void stack(std::vector<Rect>& out, int count, double x, double width, const Rect& r, double gap)
{
    const double h = freeLength(r.height(), gap, count) / count;
    double y = r.minY();
    for (int i = 0; i < count; ++i) {
        out.emplace_back(x, y, width, h);
        y += h + gap;
    }
}

std::vector<Rect> focusIn(int count, const Rect& r, double gap, double share)
{
    std::vector<Rect> out;
    out.reserve(static_cast<size_t>(count));
    if (count >= 3 && r.width() / r.height() >= 2.2) {
        // Like every other tile, a side column never gets a negative width,
        // however large the gap.
        const double c = std::floor(std::max(0.0, r.width() - 2 * gap) * 0.38);
        out.emplace_back(r.minX(), r.minY(), c, r.height());
        out.emplace_back(r.minX() + c + gap, r.minY(), c, r.height());
        const double used = 2 * (c + gap);
        stack(out, count - 2, r.minX() + used, std::max(0.0, r.width() - used), r, gap);
        return out;
    }
    const double s = share > 0 ? share : 0.62;
    const double main = std::floor(s * std::max(0.0, r.width() - gap));
    out.emplace_back(r.minX(), r.minY(), main, r.height());
    stack(out, count - 1, r.minX() + main + gap, std::max(0.0, r.width() - main - gap), r, gap);
    return out;
}

std::vector<Rect> transposedBack(std::vector<Rect> tiles)
{
    for (Rect& t : tiles)
        t = t.transposed();
    return tiles;
}

std::vector<Size> transposed(const std::vector<Size>& sizes)
{
    std::vector<Size> out;
    out.reserve(sizes.size());
    for (Size s : sizes)
        out.emplace_back(s.height, s.width);
    return out;
}

} // namespace

std::vector<Rect> frames(TidyLayout layout, int count, const Rect& in, double gap, double mainShare)
{
    if (count < 1)
        return {};
    const Rect r = in.standardized();
    if (count == 1)
        return {r};
    const double share = usableShare(mainShare);

    const bool portrait = r.width() < r.height();
    if (portrait && (layout == TidyLayout::grid || layout == TidyLayout::focus || layout == TidyLayout::custom))
        return transposedBack(frames(layout, count, r.transposed(), gap, share));

    switch (layout) {
    case TidyLayout::rows: return rowsIn(count, r, gap, share);
    case TidyLayout::columns:
        if (count <= 6)
            return columnsIn(count, r, gap, share);
        break;
    case TidyLayout::focus: return focusIn(count, r, gap, share);
    case TidyLayout::grid:
    case TidyLayout::custom: break;
    }
    return grid(count, r, gap, share);
}

std::vector<Rect> grid(int count, const Rect& in, double gap, double share)
{
    if (count < 1)
        return {};
    const Rect r = in.standardized();
    share = usableShare(share);
    int perRow = 1;
    while (perRow * perRow < count)
        ++perRow;
    const int rows = (count + perRow - 1) / perRow;
    const double rowHeight = freeLength(r.height(), gap, rows) / rows;

    std::vector<Rect> out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < rows; ++i) {
        const int inRow = i < rows - 1 ? perRow : count - perRow * (rows - 1);
        const Rect row(r.minX(), r.minY() + i * (rowHeight + gap), r.width(), rowHeight);
        for (const Rect& t : columnsIn(inRow, row, gap, share))
            out.push_back(t);
    }
    return out;
}

std::optional<std::vector<Rect>> fitWidths(const std::vector<Rect>& tiles, const std::vector<Size>& minimums,
                                           double gap)
{
    auto minimumWidth = [&](size_t i) { return i < minimums.size() ? minimums[i].width : 0.0; };
    for (size_t i = 0; i < tiles.size(); ++i)
        if (!tiles[i].isFinite() || !std::isfinite(minimumWidth(i)))
            return std::nullopt;

    std::vector<Rect> out;
    out.reserve(tiles.size());
    for (const Rect& t : tiles)
        out.push_back(t.standardized());

    std::map<std::pair<double, double>, std::vector<size_t>> rows;
    for (size_t i = 0; i < out.size(); ++i)
        rows[{std::round(out[i].minY()), std::round(out[i].height())}].push_back(i);

    for (auto& [key, members] : rows) {
        std::stable_sort(members.begin(), members.end(),
                         [&](size_t a, size_t b) { return out[a].minX() < out[b].minX(); });
        double widths = 0, mins = 0, need = 0, spare = 0;
        for (size_t i : members) {
            const double w = out[i].width(), m = minimumWidth(i);
            widths += w;
            mins += m;
            need += std::max(m - w, 0.0);
            spare += std::max(w - m, 0.0);
        }
        if (widths + 0.5 < mins)
            return std::nullopt;
        double x = out[members.front()].minX();
        for (size_t i : members) {
            const double w = out[i].width(), m = minimumWidth(i);
            double width = w;
            if (w < m)
                width = m;
            else if (spare > 0)
                width = std::max(0.0, w - need * (w - m) / spare); // rounding may undershoot 0
            out[i].origin.x = x;
            out[i].size.width = width;
            x += width + gap;
        }
    }
    return out;
}

std::optional<std::vector<Rect>> fit(const std::vector<Rect>& tiles, const std::vector<Size>& minimums, double gap)
{
    const std::optional<std::vector<Rect>> wide = fitWidths(tiles, minimums, gap);
    if (!wide)
        return std::nullopt;
    const std::optional<std::vector<Rect>> tall = fitWidths(transposedBack(*wide), transposed(minimums), gap);
    if (!tall)
        return std::nullopt;
    return transposedBack(*tall);
}

} // namespace kavelo::Tidy
