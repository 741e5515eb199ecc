#include "app/settings/mode_card.h"

#include "app/services/preferences.h"
#include "app/settings/arrange_page_plan.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace kavelo {

namespace {

QFont titleFont()
{
    return Fonts::system(ModeCard::titleSize, Fonts::Weight::semibold);
}

} // namespace

ModeCard::ModeCard(Preferences& preferences, ArrangeMode mode, std::string symbol, QWidget* parent)
    : QAbstractButton(parent), preferences_(preferences), mode_(mode), symbol_(std::move(symbol))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
    setText(QString::fromUtf8(ArrangePage::cardTitle(mode).data(), int(ArrangePage::cardTitle(mode).size())));
    QObject::connect(this, &QAbstractButton::clicked, this, [this] { preferences_.setArrangeMode(mode_); });
}

bool ModeCard::selected() const
{
    return preferences_.arrangeMode() == mode_;
}

QSize ModeCard::sizeHint() const
{
    const QFontMetricsF metrics(titleFont());
    const double h = padding + Symbols::extent(symbolSize) + spacing + std::ceil(metrics.height()) + padding;
    const double w = padding + std::max(Symbols::extent(symbolSize), metrics.horizontalAdvance(text())) + padding;
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

QSize ModeCard::minimumSizeHint() const
{
    return QSize(int(2 * padding), sizeHint().height());
}

void ModeCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool on = selected();
    const QRectF card(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::primary(), on ? selectedOpacity : unselectedOpacity));
    painter.drawPath(Shapes::continuousRoundedRect(card, cornerRadius));
    if (on) {
        painter.setPen(QPen(Theme::lit(), borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::insetContinuousRoundedRect(card, cornerRadius, borderWidth / 2));
    }

    const double symbol = Symbols::extent(symbolSize);
    Symbols::draw(painter, QRectF(padding, padding, symbol, symbol), symbol_, symbolSize,
                  on ? Theme::lit() : Theme::secondary());
    painter.setFont(titleFont());
    painter.setPen(Theme::primary());
    const double top = padding + symbol + spacing;
    painter.drawText(QRectF(padding, top, card.width() - 2 * padding, card.height() - top - padding),
                     Qt::AlignLeft | Qt::AlignTop, text());
}

} // namespace kavelo
