#include "app/switcher/views/overview_empty_state.h"

#include "app/services/key_texts.h"
#include "app/ui/fonts.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

namespace kavelo {

namespace {

QFont headingFont()
{
    return Fonts::system(OverviewEmptyState::headingSize, Fonts::Weight::semibold);
}

QFont lineFont()
{
    return Fonts::system(OverviewEmptyState::lineSize);
}

QString scopeTitle(WindowScope scope)
{
    const std::string_view t = title(scope);
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

} // namespace

OverviewEmptyState::OverviewEmptyState(const OverviewModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // Its clicks belong to the backdrop behind it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString OverviewEmptyState::heading(const OverviewModel& model)
{
    if (model.windows().empty())
        return QStringLiteral("No windows are open");
    if (model.query().empty())
        return QStringLiteral("Nothing in ") + scopeTitle(model.scope());
    // The query exactly as typed, between typographic quotes.
    return QStringLiteral("No windows match “") + QString::fromStdString(model.query()) + QStringLiteral("”");
}

QString OverviewEmptyState::line(const OverviewModel& model)
{
    if (model.windows().empty())
        return QStringLiteral("Open an app and it will show up here.");
    if (model.query().empty())
        return QString::fromStdString("Press " + KeyTexts::overviewScope(1) + " to see all windows.");
    if (model.scope() == WindowScope::all)
        return QStringLiteral("Try the app's name or fewer letters.");
    return QString::fromStdString("Press " + KeyTexts::overviewScope(1) + " to search all windows.");
}

void OverviewEmptyState::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double symbol = Symbols::extent(symbolSize);
    const double headingH = QFontMetricsF(headingFont()).height();
    const double lineH = QFontMetricsF(lineFont()).height();
    const double total = symbol + symbolBelow + spacing + headingH + spacing + lineH;
    double y = (height() - total) / 2;
    Symbols::draw(painter, QRectF(width() / 2.0 - symbol / 2, y, symbol, symbol), "macwindow.on.rectangle", symbolSize,
                  Theme::dusk());
    y += symbol + symbolBelow + spacing;
    painter.setFont(headingFont());
    painter.setPen(Theme::moon());
    painter.drawText(QRectF(0, y, width(), headingH), Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                     heading());
    y += headingH + spacing;
    painter.setFont(lineFont());
    painter.setPen(Theme::dusk());
    painter.drawText(QRectF(0, y, width(), lineH), Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, line());
}

} // namespace kavelo
