#include "app/ui/toast_panel.h"

#include "app/ui/panel_shadow.h"

#include "app/ui/fonts.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"
#include "core/screen_coordinates.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

QFont toastFont()
{
    return Fonts::system(ToastView::fontSize, Fonts::Weight::medium);
}

} // namespace

ToastView::ToastView(QString text, std::string icon, QWidget* parent)
    : QWidget(parent), text_(std::move(text)), icon_(std::move(icon))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToastView::setOpaque(bool opaque)
{
    if (opaque == opaque_)
        return;
    opaque_ = opaque;
    update();
}

void ToastView::setContent(QString text, std::string icon)
{
    text_ = std::move(text);
    icon_ = std::move(icon);
    updateGeometry();
    update();
}

QSize ToastView::sizeHint() const
{
    const QFontMetricsF metrics(toastFont());
    const double symbol = Symbols::extent(fontSize);
    const double w = horizontalPadding + symbol + spacing + metrics.horizontalAdvance(text_) + horizontalPadding;
    const double h = std::max(symbol, metrics.height()) + 2 * verticalPadding;
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

void ToastView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::night(), opaque_ ? 1 : 0.9));
    painter.drawPath(Shapes::capsule(bounds));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.12f), 1));
    painter.drawPath(Shapes::insetCapsule(bounds, 0.5));

    const QRectF row = bounds.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const double symbol = Symbols::extent(fontSize);
    const QRectF symbolRect(row.left(), row.center().y() - symbol / 2, symbol, symbol);
    Symbols::draw(painter, symbolRect, icon_, fontSize, Theme::lit());

    const QRectF textRect(symbolRect.right() + spacing, row.top(), row.right() - symbolRect.right() - spacing,
                          row.height());
    painter.setFont(toastFont());
    painter.setPen(Theme::moon());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

ToastPanel::ToastPanel(Mouse& mouse, Displays& displays, PanelHost& host)
    : mouse_(mouse), displays_(displays), host_(host)
{
}

ToastPanel::~ToastPanel()
{
    hide_.cancel();
}

void ToastPanel::makePanel()
{
    panel_ = std::make_unique<FreePanel>(host_, PanelLevel::overlay, true);
    panel_->setObjectName(QStringLiteral("toast"));
    backdrop_ = new PanelShadow(panel_.get(), std::nullopt, QColor::fromRgbF(0, 0, 0, 0.45f), 8, QPointF(0, 3));
    view_ = new ToastView(QString(), std::string(), panel_.get());
}

void ToastView::mousePressEvent(QMouseEvent* event)
{
    if (!clicked) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Taken out first: the action may show the next toast.
    const auto run = std::move(clicked);
    clicked = nullptr;
    run();
}

void ToastPanel::show(std::string text, std::string icon)
{
    if (!panel_)
        makePanel();
    view_->clicked = nullptr;
    panel_->setClickThrough(true);
    present(std::move(text), std::move(icon), shownFor);
}

void ToastPanel::offer(std::string text, std::string icon, std::function<void()> clicked)
{
    if (!panel_)
        makePanel();
    view_->clicked = [this, clicked = std::move(clicked)] {
        hide_.cancel();
        panel_->orderOut();
        if (clicked)
            clicked();
    };
    panel_->setClickThrough(false);
    present(std::move(text), std::move(icon), offeredFor);
}

void ToastPanel::present(std::string text, std::string icon, double seconds)
{
    view_->setContent(QString::fromStdString(text), std::move(icon));
    const QSize fitting = view_->sizeHint();
    const double w = fitting.width(), h = fitting.height();

    // The display under the pointer, else the first (the primary).
    const std::vector<Screen> screens = displays_.screens();
    if (!screens.empty()) {
        const Point pointer = mouse_.location();
        const auto under = std::find_if(screens.begin(), screens.end(),
                                        [&](const Screen& s) { return s.frame.contains(pointer); });
        const Screen& screen = under != screens.end() ? *under : screens.front();

        // Bottom-left form, as display frames come; then into window space.
        const Rect bottomLeft(screen.frame.midX() - w / 2, screen.visibleFrame.minY() + aboveBottom, w, h);
        const Rect capsule = ScreenCoordinates::flip(bottomLeft, screens.front().frame.height());
        capsule_ = capsule;

        const QRect pixels = pixelRect(capsule);
        const bool blends = host_.blends();
        const int m = blends ? shadowMargin : 0;
        panel_->setFrame(Rect(pixels.x() - m, pixels.y() - m, pixels.width() + 2 * m, pixels.height() + 2 * m));
        view_->setGeometry(m, m, pixels.width(), pixels.height());
        view_->setOpaque(!blends);
        backdrop_->setVisible(blends);
        backdrop_->setGeometry(0, 0, pixels.width() + 2 * m, pixels.height() + 2 * m);
        backdrop_->setContent(QRectF(view_->geometry()));
        // Where nothing blends, the window is cut to the capsule: its clear
        // corners would show black.
        if (blends)
            panel_->clearMask();
        else
            panel_->setMask(QRegion(Shapes::capsule(QRectF(view_->geometry())).toFillPolygon().toPolygon()));
        panel_->setWindowOpacity(1.0);
        panel_->orderFront();
    }

    hide_ = host_.scheduler().after(seconds, [panel = panel_.get()] { panel->orderOut(); });
}

bool ToastPanel::isShowing() const
{
    return panel_ && panel_->isVisible();
}

std::optional<Rect> ToastPanel::capsuleFrame() const
{
    return capsule_;
}

} // namespace kavelo
