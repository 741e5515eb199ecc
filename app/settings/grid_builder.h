#pragma once

// The interactive plan picture of the grid editor: a drag across cells
// joins them, a click on a joined tile splits it. The edited plan goes to
// `change` at the end of each gesture; the plan itself lives with the
// caller, which hands it back through `setPlan`.
//
// Cells are found on the tracks as the picture draws them (weights and
// gaps included), with the boundary between two tracks in the middle of
// their gap, so a gesture lands on the tiles the user sees.

#include "app/ui/theme.h"
#include "core/grid_plan.h"

#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <functional>
#include <optional>

namespace kavelo {

class GridBuilder : public QWidget {
public:
    GridBuilder(GridPlan plan, std::function<void(GridPlan)> change, ColorScheme scheme = ColorScheme::dark,
                QWidget* parent = nullptr);

    const GridPlan& plan() const { return plan_; }
    // A plan of another size ends a drag in progress.
    void setPlan(GridPlan plan);

    // The cell under `at` in an area of `in`; a point outside the area maps
    // to the nearest edge cell. None for an empty or non-finite area, a
    // non-finite point, or a plan that breaks its limits.
    std::optional<GridPosition> cell(QPointF at, QSizeF in) const;
    // The outline around the cells from `a` to `b`, on the tiles' edges.
    QRectF selection(GridPosition a, GridPosition b, QSizeF in) const;

    // The drag in progress: where it began and where it is now.
    std::optional<GridPosition> dragStart() const { return start_; }
    std::optional<GridPosition> dragEnd() const { return end_; }

    static constexpr int areaHeight = 190;
    static constexpr double outlineRadius = 7;
    static constexpr double outlineWidth = 2;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void cancelDrag();

    GridPlan plan_;
    std::function<void(GridPlan)> change_;
    ColorScheme scheme_;
    std::optional<GridPosition> start_;
    std::optional<GridPosition> end_;
};

} // namespace kavelo
