#include "core/display_tracker.h"

namespace kavelo {

bool DisplayTracker::update(std::string_view fingerprint, Date now)
{
    if (fingerprint == current)
        return false;
    current = std::string(fingerprint);
    holdUntil = now + hold;
    return true;
}

bool DisplayTracker::canAutosave(const std::vector<SavedWindow>& windows, Date now) const
{
    return !windows.empty() && now >= holdUntil;
}

} // namespace kavelo
