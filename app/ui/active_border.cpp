#include "app/ui/active_border.h"

#include "app/services/active_frame.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>

namespace kavelo {

Outline::Outline(bool glows, QColor color, QWidget* parent) : QWidget(parent), glows_(glows), color_(color)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Outline::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = QRectF(rect()).adjusted(padding, padding, -padding, -padding);
    if (shape.isEmpty())
        return;
    const double width = glows_ ? glowWidth : borderWidth;
    // A line inside the shape's edge follows the shape inset by half its width.
    const QPainterPath line = Shapes::insetContinuousRoundedRect(shape, cornerRadius, width / 2);
    // Cut from one small glow: a window of every new size would otherwise
    // keep a glow of its size.
    if (glows_)
        Shadows::drawRoundedShadow(painter, shape.adjusted(width / 2, width / 2, -width / 2, -width / 2),
                                   std::max(0.0, cornerRadius - width / 2), color_, glowRadius, {}, width);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color_, width));
    painter.drawPath(line);
}

QRegion Outline::line(QSize size, bool glows)
{
    const QRectF shape = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(padding, padding, -padding, -padding);
    if (shape.isEmpty())
        return {};
    const double width = glows ? glowWidth : borderWidth;
    const QPainterPath outer = Shapes::continuousRoundedRect(shape, cornerRadius);
    const QPainterPath inner = Shapes::insetContinuousRoundedRect(shape, cornerRadius, width);
    return QRegion(outer.toFillPolygon().toPolygon()).subtracted(QRegion(inner.toFillPolygon().toPolygon()));
}

ActiveBorder::ActiveBorder(PanelHost& host, FrameProvider activeFrame, SettingsProvider settings,
                           std::function<void()> startTracking)
    : host_(host), activeFrame_(std::move(activeFrame)), settings_(std::move(settings)),
      startTracking_(std::move(startTracking))
{
}

ActiveBorder::ActiveBorder(const Desktop& desktop, WorkingApp& workingApp, PanelHost& host)
    : ActiveBorder(
          host,
          [desktop, &workingApp, &host] {
              return ActiveWindow::activeFrame(desktop, workingApp, ownTitledKeyWindow(host));
          },
          [&preferences = desktop.preferences] {
              const Color& c = preferences.highlightColor();
              return HighlightSettings{preferences.highlight(), QColor::fromRgbF(float(c.red), float(c.green),
                                                                                 float(c.blue), float(c.opacity))};
          },
          [&workingApp] { workingApp.start(); })
{
}

ActiveBorder::~ActiveBorder()
{
    timer_.cancel();
}

std::optional<Rect> ActiveBorder::ownTitledKeyWindow(const PanelHost& host)
{
    const QWidget* key = QApplication::activeWindow();
    if (!key || !key->isVisible())
        return std::nullopt;
    const Qt::WindowType type = key->windowType();
    if ((type != Qt::Window && type != Qt::Dialog) || key->windowFlags().testFlag(Qt::FramelessWindowHint))
        return std::nullopt;
    const QRect frame = key->frameGeometry();
    return host.frameOfToolkit(Rect(frame.x(), frame.y(), frame.width(), frame.height()));
}

FreePanel& ActiveBorder::panel()
{
    if (!panel_) {
        panel_ = std::make_unique<FreePanel>(host_, PanelLevel::helper, true);
        panel_->setObjectName(QStringLiteral("activeBorder"));
    }
    return *panel_;
}

void ActiveBorder::start()
{
    if (timer_.pending())
        return;
    if (startTracking_)
        startTracking_();
    timer_ = host_.scheduler().every(tick, [this] { update(); });
}

void ActiveBorder::update()
{
    const HighlightSettings settings = settings_ ? settings_() : HighlightSettings{};
    // With the highlight off nothing else is asked.
    const std::optional<Rect> frame =
        settings.style == HighlightSettings::Style::none ? std::nullopt : activeFrame_();
    if (!frame) {
        if (shape_)
            panel().orderOut();
        shape_.reset();
        return;
    }

    FreePanel& p = panel();
    const Shape wanted{settings.style, settings.color};
    if (shape_ != wanted) {
        shape_ = wanted;
        delete outline_;
        outline_ = new Outline(settings.style == HighlightSettings::Style::glow, settings.color, &p);
        outline_->setGeometry(p.rect());
        outline_->show();
    }

    const Rect rect = frame->insetBy(-grow, -grow);
    if (p.frame() != rect) {
        p.setFrame(rect);
        outline_->setGeometry(p.rect());
    }
    // Asked at every tick: a compositor may stop while the window stands.
    if (host_.blends()) {
        if (cut_)
            p.clearMask();
        cut_.reset();
    } else if (const std::pair wanted(p.size(), outline_->glows()); cut_ != wanted) {
        p.setMask(Outline::line(wanted.first, wanted.second));
        cut_ = wanted;
    }
    if (!p.isVisible())
        p.orderFront();
}

} // namespace kavelo
