#include "app/switcher/views/card_pictures.h"

#include "app/switcher/views/window_card.h"

#include <algorithm>
#include <system_error>

namespace kavelo {

namespace {

QImage made(const Image& source, QSize size)
{
    // Read in place: the only copy is the card's own.
    const QImage view(source.rgba.data(), source.width, source.height, source.width * 4, QImage::Format_RGBA8888);
    return WindowCard::roundedPicture(view, size);
}

// Few enough to leave cores to the paint and the window server.
int workerCount()
{
    return std::clamp(int(std::thread::hardware_concurrency()) / 4, 1, 2);
}

} // namespace

CardPictures::~CardPictures()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (auto& worker : workers_)
        worker.join();
}

std::size_t CardPictures::queued() const
{
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void CardPictures::run()
{
    for (;;) {
        std::unique_ptr<Work> work;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work->made.set_value(made(*work->job.source, work->job.size));
    }
}

void CardPictures::prepare(const std::vector<Job>& jobs)
{
    std::vector<std::unique_ptr<Work>> fresh;
    for (const Job& job : jobs) {
        if (!job.source || !job.source->isValid() || job.size.isEmpty())
            continue;
        Entry& entry = entries_[job.window];
        if (entry.source == job.source && entry.size == job.size && (!entry.image.isNull() || entry.pending.valid()))
            continue;
        auto work = std::make_unique<Work>(Work{.job = job, .made = {}});
        entry = Entry{.source = job.source, .size = job.size, .image = {}, .pending = work->made.get_future().share()};
        fresh.push_back(std::move(work));
    }
    if (fresh.empty())
        return;
    dropUnwanted();
    {
        std::lock_guard lock(mutex_);
        for (auto& work : fresh)
            queue_.push_back(std::move(work));
    }
    // Started at the first need: a program that never opens the overview
    // keeps no threads for it.
    try {
        while (int(workers_.size()) < workerCount())
            workers_.emplace_back([this] { run(); });
    } catch (const std::system_error&) {
    }
    if (workers_.empty()) {
        // Nothing would make them: they are made when drawn.
        std::erase_if(entries_, [](const auto& item) { return item.second.pending.valid(); });
        std::lock_guard lock(mutex_);
        queue_.clear();
        return;
    }
    wake_.notify_all();
}

const QImage* CardPictures::get(WindowID window, const SharedImage& source, QSize size)
{
    if (!source || !source->isValid() || size.isEmpty())
        return nullptr;
    Entry& entry = entries_[window];
    if (entry.source != source || entry.size != size || (entry.image.isNull() && !entry.pending.valid())) {
        entry = Entry{.source = source, .size = size, .image = made(*source, size), .pending = {}};
        dropUnwanted();
    } else if (entry.pending.valid()) {
        entry.image = entry.pending.get();
        entry.pending = {};
    }
    return &entry.image;
}

void CardPictures::dropUnwanted()
{
    std::lock_guard lock(mutex_);
    std::erase_if(queue_, [this](const std::unique_ptr<Work>& work) {
        const auto it = entries_.find(work->job.window);
        return it == entries_.end() || !it->second.pending.valid() || it->second.source != work->job.source ||
               it->second.size != work->job.size;
    });
}

void CardPictures::erase(WindowID window)
{
    entries_.erase(window);
    dropUnwanted();
}

void CardPictures::clear()
{
    entries_.clear();
    dropUnwanted();
}

} // namespace kavelo
