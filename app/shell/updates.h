#pragma once

// The updater: a controller exists only when the desktop has an updater
// framework and the application's information keys name both a feed and
// its signing key. Without one nothing offers an update and a request to
// check does nothing.

#include "app/platform/app_services.h"
#include "app/platform/updater.h"

#include <memory>

namespace kavelo {

class Updates {
public:
    static constexpr const char* feedKey = "SUFeedURL";
    static constexpr const char* signingKey = "SUPublicEDKey";

    // `framework` may be null: the desktop offers none.
    Updates(const AppInfo& info, UpdaterFramework* framework);

    UpdaterController* controller() const { return controller_.get(); }
    bool canUpdate() const { return controller_ != nullptr; }
    // Asks the controller for a check; nothing without one.
    void checkForUpdates();

private:
    std::unique_ptr<UpdaterController> controller_;
};

} // namespace kavelo
