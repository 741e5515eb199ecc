#include "app/settings/arrange_mode_cards.h"

#include "app/services/preferences.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace kavelo {

namespace {

QFont titleFont()
{
    return Fonts::system(ArrangeModeCards::titleSize, Fonts::Weight::semibold);
}

QFont subtitleFont()
{
    return Fonts::system(ArrangeModeCards::subtitleSize);
}

double titleHeight()
{
    return std::ceil(QFontMetricsF(titleFont()).height());
}

double subtitleHeight()
{
    return std::ceil(QFontMetricsF(subtitleFont()).height());
}

} // namespace

ArrangeModeCards::ArrangeModeCards(Preferences& preferences, QWidget* parent)
    : QWidget(parent), preferences_(preferences)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
    changes_ = preferences_.observe([this](std::string_view property) {
        if (property == "arrangeMode")
            update();
    });
}

QString ArrangeModeCards::cardTitle(ArrangeMode mode)
{
    switch (mode) {
    case ArrangeMode::off: return QStringLiteral("Off");
    case ArrangeMode::auto_: return QStringLiteral("Auto arrange");
    case ArrangeMode::strip: return QStringLiteral("Scrolling strip");
    }
    return {};
}

QString ArrangeModeCards::cardSubtitle(ArrangeMode mode)
{
    switch (mode) {
    case ArrangeMode::off: return QStringLiteral("Only when I ask");
    case ArrangeMode::auto_: return QStringLiteral("Tile as windows open");
    case ArrangeMode::strip: return QStringLiteral("One long row");
    }
    return {};
}

QSize ArrangeModeCards::sizeHint() const
{
    const double h = verticalPadding + titleHeight() + lineSpacing + subtitleHeight() + verticalPadding;
    double widest = 0;
    for (ArrangeMode mode : allArrangeModes)
        widest = std::max({widest, QFontMetricsF(titleFont()).horizontalAdvance(cardTitle(mode)),
                           QFontMetricsF(subtitleFont()).horizontalAdvance(cardSubtitle(mode))});
    return QSize(int(std::ceil(3 * widest + 2 * spacing)), int(std::ceil(h)));
}

QSize ArrangeModeCards::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

QRectF ArrangeModeCards::cardRect(ArrangeMode mode) const
{
    const double cardWidth = (width() - 2 * spacing) / 3;
    const int index = int(mode);
    return QRectF(index * (cardWidth + spacing), 0, cardWidth, height());
}

std::optional<ArrangeMode> ArrangeModeCards::modeAt(QPointF point) const
{
    for (ArrangeMode mode : allArrangeModes)
        if (cardRect(mode).contains(point))
            return mode;
    return std::nullopt;
}

void ArrangeModeCards::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (ArrangeMode mode : allArrangeModes) {
        const bool selected = preferences_.arrangeMode() == mode;
        const QRectF card = cardRect(mode);
        painter.setPen(Qt::NoPen);
        painter.setBrush(selected ? Theme::lit() : Theme::withOpacity(Theme::primary(), unselectedOpacity));
        painter.drawPath(Shapes::continuousRoundedRect(card, cornerRadius));

        const double top = card.top() + verticalPadding;
        painter.setFont(titleFont());
        painter.setPen(selected ? QColor(Qt::black) : Theme::primary());
        painter.drawText(QRectF(card.left(), top, card.width(), titleHeight()), Qt::AlignCenter, cardTitle(mode));
        painter.setFont(subtitleFont());
        painter.setPen(selected ? QColor::fromRgbF(0, 0, 0, float(selectedSubtitleOpacity)) : Theme::secondary());
        painter.drawText(QRectF(card.left(), top + titleHeight() + lineSpacing, card.width(), subtitleHeight()),
                         Qt::AlignCenter, cardSubtitle(mode));
    }
}

void ArrangeModeCards::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton ? modeAt(event->position()) : std::nullopt;
    event->accept();
}

void ArrangeModeCards::mouseReleaseEvent(QMouseEvent* event)
{
    const auto pressed = std::exchange(pressed_, std::nullopt);
    if (event->button() == Qt::LeftButton && pressed && modeAt(event->position()) == pressed)
        preferences_.setArrangeMode(*pressed);
    event->accept();
}

} // namespace kavelo
