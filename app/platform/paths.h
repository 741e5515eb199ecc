#pragma once

// Where Kavelo keeps its files, after the XDG base directories:
//   Application Support  $XDG_DATA_HOME/Kavelo   (~/.local/share/Kavelo)
//   Logs                 $XDG_STATE_HOME/Kavelo  (~/.local/state/Kavelo)
//   user defaults        $XDG_CONFIG_HOME/Kavelo/defaults.json
//   login item           $XDG_CONFIG_HOME/autostart/kavelo.desktop
// A variable that is unset, empty or not an absolute path is ignored.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kavelo {

struct Paths {
    std::filesystem::path applicationSupport;
    std::filesystem::path logs;
    std::filesystem::path userDefaults;
    std::filesystem::path autostartEntry;
    friend bool operator==(const Paths&, const Paths&) = default;

    // From the process environment.
    static Paths current();
    // From any environment; `lookup` answers a variable's value.
    static Paths from(const std::function<std::optional<std::string>(std::string_view)>& lookup);
};

} // namespace kavelo
