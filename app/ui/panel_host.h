#pragma once

// What the floating panels of one program run share: the window server they
// report themselves to (so the window list holds them and a real server can
// stack one directly below a given window), the time their animations run
// on, and their order among levels. The shell makes one for the process;
// tests and the renderer make their own, so several can live side by side.

#include "app/platform/platform.h"
#include "app/ui/spring.h"

#include <optional>
#include <vector>

namespace kavelo {

class FreePanel;

// Native windows exist: a real X display, not the offscreen platform.
bool onRealDisplay();

class PanelHost {
public:
    // Without a window server the panels report nowhere (pictures drawn
    // offscreen) and blending counts as real.
    PanelHost(WindowServer* windowServer, Scheduler& scheduler, Clock& clock);
    explicit PanelHost(const Platform& platform);
    ~PanelHost();
    PanelHost(const PanelHost&) = delete;
    PanelHost& operator=(const PanelHost&) = delete;

    WindowServer* windowServer() const { return windowServer_; }
    Scheduler& scheduler() const { return scheduler_; }
    Clock& clock() const { return clock_; }
    AnimationTime time() const { return {scheduler_, clock_}; }

    // Whether translucent fills are blended with what lies below; asked of
    // the window server each time (a compositor may start or stop).
    bool blends() const;
    // Where the toolkit puts a panel's window to cover `frame`, and the
    // frame of a toolkit window (the toolkit's coordinates differ from
    // points on a scaled monitor).
    Rect toolkitFrame(const Rect& frame) const;
    Rect frameOfToolkit(const Rect& toolkit) const;
    // Where a native window stands on the server, and the scale of its
    // monitor; none without a server.
    std::optional<WindowServer::NativePlace> placeOfNativeWindow(std::uint64_t handle) const;

    // Tells the window server of a panel: shown the first time (`number`
    // then holds its window number), updated after. Without a server,
    // nothing is told.
    void report(std::optional<WindowID>& number, const OwnPanel& panel) const;
    // The panel left the screen: the server forgets it.
    void withdraw(std::optional<WindowID>& number) const;

    // The panels made with this host, in the order they were made.
    const std::vector<FreePanel*>& panels() const { return panels_; }

private:
    friend class FreePanel;
    void add(FreePanel* panel);
    void remove(FreePanel* panel);
    // A panel gave up its pixels: what it drew with goes back to the system
    // too, once for panels that go together.
    void released();

    WindowServer* windowServer_;
    Scheduler& scheduler_;
    Clock& clock_;
    std::vector<FreePanel*> panels_;
    Handle trim_;
};

} // namespace kavelo
