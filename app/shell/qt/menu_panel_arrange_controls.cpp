#include "app/shell/qt/menu_panel_arrange_controls.h"
#include "app/shell/qt/menu_panel_text.h"

#include "app/settings/plan_picture.h"
#include "app/shell/menu_panel.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"
#include "core/grid_plan.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace kavelo {

// --- ModeSwitch ---

namespace {

constexpr const char* modeTitles[] = {"Off", "Auto", "Strip"};

std::size_t indexOf(ArrangeMode mode)
{
    for (std::size_t i = 0; i < allArrangeModes.size(); ++i)
        if (allArrangeModes[i] == mode)
            return i;
    return 0;
}

const Spring modeSpring(0.16, 0.85);

} // namespace

ModeSwitch::ModeSwitch(AnimationTime time, std::function<void(ArrangeMode)> choose, QWidget* parent)
    : QWidget(parent), choose_(std::move(choose)), plate_(modeSpring, time, [this](double) { update(); })
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Arrange mode"));
}

void ModeSwitch::setMode(ArrangeMode mode, bool animated)
{
    mode_ = mode;
    const double target = double(indexOf(mode));
    if (animated)
        plate_.animate(target);
    else
        plate_.set(target);
    update();
}

QRectF ModeSwitch::segment(std::size_t index) const
{
    const double inner = width() - 2 * padding;
    const double each = (inner - spacing * double(allArrangeModes.size() - 1)) / double(allArrangeModes.size());
    return QRectF(padding + double(index) * (each + spacing), padding, each, height() - 2 * padding);
}

QSize ModeSwitch::sizeHint() const
{
    const QFont font = Fonts::system(fontSize, Fonts::Weight::semibold);
    return QSize(200, ceilInt(lineHeight(font) + 2 * verticalPadding + 2 * padding));
}

void ModeSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::primary(), fillOpacity));
    painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()), radius));

    // The plate slides between the segments.
    const QRectF first = segment(0);
    const double step = segment(1).left() - first.left();
    QRectF plate = first;
    plate.moveLeft(first.left() + plate_.value() * step);
    painter.setBrush(Theme::lit());
    painter.drawPath(Shapes::continuousRoundedRect(plate, plateRadius));

    for (std::size_t i = 0; i < allArrangeModes.size(); ++i) {
        const bool current = allArrangeModes[i] == mode_;
        painter.setFont(Fonts::system(fontSize, current ? Fonts::Weight::semibold : Fonts::Weight::medium));
        painter.setPen(current ? QColor(Qt::black) : Theme::primary());
        painter.drawText(segment(i), Qt::AlignCenter, QString::fromUtf8(modeTitles[i]));
    }
}

void ModeSwitch::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    for (std::size_t i = 0; i < allArrangeModes.size(); ++i)
        if (segment(i).contains(event->position()) && choose_)
            choose_(allArrangeModes[i]);
}

// --- LayoutPicker ---

LayoutPicker::LayoutPicker(std::function<void(TidyLayout)> choose, QWidget* parent)
    : QWidget(parent), choose_(std::move(choose))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Layout"));
}

void LayoutPicker::setState(bool active, std::optional<TidyLayout> selected)
{
    active_ = active;
    selected_ = selected;
    update();
}

QRectF LayoutPicker::button(std::size_t index) const
{
    const double count = double(allTidyLayouts.size());
    const double each = (width() - 2 * padding - spacing * (count - 1)) / count;
    return QRectF(padding + double(index) * (each + spacing), padding, each, height() - 2 * padding);
}

QSize LayoutPicker::sizeHint() const
{
    const double content = Symbols::extent(symbolSize) + 4 + lineHeight(Fonts::system(titleSize));
    return QSize(280, ceilInt(content + 2 * 6 + 2 * padding));
}

std::optional<std::size_t> LayoutPicker::buttonAt(QPointF point) const
{
    for (std::size_t i = 0; i < allTidyLayouts.size(); ++i)
        if (button(i).contains(point))
            return i;
    return std::nullopt;
}

bool LayoutPicker::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const auto i = buttonAt(help->pos())) {
            QToolTip::showText(help->globalPos(),
                               QString::fromUtf8(std::string(title(allTidyLayouts[*i])) + " layout"), this);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

void LayoutPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(active_ ? 1.0 : inactiveOpacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::primary(), 0.06));
    painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()), radius));

    const double extent = Symbols::extent(symbolSize);
    for (std::size_t i = 0; i < allTidyLayouts.size(); ++i) {
        const TidyLayout layout = allTidyLayouts[i];
        const bool chosen = selected_ == layout;
        const QRectF area = button(i);
        if (chosen) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Theme::lit());
            painter.drawPath(Shapes::continuousRoundedRect(area, buttonRadius));
        }
        const QColor ink = chosen ? QColor(Qt::black) : Theme::primary();
        const QFont font = Fonts::system(titleSize, chosen ? Fonts::Weight::semibold : Fonts::Weight::regular);
        const double content = extent + 4 + lineHeight(font);
        const double top = area.top() + (area.height() - content) / 2;
        Symbols::draw(painter, QRectF(area.center().x() - extent / 2, top, extent, extent), layoutIcon(layout),
                      symbolSize, ink);
        painter.setFont(font);
        painter.setPen(ink);
        const QString name = QString::fromUtf8(std::string(title(layout)));
        painter.drawText(QRectF(area.left(), top + extent + 4, area.width(), lineHeight(font)), Qt::AlignCenter,
                         QFontMetricsF(font).elidedText(name, Qt::ElideRight, area.width()));
    }
}

void LayoutPicker::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (const auto i = buttonAt(event->position()); i && choose_)
        choose_(allTidyLayouts[*i]);
}

// --- GridChoices ---

GridChoices::GridChoices(std::function<void(std::size_t)> choose, QWidget* parent)
    : QWidget(parent), choose_(std::move(choose))
{
    setAttribute(Qt::WA_TranslucentBackground);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(QStringLiteral("Grid presets"));
}

void GridChoices::setCurrent(std::vector<std::size_t> current)
{
    current_ = std::move(current);
    update();
}

namespace {

double cellHeight() { return GridChoices::pictureHeight + 2 * GridChoices::inset; }

std::size_t rowsOf(std::size_t count) { return (count + GridChoices::perRow - 1) / GridChoices::perRow; }

} // namespace

QRectF GridChoices::cell(std::size_t index) const
{
    const double each = (width() - spacing * (perRow - 1)) / perRow;
    const std::size_t row = index / perRow;
    const std::size_t column = index % perRow;
    return QRectF(double(column) * (each + spacing), double(row) * (cellHeight() + spacing), each, cellHeight());
}

int GridChoices::heightForWidth(int) const
{
    const double rows = double(rowsOf(GridPlan::presets().size()));
    return ceilInt(rows * cellHeight() + (rows - 1) * spacing);
}

QSize GridChoices::sizeHint() const { return QSize(260, heightForWidth(260)); }

std::optional<std::size_t> GridChoices::cellAt(QPointF point) const
{
    for (std::size_t i = 0; i < GridPlan::presets().size(); ++i)
        if (cell(i).contains(point))
            return i;
    return std::nullopt;
}

bool GridChoices::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const auto i = cellAt(help->pos())) {
            QToolTip::showText(help->globalPos(), QString::fromUtf8(GridPlan::presets()[*i].name), this);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

void GridChoices::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto& presets = GridPlan::presets();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const QRectF area = cell(i);
        PlanPicture::draw(painter, area.adjusted(inset, inset, -inset, -inset), presets[i].plan, false,
                          ColorScheme::dark);
        if (std::find(current_.begin(), current_.end(), i) != current_.end()) {
            painter.setPen(QPen(Theme::lit(), borderWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(Shapes::insetContinuousRoundedRect(area, radius, borderWidth / 2));
        }
    }
}

void GridChoices::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (const auto i = cellAt(event->position()); i && choose_)
        choose_(*i);
}

} // namespace kavelo
