#include "app/services/firefox_profiles.h"

#include "core/json.h"
#include "core/text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

namespace kavelo::FirefoxProfiles {

namespace {

namespace fs = std::filesystem;

// A profiles.ini is a few lines per profile.
constexpr std::uintmax_t largestIni = 1 << 20;

// A list without repeats, in the order first met.
struct Unique {
    std::vector<fs::path>& list;
    std::set<fs::path> seen{};
    void add(const fs::path& p)
    {
        if (seen.insert(p).second)
            list.push_back(p);
    }
};

} // namespace

Listed parse(std::string_view ini, const fs::path& base)
{
    using Section = std::map<std::string, std::string, std::less<>>;
    std::vector<std::pair<std::string, Section>> sections;
    while (!ini.empty()) {
        const auto end = ini.find('\n');
        const std::string kept = text::trimmingWhitespace(ini.substr(0, end));
        const std::string_view line = kept;
        ini = end == std::string_view::npos ? std::string_view() : ini.substr(end + 1);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            if (sections.size() == mostSections)
                break;
            sections.emplace_back(std::string(line.substr(1, line.size() - 2)), Section{});
        } else if (const auto eq = line.find('='); eq != std::string_view::npos && !sections.empty()) {
            sections.back().second[text::trimmingWhitespace(line.substr(0, eq))] =
                text::trimmingWhitespace(line.substr(eq + 1));
        }
    }
    const auto folder = [&](std::string_view path, bool relative) { return relative ? base / path : fs::path(path); };
    Listed out;
    Unique defaults{out.defaults}, all{out.all};
    std::vector<fs::path> marked;
    for (const auto& [name, keys] : sections) {
        const auto path = keys.find("Path");
        if (name.starts_with("Install")) {
            if (const auto d = keys.find("Default"); d != keys.end() && !d->second.empty())
                defaults.add(folder(d->second, !d->second.starts_with('/')));
        } else if (name.starts_with("Profile") && path != keys.end() && !path->second.empty()) {
            const auto rel = keys.find("IsRelative");
            const fs::path p = folder(path->second, rel == keys.end() || rel->second != "0");
            all.add(p);
            if (const auto d = keys.find("Default"); d != keys.end() && d->second == "1")
                marked.push_back(p);
        }
    }
    for (const auto& p : marked)
        defaults.add(p);
    return out;
}

std::optional<fs::path> base(std::string* problem)
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const bool xdgConfig = config && config[0] == '/';
    // A folder that cannot be looked into (a link loop, one a Firefox run
    // as root left behind) holds no profiles Firefox could use either.
    const auto holdsProfiles = [problem](const fs::path& folder) {
        std::error_code error;
        const bool there = fs::exists(folder / "profiles.ini", error);
        if (error && problem)
            *problem = (folder / "profiles.ini").string() + ": " + error.message();
        return there;
    };
    if (xdgConfig && holdsProfiles(fs::path(config) / "mozilla" / "firefox"))
        return fs::path(config) / "mozilla" / "firefox";
    if (!home || home[0] != '/')
        return std::nullopt;
    if (!xdgConfig && holdsProfiles(fs::path(home) / ".config" / "mozilla" / "firefox"))
        return fs::path(home) / ".config" / "mozilla" / "firefox";
    return fs::path(home) / ".mozilla" / "firefox";
}

std::optional<std::int32_t> lockHolder(const fs::path& profile)
{
    std::error_code error;
    const std::string target = fs::read_symlink(profile / "lock", error).string();
    const auto plus = target.rfind(":+");
    if (error || plus == std::string::npos)
        return std::nullopt;
    std::int32_t pid = 0;
    const char* first = target.data() + plus + 2;
    const char* last = target.data() + target.size();
    const auto [ptr, ec] = std::from_chars(first, last, pid);
    if (ec != std::errc() || ptr != last || pid <= 0)
        return std::nullopt;
    return pid;
}

bool isOwn(const fs::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_uid == ::getuid();
}

std::vector<fs::path> inUse(const fs::path& base, const std::set<std::int32_t>& pids, std::string* problem)
{
    const fs::path file = base / "profiles.ini";
    const auto fail = [&](const std::string& why) {
        if (problem)
            *problem = file.string() + ": " + why;
        return std::vector<fs::path>{};
    };
    std::error_code error;
    const auto size = fs::file_size(file, error);
    if (error)
        return fail(error.message());
    if (size > largestIni)
        return fail("too large");
    if (!isOwn(file))
        return fail("not the user's own");
    const std::optional<std::string> text = readFile(file, largestIni);
    if (!text)
        return fail("cannot be read");
    const Listed listed = parse(*text, base);
    // Both lists are free of repeats.
    std::vector<fs::path> out;
    for (const auto& p : listed.all)
        if (const auto holder = lockHolder(p); holder && pids.count(*holder) && isOwn(p))
            out.push_back(p);
    // A Firefox in another process namespace names pids unknown here; a
    // default profile that is held at all is its.
    if (out.empty())
        for (const auto& p : listed.defaults)
            if (lockHolder(p) && isOwn(p))
                out.push_back(p);
    return out;
}

} // namespace kavelo::FirefoxProfiles
