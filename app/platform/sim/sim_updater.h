#pragma once

// The simulated desktop's updater framework: it only records what it was
// asked, so both the updater's paths can be tested.

#include "app/platform/updater.h"

#include <memory>

namespace kavelo {

class SimUpdater : public UpdaterFramework {
public:
    std::unique_ptr<UpdaterController> makeController(bool startingUpdater) override;

    struct Record {
        int controllers = 0;   // controllers made
        int started = 0;       // of them, made with the updater started
        int checks = 0;        // checks asked for, over all controllers
    };
    const Record& record() const { return *record_; }

private:
    std::shared_ptr<Record> record_ = std::make_shared<Record>();
};

} // namespace kavelo
