#include "core/grid_plan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace kavelo {

bool GridCell::contains(int c, int r) const
{
    // In 64 bits: a stored cell may carry any int.
    return c >= column && static_cast<long long>(c) < static_cast<long long>(column) + columnSpan && r >= row &&
           static_cast<long long>(r) < static_cast<long long>(row) + rowSpan;
}

void sortCanonically(std::vector<GridCell>& cells)
{
    std::stable_sort(cells.begin(), cells.end(), [](const GridCell& a, const GridCell& b) {
        if (a.area() != b.area())
            return a.area() > b.area();
        if (a.row != b.row)
            return a.row < b.row;
        return a.column < b.column;
    });
}

GridPlan::GridPlan(int columns, int rows, std::vector<GridCell> cells, std::optional<std::vector<double>> columnWeights,
                   std::optional<std::vector<double>> rowWeights)
    : columns(columns), rows(rows), cells(std::move(cells)), columnWeights(std::move(columnWeights)),
      rowWeights(std::move(rowWeights))
{
    sortCanonically(this->cells);
}

GridPlan GridPlan::even(int columns, int rows)
{
    columns = std::clamp(columns, 1, maxColumns);
    rows = std::clamp(rows, 1, maxRows);
    std::vector<GridCell> cells;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            cells.push_back({c, r, 1, 1});
    return GridPlan(columns, rows, std::move(cells));
}

const std::vector<NamedGridPlan>& GridPlan::presets()
{
    static const std::vector<NamedGridPlan> list = [] {
        return std::vector<NamedGridPlan>{
            {"2 \u00d7 2", even(2, 2)},
            {"3 \u00d7 2", even(3, 2)},
            {"4 \u00d7 2", even(4, 2)},
            {"3 \u00d7 3", even(3, 3)},
            {"Big left, 2", GridPlan(2, 2, {{0, 0, 1, 2}, {1, 0, 1, 1}, {1, 1, 1, 1}})},
            {"Big right, 2", GridPlan(2, 2, {{1, 0, 1, 2}, {0, 0, 1, 1}, {0, 1, 1, 1}})},
            {"Big left, 3", GridPlan(3, 3, {{0, 0, 2, 3}, {2, 0, 1, 1}, {2, 1, 1, 1}, {2, 2, 1, 1}})},
            {"Big top, 2", GridPlan(2, 2, {{0, 0, 2, 1}, {0, 1, 1, 1}, {1, 1, 1, 1}})},
            {"Big centre", GridPlan(4, 2, {{1, 0, 2, 2}, {0, 0, 1, 2}, {3, 0, 1, 1}, {3, 1, 1, 1}})},
        };
    }();
    return list;
}

const std::vector<NamedGridPlan>& GridPlan::templates()
{
    static const std::vector<NamedGridPlan> list = [] {
        std::vector<std::pair<std::string, std::string>> table{
            {"Writing", "Big centre"},
            {"Coding", "Big left, 3"},
            {"Video call", "Big right, 2"},
            {"Research", "3 \u00d7 2"},
        };
        std::sort(table.begin(), table.end());
        std::vector<NamedGridPlan> out;
        for (const auto& [name, preset] : table) {
            const auto& all = presets();
            const auto it = std::find_if(all.begin(), all.end(), [&preset = preset](const NamedGridPlan& p) {
                return p.name == preset;
            });
            if (it != all.end())
                out.push_back({name, it->plan});
        }
        return out;
    }();
    return list;
}

namespace {

const GridPlan& preset(std::string_view name)
{
    for (const NamedGridPlan& p : GridPlan::presets())
        if (p.name == name)
            return p.plan;
    return GridPlan::presets().front().plan;
}

// Finite and positive with a finite sum, and none so small beside the
// largest that its track could hold no window: anything else would give
// tiles of no width, or of infinite width once scaled.
bool usableWeights(const std::vector<double>& weights)
{
    double sum = 0, smallest = 0, largest = 0;
    for (double w : weights) {
        if (!std::isfinite(w) || w <= 0)
            return false;
        sum += w;
        smallest = smallest == 0 ? w : std::min(smallest, w);
        largest = std::max(largest, w);
    }
    return std::isfinite(sum) && largest <= smallest * GridPlan::maxWeightRatio;
}

// Ones unless the weights are usable and one per track.
std::vector<double> trackWeights(const std::optional<std::vector<double>>& weights, int count)
{
    if (weights && weights->size() == static_cast<size_t>(count) && usableWeights(*weights))
        return *weights;
    return std::vector<double>(static_cast<size_t>(std::max(count, 0)), 1.0);
}

struct Tracks {
    std::vector<double> starts;
    std::vector<double> lengths;
};

Tracks tracks(const std::optional<std::vector<double>>& weights, int count, double origin, double length, double gap)
{
    const std::vector<double> w = trackWeights(weights, count);
    const double total = std::accumulate(w.begin(), w.end(), 0.0);
    const double usable = std::max(0.0, length - gap * (count - 1));
    Tracks t;
    double at = origin;
    for (double weight : w) {
        double l = usable * weight / total;
        // Huge weights overflow the product; their share does not.
        if (!std::isfinite(l))
            l = usable * (weight / total);
        t.starts.push_back(at);
        t.lengths.push_back(l);
        at += l + gap;
    }
    return t;
}

// Moves the line after track `after` by rescaling the weights on either side.
void moveLine(std::optional<std::vector<double>>& weights, int count, int after, double to)
{
    if (after < 0 || after >= count - 1 || !std::isfinite(to))
        return;
    std::vector<double> w = trackWeights(weights, count);
    const double total = std::accumulate(w.begin(), w.end(), 0.0);
    const double before = std::accumulate(w.begin(), w.begin() + after + 1, 0.0);
    const double later = total - before;
    const double p = std::clamp(to, 0.12, 0.88);
    for (int i = 0; i < count; ++i)
        w[i] = i <= after ? w[i] * (p * total) / before : w[i] * (total - p * total) / later;
    // Rounding on extreme weights must never leave a weight that breaks frames.
    if (usableWeights(w))
        weights = std::move(w);
}

} // namespace

GridPlan GridPlan::forCount(int count)
{
    if (count <= 2)
        return even(2, 1);
    if (count == 3)
        return preset("Big left, 2");
    if (count == 4)
        return preset("2 \u00d7 2");
    return preset("3 \u00d7 2");
}

bool GridPlan::isValid() const
{
    if (columns < 1 || columns > maxColumns || rows < 1 || rows > maxRows || cells.empty() ||
        cells.size() > static_cast<size_t>(columns * rows))
        return false;
    // Each grid position belongs to at most one cell; besides being what the
    // editor makes, this bounds the cells, and so the merging, to 24.
    std::array<bool, maxColumns * maxRows> taken{};
    for (const GridCell& c : cells) {
        if (c.column < 0 || c.row < 0 || c.columnSpan < 1 || c.rowSpan < 1 || c.columnSpan > columns - c.column ||
            c.rowSpan > rows - c.row)
            return false;
        for (int r = c.row; r < c.row + c.rowSpan; ++r)
            for (int k = c.column; k < c.column + c.columnSpan; ++k) {
                bool& at = taken[static_cast<size_t>(r * maxColumns + k)];
                if (at)
                    return false;
                at = true;
            }
    }
    return true;
}

GridPlan GridPlan::simplified(int count) const
{
    const bool allSingle =
        std::all_of(cells.begin(), cells.end(), [](const GridCell& c) { return c.columnSpan == 1 && c.rowSpan == 1; });
    if (count < 1 || static_cast<size_t>(count) >= cells.size() || columnWeights || rowWeights || !allSingle)
        return *this;
    int side = 1;
    while (side * side < count)
        ++side;
    const int c = std::min(columns, side);
    const int r = (count + c - 1) / c;
    GridPlan simple = even(c, r);
    // Clamping the rows can leave fewer cells than windows (21 on 6 × 4);
    // the plan itself holds them all.
    if (simple.cells.size() < static_cast<size_t>(count))
        return *this;
    return simple;
}

std::vector<GridCell> GridPlan::cellsForCount(int count) const
{
    const size_t target = count < 2 ? 1 : static_cast<size_t>(count);
    std::vector<GridCell> list = cells;

    auto combined = [](const GridCell& a, const GridCell& b) -> std::optional<GridCell> {
        const auto end = [](int start, int span) { return static_cast<long long>(start) + span; };
        // Spans of a stored plan may be anything; never let a sum overflow.
        const auto sum = [](int x, int y) -> std::optional<int> {
            const long long s = static_cast<long long>(x) + y;
            if (s > std::numeric_limits<int>::max() || s < std::numeric_limits<int>::min())
                return std::nullopt;
            return static_cast<int>(s);
        };
        if (a.row == b.row && a.rowSpan == b.rowSpan &&
            (end(a.column, a.columnSpan) == b.column || end(b.column, b.columnSpan) == a.column)) {
            if (const auto span = sum(a.columnSpan, b.columnSpan))
                return GridCell{std::min(a.column, b.column), a.row, *span, a.rowSpan};
        }
        if (a.column == b.column && a.columnSpan == b.columnSpan &&
            (end(a.row, a.rowSpan) == b.row || end(b.row, b.rowSpan) == a.row)) {
            if (const auto span = sum(a.rowSpan, b.rowSpan))
                return GridCell{a.column, std::min(a.row, b.row), a.columnSpan, *span};
        }
        return std::nullopt;
    };

    while (list.size() > target) {
        bool merged = false;
        for (size_t candidate = list.size() - 1; candidate >= 1 && !merged; --candidate) {
            for (size_t other = 0; other < list.size(); ++other) {
                if (other == candidate)
                    continue;
                if (const auto cell = combined(list[candidate], list[other])) {
                    list[other] = *cell;
                    list.erase(list.begin() + static_cast<std::ptrdiff_t>(candidate));
                    merged = true;
                    break;
                }
            }
        }
        if (!merged)
            break;
    }
    std::stable_sort(list.begin(), list.end(), [](const GridCell& a, const GridCell& b) { return a.area() > b.area(); });
    return list;
}

std::vector<Rect> GridPlan::frames(int count, const Rect& in, double gap) const
{
    if (columns < 1 || rows < 1)
        return {};
    const Rect r = in.standardized();
    const Tracks xs = tracks(columnWeights, columns, r.minX(), r.width(), gap);
    const Tracks ys = tracks(rowWeights, rows, r.minY(), r.height(), gap);

    // A cell reaching past the tracks (only a stored plan can hold one) is
    // cut back to the grid, so it still gets a frame on the screen.
    auto span = [](int start, int length, int tracks) {
        const long long first = std::clamp<long long>(start, 0, tracks - 1);
        const long long last = std::clamp<long long>(static_cast<long long>(start) + length - 1, first, tracks - 1);
        return std::pair<size_t, size_t>(static_cast<size_t>(first), static_cast<size_t>(last));
    };

    std::vector<Rect> out;
    for (const GridCell& cell : cellsForCount(count)) {
        const auto [c0, c1] = span(cell.column, cell.columnSpan, columns);
        const auto [r0, r1] = span(cell.row, cell.rowSpan, rows);
        const double x = xs.starts[c0], y = ys.starts[r0];
        out.emplace_back(x, y, xs.starts[c1] + xs.lengths[c1] - x, ys.starts[r1] + ys.lengths[r1] - y);
    }
    return out;
}

void GridPlan::merge(GridPosition from, GridPosition to)
{
    auto inside = [&](GridPosition p) { return p.column >= 0 && p.column < columns && p.row >= 0 && p.row < rows; };
    if (!inside(from) || !inside(to))
        return;
    long long c0 = std::min(from.column, to.column), c1 = std::max(from.column, to.column);
    long long r0 = std::min(from.row, to.row), r1 = std::max(from.row, to.row);

    auto overlaps = [&](const GridCell& c) {
        return c.column <= c1 && c.column + static_cast<long long>(c.columnSpan) - 1 >= c0 && c.row <= r1 &&
               c.row + static_cast<long long>(c.rowSpan) - 1 >= r0;
    };
    bool changed = true;
    while (changed) {
        changed = false;
        for (const GridCell& c : cells) {
            if (!overlaps(c))
                continue;
            const long long cl = c.column, cr = c.column + static_cast<long long>(c.columnSpan) - 1;
            const long long rt = c.row, rb = c.row + static_cast<long long>(c.rowSpan) - 1;
            if (cl < c0 || cr > c1 || rt < r0 || rb > r1) {
                c0 = std::min(c0, cl);
                c1 = std::max(c1, cr);
                r0 = std::min(r0, rt);
                r1 = std::max(r1, rb);
                changed = true;
            }
        }
    }
    std::erase_if(cells, overlaps);
    cells.push_back({static_cast<int>(c0), static_cast<int>(r0), static_cast<int>(c1 - c0 + 1),
                     static_cast<int>(r1 - r0 + 1)});
    sortCanonically(cells);
}

void GridPlan::split(int column, int row)
{
    const auto it = std::find_if(cells.begin(), cells.end(), [&](const GridCell& c) { return c.contains(column, row); });
    if (it == cells.end())
        return;
    const GridCell found = *it;
    std::erase(cells, found);
    for (int r = 0; r < found.rowSpan; ++r)
        for (int c = 0; c < found.columnSpan; ++c)
            cells.push_back({found.column + c, found.row + r, 1, 1});
    sortCanonically(cells);
}

void GridPlan::moveColumnLine(int after, double to) { moveLine(columnWeights, columns, after, to); }

void GridPlan::moveRowLine(int after, double to) { moveLine(rowWeights, rows, after, to); }

Json toJson(const GridCell& cell)
{
    return Json{{"column", cell.column}, {"row", cell.row}, {"columnSpan", cell.columnSpan}, {"rowSpan", cell.rowSpan}};
}

Json toJson(const GridPlan& plan)
{
    Json cells = Json::array();
    for (const GridCell& c : plan.cells)
        cells.push_back(toJson(c));
    Json j{{"columns", plan.columns}, {"rows", plan.rows}, {"cells", std::move(cells)}};
    if (plan.columnWeights)
        j["columnWeights"] = *plan.columnWeights;
    if (plan.rowWeights)
        j["rowWeights"] = *plan.rowWeights;
    return j;
}

namespace json {

GridCell gridCell(const Json& j)
{
    object(j);
    return GridCell{integer<int>(member(j, "column")), integer<int>(member(j, "row")),
                    integer<int>(member(j, "columnSpan")), integer<int>(member(j, "rowSpan"))};
}

GridPlan gridPlan(const Json& j)
{
    object(j);
    GridPlan plan; // stored cell order is kept, not re-sorted
    plan.columns = integer<int>(member(j, "columns"));
    plan.rows = integer<int>(member(j, "rows"));
    for (const Json& c : array(member(j, "cells")))
        plan.cells.push_back(gridCell(c));
    auto weights = [&](std::string_view key) -> std::optional<std::vector<double>> {
        const Json* m = optionalMember(j, key);
        if (!m)
            return std::nullopt;
        std::vector<double> out;
        for (const Json& w : array(*m))
            out.push_back(number(w));
        if (!usableWeights(out))
            return std::nullopt;
        return out;
    };
    plan.columnWeights = weights("columnWeights");
    plan.rowWeights = weights("rowWeights");
    if (!plan.isValid())
        fail("grid plan outside its limits");
    return plan;
}

} // namespace json

std::optional<GridCell> GridCell_fromJson(const Json& j)
{
    return json::decode([&] { return json::gridCell(j); });
}

std::optional<GridPlan> GridPlan_fromJson(const Json& j)
{
    return json::decode([&] { return json::gridPlan(j); });
}

} // namespace kavelo
