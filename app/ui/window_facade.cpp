#include "app/ui/window_facade.h"

#include "app/ui/capture.h"
#include "app/ui/shadows.h"
#include "app/ui/theme.h"

#include <QGuiApplication>
#include <QPainter>

namespace kavelo {

WindowFacade::WindowFacade(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(side, side);
    setGraphicsEffect(new SoftShadowEffect(Theme::withOpacity(Theme::lit(), 0.28), 28, QPointF(0, 8), this));
}

QIcon WindowFacade::icon() const
{
    return QGuiApplication::windowIcon();
}

void WindowFacade::paintEvent(QPaintEvent*)
{
    const QIcon image = icon();
    if (image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Stretched into the whole tile, whatever the icon's own proportions,
    // from a picture of the tile's device pixels.
    const double ratio = Capture::pixelRatio(painter);
    const QPixmap pixmap = image.pixmap(QSize(side, side), ratio);
    painter.drawPixmap(rect(), pixmap);
}

} // namespace kavelo
