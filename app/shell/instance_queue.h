#pragma once

// What second starts asked of the running instance and it has not done yet,
// one action at a time in arrival order. Bursts shrink as they arrive: two
// panel toggles in a row are none, and a mode change (or a layout change)
// replaces one just before it, since only the last counts. The queue is
// bounded; a request that does not fit is refused whole (nothing of it is
// done), so the program stays small and responsive however fast requests
// come.

#include "app/shell/single_instance.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace kavelo {

struct InstanceAction {
    enum class Kind { reopen, url, save };
    Kind kind = Kind::reopen;
    std::string url;
    // save: the workflow's name.
    std::string name;
    friend bool operator==(const InstanceAction&, const InstanceAction&) = default;
};

class InstanceQueue {
public:
    // Actions count from 1; a request's ticket is the number of its last.
    using Ticket = std::uint64_t;

    // Two full requests: one runs while the next waits.
    static constexpr std::size_t maxActions = 2 * InstanceRequest::maxUrls;
    static constexpr std::size_t maxBytes = std::size_t(4) << 20;

    // The request's actions queued, and its ticket; none, and nothing
    // queued, when they do not fit.
    std::optional<Ticket> add(const InstanceRequest& request);
    // The next action, taken off the queue.
    std::optional<InstanceAction> take();
    // Every action up to this one has been taken or dropped.
    Ticket settled() const;
    // The number of the action `take` gave last, and of the last added.
    Ticket taken() const { return taken_; }
    Ticket added() const { return last_; }

    bool empty() const { return actions_.empty(); }
    std::size_t size() const { return actions_.size(); }
    std::size_t bytes() const { return bytes_; }

private:
    static std::size_t sizeOf(const InstanceAction& action) { return action.url.size() + action.name.size(); }
    struct Queued {
        Ticket number;
        InstanceAction action;
    };
    void push(InstanceAction action);

    std::deque<Queued> actions_;
    std::size_t bytes_ = 0;
    Ticket last_ = 0;
    Ticket taken_ = 0;
};

} // namespace kavelo
