#include "app/platform/qt/qt_scheduler.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace kavelo {

Date SystemClock::now() const
{
    return std::chrono::time_point_cast<Seconds>(std::chrono::system_clock::now());
}

Seconds SystemClock::monotonic() const
{
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch());
}

QtScheduler::QtScheduler() : context_(std::make_unique<QObject>()) {}

QtScheduler::~QtScheduler() = default;

Handle QtScheduler::after(Seconds delay, std::function<void()> work)
{
    return start(delay, false, std::move(work));
}

Handle QtScheduler::every(Seconds interval, std::function<void()> work)
{
    return start(interval, true, std::move(work));
}

Handle QtScheduler::start(Seconds interval, bool repeats, std::function<void()> work)
{
    auto state = std::make_shared<Handle::State>();
    auto* timer = new QTimer(context_.get());
    const double seconds = std::max(0.0, interval.count());
    const double ms = std::min(std::round(seconds * 1000.0), double(std::numeric_limits<int>::max()));
    timer->setInterval(int(ms));
    timer->setSingleShot(!repeats);
    timer->setTimerType(seconds <= preciseLimit ? Qt::PreciseTimer : Qt::CoarseTimer);
    QPointer<QTimer> guarded(timer);
    state->onCancel = [guarded] {
        if (guarded) {
            guarded->stop();
            guarded->deleteLater();
        }
    };
    auto shared = std::make_shared<std::function<void()>>(std::move(work));
    QObject::connect(timer, &QTimer::timeout, timer, [timer, state, shared, repeats] {
        if (state->done)
            return;
        if (!repeats) {
            state->done = true;
            timer->deleteLater();
        }
        // Keep the work alive even if it drops its own handle.
        auto keep = shared;
        (*keep)();
    });
    timer->start();
    return Handle(state);
}

Handle QtScheduler::watchReadable(int fd, std::function<void()> ready)
{
    auto* notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, context_.get());
    QPointer<QSocketNotifier> guarded(notifier);
    auto state = std::make_shared<Handle::State>();
    state->onCancel = [guarded] {
        if (guarded) {
            guarded->setEnabled(false);
            guarded->deleteLater();
        }
    };
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [state, ready = std::move(ready)] {
        if (!state->done)
            ready();
    });
    return Handle(state);
}

void QtScheduler::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(context_.get(), std::move(work), Qt::QueuedConnection);
}

} // namespace kavelo
