#pragma once

// One running Kavelo per X display: two would both grab the keys and
// arrange the same windows. A normal start holds a lock file for its whole
// life and, once launched, listens on a local socket next to it. A second
// start finds the lock held, sends the running one a request ("reopen": show
// the popover) and ends. A dead instance's lock is free again (the system
// drops it with the process) and its socket is replaced.
//
// The files live in `<runtime>/kavelo/`, `<runtime>` being
// $XDG_RUNTIME_DIR or else /tmp/kavelo-<uid>. Every folder of ours is made
// 0700 and refused when it is a symbolic link or belongs to someone else.
//
// A request is one line of JSON of at most 64 KiB, decoded strictly;
// anything else is answered with an error and does nothing.

#include "app/platform/handle.h"
#include "app/platform/scheduler.h"

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kavelo {

struct InstancePaths {
    std::filesystem::path folder;
    std::filesystem::path lock;
    std::filesystem::path socket;

    // The display's files, the folders made as needed; none (with `error`
    // saying why) when a folder is unsafe or cannot be made.
    static std::optional<InstancePaths> make(const std::function<std::optional<std::string>(std::string_view)>& lookup,
                                             uid_t uid, std::string_view display, std::string* error);
    // The display's name as a file name: "/" and the unusual left out.
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
    enum class Kind { reopen, open };
    Kind kind = Kind::reopen;
    // open: the URLs to handle, in order.
    std::vector<std::string> urls;
    friend bool operator==(const InstanceRequest&, const InstanceRequest&) = default;

    static constexpr std::size_t maxLine = 64 * 1024;
    // `{"request":"reopen"}`, or `{"request":"open","urls":[...]}` with at
    // least one text: exactly those members, nothing else.
    static std::optional<InstanceRequest> decode(std::string_view line);
    std::string encode() const;
    // Open requests of `urls` in order, each encoding within `maxLine`.
    static std::vector<InstanceRequest> opening(const std::vector<std::string>& urls);
};

// Listens for requests on a thread that only reads, answers and hands each
// good request to the main thread through the scheduler.
class InstanceServer {
public:
    InstanceServer(Scheduler& scheduler, std::function<void(const InstanceRequest&)> handle);
    // Stops listening and removes the socket.
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Replaces whatever lies at `socket` (hold the lock first). False, with
    // `error`, when it cannot listen.
    bool listen(const std::filesystem::path& socket, std::string* error);
    bool isListening() const { return listenFd_ >= 0; }

    // Seconds a client may take to send its line.
    static constexpr int readTimeoutMs = 2000;

    static constexpr const char* okAnswer = "{\"ok\":true}";

private:
    void serve();
    void answer(int client);

    Scheduler& scheduler_;
    std::function<void(const InstanceRequest&)> handle_;
    std::filesystem::path socket_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
    Liveness alive_;
};

// Sends `request` to the instance listening at `socket`, trying again while
// it is still launching, for up to `waitSeconds`. Its answer line; none when
// nothing answered in time.
std::optional<std::string> sendToRunningInstance(const std::filesystem::path& socket, const InstanceRequest& request,
                                                 double waitSeconds = 2.0);

} // namespace kavelo
