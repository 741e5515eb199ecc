#include "app/platform/desktop_backend.h"

#include "app/platform/sim/sim_desktop.h"

namespace kavelo {

SimBackend::SimBackend() : desktop_(std::make_unique<SimDesktop>()) { desktop_->loadFromEnvironment(); }

SimBackend::~SimBackend() = default;

Platform SimBackend::platform(Scheduler& scheduler, Clock& clock) { return desktop_->platform(scheduler, clock); }

void SimBackend::attach(Scheduler* scheduler) { desktop_->attach(scheduler); }

} // namespace kavelo
