#pragma once

// The installed applications' XDG desktop entries, read once and kept: the
// entry a running program is known by (its WM_CLASS class against
// `StartupWMClass`, or a desktop id matching it whatever the case), for its
// name and icon and for starting it again. The folders are watched, so an
// application installed or removed while we run is seen at the next
// `refresh()`.
//
// Folders, highest precedence first: $XDG_DATA_HOME/applications, then
// applications in each of $XDG_DATA_DIRS. An id found in an earlier folder
// hides the same id further on. Main thread only.

#include "app/platform/desktop_entry.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kavelo {

class DesktopEntries {
public:
    // `dataDirs` in precedence order (each holds an "applications" folder);
    // `locale` picks the names' language.
    DesktopEntries(std::vector<std::filesystem::path> dataDirs, std::string locale);
    ~DesktopEntries();
    DesktopEntries(const DesktopEntries&) = delete;
    DesktopEntries& operator=(const DesktopEntries&) = delete;

    // From the environment: the XDG variables (with their defaults) and
    // LC_ALL, LC_MESSAGES or LANG.
    static std::vector<std::filesystem::path> dataDirsFromEnvironment();
    static std::string localeFromEnvironment();

    // Reads the folders again when they changed since the last read. One
    // system call when nothing did.
    void refresh();

    // The entry a program with this WM_CLASS class (or, lacking one, its
    // instance) is known by, hidden and menu-less entries included. Among
    // several: the one whose desktop id matches, else the first in folder
    // order. Null when none; valid until the next `refresh()`.
    const DesktopEntry* forClass(std::string_view wmClass) const;
    // The entry to start the program from: the same choice among entries
    // that are not hidden and whose `TryExec` program exists.
    const DesktopEntry* toLaunch(std::string_view wmClass) const;

    std::size_t size() const { return entries_.size(); }
    // How many times the folders were read.
    int reads() const { return reads_; }

private:
    const DesktopEntry* find(std::string_view wmClass, const std::function<bool(const DesktopEntry&)>& usable) const;
    void scan();
    void scanFolder(const std::filesystem::path& root, const std::filesystem::path& folder,
                    std::unordered_map<std::string, bool>& seen);
    void watch(const std::filesystem::path& folder, bool onlyApplications);

    std::vector<std::filesystem::path> dataDirs_;
    std::string locale_;
    std::vector<DesktopEntry> entries_;
    // Lower-case desktop id without ".desktop" → entry.
    std::unordered_map<std::string, std::size_t> byId_;
    // StartupWMClass → entries, in folder order.
    std::unordered_map<std::string, std::vector<std::size_t>> byClass_;
    int notices_ = -1;
    // Watches on data folders: only their "applications" child matters.
    std::unordered_map<int, bool> onlyApplications_;
    int reads_ = 0;
};

// The name a running program goes by: its desktop entry's name (found by
// its class, or by its instance when it has no class), else its class,
// else its instance, else its command name.
std::string applicationName(const DesktopEntries& entries, std::string_view wmClass, std::string_view instance,
                            std::string_view command);

} // namespace kavelo
