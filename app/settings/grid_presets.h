#pragma once

// The grid editor's preset tiles: one small picture of each preset plan
// with its name below, five to a row, the tiles whose cells equal the
// current plan's outlined in the accent. One widget paints them all and
// finds the tile under a click.

#include "app/ui/theme.h"
#include "core/grid_plan.h"

#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace kavelo {

class GridPresets : public QWidget {
public:
    GridPresets(std::function<void(const GridPlan&)> choose, ColorScheme scheme = ColorScheme::dark,
                QWidget* parent = nullptr);

    // Outlines the presets whose cells equal `plan`'s; track counts and
    // weights play no part.
    void setCurrent(const GridPlan& plan);
    // The indexes into `GridPlan::presets()` outlined now.
    std::vector<int> outlined() const;

    QRectF tileRect(int index) const;
    QRectF pictureRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int perRow = 5;
    static constexpr double spacing = 8;
    static constexpr double padding = 6;
    static constexpr double pictureHeight = 46;
    static constexpr double nameSpacing = 5;
    static constexpr double nameSize = 11;
    static constexpr double cornerRadius = 9;
    static constexpr double borderWidth = 2;
    static constexpr double minimumColumn = 10;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<int> tileAt(QPointF point) const;
    double tileHeight() const;

    std::function<void(const GridPlan&)> choose_;
    ColorScheme scheme_;
    std::vector<GridCell> current_;
    std::optional<int> pressed_;
};

} // namespace kavelo
