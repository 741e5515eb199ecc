#pragma once

// Which Firefox profile folders to read: those that a running Firefox holds
// (its "lock" link names its process), as "profiles.ini" lists them. A folder, or a session file, is read only when it
// is the user's own: a link to someone else's is not followed.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo::FirefoxProfiles {

struct Listed {
    // The profiles the installs start with, then those marked default.
    std::vector<std::filesystem::path> defaults;
    std::vector<std::filesystem::path> all;
    friend bool operator==(const Listed&, const Listed&) = default;
};

// Sections after these are not read: a real file has a few.
inline constexpr std::size_t mostSections = 1'000;

// The profiles of a "profiles.ini" text; relative paths are taken from
// `base`, the folder of the file.
Listed parse(std::string_view ini, const std::filesystem::path& base);

// Where "profiles.ini" lives: $XDG_CONFIG_HOME/mozilla/firefox when it has
// one, else ~/.mozilla/firefox. None without a home. Why a folder could not
// be looked into goes to `problem`.
std::optional<std::filesystem::path> base(std::string* problem = nullptr);

// The process holding the profile, from its "lock" link ("address:+pid").
std::optional<std::int32_t> lockHolder(const std::filesystem::path& profile);

// Whether `path` (followed through links) belongs to this user.
bool isOwn(const std::filesystem::path& path);

// The profile folders held by `pids`, else the default ones held by any
// process; only the user's own. A profile no Firefox holds has a stale
// session file. Why "profiles.ini" could not be read goes to `problem`.
std::vector<std::filesystem::path> inUse(const std::filesystem::path& base, const std::set<std::int32_t>& pids,
                                         std::string* problem = nullptr);

} // namespace kavelo::FirefoxProfiles
