#pragma once

// Pictures of single windows. Every call is safe from any thread: captures
// run on a worker pool and only their results go back to the main thread.

#include "app/platform/image.h"
#include "core/geometry.h"
#include "core/window_entry.h"

#include <optional>
#include <vector>

namespace kavelo {

struct CapturableWindow {
    WindowID number = 0;
    Size frameSize;
    friend bool operator==(const CapturableWindow&, const CapturableWindow&) = default;
};

class WindowCapture {
public:
    virtual ~WindowCapture() = default;
    // Never prompts.
    virtual bool isAllowed() const = 0;
    // Whether the user allows capture at all; a desktop that lets every
    // program take pictures leaves nothing to ask for.
    virtual bool needsGrant() const { return true; }
    // Asks the user the first time; answers whether capture is allowed now.
    virtual bool requestAccess() = 0;
    // Every window that can be captured, off-screen ones included; no value
    // when the list cannot be had.
    virtual std::optional<std::vector<CapturableWindow>> windows() const = 0;
    // One still of one window at `width` × `height` pixels, without the
    // pointer; no value when it fails.
    virtual std::optional<Image> capture(WindowID number, int width, int height) const = 0;
};

} // namespace kavelo
