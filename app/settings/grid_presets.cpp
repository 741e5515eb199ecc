#include "app/settings/grid_presets.h"

#include "app/settings/plan_picture.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace kavelo {

namespace {

QFont nameFont()
{
    return Fonts::system(GridPresets::nameSize);
}

int presetCount()
{
    return int(GridPlan::presets().size());
}

int rowCount()
{
    return (presetCount() + GridPresets::perRow - 1) / GridPresets::perRow;
}

} // namespace

GridPresets::GridPresets(std::function<void(const GridPlan&)> choose, ColorScheme scheme, QWidget* parent)
    : QWidget(parent), choose_(std::move(choose)), scheme_(scheme)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
}

void GridPresets::setCurrent(const GridPlan& plan)
{
    if (plan.cells == current_)
        return;
    current_ = plan.cells;
    update();
}

std::vector<int> GridPresets::outlined() const
{
    std::vector<int> out;
    for (int i = 0; i < presetCount(); ++i)
        if (GridPlan::presets()[std::size_t(i)].plan.cells == current_)
            out.push_back(i);
    return out;
}

double GridPresets::tileHeight() const
{
    return padding + pictureHeight + nameSpacing + std::ceil(QFontMetricsF(nameFont()).height()) + padding;
}

QRectF GridPresets::tileRect(int index) const
{
    const double column = std::max(minimumColumn, (width() - (perRow - 1) * spacing) / perRow);
    const int row = index / perRow, at = index % perRow;
    return QRectF(at * (column + spacing), row * (tileHeight() + spacing), column, tileHeight());
}

QRectF GridPresets::pictureRect(int index) const
{
    const QRectF tile = tileRect(index);
    return QRectF(tile.left() + padding, tile.top() + padding, tile.width() - 2 * padding, pictureHeight);
}

QSize GridPresets::sizeHint() const
{
    const double h = rowCount() * tileHeight() + (rowCount() - 1) * spacing;
    return QSize(int(std::ceil(perRow * 80 + (perRow - 1) * spacing)), int(std::ceil(h)));
}

QSize GridPresets::minimumSizeHint() const
{
    return QSize(int(perRow * minimumColumn + (perRow - 1) * spacing), sizeHint().height());
}

std::optional<int> GridPresets::tileAt(QPointF point) const
{
    for (int i = 0; i < presetCount(); ++i)
        if (tileRect(i).contains(point))
            return i;
    return std::nullopt;
}

void GridPresets::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor secondary = Theme::secondary(scheme_);
    for (int i = 0; i < presetCount(); ++i) {
        const NamedGridPlan& preset = GridPlan::presets()[std::size_t(i)];
        const QRectF picture = pictureRect(i);
        PlanPicture::draw(painter, picture, preset.plan, false, scheme_);

        painter.setFont(nameFont());
        painter.setPen(secondary);
        const QRectF name(tileRect(i).left(), picture.bottom() + nameSpacing, tileRect(i).width(),
                          std::ceil(QFontMetricsF(nameFont()).height()));
        painter.drawText(name, Qt::AlignHCenter | Qt::AlignTop,
                         QFontMetricsF(nameFont()).elidedText(QString::fromStdString(preset.name), Qt::ElideRight,
                                                              name.width()));

        if (preset.plan.cells == current_) {
            painter.setPen(QPen(Theme::lit(), borderWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(Shapes::insetContinuousRoundedRect(tileRect(i), cornerRadius, borderWidth / 2));
        }
    }
}

void GridPresets::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton ? tileAt(event->position()) : std::nullopt;
    event->accept();
}

void GridPresets::mouseReleaseEvent(QMouseEvent* event)
{
    const auto pressed = std::exchange(pressed_, std::nullopt);
    event->accept();
    if (event->button() == Qt::LeftButton && pressed && tileAt(event->position()) == pressed && choose_)
        choose_(GridPlan::presets()[std::size_t(*pressed)].plan);
}

} // namespace kavelo
