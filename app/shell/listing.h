#pragma once

// "--list": what the program sees, for support and scripts. The
// permissions, the monitor-setup fingerprint and the front windows, one
// line each, in a form scripts can split on blanks. Names are other
// programs' text: escaped, so that none of them acts on the terminal or
// starts a line of its own.

#include "app/services/desktop.h"
#include "core/window_entry.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kavelo::Listing {

// At most this many window lines.
inline constexpr std::size_t windowLines = 40;

struct Facts {
    bool accessibility = false;
    bool screenRecording = false;
    std::string displays;
    std::vector<WindowEntry> windows;   // front to back
};

// The whole listing, every line ending in a line feed.
std::string text(const Facts& facts);

// Reads the catalog once.
Facts read(const Desktop& desktop, std::string displays);

} // namespace kavelo::Listing
