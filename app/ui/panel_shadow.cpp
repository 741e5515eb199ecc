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
    // A panel of every new size would otherwise keep a shadow of its size.
    if (cornerRadius_)
        Shadows::drawRoundedShadow(painter, content_, *cornerRadius_, color_, radius_, offset_);
    else
        Shadows::drawShadow(painter, Shapes::capsule(content_), color_, radius_, offset_);
}

} // namespace kavelo
