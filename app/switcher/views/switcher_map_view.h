#pragma once

// The display map: every display as a faint rounded plate, side by side as
// the core's map lays them out, with a tile where each window stands, the
// front windows over the ones behind them and the selected one over all. One
// painted widget, exactly the map's size.
//
// The plates and the plain tiles are kept as one picture. It is drawn a few
// tiles at a time on the scheduler as soon as a session's map is known, in
// the time before the panel shows, so the first paint (and every move of
// the selection) only copies it and draws the selected tile; the corners of
// the pictures that arrived since are drawn again in one pass at the next
// paint.

#include "app/platform/handle.h"
#include "app/platform/scheduler.h"
#include "app/switcher/card_sizes.h"
#include "app/switcher/switcher_model.h"
#include "app/switcher/switcher_panel.h"
#include "app/switcher/views/switcher_pictures.h"

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <cstddef>
#include <optional>
#include <vector>

namespace kavelo {

class SwitcherMapView : public QWidget {
public:
    static constexpr double screenRadius = 12;
    static constexpr double tileRadius = 8;
    static constexpr double smallestTile = CardSizes::smallestTile;
    // Tiles drawn into the kept picture per turn of the scheduler.
    static constexpr std::size_t tilesPerSlice = 16;

    SwitcherMapView(const SwitcherModel& model, SwitcherPictures& pictures, Scheduler& scheduler, SwitcherOpen open,
                    QWidget* parent = nullptr);

    const SwitcherMap& map() const { return model_.map(); }
    // Where a window's tile is drawn and clicked: its map frame, at least
    // 24 × 24. None for a window without a tile.
    std::optional<QRectF> tileRect(WindowID window) const;
    // The topmost tile under a point.
    const WindowEntry* tileAt(QPointF point) const;
    // The drawing order of the tiles, back first; the selected one last.
    std::vector<const MapTile*> drawingOrder() const;

    // The map changed: the kept picture is drawn again, starting now.
    void invalidate();
    // A window's picture arrived: only its part of the kept picture is, at
    // the next paint.
    void pictureArrived(WindowID window);
    // The panel went away: the kept picture goes, made again when next drawn.
    void release();
    // Whether the kept picture is complete.
    bool prepared() const { return layerValid_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static QRectF framed(const MapTile& tile);
    QSize layerSize() const;
    void paintTile(QPainter& painter, const MapTile& tile, bool selected);
    static QRectF plateRect(const MapScreen& screen);
    static void paintPlate(QPainter& painter, const MapScreen& screen);
    void startLayer();
    // Draws up to `count` more tiles into the kept picture.
    void buildLayer(std::size_t count);
    void scheduleSlice();
    // How far a tile's drawing (its shadow) reaches past its frame.
    static double reach();
    void redrawStale();

    const SwitcherModel& model_;
    SwitcherPictures& pictures_;
    Scheduler& scheduler_;
    SwitcherOpen open_;
    std::optional<WindowID> pressed_;
    QImage layer_;
    // Parts of the kept picture whose tiles have new pictures.
    QRegion stale_;
    bool layerStarted_ = false;
    bool layerValid_ = false;
    std::vector<const MapTile*> layerTiles_;   // every tile, back to front
    std::size_t built_ = 0;                    // of them drawn so far
    Handle slice_;
};

} // namespace kavelo
