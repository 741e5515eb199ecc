#pragma once

// One window of another application, as the accessibility layer reaches it.
// Every read fails (no value) and every write fails (false) once the window
// is gone or its application stops answering; callers treat that as absent.

#include "core/geometry.h"
#include "core/window_entry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kavelo {

// Subroles of the windows that are listed.
inline constexpr const char* standardWindowSubrole = "AXStandardWindow";
inline constexpr const char* dialogSubrole = "AXDialog";

class Element {
public:
    virtual ~Element() = default;

    // The owning process; known even after the window is gone.
    virtual std::int32_t pid() const = 0;
    // The window server's number of this window; no value when it cannot be
    // had. A backend never answers 0.
    virtual std::optional<WindowID> windowNumber() const = 0;

    virtual std::optional<std::string> subrole() const = 0;
    virtual std::optional<std::string> title() const = 0;
    // The document the window shows (a browser's page address); no value when
    // the window has no such attribute, which differs from an empty text.
    virtual std::optional<std::string> document() const = 0;
    virtual std::optional<bool> minimized() const = 0;
    virtual std::optional<bool> fullScreen() const = 0;
    // Top-left origin, global coordinates.
    virtual std::optional<Point> position() const = 0;
    virtual std::optional<Size> size() const = 0;
    // No value when the question itself fails.
    virtual std::optional<bool> sizeSettable() const = 0;
    // The size the window would take if asked for `wanted` (its own size
    // steps, minimum and maximum applied); no value when it cannot be told.
    virtual std::optional<Size> acceptedSize(Size wanted) const
    {
        (void)wanted;
        return std::nullopt;
    }

    // Requests; a window may refuse or settle later, so callers that must
    // know read back.
    virtual bool setPosition(Point topLeft) = 0;
    virtual bool setSize(Size size) = 0;
    virtual bool setMinimized(bool minimized) = 0;
    // Brings the window to the front of its application (does not activate it).
    virtual bool raise() = 0;
};

using ElementRef = std::shared_ptr<Element>;

} // namespace kavelo
