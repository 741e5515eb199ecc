#pragma once

// The overview's full-screen panel: a floating panel at the overlay level
// holding `OverviewView`, which never activates the program or takes the
// input focus. While open it holds the keyboard instead, so typing reaches
// its search field and the front window keeps its focus. Made once and
// reused.

#include "app/platform/keyboard.h"
#include "app/services/desktop.h"
#include "app/switcher/overview_controller.h"
#include "app/switcher/overview_panel.h"
#include "app/switcher/views/overview_keys.h"
#include "app/switcher/views/overview_view.h"
#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"

#include <memory>

namespace kavelo {

class OverviewKeyPanel : public OverviewPanel {
public:
    OverviewKeyPanel(PanelHost& host, const Keyboard& keyboard, OverviewModel& model, OverviewActions actions);
    ~OverviewKeyPanel() override;

    // The panels of a controller: its view's actions call the controller,
    // the pointer and the icons come from the platform.
    static OverviewController::PanelFactory factory(PanelHost& host, const Platform& platform);

    FreePanel& panel() { return *panel_; }
    OverviewView& view() { return *view_; }
    bool holdsKeyboard() const { return holding_; }
    // Closed, the panel parks out of sight rather than hides: on a real
    // display, where that makes the next opening a move (and offscreen, for
    // tests of it).
    void setParks(bool on) { parks_ = on; }

    bool holdKeyboard() override;
    void releaseKeyboard() override;
    void present(const Rect& frame, double opacity) override;
    void setOpacity(double opacity) override;
    void orderOut() override;
    void paintAhead() override;
    bool isVisible() const override;
    Handle monitorKeys(KeyHandler handler) override;

private:
    PanelHost& host_;
    std::unique_ptr<FreePanel> panel_;
    OverviewView* view_;
    OverviewKeyMonitor* monitor_;
    bool holding_ = false;
    bool presented_ = false;
    bool caretShown_ = false;
    bool parks_ = onRealDisplay();
    std::shared_ptr<int> monitorToken_;
};

} // namespace kavelo
