#include "app/platform/manual_scheduler.h"

#include <algorithm>
#include <cmath>
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
    if (date >= now_)
        monotonic_ += date - now_;
    else
        stepped_ += date - now_;
    now_ = date;
}

void ManualClock::stepWall(Seconds by)
{
    std::lock_guard lock(mutex_);
    now_ += by;
    stepped_ += by;
}

Seconds ManualClock::wallSteps() const
{
    std::lock_guard lock(mutex_);
    return stepped_;
}

Seconds ManualClock::monotonic() const
{
    std::lock_guard lock(mutex_);
    return monotonic_;
}

ManualScheduler::~ManualScheduler()
{
    // Handles that outlive the scheduler must find their work gone.
    std::lock_guard lock(mutex_);
    for (auto& [key, entry] : queue_)
        entry.state->done = true;
}

std::int64_t ManualScheduler::tick(Date date) { return std::llround(epochSeconds(date) * 1e6); }

Date ManualScheduler::dateOf(std::int64_t tick) { return dateFromEpochSeconds(double(tick) / 1e6); }

Handle ManualScheduler::after(Seconds delay, std::function<void()> work)
{
    return schedule(Entry{.work = std::make_shared<std::function<void()>>(std::move(work)),
                          .base = steady() + std::max(delay, Seconds(0))});
}

Handle ManualScheduler::every(Seconds interval, std::function<void()> work)
{
    return schedule(Entry{.work = std::make_shared<std::function<void()>>(std::move(work)),
                          .base = steady(),
                          .interval = std::max(interval, Seconds(0)),
                          .repeats = true});
}

void ManualScheduler::post(std::function<void()> work)
{
    Handle handle = after(Seconds(0), std::move(work));
    handle.release();
}

Handle ManualScheduler::schedule(Entry entry)
{
    entry.state = std::make_shared<Handle::State>();
    auto state = entry.state;
    insert(std::move(entry));
    return Handle(state);
}

void ManualScheduler::insert(Entry entry)
{
    const std::int64_t due = tick(entry.due());
    std::lock_guard lock(mutex_);
    queue_.emplace(Key{due, nextOrder_++}, std::move(entry));
}

void ManualScheduler::dropCancelled()
{
    std::erase_if(queue_, [](const auto& item) { return item.second.state->done.load(); });
}

std::size_t ManualScheduler::advance(Seconds by)
{
    const Date target = steady() + std::max(by, Seconds(0));
    const std::int64_t last = tick(target);
    std::size_t runs = 0;
    for (;;) {
        std::int64_t due = 0;
        Entry entry;
        {
            std::lock_guard lock(mutex_);
            dropCancelled();
            if (queue_.empty() || queue_.begin()->first.first > last)
                break;
            auto node = queue_.extract(queue_.begin());
            due = node.key().first;
            entry = std::move(node.mapped());
        }
        if (tick(steady()) < due)
            moveTo(dateOf(due));
        if (!entry.repeats)
            entry.state->done = true;
        (*entry.work)();
        if (++runs > maxRunsPerAdvance)
            throw SchedulerRunaway("more than " + std::to_string(maxRunsPerAdvance) +
                                   " scheduled runs in one advance");
        if (entry.repeats && !entry.state->done) {
            ++entry.runs;
            insert(std::move(entry));
        }
    }
    if (steady() < target)
        moveTo(target);
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
            return dateOf(key.first) + clock_.wallSteps();
    return std::nullopt;
}

} // namespace kavelo
