#include "app/switcher/views/card_pictures.h"

#include "app/switcher/views/window_card.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace kavelo {

namespace {

QImage made(const Image& source, QSize size, double ratio)
{
    // Read in place: the only copy is the card's own.
    const QImage view(source.rgba.data(), source.width, source.height, source.width * 4, QImage::Format_RGBA8888);
    return WindowCard::roundedPicture(view, size, ratio);
}

// Half the cores, so that the paint and the window server keep theirs;
// fewer would leave the grid waiting for cards at its first paint. Counted
// once: the count opens a file under /sys, and batches come on every paint.
int workerCount()
{
    static const int count = std::clamp(int(std::thread::hardware_concurrency()) / 2, 1, 4);
    return count;
}

} // namespace

QImage CardPictures::Resting::drawn(const QImage& picture) const
{
    WindowCard around = card;
    around.picture = &picture;
    around.pictureIsPrepared = true;
    around.icon = icon.isNull() ? nullptr : &icon;
    return around.painted(cell, pixels, ratio);
}

bool CardPictures::Resting::same(const Resting& other) const
{
    return card.window == other.card.window && card.cornerRadius == other.card.cornerRadius &&
           icon.cacheKey() == other.icon.cacheKey() && cell == other.cell && pixels == other.pixels &&
           ratio == other.ratio;
}

CardPictures::Made CardPictures::perform(const Work& work)
{
    Made out;
    try {
        out.picture =
            work.picture.isNull() ? made(*work.job.source, work.job.size, work.job.ratio) : work.picture;
        if (work.job.resting)
            out.resting = work.job.resting->drawn(out.picture);
    } catch (const std::exception&) {
        // Out of memory: the card draws without them.
        out = {};
    }
    return out;
}

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
            ++running_;
        }
        work->made.set_value(perform(*work));
        std::lock_guard lock(mutex_);
        if (--running_ == 0)
            idle_.notify_all();
    }
}

void CardPictures::prepare(const std::vector<Job>& jobs)
{
    std::vector<std::unique_ptr<Work>> fresh;
    for (const Job& job : jobs) {
        if (!job.source || !job.source->isValid() || job.size.isEmpty())
            continue;
        Entry& entry = entries_[job.window];
        const bool samePicture = entry.source == job.source && entry.size == job.size && entry.ratio == job.ratio &&
                                 (!entry.images.picture.isNull() || entry.pending.valid());
        // A card not asked for keeps the one drawn: it may be asked again.
        const bool sameCard = !job.resting || (entry.resting && entry.resting->same(*job.resting));
        if (samePicture && sameCard)
            continue;
        auto work = std::make_unique<Work>(Work{.job = job, .picture = {}, .serial = ++serial_, .made = {}});
        if (samePicture && !entry.pending.valid())
            work->picture = entry.images.picture;
        entry = Entry{.source = job.source,
                      .size = job.size,
                      .ratio = job.ratio,
                      .resting = job.resting,
                      .images = {},
                      .pending = work->made.get_future().share(),
                      .work = work->serial};
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

const QImage* CardPictures::get(WindowID window, const SharedImage& source, QSize size, double ratio)
{
    if (!source || !source->isValid() || size.isEmpty())
        return nullptr;
    Entry& entry = entries_[window];
    if (entry.source != source || entry.size != size || entry.ratio != ratio ||
        (entry.images.picture.isNull() && !entry.pending.valid())) {
        entry = Entry{.source = source,
                      .size = size,
                      .ratio = ratio,
                      .images = {.picture = made(*source, size, ratio), .resting = {}}};
        dropUnwanted();
    } else {
        finish(entry);
    }
    return &entry.images.picture;
}

QImage CardPictures::takeResting(WindowID window, const SharedImage& source, QSize size, const Resting& card)
{
    const auto it = entries_.find(window);
    if (it == entries_.end())
        return {};
    Entry& entry = it->second;
    if (entry.source != source || entry.size != size || entry.ratio != card.ratio || !entry.resting ||
        !entry.resting->same(card))
        return {};
    finish(entry);
    return std::exchange(entry.images.resting, QImage());
}

void CardPictures::finish(Entry& entry)
{
    if (!entry.pending.valid())
        return;
    // Work no worker has started is done here rather than waited for.
    std::unique_ptr<Work> work;
    {
        std::lock_guard lock(mutex_);
        const auto it =
            std::find_if(queue_.begin(), queue_.end(), [&](const auto& w) { return w->serial == entry.work; });
        if (it != queue_.end()) {
            work = std::move(*it);
            queue_.erase(it);
        }
    }
    if (work)
        work->made.set_value(perform(*work));
    entry.images = entry.pending.get();
    entry.pending = {};
}

void CardPictures::dropUnwanted()
{
    std::lock_guard lock(mutex_);
    std::erase_if(queue_, [this](const std::unique_ptr<Work>& work) {
        const auto it = entries_.find(work->job.window);
        return it == entries_.end() || !it->second.pending.valid() || it->second.work != work->serial;
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

void CardPictures::waitForDrawing()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return running_ == 0; });
}

} // namespace kavelo
