#pragma once

// The window server's own list of windows, the desktop shown on a display,
// and the stacking of the program's own panels among other windows.

#include "core/geometry.h"
#include "app/platform/handle.h"
#include "app/platform/main_waits.h"
#include "core/window_entry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kavelo {

enum class WindowListOption {
    all,          // every window, desktop elements excluded
    onScreenOnly, // only windows on screen now, desktop elements excluded
};

// One entry of the window list.
struct WindowInfo {
    WindowID number = 0;
    std::int32_t layer = 0;            // 0 is the normal window layer
    std::int32_t ownerPid = 0;
    std::optional<std::string> ownerName;
    Rect bounds;                        // top-left origin, global
    bool onScreen = false;
    std::optional<std::string> name;    // given only while window capture is allowed
    double alpha = 1;
    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

// A panel of this program as the panels host reports it.
struct OwnPanel {
    Rect frame;                          // top-left origin, global
    std::int32_t level = 0;              // the window levels the panels use (0, 3, 4, 101)
    double alpha = 1;
    std::string name;
    bool visible = true;
    std::optional<WindowID> below;       // ordered directly below this window
    std::uint64_t nativeHandle = 0;      // the toolkit's window id, for a real server
    bool bypassesManager = false;        // the toolkit put that window beyond the window manager
    friend bool operator==(const OwnPanel&, const OwnPanel&) = default;
};

class WindowServer {
public:
    virtual ~WindowServer() = default;

    // Front to back; no value when the list cannot be read.
    virtual std::optional<std::vector<WindowInfo>> windowList(WindowListOption option) const = 0;
    // Whether the window manager has yet to answer writes sent earlier (it
    // fell behind and was not waited for): what was sent is on its way.
    virtual bool managerBehind() const { return false; }
    // One window's entry of the full list; no value when it is not listed
    // or the list cannot be read. For what asks many times a second.
    virtual std::optional<WindowInfo> windowInfo(WindowID number) const
    {
        const auto all = windowList(WindowListOption::all);
        if (!all)
            return std::nullopt;
        for (const auto& info : *all)
            if (info.number == number)
                return info;
        return std::nullopt;
    }
    // Identifier of the desktop shown on a display (by display id); no value
    // when it cannot be found.
    virtual std::optional<std::uint64_t> currentDesktop(std::uint32_t displayID) const = 0;

    // The program's own panels. On a real server they are real windows and
    // these calls only restack; a simulated one lists them like any window.
    // `showPanel` gives the panel's window number.
    virtual WindowID showPanel(const OwnPanel& panel) = 0;
    virtual void updatePanel(WindowID number, const OwnPanel& panel) = 0;
    virtual void removePanel(WindowID number) = 0;
    // Where the toolkit must place a panel's window to cover `frame`: the
    // toolkit keeps coordinates of its own on a scaled monitor.
    virtual Rect toolkitFrame(const Rect& frame) const { return frame; }
    // The frame of a toolkit window that stands at `toolkit`.
    virtual Rect frameOfToolkit(const Rect& toolkit) const { return toolkit; }
    // Where a native window of this program stands as the server has it,
    // also one embedded in another program's (the tray icon), and the scale
    // of the monitor it lies on; none when the server cannot tell.
    struct NativePlace {
        Rect frame;
        double scale = 1;
        friend bool operator==(const NativePlace&, const NativePlace&) = default;
    };
    virtual std::optional<NativePlace> placeOfNativeWindow(std::uint64_t handle) const
    {
        (void)handle;
        return std::nullopt;
    }

    // Whether translucent panels are blended with what lies below them (a
    // compositing manager runs). Without it a translucent fill shows as if
    // opaque, so panels draw opaque fills and cut their shapes instead.
    virtual bool blendsPanels() const = 0;

    // Reads made while the handle lives may share one answer per window:
    // for a caller that asks about the same windows through several
    // services at once. A write ends the sharing. Its waits on the window
    // manager share one bound too.
    [[nodiscard]] virtual Handle shareReads() const { return {}; }

    // The window the user works in changed to this one, as the window
    // manager tells; heard on the main thread. A server that cannot tell
    // never calls.
    [[nodiscard]] virtual Handle onWindowActivated(std::function<void(WindowID)> handler)
    {
        (void)handler;
        return {};
    }

    // The main thread's waits on the window server (or the window manager
    // behind it) longer than `MainWaits::worthTelling`, with what each
    // waited for. A server that never waits never calls.
    [[nodiscard]] virtual Handle onLongWait(MainWaits::Listener listener)
    {
        (void)listener;
        return {};
    }

    // A window of the list closed for good (numbers are never given again);
    // heard on the main thread. A server that cannot tell never calls.
    [[nodiscard]] virtual Handle onWindowClosed(std::function<void(WindowID)> handler)
    {
        (void)handler;
        return {};
    }
};

} // namespace kavelo
