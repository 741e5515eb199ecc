#pragma once

// What the one-shot window services work on: the system, through the
// platform interfaces, and the user's settings. Every catalog, action,
// thumbnail and highlight call takes one of these first; it is two
// references' worth of data, cheap to copy into delayed work.

#include "app/platform/platform.h"
#include "app/services/preferences.h"

namespace kavelo {

struct Desktop {
    Platform platform;          // references only; the backend outlives us
    Preferences& preferences;
};

} // namespace kavelo
