#include "app/ui/free_panel.h"

#include "app/ui/panel_host.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kavelo {

QRect pixelRect(const Rect& frame)
{
    if (frame.isNull())
        return {};
    const int left = int(std::lround(frame.minX()));
    const int top = int(std::lround(frame.minY()));
    const int right = int(std::lround(frame.maxX()));
    const int bottom = int(std::lround(frame.maxY()));
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

FreePanel::FreePanel(PanelHost& host, int level, bool clickThrough)
    : QWidget(nullptr), host_(&host), level_(level), clickThrough_(clickThrough)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    applyFlags();
    host_->add(this);
}

FreePanel::~FreePanel()
{
    withdraw();
    if (host_)
        host_->remove(this);
}

void FreePanel::applyFlags()
{
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                            Qt::NoDropShadowWindowHint;
    if (level_ > PanelLevel::curtain)
        flags |= Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint;
    if (clickThrough_)
        flags |= Qt::WindowTransparentForInput;
    const bool shown = isVisible();
    setWindowFlags(flags);
    if (shown) {
        show();
        // A new native window may stand behind the widget now.
        withdraw();
        report();
    }
}

void FreePanel::setClickThrough(bool on)
{
    if (on == clickThrough_)
        return;
    clickThrough_ = on;
    applyFlags();
}

void FreePanel::setFrame(const Rect& frame)
{
    // Points; the toolkit's coordinates differ on a scaled monitor.
    const QRect geometry = placed(frame);
    if (frame == frame_ && this->geometry() == geometry)
        return;
    frame_ = frame;
    if (parked_)
        resize(geometry.size());
    else
        setGeometry(geometry);
    if (number_)
        report();
}

QPaintEngine* FreePanel::paintEngine() const
{
    return testAttribute(Qt::WA_PaintOnScreen) ? nullptr : QWidget::paintEngine();
}

void FreePanel::setBelow(std::optional<WindowID> window)
{
    if (window == below_)
        return;
    below_ = window;
    if (number_)
        report();
}

void FreePanel::orderFront()
{
    release_.cancel();
    unpark();
    if (!isVisible())
        show();
    restack();
    report();
}

void FreePanel::orderOut()
{
    hide();
    unpark();
    withdraw();
    releaseLater();
}

void FreePanel::releaseLater()
{
    if (host_ && holdsPixels())
        release_ = host_->scheduler().after(keepPixelsFor_, [this] { releasePixels(); });
}

QRect FreePanel::placed(const Rect& frame) const
{
    return pixelRect(host_ ? host_->toolkitFrame(frame) : frame);
}

void FreePanel::park()
{
    if (!isVisible()) {
        orderOut();
        return;
    }
    release_.cancel();
    parked_ = true;
    if (QWindow* window = windowHandle())
        window->installEventFilter(this);
    move(outOfSight);
    withdraw();
    releaseLater();
}

void FreePanel::unpark()
{
    if (!parked_)
        return;
    parked_ = false;
    // What changed while it was parked is painted where it stands (or
    // dropped, hidden), then it moves in whole. The toolkit asks for no
    // other paint until this one.
    paintPending();
    setGeometry(placed(frame_));
}

void FreePanel::paintParked()
{
    if (!parked_)
        return;
    parked_ = false;
    paintPending();
    parked_ = true;
}

void FreePanel::paintPending()
{
    QEvent paint(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(this, &paint);
}

bool FreePanel::event(QEvent* event)
{
    // Nothing is painted that no one sees: what changes meanwhile is kept
    // for the next showing.
    if (parked_ && event->type() == QEvent::UpdateRequest)
        return true;
    return QWidget::event(event);
}

bool FreePanel::eventFilter(QObject* watched, QEvent* event)
{
    // Nor does a window past every screen need painting when told it shows.
    if (parked_ && watched == windowHandle() && event->type() == QEvent::Expose)
        return true;
    return QWidget::eventFilter(watched, event);
}

void FreePanel::releasePixels()
{
    if (parked_) {
        hide();
        unpark();
    }
    // Shown again some other way (an owner's own show()) keeps them.
    if (isVisible())
        return;
    destroy(true, true);
    if (host_)
        host_->released();
}

void FreePanel::setOpacity(double alpha)
{
    if (alpha == windowOpacity())
        return;
    setWindowOpacity(alpha);
    if (number_)
        report();
}

void FreePanel::report()
{
    if (!host_ || !host_->windowServer() || !isVisible() || parked_)
        return;
    // Only a real display has a native window the server can restack.
    const bool native = onRealDisplay();
    const OwnPanel panel{.frame = frame_,
                         .level = level_,
                         .alpha = windowOpacity(),
                         .name = objectName().toStdString(),
                         .visible = true,
                         .below = below_,
                         .nativeHandle = native ? std::uint64_t(winId()) : 0,
                         .bypassesManager = bool(windowFlags() & Qt::BypassWindowManagerHint)};
    host_->report(number_, panel);
}

void FreePanel::withdraw()
{
    if (host_)
        host_->withdraw(number_);
    number_.reset();
}

void FreePanel::restack()
{
    // On a real display the window server places every reported panel in
    // front of its level or below its window; the toolkit's raise, sent on
    // its own connection, would land after that and undo it.
    if (host_ && host_->windowServer() && onRealDisplay())
        return;
    if (!below_)
        raise();
    // Whatever stands above this level goes back on top, lowest first.
    if (!host_)
        return;
    std::vector<FreePanel*> above;
    for (FreePanel* p : host_->panels())
        if (p != this && p->level_ > level_ && p->isVisible() && !p->parked_)
            above.push_back(p);
    std::stable_sort(above.begin(), above.end(), [](FreePanel* a, FreePanel* b) { return a->level_ < b->level_; });
    for (FreePanel* p : above)
        p->raise();
}

} // namespace kavelo
