#include "app/ui/pill_button.h"

#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace kavelo {

const Spring PillButton::spring{0.2, 1.0};

namespace {
QFont pillFont()
{
    return Fonts::system(PillButton::fontSize, Fonts::Weight::semibold);
}
} // namespace

PillButton::PillButton(QString text, AnimationTime time, bool prominent, QWidget* parent)
    : QAbstractButton(parent), prominent_(prominent), scale_(spring, time, [this](double) { update(); }, 1.0)
{
    setText(text);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
    connect(this, &QAbstractButton::pressed, this, [this] { scale_.animate(pressedScale); });
    connect(this, &QAbstractButton::released, this, [this] { scale_.animate(1.0); });
}

void PillButton::setProminent(bool prominent)
{
    prominent_ = prominent;
    update();
}

void PillButton::setColorScheme(ColorScheme scheme)
{
    scheme_ = scheme;
    update();
}

QSize PillButton::sizeHint() const
{
    const QFontMetricsF metrics(pillFont());
    const double w = metrics.horizontalAdvance(text()) + 2 * horizontalPadding;
    const double h = metrics.height() + 2 * verticalPadding;
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

void PillButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    const double s = scale_.value();
    painter.translate(bounds.center());
    painter.scale(s, s);
    painter.translate(-bounds.center());
    if (!isEnabled())
        painter.setOpacity(disabledOpacity);

    painter.setPen(Qt::NoPen);
    painter.setBrush(prominent_ ? Theme::lit() : QColor::fromRgbF(1, 1, 1, 0.1f));
    painter.drawPath(Shapes::capsule(bounds));

    painter.setFont(pillFont());
    painter.setPen(prominent_ ? QColor(Qt::black) : Theme::primary(scheme_));
    painter.drawText(bounds, Qt::AlignCenter, text());
}

} // namespace kavelo
