#include "core/window_entry.h"
#include "core/raw_value.h"

#include "core/json.h"
#include "core/text.h"

namespace kavelo {

std::string_view rawValue(WindowState state)
{
    switch (state) {
    case WindowState::visible: return "visible";
    case WindowState::minimized: return "minimized";
    case WindowState::hidden: return "hidden";
    case WindowState::otherSpace: return "otherSpace";
    }
    return "visible";
}

std::optional<WindowState> WindowState_from(std::string_view raw)
{
    return caseNamed(std::initializer_list<WindowState>{WindowState::visible, WindowState::minimized, WindowState::hidden, WindowState::otherSpace}, raw);
}

bool operator==(const WindowEntry& a, const WindowEntry& b)
{
    return a.id == b.id && a.pid == b.pid && a.frame == b.frame && a.state == b.state &&
           text::canonicallyEqual(a.appName, b.appName) && text::canonicallyEqual(a.bundleID, b.bundleID) &&
           text::canonicallyEqual(a.title, b.title);
}

namespace json {

Json encode(WindowState state) { return Json(std::string(rawValue(state))); }

WindowState windowState(const Json& j) { return enumeration<WindowState>(j, WindowState_from); }

} // namespace json

} // namespace kavelo
