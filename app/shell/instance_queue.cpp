#include "app/shell/instance_queue.h"

#include "app/shell/kavelo_url.h"

namespace kavelo {

namespace {

enum class Kind { reopen, mode, layout, other };

Kind kindOf(const InstanceAction& action)
{
    if (action.kind == InstanceAction::Kind::reopen)
        return Kind::reopen;
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
    std::size_t bytes = 0;
    for (const std::string& url : request.urls)
        bytes += url.size();
    const std::size_t count = request.kind == InstanceRequest::Kind::reopen ? 1 : request.urls.size();
    if (actions_.size() + count > maxActions || bytes_ + bytes > maxBytes)
        return std::nullopt;
    if (request.kind == InstanceRequest::Kind::reopen)
        push(InstanceAction{});
    else
        for (const std::string& url : request.urls)
            push(InstanceAction{.kind = InstanceAction::Kind::url, .url = url});
    return last_;
}

void InstanceQueue::push(InstanceAction action)
{
    ++last_;
    const Kind kind = kindOf(action);
    if (!actions_.empty() && kind != Kind::other) {
        const Kind before = kindOf(actions_.back().action);
        if (before == kind) {
            bytes_ -= actions_.back().action.url.size();
            actions_.pop_back();
            // Two toggles leave the panel as it was.
            if (kind == Kind::reopen)
                return;
        }
    }
    bytes_ += action.url.size();
    actions_.push_back(Queued{last_, std::move(action)});
}

std::optional<InstanceAction> InstanceQueue::take()
{
    if (actions_.empty())
        return std::nullopt;
    Queued next = std::move(actions_.front());
    actions_.pop_front();
    bytes_ -= next.action.url.size();
    taken_ = next.number;
    return std::move(next.action);
}

InstanceQueue::Ticket InstanceQueue::settled() const { return actions_.empty() ? last_ : actions_.front().number - 1; }

} // namespace kavelo
