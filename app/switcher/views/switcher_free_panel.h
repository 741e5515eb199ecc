#pragma once

// The switcher's panel on screen: a floating panel above ordinary windows
// that never activates the program or takes the keyboard and takes clicks,
// made once and reused. It holds the `SwitcherView` and draws the panel's
// own shadow around it where translucency is real; where it is not, the
// panel is cut to the view's rounded shape and drawn opaque.

#include "app/platform/handle.h"
#include "app/platform/system_workspace.h"
#include "app/switcher/switcher_panel.h"
#include "app/switcher/views/switcher_view.h"
#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"

#include <QRect>

#include <memory>
#include <utility>
#include <optional>

namespace kavelo {

class PanelShadow;

class SwitcherFreePanel : public SwitcherPanel {
public:
    static constexpr double shadowRadius = 18;
    static constexpr double shadowOffset = 6;     // downwards
    static constexpr double shadowOpacity = 0.45;

    SwitcherFreePanel(PanelHost& host, SwitcherModel& model, SwitcherOpen open, SwitcherPictures::IconSource icons);
    ~SwitcherFreePanel() override;

    // Panels made on the host, their icons from the workspace.
    static SwitcherPanelFactory factory(PanelHost& host, SystemWorkspace& workspace);

    void show(const Rect& frame) override;
    void orderOut() override;
    bool isShown() const override;
    void prepare() override;

    FreePanel& panel() { return *panel_; }
    SwitcherView& view() { return *view_; }
    // Where the view stands, top-left global; none before the first show.
    std::optional<Rect> contentFrame() const { return content_; }
    // Room around the view for the shadow, per side.
    static int shadowMargin();

private:
    PanelHost& host_;
    std::unique_ptr<FreePanel> panel_;
    PanelShadow* backdrop_ = nullptr;
    SwitcherView* view_ = nullptr;
    std::optional<Rect> content_;
    std::optional<std::pair<QRect, bool>> applied_;   // the pixels and blending last set up
    Handle release_;
};

} // namespace kavelo
