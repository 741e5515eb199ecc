#include "app/ui/key_cap.h"

#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace kavelo {

namespace {
QFont capFont()
{
    // The rounded system face has no counterpart among the installed fonts.
    return Fonts::system(KeyCap::fontSize, Fonts::Weight::medium);
}
} // namespace

KeyCap::KeyCap(QString text, QWidget* parent) : QWidget(parent), text_(std::move(text))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KeyCap::setText(QString text)
{
    text_ = std::move(text);
    updateGeometry();
    update();
}

QSize KeyCap::sizeHint() const
{
    const QFontMetricsF metrics(capFont());
    const double w = metrics.horizontalAdvance(text_) + 2 * horizontalPadding;
    const double h = metrics.height() + 2 * verticalPadding;
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

void KeyCap::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.08f));
    painter.drawPath(Shapes::continuousRoundedRect(plate, cornerRadius));
    // A 1-point line inside the edge.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.09f), 1));
    painter.drawPath(Shapes::insetContinuousRoundedRect(plate, cornerRadius, 0.5));

    painter.setFont(capFont());
    painter.setPen(Theme::secondary());
    const QRectF inner = plate.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    // Cut short, not clipped, in a cap narrower than its text.
    painter.drawText(inner, Qt::AlignCenter, QFontMetricsF(capFont()).elidedText(text_, Qt::ElideRight, inner.width()));
}

} // namespace kavelo
