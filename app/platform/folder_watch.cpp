#include "app/platform/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace kavelo {

namespace {

constexpr std::uint32_t entryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE;
constexpr std::uint32_t selfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Folders made one after another while the watch walks up to them.
constexpr int maxWalks = 16;

} // namespace

FolderWatch::FolderWatch(std::filesystem::path folder, const ReadableWatch& watch, Matters matters,
                         std::function<void()> changed)
    : folder_(std::move(folder)), matters_(std::move(matters)), changed_(std::move(changed))
{
    if (!watch)
        return;
    notices_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notices_ < 0)
        return;
    arm();
    readable_ = watch(notices_, [this] { read(); });
}

FolderWatch::~FolderWatch()
{
    readable_.cancel();
    if (notices_ >= 0)
        close(notices_);
}

bool FolderWatch::arm()
{
    if (watched_ >= 0)
        inotify_rm_watch(notices_, watched_);
    watched_ = -1;
    for (int walk = 0; walk < maxWalks; ++walk) {
        std::filesystem::path below;
        int belowError = 0;
        for (std::filesystem::path at = folder_;; below = at, at = at.parent_path()) {
            onFolder_ = below.empty();
            // Above the folder only the next folder down being made matters.
            watched_ = inotify_add_watch(notices_, at.c_str(),
                                         (onFolder_ ? entryEvents : IN_CREATE | IN_MOVED_TO) | selfEvents);
            if (watched_ >= 0)
                break;
            belowError = errno;
            if (at == at.parent_path() || !at.has_relative_path())
                return false;
        }
        if (onFolder_)
            return true;
        next_ = below.filename().string();
        // Made since its own watch failed: its notice has gone by.
        std::error_code error;
        if (belowError != ENOENT || !std::filesystem::exists(below, error) || walk + 1 == maxWalks)
            return false;
        inotify_rm_watch(notices_, watched_);
        watched_ = -1;
    }
    return false;
}

void FolderWatch::read()
{
    alignas(inotify_event) std::array<char, 4096> buffer;
    bool changed = false;
    bool moved = false;
    for (;;) {
        const ssize_t n = ::read(notices_, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const std::string_view name = event->len > 0 ? std::string_view(event->name) : std::string_view();
            if (event->mask & IN_Q_OVERFLOW) {
                // Notices were lost, a move of the folder among them perhaps.
                changed = moved = true;
            } else if (event->wd != watched_) {
                // A watch given up before.
            } else if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                changed = onFolder_ || changed;
                moved = true;
            } else if (onFolder_) {
                changed = changed || !matters_ || matters_(name);
            } else if (name == next_) {
                moved = true;
            }
        }
    }
    // A folder made just now may already hold entries.
    if (moved && arm())
        changed = true;
    if (changed && changed_)
        changed_();
}

} // namespace kavelo
