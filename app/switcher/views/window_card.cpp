#include "app/switcher/views/window_card.h"

#include "app/ui/capture.h"

#include "app/ui/fonts.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QBrush>
#include <QCache>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>

namespace kavelo {

namespace {

QFont titleFont()
{
    return Fonts::windowText(WindowCard::titleSize, Fonts::Weight::semibold);
}

QFont detailFont()
{
    return Fonts::windowText(WindowCard::detailSize);
}

double titleLine()
{
    static const double h = QFontMetricsF(titleFont()).height();
    return h;
}

double detailLine()
{
    static const double h = QFontMetricsF(detailFont()).height();
    return h;
}

// `size` scaled to fit inside `box`, proportions kept, centred.
QRectF fitted(QSizeF size, const QRectF& box)
{
    if (size.isEmpty() || box.isEmpty())
        return box;
    const double scale = std::min(box.width() / size.width(), box.height() / size.height());
    const QSizeF s(size.width() * scale, size.height() * scale);
    return QRectF(box.center().x() - s.width() / 2, box.center().y() - s.height() / 2, s.width(), s.height());
}

constexpr int plateBudget = 1024;   // kilobytes

QCache<QByteArray, QImage>& plates()
{
    static QCache<QByteArray, QImage> c(plateBudget);
    return c;
}

// Resting cards are drawn on worker threads as well.
std::mutex& platesGuard()
{
    static std::mutex m;
    return m;
}

// The picture area's faint plate. Every card of a grid has one of the same
// size, so at rest it is filled once into an image and copied to whole
// pixels, as the picture on it is; a fill split among Qt's painting threads
// per card cost more than the rest of the card. A scaled card (springing)
// or a scaled screen fills its path.
void fillPlate(QPainter& painter, const QRectF& area, double radius, const QColor& color)
{
    const QTransform& t = painter.transform();
    const double ratio = Capture::pixelRatio(painter);
    const QSize size(int(std::ceil(area.width())), int(std::ceil(area.height())));
    const qsizetype kilobytes = qsizetype(size.width()) * size.height() * 4 / 1024 + 1;
    if (t.type() > QTransform::TxTranslate || ratio != 1 || size.isEmpty() || kilobytes > plateBudget / 2) {
        painter.fillPath(Shapes::continuousRoundedRect(area, radius), color);
        return;
    }
    QByteArray key;
    for (const double v : {area.width(), area.height(), radius})
        key.append(reinterpret_cast<const char*>(&v), sizeof v);
    key.append(QByteArray::number(color.rgba64(), 16));
    QImage plate;
    {
        std::lock_guard lock(platesGuard());
        if (const QImage* kept = plates().object(key))
            plate = *kept;
    }
    if (plate.isNull()) {
        plate = QImage(size, QImage::Format_ARGB32_Premultiplied);
        plate.fill(Qt::transparent);
        {
            QPainter p(&plate);
            p.setRenderHint(QPainter::Antialiasing);
            p.fillPath(Shapes::continuousRoundedRect(QRectF(QPointF(0, 0), area.size()), radius), color);
        }
        std::lock_guard lock(platesGuard());
        plates().insert(key, new QImage(plate), kilobytes);
    }
    const QPointF device = t.map(area.topLeft());
    painter.drawImage(QPointF(std::round(device.x()), std::round(device.y())) - QPointF(t.dx(), t.dy()), plate);
}

} // namespace

QImage WindowCard::painted(const QRectF& cell, QSize pixels, double ratio) const
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter, cell);
    painter.end();
    return image;
}

void WindowCard::releasePlates()
{
    std::lock_guard lock(platesGuard());
    plates().clear();
}

QImage WindowCard::roundedPicture(const QImage& picture, QSize size, double ratio)
{
    QImage out = (picture.size() == size ? picture : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(1);
    // The corners in device pixels.
    const double radius = pictureRadius * ratio;
    // Only the corners change: each is cut by the corner of a small rounded
    // square, which a larger rectangle's corners equal.
    const int corner = int(std::ceil(radius * 1.53)) + 1;
    const int side = 2 * corner + 1;
    if (size.width() < side || size.height() < side) {
        QImage rounded(size, QImage::Format_ARGB32_Premultiplied);
        rounded.fill(Qt::transparent);
        {
            QPainter painter(&rounded);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QBrush(out));
            painter.drawPath(Shapes::continuousRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius));
        }
        rounded.setDevicePixelRatio(ratio);
        return rounded;
    }
    QPainter painter(&out);
    QImage mask(side, side, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter shape(&mask);
        shape.setRenderHint(QPainter::Antialiasing);
        shape.fillPath(Shapes::continuousRoundedRect(QRectF(0, 0, side, side), radius), Qt::black);
    }
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    const int right = size.width() - corner, bottom = size.height() - corner;
    painter.drawImage(QPoint(0, 0), mask, QRect(0, 0, corner, corner));
    painter.drawImage(QPoint(right, 0), mask, QRect(side - corner, 0, corner, corner));
    painter.drawImage(QPoint(0, bottom), mask, QRect(0, side - corner, corner, corner));
    painter.drawImage(QPoint(right, bottom), mask, QRect(side - corner, side - corner, corner, corner));
    painter.end();
    out.setDevicePixelRatio(ratio);
    return out;
}

QString stateLabel(WindowState state)
{
    switch (state) {
    case WindowState::visible: return {};
    case WindowState::minimized: return QStringLiteral("Minimized");
    case WindowState::hidden: return QStringLiteral("Hidden");
    case WindowState::otherSpace: return QStringLiteral("Other desktop");
    }
    return {};
}

WindowCard::Content WindowCard::content() const
{
    if (picture && !picture->isNull())
        return Content::picture;
    if (icon && !icon->isNull())
        return Content::icon;
    return Content::symbol;
}

QString WindowCard::title() const
{
    return QString::fromStdString(window.title.empty() ? window.appName : window.title);
}

QString WindowCard::detail() const
{
    QString text = QString::fromStdString(window.appName);
    const QString state = stateLabel(window.state);
    if (!state.isEmpty())
        text += QStringLiteral(", ") + state;
    return text;
}

double WindowCard::captionHeight()
{
    return std::max(captionIconSide, titleLine() + lineSpacing + detailLine());
}

double WindowCard::height(double width)
{
    return width / aspectRatio + spacing + captionHeight();
}

WindowCard::Layout WindowCard::layout(const QRectF& cell) const
{
    Layout l;
    l.pictureArea = QRectF(cell.left(), cell.top(), cell.width(), cell.width() / aspectRatio);
    switch (content()) {
    case Content::picture:
        l.content = fitted(picture->deviceIndependentSize(),
                           l.pictureArea.adjusted(pictureInset, pictureInset, -pictureInset, -pictureInset));
        break;
    case Content::icon:
        l.content = QRectF(l.pictureArea.center().x() - iconSide / 2, l.pictureArea.center().y() - iconSide / 2,
                           iconSide, iconSide);
        break;
    case Content::symbol: {
        const double side = Symbols::extent(symbolSize);
        l.content = QRectF(l.pictureArea.center().x() - side / 2, l.pictureArea.center().y() - side / 2, side, side);
        break;
    }
    }

    const double top = l.pictureArea.bottom() + spacing;
    const double h = captionHeight();
    double x = cell.left() + captionPadding;
    const double right = cell.right() - captionPadding;
    if (icon && !icon->isNull()) {
        l.captionIcon = QRectF(x, top + (h - captionIconSide) / 2, captionIconSide, captionIconSide);
        x = l.captionIcon.right() + captionSpacing;
    }
    const double text = titleLine() + lineSpacing + detailLine();
    const double textTop = top + (h - text) / 2;
    const double w = std::max(0.0, right - x);
    l.title = QRectF(x, textTop, w, titleLine());
    l.detail = QRectF(x, l.title.bottom() + lineSpacing, w, detailLine());
    return l;
}

void WindowCard::paint(QPainter& painter, const QRectF& cell) const
{
    const Layout l = layout(cell);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Scaled about the card's centre, the caption included.
    const QPointF centre = QRectF(cell.topLeft(), QSizeF(cell.width(), height(cell.width()))).center();
    const double s = scale();
    const auto scaled = [&](const QRectF& r) { return QRectF(centre + (r.topLeft() - centre) * s, r.size() * s); };
    const double base = painter.opacity() * opacity();

    // A shadow follows what is drawn: the faint fill casts a faint one, the
    // picture or the icon a full one. The resting and the selected shadow
    // cross-fade while the card springs. Each is cut from one silhouette per
    // corner shape whatever the picture's size, so it is drawn at the
    // card's scale rather than through the scaled painter.
    std::optional<std::pair<QRectF, double>> solid;
    if (content() == Content::picture)
        solid = std::pair(l.content, pictureRadius);
    else if (content() == Content::icon)
        solid = std::pair(l.content, iconRadius);
    const auto castShadow = [&](QColor color, double radius, QPointF offset, double strength) {
        if (strength <= 0)
            return;
        painter.setOpacity(base * strength);
        // Under a solid picture the fill's faint shadow is lost: leave it out.
        if (solid)
            Shadows::drawRoundedShadow(painter, scaled(solid->first), solid->second, color, radius, offset * s);
        else
            Shadows::drawRoundedShadow(painter, scaled(l.pictureArea), cornerRadius,
                                       Theme::withOpacity(color, fillOpacity), radius, offset * s);
    };
    const double e = std::clamp(emphasis, 0.0, 1.0);
    castShadow(QColor::fromRgbF(0, 0, 0, 0.3f), 14, QPointF(0, 8), 1 - e);
    castShadow(Theme::withOpacity(Theme::lit(), 0.42), 26, QPointF(), e);
    painter.setOpacity(base);

    painter.translate(centre);
    painter.scale(s, s);
    painter.translate(-centre);
    painter.setPen(Qt::NoPen);
    fillPlate(painter, l.pictureArea, cornerRadius, QColor::fromRgbF(1, 1, 1, float(fillOpacity)));

    switch (content()) {
    case Content::picture: {
        if (pictureIsPrepared) {
            // Whole pixels, so that it is copied rather than resampled.
            const QPointF centre = l.content.center();
            const QSizeF size = picture->deviceIndependentSize();
            const double r = Capture::pixelRatio(painter);
            painter.drawImage(QPointF(std::round((centre.x() - size.width() / 2) * r) / r,
                                      std::round((centre.y() - size.height() / 2) * r) / r),
                              *picture);
            break;
        }
        painter.save();
        painter.setClipPath(Shapes::continuousRoundedRect(l.content, pictureRadius), Qt::IntersectClip);
        painter.drawImage(l.content, *picture);
        painter.restore();
        break;
    }
    case Content::icon:
        painter.drawImage(l.content, *icon);
        break;
    case Content::symbol:
        Symbols::draw(painter, l.content, "macwindow", symbolSize, Theme::dusk());
        break;
    }

    if (selected) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Theme::lit(), ringWidth));
        painter.drawPath(Shapes::insetContinuousRoundedRect(l.pictureArea, cornerRadius, ringWidth / 2));
    }

    if (!l.captionIcon.isEmpty())
        painter.drawImage(l.captionIcon, *icon);
    const auto line = [&](const QRectF& rect, const QFont& font, const QColor& color, const QString& text) {
        painter.setFont(font);
        painter.setPen(color);
        const QString elided = QFontMetricsF(font).elidedText(text, Qt::ElideRight, rect.width());
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, elided);
    };
    line(l.title, titleFont(), Theme::moon(), title());
    line(l.detail, detailFont(), Theme::dusk(), detail());
    painter.restore();
}

} // namespace kavelo
