#pragma once

// Which desktop the program runs on: the X server when one is reachable,
// otherwise the simulated desktop. KAVELO_BACKEND=x11 or =sim forces either.

#include "app/platform/desktop_backend.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kavelo {

enum class BackendChoice { automatic, x11, sim };

inline constexpr const char* backendVariable = "KAVELO_BACKEND";

// What the variable asks for; no value for a text that names no backend.
std::optional<BackendChoice> backendChoice(std::optional<std::string_view> variable);

// Opens the chosen desktop. `lookup` answers environment variables. Null only
// when X11 is forced and no server answers; `error` then says why.
std::unique_ptr<DesktopBackend> openDesktopBackend(
    const std::function<std::optional<std::string>(std::string_view)>& lookup, std::string* error = nullptr);
// The same, from the process environment.
std::unique_ptr<DesktopBackend> openDesktopBackend(std::string* error = nullptr);

} // namespace kavelo
