#include "app/engine/panels/focus_mode_windows.h"

#include "app/ui/active_border.h"
#include "app/ui/theme.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace kavelo {

namespace {

// On an X display, marks the native window to be left out of task bars and
// pagers. Written on the toolkit's own connection before the window is
// mapped: the toolkit keeps states it finds when it adds its own, and the
// manager reads them when it takes the window.
void skipTaskbarAndPager(QWidget& window)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    const auto intern = [c](const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    };
    const xcb_atom_t state = intern("_NET_WM_STATE");
    const std::array<xcb_atom_t, 2> skips{intern("_NET_WM_STATE_SKIP_TASKBAR"), intern("_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_NONE || skips[0] == XCB_NONE || skips[1] == XCB_NONE)
        return;
    xcb_change_property(c, XCB_PROP_MODE_APPEND, xcb_window_t(window.winId()), state, XCB_ATOM_ATOM, 32,
                        std::uint32_t(skips.size()), skips.data());
}

// On a real display a window of one colour is its native window's
// background, filled by the server: the toolkit keeps no picture of it (some
// 8 MB of shared memory for a whole display). Without a colour, or elsewhere,
// the toolkit paints it.
void serverFill(QWidget& window, std::optional<QColor> color)
{
    const bool server = color && onRealDisplay();
    window.setUpdatesEnabled(!server);
    // The manager answers each resize late; the toolkit takes a stale size
    // for a new one and sizes its picture, disabled updates or not, unless
    // the window paints on screen.
    window.setAttribute(Qt::WA_PaintOnScreen, server);
    if (!server || !window.testAttribute(Qt::WA_WState_Created))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    // Premultiplied; the server cuts the alpha byte off where the window has
    // no alpha.
    const QRgb p = color->rgba();
    const auto premultiplied = [a = qAlpha(p)](int v) { return std::uint32_t(v * a / 255); };
    const std::uint32_t pixel = std::uint32_t(qAlpha(p)) << 24 | premultiplied(qRed(p)) << 16 |
                                premultiplied(qGreen(p)) << 8 | premultiplied(qBlue(p));
    const auto native = xcb_window_t(window.winId());
    xcb_change_window_attributes(c, native, XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(c, 0, native, 0, 0, 0, 0);
    xcb_flush(c);
}

// Filled by the server: nothing to paint.
bool serverFilled(const QWidget& w)
{
    return w.window()->testAttribute(Qt::WA_PaintOnScreen);
}

// A plain fill in one colour.
class Fill : public QWidget {
public:
    explicit Fill(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }
    QColor color;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (serverFilled(*this))
            return;
        QPainter painter(this);
        painter.fillRect(rect(), color);
    }
};

class Curtain final : public CurtainPanel {
public:
    Curtain(PanelHost& host, bool onLeft) : window_(host, onLeft) {}
    void setFrame(const Rect& frame) override { window_.setCurtainFrame(frame); }
    void orderFront(WindowID below) override
    {
        window_.setBelow(below);
        window_.orderFront();
    }
    void orderOut() override { window_.orderOut(); }

private:
    CurtainWindow window_;
};

class Band final : public ShadeBand {
public:
    explicit Band(PanelHost& host) : window_(host) {}
    void setFrame(const Rect& frame) override { window_.setFrame(frame); }
    void setLook(double darkness, bool blur) override { window_.setLook(darkness, blur); }
    void setShown(bool shown) override { window_.setShown(shown); }

private:
    ShadeBandWindow window_;
};

} // namespace

CurtainWindow::CurtainWindow(PanelHost& host, bool onLeft) : FreePanel(host, PanelLevel::curtain), onLeft_(onLeft)
{
    setObjectName(QStringLiteral("curtain"));
}

double CurtainWindow::shadow() const
{
    // Unblended, the fading shadow would be an opaque black band.
    return !host() || host()->blends() ? shadowWidth : 0;
}

void CurtainWindow::setCurtainFrame(const Rect& frame)
{
    curtain_ = frame;
    const double m = shadow();
    setFrame(Rect(onLeft_ ? frame.minX() : frame.minX() - m, frame.minY(), frame.width() + m, frame.height()));
}

void CurtainWindow::showEvent(QShowEvent* event)
{
    // Before the native window is mapped, which follows this event.
    if (onRealDisplay())
        skipTaskbarAndPager(*this);
    // Without its shadow it is one colour.
    serverFill(*this, shadow() > 0 ? std::nullopt : std::optional(Theme::night()));
    FreePanel::showEvent(event);
}

void CurtainWindow::paintEvent(QPaintEvent*)
{
    if (serverFilled(*this))
        return;
    QPainter painter(this);
    const double m = shadow();
    const QRectF all(rect());
    const QRectF curtain = onLeft_ ? all.adjusted(0, 0, -m, 0) : all.adjusted(m, 0, 0, 0);
    painter.fillRect(curtain, Theme::night());
    if (m <= 0)
        return;
    const QRectF fall = onLeft_ ? QRectF(curtain.right(), 0, m, all.height()) : QRectF(0, 0, m, all.height());
    QLinearGradient gradient(onLeft_ ? fall.topLeft() : fall.topRight(), onLeft_ ? fall.topRight() : fall.topLeft());
    gradient.setColorAt(0, QColor::fromRgbF(0, 0, 0, float(shadowOpacity)));
    gradient.setColorAt(0.5, QColor::fromRgbF(0, 0, 0, float(shadowOpacity * 0.3)));
    gradient.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0));
    painter.fillRect(fall, gradient);
}

ShadeBandWindow::ShadeBandWindow(PanelHost& host) : FreePanel(host, PanelLevel::shade, true), dark_(new Fill(this))
{
    setObjectName(QStringLiteral("noPeekBand"));
    static_cast<Fill*>(dark_)->color = darkColor();
}

bool ShadeBandWindow::blends() const
{
    return !host() || host()->blends();
}

QColor ShadeBandWindow::darkColor() const
{
    QColor black(Qt::black);
    if (blends())
        black.setAlphaF(float(darkness_));
    return black;
}

void ShadeBandWindow::fillByServer()
{
    serverFill(*this, glass_ ? std::nullopt : std::optional(darkColor()));
}

void ShadeBandWindow::showEvent(QShowEvent* event)
{
    // Each showing may bring a new native window.
    fillByServer();
    FreePanel::showEvent(event);
}

void ShadeBandWindow::setLook(double darkness, bool blur)
{
    darkness_ = darkness;
    if (blur && !glass_) {
        glass_ = new GlassBackground(GlassMaterial::fullScreenUI, this);
        glass_->setAttribute(Qt::WA_TransparentForMouseEvents);
        glass_->setGeometry(rect());
        glass_->stackUnder(dark_);
        glass_->show();
    } else if (!blur && glass_) {
        delete glass_;
        glass_ = nullptr;
    }
    static_cast<Fill*>(dark_)->color = darkColor();
    dark_->update();
    fillByServer();
    showOrHide();
}

void ShadeBandWindow::setShown(bool shown)
{
    wanted_ = shown;
    showOrHide();
}

void ShadeBandWindow::showOrHide()
{
    // Unblended, a band at darkness 0 without the tint would still paint
    // black: it has nothing to show, so it goes.
    const bool visible = wanted_ && (blends() || darkness_ > 0 || glass_);
    if (visible && !isVisible()) {
        static_cast<Fill*>(dark_)->color = darkColor();
        orderFront();
    } else if (!visible && isVisible()) {
        orderOut();
    }
}

void ShadeBandWindow::resizeEvent(QResizeEvent* event)
{
    FreePanel::resizeEvent(event);
    dark_->setGeometry(rect());
    if (glass_)
        glass_->setGeometry(rect());
}

std::unique_ptr<CurtainPanel> FocusModeWindows::makeCurtain(bool onLeft)
{
    return std::make_unique<Curtain>(host_, onLeft);
}

std::unique_ptr<ShadeBand> FocusModeWindows::makeShadeBand()
{
    return std::make_unique<Band>(host_);
}

std::optional<Rect> FocusModeWindows::ownTitledKeyWindow() const
{
    return ActiveBorder::ownTitledKeyWindow(host_);
}

} // namespace kavelo
