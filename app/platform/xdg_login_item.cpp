#include "app/platform/xdg_login_item.h"

#include "core/json.h"

#include <sstream>

namespace kavelo {

namespace {

std::string trimmedCopy(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return std::string(s.substr(first, last - first + 1));
}

} // namespace

XdgLoginItem::XdgLoginItem(std::filesystem::path entry, std::string executable)
    : entry_(std::move(entry)), executable_(std::move(executable))
{
}

std::optional<std::string> XdgLoginItem::execValue(const std::string& executable)
{
    if (executable.empty())
        return std::nullopt;
    std::string value = "\"";
    for (char c : executable) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return std::nullopt;
        switch (c) {
        // Inside the quotes these take a backslash; the backslash itself is
        // then escaped once more as a desktop-entry string.
        case '"': value += "\\\\\""; break;
        case '`': value += "\\\\`"; break;
        case '$': value += "\\\\$"; break;
        case '\\': value += "\\\\\\\\"; break;
        case '%': value += "%%"; break;
        default: value += c;
        }
    }
    value += '"';
    return value;
}

std::optional<std::string> XdgLoginItem::entryText(const std::string& executable)
{
    const std::optional<std::string> exec = execValue(executable);
    if (!exec)
        return std::nullopt;
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kavelo\n"
           "Comment=Keyboard-driven window manager\n"
           "Exec=" + *exec + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

LoginItemStatus XdgLoginItem::status() const
{
    const std::optional<std::string> text = readFile(entry_);
    const std::optional<std::string> exec = execValue(executable_);
    if (!text || !exec)
        return LoginItemStatus::notRegistered;
    std::istringstream lines(*text);
    std::string line;
    bool inEntry = false;
    bool startsThis = false;
    bool off = false;
    while (std::getline(lines, line)) {
        const std::string l = trimmedCopy(line);
        if (l.empty() || l.front() == '#')
            continue;
        if (l.front() == '[') {
            inEntry = l == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        const auto eq = l.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = trimmedCopy(std::string_view(l).substr(0, eq));
        const std::string value = trimmedCopy(std::string_view(l).substr(eq + 1));
        if (key == "Exec")
            startsThis = value == *exec;
        else if (key == "Hidden" && value == "true")
            off = true;
        else if (key == "X-GNOME-Autostart-enabled" && value == "false")
            off = true;
    }
    return startsThis && !off ? LoginItemStatus::enabled : LoginItemStatus::notRegistered;
}

bool XdgLoginItem::registerItem()
{
    const std::optional<std::string> text = entryText(executable_);
    if (!text)
        return false;
    std::error_code ec;
    std::filesystem::create_directories(entry_.parent_path(), ec);
    return !writeFileAtomically(entry_, *text);
}

bool XdgLoginItem::unregisterItem()
{
    std::error_code ec;
    std::filesystem::remove(entry_, ec);
    return !ec;
}

} // namespace kavelo
