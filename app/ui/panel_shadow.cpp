#include "app/ui/panel_shadow.h"

#include "app/ui/shadows.h"
#include "app/ui/shapes.h"

#include <QPainter>

namespace kavelo {

PanelShadow::PanelShadow(QWidget* parent, std::optional<double> cornerRadius, QColor color, double radius,
                         QPointF offset)
    : QWidget(parent), cornerRadius_(cornerRadius), color_(color), radius_(radius), offset_(offset)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PanelShadow::setContent(QRectF content)
{
    content_ = content;
    update();
}

void PanelShadow::paintEvent(QPaintEvent*)
{
    if (content_.isEmpty())
        return;
    QPainter painter(this);
    const QPainterPath shape = cornerRadius_ ? Shapes::continuousRoundedRect(content_, *cornerRadius_)
                                             : Shapes::capsule(content_);
    Shadows::drawShadow(painter, shape, color_, radius_, offset_);
}

} // namespace kavelo
