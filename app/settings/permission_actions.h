#pragma once

// What the permission buttons of the settings and welcome windows do.

#include "app/platform/accessibility.h"
#include "app/services/permissions.h"

namespace kavelo {

struct PermissionActions {
    Accessibility& accessibility;
    Permissions permissions;

    // Shows the system's prompt; the answer is left to the watcher, which
    // sees a grant within a second.
    void requestAccessibility() const;
    // Marks the request first, so the restart offer shows at once, then asks.
    void requestScreenRecording(PermissionWatcher& watcher) const;
    void relaunch() const;
    // Whether the desktop has any permission for the user to grant.
    bool anythingToGrant() const;
};

} // namespace kavelo
