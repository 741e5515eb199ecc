#include "app/platform/desktop_entries.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>

namespace kavelo {

namespace {

constexpr std::uint32_t folderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                                       IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

std::string lowercase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

// The part after the last dot of a reverse-DNS name (at least three
// parts), else nothing: "display-im6.q16" is no reverse-DNS name.
std::string_view lastPart(std::string_view name)
{
    if (std::count(name.begin(), name.end(), '.') < 2)
        return {};
    return name.substr(name.rfind('.') + 1);
}

std::optional<std::string> variable(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    return std::string(value);
}

} // namespace

DesktopEntries::DesktopEntries(std::vector<std::filesystem::path> dataDirs, std::string locale)
    : dataDirs_(std::move(dataDirs)), locale_(std::move(locale))
{
    scan();
}

DesktopEntries::~DesktopEntries()
{
    if (notices_ >= 0)
        close(notices_);
}

std::vector<std::filesystem::path> DesktopEntries::dataDirsFromEnvironment()
{
    std::vector<std::filesystem::path> out;
    if (auto home = variable("XDG_DATA_HOME"); home && home->front() == '/')
        out.emplace_back(*home);
    else if (auto user = variable("HOME"))
        out.push_back(std::filesystem::path(*user) / ".local/share");
    const std::string dirs = variable("XDG_DATA_DIRS").value_or("/usr/local/share:/usr/share");
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const auto end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && dir.front() == '/' && std::find(out.begin(), out.end(), dir) == out.end())
            out.emplace_back(dir);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

std::string DesktopEntries::localeFromEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (auto value = variable(name))
            return *value;
    return "C";
}

void DesktopEntries::watch(const std::filesystem::path& folder, bool onlyApplications)
{
    if (notices_ < 0)
        return;
    const int wd = inotify_add_watch(notices_, folder.c_str(), folderEvents);
    if (wd >= 0)
        onlyApplications_[wd] = onlyApplications;
}

void DesktopEntries::scanFolder(const std::filesystem::path& root, const std::filesystem::path& folder,
                                std::unordered_map<std::string, bool>& seen)
{
    watch(folder, false);
    std::error_code error;
    std::vector<std::filesystem::path> children;
    for (auto it = std::filesystem::directory_iterator(folder, error); !error && it != std::filesystem::directory_iterator();
         it.increment(error))
        children.push_back(it->path());
    // A fixed order: the first of two entries claiming one class must not
    // depend on the folder's listing.
    std::sort(children.begin(), children.end());
    for (const auto& child : children) {
        if (std::filesystem::is_directory(child, error)) {
            scanFolder(root, child, seen);
            continue;
        }
        if (child.extension() != ".desktop")
            continue;
        std::string id = std::filesystem::relative(child, root, error).string();
        if (error)
            continue;
        std::replace(id.begin(), id.end(), '/', '-');
        if (seen.count(id))
            continue;
        auto entry = DesktopEntry::load(child, locale_);
        if (!entry)
            continue;
        seen.emplace(id, true);
        entry->id = std::move(id);
        const std::size_t index = entries_.size();
        const std::string stem = lowercase(std::string_view(entry->id).substr(0, entry->id.size() - 8));
        byId_.emplace(stem, index);
        if (!entry->startupWMClass.empty())
            byClass_[entry->startupWMClass].push_back(index);
        if (const auto last = lastPart(stem); !last.empty())
            byLastPart_[std::string(last)].push_back(index);
        entries_.push_back(std::move(*entry));
    }
}

void DesktopEntries::scan()
{
    ++reads_;
    entries_.clear();
    byId_.clear();
    byClass_.clear();
    byLastPart_.clear();
    onlyApplications_.clear();
    if (notices_ >= 0)
        close(notices_);
    notices_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::unordered_map<std::string, bool> seen;
    for (const auto& dir : dataDirs_) {
        // The data folder itself, for an "applications" folder made later.
        watch(dir, true);
        const auto applications = dir / "applications";
        std::error_code error;
        if (std::filesystem::is_directory(applications, error))
            scanFolder(applications, applications, seen);
    }
}

void DesktopEntries::refresh()
{
    if (notices_ < 0)
        return;
    alignas(inotify_event) std::array<char, 4096> buffer;
    bool changed = false;
    for (;;) {
        const ssize_t n = read(notices_, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const auto only = onlyApplications_.find(event->wd);
            if (event->mask & IN_Q_OVERFLOW)
                changed = true;
            else if (only != onlyApplications_.end() && !only->second)
                changed = true;
            else if (only != onlyApplications_.end() && event->len > 0 && std::string_view(event->name) == "applications")
                changed = true;
        }
    }
    if (changed)
        scan();
}

const DesktopEntry* DesktopEntries::byLowerId(const std::string& id, const Usable& usable) const
{
    if (auto it = byId_.find(id); it != byId_.end() && usable(entries_[it->second]))
        return &entries_[it->second];
    return nullptr;
}

// A window's own word for its entry: an id, or a file whose name is one.
const DesktopEntry* DesktopEntries::byDesktopId(std::string_view id, const Usable& usable) const
{
    if (const auto slash = id.rfind('/'); slash != std::string_view::npos)
        id = id.substr(slash + 1);
    if (id.ends_with(".desktop"))
        id.remove_suffix(8);
    return id.empty() ? nullptr : byLowerId(lowercase(id), usable);
}

const DesktopEntry* DesktopEntries::find(const ProgramIdentity& program, const Usable& usable) const
{
    if (const DesktopEntry* e = byDesktopId(program.applicationId, usable))
        return e;
    if (const DesktopEntry* e = byDesktopId(program.desktopFile, usable))
        return e;
    const std::string_view wmClass = program.wmClass.empty() ? program.instance : program.wmClass;
    if (wmClass.empty())
        return nullptr;
    const std::string lower = lowercase(wmClass);
    if (auto it = byClass_.find(std::string(wmClass)); it != byClass_.end()) {
        const DesktopEntry* first = nullptr;
        for (std::size_t index : it->second) {
            const DesktopEntry& e = entries_[index];
            if (!usable(e))
                continue;
            if (lowercase(std::string_view(e.id).substr(0, e.id.size() - 8)) == lower)
                return &e;
            if (!first)
                first = &e;
        }
        if (first)
            return first;
    }
    const auto byLast = [&](const std::string& name) -> const DesktopEntry* {
        if (auto it = byLastPart_.find(name); it != byLastPart_.end())
            for (std::size_t index : it->second)
                if (usable(entries_[index]))
                    return &entries_[index];
        return nullptr;
    };
    if (const DesktopEntry* e = byLowerId(lower, usable))
        return e;
    if (const DesktopEntry* e = byLast(lower))
        return e;
    if (const std::string last(lastPart(lower)); !last.empty()) {
        if (const DesktopEntry* e = byLowerId(last, usable))
            return e;
        if (const DesktopEntry* e = byLast(last))
            return e;
    }
    return nullptr;
}

const DesktopEntry* DesktopEntries::forProgram(const ProgramIdentity& program) const
{
    return find(program, [](const DesktopEntry&) { return true; });
}

const DesktopEntry* DesktopEntries::forClass(std::string_view wmClass) const
{
    return forProgram(ProgramIdentity{.wmClass = std::string(wmClass)});
}

const DesktopEntry* DesktopEntries::toLaunch(std::string_view wmClass) const
{
    return find(ProgramIdentity{.wmClass = std::string(wmClass)},
                [](const DesktopEntry& e) { return !e.hidden && !e.tryExecFails() && !e.exec.empty(); });
}

std::string applicationName(const DesktopEntries& entries, const ProgramIdentity& program, std::string_view command)
{
    if (const DesktopEntry* entry = entries.forProgram(program))
        return entry->name;
    if (!program.wmClass.empty())
        return program.wmClass;
    if (!program.instance.empty())
        return program.instance;
    return std::string(command);
}

} // namespace kavelo
