#include "app/switcher/views/switcher_free_panel.h"

#include "app/ui/panel_shadow.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"

#include <QPainter>
#include <QRegion>

#include <cmath>

namespace kavelo {

int SwitcherFreePanel::shadowMargin() { return Shadows::margin(shadowRadius) + int(std::ceil(shadowOffset)); }

SwitcherFreePanel::SwitcherFreePanel(PanelHost& host, SwitcherModel& model, SwitcherOpen open,
                                     SwitcherPictures::IconSource icons)
    : host_(host)
{
    panel_ = std::make_unique<FreePanel>(host, PanelLevel::overlay, false);
    panel_->setObjectName(QStringLiteral("switcher"));
    backdrop_ = new PanelShadow(panel_.get(), SwitcherView::cornerRadius, QColor::fromRgbF(0, 0, 0, float(shadowOpacity)),
                                shadowRadius, QPointF(0, shadowOffset));
    view_ = new SwitcherView(model, std::move(icons), host.time(), std::move(open), panel_.get());
}

SwitcherFreePanel::~SwitcherFreePanel() = default;

SwitcherPanelFactory SwitcherFreePanel::factory(PanelHost& host, SystemWorkspace& workspace)
{
    return [&host, &workspace](SwitcherModel& model, SwitcherOpen open) -> std::unique_ptr<SwitcherPanel> {
        return std::make_unique<SwitcherFreePanel>(host, model, std::move(open),
                                                   [&workspace](std::int32_t pid) { return workspace.icon(pid); });
    };
}

void SwitcherFreePanel::show(const Rect& frame)
{
    const QRect pixels = pixelRect(frame);
    content_ = Rect(pixels.x(), pixels.y(), pixels.width(), pixels.height());
    const bool blends = host_.blends();
    // A key that keeps the panel's size and place changes only its content:
    // no new shape, mask or backdrop for the window system.
    if (!applied_ || applied_->first != pixels || applied_->second != blends) {
        applied_ = std::pair(pixels, blends);
        view_->setOpaque(!blends);
        auto* backdrop = backdrop_;
        if (blends) {
            const int m = shadowMargin();
            panel_->setFrame(Rect(pixels.x() - m, pixels.y() - m, pixels.width() + 2 * m, pixels.height() + 2 * m));
            view_->setGeometry(m, m, pixels.width(), pixels.height());
            backdrop->setGeometry(0, 0, pixels.width() + 2 * m, pixels.height() + 2 * m);
            backdrop->setContent(QRectF(view_->geometry()));
            backdrop->setVisible(true);
            panel_->clearMask();
        } else {
            // Nothing blends: no shadow, and the corners cut away.
            panel_->setFrame(*content_);
            view_->setGeometry(0, 0, pixels.width(), pixels.height());
            backdrop->setVisible(false);
            const QPainterPath shape = Shapes::continuousRoundedRect(QRectF(0, 0, pixels.width(), pixels.height()),
                                                                     SwitcherView::cornerRadius);
            panel_->setMask(QRegion(shape.toFillPolygon().toPolygon()));
        }
    }
    release_.cancel();
    view_->ensureLayout();
    panel_->orderFront();
}

void SwitcherFreePanel::orderOut()
{
    panel_->orderOut();
    // What the view lets go of goes after what the session ends with (the
    // window it brings forward); not when a new session shows it first.
    release_ = host_.scheduler().after(0, [this] {
        if (!panel_->isVisible())
            view_->release();
    });
}

void SwitcherFreePanel::prepare()
{
    panel_->winId();
    view_->setGeometry(0, 0, 480, 268);
    view_->ensureLayout();
    // A picture nobody sees loads the fonts and draws the glyphs once.
    (void)view_->grab();
}

bool SwitcherFreePanel::isShown() const
{
    return panel_->isVisible();
}

} // namespace kavelo
