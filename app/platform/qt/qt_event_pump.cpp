#include "app/platform/qt/qt_event_pump.h"

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>

namespace kavelo {

QtEventPump::QtEventPump(DesktopBackend& backend, QtScheduler& scheduler)
    : backend_(backend), context_(std::make_unique<QObject>())
{
    backend_.attach(&scheduler);
    if (const int descriptor = backend_.eventDescriptor(); descriptor >= 0) {
        auto* notifier = new QSocketNotifier(qintptr(descriptor), QSocketNotifier::Read, context_.get());
        QObject::connect(notifier, &QSocketNotifier::activated, context_.get(), [this] { drain(); });
    }
    backend_.setWakeup([this] { wake(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread()))
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, context_.get(), [this] { drain(); });
}

QtEventPump::~QtEventPump()
{
    backend_.setWakeup({});
    backend_.attach(nullptr);
}

void QtEventPump::drain()
{
    if (draining_)
        return;
    draining_ = true;
    backend_.processEvents();
    draining_ = false;
}

// One queued drain however often the backend asks before it runs; the
// context going away cancels it.
void QtEventPump::wake()
{
    if (wakePending_)
        return;
    wakePending_ = true;
    QMetaObject::invokeMethod(
        context_.get(),
        [this] {
            wakePending_ = false;
            drain();
        },
        Qt::QueuedConnection);
}

} // namespace kavelo
