#pragma once

// Change notices for observers that may come and go: views, panels and the
// shell subscribe and keep the returned handle; dropping it unsubscribes.

#include "app/platform/handle.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kavelo {

template <class... Args>
class Signal {
public:
    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    [[nodiscard]] Handle connect(std::function<void(Args...)> listener)
    {
        auto entry = std::make_shared<Listener>(Listener{std::move(listener)});
        listeners_->push_back(entry);
        return Handle::withCancel([list = std::weak_ptr<Listeners>(listeners_), weak = std::weak_ptr<Listener>(entry)] {
            const auto listeners = list.lock();
            const auto listener = weak.lock();
            if (!listeners || !listener)
                return;
            listener->connected = false;
            std::erase(*listeners, listener);
        });
    }

    // Listeners connected or disconnected by a listener take effect from the next
    // emission; a listener disconnected meanwhile is skipped.
    void send(Args... args) const
    {
        const Listeners current = *listeners_;
        for (const auto& listener : current)
            if (listener->connected)
                listener->call(args...);
    }

    bool empty() const { return listeners_->empty(); }

private:
    struct Listener {
        std::function<void(Args...)> call;
        bool connected = true;
    };
    using Listeners = std::vector<std::shared_ptr<Listener>>;
    std::shared_ptr<Listeners> listeners_ = std::make_shared<Listeners>();
};

// One observable value. A subscriber hears the current value at once and
// then every assignment.
template <class T>
class Published {
public:
    explicit Published(T initial = T{}) : value_(std::move(initial)) {}

    const T& value() const { return value_; }
    void set(T value)
    {
        value_ = std::move(value);
        changed_.send(value_);
    }

    [[nodiscard]] Handle subscribe(std::function<void(const T&)> observer)
    {
        observer(value_);
        return changed_.connect(std::move(observer));
    }

private:
    T value_;
    Signal<const T&> changed_;
};

} // namespace kavelo
