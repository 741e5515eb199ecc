#pragma once

// The tab bars as Qt panels: one borderless panel at the helper level over
// the top of each tabbed column or shared tile, its row of tabs drawn by
// `TabRow`. The panels step aside while this program is the active
// application (its settings window in front) and come back when another
// one becomes active.
//
// Without blending (no compositing manager) the row is painted opaque and
// its rounded corners are cut with a mask.

#include "app/engine/panels.h"
#include "app/platform/handle.h"
#include "app/platform/system_workspace.h"
#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"

#include <QRectF>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace kavelo {

// One bar's row of tabs: equal shares of the width, the shown tab on the
// accent. A click on a tab (press and release on the same tab, as a button)
// calls `select` with its window.
class TabRow : public QWidget {
public:
    static constexpr double padding = 3;
    static constexpr double spacing = 3;
    static constexpr double cornerRadius = 11;
    static constexpr double tabRadius = 8;
    static constexpr double fontSize = 12;
    static constexpr double backgroundOpacity = 0.84;

    explicit TabRow(QWidget* parent = nullptr);

    void setBar(TabBars::Bar bar, TabBars::Select select);
    const TabBars::Bar& bar() const { return bar_; }
    // Paints every fill opaque (the window cannot blend).
    void setOpaque(bool opaque);
    bool isOpaque() const { return opaque_; }

    // The label of a tab: its title, or "Window" without one.
    QString label(WindowID id) const;
    // Each tab's rectangle in a row of `size`, in tab order; a row narrower
    // than its padding gives tabs of width 0.
    static std::vector<QRectF> tabRects(const QSizeF& size, std::size_t count);
    std::vector<QRectF> tabRects() const;
    // The tab under a point of the row, by index.
    std::optional<std::size_t> tabAt(const QPointF& point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TabBars::Bar bar_;
    TabBars::Select select_;
    bool opaque_ = false;
    std::optional<std::size_t> pressed_;
};

// The panel of one bar, its row filling it.
class TabBarWindow : public FreePanel {
public:
    explicit TabBarWindow(PanelHost& host);
    TabRow& row() const { return *row_; }
    // Shows `bar` over its frame; `blends` says whether translucency is real.
    void setBar(TabBars::Bar bar, TabBars::Select select, bool blends);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TabRow* row_;
};

class TabBarsPanel : public TabBars {
public:
    // `host` and `workspace` must outlive it.
    TabBarsPanel(PanelHost& host, SystemWorkspace& workspace);
    ~TabBarsPanel() override;

    void show(std::vector<Bar> bars, Select select) override;

    // The panels of the last show, in the order of the bars (some may be
    // ordered out while this program is active).
    const std::vector<std::unique_ptr<TabBarWindow>>& panels() const { return panels_; }
    // This program is the active application: the panels stay off screen.
    bool stepsAside() const { return ownActive_; }

private:
    void activated(const RunningApp& app);

    PanelHost& host_;
    SystemWorkspace& workspace_;
    std::vector<std::unique_ptr<TabBarWindow>> panels_;
    // Panels let go of while one of them may still be handling the click
    // that replaced it; freed once the event is over.
    std::vector<std::unique_ptr<TabBarWindow>> retired_;
    Handle sweep_;
    Handle activation_;
    bool ownActive_ = false;
};

} // namespace kavelo
