#pragma once

// The two permissions: Accessibility trust, without which no window can be
// moved, and screen capture, which adds thumbnails and the window names of
// other desktops.

#include "app/platform/accessibility.h"
#include "app/platform/capture.h"
#include "app/platform/handle.h"
#include "app/platform/scheduler.h"
#include "app/platform/system_workspace.h"
#include "app/services/process_launcher.h"
#include "app/services/signal.h"

#include <functional>

namespace kavelo {

// Mirrors both permissions and re-reads them every second, so the settings
// and welcome windows follow a grant as soon as it happens. Polling ends
// with the watcher.
class PermissionWatcher {
public:
    PermissionWatcher(Accessibility& trust, WindowCapture& capture, Scheduler& scheduler);
    PermissionWatcher(const PermissionWatcher&) = delete;
    PermissionWatcher& operator=(const PermissionWatcher&) = delete;

    // The owner may write these too; the next poll republishes a
    // permission that differs from the system's answer.
    Published<bool> accessibility;
    Published<bool> screenRecording;
    // Set by the windows once they asked for screen capture; never stored.
    Published<bool> askedForScreenRecording{false};

    static constexpr double interval = 1.0;

private:
    void poll();

    Accessibility& trust_;
    WindowCapture& capture_;
    Handle timer_;
};

// The actions behind the screen-capture row of the settings and welcome
// windows.
struct Permissions {
    WindowCapture& capture;
    SystemWorkspace& workspace;
    ProcessLauncher& launcher;
    OwnProcess process;
    // Quits the application the normal way (with its clean-exit work).
    std::function<void()> terminate;

    static constexpr const char* screenRecordingPane =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_ScreenCapture";
    // Run by /bin/sh with the executable as $0 and this process's pid as $1:
    // a moment after the quit, and once this process is really gone, the
    // program starts afresh, so two instances never run at once.
    static constexpr const char* relaunchScript =
        "sleep 0.6; while kill -0 \"$1\" 2>/dev/null; do sleep 0.1; done; KAVELO_RELAUNCHED=1 exec \"$0\"";
    static constexpr const char* shell = "/bin/sh";

    // Asks for screen capture; when it is still not allowed, opens the
    // system's settings where the user can allow it.
    void requestScreenRecording() const;
    // Starts the program again after a short delay and quits this instance,
    // also when the helper could not be started.
    void relaunch() const;
};

} // namespace kavelo
