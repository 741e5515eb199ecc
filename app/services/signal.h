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

    [[nodiscard]] Handle connect(std::function<void(Args...)> slot)
    {
        auto entry = std::make_shared<Slot>(Slot{std::move(slot)});
        slots_->push_back(entry);
        return Handle::withCancel([list = std::weak_ptr<Slots>(slots_), weak = std::weak_ptr<Slot>(entry)] {
            const auto slots = list.lock();
            const auto slot = weak.lock();
            if (!slots || !slot)
                return;
            slot->connected = false;
            std::erase(*slots, slot);
        });
    }

    // Slots connected or disconnected by a slot take effect from the next
    // emission; a slot disconnected meanwhile is skipped.
    void emit(Args... args) const
    {
        const Slots current = *slots_;
        for (const auto& slot : current)
            if (slot->connected)
                slot->call(args...);
    }

    bool empty() const { return slots_->empty(); }

private:
    struct Slot {
        std::function<void(Args...)> call;
        bool connected = true;
    };
    using Slots = std::vector<std::shared_ptr<Slot>>;
    std::shared_ptr<Slots> slots_ = std::make_shared<Slots>();
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
        changed_.emit(value_);
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
