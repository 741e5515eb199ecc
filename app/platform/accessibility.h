#pragma once

// Trust and the windows of one application, through the accessibility layer.

#include "app/platform/element.h"

#include "core/geometry.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kavelo {

// One window's part of a batched frame write.
struct FrameWrite {
    enum class Parts {
        frame,      // size, position, size: the rule of every single move
        position,   // the position only (a strip scrolling sideways)
    };
    ElementRef element;
    Rect frame;   // top-left origin, global
    Parts parts = Parts::frame;
};

// What a window list needs of one window, read at one moment. A field
// without a value is one whose reading failed.
struct ElementFacts {
    std::optional<WindowID> number;
    std::optional<std::string> subrole;
    std::optional<std::string> title;
    std::optional<bool> minimized;
    std::optional<Rect> frame;   // top-left origin, global; position and size both read
    std::optional<bool> fullScreen;
};

class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Never prompts.
    virtual bool isTrusted() const = 0;
    // Whether the user grants the trust at all; a desktop that trusts every
    // program leaves nothing to ask for.
    virtual bool needsGrant() const { return true; }
    // Asks the user with the system's prompt when not yet trusted; answers
    // the trust as it stands now (a grant usually comes later).
    virtual bool requestTrust() = 0;

    // The application's windows on the desktops shown now, in its own order;
    // no value when the application does not answer or trust is missing.
    virtual std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const = 0;
    // The windows of several applications, one answer per pid as `windows`
    // gives it. A real server lists them all from one read; this default
    // asks application by application.
    virtual std::vector<std::optional<std::vector<ElementRef>>> windowsOf(std::span<const std::int32_t> pids) const;
    // One `ElementFacts` per element, in order, each field as the element's
    // own reading answers it (none for a null element). A real server sends
    // every window's requests before it waits once; this default reads
    // element by element.
    virtual std::vector<ElementFacts> facts(std::span<const ElementRef> elements) const;
    // Only the frames, as `facts` reads them; a real server reads less.
    virtual std::vector<std::optional<Rect>> frames(std::span<const ElementRef> elements) const;
    // Its focused window; null when it has none or cannot be asked.
    virtual ElementRef focusedWindow(std::int32_t pid) const = 0;

    // Writes many windows in one go, each by the same steps a single write
    // takes. A real server sends every window's request of one step before
    // it waits for the window manager once, so a batch costs the barriers of
    // one window. One answer per write, in order: false when that window
    // refused or is gone; the others are written all the same. This default
    // writes window by window.
    virtual std::vector<bool> setFrames(std::span<const FrameWrite> writes);
    // The same, and then where each window stands, as `frames` reads it: a
    // real server has read that already to tell the refusals.
    virtual std::vector<bool> setFrames(std::span<const FrameWrite> writes, std::vector<std::optional<Rect>>& landed);
    // An animation frame's positions, sent without waiting for the window
    // manager to apply them. False, and nothing sent, while the manager has
    // yet to handle the frame before: the animation keeps the manager's
    // pace and never holds up a key. This default writes them.
    virtual bool glide(std::span<const FrameWrite> writes);
};

// Where each write's window stands: for the writes sent (`sent`, ascending
// indices) what `read` found after them, in that order; the others read as
// `frames` reads them, in one read.
std::vector<std::optional<Rect>> landedOf(const Accessibility& accessibility, std::span<const FrameWrite> writes,
                                          const std::vector<std::size_t>& sent,
                                          const std::vector<std::optional<Rect>>& read);

} // namespace kavelo
