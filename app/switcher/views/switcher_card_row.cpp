#include "app/switcher/views/switcher_card_row.h"

#include "app/switcher/views/switcher_card.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace kavelo {

const Spring SwitcherCardRow::spring{0.18, 0.8};

SwitcherCardRow::SwitcherCardRow(const SwitcherModel& model, SwitcherPictures& pictures, AnimationTime time,
                                 SwitcherOpen open, QWidget* parent)
    : QWidget(parent), model_(model), pictures_(pictures), time_(time), open_(std::move(open))
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void SwitcherCardRow::sessionChanged(bool jump)
{
    const WindowEntry* now = model_.selected();
    const std::optional<WindowID> id = now ? std::optional(now->id) : std::nullopt;
    if (jump) {
        springs_.clear();
    } else if (id != selected_) {
        // Both ends spring from where they stand now.
        for (const auto& [window, target] : {std::pair(selected_, 0.0), std::pair(id, 1.0)}) {
            if (!window)
                continue;
            auto& animation = springs_[*window];
            if (!animation)
                animation = std::make_unique<SpringAnimation>(
                    spring, time_, [this](double) { update(); }, 1 - target);
            animation->animate(target);
        }
    }
    // Springs at rest on the plain state are done.
    std::erase_if(springs_, [&](const auto& entry) {
        return !entry.second->isAnimating() && entry.first != id && entry.second->value() == 0;
    });
    selected_ = id;
    const std::size_t n = count();
    scroll_.viewport = width();
    scroll_.content = std::max(double(width()), 2 * padding + double(n) * SwitcherCard::width +
                                                    double(n > 0 ? n - 1 : 0) * spacing);
    centreSelected();
    update();
}

void SwitcherCardRow::centreSelected()
{
    scroll_.clamp();
    const WindowEntry* now = model_.selected();
    if (!now)
        return;
    const std::size_t position = std::size_t(model_.session().index);
    const double natural = 2 * padding + double(count()) * SwitcherCard::width +
                           double(count() > 0 ? count() - 1 : 0) * spacing;
    const double shift = std::max(0.0, (scroll_.content - natural) / 2);
    scroll_.centre(shift + padding + double(position) * (SwitcherCard::width + spacing), SwitcherCard::width);
}

double SwitcherCardRow::contentLeft() const
{
    const std::size_t n = count();
    const double natural =
        2 * padding + double(n) * SwitcherCard::width + double(n > 0 ? n - 1 : 0) * spacing;
    // A short row stands in the middle. On whole pixels, so that a kept
    // card is copied rather than filtered.
    const double shift = std::max(0.0, (scroll_.content - natural) / 2);
    return std::round(shift + padding - scroll_.offset);
}

double SwitcherCardRow::top() const { return std::round((height() - SwitcherCard::height()) / 2); }

QRectF SwitcherCardRow::cardRect(std::size_t position) const
{
    return QRectF(contentLeft() + double(position) * (SwitcherCard::width + spacing), top(), SwitcherCard::width,
                  SwitcherCard::height());
}

double SwitcherCardRow::selectionOf(WindowID id) const
{
    if (const auto it = springs_.find(id); it != springs_.end())
        return it->second->value();
    return selected_ == id ? 1 : 0;
}

double SwitcherCardRow::selection(std::size_t position) const
{
    if (position >= count())
        return 0;
    return selectionOf(model_.result(position).id);
}

std::optional<std::size_t> SwitcherCardRow::cardAt(QPointF point) const
{
    const double x = point.x() - contentLeft();
    if (x < 0)
        return std::nullopt;
    const auto position = std::size_t(x / (SwitcherCard::width + spacing));
    if (position >= count() || !cardRect(position).contains(point))
        return std::nullopt;
    return position;
}

void SwitcherCardRow::resizeEvent(QResizeEvent*)
{
    sessionChanged(true);
}

void SwitcherCardRow::pictureArrived(WindowID window)
{
    resting_.erase(window);
    update();
}

void SwitcherCardRow::forgetCards() { resting_.clear(); }

SwitcherCard SwitcherCardRow::card(const WindowEntry& window, double selection)
{
    const auto original = pictures_.thumbnailSize(window.id);
    return SwitcherCard{.window = &window,
                        .picture = original ? pictures_.thumbnail(window.id, SwitcherCard::pictureSize(*original))
                                            : nullptr,
                        .largeIcon = pictures_.icon(window.pid, SwitcherCard::largeIconSide),
                        .smallIcon = pictures_.icon(window.pid, SwitcherCard::smallIconSide),
                        .selection = selection};
}

const QImage& SwitcherCardRow::restingCard(const WindowEntry& window)
{
    if (const auto it = resting_.find(window.id); it != resting_.end())
        return it->second;
    const double ratio = devicePixelRatioF();
    const QSizeF size(SwitcherCard::width, SwitcherCard::height());
    QImage image((size * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        card(window, 0).paint(painter, QPointF());
    }
    return resting_.emplace(window.id, std::move(image)).first->second;
}

void SwitcherCardRow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF dirty = QRectF(event->rect()).adjusted(-40, -40, 40, 40);
    for (std::size_t i = 0; i < count(); ++i) {
        const QRectF rect = cardRect(i);
        if (!rect.intersects(dirty))
            continue;
        const WindowEntry& window = model_.result(i);
        const double selection = selectionOf(window.id);
        if (selection == 0) {
            // Faded as a whole, as one layer.
            painter.setOpacity(SwitcherCard{.selection = 0}.opacity());
            painter.drawImage(rect.topLeft(), restingCard(window));
            continue;
        }
        const SwitcherCard live = card(window, selection);
        painter.setOpacity(live.opacity());
        painter.save();
        painter.translate(rect.center());
        painter.scale(live.scale(), live.scale());
        painter.translate(-rect.center());
        live.paint(painter, rect.topLeft());
        painter.restore();
    }
}

void SwitcherCardRow::mousePressEvent(QMouseEvent* event)
{
    const auto position = cardAt(event->position());
    pressed_ = position ? std::optional(model_.result(*position).id) : std::nullopt;
}

void SwitcherCardRow::mouseReleaseEvent(QMouseEvent* event)
{
    const auto position = cardAt(event->position());
    const auto pressed = std::exchange(pressed_, std::nullopt);
    if (!position || !pressed || model_.result(*position).id != *pressed || !open_)
        return;
    const WindowEntry window = model_.result(*position);
    open_(window);
}

void SwitcherCardRow::wheelEvent(QWheelEvent* event)
{
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    const double delta = !pixels.isNull() ? (pixels.x() != 0 ? pixels.x() : pixels.y())
                                          : (angle.x() != 0 ? angle.x() : angle.y()) / 8.0 * 2;
    scroll_.scrollBy(-delta);
    update();
}

} // namespace kavelo
