#include "app/platform/kde_globals.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kavelo::KdeGlobals {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<std::filesystem::path> absolute(const char* value)
{
    if (!value || !*value || value[0] != '/')
        return std::nullopt;
    return std::filesystem::path(value);
}

// A settings file is small; a huge one is not KDE's.
constexpr std::uintmax_t largestFile = 1 << 20;

} // namespace

std::optional<double> animationDurationFactor(std::string_view text)
{
    std::optional<double> out;
    bool inGroup = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with('[')) {
            inGroup = line == "[KDE]";
            continue;
        }
        if (!inGroup)
            continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view key = trimmed(line.substr(0, equals));
        // Flags such as "[$i]" (immutable) follow the key.
        if (const auto flags = key.find('['); flags != std::string_view::npos)
            key = trimmed(key.substr(0, flags));
        if (key != "AnimationDurationFactor")
            continue;
        const std::string_view value = trimmed(line.substr(equals + 1));
        double v = 0;
        const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
        if (ec == std::errc() && ptr == value.data() + value.size())
            out = v;
    }
    return out;
}

std::vector<std::filesystem::path> files()
{
    std::vector<std::filesystem::path> out;
    if (auto home = absolute(std::getenv("XDG_CONFIG_HOME")))
        out.push_back(*home / "kdeglobals");
    else if (auto user = absolute(std::getenv("HOME")))
        out.push_back(*user / ".config" / "kdeglobals");
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string_view list = dirs && *dirs ? dirs : "/etc/xdg";
    while (!list.empty()) {
        const auto colon = list.find(':');
        const std::string dir(list.substr(0, colon));
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        if (auto path = absolute(dir.c_str()))
            out.push_back(*path / "kdeglobals");
    }
    return out;
}

bool reducesMotion(const std::vector<std::filesystem::path>& files)
{
    for (const auto& file : files) {
        std::error_code error;
        const auto size = std::filesystem::file_size(file, error);
        if (error || size > largestFile)
            continue;
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (const auto factor = animationDurationFactor(text.str()))
            return *factor == 0;
    }
    return false;
}

} // namespace kavelo::KdeGlobals
