#include "app/services/working_app.h"

namespace kavelo {

void WorkingApp::start()
{
    if (watcher_.pending())
        return;
    last_ = workspace_.frontmostApp();
    watcher_ = workspace_.onActivation([this](const RunningApp& app) {
        if (app.pid != workspace_.ownPid())
            last_ = app;
    });
}

std::optional<RunningApp> WorkingApp::current() const
{
    auto front = workspace_.frontmostApp();
    if (!front)
        return std::nullopt;
    if (front->pid != workspace_.ownPid() || !last_)
        return front;
    for (auto& app : workspace_.runningApps())
        if (app.pid == last_->pid)
            return app;
    return last_;
}

} // namespace kavelo
