#include "app/platform/paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kavelo {

namespace {

std::optional<std::filesystem::path> absolute(const std::optional<std::string>& value)
{
    if (!value || value->empty())
        return std::nullopt;
    std::filesystem::path p(*value);
    if (!p.is_absolute())
        return std::nullopt;
    return p;
}

std::filesystem::path accountHome()
{
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return pw->pw_dir;
    // A TMPDIR that names no folder must not end the start.
    std::error_code error;
    std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/tmp") : temporary;
}

} // namespace

Paths Paths::from(const std::function<std::optional<std::string>(std::string_view)>& lookup)
{
    const std::filesystem::path home = absolute(lookup("HOME")).value_or(accountHome());
    const auto base = [&](std::string_view variable, const char* fallback) {
        return absolute(lookup(variable)).value_or(home / fallback);
    };
    Paths paths;
    paths.applicationSupport = base("XDG_DATA_HOME", ".local/share") / "Kavelo";
    paths.logs = base("XDG_STATE_HOME", ".local/state") / "Kavelo";
    paths.userDefaults = base("XDG_CONFIG_HOME", ".config") / "Kavelo" / "defaults.json";
    paths.autostartEntry = base("XDG_CONFIG_HOME", ".config") / "autostart" / "kavelo.desktop";
    return paths;
}

Paths Paths::current()
{
    return from([](std::string_view name) -> std::optional<std::string> {
        const char* value = std::getenv(std::string(name).c_str());
        if (!value)
            return std::nullopt;
        return std::string(value);
    });
}

} // namespace kavelo
