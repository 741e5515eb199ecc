#include "app/services/permissions.h"

#include <string>

namespace kavelo {

PermissionWatcher::PermissionWatcher(Accessibility& trust, WindowCapture& capture, Scheduler& scheduler)
    : accessibility(trust.isTrusted()),
      screenRecording(capture.isAllowed()),
      trust_(trust),
      capture_(capture)
{
    timer_ = scheduler.every(interval, [this] { poll(); });
}

void PermissionWatcher::poll()
{
    // Assigning only on change keeps observers quiet while nothing flips.
    if (const bool trusted = trust_.isTrusted(); trusted != accessibility.value())
        accessibility.set(trusted);
    if (const bool allowed = capture_.isAllowed(); allowed != screenRecording.value())
        screenRecording.set(allowed);
}

void Permissions::requestScreenRecording() const
{
    if (capture.requestAccess())
        return;
    (void)workspace.openURLs({screenRecordingPane}, std::nullopt, true);
}

void Permissions::relaunch() const
{
    // A helper that fails to start is no reason to stay.
    if (!process.executable.empty())
        (void)launcher.launch(shell, {"-c", relaunchScript, process.executable, std::to_string(process.pid)});
    if (terminate)
        terminate();
}

} // namespace kavelo
