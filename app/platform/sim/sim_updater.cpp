#include "app/platform/sim/sim_updater.h"

namespace kavelo {

namespace {

class SimUpdaterController : public UpdaterController {
public:
    explicit SimUpdaterController(std::shared_ptr<SimUpdater::Record> record) : record_(std::move(record)) {}
    void checkForUpdates() override { ++record_->checks; }

private:
    std::shared_ptr<SimUpdater::Record> record_;
};

} // namespace

std::unique_ptr<UpdaterController> SimUpdater::makeController(bool startingUpdater)
{
    ++record_->controllers;
    if (startingUpdater)
        ++record_->started;
    return std::make_unique<SimUpdaterController>(record_);
}

} // namespace kavelo
