#include "app/switcher/views/overview_view.h"

#include "app/ui/glass.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kavelo {

OverviewView::OverviewView(OverviewModel& model, OverviewActions actions, AnimationTime time, QWidget* parent)
    : QWidget(parent), model_(model), actions_(std::move(actions))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    bar_ = new OverviewCommandBar(model_, actions_.switchWorkflow, time, this);
    grid_ = new OverviewGrid(model_,
                             OverviewGrid::Actions{.open = actions_.open,
                                                   .close = actions_.close,
                                                   .pointer = actions_.pointer,
                                                   .icon = actions_.icon},
                             time, this);
    empty_ = new OverviewEmptyState(model_, this);
    footer_ = new OverviewFooter(actions_.fixPermissions, this);
    subscription_ = model_.changed.connect([this](OverviewModel::Property p) { modelChanged(p); });
    setFocusProxy(bar_->searchField());
    modelChanged(OverviewModel::Property::missingPermission);
    relayout();
}

OverviewView::~OverviewView() = default;

void OverviewView::setOpaque(bool opaque)
{
    if (opaque == opaque_)
        return;
    opaque_ = opaque;
    update();
}

void OverviewView::modelChanged(OverviewModel::Property property)
{
    using P = OverviewModel::Property;
    bar_->modelChanged(property);
    grid_->modelChanged(property);
    switch (property) {
    case P::missingPermission:
        footer_->setShowsPermission(model_.missingPermission());
        break;
    case P::query:
    case P::scope:
    case P::windows: {
        const bool none = model_.results().empty();
        grid_->setVisible(!none);
        empty_->setVisible(none);
        if (none)
            empty_->update();
        break;
    }
    case P::selection:
    case P::thumbnails:
    case P::columns:
    case P::workflows:
    case P::focusRequest:
        break;
    }
}

void OverviewView::relayout()
{
    const QRectF content = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    const double barWidth = std::min(content.width(), OverviewCommandBar::maximumWidth);
    const double barHeight = bar_->preferredHeight();
    bar_->setGeometry(QRectF(content.center().x() - barWidth / 2, content.top(), barWidth, barHeight).toRect());
    const double footerHeight = footer_->preferredHeight();
    footer_->setGeometry(QRectF(content.left(), content.bottom() - footerHeight, content.width(), footerHeight).toRect());
    const QRectF middle(content.left(), content.top() + barHeight + spacing, content.width(),
                        std::max(0.0, content.height() - barHeight - footerHeight - 2 * spacing));
    grid_->setGeometry(middle.toRect());
    empty_->setGeometry(middle.toRect());
    const bool none = model_.results().empty();
    grid_->setVisible(!none);
    empty_->setVisible(none);
}

void OverviewView::release()
{
    grid_->release();
}

void OverviewView::resizeEvent(QResizeEvent*)
{
    relayout();
}

void OverviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The glass and the black over it, blended once into one fill.
    QColor glass = Glass::tint(GlassMaterial::fullScreenUI);
    if (opaque_)
        glass.setAlphaF(1);
    const double a = glass.alphaF() * (1 - dimming);
    const double alpha = a + dimming;
    const QColor backdrop = QColor::fromRgbF(float(glass.redF() * a / alpha), float(glass.greenF() * a / alpha),
                                             float(glass.blueF() * a / alpha), float(alpha));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), backdrop);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // The floating bar's shadow, cached by its size.
    const QRectF bar = QRectF(bar_->geometry());
    Shadows::drawShadow(painter, Shapes::continuousRoundedRect(QRectF(QPointF(0, 0), bar.size()), OverviewCommandBar::cornerRadius)
                                     .translated(bar.topLeft()),
                        QColor::fromRgbF(0, 0, 0, float(barShadowOpacity)), barShadowRadius,
                        QPointF(0, barShadowOffset));
}

void OverviewView::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void OverviewView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool pressed = pressed_;
    pressed_ = false;
    if (pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && actions_.close)
        actions_.close();
}

} // namespace kavelo
