#include "app/engine/panels/focus_mode_windows.h"

#include "app/ui/active_border.h"
#include "app/ui/theme.h"

#include <QPainter>

#include <memory>

namespace kavelo {

namespace {

// A plain fill in one colour.
class Fill : public QWidget {
public:
    explicit Fill(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }
    QColor color;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), color);
    }
};

class Curtain final : public CurtainPanel {
public:
    explicit Curtain(PanelHost& host) : window_(host) {}
    void setFrame(const Rect& frame) override { window_.setFrame(frame); }
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

CurtainWindow::CurtainWindow(PanelHost& host) : FreePanel(host, PanelLevel::curtain)
{
    setObjectName(QStringLiteral("curtain"));
}

void CurtainWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::night());
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

std::unique_ptr<CurtainPanel> FocusModeWindows::makeCurtain()
{
    return std::make_unique<Curtain>(host_);
}

std::unique_ptr<ShadeBand> FocusModeWindows::makeShadeBand()
{
    return std::make_unique<Band>(host_);
}

std::optional<Rect> FocusModeWindows::ownTitledKeyWindow() const
{
    return ActiveBorder::ownTitledKeyWindow();
}

} // namespace kavelo
