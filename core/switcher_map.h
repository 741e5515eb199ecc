#pragma once

// The switcher's small map of the displays: every display side by side,
// scaled to fit, with a tile where each visible window stands.

#include "core/geometry.h"
#include "core/window_entry.h"

#include <vector>

namespace kavelo {

struct MapTile {
    WindowEntry window;
    Rect frame; // in map coordinates
    friend bool operator==(const MapTile&, const MapTile&) = default;
};

struct MapScreen {
    Rect frame;                 // in map coordinates
    std::vector<MapTile> tiles; // back to front
    friend bool operator==(const MapScreen&, const MapScreen&) = default;
};

// Map coordinates start at the map's top-left corner; the input windows and
// displays share one top-left-origin global space.
struct SwitcherMap {
    std::vector<MapScreen> screens;     // left to right
    std::vector<WindowEntry> underneath; // windows without a tile, in input order
    Size size;

    SwitcherMap() = default;
    // `windows` front to back, `screens` in any order; `gap` points between displays.
    SwitcherMap(const std::vector<WindowEntry>& windows, const std::vector<Rect>& screens, Size fitting, double gap);

    friend bool operator==(const SwitcherMap&, const SwitcherMap&) = default;
};

} // namespace kavelo
