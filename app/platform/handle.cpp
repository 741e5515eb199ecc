#include "app/platform/handle.h"

namespace kavelo {

Handle Handle::withCancel(std::function<void()> onCancel)
{
    auto state = std::make_shared<State>();
    state->onCancel = std::move(onCancel);
    return Handle(std::move(state));
}

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other) {
        cancel();
        state_ = std::move(other.state_);
    }
    return *this;
}

void Handle::cancel()
{
    if (!state_)
        return;
    auto state = std::move(state_);
    if (!state->done.exchange(true) && state->onCancel) {
        auto onCancel = std::move(state->onCancel);
        state->onCancel = nullptr;
        onCancel();
    }
}

} // namespace kavelo
