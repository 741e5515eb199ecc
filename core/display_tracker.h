#pragma once

// The current monitor setup, and autosave held off for a while after it
// changes so a layout half-moved by the change is not saved as the new
// setup's layout.

#include "core/date.h"
#include "core/workspace.h"

#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

struct DisplayTracker {
    static constexpr Seconds hold{75};
    // Long before any real time: 0001-01-01T00:00:00Z.
    static constexpr Date distantPast = dateFromEpochSeconds(-62135596800.0);

    std::string current;
    Date holdUntil = distantPast;

    DisplayTracker() = default;
    explicit DisplayTracker(std::string current) : current(std::move(current)) {}

    // Whether the setup changed; a change starts the hold.
    bool update(std::string_view fingerprint, Date now);

    // Never for an empty capture; otherwise once the hold is over.
    bool canAutosave(const std::vector<SavedWindow>& windows, Date now) const;

    friend bool operator==(const DisplayTracker&, const DisplayTracker&) = default;
};

} // namespace kavelo
