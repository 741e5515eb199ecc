#include "app/switcher/views/card_pictures.h"

#include "app/switcher/views/window_card.h"

#include <algorithm>
#include <memory>
#include <thread>

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
    for (auto& worker : workers_)
        worker.wait();
}

std::size_t CardPictures::running()
{
    std::erase_if(workers_, [](std::future<void>& w) {
        return w.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    return workers_.size();
}

void CardPictures::prepare(const std::vector<Job>& jobs)
{
    struct Work {
        SharedImage source;
        QSize size;
        std::promise<QImage> promise;
    };
    auto work = std::make_shared<std::vector<Work>>();
    for (const Job& job : jobs) {
        if (!job.source || !job.source->isValid() || job.size.isEmpty())
            continue;
        Entry& entry = entries_[job.window];
        if (entry.source == job.source && entry.size == job.size && (!entry.image.isNull() || entry.pending.valid()))
            continue;
        std::promise<QImage> promise;
        entry = Entry{.source = job.source, .size = job.size, .image = {}, .pending = promise.get_future().share()};
        work->push_back(Work{job.source, job.size, std::move(promise)});
    }
    if (work->empty())
        return;
    running();
    const int count = std::min(workerCount(), int(work->size()));
    // Each worker takes every count-th picture, so all go in on-screen order.
    for (int k = 0; k < count; ++k)
        workers_.push_back(std::async(std::launch::async, [work, k, count] {
            for (std::size_t i = std::size_t(k); i < work->size(); i += std::size_t(count)) {
                Work& w = (*work)[i];
                w.promise.set_value(made(*w.source, w.size));
            }
        }));
}

const QImage* CardPictures::get(WindowID window, const SharedImage& source, QSize size)
{
    if (!source || !source->isValid() || size.isEmpty())
        return nullptr;
    Entry& entry = entries_[window];
    if (entry.source != source || entry.size != size || (entry.image.isNull() && !entry.pending.valid())) {
        entry = Entry{.source = source, .size = size, .image = made(*source, size), .pending = {}};
    } else if (entry.pending.valid()) {
        entry.image = entry.pending.get();
        entry.pending = {};
    }
    return &entry.image;
}

void CardPictures::erase(WindowID window)
{
    entries_.erase(window);
}

void CardPictures::clear()
{
    entries_.clear();
    running();
}

} // namespace kavelo
