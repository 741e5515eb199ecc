#pragma once

// No peek: while the switch is on, every screen is covered by a
// click-through shade that darkens (and, when asked, dims further with a
// glass tint) everything but a clear hole over the focused window. The hole
// follows the window 30 times a second.
//
// The shell makes one and calls `start()` at launch; its command and menu
// switch flip `Preferences::noPeekOn`; the look comes from the stored
// `noPeekDarkness` and `noPeekBlur`.

#include "app/engine/focus_mode_panels.h"
#include "app/engine/no_peek_shade.h"
#include "app/platform/handle.h"
#include "app/services/desktop.h"
#include "app/services/working_app.h"
#include "core/geometry.h"

#include <memory>
#include <optional>
#include <vector>

namespace kavelo {

class NoPeek {
public:
    static constexpr double tick = 1.0 / 30;
    static constexpr double defaultDarkness = 0.75;

    NoPeek(const Desktop& desktop, WorkingApp& workingApp, FocusModePanels& panels);
    ~NoPeek();
    NoPeek(const NoPeek&) = delete;
    NoPeek& operator=(const NoPeek&) = delete;

    // Idempotent: starts the working-application tracking and the tick.
    void start();
    bool isStarted() const { return timer_.pending(); }

    // One refresh: shows, lays out or hides the shades.
    void update();

    bool isShown() const { return shown_; }
    // One per screen, in the order of the display list.
    const std::vector<std::unique_ptr<ShadeView>>& shades() const { return shades_; }

    // The stored darkness made safe: within 0 to 1, and the default when it
    // is not a number at all (the defaults file is the user's to edit).
    static double darkness(double stored);

private:
    void rebuild(std::size_t count);
    std::optional<Rect> focusedFrame() const;

    Desktop desktop_;
    WorkingApp& workingApp_;
    FocusModePanels& panels_;
    Handle timer_;
    std::vector<std::unique_ptr<ShadeView>> shades_;
    bool shown_ = false;
};

} // namespace kavelo
