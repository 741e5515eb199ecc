#pragma once

// What the arrange engine shows on screen besides other applications'
// windows, as small interfaces without Qt: the tab bars over tabbed columns
// and shared tiles, the click zones at screen edges where windows wait, the
// strip indicator's panel and the active-window highlight. The widgets
// behind them live in app/engine/panels/; tests record what they are told.
//
// The engine makes each of them once through `EnginePanels` and owns them.
// All calls are on the main thread; callbacks handed in run there too.

#include "core/geometry.h"
#include "core/strip_layout.h"
#include "core/window_entry.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavelo {

class WorkingApp;

class TabBars {
public:
    // One bar with the titles of its windows; a window without a title is
    // missing from `titles`.
    struct Bar {
        TabBar bar;   // frame in the top-left-origin global space
        std::map<WindowID, std::string> titles;
        friend bool operator==(const Bar&, const Bar&) = default;
    };
    using Select = std::function<void(WindowID)>;

    virtual ~TabBars() = default;
    // Replaces every bar; an empty list hides them all. `select` gets the
    // window of a clicked tab (the shown one included).
    virtual void show(std::vector<Bar> bars, Select select) = 0;
};

class EdgeZones {
public:
    struct Zone {
        std::string key;   // layout key of the display and desktop
        bool onLeft = false;
        Rect frame;        // the click zone, bottom-left-origin global space
        int count = 0;     // windows waiting past that edge
        friend bool operator==(const Zone&, const Zone&) = default;
    };
    using Clicked = std::function<void(const Zone&)>;

    virtual ~EdgeZones() = default;
    // Replaces what is shown; a list equal to the shown one changes nothing.
    virtual void show(std::vector<Zone> zones, Clicked clicked) = 0;
};

// One tile of the strip indicator: a strip column, or a window of an auto
// order.
struct StripTile {
    WindowID id = 0;
    std::optional<std::string> bundleID;
    double width = 0.5;   // of a screen width
    int count = 1;        // windows in the column
    bool focused = false;
    bool inView = false;
    friend bool operator==(const StripTile&, const StripTile&) = default;
};

// The strip indicator's one panel; its fade and placement are decided by
// `StripIndicator`.
class IndicatorPanel {
public:
    using Select = std::function<void(WindowID)>;
    using Move = std::function<void(WindowID, int index)>;

    virtual ~IndicatorPanel() = default;
    // A fresh row of tiles drawn at `scale`; answers the size the row needs.
    virtual Size setRow(std::vector<StripTile> tiles, double scale, Select select, Move move) = 0;
    // Bottom-left-origin global space, like display frames.
    virtual void setFrame(const Rect& frame) = 0;
    virtual Rect frame() const = 0;
    virtual void setAlpha(double alpha) = 0;
    virtual double alpha() const = 0;
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    virtual bool isShown() const = 0;
};

// The active-window highlight; it follows the settings by itself once
// started.
class Highlight {
public:
    virtual ~Highlight() = default;
    // Idempotent.
    virtual void start() = 0;
};

// Makes the engine's panels; the engine owns what it is given.
class EnginePanels {
public:
    virtual ~EnginePanels() = default;
    virtual std::unique_ptr<TabBars> makeTabBars() = 0;
    virtual std::unique_ptr<EdgeZones> makeEdgeZones() = 0;
    // Made on the indicator's first show.
    virtual std::unique_ptr<IndicatorPanel> makeIndicatorPanel() = 0;
    virtual std::unique_ptr<Highlight> makeHighlight(WorkingApp& workingApp) = 0;
};

} // namespace kavelo
