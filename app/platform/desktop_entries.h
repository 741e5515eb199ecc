#pragma once

// The installed applications' XDG desktop entries, read once and kept: the
// entry a running program is known by (the desktop id its window names,
// else its WM_CLASS class against `StartupWMClass`, else a desktop id
// matching the class whatever the case and reverse-DNS prefix), for its
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

// What a window tells of the program behind it.
struct ProgramIdentity {
    std::string applicationId;   // _GTK_APPLICATION_ID: a desktop id
    std::string desktopFile;     // _KDE_NET_WM_DESKTOP_FILE: a desktop id or file
    std::string wmClass;         // WM_CLASS class
    std::string instance;        // WM_CLASS instance, asked when there is no class
};

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

    // The entry a program is known by, hidden and menu-less entries
    // included: the desktop id of its application id, else of its desktop
    // file; else the entries whose `StartupWMClass` is its class (the one
    // whose desktop id matches, else the first in folder order); else the
    // desktop id equal to the class in any case, with or without a
    // reverse-DNS prefix on either side ("kcalc" finds "org.kde.kcalc").
    // Null when none; valid until the next `refresh()`.
    const DesktopEntry* forProgram(const ProgramIdentity& program) const;
    // The same for a program known only by its class.
    const DesktopEntry* forClass(std::string_view wmClass) const;
    // The entry to start the program from: the same choice among entries
    // that are not hidden and whose `TryExec` program exists.
    const DesktopEntry* toLaunch(std::string_view wmClass) const;

    std::size_t size() const { return entries_.size(); }
    // How many times the folders were read.
    int reads() const { return reads_; }

private:
    using Usable = std::function<bool(const DesktopEntry&)>;
    const DesktopEntry* find(const ProgramIdentity& program, const Usable& usable) const;
    const DesktopEntry* byDesktopId(std::string_view id, const Usable& usable) const;
    const DesktopEntry* byLowerId(const std::string& id, const Usable& usable) const;
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
    // The last part of a lower-case reverse-DNS desktop id ("kcalc" of
    // "org.kde.kcalc") → entries, in folder order.
    std::unordered_map<std::string, std::vector<std::size_t>> byLastPart_;
    int notices_ = -1;
    // Watches on data folders: only their "applications" child matters.
    std::unordered_map<int, bool> onlyApplications_;
    int reads_ = 0;
};

// The name a running program goes by: its desktop entry's name, else its
// class, else its instance, else its command name.
std::string applicationName(const DesktopEntries& entries, const ProgramIdentity& program, std::string_view command);

} // namespace kavelo
