#include "app/settings/plan_picture.h"

#include "app/ui/fonts.h"
#include "app/ui/shapes.h"

#include <QPainter>

#include <cmath>

namespace kavelo {

PlanPicture::PlanPicture(GridPlan plan, bool numbered, ColorScheme scheme, QWidget* parent)
    : QWidget(parent), plan_(std::move(plan)), numbered_(numbered), scheme_(scheme)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void PlanPicture::setPlan(GridPlan plan)
{
    if (plan == plan_)
        return;
    plan_ = std::move(plan);
    update();
}

std::vector<QRectF> PlanPicture::tiles(const GridPlan& plan, QSizeF size, bool numbered)
{
    if (!plan.isValid() || !std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() <= 0 ||
        size.height() <= 0)
        return {};
    const double gap = numbered ? numberedGap : smallGap;
    std::vector<QRectF> out;
    for (const Rect& frame : plan.frames(int(plan.cells.size()), Rect(0, 0, size.width(), size.height()), gap))
        out.emplace_back(frame.minX(), frame.minY(), frame.width(), frame.height());
    return out;
}

void PlanPicture::draw(QPainter& painter, const QRectF& area, const GridPlan& plan, bool numbered, ColorScheme scheme)
{
    const std::vector<QRectF> rects = tiles(plan, area.size(), numbered);
    if (rects.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.topLeft());
    const double radius = numbered ? numberedRadius : smallRadius;
    const QColor main = Theme::withOpacity(Theme::lit(), mainOpacity);
    const QColor other = Theme::withOpacity(Theme::primary(scheme), otherOpacity);
    painter.setFont(Fonts::system(numberSize, Fonts::Weight::semibold));
    for (std::size_t i = 0; i < rects.size(); ++i) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(i == 0 ? main : other);
        painter.drawPath(Shapes::continuousRoundedRect(rects[i], radius));
        if (numbered) {
            painter.setPen(i == 0 ? QColor(Qt::black) : Theme::primary(scheme));
            painter.drawText(rects[i], Qt::AlignCenter, QString::number(i + 1));
        }
    }
    painter.restore();
}

void PlanPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw(painter, QRectF(rect()), plan_, numbered_, scheme_);
}

} // namespace kavelo
