#include "app/platform/x11/backend.h"

#include "app/platform/x11/x11_desktop.h"

#include <cstdlib>

namespace kavelo {

std::optional<BackendChoice> backendChoice(std::optional<std::string_view> variable)
{
    if (!variable || variable->empty() || *variable == "auto")
        return BackendChoice::automatic;
    if (*variable == "x11")
        return BackendChoice::x11;
    if (*variable == "sim")
        return BackendChoice::sim;
    return std::nullopt;
}

std::unique_ptr<DesktopBackend> openDesktopBackend(
    const std::function<std::optional<std::string>(std::string_view)>& lookup, std::string* error)
{
    const auto variable = lookup(backendVariable);
    const auto choice = backendChoice(variable ? std::optional<std::string_view>(*variable) : std::nullopt);
    if (!choice) {
        if (error)
            *error = std::string(backendVariable) + " must be x11 or sim, not \"" + *variable + "\"";
        return nullptr;
    }
    if (*choice == BackendChoice::sim)
        return std::make_unique<SimBackend>();
    const auto display = lookup("DISPLAY");
    std::string why;
    if (display && !display->empty()) {
        if (auto desktop = X11Desktop::connect(*display, &why))
            return desktop;
    } else {
        why = "DISPLAY is not set";
    }
    if (*choice == BackendChoice::x11) {
        if (error)
            *error = why;
        return nullptr;
    }
    return std::make_unique<SimBackend>();
}

std::unique_ptr<DesktopBackend> openDesktopBackend(std::string* error)
{
    return openDesktopBackend(
        [](std::string_view name) -> std::optional<std::string> {
            const char* value = std::getenv(std::string(name).c_str());
            if (!value)
                return std::nullopt;
            return std::string(value);
        },
        error);
}

} // namespace kavelo
