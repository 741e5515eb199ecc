#pragma once

// The settings window's sidebar: the application's icon and name, then one
// row per page with its coloured tile, on sidebar glass. The highlight
// behind the selected row springs to a newly chosen one. One widget paints
// it all and finds the row under a click.

#include "app/settings/settings_tab.h"
#include "app/ui/glass.h"
#include "app/ui/spring.h"

#include <QIcon>
#include <QRectF>

#include <functional>

namespace kavelo {

class SettingsSidebar : public GlassBackground {
public:
    // `icon` may be null: the header then keeps the icon's place empty. It
    // is drawn at the scale the sidebar is painted at.
    SettingsSidebar(QIcon icon, SettingsTab tab, AnimationTime time, QWidget* parent = nullptr);

    SettingsTab tab() const { return tab_; }
    // Selects a page, springing the highlight there; tells `onSelect` when
    // the page changed.
    void select(SettingsTab tab);
    std::function<void(SettingsTab)> onSelect;

    // Where the highlight stands, in rows from the first (fractions while
    // it moves).
    double highlightPosition() const { return highlight_.value(); }
    bool isAnimating() const { return highlight_.isAnimating(); }

    QRectF rowRect(SettingsTab tab) const;
    QRectF rowRect(double position) const;
    QRectF tileRect(SettingsTab tab) const;
    QRectF iconRect() const;
    const QIcon& icon() const { return icon_; }

    static const Spring spring;
    static constexpr int width = 208;
    static constexpr double padding = 10;
    static constexpr double headerTop = 34;
    static constexpr double headerBottom = 16;
    static constexpr double headerPadding = 10;
    static constexpr double iconSide = 28;
    static constexpr double headerSpacing = 9;
    static constexpr double nameSize = 15;
    static constexpr double stackSpacing = 3;
    static constexpr double rowPaddingH = 8;
    static constexpr double rowPaddingV = 6;
    static constexpr double rowSpacing = 10;
    static constexpr double tileSide = 24;
    static constexpr double tileRadius = 6.5;
    static constexpr double symbolSize = 11;
    static constexpr double titleSize = 13.5;
    static constexpr double highlightRadius = 9;
    static constexpr double highlightOpacity = 0.09;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<SettingsTab> tabAt(QPointF point) const;
    double rowHeight() const;

    QIcon icon_;
    SettingsTab tab_;
    std::optional<SettingsTab> pressed_;
    SpringAnimation highlight_;
};

} // namespace kavelo
