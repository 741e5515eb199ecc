#pragma once

// One screen's shade of No peek: four bands around a clear hole (top,
// bottom, left, right), each its own click-through panel, so that
// everything but the hole is covered without any transparency in the hole.

#include "app/engine/focus_mode_panels.h"
#include "core/geometry.h"

#include <array>
#include <memory>
#include <optional>

namespace kavelo {

class ShadeView {
public:
    enum Band { top, bottom, left, right };

    // Makes its four bands, laid out for no hole once `apply` first runs.
    explicit ShadeView(FocusModePanels& panels);

    // The screen covered, in the top-left global space.
    const Rect& frame() const { return frame_; }
    // Moves the bands with the screen; the next `apply` lays them out anew.
    void setFrame(const Rect& frame);

    // Lays the bands out around `hole` (in the screen's own top-left
    // coordinates) with their look; nothing at all when called again with
    // the same arguments and the same frame.
    void apply(const std::optional<Rect>& hole, double darkness, bool blur);

    void orderFront();
    void orderOut();
    bool isShown() const { return shown_; }

    // The bands in the screen's own coordinates for a screen of `bounds`:
    // the part of the hole on the screen, or when none is, an empty hole at
    // the origin, so the bottom band covers the whole screen.
    static std::array<Rect, 4> bands(Size bounds, const std::optional<Rect>& hole);

    // What the bands show now (global frames; empty ones are hidden).
    const std::array<Rect, 4>& bandFrames() const { return bandFrames_; }

private:
    struct Applied {
        std::optional<Rect> hole;
        double darkness = 0;
        bool blur = false;
        friend bool operator==(const Applied&, const Applied&) = default;
    };
    void showBands();

    std::array<std::unique_ptr<ShadeBand>, 4> darks_;
    Rect frame_;
    std::optional<Applied> last_;
    std::array<Rect, 4> bandFrames_{};
    std::array<bool, 4> bandShown_{};
    bool shown_ = false;
};

} // namespace kavelo
