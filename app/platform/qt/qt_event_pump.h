#pragma once

// Joins a desktop backend to the Qt event loop of the main thread, once for
// the process: the backend gets the scheduler, its events are dispatched
// when its descriptor turns readable, work it queued outside its own
// dispatch runs soon after, and it is drained whenever the loop is about to
// sleep, since events read while the backend waited for a reply never turn
// the descriptor readable again.
//
// Make it after the QCoreApplication and on its thread; it lets go of the
// backend when it dies.

#include "app/platform/desktop_backend.h"
#include "app/platform/qt/qt_scheduler.h"

#include <memory>

class QObject;

namespace kavelo {

class QtEventPump {
public:
    QtEventPump(DesktopBackend& backend, QtScheduler& scheduler);
    ~QtEventPump();
    QtEventPump(const QtEventPump&) = delete;
    QtEventPump& operator=(const QtEventPump&) = delete;

private:
    void drain();
    void wake();

    DesktopBackend& backend_;
    std::unique_ptr<QObject> context_;   // owns the notifier and every connection
    bool draining_ = false;
    bool wakePending_ = false;
};

} // namespace kavelo
