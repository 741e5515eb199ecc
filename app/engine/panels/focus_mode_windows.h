#pragma once

// The panels of Clean Space and No peek as Qt windows on `FreePanel`:
// - a curtain is an opaque dark panel at the normal window level, a managed
//   window without decorations or focus that skips the task bar and the
//   pager, stood directly below the focused window; where the window server
//   blends, its window reaches a little past its inner edge for the shadow
//   it casts there;
// - a shade band is a click-through panel at the shade level, black at the
//   darkness. With blur on, the kit's flat glass tint lies under the black
//   (there is no live blur). Where the window server cannot blend (no
//   compositing manager), a band is opaque black, and hidden while it would
//   show nothing.
// On a real display a band, and a curtain without its shadow, is its native
// window's background, which the server fills.

#include "app/engine/focus_mode_panels.h"
#include "app/ui/free_panel.h"
#include "app/ui/glass.h"
#include "app/ui/panel_host.h"

#include <QColor>

namespace kavelo {

class CurtainWindow : public FreePanel {
public:
    // The shadow past the inner edge: this wide, black at this opacity
    // there, fading to nothing.
    static constexpr double shadowWidth = 14;
    static constexpr double shadowOpacity = 0.45;

    CurtainWindow(PanelHost& host, bool onLeft);

    // The curtain itself (top-left space of window frames); the window
    // takes the shadow's room too.
    void setCurtainFrame(const Rect& frame);
    Rect curtainFrame() const { return curtain_; }
    bool onLeft() const { return onLeft_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    double shadow() const;

    bool onLeft_;
    Rect curtain_;
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
    void showEvent(QShowEvent* event) override;

private:
    void showOrHide();
    bool blends() const;
    void fillByServer();

    QWidget* dark_;
    GlassBackground* glass_ = nullptr;
    double darkness_ = 0;
    bool wanted_ = false;
};

// Makes the Qt panels for the focus modes on one host.
class FocusModeWindows : public FocusModePanels {
public:
    explicit FocusModeWindows(PanelHost& host) : host_(host) {}

    std::unique_ptr<CurtainPanel> makeCurtain(bool onLeft) override;
    std::unique_ptr<ShadeBand> makeShadeBand() override;
    std::optional<Rect> ownTitledKeyWindow() const override;

private:
    PanelHost& host_;
};

} // namespace kavelo
