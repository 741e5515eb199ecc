#pragma once

// The switcher's floating panel as the controller sees it: shown at a frame
// without activating the program or taking the keyboard, and ordered out.
// The views behind it draw the model and report clicks through `open`.

#include "core/geometry.h"
#include "core/window_entry.h"

#include <functional>
#include <memory>

namespace kavelo {

class SwitcherModel;

class SwitcherPanel {
public:
    virtual ~SwitcherPanel() = default;
    // Top-left-origin global frame; lays the content out for the model as
    // it is now and orders the panel in front.
    virtual void show(const Rect& frame) = 0;
    virtual void orderOut() = 0;
    virtual bool isShown() const = 0;
    // Makes ahead what the first show would otherwise make on the key path
    // (its window, fonts and glyphs), without showing anything.
    virtual void prepare() {}
};

// A click on a window in the panel.
using SwitcherOpen = std::function<void(const WindowEntry&)>;

// Makes the one panel of a controller, on its first show.
using SwitcherPanelFactory = std::function<std::unique_ptr<SwitcherPanel>(SwitcherModel& model, SwitcherOpen open)>;

} // namespace kavelo
