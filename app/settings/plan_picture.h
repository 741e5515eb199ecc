#pragma once

// A passive drawing of a grid plan: one rounded tile per cell, the main
// (first) tile in the accent, the others a faint primary. The large style
// numbers the tiles in the order windows fill them; the small one (preset
// tiles, the menu panel) does not. No background of its own.

#include "app/ui/theme.h"
#include "core/grid_plan.h"

#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <vector>

class QPainter;

namespace kavelo {

class PlanPicture : public QWidget {
public:
    PlanPicture(GridPlan plan, bool numbered, ColorScheme scheme = ColorScheme::dark, QWidget* parent = nullptr);

    const GridPlan& plan() const { return plan_; }
    void setPlan(GridPlan plan);
    bool numbered() const { return numbered_; }

    // The tiles in an area of `size` from its top-left corner, main tile
    // first; none for a plan that breaks its limits or an empty area.
    static std::vector<QRectF> tiles(const GridPlan& plan, QSizeF size, bool numbered);
    // Draws the picture into `area`.
    static void draw(QPainter& painter, const QRectF& area, const GridPlan& plan, bool numbered, ColorScheme scheme);

    static constexpr double numberedGap = 5;
    static constexpr double smallGap = 3;
    static constexpr double numberedRadius = 7;
    static constexpr double smallRadius = 3;
    static constexpr double mainOpacity = 0.75;
    static constexpr double otherOpacity = 0.14;
    static constexpr double numberSize = 13;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GridPlan plan_;
    bool numbered_;
    ColorScheme scheme_;
};

} // namespace kavelo
