#include "app/settings/symbol_button.h"

#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QPainter>

#include <cmath>

namespace kavelo {

SymbolButton::SymbolButton(std::string symbol, const QString& help, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
    setToolTip(help);
    setAccessibleName(help);
}

QSize SymbolButton::sizeHint() const
{
    const int side = int(std::ceil(Symbols::extent(size)));
    return QSize(side, side);
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Dimmed while pressed, as a plain button is.
    const QColor color = isDown() ? Theme::withOpacity(Theme::secondary(), 0.5) : Theme::secondary();
    Symbols::draw(painter, QRectF(rect()), symbol_, size, color);
}

} // namespace kavelo
