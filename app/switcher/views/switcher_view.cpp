#include "app/switcher/views/switcher_view.h"

#include "app/services/key_texts.h"
#include "app/ui/fonts.h"
#include "app/ui/glass.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

QFont promptFont(bool typed)
{
    return Fonts::system(SwitcherView::promptSize, typed ? Fonts::Weight::medium : Fonts::Weight::regular);
}
QFont counterFont() { return Fonts::system(SwitcherView::counterSize); }
QFont messageFont() { return Fonts::system(SwitcherView::messageSize); }

} // namespace

SwitcherView::SwitcherView(SwitcherModel& model, SwitcherPictures::IconSource icons, AnimationTime time,
                           SwitcherOpen open, QWidget* parent)
    : QWidget(parent), model_(model), pictures_(model, std::move(icons))
{
    setAttribute(Qt::WA_TranslucentBackground);
    map_ = new SwitcherMapView(model_, pictures_, time.scheduler, open, this);
    shelf_ = new SwitcherShelf(model_, pictures_, open, this);
    row_ = new SwitcherCardRow(model_, pictures_, time, open, this);
    subscription_ = model_.changed.connect([this](SwitcherChange change) { changed(change); });
    for (const auto& [id, image] : model_.thumbnails())
        pictures_.thumbnailArrived(id);
}

void SwitcherView::setOpaque(bool opaque)
{
    if (opaque == opaque_)
        return;
    opaque_ = opaque;
    update();
}

void SwitcherView::changed(const SwitcherChange& change)
{
    switch (change.kind) {
    case SwitcherChange::Kind::sessionStarted:
        pictures_.reset();
        row_->forgetCards();
        map_->invalidate();
        jump_ = true;
        break;
    case SwitcherChange::Kind::key:
        break;
    case SwitcherChange::Kind::displays:
        map_->invalidate();
        break;
    case SwitcherChange::Kind::thumbnail:
        // Only the picture is new: no layout to redo.
        pictures_.thumbnailArrived(change.window);
        map_->pictureArrived(change.window);
        shelf_->update();
        row_->pictureArrived(change.window);
        return;
    }
    dirty_ = true;
    update();
}

void SwitcherView::release()
{
    pictures_.reset();
    row_->forgetCards();
    map_->release();
}

double SwitcherView::headerHeight() const
{
    const QFontMetricsF metrics(promptFont(false));
    return std::ceil(std::max(metrics.height(), Symbols::extent(symbolSize)));
}

QRectF SwitcherView::contentRect() const
{
    const double top = padding + headerHeight() + spacing;
    return QRectF(padding, top, width() - 2 * padding, height() - top - padding);
}

SwitcherView::Content SwitcherView::content()
{
    ensureLayout();
    return content_;
}

QRectF SwitcherView::headerRect()
{
    ensureLayout();
    return header_;
}

void SwitcherView::resizeEvent(QResizeEvent*)
{
    dirty_ = true;
    ensureLayout();
}

void SwitcherView::ensureLayout()
{
    if (!dirty_)
        return;
    dirty_ = false;
    const bool jump = std::exchange(jump_, false);
    const double headerH = headerHeight();
    const double inner = width() - 2 * padding;
    if (model_.resultCount() == 0)
        content_ = Content::noMatch;
    else if (!model_.session().query.empty())
        content_ = Content::results;
    else
        content_ = Content::map;
    if (content_ == Content::map) {
        // Header, map and shelf as one column, centred in the panel.
        const SwitcherMap& map = model_.map();
        const bool shelf = !map.underneath.empty();
        const double column =
            headerH + spacing + map.size.height + (shelf ? spacing + SwitcherShelf::rowHeight : 0);
        const double top = std::round(padding + (height() - 2 * padding - column) / 2);
        header_ = QRectF(padding + headerPadding, top, inner - 2 * headerPadding, headerH);
        const double mapTop = top + headerH + spacing;
        place(map_, QRect(int(std::round((width() - map.size.width) / 2)), int(mapTop),
                          int(std::ceil(map.size.width)), int(std::ceil(map.size.height))));
        place(shelf_, shelf ? QRect(int(padding), int(std::round(mapTop + map.size.height + spacing)), int(inner),
                                    int(SwitcherShelf::rowHeight))
                            : QRect());
        shelf_->sessionChanged();
        place(row_, QRect());
    } else {
        place(map_, QRect());
        place(shelf_, QRect());
        header_ = QRectF(padding + headerPadding, padding, inner - 2 * headerPadding, headerH);
        if (content_ == Content::results) {
            place(row_, contentRect().toAlignedRect());
            row_->sessionChanged(jump);
        } else {
            place(row_, QRect());
        }
    }
    update();
}

// A part not in use is parked at no size rather than hidden: hiding or
// showing a child under the pointer makes the toolkit ask the X server where
// the pointer is, a round trip on the path of every key that changes the
// content.
void SwitcherView::place(QWidget* part, const QRect& area)
{
    if (part->geometry() != area)
        part->setGeometry(area);
}

bool SwitcherView::shows(const QWidget* part) { return part->isVisible() && !part->geometry().isEmpty(); }

QString SwitcherView::prompt() const
{
    const std::string& query = model_.session().query;
    return query.empty() ? QString::fromStdString("Keep holding " + KeyTexts::switcherHold() + " and type to search")
                         : QString::fromStdString(query);
}

QString SwitcherView::counter() const
{
    const std::size_t count = model_.resultCount();
    if (count == 0)
        return QStringLiteral("No matches");
    const std::size_t shown = std::min<std::size_t>(std::size_t(std::max(0, model_.session().index)) + 1, count);
    return QStringLiteral("%1 of %2").arg(shown).arg(count);
}

QString SwitcherView::message() const
{
    return QStringLiteral("No windows match \u201C") + QString::fromStdString(model_.session().query) +
           QStringLiteral("\u201D");
}

void SwitcherView::paintEvent(QPaintEvent*)
{
    ensureLayout();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const QPainterPath shape = Shapes::continuousRoundedRect(bounds, cornerRadius);

    // Heads-up glass under the night tint; opaque where nothing blends.
    QColor glass = Glass::tint(GlassMaterial::hudWindow);
    if (opaque_)
        glass.setAlphaF(1);
    painter.fillPath(shape, glass);
    painter.fillPath(shape, Theme::withOpacity(Theme::night(), nightOpacity));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.12f), 1));
    painter.drawPath(Shapes::insetContinuousRoundedRect(bounds, cornerRadius, 0.5));

    // Header: the symbol, the prompt or query, and the counter on the right.
    const QRectF header = header_;
    const double symbol = Symbols::extent(symbolSize);
    Symbols::draw(painter, QRectF(header.left(), header.center().y() - symbol / 2, symbol, symbol), "magnifyingglass",
                  symbolSize, Theme::dusk());
    const QString counterText = counter();
    const QFont counterF = counterFont();
    const QFontMetricsF counterMetrics(counterF);
    const double counterWidth = Fonts::monospacedWidth(counterText, counterMetrics);
    const double textLeft = header.left() + symbol + headerSpacing;
    const double textRight = header.right() - counterWidth - headerSpacing;
    const bool typed = !model_.session().query.empty();
    const QFont promptF = promptFont(typed);
    painter.setFont(promptF);
    painter.setPen(typed ? Theme::moon() : Theme::dusk());
    painter.drawText(QRectF(textLeft, header.top(), std::max(0.0, textRight - textLeft), header.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QFontMetricsF(promptF).elidedText(prompt(), Qt::ElideRight, std::max(0.0, textRight - textLeft)));
    painter.setFont(counterF);
    painter.setPen(Theme::dusk());
    Fonts::drawMonospaced(painter, counterText, header.right() - counterWidth, header, counterMetrics);

    if (content_ == Content::noMatch) {
        painter.setFont(messageFont());
        painter.setPen(Theme::dusk());
        painter.drawText(contentRect(), Qt::AlignCenter | Qt::TextSingleLine, message());
    }
}

} // namespace kavelo
