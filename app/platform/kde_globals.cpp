#include "app/platform/kde_globals.h"

#include "core/text.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kavelo::KdeGlobals {

namespace {

std::optional<std::filesystem::path> absolute(const char* value)
{
    if (!value || !*value || value[0] != '/')
        return std::nullopt;
    return std::filesystem::path(value);
}

// A settings file is small; a huge one is not KDE's.
constexpr std::uintmax_t largestFile = 1 << 20;

} // namespace

std::optional<double> animationDurationFactor(std::string_view file)
{
    std::optional<double> out;
    bool inGroup = false;
    while (!file.empty()) {
        const auto end = file.find('\n');
        const std::string line = text::trimmingWhitespace(file.substr(0, end));
        file = end == std::string_view::npos ? std::string_view() : file.substr(end + 1);
        if (line.starts_with('[')) {
            inGroup = line == "[KDE]";
            continue;
        }
        if (!inGroup)
            continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string key = text::trimmingWhitespace(std::string_view(line).substr(0, equals));
        // Flags such as "[$i]" (immutable) follow the key.
        if (const auto flags = key.find('['); flags != std::string_view::npos)
            key = text::trimmingWhitespace(std::string_view(key).substr(0, flags));
        if (key != "AnimationDurationFactor")
            continue;
        const std::string value = text::trimmingWhitespace(std::string_view(line).substr(equals + 1));
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
