#include "app/settings/switch.h"

#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QPainter>

namespace kavelo {

Switch::Switch(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(width, height);
    setCursor(Qt::ArrowCursor);
}

QPointF Switch::knobCentre(bool on) const
{
    const double r = height / 2.0;
    return {on ? width - r : r, r};
}

bool Switch::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void Switch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(0, 0, width, height);
    const bool on = isChecked();
    painter.setPen(Qt::NoPen);
    QColor fill = on ? Theme::lit() : QColor::fromRgbF(1, 1, 1, 0.16f);
    if (!isEnabled())
        fill = Theme::withOpacity(fill, 0.5);
    painter.setBrush(fill);
    painter.drawPath(Shapes::capsule(track));

    const double knob = height / 2.0 - knobInset;
    const QPointF centre = knobCentre(on);
    // A faint shadow under the knob keeps it apart from a light track.
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.25f));
    painter.drawEllipse(centre + QPointF(0, 0.5), knob + 0.25, knob + 0.25);
    painter.setBrush(isDown() ? QColor::fromRgbF(0.9f, 0.9f, 0.9f) : QColor(Qt::white));
    painter.drawEllipse(centre, knob, knob);
}

} // namespace kavelo
