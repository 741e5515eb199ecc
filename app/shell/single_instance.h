#pragma once

// One running Kavelo per X display: two would both grab the keys and
// arrange the same windows. A normal start holds a lock file for its whole
// life and, once launched, listens on a local socket next to it
// (`InstanceServer`). A second start finds the lock held, sends the running
// one a request ("reopen": show the popover; URLs to open; or a workflow to
// save), waits for the answer and ends. A dead instance's lock is free again
// (the system drops it with the process) and its socket is replaced.
//
// The display is named canonically (":1", ":1.0", "unix:1" and
// "localhost:1" are one display), so every way of writing it finds the one
// lock. The files live in `<runtime>/kavelo/`, `<runtime>` being
// $XDG_RUNTIME_DIR, else /tmp/kavelo-<uid> when that is ours, else the
// user's cache folder (someone else may have made the /tmp one first to
// keep us out). Every folder of ours is made 0700 and refused when it is a
// symbolic link or belongs to someone else.
//
// A request is one line of JSON of at most 64 KiB, decoded strictly;
// anything else is answered with an error and does nothing.

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

struct InstancePaths {
    std::filesystem::path folder;
    std::filesystem::path lock;
    std::filesystem::path socket;

    // The display's files, the folders made as needed; none (with `error`
    // saying why) when no safe folder can be had. `shared` is where the
    // folder of all this user's displays goes without a runtime folder.
    static std::optional<InstancePaths> make(const std::function<std::optional<std::string>(std::string_view)>& lookup,
                                             uid_t uid, std::string_view display, std::string* error,
                                             const std::filesystem::path& shared = "/tmp");
    // The display as host and number, without the screen: ":1" for every
    // local way of writing display 1 (`hostName` is this machine's name;
    // empty asks the system), "host:1" for another machine's.
    static std::string canonicalDisplay(std::string_view display, std::string_view hostName = {});
    // The canonical display's name as a file name: "/" and the unusual left out.
    static std::string fileName(std::string_view display);
};

// The lock a running instance holds; released when destroyed or when the
// process ends, however it ends.
class InstanceLock {
public:
    // None when another instance holds it (`error` empty) or it cannot be
    // opened (`error` says why).
    static std::optional<InstanceLock> acquire(const std::filesystem::path& file, std::string* error);
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    ~InstanceLock();

private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

struct InstanceRequest {
    enum class Kind { reopen, open, save };
    Kind kind = Kind::reopen;
    // open: the URLs to handle, in order.
    std::vector<std::string> urls;
    // save: the workflow to store the desktop as.
    std::string name;
    friend bool operator==(const InstanceRequest&, const InstanceRequest&) = default;

    static constexpr std::size_t maxLine = 64 * 1024;
    // URLs one request may carry. A command line goes as one request, so
    // that the instance takes all of it or none; a full request fits the
    // instance's queue beside another.
    static constexpr std::size_t maxUrls = 2048;
    // `{"request":"reopen"}`, `{"request":"open","urls":[...]}` with at
    // least one text, or `{"request":"save","name":...}`: exactly those
    // members, nothing else.
    static std::optional<InstanceRequest> decode(std::string_view line);
    std::string encode() const;
    static InstanceRequest opening(std::vector<std::string> urls)
    {
        return InstanceRequest{.kind = Kind::open, .urls = std::move(urls)};
    }
    static InstanceRequest saving(std::string name) { return InstanceRequest{.kind = Kind::save, .name = std::move(name)}; }
    // Why it cannot go as one request (more than `maxUrls`, or longer than
    // `maxLine`), as a sentence; none when it can.
    std::optional<std::string> tooLong() const;
};

// A refusal's reason, saying that nothing of the request was done.
inline std::string nothingDone(std::string reason) { return reason + "; nothing was done"; }

// Whether an instance listens at `socket`: something accepts there, or
// its queue of connections is full.
bool isListening(const std::filesystem::path& socket);

// Sends `request` to the instance listening at `socket`, trying to connect
// while it is still launching (or its queue of connections is full) for up
// to `waitSeconds`, then waits up to `answerSeconds` for the work to be
// done. Its answer line; none when it could not be reached (`reached`
// false) or did not answer in time.
std::optional<std::string> sendToRunningInstance(const std::filesystem::path& socket, const InstanceRequest& request,
                                                 double waitSeconds = 2.0, double answerSeconds = 20.0,
                                                 bool* reached = nullptr);

// The error an answer line carries; none for "{"ok":true}". A line that is
// neither is an error of its own.
std::optional<std::string> answerError(std::string_view answer);

} // namespace kavelo
