#include "app/engine/panels/strip_indicator_panel.h"

#include "app/engine/strip_indicator.h"
#include "app/ui/fonts.h"
#include "app/ui/panel_shadow.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"
#include "core/screen_coordinates.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <utility>
#include <map>

namespace kavelo {

namespace {

constexpr double plateOpacity = 0.88;
constexpr double borderOpacity = 0.12;
constexpr double inViewBase = 0.2;
constexpr double outOfViewBase = 0.07;
constexpr double outOfViewIcon = 0.55;

QColor white(double opacity)
{
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}

} // namespace

// ---------------------------------------------------------------- row

TileRow::TileRow(std::vector<StripTile> tiles, double scale, IndicatorPanel::Select select,
                 IndicatorPanel::Move move, std::vector<QImage> icons, QWidget* parent)
    : QWidget(parent), tiles_(std::move(tiles)), scale_(scale), select_(std::move(select)), move_(std::move(move)),
      icons_(std::move(icons))
{
    setObjectName(QStringLiteral("tileRow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

double TileRow::tileWidth(const StripTile& tile) const
{
    return std::max(minimumTileWidth, tile.width * StripIndicator::tileWidth * scale_);
}

QSizeF TileRow::fittingSize() const
{
    double width = 2 * padding;
    for (const auto& tile : tiles_)
        width += tileWidth(tile);
    if (!tiles_.empty())
        width += spacing * double(tiles_.size() - 1);
    const double height = 2 * padding + (tiles_.empty() ? 0 : tileHeight);
    return QSizeF(width, height);
}

QSize TileRow::sizeHint() const
{
    // Whole points; a sum of fractions a hair over a whole number is that
    // number.
    const QSizeF fitting = fittingSize();
    const auto whole = [](double length) { return int(std::ceil(length - 1e-6)); };
    return QSize(whole(fitting.width()), whole(fitting.height()));
}

QRectF TileRow::tileRect(std::size_t index) const
{
    double x = padding;
    for (std::size_t i = 0; i < index && i < tiles_.size(); ++i)
        x += tileWidth(tiles_[i]) + spacing;
    const double w = index < tiles_.size() ? tileWidth(tiles_[index]) : 0;
    return QRectF(x, padding, w, tileHeight);
}

std::optional<int> TileRow::steps(double translation, double width, double scale)
{
    const double step = width * StripIndicator::tileWidth * scale + spacing;
    const double count = std::round(translation / step);
    if (!std::isfinite(count))
        return std::nullopt;
    // An index far past either end means the same as one just past it.
    constexpr double far = 1 << 20;
    return int(std::clamp(count, -far, far));
}

void TileRow::setOpaque(bool opaque)
{
    if (opaque == opaque_)
        return;
    opaque_ = opaque;
    update();
}

std::optional<std::size_t> TileRow::tileAt(QPointF point) const
{
    for (std::size_t i = 0; i < tiles_.size(); ++i)
        if (tileRect(i).contains(point))
            return i;
    return std::nullopt;
}

void TileRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QRectF bounds(QPointF(0, 0), QSizeF(size()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::night(), opaque_ ? 1.0 : plateOpacity));
    painter.drawPath(Shapes::continuousRoundedRect(bounds, cornerRadius));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(white(borderOpacity), 1));
    painter.drawPath(Shapes::insetContinuousRoundedRect(bounds, cornerRadius, 0.5));

    // The dragged tile goes last, over its neighbours.
    std::optional<std::size_t> lifted;
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        if (dragged_ && tiles_[i].id == *dragged_ && !lifted) {
            lifted = i;
            continue;
        }
        paintTile(painter, i, tileRect(i));
    }
    if (lifted)
        paintTile(painter, *lifted, tileRect(*lifted).translated(travel_, 0));
}

void TileRow::paintTile(QPainter& painter, std::size_t index, const QRectF& rect) const
{
    const StripTile& tile = tiles_[index];
    painter.setPen(Qt::NoPen);
    painter.setBrush(white(tile.inView ? inViewBase : outOfViewBase));
    painter.drawPath(Shapes::continuousRoundedRect(rect, tileCornerRadius));

    if (hasIcon(index)) {
        const QRectF icon(rect.center().x() - iconSide / 2, rect.center().y() - iconSide / 2, iconSide, iconSide);
        painter.setOpacity(tile.inView ? 1.0 : outOfViewIcon);
        painter.drawImage(icon, icons_[index]);
        painter.setOpacity(1);
    }

    if (tile.count >= 2) {
        const QFont font = Fonts::system(badgeFontSize, Fonts::Weight::semibold);
        const QString text = QString::number(tile.count);
        const QFontMetricsF metrics(font);
        const double w = metrics.horizontalAdvance(text) + 2 * badgePadding;
        const double h = metrics.height() + 2 * badgePadding;
        painter.setFont(font);
        painter.setPen(Theme::moon());
        painter.drawText(QRectF(rect.right() - w, rect.top(), w, h), Qt::AlignCenter | Qt::TextSingleLine, text);
    }

    if (tile.focused) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Theme::lit(), ringWidth));
        painter.drawPath(Shapes::insetContinuousRoundedRect(rect, tileCornerRadius, ringWidth / 2));
    }
}

void TileRow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressed_ = tileAt(event->position());
    pressPoint_ = event->position();
    event->accept();
}

void TileRow::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed_)
        return;
    const QPointF translation = event->position() - pressPoint_;
    if (!dragged_ && std::hypot(translation.x(), translation.y()) >= dragDistance)
        dragged_ = tiles_[*pressed_].id;
    if (dragged_) {
        travel_ = translation.x();
        update();
    }
}

void TileRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    const std::size_t index = *std::exchange(pressed_, std::nullopt);
    const StripTile tile = tiles_[index];
    if (!dragged_) {
        if (select_)
            select_(tile.id);
        return;
    }
    const double translation = event->position().x() - pressPoint_.x();
    dragged_.reset();
    travel_ = 0;
    update();
    // The receiver keeps the index within its bounds.
    if (const auto moved = steps(translation, tile.width, scale_); moved && move_)
        move_(tile.id, int(index) + *moved);
}

// ---------------------------------------------------------------- panel

StripIndicatorPanel::StripIndicatorPanel(PanelHost& host, Displays& displays, IconSource icons)
    : host_(host), displays_(displays), icons_(std::move(icons)), window_(host, PanelLevel::overlay),
      backdrop_(new PanelShadow(&window_, TileRow::cornerRadius, QColor::fromRgbF(0, 0, 0, float(shadowOpacity)),
                                shadowRadius, QPointF(0, shadowOffset)))
{
    window_.setObjectName(QStringLiteral("stripIndicator"));
}

StripIndicatorPanel::~StripIndicatorPanel() = default;

int StripIndicatorPanel::shadowMargin()
{
    return Shadows::margin(shadowRadius) + int(std::ceil(shadowOffset));
}

Size StripIndicatorPanel::setRow(std::vector<StripTile> tiles, double scale, Select select, Move move)
{
    // The old row may be handling the click that asked for this one.
    if (row_) {
        row_->hide();
        row_->deleteLater();
    }
    // Looked up for every new row; one application's icon once per row.
    std::map<std::string, QImage> found;
    std::vector<QImage> icons;
    icons.reserve(tiles.size());
    for (const auto& tile : tiles) {
        if (!tile.bundleID || !icons_) {
            icons.emplace_back();
            continue;
        }
        auto known = found.find(*tile.bundleID);
        if (known == found.end())
            known = found.emplace(*tile.bundleID, icons_(*tile.bundleID).value_or(QImage())).first;
        icons.push_back(known->second);
    }
    row_ = new TileRow(std::move(tiles), scale, std::move(select), std::move(move), std::move(icons), &window_);
    // It takes its place with the frame that follows.
    const QSize whole = row_->sizeHint();
    row_->resize(whole);
    row_->show();
    return Size(whole.width(), whole.height());
}

void StripIndicatorPanel::setFrame(const Rect& frame)
{
    frame_ = frame;
    place();
}

void StripIndicatorPanel::place()
{
    if (!row_ || frame_.isEmpty())
        return;
    const auto screens = displays_.screens();
    const double primary = screens.empty() ? 0 : screens.front().frame.height();
    const QRect pixels = pixelRect(ScreenCoordinates::flip(frame_, primary));
    auto* backdrop = backdrop_;
    const bool blends = host_.blends();
    row_->setOpaque(!blends);
    if (blends) {
        const int m = shadowMargin();
        window_.setFrame(Rect(pixels.x() - m, pixels.y() - m, pixels.width() + 2 * m, pixels.height() + 2 * m));
        row_->setGeometry(m, m, pixels.width(), pixels.height());
        backdrop->setGeometry(0, 0, pixels.width() + 2 * m, pixels.height() + 2 * m);
        backdrop->setContent(QRectF(row_->geometry()));
        backdrop->show();
        window_.clearMask();
    } else {
        // Nothing blends: no shadow, and the plate's corners cut away.
        window_.setFrame(Rect(pixels.x(), pixels.y(), pixels.width(), pixels.height()));
        row_->setGeometry(0, 0, pixels.width(), pixels.height());
        backdrop->hide();
        const QPainterPath shape =
            Shapes::continuousRoundedRect(QRectF(0, 0, pixels.width(), pixels.height()), TileRow::cornerRadius);
        window_.setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

void StripIndicatorPanel::setAlpha(double alpha)
{
    alpha_ = alpha;
    window_.setOpacity(alpha);
}

void StripIndicatorPanel::orderFront()
{
    window_.orderFront();
}

void StripIndicatorPanel::orderOut()
{
    window_.orderOut();
}

bool StripIndicatorPanel::isShown() const
{
    return window_.isVisible();
}

} // namespace kavelo
