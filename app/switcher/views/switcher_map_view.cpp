#include "app/switcher/views/switcher_map_view.h"

#include "app/switcher/views/switcher_tile.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace kavelo {

SwitcherMapView::SwitcherMapView(const SwitcherModel& model, SwitcherPictures& pictures, Scheduler& scheduler,
                                 SwitcherOpen open, QWidget* parent)
    : QWidget(parent), model_(model), pictures_(pictures), scheduler_(scheduler), open_(std::move(open))
{
    setAttribute(Qt::WA_TranslucentBackground);
}

QRectF SwitcherMapView::framed(const MapTile& tile)
{
    return QRectF(tile.frame.origin.x, tile.frame.origin.y, std::max(tile.frame.width(), smallestTile),
                  std::max(tile.frame.height(), smallestTile));
}

std::vector<const MapTile*> SwitcherMapView::drawingOrder() const
{
    // Each screen lists its tiles back to front; the selected one goes on top.
    const WindowEntry* selected = model_.selected();
    std::vector<const MapTile*> order;
    const MapTile* top = nullptr;
    for (const MapScreen& screen : map().screens)
        for (const MapTile& tile : screen.tiles) {
            if (selected && tile.window.id == selected->id)
                top = &tile;
            else
                order.push_back(&tile);
        }
    if (top)
        order.push_back(top);
    return order;
}

std::optional<QRectF> SwitcherMapView::tileRect(WindowID window) const
{
    for (const MapScreen& screen : map().screens)
        for (const MapTile& tile : screen.tiles)
            if (tile.window.id == window)
                return framed(tile);
    return std::nullopt;
}

const WindowEntry* SwitcherMapView::tileAt(QPointF point) const
{
    const auto order = drawingOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if (framed(**it).contains(point))
            return &(*it)->window;
    return nullptr;
}

QSize SwitcherMapView::layerSize() const
{
    const Size size = map().size;
    return QSize(int(std::ceil(size.width)), int(std::ceil(size.height)));
}

void SwitcherMapView::invalidate()
{
    stale_ = QRegion();
    slice_.cancel();
    layerStarted_ = false;
    layerValid_ = false;
    layerTiles_.clear();
    built_ = 0;
    scheduleSlice();
    update();
}

void SwitcherMapView::release()
{
    stale_ = QRegion();
    slice_.cancel();
    layer_ = QImage();
    layerStarted_ = false;
    layerValid_ = false;
    layerTiles_.clear();
    built_ = 0;
}

void SwitcherMapView::scheduleSlice()
{
    slice_ = scheduler_.after(0.0, [this] {
        buildLayer(tilesPerSlice);
        if (!layerValid_)
            scheduleSlice();
    });
}

void SwitcherMapView::paintTile(QPainter& painter, const MapTile& tile, bool selected)
{
    const QRectF frame = framed(tile);
    const auto original = pictures_.thumbnailSize(tile.window.id);
    const QImage* picture =
        original ? pictures_.thumbnail(tile.window.id,
                                       SwitcherTile::pictureSize(*original, QRectF(frame.toRect()).size()))
                 : nullptr;
    const SwitcherTile drawn{.window = &tile.window,
                             .picture = picture,
                             .icon = pictures_.icon(tile.window.pid, SwitcherTile::iconSide),
                             .selected = selected,
                             .cornerRadius = tileRadius};
    drawn.paint(painter, frame);
}

QRectF SwitcherMapView::plateRect(const MapScreen& screen)
{
    return QRectF(screen.frame.origin.x, screen.frame.origin.y, screen.frame.width(), screen.frame.height());
}

void SwitcherMapView::paintPlate(QPainter& painter, const MapScreen& screen)
{
    const QRectF plate = plateRect(screen);
    painter.fillPath(Shapes::continuousRoundedRect(plate, screenRadius), QColor::fromRgbF(1, 1, 1, 0.05f));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.1f), 1));
    painter.drawPath(Shapes::insetContinuousRoundedRect(plate, screenRadius, 0.5));
}

void SwitcherMapView::startLayer()
{
    const qreal ratio = devicePixelRatioF();
    layer_ = QImage(layerSize() * ratio, QImage::Format_ARGB32_Premultiplied);
    layer_.setDevicePixelRatio(ratio);
    layer_.fill(Qt::transparent);
    QPainter painter(&layer_);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const MapScreen& screen : map().screens)
        paintPlate(painter, screen);
    // Every tile plain, back to front; the selected one is drawn over them.
    layerTiles_.clear();
    for (const MapScreen& screen : map().screens)
        for (const MapTile& tile : screen.tiles)
            layerTiles_.push_back(&tile);
    built_ = 0;
    layerStarted_ = true;
}

void SwitcherMapView::buildLayer(std::size_t count)
{
    if (layerValid_)
        return;
    if (!layerStarted_)
        startLayer();
    QPainter painter(&layer_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const std::size_t end = count >= layerTiles_.size() - built_ ? layerTiles_.size() : built_ + count;
    for (; built_ < end; ++built_)
        paintTile(painter, *layerTiles_[built_], false);
    if (built_ == layerTiles_.size()) {
        layerValid_ = true;
        slice_.cancel();
    }
}

double SwitcherMapView::reach()
{
    return Shadows::margin(SwitcherTile::plainShadow) + 1;
}

void SwitcherMapView::pictureArrived(WindowID window)
{
    const auto tile = tileRect(window);
    if (!tile)
        return;
    // Redrawn at the next paint: the pictures come one by one, and where
    // tiles overlap (columns waiting at a screen's edge) each would redraw
    // all the others again.
    if (layerStarted_)
        stale_ += tile->adjusted(-reach(), -reach(), reach(), reach()).toAlignedRect();
    update(tile->toAlignedRect().adjusted(-40, -40, 40, 40));
}

void SwitcherMapView::redrawStale()
{
    if (stale_.isEmpty())
        return;
    const QRegion stale = std::exchange(stale_, QRegion());
    // Its corners, with every tile already drawn there, again in order.
    QPainter painter(&layer_);
    painter.setClipRegion(stale);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& area : stale)
        painter.fillRect(area, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const MapScreen& screen : map().screens)
        if (stale.intersects(plateRect(screen).toAlignedRect()))
            paintPlate(painter, screen);
    for (std::size_t i = 0; i < built_; ++i)
        if (stale.intersects(framed(*layerTiles_[i]).adjusted(-reach(), -reach(), reach(), reach()).toAlignedRect()))
            paintTile(painter, *layerTiles_[i], false);
}

void SwitcherMapView::paintEvent(QPaintEvent*)
{
    if (layerStarted_ && layer_.size() != layerSize() * devicePixelRatioF())
        invalidate();
    // Whatever the slices have not drawn yet is drawn now.
    buildLayer(std::numeric_limits<std::size_t>::max());
    redrawStale();
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), layer_);
    const auto order = drawingOrder();
    const WindowEntry* selected = model_.selected();
    if (selected && !order.empty() && order.back()->window.id == selected->id) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        paintTile(painter, *order.back(), true);
    }
}

void SwitcherMapView::mousePressEvent(QMouseEvent* event)
{
    const WindowEntry* window = tileAt(event->position());
    pressed_ = window ? std::optional(window->id) : std::nullopt;
}

void SwitcherMapView::mouseReleaseEvent(QMouseEvent* event)
{
    const WindowEntry* window = tileAt(event->position());
    const auto pressed = std::exchange(pressed_, std::nullopt);
    if (!window || !pressed || window->id != *pressed || !open_)
        return;
    const WindowEntry chosen = *window;
    open_(chosen);
}

} // namespace kavelo
