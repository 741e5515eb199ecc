#pragma once

// The scrolling strip of one display and desktop: windows stand in columns
// side by side on a band wider than the screen, one window has the focus, and
// the band scrolls so the focused column is in view. A plain value: the
// engine keeps one per layout key and calls one operation per command.

#include "core/direction.h"
#include "core/geometry.h"
#include "core/strip_layout.h"
#include "core/window_entry.h"

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace kavelo {

struct StripMemory;
struct StripMemoryWindow;

struct Strip {
    // The screen edge a column is pinned to.
    enum class Pin { left, right };

    // When the focused column is centred.
    enum class CenterMode { never, overflow, always };

    static constexpr std::array<CenterMode, 3> allCenterModes{CenterMode::never, CenterMode::overflow,
                                                              CenterMode::always};

    static std::optional<Pin> Pin_from(std::string_view raw);
    static std::optional<CenterMode> CenterMode_from(std::string_view raw);

    struct Column {
        std::vector<WindowID> ids; // top to bottom; never empty inside a strip
        // Of the lane for a rolling column, of the screen for a pinned one.
        double width = 0.5;
        bool tabbed = false;
        WindowID active = 0;               // the shown tab
        std::map<WindowID, double> weights; // relative heights; missing means 1.0
        std::optional<Pin> pin;             // none: the column scrolls with the strip

        WindowID id() const { return ids.front(); }
        friend bool operator==(const Column&, const Column&) = default;
    };

    // The default of `gap`.
    static constexpr double defaultGap = 10;
    static constexpr double parkGap = parkingGap;
    static constexpr double tabHeight = tabBarHeight;
    // Width presets, in the order `cycleWidth` steps through the first five.
    static constexpr std::array<double, 6> widths{0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.75, 1.0};
    // The ranges the width and height commands keep to.
    static constexpr double minWidth = 0.2;
    static constexpr double maxWidth = 1.0;
    static constexpr double minWeight = 0.25;
    static constexpr double maxWeight = 4.0;

    double gap = defaultGap; // between columns and between stacked windows
    std::vector<Column> columns;
    std::optional<WindowID> focused;
    double scroll = 0; // of the rolling columns; 0 puts the first at the lane's left edge
    bool keepsHeight = false; // a lone window is never made taller than it was
    std::map<WindowID, double> originalHeights;
    CenterMode centerMode = CenterMode::never;
    bool isPanning = false;

    Strip() = default;
    // Rebuilds a saved strip around the windows open now (strip_memory.cpp).
    Strip(const StripMemory& memory, const std::vector<StripMemoryWindow>& live);

    // --- Model (strip.cpp) ---

    // Reconciles the strip with the live windows, given in the caller's order.
    // `slots` maps a window to a preferred 1-based column position.
    void sync(const std::vector<WindowID>& ids, std::optional<WindowID> focused = std::nullopt,
              const std::map<WindowID, int>& slots = {});
    void select(WindowID id);
    // An application re-created a window under a new identity.
    void rename(WindowID from, WindowID to);

    std::optional<Column> focusedColumn() const;

    // These return the newly focused window when they acted; the caller raises it.
    std::optional<WindowID> moveFocus(Direction direction);
    std::optional<WindowID> focusColumn(int number); // 1-based
    std::optional<WindowID> focusEnd(bool last);

    void moveColumn(Direction direction);
    void moveColumn(WindowID containing, int to);
    void stack(Direction into);
    void popOut(Direction to);
    void toggleTabbed();
    void togglePin(Pin pin);
    void cycleWidth();
    void toggleFullWidth();
    void adjustWidth(double by);
    void adjustHeight(double by);
    void equalizeHeights();
    void center();

    // A one-shot centring request is pending.
    bool isCentering() const { return centering; }
    // The distance panned since `beginPan`.
    double panTravelled() const { return panTravel; }

    // --- Layout (strip_layout.cpp) ---

    // Frames at the scroll that brings the focused column into view; stores that scroll.
    StripLayout layout(const Rect& in);
    std::map<WindowID, Rect> frames(const Rect& in);
    StripLayout arranged(const Rect& in, double scroll) const;

    void beginPan();
    void pan(double by, const Rect& in);
    // Snaps the scroll to a column; gives the window to raise when the focus moved.
    std::optional<WindowID> endPan(double throwing, const Rect& in);

    // Keeps a window that waits beyond an edge from showing on a neighbouring display.
    static Rect keptHome(Rect frame, const Rect& in, bool screenOnLeft, bool screenOnRight);

    // --- Memory (strip_memory.cpp) ---

    StripMemory memory(const std::map<WindowID, StripMemoryWindow>& windows) const;

    friend bool operator==(const Strip&, const Strip&) = default;

private:
    bool centering = false; // centre the focused column at the next layout
    double panTravel = 0;

    struct Measure {
        Rect lane;                   // the screen less the pinned columns
        std::vector<std::size_t> rolling; // indices of the unpinned columns
        std::vector<double> sizes;   // per rolling column, in points
        std::vector<double> starts;  // offsets from the lane's left edge at scroll 0
        double total = 0;
        Size floor;                  // no window of the screen is smaller
        double maxScroll() const;
    };

    std::optional<std::size_t> focusedIndex() const;
    void setFocus(WindowID id);

    // The width of a column of `fraction`, at least `least`.
    double columnWidth(double fraction, double length, double least) const;
    Measure measure(const Rect& in) const;
    StripLayout arranged(const Rect& in, const Measure& m, double scroll) const;
    void place(const Column& column, const Rect& in, const Size& floor, StripLayout& into) const;
};

std::string_view rawValue(Strip::Pin pin);
std::string_view rawValue(Strip::CenterMode mode);
std::string_view title(Strip::CenterMode mode);

} // namespace kavelo
