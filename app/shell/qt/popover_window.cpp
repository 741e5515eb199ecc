#include "app/shell/qt/popover_window.h"

#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainterPath>
#include <QRegion>

namespace kavelo {

PopoverFrame::PopoverFrame() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Kavelo"));
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::night());
    setPalette(palette);
    setAutoFillBackground(true);
}

void PopoverFrame::closeEvent(QCloseEvent* event)
{
    // Hidden, not destroyed: the popover makes a new panel at the next opening.
    event->ignore();
    hide();
    if (onClosed)
        onClosed();
}

void PopoverFrame::keyPressEvent(QKeyEvent* event)
{
    // A transient panel: Escape puts it away, as it does the overview and
    // the switcher. Keys a control inside takes never get here.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverFrame::resizeEvent(QResizeEvent*)
{
    // Rounded corners whether or not the server blends.
    const QPainterPath shape = Shapes::continuousRoundedRect(QRectF(rect()), radius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

QtPopoverWindow::QtPopoverWindow(AnimationTime time, std::function<std::string()> screenName,
                                 std::function<bool()> blends, std::function<void(QWidget&)> made,
                                 const PanelHost* host)
    : time_(time), screenName_(std::move(screenName)), blends_(std::move(blends)), made_(std::move(made)), host_(host)
{
}

QtPopoverWindow::~QtPopoverWindow()
{
    withdraw();
    if (frame_)
        frame_->onClosed = nullptr;
}

void QtPopoverWindow::open(MenuPanel panel, const std::function<Rect(Size)>& place, std::function<void()> closed)
{
    if (!frame_) {
        frame_ = std::make_unique<PopoverFrame>();
        frame_->onClosed = [this] {
            withdraw();
            if (closed_)
                closed_();
        };
        if (made_)
            made_(*frame_);
    }
    if (blends_ && blends_()) {
        frame_->setAttribute(Qt::WA_TranslucentBackground, true);
        frame_->setAutoFillBackground(false);
    }
    if (view_) {
        view_->hide();
        view_->deleteLater();
    }
    place_ = place;
    closed_ = std::move(closed);
    view_ = new MenuPanelView(std::move(panel), MenuPanelContext{time_, screenName_}, frame_.get());
    view_->onResize = [this] { this->place(); };
    view_->move(0, 0);
    view_->show();
    this->place();
    frame_->show();
    frame_->raise();
    frame_->activateWindow();
    report();
}

void QtPopoverWindow::place()
{
    if (!frame_ || !view_ || !place_)
        return;
    const QSize size = view_->size();
    const Rect at = place_(Size(size.width(), size.height()));
    placed_ = at;
    frame_->setGeometry(pixelRect(host_ ? host_->toolkitFrame(at) : at));
    if (number_)
        report();
}

void QtPopoverWindow::close()
{
    withdraw();
    if (frame_)
        frame_->hide();
}

void QtPopoverWindow::report()
{
    if (!host_ || !host_->windowServer() || !isOpen() || !placed_)
        return;
    host_->report(number_, OwnPanel{.frame = *placed_,
                                    .level = PanelLevel::overlay,
                                    .name = "menuPanel",
                                    .nativeHandle = onRealDisplay() ? std::uint64_t(frame_->winId()) : 0});
}

void QtPopoverWindow::withdraw()
{
    if (host_)
        host_->withdraw(number_);
    number_.reset();
}

bool QtPopoverWindow::isOpen() const { return frame_ && frame_->isVisible(); }

std::optional<Rect> QtPopoverWindow::frame() const
{
    if (!isOpen())
        return std::nullopt;
    if (placed_)
        return placed_;
    const QRect g = frame_->geometry();
    const Rect frame(g.x(), g.y(), g.width(), g.height());
    return host_ ? host_->frameOfToolkit(frame) : frame;
}

} // namespace kavelo
