#pragma once

// A move-only token for anything that must stop when its owner goes away:
// timers, posted work, notification observers, event monitors. Dropping the
// handle cancels what it stands for; `release()` lets it run on unowned.

#include <atomic>
#include <functional>
#include <memory>

namespace kavelo {

class Handle {
public:
    // Shared between a handle and the backend that runs the work. `done` is
    // set once the work can no longer run (fired once, or cancelled).
    struct State {
        std::atomic<bool> done{false};
        std::function<void()> onCancel;
    };

    Handle() = default;
    explicit Handle(std::shared_ptr<State> state) : state_(std::move(state)) {}
    // For observers whose cancelling is a single call.
    static Handle withCancel(std::function<void()> onCancel);

    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : state_(std::move(other.state_)) {}
    // Assigning cancels what the handle held before.
    Handle& operator=(Handle&& other) noexcept;
    ~Handle() { cancel(); }

    // Idempotent; the work will not run after this returns (on the main thread).
    void cancel();
    // Forgets the work without cancelling it.
    void release() { state_.reset(); }
    // Holds work that may still run: a pending one-shot, a running repeat,
    // a live observer.
    bool pending() const { return state_ && !state_->done.load(); }

private:
    std::shared_ptr<State> state_;
};

// Lets work posted from other threads find out on the main thread whether its
// owner still exists: the owner keeps a Liveness member, the work captures
// `guard(...)`.
class Liveness {
public:
    Liveness() = default;
    Liveness(const Liveness&) = delete;
    Liveness& operator=(const Liveness&) = delete;

    // Wraps `work` so that it does nothing once the owner is gone. The check
    // and the call happen where the wrapper runs (the main thread).
    std::function<void()> guard(std::function<void()> work) const
    {
        return [alive = std::weak_ptr<int>(token_), work = std::move(work)] {
            if (alive.lock())
                work();
        };
    }

    // A token that expires with the owner, for wrappers of any signature.
    std::weak_ptr<const void> watch() const { return token_; }

private:
    std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

} // namespace kavelo
