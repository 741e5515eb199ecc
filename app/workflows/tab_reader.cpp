#include "app/workflows/tab_reader.h"

namespace kavelo {

TabReader::~TabReader()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void TabReader::read(std::vector<BrowserTabs::FirefoxRead> requests, Done done)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(Job{std::move(requests), std::move(done)});
    }
    // Started with the first read: most runs never need it.
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    wake_.notify_one();
}

void TabReader::wait()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void TabReader::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_)
            return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        std::vector<BrowserTabs::FirefoxTabs> results;
        for (const BrowserTabs::FirefoxRead& request : job.requests)
            results.push_back(BrowserTabs::read(request));
        scheduler_.post(liveness_.guard([done = std::move(job.done), results = std::move(results)]() mutable {
            done(std::move(results));
        }));
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

} // namespace kavelo
