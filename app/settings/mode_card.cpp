#include "app/settings/mode_card.h"

#include "app/services/preferences.h"
#include "app/settings/arrange_page_plan.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kavelo {

const Spring ModeCard::spring{0.18, 0.85};

namespace {

QFont modeCardTitleFont()
{
    return Fonts::system(ModeCard::titleSize, Fonts::Weight::semibold);
}

} // namespace

ModeCard::ModeCard(Preferences& preferences, ArrangeMode mode, std::string symbol, AnimationTime time,
                   QWidget* parent)
    : QAbstractButton(parent),
      preferences_(preferences),
      mode_(mode),
      symbol_(std::move(symbol)),
      emphasis_(spring, time, [this](double) { update(); }, preferences.arrangeMode() == mode ? 1 : 0)
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

void ModeCard::follow()
{
    emphasis_.animate(selected() ? 1 : 0);
}

double ModeCard::emphasis() const
{
    // The spring overshoots a little; the look stays within its two ends.
    return std::clamp(emphasis_.value(), 0.0, 1.0);
}

QSize ModeCard::sizeHint() const
{
    const QFontMetricsF metrics(modeCardTitleFont());
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
    const double e = emphasis();
    const QRectF card(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(
        Theme::withOpacity(Theme::primary(), unselectedOpacity + e * (selectedOpacity - unselectedOpacity)));
    painter.drawPath(Shapes::continuousRoundedRect(card, cornerRadius));
    if (e > 0) {
        painter.setPen(QPen(Theme::withOpacity(Theme::lit(), e), borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::insetContinuousRoundedRect(card, cornerRadius, borderWidth / 2));
    }

    const double symbol = Symbols::extent(symbolSize);
    const QColor from = Theme::secondary(), to = Theme::lit();
    const auto mix = [e](float a, float b) { return float(a + e * (b - a)); };
    const QColor tint = QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()),
                                         mix(from.blueF(), to.blueF()), mix(from.alphaF(), to.alphaF()));
    Symbols::draw(painter, QRectF(padding, padding, symbol, symbol), symbol_, symbolSize, tint);
    painter.setFont(modeCardTitleFont());
    painter.setPen(Theme::primary());
    const double top = padding + symbol + spacing;
    painter.drawText(QRectF(padding, top, card.width() - 2 * padding, card.height() - top - padding),
                     Qt::AlignLeft | Qt::AlignTop, text());
}

} // namespace kavelo
