#pragma once

// The one place that lists other applications' windows. Every read is made
// afresh from the running applications, their accessibility windows and the
// window server's list; nothing is cached.

#include "app/platform/accessibility.h"
#include "app/platform/element.h"
#include "app/services/desktop.h"
#include "core/window_entry.h"

#include <unordered_map>
#include <vector>

namespace kavelo {

// One moment of the desktop: the windows front-most first, and the element
// of every window the accessibility layer listed. Windows only the window
// list reported (other desktops, or everything without trust) have none.
// Synthetic identities (above `syntheticWindowIDBase`) hold within one
// snapshot only.
struct Snapshot {
    std::vector<WindowEntry> windows;
    std::unordered_map<WindowID, ElementRef> elements;

    // Null when the window has no element here.
    ElementRef element(WindowID id) const
    {
        auto it = elements.find(id);
        return it == elements.end() ? nullptr : it->second;
    }

    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

namespace WindowCatalog {

// Smallest window a window-list-only entry may have; smaller ones are
// palettes, badges and other window-server furniture.
inline constexpr double minimumListedWidth = 120;
inline constexpr double minimumListedHeight = 80;

// Main thread; never fails. Blocks while each application answers.
// `facts`: what the read found of each listed window's element, for a
// caller that needs more of it than the entries keep.
Snapshot read(const Desktop& desktop, std::unordered_map<WindowID, ElementFacts>* facts = nullptr);

} // namespace WindowCatalog

} // namespace kavelo
