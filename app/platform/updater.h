#pragma once

// An updater framework that keeps the application up to date by itself:
// its controller runs scheduled checks and checks on request. A desktop may
// have none (a Linux desktop updates programs through its packages).

#include <memory>

namespace kavelo {

class UpdaterController {
public:
    virtual ~UpdaterController() = default;
    // A check the user asked for, with the framework's own windows.
    virtual void checkForUpdates() = 0;
};

class UpdaterFramework {
public:
    virtual ~UpdaterFramework() = default;
    // A standard controller with no delegates; `startingUpdater` lets it run
    // its scheduled checks from now on.
    virtual std::unique_ptr<UpdaterController> makeController(bool startingUpdater) = 0;
};

} // namespace kavelo
