#pragma once

// A short message with a symbol icon, shown for a moment near the bottom of
// the display under the pointer. Logic tells the user about the result of a
// command through this; the panel that draws it lives with the widgets.

#include <functional>
#include <string>

namespace kavelo {

class Toast {
public:
    virtual ~Toast() = default;
    // Replaces whatever is showing. `icon` is a symbol name such as
    // "checkmark.circle.fill".
    virtual void show(std::string text, std::string icon) = 0;
    // The same, offering what a click on it does; it stays a little longer
    // for the hand to get there. Without a way to click, only the message.
    virtual void offer(std::string text, std::string icon, std::function<void()> clicked)
    {
        (void)clicked;
        show(std::move(text), std::move(icon));
    }
};

} // namespace kavelo
