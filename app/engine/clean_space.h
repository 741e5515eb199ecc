#pragma once

// Clean Space: while the switch is on, the focused window fills the usable
// area of its screen, raised, and two dark curtains close in from the
// screen's edges to meet in the middle just behind it; arranging pauses.
// The mode ends as soon as another window has the focus or the switch goes
// off: the window gets its old frame back and the curtains open again.
//
// The shell makes one, assigns `pauseArranging`, calls `start()` at launch
// and `end()` at quit; its command and menu switch flip
// `Preferences::cleanSpaceOn`.

#include "app/engine/clean_space_curtains.h"
#include "app/engine/focus_mode_panels.h"
#include "app/platform/displays.h"
#include "app/platform/element.h"
#include "app/platform/handle.h"
#include "app/services/desktop.h"
#include "app/services/working_app.h"
#include "core/geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kavelo {

class CleanSpace {
public:
    static constexpr double tick = 0.1;
    // How long entering pauses arranging: a day, or until the mode ends.
    static constexpr double pause = 86400;

    CleanSpace(const Desktop& desktop, WorkingApp& workingApp, FocusModePanels& panels);
    ~CleanSpace();
    CleanSpace(const CleanSpace&) = delete;
    CleanSpace& operator=(const CleanSpace&) = delete;

    // Pauses automatic arranging for that many seconds; 0 ends this pause.
    // Does nothing until the shell sets it.
    std::function<void(double seconds)> pauseArranging;

    // Idempotent: starts the working-application tracking and the tick.
    void start();
    bool isStarted() const { return timer_.pending(); }

    // At quit: the window gets its frame back and the curtains go at once;
    // arranging stays paused.
    void end();

    // One check: enters when the switch is on, leaves when it is off or the
    // focus moved to another window.
    void update();

    struct Focused {
        WindowID id = 0;
        ElementRef element;
    };
    // The focused window of the working application, unless that is this
    // program.
    std::optional<Focused> focused() const;

    struct Active {
        WindowID id = 0;
        ElementRef element;
        Rect was;   // its frame before the mode
    };
    const std::optional<Active>& active() const { return active_; }
    // The screen of the mode; kept after it ends.
    const std::optional<Screen>& screen() const { return screen_; }
    // The curtains of the mode (closed or closing), left then right.
    const CurtainGroup* curtains() const { return curtains_.get(); }
    // Curtains of ended modes still opening.
    std::size_t openingCount() const { return opening_.size(); }

private:
    bool enter();
    void exit();
    void pauseFor(double seconds);

    Desktop desktop_;
    WorkingApp& workingApp_;
    FocusModePanels& panels_;
    Handle timer_;
    std::optional<Active> active_;
    std::optional<Screen> screen_;
    std::unique_ptr<CurtainGroup> curtains_;
    std::vector<std::unique_ptr<CurtainGroup>> opening_;
};

} // namespace kavelo
