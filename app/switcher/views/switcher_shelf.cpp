#include "app/switcher/views/switcher_shelf.h"

#include "app/switcher/views/switcher_tile.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

QFont shelfCaptionFont() { return Fonts::windowText(SwitcherShelf::captionSize); }

} // namespace

SwitcherShelf::SwitcherShelf(const SwitcherModel& model, SwitcherPictures& pictures, SwitcherOpen open,
                             QWidget* parent)
    : QWidget(parent), model_(model), pictures_(pictures), open_(std::move(open))
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void SwitcherShelf::sessionChanged()
{
    const auto& list = windows();
    const WindowEntry* now = model_.selected();
    const std::optional<WindowID> id = now ? std::optional(now->id) : std::nullopt;
    scroll_.viewport = width();
    scroll_.content = 2 * padding + double(list.size()) * tileWidth + double(list.empty() ? 0 : list.size() - 1) * spacing;
    scroll_.clamp();
    if (id != selected_ && id) {
        // Only a selection in the shelf moves it; one on the map leaves it be.
        const auto it = std::find_if(list.begin(), list.end(), [&](const WindowEntry& w) { return w.id == *id; });
        if (it != list.end())
            scroll_.centre(padding + double(it - list.begin()) * (tileWidth + spacing), tileWidth);
    }
    selected_ = id;
    update();
}

double SwitcherShelf::itemHeight() const
{
    return tileHeight + captionSpacing + QFontMetricsF(shelfCaptionFont()).height();
}

QRectF SwitcherShelf::itemRect(std::size_t position) const
{
    const double top = std::round((double(QWidget::height()) - itemHeight()) / 2);
    return QRectF(padding + double(position) * (tileWidth + spacing) - scroll_.offset, top, tileWidth, itemHeight());
}

QRectF SwitcherShelf::tileRect(std::size_t position) const
{
    const QRectF item = itemRect(position);
    return QRectF(item.topLeft(), QSizeF(tileWidth, tileHeight));
}

std::optional<std::size_t> SwitcherShelf::itemAt(QPointF point) const
{
    const double x = point.x() + scroll_.offset - padding;
    if (x < 0)
        return std::nullopt;
    const auto position = std::size_t(x / (tileWidth + spacing));
    if (position >= windows().size() || !itemRect(position).contains(point))
        return std::nullopt;
    return position;
}

void SwitcherShelf::resizeEvent(QResizeEvent*)
{
    selected_.reset();
    sessionChanged();
}

void SwitcherShelf::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QFont font = shelfCaptionFont();
    const QFontMetricsF metrics(font);
    const auto& list = windows();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const QRectF item = itemRect(i);
        if (item.right() < -20 || item.left() > width() + 20)
            continue;
        const WindowEntry& window = list[i];
        const QRectF tile = tileRect(i);
        const auto original = pictures_.thumbnailSize(window.id);
        const SwitcherTile drawn{.window = &window,
                                 .picture = original ? pictures_.thumbnail(
                                                           window.id, SwitcherTile::pictureSize(*original, tile.size()))
                                                     : nullptr,
                                 .icon = pictures_.icon(window.pid, SwitcherTile::iconSide),
                                 .selected = false,
                                 .cornerRadius = cornerRadius};
        drawn.paint(painter, tile);
        const bool selected = selected_ == window.id;
        if (selected) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Theme::lit(), selectedLine));
            painter.drawPath(Shapes::insetContinuousRoundedRect(tile, cornerRadius, selectedLine / 2));
        }
        painter.setFont(font);
        painter.setPen(selected ? Theme::moon() : Theme::dusk());
        const QRectF text(item.left(), tile.bottom() + captionSpacing, tileWidth, metrics.height());
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         metrics.elidedText(caption(window), Qt::ElideRight, tileWidth + 0.5));
    }
}

void SwitcherShelf::mousePressEvent(QMouseEvent* event)
{
    const auto position = itemAt(event->position());
    pressed_ = position ? std::optional(windows()[*position].id) : std::nullopt;
}

void SwitcherShelf::mouseReleaseEvent(QMouseEvent* event)
{
    const auto position = itemAt(event->position());
    const auto pressed = std::exchange(pressed_, std::nullopt);
    if (!position || !pressed || windows()[*position].id != *pressed || !open_)
        return;
    const WindowEntry window = windows()[*position];
    open_(window);
}

void SwitcherShelf::wheelEvent(QWheelEvent* event)
{
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    const double delta = !pixels.isNull() ? (pixels.x() != 0 ? pixels.x() : pixels.y())
                                          : (angle.x() != 0 ? angle.x() : angle.y()) / 8.0 * 2;
    scroll_.scrollBy(-delta);
    update();
}

} // namespace kavelo
