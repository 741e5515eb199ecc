#include "app/settings/picker.h"

#include "app/settings/settings_style.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kavelo {

namespace {

// The window's colours, opaque, for the menu the stock box opens.
QPalette menuPalette()
{
    QPalette p = SettingsStyle::darkPalette();
    const QColor menu = QColor::fromRgbF(0.17f, 0.19f, 0.23f);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Base, menu);
        p.setColor(group, QPalette::Window, menu);
        p.setColor(group, QPalette::Button, menu);
    }
    return p;
}

} // namespace

Picker::Picker(QWidget* parent) : QComboBox(parent)
{
    setFont(Fonts::system(fontSize));
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setPalette(menuPalette());
    view()->setPalette(menuPalette());
}

QSize Picker::sizeHint() const
{
    const QFontMetricsF metrics(font());
    double widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
    return QSize(int(std::ceil(textInset + widest + 8 + plateSize + 4)), height);
}

void Picker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, isEnabled() ? 0.12f : 0.06f));
    painter.drawPath(Shapes::continuousRoundedRect(bounds, cornerRadius));

    const QRectF plate(bounds.right() - 4 - plateSize, bounds.center().y() - plateSize / 2, plateSize, plateSize);
    painter.setBrush(Theme::lit());
    painter.drawPath(Shapes::continuousRoundedRect(plate, 4));
    // Up and down chevrons, black on the accent.
    QPen stroke(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(stroke);
    painter.setBrush(Qt::NoBrush);
    const QPointF c = plate.center();
    QPainterPath chevrons;
    chevrons.moveTo(c.x() - 3, c.y() - 1.5);
    chevrons.lineTo(c.x(), c.y() - 4.5);
    chevrons.lineTo(c.x() + 3, c.y() - 1.5);
    chevrons.moveTo(c.x() - 3, c.y() + 1.5);
    chevrons.lineTo(c.x(), c.y() + 4.5);
    chevrons.lineTo(c.x() + 3, c.y() + 1.5);
    painter.drawPath(chevrons);

    painter.setPen(isEnabled() ? Theme::primary() : Theme::secondary());
    painter.setFont(font());
    const QRectF text = bounds.adjusted(textInset, 0, -(plateSize + 4 + 6), 0);
    const QString shown = QFontMetricsF(font()).elidedText(currentText(), Qt::ElideRight, text.width());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

} // namespace kavelo
