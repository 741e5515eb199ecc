#pragma once

// Which application the user works in: the frontmost one, except while this
// program is itself in front (its panel, settings or welcome window), when
// the answer stays on the application that was active before, so commands
// and focus aids keep acting on the user's real work.
//
// One per process, made by the shell and lent to the engine, Clean Space,
// No peek and the highlight; each of them calls `start()`.

#include "app/platform/handle.h"
#include "app/platform/system_workspace.h"

#include <optional>

namespace kavelo {

class WorkingApp {
public:
    explicit WorkingApp(SystemWorkspace& workspace) : workspace_(workspace) {}
    WorkingApp(const WorkingApp&) = delete;
    WorkingApp& operator=(const WorkingApp&) = delete;

    // Idempotent, main thread: remembers the frontmost application and from
    // then on every other application that becomes active. Tracking ends
    // with the object.
    void start();
    bool isStarted() const { return watcher_.pending(); }

    // The frontmost application; while that is this program, the last other
    // application seen active (when there is one). The remembered one is
    // given as it runs now (hidden or not), or as last seen once it quit.
    std::optional<RunningApp> current() const;

    // The last application other than this program seen becoming active (at
    // start: the frontmost one, whatever it is).
    const std::optional<RunningApp>& last() const { return last_; }

private:
    SystemWorkspace& workspace_;
    std::optional<RunningApp> last_;
    Handle watcher_;
};

} // namespace kavelo
