#include "app/shell/instance_queue.h"

#include "app/shell/kavelo_url.h"

#include <vector>

namespace kavelo {

namespace {

enum class Kind { reopen, mode, layout, other };

Kind kindOf(const InstanceAction& action)
{
    if (action.kind == InstanceAction::Kind::reopen)
        return Kind::reopen;
    if (action.kind == InstanceAction::Kind::save)
        return Kind::other;
    const auto what = KaveloUrls::action(action.url);
    if (!what)
        return Kind::other;
    if (std::holds_alternative<UrlAction::Mode>(what->what))
        return Kind::mode;
    if (std::holds_alternative<UrlAction::Layout>(what->what))
        return Kind::layout;
    return Kind::other;
}

} // namespace

std::optional<InstanceQueue::Ticket> InstanceQueue::add(const InstanceRequest& request)
{
    std::vector<InstanceAction> actions;
    switch (request.kind) {
    case InstanceRequest::Kind::reopen: actions.push_back(InstanceAction{}); break;
    case InstanceRequest::Kind::save:
        actions.push_back(InstanceAction{.kind = InstanceAction::Kind::save, .name = request.name});
        break;
    case InstanceRequest::Kind::open:
        for (const std::string& url : request.urls)
            actions.push_back(InstanceAction{.kind = InstanceAction::Kind::url, .url = url});
        break;
    }
    std::size_t bytes = 0;
    for (const InstanceAction& action : actions)
        bytes += sizeOf(action);
    if (actions_.size() + actions.size() > maxActions || bytes_ + bytes > maxBytes)
        return std::nullopt;
    for (InstanceAction& action : actions)
        push(std::move(action));
    return last_;
}

void InstanceQueue::push(InstanceAction action)
{
    ++last_;
    const Kind kind = kindOf(action);
    if (!actions_.empty() && kind != Kind::other) {
        const Kind before = kindOf(actions_.back().action);
        if (before == kind) {
            bytes_ -= sizeOf(actions_.back().action);
            actions_.pop_back();
            // Two toggles leave the panel as it was.
            if (kind == Kind::reopen)
                return;
        }
    }
    bytes_ += sizeOf(action);
    actions_.push_back(Queued{last_, std::move(action)});
}

std::optional<InstanceAction> InstanceQueue::take()
{
    if (actions_.empty())
        return std::nullopt;
    Queued next = std::move(actions_.front());
    actions_.pop_front();
    bytes_ -= sizeOf(next.action);
    taken_ = next.number;
    return std::move(next.action);
}

InstanceQueue::Ticket InstanceQueue::settled() const { return actions_.empty() ? last_ : actions_.front().number - 1; }

} // namespace kavelo
