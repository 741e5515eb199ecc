#pragma once

// The running instance's side of the local socket, on the main thread's
// event loop. Connections are served side by side: each may take
// `readTimeout` seconds and `InstanceRequest::maxLine` bytes for its line,
// and a slow or idle one keeps no other waiting. A good request joins the
// `InstanceQueue` whole; its actions run one per turn of the loop (so a quit
// or a timer always gets its turn), and the client hears only once its work
// is done: "{"ok":true}", or {"error": why} when it could not be done or its
// settings could not be saved. A request with a URL the program cannot act
// on is refused whole at once, naming it as the command line would; one with
// more URLs than a request may carry is refused as too long, and one that
// does not fit the queue now as busy. Every refusal says that nothing was
// done; a quit says what was done of each request still waiting.

#include "app/platform/handle.h"
#include "app/platform/readable_watch.h"
#include "app/platform/scheduler.h"
#include "app/shell/instance_queue.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kavelo {

class InstanceServer {
public:
    struct Program {
        // Does one action; whether it changed a setting.
        std::function<bool(const InstanceAction&)> run;
        // Stores the changed settings; why they could not be, if so.
        std::function<std::optional<std::string>()> save;
        // What is wrong with a URL, as one line; none when it can be done.
        std::function<std::optional<std::string>(const std::string& url)> problem;
        // Stores the desktop as the named workflow; why it could not, if so.
        std::function<std::optional<std::string>(const std::string& name)> saveWorkflow;
    };

    InstanceServer(Scheduler& scheduler, ReadableWatch watch, Program program);
    // Answers whoever waits that nothing more will be done, and removes the socket.
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Replaces whatever lies at `socket` (hold the lock first). False, with
    // `error`, when it cannot listen.
    bool listen(const std::filesystem::path& socket, std::string* error);
    bool isListening() const { return listenFd_ >= 0; }
    // Takes no more work: the queue is dropped and its clients told.
    void stop();

    std::size_t clients() const { return clients_.size(); }
    const InstanceQueue& queue() const { return queue_; }

    static constexpr double readTimeout = 2;   // seconds for a client's line
    static constexpr std::size_t maxClients = 64;
    static constexpr int acceptsPerTurn = 16;

    static constexpr const char* okAnswer = "{\"ok\":true}";
    static constexpr const char* busy = "the running Kavelo is busy, so nothing was done; try again in a moment";
    static constexpr const char* quitting = "the running Kavelo quit before doing this, so nothing was done";

private:
    struct Client {
        int fd = -1;
        std::string line;
        Handle readable;
        Handle deadline;
        // Once the request is queued: its first and last action.
        std::optional<InstanceQueue::Ticket> first, last;
        bool changedSettings = false;
        // Why one of its actions could not be done.
        std::optional<std::string> failure;
    };

    void accept();
    void read(std::uint64_t id);
    void received(std::uint64_t id, std::string_view line);
    std::optional<std::string> refusal(const InstanceRequest& request) const;
    void answer(std::uint64_t id, const std::optional<std::string>& error);
    void schedule();
    void runNext();
    void answerSettled();
    InstanceQueue::Ticket settled() const;
    // What a client still waiting hears when the program quits.
    std::optional<std::string> quitAnswer(const Client& client) const;

    Scheduler& scheduler_;
    ReadableWatch watch_;
    Program program_;
    std::filesystem::path socket_;
    int listenFd_ = -1;
    Handle listening_;
    std::map<std::uint64_t, Client> clients_;   // by arrival
    std::uint64_t nextClient_ = 0;
    InstanceQueue queue_;
    Handle next_;
    // An action runs (it may open a dialog, whose loop serves the socket).
    bool running_ = false;
    bool stopped_ = false;
    Liveness alive_;
};

} // namespace kavelo
