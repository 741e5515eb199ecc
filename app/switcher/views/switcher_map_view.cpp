#include "app/switcher/views/switcher_map_view.h"

#include "app/switcher/views/switcher_tile.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kavelo {

SwitcherMapView::SwitcherMapView(const SwitcherModel& model, SwitcherPictures& pictures, SwitcherOpen open,
                                 QWidget* parent)
    : QWidget(parent), model_(model), pictures_(pictures), open_(std::move(open))
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

void SwitcherMapView::invalidate()
{
    layerValid_ = false;
    update();
}

void SwitcherMapView::resizeEvent(QResizeEvent*)
{
    layerValid_ = false;
}

void SwitcherMapView::paintTile(QPainter& painter, const MapTile& tile, bool selected)
{
    const SwitcherTile drawn{.window = &tile.window,
                             .picture = pictures_.thumbnail(tile.window.id),
                             .icon = pictures_.icon(tile.window.pid, SwitcherTile::iconSide),
                             .selected = selected,
                             .cornerRadius = tileRadius};
    drawn.paint(painter, framed(tile));
}

void SwitcherMapView::drawLayer(QPainter& painter, const QRectF& area)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const MapScreen& screen : map().screens) {
        const QRectF plate(screen.frame.origin.x, screen.frame.origin.y, screen.frame.width(), screen.frame.height());
        if (!plate.intersects(area))
            continue;
        const QPainterPath shape = Shapes::continuousRoundedRect(plate, screenRadius);
        painter.fillPath(shape, QColor::fromRgbF(1, 1, 1, 0.05f));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.1f), 1));
        painter.drawPath(Shapes::insetContinuousRoundedRect(plate, screenRadius, 0.5));
    }
    // Every tile plain, back to front; the selected one is drawn over them.
    const double reach = Shadows::margin(SwitcherTile::plainShadow);
    for (const MapScreen& screen : map().screens)
        for (const MapTile& tile : screen.tiles)
            if (framed(tile).adjusted(-reach, -reach, reach, reach).intersects(area))
                paintTile(painter, tile, false);
}

void SwitcherMapView::drawLayer()
{
    const qreal ratio = devicePixelRatioF();
    layer_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    layer_.setDevicePixelRatio(ratio);
    layer_.fill(Qt::transparent);
    QPainter painter(&layer_);
    drawLayer(painter, QRectF(rect()));
    layerValid_ = true;
}

void SwitcherMapView::pictureArrived(WindowID window)
{
    const auto tile = tileRect(window);
    if (!tile)
        return;
    if (layerValid_) {
        const double reach = Shadows::margin(SwitcherTile::plainShadow);
        const QRectF area = tile->adjusted(-reach, -reach, reach, reach);
        QPainter painter(&layer_);
        painter.setClipRect(area);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        drawLayer(painter, area);
    }
    update(tile->toAlignedRect().adjusted(-40, -40, 40, 40));
}

void SwitcherMapView::paintEvent(QPaintEvent*)
{
    if (!layerValid_ || layer_.size() != size() * devicePixelRatioF())
        drawLayer();
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
