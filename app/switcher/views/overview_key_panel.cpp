#include "app/switcher/views/overview_key_panel.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWindow>

namespace kavelo {

OverviewKeyPanel::OverviewKeyPanel(PanelHost& host, const Keyboard& keyboard, OverviewModel& model,
                                   OverviewActions actions)
    : host_(host), panel_(std::make_unique<FreePanel>(host, PanelLevel::overlay))
{
    panel_->setObjectName(QStringLiteral("overview"));
    // Its key must paint within a frame, a third of which a new full-screen
    // backing store would take: it keeps its pixels through minutes unused.
    panel_->setKeepPixelsFor(5 * 60);
    view_ = new OverviewView(model, std::move(actions), host.time(), panel_.get());
    monitor_ = new OverviewKeyMonitor(keyboard, panel_.get());
    view_->searchField()->installEventFilter(monitor_);
    // Keys reach the panel itself when its field is not the focus child.
    panel_->installEventFilter(monitor_);
}

OverviewKeyPanel::~OverviewKeyPanel()
{
    releaseKeyboard();
}

OverviewController::PanelFactory OverviewKeyPanel::factory(PanelHost& host, const Platform& platform)
{
    return [&host, platform](OverviewController& controller) -> std::unique_ptr<OverviewPanel> {
        OverviewActions actions{
            .open = [&controller](const WindowEntry& entry) { controller.open(entry); },
            .close = [&controller] { controller.hide(); },
            .fixPermissions = [&controller] { controller.fixPermissions(); },
            .switchWorkflow = [&controller](const std::string& name) { controller.chooseWorkflow(name); },
            .pointer = [&mouse = platform.mouse] { return mouse.location(); },
            .icon = [&workspace = platform.workspace](std::int32_t pid) { return workspace.icon(pid); },
        };
        return std::make_unique<OverviewKeyPanel>(host, platform.keyboard, controller.model(), std::move(actions));
    };
}

bool OverviewKeyPanel::holdKeyboard()
{
    if (holding_)
        return true;
    // Offscreen there is no other client to take the keys from.
    if (!onRealDisplay()) {
        holding_ = true;
        return true;
    }
    const bool shown = panel_->isVisible();
    if (!shown) {
        // A server grants the keyboard only to a mapped window: mapped out
        // of sight, at the size it had, so that showing it moves it rather
        // than making its pixels anew.
        const QSize size = panel_->size().isEmpty() ? QSize(1, 1) : panel_->size();
        panel_->setGeometry(QRect(FreePanel::outOfSight, size));
        panel_->QWidget::show();
    }
    QWindow* window = panel_->windowHandle();
    holding_ = window && window->setKeyboardGrabEnabled(true);
    if (!holding_ && !shown)
        panel_->QWidget::hide();
    return holding_;
}

void OverviewKeyPanel::releaseKeyboard()
{
    if (!holding_)
        return;
    holding_ = false;
    if (!onRealDisplay())
        return;
    if (QWindow* window = panel_->windowHandle())
        window->setKeyboardGrabEnabled(false);
}

void OverviewKeyPanel::present(const Rect& frame, double opacity)
{
    view_->setOpaque(!host_.blends());
    panel_->setOpacity(opacity);
    panel_->setFrame(frame);
    view_->setGeometry(QRect(QPoint(0, 0), pixelRect(frame).size()));
    view_->relayout();
    view_->grid()->reveal();
    panel_->orderFront();
    presented_ = true;
    QLineEdit* field = view_->searchField();
    field->setFocus(Qt::OtherFocusReason);
    // The panel is never the active window on a real display (the front
    // window keeps the focus), so the field would hide its caret: tell it
    // it has the keys, which the held keyboard gives it.
    if (onRealDisplay() && !field->hasFocus() && !caretShown_) {
        QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
        QApplication::sendEvent(field, &in);
        caretShown_ = true;
    }
}

void OverviewKeyPanel::setOpacity(double opacity)
{
    panel_->setOpacity(opacity);
}

void OverviewKeyPanel::orderOut()
{
    presented_ = false;
    // Kept mapped out of sight, the next opening is a move, not a map: its
    // first frame waits neither for the map nor for the server's expose.
    if (parks_) {
        panel_->park();
        view_->grid()->hold();
    } else {
        panel_->orderOut();
    }
    view_->release();
    if (caretShown_) {
        QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
        QApplication::sendEvent(view_->searchField(), &out);
        caretShown_ = false;
    }
}

void OverviewKeyPanel::paintAhead()
{
    if (!panel_->parked())
        return;
    view_->grid()->reveal();
    panel_->paintParked();
    view_->grid()->hold();
    view_->release();
}

bool OverviewKeyPanel::isVisible() const
{
    return presented_ && panel_->isVisible();
}

Handle OverviewKeyPanel::monitorKeys(KeyHandler handler)
{
    monitor_->setHandler(std::move(handler));
    auto token = std::make_shared<int>(0);
    monitorToken_ = token;
    return Handle::withCancel([this, weak = std::weak_ptr<int>(token)] {
        // Only the monitor this handle installed is removed.
        if (weak.lock() && monitorToken_ == weak.lock()) {
            monitor_->setHandler(nullptr);
            monitorToken_.reset();
        }
    });
}

} // namespace kavelo
