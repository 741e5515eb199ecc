#include "app/services/thumbnails.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

namespace kavelo::Thumbnails {

std::optional<std::pair<int, int>> pixelSize(Size frameSize, Size box, double scale)
{
    const double w = frameSize.width;
    const double h = frameSize.height;
    if (!std::isfinite(w) || !std::isfinite(h) || std::isnan(box.width) || std::isnan(box.height) ||
        !std::isfinite(scale) || scale <= 0)
        return std::nullopt;
    double fit = w <= 1 ? 1 : std::min(1.0, maximumWidth / w);
    if (w > 0)
        fit = std::min(fit, std::max(0.0, box.width) / w);
    if (h > 0)
        fit = std::min(fit, std::max(0.0, box.height) / h);
    // A very tall window scaled to fit the width can still be absurdly high;
    // keep the count inside what an int and a capture can hold.
    constexpr double limit = 1 << 15;
    const auto pixels = [&](double length) { return int(std::clamp(std::floor(fit * scale * length), 1.0, limit)); };
    return std::pair(pixels(w), pixels(h));
}

std::optional<std::pair<int, int>> pixelSize(Size frameSize)
{
    return pixelSize(frameSize, Request{}.box, 1);
}

struct Task::State {
    WindowCapture& capture;
    Scheduler& scheduler;
    ImageHandler onImage;
    std::vector<Request> requests;
    double scale;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};

    State(WindowCapture& capture, Scheduler& scheduler, ImageHandler onImage, std::vector<Request> requests,
          double scale)
        : capture(capture), scheduler(scheduler), onImage(std::move(onImage)), requests(std::move(requests)),
          scale(scale)
    {
    }

    void run(const std::shared_ptr<State>& self);
};

void Task::State::run(const std::shared_ptr<State>& self)
{
    if (!capture.isAllowed())
        return;
    const auto content = capture.windows();
    if (!content)
        return;
    std::unordered_map<WindowID, Size> sizes;
    for (const auto& w : *content)
        sizes.try_emplace(w.number, w.frameSize);

    struct Job {
        WindowID id;
        std::pair<int, int> pixels;
    };
    std::vector<Job> jobs;
    for (const Request& request : requests) {
        auto it = sizes.find(request.id);
        if (it == sizes.end())
            continue;
        if (auto pixels = pixelSize(it->second, request.box, scale))
            jobs.push_back({request.id, *pixels});
    }

    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (;;) {
            if (cancelled.load())
                return;
            const std::size_t i = next.fetch_add(1);
            if (i >= jobs.size())
                return;
            const Job& job = jobs[i];
            auto image = capture.capture(job.id, job.pixels.first, job.pixels.second);
            if (!image || cancelled.load())
                continue;
            scheduler.post([self, id = job.id, image = std::move(*image)]() mutable {
                if (!self->cancelled.load())
                    self->onImage(id, std::move(image));
            });
        }
    };
    std::vector<std::thread> pool;
    const std::size_t count = std::min(workers, jobs.size());
    for (std::size_t i = 0; i < count; ++i)
        pool.emplace_back(work);
    for (auto& t : pool)
        t.join();
}

Task::Task(std::shared_ptr<State> state) : state_(std::move(state))
{
    runner_ = std::thread([state = state_] {
        state->run(state);
        state->finished.store(true);
    });
}

Task::~Task()
{
    cancel();
    wait();
}

void Task::cancel() { state_->cancelled.store(true); }
bool Task::isCancelled() const { return state_->cancelled.load(); }
bool Task::isFinished() const { return state_->finished.load(); }

void Task::wait()
{
    if (runner_.joinable())
        runner_.join();
}

std::unique_ptr<Task> loadSized(const Desktop& desktop, std::vector<Request> requests, double scale,
                                ImageHandler onImage)
{
    auto state = std::make_shared<Task::State>(desktop.platform.capture, desktop.platform.scheduler,
                                               std::move(onImage), std::move(requests), scale);
    return std::unique_ptr<Task>(new Task(std::move(state)));
}

std::unique_ptr<Task> load(const Desktop& desktop, std::vector<WindowID> ids, ImageHandler onImage)
{
    std::vector<Request> requests;
    requests.reserve(ids.size());
    for (WindowID id : ids)
        requests.push_back({.id = id});
    return loadSized(desktop, std::move(requests), 1, std::move(onImage));
}

} // namespace kavelo::Thumbnails
