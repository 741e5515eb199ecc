#pragma once

// Trust and the windows of one application, through the accessibility layer.

#include "app/platform/element.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kavelo {

class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Never prompts.
    virtual bool isTrusted() const = 0;
    // Asks the user with the system's prompt when not yet trusted; answers
    // the trust as it stands now (a grant usually comes later).
    virtual bool requestTrust() = 0;

    // The application's windows on the desktops shown now, in its own order;
    // no value when the application does not answer or trust is missing.
    virtual std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const = 0;
    // Its focused window; null when it has none or cannot be asked.
    virtual ElementRef focusedWindow(std::int32_t pid) const = 0;
};

} // namespace kavelo
