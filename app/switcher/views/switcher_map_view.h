#pragma once

// The display map: every display as a faint rounded plate, side by side as
// the core's map lays them out, with a tile where each window stands, the
// front windows over the ones behind and the selected one over all. One
// painted widget, exactly the map's size.

#include "app/switcher/switcher_model.h"
#include "app/switcher/switcher_panel.h"
#include "app/switcher/views/switcher_pictures.h"

#include <QImage>
#include <QWidget>

#include <optional>

namespace kavelo {

class SwitcherMapView : public QWidget {
public:
    static constexpr double screenRadius = 12;
    static constexpr double tileRadius = 8;
    static constexpr double smallestTile = 24;

    SwitcherMapView(const SwitcherModel& model, SwitcherPictures& pictures, SwitcherOpen open,
                    QWidget* parent = nullptr);

    const SwitcherMap& map() const { return model_.map(); }
    // Where a window's tile is drawn and clicked: its map frame, at least
    // 24 × 24. None for a window without a tile.
    std::optional<QRectF> tileRect(WindowID window) const;
    // The topmost tile under a point.
    const WindowEntry* tileAt(QPointF point) const;
    // The drawing order of the tiles, back first; the selected one last.
    std::vector<const MapTile*> drawingOrder() const;
    // The map changed: the kept picture is drawn again.
    void invalidate();
    // A window's picture arrived: only its part of the kept picture is.
    void pictureArrived(WindowID window);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    void resizeEvent(QResizeEvent* event) override;

private:
    static QRectF framed(const MapTile& tile);
    void paintTile(QPainter& painter, const MapTile& tile, bool selected);
    void drawLayer();
    // Draws the plates and plain tiles within `area` of the kept picture.
    void drawLayer(QPainter& painter, const QRectF& area);

    const SwitcherModel& model_;
    SwitcherPictures& pictures_;
    SwitcherOpen open_;
    std::optional<WindowID> pressed_;
    QImage layer_;
    bool layerValid_ = false;
};

} // namespace kavelo
