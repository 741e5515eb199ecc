#include "app/settings/menu_picker.h"

#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kavelo {

MenuPicker::MenuPicker(QWidget* parent) : QComboBox(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFont(Fonts::system(fontSize));
    setCursor(Qt::ArrowCursor);
}

QSize MenuPicker::sizeHint() const
{
    const QFontMetricsF metrics(font());
    double widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
    return QSize(int(std::ceil(widest + 3 * horizontalPadding + height / 2.0)), height);
}

void MenuPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::primary(), plateOpacity));
    painter.drawPath(Shapes::continuousRoundedRect(plate, cornerRadius));

    painter.setFont(font());
    painter.setPen(isEnabled() ? Theme::primary() : Theme::secondary());
    const QRectF text = plate.adjusted(horizontalPadding, 0, -(2 * horizontalPadding + height / 4.0), 0);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(font()).elidedText(currentText(), Qt::ElideRight, text.width()));

    // Up and down chevrons, one over the other.
    const double cx = plate.right() - horizontalPadding - 3.5;
    const double cy = plate.center().y();
    QPainterPath chevrons;
    chevrons.moveTo(cx - 3.5, cy - 1.5);
    chevrons.lineTo(cx, cy - 5);
    chevrons.lineTo(cx + 3.5, cy - 1.5);
    chevrons.moveTo(cx - 3.5, cy + 1.5);
    chevrons.lineTo(cx, cy + 5);
    chevrons.lineTo(cx + 3.5, cy + 1.5);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Theme::secondary(), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(chevrons);
}

} // namespace kavelo
