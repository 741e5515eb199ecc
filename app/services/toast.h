#pragma once

// A short message with a symbol icon, shown for a moment near the bottom of
// the display under the pointer. Logic tells the user about the result of a
// command through this; the panel that draws it lives with the widgets.

#include <string>

namespace kavelo {

class Toast {
public:
    virtual ~Toast() = default;
    // Replaces whatever is showing. `icon` is a symbol name such as
    // "checkmark.circle.fill".
    virtual void show(std::string text, std::string icon) = 0;
};

} // namespace kavelo
