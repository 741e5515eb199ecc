#include "app/settings/settings_sidebar.h"

#include "app/settings/settings_style.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kavelo {

const Spring SettingsSidebar::spring{0.16, 0.85};

namespace {

int indexOf(SettingsTab tab)
{
    return int(std::find(allSettingsTabs.begin(), allSettingsTabs.end(), tab) - allSettingsTabs.begin());
}

QFont titleFont(bool selected)
{
    return Fonts::system(SettingsSidebar::titleSize, selected ? Fonts::Weight::semibold : Fonts::Weight::medium);
}

} // namespace

SettingsSidebar::SettingsSidebar(QIcon icon, SettingsTab tab, AnimationTime time, QWidget* parent)
    : GlassBackground(GlassMaterial::sidebar, parent),
      icon_(std::move(icon)),
      tab_(tab),
      highlight_(spring, time, [this](double) { update(); }, indexOf(tab))
{
    setFixedWidth(width);
    setCursor(Qt::ArrowCursor);
}

void SettingsSidebar::select(SettingsTab tab)
{
    if (tab == tab_)
        return;
    tab_ = tab;
    highlight_.animate(indexOf(tab));
    update();
    if (onSelect)
        onSelect(tab);
}

double SettingsSidebar::rowHeight() const
{
    const double text = QFontMetricsF(titleFont(true)).height();
    return std::max(tileSide, std::ceil(text)) + 2 * rowPaddingV;
}

QRectF SettingsSidebar::iconRect() const
{
    return QRectF(padding + headerPadding, headerTop, iconSide, iconSide);
}

QRectF SettingsSidebar::rowRect(double position) const
{
    const double top = headerTop + iconSide + headerBottom + stackSpacing;
    return QRectF(padding, top + position * (rowHeight() + stackSpacing), width - 2 * padding, rowHeight());
}

QRectF SettingsSidebar::rowRect(SettingsTab tab) const
{
    return rowRect(double(indexOf(tab)));
}

QRectF SettingsSidebar::tileRect(SettingsTab tab) const
{
    const QRectF row = rowRect(tab);
    return QRectF(row.left() + rowPaddingH, row.center().y() - tileSide / 2, tileSide, tileSide);
}

std::optional<SettingsTab> SettingsSidebar::tabAt(QPointF point) const
{
    for (SettingsTab tab : allSettingsTabs)
        if (rowRect(tab).contains(point))
            return tab;
    return std::nullopt;
}

void SettingsSidebar::paintEvent(QPaintEvent* event)
{
    GlassBackground::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QRectF icon = iconRect();
    if (!icon_.isNull())
        icon_.paint(&painter, icon.toRect());
    painter.setFont(Fonts::system(nameSize, Fonts::Weight::bold));
    painter.setPen(Theme::primary());
    painter.drawText(QRectF(icon.right() + headerSpacing, icon.top(), width, icon.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kavelo"));

    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::primary(), highlightOpacity));
    painter.drawPath(Shapes::continuousRoundedRect(rowRect(highlight_.value()), highlightRadius));

    for (SettingsTab tab : allSettingsTabs) {
        const QRectF tile = tileRect(tab);
        painter.setPen(Qt::NoPen);
        painter.setBrush(SettingsStyle::tileFill(tileColor(tab)));
        painter.drawPath(Shapes::continuousRoundedRect(tile, tileRadius));
        Symbols::draw(painter, tile, symbol(tab), symbolSize, SettingsStyle::symbolFill(symbolColor(tab)));

        const QRectF row = rowRect(tab);
        const double textLeft = tile.right() + rowSpacing;
        painter.setFont(titleFont(tab == tab_));
        painter.setPen(Theme::primary());
        painter.drawText(QRectF(textLeft, row.top(), row.right() - rowPaddingH - textLeft, row.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(title(tab)));
    }
}

void SettingsSidebar::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton ? tabAt(event->position()) : std::nullopt;
    event->accept();
}

void SettingsSidebar::mouseReleaseEvent(QMouseEvent* event)
{
    // A press counts when it ends on the row it began on.
    const auto pressed = std::exchange(pressed_, std::nullopt);
    if (event->button() == Qt::LeftButton && pressed && tabAt(event->position()) == pressed)
        select(*pressed);
    event->accept();
}

} // namespace kavelo
