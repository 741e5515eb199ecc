#include "app/engine/panels/tab_bars_panel.h"

#include "app/ui/fonts.h"
#include "app/ui/glass.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>

namespace kavelo {

namespace {

// Night over the HUD glass, as the row's background shows it.
void paintBackground(QPainter& painter, const QPainterPath& shape, bool opaque)
{
    QColor glass = opaque ? Theme::renderingGlass() : Glass::tint(GlassMaterial::hudWindow);
    if (opaque)
        glass.setAlphaF(1);
    painter.fillPath(shape, glass);
    painter.fillPath(shape, Theme::withOpacity(Theme::night(), TabRow::backgroundOpacity));
}

} // namespace

// ---------------------------------------------------------------- TabRow

TabRow::TabRow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tabRow"));
    setAttribute(Qt::WA_TranslucentBackground);
}

void TabRow::setBar(TabBars::Bar bar, TabBars::Select select)
{
    bar_ = std::move(bar);
    select_ = std::move(select);
    pressed_.reset();
    update();
}

void TabRow::setOpaque(bool opaque)
{
    if (opaque == opaque_)
        return;
    opaque_ = opaque;
    update();
}

QString TabRow::label(WindowID id) const
{
    auto title = bar_.titles.find(id);
    return title == bar_.titles.end() ? QStringLiteral("Window") : QString::fromStdString(title->second);
}

std::vector<QRectF> TabRow::tabRects(const QSizeF& size, std::size_t count)
{
    std::vector<QRectF> out;
    if (count == 0)
        return out;
    const double inner = size.width() - 2 * padding - spacing * double(count - 1);
    const double width = std::max(0.0, inner / double(count));
    const double height = std::max(0.0, size.height() - 2 * padding);
    for (std::size_t i = 0; i < count; ++i)
        out.emplace_back(padding + double(i) * (width + spacing), padding, width, height);
    return out;
}

std::vector<QRectF> TabRow::tabRects() const
{
    return tabRects(QSizeF(size()), bar_.bar.ids.size());
}

std::optional<std::size_t> TabRow::tabAt(const QPointF& point) const
{
    const auto rects = tabRects();
    for (std::size_t i = 0; i < rects.size(); ++i)
        if (rects[i].contains(point))
            return i;
    return std::nullopt;
}

void TabRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF bounds(rect());
    QPainterPath background;
    // Unblended, the panel's mask cuts the corners.
    if (opaque_)
        background.addRect(bounds);
    else
        background = Shapes::continuousRoundedRect(bounds, cornerRadius);
    paintBackground(painter, background, opaque_);

    const auto rects = tabRects();
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const WindowID id = bar_.bar.ids[i];
        const bool active = id == bar_.bar.active;
        const QRectF& tab = rects[i];
        if (active)
            painter.fillPath(Shapes::continuousRoundedRect(tab, tabRadius), Theme::lit());
        const QFont font = Fonts::windowText(fontSize, active ? Fonts::Weight::semibold : Fonts::Weight::medium);
        painter.setFont(font);
        painter.setPen(active ? QColor(Qt::black) : Theme::moon());
        const QString text = QFontMetricsF(font).elidedText(label(id), Qt::ElideRight, tab.width());
        painter.drawText(tab, Qt::AlignCenter | Qt::TextSingleLine, text);
    }
}

void TabRow::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton ? tabAt(event->position()) : std::nullopt;
    event->accept();
}

void TabRow::mouseReleaseEvent(QMouseEvent* event)
{
    const auto pressed = pressed_;
    pressed_.reset();
    event->accept();
    if (event->button() != Qt::LeftButton || !pressed || tabAt(event->position()) != pressed)
        return;
    // The call may replace this row's bar (and the panels); take what it
    // needs first.
    const WindowID id = bar_.bar.ids[*pressed];
    if (auto select = select_)
        select(id);
}

// ---------------------------------------------------------------- TabBarWindow

TabBarWindow::TabBarWindow(PanelHost& host) : FreePanel(host, PanelLevel::helper), row_(new TabRow(this))
{
    setObjectName(QStringLiteral("tabBar"));
}

void TabBarWindow::setBar(TabBars::Bar bar, TabBars::Select select, bool blends)
{
    const Rect frame = bar.bar.frame;
    row_->setBar(std::move(bar), std::move(select));
    row_->setOpaque(!blends);
    setFrame(frame);
    row_->setGeometry(rect());
    if (blends) {
        clearMask();
    } else {
        const QPainterPath shape = Shapes::continuousRoundedRect(QRectF(rect()), TabRow::cornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

void TabBarWindow::resizeEvent(QResizeEvent* event)
{
    FreePanel::resizeEvent(event);
    row_->setGeometry(rect());
}

// ---------------------------------------------------------------- TabBarsPanel

TabBarsPanel::TabBarsPanel(PanelHost& host, SystemWorkspace& workspace) : host_(host), workspace_(workspace)
{
    const auto front = workspace.frontmostApp();
    ownActive_ = front && front->pid == workspace.ownPid();
    activation_ = workspace.onActivation([this](const RunningApp& app) { activated(app); });
}

TabBarsPanel::~TabBarsPanel() = default;

void TabBarsPanel::show(std::vector<Bar> bars, Select select)
{
    // What the user sees is a new set of panels every time; the native
    // windows behind them are kept where the count allows.
    while (panels_.size() > bars.size()) {
        panels_.back()->orderOut();
        retired_.push_back(std::move(panels_.back()));
        panels_.pop_back();
    }
    if (!retired_.empty() && !sweep_.pending())
        sweep_ = host_.scheduler().after(0.0, [this] { retired_.clear(); });

    const bool blends = host_.blends();
    for (std::size_t i = 0; i < bars.size(); ++i) {
        if (i == panels_.size())
            panels_.push_back(std::make_unique<TabBarWindow>(host_));
        TabBarWindow& panel = *panels_[i];
        panel.setBar(std::move(bars[i]), select, blends);
        if (ownActive_)
            panel.orderOut();
        else
            panel.orderFront();
    }
}

void TabBarsPanel::activated(const RunningApp& app)
{
    ownActive_ = app.pid == workspace_.ownPid();
    for (auto& panel : panels_) {
        if (ownActive_)
            panel->orderOut();
        else
            panel->orderFront();
    }
}

} // namespace kavelo
