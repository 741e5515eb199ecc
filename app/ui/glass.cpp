#include "app/ui/glass.h"

#include "app/ui/theme.h"

#include <QPainter>

namespace kavelo {

Glass::Glass(GlassMaterial material, GlassBlending blending, QWidget* parent)
    : QWidget(parent), material_(material), blending_(blending)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void Glass::update(GlassMaterial material, GlassBlending blending)
{
    material_ = material;
    blending_ = blending;
    QWidget::update();
}

QColor Glass::tint(GlassMaterial material)
{
    if (Theme::isRendering)
        return Theme::renderingGlass();
    switch (material) {
    case GlassMaterial::fullScreenUI:
        return Theme::withOpacity(Theme::renderingGlass(), 0.82);
    case GlassMaterial::windowBackground:
    case GlassMaterial::underWindowBackground:
        return Theme::withOpacity(Theme::renderingGlass(), 0.97);
    case GlassMaterial::menu:
    case GlassMaterial::popover:
    case GlassMaterial::sidebar:
    case GlassMaterial::hudWindow:
        break;
    }
    return Theme::withOpacity(Theme::renderingGlass(), 0.92);
}

QColor Glass::tint() const
{
    return tint(material_);
}

void Glass::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), tint());
}

GlassBackground::GlassBackground(GlassMaterial material, QWidget* parent)
    : Glass(material, GlassBlending::behindWindow, parent)
{
}

} // namespace kavelo
