#include "app/settings/grid_builder.h"

#include "app/settings/plan_picture.h"
#include "app/ui/shapes.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace kavelo {

namespace {

struct Track {
    double start = 0;
    double end = 0;
};

// The tracks of one axis as `GridPlan::frames` lays them out: the frames of
// a single row of 1 × 1 cells with the same weights.
std::vector<Track> tracks(const std::optional<std::vector<double>>& weights, int count, double length)
{
    GridPlan line = GridPlan::even(count, 1);
    line.columnWeights = weights;
    std::vector<Track> out;
    for (const Rect& frame : line.frames(count, Rect(0, 0, length, 1), PlanPicture::numberedGap))
        out.push_back({frame.minX(), frame.maxX()});
    std::sort(out.begin(), out.end(), [](const Track& a, const Track& b) { return a.start < b.start; });
    return out;
}

// The track holding `at`: past the middle of a gap is the next one.
int trackAt(const std::vector<Track>& axis, double at)
{
    int index = 0;
    for (std::size_t i = 0; i + 1 < axis.size(); ++i)
        if (at >= (axis[i].end + axis[i + 1].start) / 2)
            index = int(i + 1);
    return index;
}

bool usableArea(QSizeF in)
{
    return std::isfinite(in.width()) && std::isfinite(in.height()) && in.width() > 0 && in.height() > 0;
}

} // namespace

GridBuilder::GridBuilder(GridPlan plan, std::function<void(GridPlan)> change, ColorScheme scheme, QWidget* parent)
    : QWidget(parent), plan_(std::move(plan)), change_(std::move(change)), scheme_(scheme)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(areaHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
}

void GridBuilder::setPlan(GridPlan plan)
{
    if (plan.columns != plan_.columns || plan.rows != plan_.rows)
        cancelDrag();
    plan_ = std::move(plan);
    update();
}

std::optional<GridPosition> GridBuilder::cell(QPointF at, QSizeF in) const
{
    if (!plan_.isValid() || !usableArea(in) || !std::isfinite(at.x()) || !std::isfinite(at.y()))
        return std::nullopt;
    // Columns run along x, rows along y; `tracks` lays both out as columns.
    return GridPosition{trackAt(tracks(plan_.columnWeights, plan_.columns, in.width()), at.x()),
                        trackAt(tracks(plan_.rowWeights, plan_.rows, in.height()), at.y())};
}

QRectF GridBuilder::selection(GridPosition a, GridPosition b, QSizeF in) const
{
    if (!plan_.isValid() || !usableArea(in))
        return {};
    const auto xs = tracks(plan_.columnWeights, plan_.columns, in.width());
    const auto ys = tracks(plan_.rowWeights, plan_.rows, in.height());
    const auto clamp = [](int i, const std::vector<Track>& axis) { return std::clamp<int>(i, 0, int(axis.size()) - 1); };
    const int c0 = clamp(std::min(a.column, b.column), xs), c1 = clamp(std::max(a.column, b.column), xs);
    const int r0 = clamp(std::min(a.row, b.row), ys), r1 = clamp(std::max(a.row, b.row), ys);
    return QRectF(QPointF(xs[c0].start, ys[r0].start), QPointF(xs[c1].end, ys[r1].end));
}

void GridBuilder::cancelDrag()
{
    start_.reset();
    end_.reset();
    update();
}

void GridBuilder::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PlanPicture::draw(painter, QRectF(rect()), plan_, true, scheme_);
    if (!start_ || !end_)
        return;
    const QRectF outline = selection(*start_, *end_, QSizeF(size()));
    if (outline.isEmpty())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::lit(), outlineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(Shapes::insetContinuousRoundedRect(outline, outlineRadius, outlineWidth / 2));
}

void GridBuilder::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    // A click is a drag of length zero: it starts and ends in one cell.
    start_ = end_ = cell(event->position(), QSizeF(size()));
    update();
}

void GridBuilder::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (!start_)
        return;
    const auto here = cell(event->position(), QSizeF(size()));
    // No cell under the pointer (the area collapsed): the gesture is off.
    if (!here) {
        cancelDrag();
        return;
    }
    end_ = here;
    update();
}

void GridBuilder::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (start_) {
        if (const auto here = cell(event->position(), QSizeF(size())))
            end_ = here;
        else
            end_.reset();
    }
    const auto from = std::exchange(start_, std::nullopt);
    const auto to = std::exchange(end_, std::nullopt);
    update();
    if (!from || !to)
        return;
    GridPlan edited = plan_;
    if (*from == *to)
        edited.split(from->column, from->row);
    else
        edited.merge(*from, *to);
    if (change_)
        change_(std::move(edited));
}

} // namespace kavelo
