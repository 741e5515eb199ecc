#pragma once

// Following the monitor setup: its fingerprint, a change settled 2.5 s
// after the last notice, then the workflow bound to the new setup, or (with
// arranging off and layouts remembered) the layout autosaved for it, or the
// engine told. Autosaves the layout of the current setup every minute,
// except for 75 s after a change. The program's own windows are put back
// on the displays 2.5 s after any notice, whatever the setup.

#include "app/platform/handle.h"
#include "app/services/desktop.h"
#include "core/date.h"
#include "core/display_tracker.h"

#include <functional>
#include <string>

namespace kavelo {

class Workflows;

class MonitorSetups {
public:
    static constexpr Seconds settleDelay{2.5};
    static constexpr Seconds autosavePeriod{60};
    // The engine waits this long before a remembered layout is put back.
    static constexpr Seconds restorePause{4};

    // What the setups ask of the arrange engine; each may be left empty.
    struct Engine {
        // Waits the given time before arranging again (and forgets what it
        // last arranged).
        std::function<void(Seconds)> pause;
        std::function<void()> adoptWindows;
        std::function<void()> displaysChanged;
    };

    // Starts with the setup connected now, autosave allowed at once.
    MonitorSetups(Desktop desktop, Workflows& workflows, Engine engine = {});
    MonitorSetups(const MonitorSetups&) = delete;
    MonitorSetups& operator=(const MonitorSetups&) = delete;

    // The fingerprint of the displays connected now.
    static std::string currentDisplays(const Displays& displays);

    // Follows the displays' change notices and autosaves every minute.
    void start();

    // For each change notice; only a new fingerprint arms the settle step.
    void displaysChanged();
    // Puts the program's own windows back on the displays; set by the shell.
    std::function<void()> keepWindowsOnScreen;
    // The minute's autosave of the current setup's layout.
    void autosave();

    const DisplayTracker& displays() const { return tracker_; }
    // Whether a change waits to settle.
    bool settling() const { return pendingRestore_.pending(); }

private:
    void settle(const std::string& fingerprint);

    Desktop desktop_;
    Workflows& workflows_;
    Engine engine_;
    DisplayTracker tracker_;
    Handle pendingRestore_;
    Handle pendingWindows_;
    Handle changes_;
    Handle autosaveTimer_;
};

} // namespace kavelo
