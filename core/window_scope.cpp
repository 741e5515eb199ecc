#include "core/window_scope.h"
#include "core/raw_value.h"

namespace kavelo {

std::string_view rawValue(WindowScope scope)
{
    switch (scope) {
    case WindowScope::all: return "all";
    case WindowScope::thisDesktop: return "thisDesktop";
    case WindowScope::minimized: return "minimized";
    case WindowScope::otherDesktops: return "otherDesktops";
    }
    return "all";
}

std::optional<WindowScope> WindowScope_from(std::string_view raw)
{
    return caseNamed(allWindowScopes, raw);
}

std::string_view title(WindowScope scope)
{
    switch (scope) {
    case WindowScope::all: return "All";
    case WindowScope::thisDesktop: return "This desktop";
    case WindowScope::minimized: return "Minimized";
    case WindowScope::otherDesktops: return "Other desktops";
    }
    return "All";
}

bool includes(WindowScope scope, WindowState state)
{
    switch (scope) {
    case WindowScope::all: return true;
    // A hidden application's windows still belong to this desktop.
    case WindowScope::thisDesktop: return state == WindowState::visible || state == WindowState::hidden;
    case WindowScope::minimized: return state == WindowState::minimized;
    case WindowScope::otherDesktops: return state == WindowState::otherSpace;
    }
    return false;
}

} // namespace kavelo
