#pragma once

// The windows and tabs of a running Firefox, from the session file it
// rewrites every few seconds: "sessionstore-backups/recovery.jsonlz4" in
// its profile. Private windows are never written there; a window marked
// private is skipped all the same.

#include <cstddef>
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
// The reader's bounds, far beyond any real session, so that a hostile file
// costs at most one pass over its text and little memory. Deeper JSON is no
// session (Firefox's own nesting is shallow); more values (of any kind),
// windows, tabs or history entries in one tab fail the read.
inline constexpr int deepestNesting = 64;
inline constexpr std::size_t mostValues = 32'000'000;
inline constexpr std::size_t mostWindows = 1'000;
inline constexpr std::size_t mostTabs = 100'000;
inline constexpr std::size_t mostEntries = 1'000;
// A longer address counts as none; addresses held at once, the history of
// the tab being read included, may not pass `largestAddresses` bytes.
inline constexpr std::size_t longestAddress = 64u << 10;
inline constexpr std::size_t largestAddresses = 64u << 20;

// The open windows of a session text; none, with the reason, when it is
// not one.
std::optional<std::vector<Window>> parse(std::string_view json, std::string* problem = nullptr);

// The same from the bytes of a compressed session file, decompressed piece
// by piece (of `pieceSize` bytes) as the parse goes.
std::optional<std::vector<Window>> decode(std::string_view file, std::string* problem = nullptr,
                                          std::size_t pieceSize = std::size_t(1) << 20);

// The same from a compressed session file on disk.
std::optional<std::vector<Window>> read(const std::filesystem::path& file, std::string* problem = nullptr);

// Every tab's address, window by window.
std::vector<std::string> addresses(const std::vector<Window>& windows);

inline std::filesystem::path recoveryFile(const std::filesystem::path& profile)
{
    return profile / "sessionstore-backups" / "recovery.jsonlz4";
}

} // namespace kavelo::FirefoxSession
