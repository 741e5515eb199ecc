#pragma once

// The windows and tabs of a running Firefox, from the session file it
// rewrites every few seconds: "sessionstore-backups/recovery.jsonlz4" in
// its profile. Private windows are never written there; a window marked
// private is skipped all the same.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo::FirefoxSession {

struct Tab {
    std::string url;   // the page the tab shows
    bool pinned = false;
    friend bool operator==(const Tab&, const Tab&) = default;
};

struct Window {
    std::vector<Tab> tabs;
    friend bool operator==(const Window&, const Window&) = default;
};

// Larger files are not read.
inline constexpr std::uintmax_t largestFile = 64u << 20;
// Deeper JSON is no session: Firefox's own nesting is shallow.
inline constexpr int deepestNesting = 64;

// The open windows of a session text; none, with the reason, when it is
// not one.
std::optional<std::vector<Window>> parse(std::string_view json, std::string* problem = nullptr);

// The same from a compressed session file on disk.
std::optional<std::vector<Window>> read(const std::filesystem::path& file, std::string* problem = nullptr);

// Every tab's address, window by window.
std::vector<std::string> addresses(const std::vector<Window>& windows);

inline std::filesystem::path recoveryFile(const std::filesystem::path& profile)
{
    return profile / "sessionstore-backups" / "recovery.jsonlz4";
}

} // namespace kavelo::FirefoxSession
