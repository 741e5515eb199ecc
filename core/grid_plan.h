#pragma once

// The user's own grid ("Your grid"): up to 6 columns and 4 rows whose cells may
// span several tracks, with optional relative track sizes. The first cell is
// the biggest and takes the main window.

#include "core/geometry.h"
#include "core/json.h"

#include <optional>
#include <string>
#include <vector>

namespace kavelo {

struct GridPosition {
    int column = 0;
    int row = 0;
    friend bool operator==(const GridPosition&, const GridPosition&) = default;
};

struct GridCell {
    int column = 0;
    int row = 0;
    int columnSpan = 1;
    int rowSpan = 1;

    long long area() const { return static_cast<long long>(columnSpan) * rowSpan; }
    bool contains(int column, int row) const;
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

struct NamedGridPlan;

struct GridPlan {
    static constexpr int maxColumns = 6;
    static constexpr int maxRows = 4;
    // Weights are used only when the largest is at most this many times
    // the smallest.
    static constexpr double maxWeightRatio = 1e6;

    int columns = 1;
    int rows = 1;
    std::vector<GridCell> cells; // canonical order: larger area, then lower row, then lower column
    std::optional<std::vector<double>> columnWeights; // used only with exactly `columns` entries
    std::optional<std::vector<double>> rowWeights;    // used only with exactly `rows` entries

    GridPlan() = default;
    // Stores the fields as given and sorts the cells into canonical order.
    GridPlan(int columns, int rows, std::vector<GridCell> cells, std::optional<std::vector<double>> columnWeights = {},
             std::optional<std::vector<double>> rowWeights = {});

    // One 1 × 1 cell per track crossing; counts clamped to 1...6 and 1...4.
    static GridPlan even(int columns, int rows);
    static const std::vector<NamedGridPlan>& presets();
    static const std::vector<NamedGridPlan>& templates();
    // The plan used when the grid follows the number of windows.
    static GridPlan forCount(int count);

    // Within the limits, at least one cell, every cell inside the grid and no
    // two cells overlapping (so at most columns × rows cells). Only a plan
    // read from stored settings can fail this; such a plan is not used.
    bool isValid() const;

    // An even grid just big enough for `count` windows, when the plan is an
    // unweighted grid of 1 × 1 cells with more cells than windows and that
    // grid holds them all; otherwise the plan itself.
    GridPlan simplified(int count) const;

    // The cells for `count` windows, main cell first: neighbours are merged,
    // from the last cell backwards, until no more than `count` are left or
    // no two fit together.
    std::vector<GridCell> cellsForCount(int count) const;

    // One frame per cell of `cellsForCount(count)`, in that order. Tracks
    // share the length less the gaps in proportion to their weights; a cell
    // spanning tracks takes the gaps between them.
    std::vector<Rect> frames(int count, const Rect& in, double gap) const;

    // Grid editor operations.
    void merge(GridPosition from, GridPosition to);
    void split(int column, int row);
    // Moves the line after track `after` to `to`, a fraction of the whole
    // length kept within 0.12...0.88, by rescaling the weights on each side.
    void moveColumnLine(int after, double to);
    void moveRowLine(int after, double to);

    friend bool operator==(const GridPlan&, const GridPlan&) = default;
};

struct NamedGridPlan {
    std::string name;
    GridPlan plan;
    friend bool operator==(const NamedGridPlan&, const NamedGridPlan&) = default;
};

// Sorts cells by area (largest first), then row, then column; stable.
void sortCanonically(std::vector<GridCell>& cells);

Json toJson(const GridCell& cell);
Json toJson(const GridPlan& plan);
// No value for a malformed cell or plan. A plan that breaks `isValid` is
// refused; a weight list holding a weight that is not positive, or weights
// further apart than `maxWeightRatio`, is dropped.
std::optional<GridCell> GridCell_fromJson(const Json& j);
std::optional<GridPlan> GridPlan_fromJson(const Json& j);

namespace json {
// Throwing readers, for decoders of records that hold plans.
GridCell gridCell(const Json& j);
GridPlan gridPlan(const Json& j);
} // namespace json

} // namespace kavelo
