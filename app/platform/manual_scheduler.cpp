#include "app/platform/manual_scheduler.h"

#include <algorithm>
#include <string>

namespace kavelo {

Date ManualClock::now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

void ManualClock::set(Date date)
{
    std::lock_guard lock(mutex_);
    now_ = date;
}

ManualScheduler::~ManualScheduler()
{
    // Handles that outlive the scheduler must find their work gone.
    std::lock_guard lock(mutex_);
    for (auto& [key, entry] : queue_)
        entry.state->done = true;
}

Handle ManualScheduler::after(Seconds delay, std::function<void()> work)
{
    return schedule(clock_.now() + std::max(delay, Seconds(0)), Seconds(0), false, std::move(work));
}

Handle ManualScheduler::every(Seconds interval, std::function<void()> work)
{
    const Seconds step = std::max(interval, Seconds(0));
    return schedule(clock_.now() + step, step, true, std::move(work));
}

void ManualScheduler::post(std::function<void()> work)
{
    Handle handle = schedule(clock_.now(), Seconds(0), false, std::move(work));
    handle.release();
}

Handle ManualScheduler::schedule(Date due, Seconds interval, bool repeats, std::function<void()> work)
{
    auto state = std::make_shared<Handle::State>();
    insert(due, Entry{state, std::make_shared<std::function<void()>>(std::move(work)), interval, repeats});
    return Handle(state);
}

void ManualScheduler::insert(Date due, Entry entry)
{
    std::lock_guard lock(mutex_);
    queue_.emplace(Key{due, nextOrder_++}, std::move(entry));
}

void ManualScheduler::dropCancelled()
{
    std::erase_if(queue_, [](const auto& item) { return item.second.state->done.load(); });
}

std::size_t ManualScheduler::advance(Seconds by)
{
    const Date target = clock_.now() + std::max(by, Seconds(0));
    std::size_t runs = 0;
    for (;;) {
        Date due;
        Entry entry;
        {
            std::lock_guard lock(mutex_);
            dropCancelled();
            if (queue_.empty() || queue_.begin()->first.first > target)
                break;
            auto node = queue_.extract(queue_.begin());
            due = node.key().first;
            entry = std::move(node.mapped());
        }
        if (clock_.now() < due)
            clock_.set(due);
        if (!entry.repeats)
            entry.state->done = true;
        (*entry.work)();
        if (++runs > maxRunsPerAdvance)
            throw SchedulerRunaway("more than " + std::to_string(maxRunsPerAdvance) +
                                   " scheduled runs in one advance");
        if (entry.repeats && !entry.state->done)
            insert(due + entry.interval, std::move(entry));
    }
    if (clock_.now() < target)
        clock_.set(target);
    return runs;
}

std::size_t ManualScheduler::pendingCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(queue_.begin(), queue_.end(), [](const auto& item) { return !item.second.state->done.load(); }));
}

std::optional<Date> ManualScheduler::nextDue() const
{
    std::lock_guard lock(mutex_);
    for (const auto& [key, entry] : queue_)
        if (!entry.state->done)
            return key.first;
    return std::nullopt;
}

} // namespace kavelo
