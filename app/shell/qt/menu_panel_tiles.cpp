#include "app/shell/qt/menu_panel_tiles.h"
#include "app/shell/qt/menu_panel_text.h"

#include "app/ui/fonts.h"
#include "app/ui/key_cap.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

QColor white(double opacity) { return QColor::fromRgbF(1, 1, 1, float(opacity)); }

} // namespace

// --- ActionTile ---

ActionTile::ActionTile(std::string symbol, const QString& title, const QString& key, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol)), key_(new KeyCap(key, this))
{
    setText(title);
    setAccessibleName(title);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    key_->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ActionTile::setKey(const QString& key)
{
    key_->setText(key);
    resizeEvent(nullptr);
}

QSize ActionTile::sizeHint() const
{
    const QFont title = Fonts::system(titleSize, Fonts::Weight::semibold);
    const double row = std::max(lineHeight(title), double(key_->sizeHint().height()));
    const double height = 2 * padding + Symbols::extent(symbolSize) + spacing + row;
    // The narrower of the key cap after the title and beside the symbol.
    const double titleWidth = QFontMetricsF(title).horizontalAdvance(text());
    const double cap = key_->sizeHint().width();
    const double width =
        2 * padding + std::min(titleWidth + gap + cap, std::max(titleWidth, Symbols::extent(symbolSize) + gap + cap));
    return QSize(ceilInt(width), ceilInt(height));
}

QRectF ActionTile::titleRect() const
{
    const QFont title = Fonts::system(titleSize, Fonts::Weight::semibold);
    const double rowTop = padding + Symbols::extent(symbolSize) + spacing;
    const double row = std::max(lineHeight(title), double(key_->sizeHint().height()));
    return QRectF(padding, rowTop, QFontMetricsF(title).horizontalAdvance(text()), row);
}

void ActionTile::resizeEvent(QResizeEvent*)
{
    const QSize cap = key_->sizeHint();
    const QRectF title = titleRect();
    // After the title when it fits there, else up beside the symbol, where
    // a long key in words (Ctrl+Alt+Space) has more room.
    const double extent = Symbols::extent(symbolSize);
    const double titleRoom = width() - padding - (title.right() + gap);
    const double symbolRoom = width() - padding - (padding + extent + gap);
    const bool beside = cap.width() > titleRoom && symbolRoom > titleRoom;
    const double room = beside ? symbolRoom : titleRoom;
    const double middle = beside ? padding + extent / 2 : title.center().y();
    const int capWidth = std::max(0, std::min(cap.width(), int(std::floor(room))));
    key_->setGeometry(int(std::lround(width() - padding - capWidth)), int(std::lround(middle - cap.height() / 2.0)),
                      capWidth, cap.height());
    // The whole key where its cap shows only part of it.
    setToolTip(capWidth < cap.width() ? key_->text() : QString());
}

void ActionTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(white(isDown() ? 0.14 : 0.09));
    painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()), radius));

    const double extent = Symbols::extent(symbolSize);
    Symbols::draw(painter, QRectF(padding, padding, extent, extent), symbol_, symbolSize, Theme::lit());

    painter.setFont(Fonts::system(titleSize, Fonts::Weight::semibold));
    painter.setPen(Theme::primary());
    const QRectF title = titleRect();
    painter.drawText(QRectF(title.left(), title.top(), width() - 2 * padding, title.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}

std::vector<int> shareRow(const std::vector<int>& wanted, int room)
{
    const int n = int(wanted.size());
    if (n == 0)
        return {};
    long total = 0;
    for (int w : wanted)
        total += w;
    const bool spare = total <= room;
    // The level every tile is raised to (with room to spare) or cut to
    // (short of it), found by giving the tiles past it theirs first.
    std::vector<int> order(wanted);
    std::sort(order.begin(), order.end());
    if (spare)
        std::reverse(order.begin(), order.end());
    int left = room, count = n;
    for (int w : order) {
        const int share = left / count;
        if (spare ? w <= share : w >= share)
            break;
        left -= w;
        --count;
    }
    const int level = count > 0 ? left / count : 0;
    std::vector<int> out;
    int extra = count > 0 ? left - level * count : 0;
    for (int w : wanted) {
        int width = spare ? std::max(w, level) : std::min(w, level);
        // The pixels that do not divide evenly go to the first at the level.
        if (width == level && extra > 0) {
            ++width;
            --extra;
        }
        out.push_back(width);
    }
    return out;
}

// --- QuickTile ---

QuickTile::QuickTile(std::string symbol, const QString& title, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol))
{
    setText(title);
    setAccessibleName(title);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void QuickTile::setOn(bool on)
{
    if (on_ == on)
        return;
    on_ = on;
    update();
}

QSize QuickTile::sizeHint() const
{
    const QFont title = Fonts::system(titleSize, Fonts::Weight::medium);
    const double height = 2 * verticalPadding + Symbols::extent(symbolSize) + spacing + lineHeight(title);
    return QSize(ceilInt(QFontMetricsF(title).horizontalAdvance(text()) + 12), ceilInt(height));
}

void QuickTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor fill = on_ ? Theme::lit() : Theme::withOpacity(Theme::primary(), 0.06);
    if (isDown())
        fill = Theme::withOpacity(fill, on_ ? 0.8 : 2.0);
    painter.setBrush(fill);
    painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()), radius));

    const QColor ink = on_ ? QColor(Qt::black) : Theme::primary();
    const double extent = Symbols::extent(symbolSize);
    Symbols::draw(painter, QRectF((width() - extent) / 2, verticalPadding, extent, extent), symbol_, symbolSize, ink);
    const QFont title = Fonts::system(titleSize, Fonts::Weight::medium);
    painter.setFont(title);
    painter.setPen(ink);
    painter.drawText(QRectF(0, verticalPadding + extent + spacing, width(), lineHeight(title)), Qt::AlignCenter,
                     text());
}

// --- NoticeButton ---

NoticeButton::NoticeButton(const QString& title, std::string symbol, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol))
{
    setText(title);
    setAccessibleName(title);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize NoticeButton::sizeHint() const
{
    const QFont font = Fonts::system(fontSize, Fonts::Weight::medium);
    const double width = 2 * horizontalPadding + Symbols::extent(fontSize) + 6 +
                         QFontMetricsF(font).horizontalAdvance(text());
    return QSize(ceilInt(width), ceilInt(std::max(lineHeight(font), Symbols::extent(fontSize))));
}

void NoticeButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = isDown() ? Theme::withOpacity(Theme::lit(), 0.6) : Theme::lit();
    const double extent = Symbols::extent(fontSize);
    Symbols::draw(painter, QRectF(horizontalPadding, (height() - extent) / 2, extent, extent), symbol_, fontSize, ink);
    painter.setFont(Fonts::system(fontSize, Fonts::Weight::medium));
    painter.setPen(ink);
    const double x = horizontalPadding + extent + 6;
    painter.drawText(QRectF(x, 0, width() - x - horizontalPadding, height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text());
}

// --- TextButton ---

TextButton::TextButton(const QString& text, double size, bool semibold, QColor color, QWidget* parent)
    : QAbstractButton(parent), size_(size), semibold_(semibold), color_(color)
{
    setText(text);
    setAccessibleName(text);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize TextButton::sizeHint() const
{
    const QFont font = Fonts::system(size_, semibold_ ? Fonts::Weight::semibold : Fonts::Weight::regular);
    return QSize(ceilInt(QFontMetricsF(font).horizontalAdvance(text()) + 2), ceilInt(lineHeight(font)));
}

void TextButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(Fonts::system(size_, semibold_ ? Fonts::Weight::semibold : Fonts::Weight::regular));
    painter.setPen(isDown() ? Theme::withOpacity(color_, 0.5) : color_);
    painter.drawText(QRectF(rect()), Qt::AlignCenter, text());
}

// --- SectionHeader ---

SectionHeader::SectionHeader(const QString& title, QWidget* trailing, QWidget* parent)
    : QWidget(parent), title_(new QLabel(title, this)), trailing_(trailing)
{
    setAttribute(Qt::WA_TranslucentBackground);
    title_->setFont(Fonts::system(titleSize, Fonts::Weight::semibold));
    QPalette palette = title_->palette();
    palette.setColor(QPalette::WindowText, Theme::secondary());
    title_->setPalette(palette);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 0);
    row->addWidget(title_);
    row->addStretch(1);
    if (trailing_)
        row->addWidget(trailing_);
}

// --- WorkflowRowButton ---

WorkflowRowButton::WorkflowRowButton(const QString& name, std::optional<QString> key, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(name);
    setAccessibleName(name);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (key) {
        key_ = new KeyCap(*key, this);
        key_->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

QSize WorkflowRowButton::sizeHint() const
{
    const QFont font = Fonts::system(nameSize, Fonts::Weight::medium);
    const double content = std::max(lineHeight(font), key_ ? double(key_->sizeHint().height()) : 0.0);
    double width = 2 * horizontalPadding + QFontMetricsF(font).horizontalAdvance(text());
    if (key_)
        width += 8 + key_->sizeHint().width();
    return QSize(ceilInt(width), ceilInt(content + 2 * verticalPadding));
}

void WorkflowRowButton::resizeEvent(QResizeEvent*)
{
    if (!key_)
        return;
    const QSize cap = key_->sizeHint();
    key_->setGeometry(int(std::lround(width() - horizontalPadding - cap.width())), (height() - cap.height()) / 2,
                      cap.width(), cap.height());
}

void WorkflowRowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::primary(), isDown() ? pressedOpacity : restOpacity));
    painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()), radius));
    const QFont font = Fonts::system(nameSize, Fonts::Weight::medium);
    painter.setFont(font);
    painter.setPen(Theme::primary());
    double right = width() - horizontalPadding;
    if (key_)
        right -= key_->sizeHint().width() + 8;
    const QRectF area(horizontalPadding, 0, right - horizontalPadding, height());
    // One line: a long name is cut short with an ellipsis.
    const QString shown = QFontMetricsF(font).elidedText(text(), Qt::ElideRight, area.width());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

// --- PanelDivider ---

PanelDivider::PanelDivider(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PanelDivider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::withOpacity(Theme::primary(), 0.08));
}

} // namespace kavelo
