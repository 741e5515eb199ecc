#pragma once

// The strip indicator's panel: one row of tiles drawn to scale on a dark
// rounded plate, a tile per strip column (or per auto window) with its
// application's icon, the number of windows it holds, a ring round the
// focused one and a brighter base for those on screen. A click on a tile
// selects it; a drag of 5 points or more moves it. The row is one widget
// that paints every tile; every show makes a fresh one.

#include "app/engine/panels.h"
#include "app/platform/displays.h"
#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kavelo {

class PanelShadow;

class TileRow : public QWidget {
public:
    static constexpr double spacing = 5;
    static constexpr double padding = 7;
    static constexpr double cornerRadius = 14;
    static constexpr double tileHeight = 50;
    static constexpr double minimumTileWidth = 36;
    static constexpr double tileCornerRadius = 8;
    static constexpr double iconSide = 26;
    static constexpr double badgeFontSize = 10;
    static constexpr double badgePadding = 4;
    static constexpr double ringWidth = 2;
    // A press that travels this far is a drag, not a click.
    static constexpr double dragDistance = 5;

    // `icons` holds one picture per tile (a null image: no icon).
    TileRow(std::vector<StripTile> tiles, double scale, IndicatorPanel::Select select, IndicatorPanel::Move move,
            std::vector<QImage> icons, QWidget* parent = nullptr);

    const std::vector<StripTile>& tiles() const { return tiles_; }
    double scale() const { return scale_; }
    bool hasIcon(std::size_t index) const { return index < icons_.size() && !icons_[index].isNull(); }

    // The row's ideal size, in points, unrounded.
    QSizeF fittingSize() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // Where a tile stands when nothing is dragged.
    QRectF tileRect(std::size_t index) const;
    // The tile's drawn width: its share of the nominal width, never below
    // the minimum.
    double tileWidth(const StripTile& tile) const;

    // The drag under way.
    std::optional<WindowID> dragged() const { return dragged_; }
    double travel() const { return travel_; }

    // Whole steps a drag of `translation` points moves a tile of `width`
    // screen widths: the tile's scaled width plus the spacing per step,
    // rounded half away from zero. None when that is no finite number.
    static std::optional<int> steps(double translation, double width, double scale);

    // Without blending the plate is painted fully opaque.
    void setOpaque(bool opaque);
    bool isOpaque() const { return opaque_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<std::size_t> tileAt(QPointF point) const;
    void paintTile(QPainter& painter, std::size_t index, const QRectF& rect) const;

    std::vector<StripTile> tiles_;
    double scale_;
    IndicatorPanel::Select select_;
    IndicatorPanel::Move move_;
    std::vector<QImage> icons_;
    bool opaque_ = false;

    std::optional<std::size_t> pressed_;
    QPointF pressPoint_;
    std::optional<WindowID> dragged_;
    double travel_ = 0;
};

// The panel on the kit's `FreePanel` at the overlay level. Frames come in
// the bottom-left form of display frames.
class StripIndicatorPanel : public IndicatorPanel {
public:
    // A picture for a bundle identifier; none: no icon.
    using IconSource = std::function<std::optional<QImage>(const std::string& bundleID)>;

    static constexpr double shadowRadius = 12;
    static constexpr double shadowOffset = 3;
    static constexpr double shadowOpacity = 0.35;

    StripIndicatorPanel(PanelHost& host, Displays& displays, IconSource icons);
    ~StripIndicatorPanel() override;

    Size setRow(std::vector<StripTile> tiles, double scale, Select select, Move move) override;
    void setFrame(const Rect& frame) override;
    Rect frame() const override { return frame_; }
    void setAlpha(double alpha) override;
    double alpha() const override { return alpha_; }
    void orderFront() override;
    void orderOut() override;
    bool isShown() const override;

    FreePanel& window() { return window_; }
    // The row shown now; null before the first.
    TileRow* row() const { return row_; }
    // Room around the row for the shadow while panels blend.
    static int shadowMargin();

private:
    void place();

    PanelHost& host_;
    Displays& displays_;
    IconSource icons_;
    FreePanel window_;
    PanelShadow* backdrop_;
    TileRow* row_ = nullptr;
    Rect frame_;
    double alpha_ = 1;
};

} // namespace kavelo
