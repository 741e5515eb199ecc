#pragma once

// The panels of Clean Space and No peek as Qt windows on `FreePanel`:
// - a curtain is an opaque dark panel at the normal window level, a managed
//   window without decorations or focus that skips the task bar and the
//   pager, stood directly below the focused window;
// - a shade band is a click-through panel at the shade level, black at the
//   darkness. With blur on, the kit's flat glass tint lies under the black
//   (there is no live blur). Where the window server cannot blend (no
//   compositing manager), a band is opaque black, and hidden while it would
//   show nothing.

#include "app/engine/focus_mode_panels.h"
#include "app/ui/free_panel.h"
#include "app/ui/glass.h"
#include "app/ui/panel_host.h"

#include <QColor>

namespace kavelo {

class CurtainWindow : public FreePanel {
public:
    explicit CurtainWindow(PanelHost& host);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

class ShadeBandWindow : public FreePanel {
public:
    explicit ShadeBandWindow(PanelHost& host);

    void setLook(double darkness, bool blur);
    // Wanted on screen; it shows while it has something to show.
    void setShown(bool shown);

    double darkness() const { return darkness_; }
    bool blur() const { return glass_ != nullptr; }
    bool isWanted() const { return wanted_; }
    // The black over everything, as painted.
    QColor darkColor() const;
    // The glass tint under the black while blur is on; null otherwise.
    GlassBackground* glass() const { return glass_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showOrHide();
    bool blends() const;

    QWidget* dark_;
    GlassBackground* glass_ = nullptr;
    double darkness_ = 0;
    bool wanted_ = false;
};

// Makes the Qt panels for the focus modes on one host.
class FocusModeWindows : public FocusModePanels {
public:
    explicit FocusModeWindows(PanelHost& host) : host_(host) {}

    std::unique_ptr<CurtainPanel> makeCurtain() override;
    std::unique_ptr<ShadeBand> makeShadeBand() override;
    std::optional<Rect> ownTitledKeyWindow() const override;

private:
    PanelHost& host_;
};

} // namespace kavelo
