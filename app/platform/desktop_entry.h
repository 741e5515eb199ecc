#pragma once

// One application's XDG desktop entry, as far as Kavelo reads it, and the
// program line of its `Exec` key. Malformed entries (no "[Desktop Entry]"
// group first, text that is not UTF-8, no name, a name with control
// characters, not an application) are no entry at all.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

struct DesktopEntry {
    // Larger files are no entries.
    static constexpr std::uintmax_t maxEntryBytes = 1 << 20;

    std::string id;                 // "org.example.App.desktop": the path below "applications", "/" as "-"
    std::filesystem::path file;
    std::string name;               // in the user's language where the entry has it
    std::string icon;               // a theme icon name or an absolute file
    std::string exec;
    std::string tryExec;
    std::string startupWMClass;
    bool hidden = false;            // the user deleted it
    bool noDisplay = false;         // not for menus, still an application

    friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;

    // `locale` is a POSIX locale name such as "de_DE.UTF-8@euro".
    static std::optional<DesktopEntry> parse(std::string_view text, std::string id, std::filesystem::path file,
                                             std::string_view locale);
    // Reads and parses a file; its id is its file name.
    static std::optional<DesktopEntry> load(const std::filesystem::path& file, std::string_view locale);

    // Whether `TryExec` names no program that can be run here.
    bool tryExecFails() const;
};

// The keys a localized value is looked up under, most specific first:
// "de_DE@euro", "de_DE", "de@euro", "de" for "de_DE.UTF-8@euro".
std::vector<std::string> localeKeys(std::string_view locale);

namespace DesktopExec {

// The program and its arguments from an `Exec` value: words split at
// blanks, double-quoted words with their backslash escapes, "%%" a percent
// sign, `addresses` as separate words in place of "%u", "%U", "%f" and
// "%F", every other field code dropped. No value for an empty line or an
// unclosed quote. Never meant for a shell.
std::optional<std::vector<std::string>> arguments(std::string_view exec, const std::vector<std::string>& addresses = {});

} // namespace DesktopExec

// The program file `name` names here: itself when it holds a "/", else the
// first executable of that name along $PATH.
std::optional<std::filesystem::path> findProgram(std::string_view name);

} // namespace kavelo
