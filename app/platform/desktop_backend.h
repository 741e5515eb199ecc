#pragma once

// The desktop the program runs on, as the entry point holds it: the platform
// interfaces plus what the run loop needs to keep a real window server's
// events flowing. The simulated desktop and the X11 backend both fit here;
// nothing above the platform layer sees which one it is.

#include "app/platform/platform.h"
#include "app/platform/sim/sim_updater.h"
#include "app/platform/updater.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

class SimDesktop;

// Finds and decodes the picture a desktop entry's `Icon` names (a theme
// icon name or an absolute file), at most `size` pixels square. The toolkit
// layer provides one; the backends cannot decode pictures themselves.
using IconResolver = std::function<std::optional<Image>(std::string_view icon, int size)>;

// One monitor as the toolkit drawing the program's panels sees it: its
// name, the top-left corner of its area in the toolkit's coordinates, and
// its scale in device pixels per point.
struct ToolkitScreen {
    std::string name;
    Point origin;
    double scale = 1;
    friend bool operator==(const ToolkitScreen&, const ToolkitScreen&) = default;
};
using ToolkitScreens = std::function<std::vector<ToolkitScreen>()>;

class DesktopBackend {
public:
    virtual ~DesktopBackend() = default;

    virtual Platform platform(Scheduler& scheduler, Clock& clock) = 0;
    // The descriptor the run loop watches for readable input; -1 when there
    // is none. When it becomes readable, call `processEvents()`.
    virtual int eventDescriptor() const = 0;
    // Dispatches every queued event on the calling (main) thread.
    virtual void processEvents() = 0;
    // Called (on the main thread) when events were queued outside
    // `processEvents()`, so the descriptor may not turn readable again: the
    // run loop should call `processEvents()` soon.
    virtual void setWakeup(std::function<void()> wakeup) = 0;
    // Called once at start with the production scheduler.
    virtual void attach(Scheduler* scheduler) = 0;
    // Applications' icons from their desktop entries; without a resolver a
    // backend shows the windows' own icons. The simulated desktop has no
    // entries.
    virtual void setIconResolver(IconResolver) {}
    // Where the monitors' scales come from; without it every monitor is at
    // 1 and the toolkit's coordinates are the server's. The simulated
    // desktop keeps its own.
    virtual void setToolkitScreens(ToolkitScreens) {}
    // The toolkit's screens changed (a scale, a monitor): read them again.
    virtual void toolkitScreensChanged() {}
    // The framework that updates the application; none where the system's
    // packages do it.
    virtual UpdaterFramework* updater() { return nullptr; }
};

// The simulated desktop as a backend, loaded from the state file named by
// the environment when there is one.
class SimBackend : public DesktopBackend {
public:
    SimBackend();
    ~SimBackend() override;
    SimDesktop& desktop() { return *desktop_; }

    Platform platform(Scheduler& scheduler, Clock& clock) override;
    int eventDescriptor() const override { return -1; }
    void processEvents() override {}
    void setWakeup(std::function<void()>) override {}
    void attach(Scheduler* scheduler) override;
    UpdaterFramework* updater() override { return &updater_; }

private:
    std::unique_ptr<SimDesktop> desktop_;
    SimUpdater updater_;
};

} // namespace kavelo
