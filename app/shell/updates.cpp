#include "app/shell/updates.h"

namespace kavelo {

Updates::Updates(const AppInfo& info, UpdaterFramework* framework)
{
    // The keys' values are the framework's business; only their presence counts.
    if (framework && info.infoValue(feedKey) && info.infoValue(signingKey))
        controller_ = framework->makeController(true);
}

void Updates::checkForUpdates()
{
    if (controller_)
        controller_->checkForUpdates();
}

} // namespace kavelo
