#pragma once

#include "core/geometry.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavelo {

// The window server's window number, or a synthetic identity above
// `syntheticWindowIDBase` for a window that has none.
using WindowID = std::uint32_t;
inline constexpr WindowID syntheticWindowIDBase = 0xF0000000u;

enum class WindowState { visible, minimized, hidden, otherSpace };

std::string_view rawValue(WindowState state);
std::optional<WindowState> WindowState_from(std::string_view raw);

namespace json {
// A state travels as its raw text; any other text fails.
nlohmann::json encode(WindowState state);
WindowState windowState(const nlohmann::json& j);
} // namespace json

// One live window as the catalog lists it.
struct WindowEntry {
    WindowID id = 0;
    std::int32_t pid = 0;
    std::string appName;
    std::string bundleID;
    std::string title;
    Rect frame;
    WindowState state = WindowState::visible;

    // Texts compare under canonical equivalence, frames exactly.
    friend bool operator==(const WindowEntry& a, const WindowEntry& b);
};

} // namespace kavelo
