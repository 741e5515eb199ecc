#include "app/settings/permission_actions.h"

namespace kavelo {

void PermissionActions::requestAccessibility() const
{
    (void)accessibility.requestTrust();
}

void PermissionActions::requestScreenRecording(PermissionWatcher& watcher) const
{
    watcher.askedForScreenRecording.set(true);
    permissions.requestScreenRecording();
}

void PermissionActions::relaunch() const
{
    permissions.relaunch();
}

bool PermissionActions::anythingToGrant() const
{
    return accessibility.needsGrant() || permissions.capture.needsGrant();
}

} // namespace kavelo
