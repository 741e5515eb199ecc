#include "app/switcher/views/overview_command_bar.h"

#include "app/ui/fonts.h"
#include "app/ui/glass.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace kavelo {

namespace {

QFont buttonFont(bool selected)
{
    return Fonts::system(OverviewCommandBar::buttonFontSize,
                         selected ? Fonts::Weight::semibold : Fonts::Weight::medium);
}

double buttonHeight()
{
    return QFontMetricsF(buttonFont(false)).height() + 2 * OverviewCommandBar::buttonPaddingV;
}

double fieldHeight()
{
    return std::ceil(QFontMetricsF(Fonts::system(OverviewCommandBar::fieldFontSize)).height()) + 4;
}

} // namespace

OverviewCommandBar::OverviewCommandBar(OverviewModel& model, std::function<void(const std::string&)> switchWorkflow,
                                       AnimationTime time, QWidget* parent)
    : QWidget(parent), model_(model), switchWorkflow_(std::move(switchWorkflow)), field_(new QLineEdit(this)),
      capsule_(Spring(scopeResponse, scopeDamping), time, [this](double) { update(); }, 1)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);

    field_->setObjectName(QStringLiteral("overviewSearch"));
    field_->setFrame(false);
    field_->setFont(Fonts::system(fieldFontSize));
    field_->setPlaceholderText(QStringLiteral("Search windows"));
    field_->setAttribute(Qt::WA_MacShowFocusRect, false);
    field_->setTextMargins(0, 0, 0, 0);
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Window, Qt::transparent);
    palette.setColor(QPalette::Text, Theme::moon());
    palette.setColor(QPalette::PlaceholderText, Theme::withOpacity(Theme::moon(), 0.35));
    palette.setColor(QPalette::Highlight, Theme::withOpacity(Theme::lit(), 0.6));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    field_->setPalette(palette);
    field_->setAutoFillBackground(false);
    field_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; padding: 0; }"));
    QObject::connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) {
        // The letter shows at once, drawn and sent on its own before the
        // cards it moves are laid out and painted.
        field_->repaint();
        model_.setQuery(text.toStdString());
    });
    relayout();
}

double OverviewCommandBar::searchRowHeight() const
{
    return 2 * searchPaddingV + std::max(Symbols::extent(symbolSize), fieldHeight());
}

int OverviewCommandBar::preferredHeight() const
{
    return int(std::ceil(searchRowHeight() + 1 + 2 * filterPaddingV + buttonHeight()));
}

void OverviewCommandBar::relayout()
{
    // Each opening lays the bar out again; most leave it as it was, and a
    // bar painted again costs the translucent panel a paint of all below.
    const auto shown = std::tuple(scopes_, workflows_, capsuleTo_, field_->geometry());
    const double rowH = searchRowHeight();
    const double symbol = Symbols::extent(symbolSize);
    const double fieldLeft = searchPaddingH + symbol + searchSpacing;
    const double fh = fieldHeight();
    field_->setGeometry(QRectF(fieldLeft, (rowH - fh) / 2, std::max(0.0, width() - fieldLeft - searchPaddingH), fh)
                            .toRect());

    // The scope buttons from the left.
    const double top = rowH + 1 + filterPaddingV;
    const double h = buttonHeight();
    scopes_.clear();
    double x = filterPaddingH;
    for (WindowScope scope : allWindowScopes) {
        const bool selected = scope == model_.scope();
        Button b;
        const std::string_view name = kavelo::title(scope);
        b.title = QString::fromUtf8(name.data(), qsizetype(name.size()));
        b.count = QString::number(model_.count(scope));
        const QFontMetricsF metrics(buttonFont(selected));
        const double w = 2 * scopePaddingH + metrics.horizontalAdvance(b.title) + countSpacing +
                         metrics.horizontalAdvance(b.count);
        b.frame = QRectF(x, top, std::ceil(w), h);
        x = b.frame.right() + filterSpacing;
        scopes_.push_back(b);
    }

    // The first workflows at the right end; names shorten when room runs out.
    workflows_.clear();
    workflowNames_.clear();
    const auto& all = model_.workflows();
    const std::size_t n = std::min(all.size(), shownWorkflows);
    if (n > 0) {
        const QFontMetricsF metrics(buttonFont(false));
        const double fixed = 2 * workflowPaddingH + Symbols::extent(workflowSymbolSize) + workflowSpacing;
        const double room = width() - filterPaddingH - (scopes_.back().frame.right() + minimumGap) -
                            filterSpacing * double(n - 1);
        std::vector<double> names;
        double total = 0;
        for (std::size_t i = 0; i < n; ++i) {
            names.push_back(metrics.horizontalAdvance(QString::fromStdString(all[i].name)));
            total += fixed + names.back();
        }
        if (total > room) {
            const double share = std::max(0.0, room / double(n) - fixed);
            for (double& w : names)
                w = std::min(w, share);
        }
        double right = width() - filterPaddingH;
        std::vector<Button> built(n);
        for (std::size_t k = n; k-- > 0;) {
            const double w = std::ceil(fixed + names[k]);
            built[k].frame = QRectF(right - w, top, w, h);
            built[k].title = metrics.elidedText(QString::fromStdString(all[k].name), Qt::ElideRight, names[k] + 0.5);
            right = built[k].frame.left() - filterSpacing;
        }
        workflows_ = std::move(built);
        for (std::size_t i = 0; i < n; ++i)
            workflowNames_.push_back(all[i].name);
    }

    capsuleTo_ = scopes_[std::size_t(model_.scope())].frame;
    if (!capsule_.isAnimating())
        capsuleFrom_ = capsuleTo_;
    if (std::tuple(scopes_, workflows_, capsuleTo_, field_->geometry()) != shown)
        update();
}

QRectF OverviewCommandBar::selectionCapsule() const
{
    if (!capsule_.isAnimating())
        return capsuleTo_;
    const double p = capsule_.value();
    const QRectF& a = capsuleFrom_;
    const QRectF& b = capsuleTo_;
    return QRectF(a.x() + (b.x() - a.x()) * p, a.y() + (b.y() - a.y()) * p, a.width() + (b.width() - a.width()) * p,
                  a.height() + (b.height() - a.height()) * p);
}

void OverviewCommandBar::scopeChanged()
{
    const QRectF from = selectionCapsule();
    const bool animate = clickedScope_;
    clickedScope_ = false;
    relayout();
    if (animate) {
        // Only a click springs; the keys change the scope at once.
        capsuleFrom_ = from;
        capsule_.set(0);
        capsule_.animate(1);
        update();
    } else if (capsule_.isAnimating() || from != capsuleTo_) {
        capsule_.set(1);
        capsuleFrom_ = capsuleTo_;
        update();
    }
}

void OverviewCommandBar::modelChanged(OverviewModel::Property property)
{
    using P = OverviewModel::Property;
    switch (property) {
    case P::query:
        if (field_->text().toStdString() != model_.query())
            field_->setText(QString::fromStdString(model_.query()));
        break;
    case P::scope:
        scopeChanged();
        break;
    case P::windows:
    case P::workflows:
        relayout();
        break;
    case P::focusRequest:
        field_->setFocus(Qt::OtherFocusReason);
        break;
    case P::selection:
    case P::thumbnails:
    case P::columns:
    case P::missingPermission:
        break;
    }
}

void OverviewCommandBar::resizeEvent(QResizeEvent*)
{
    relayout();
}

int OverviewCommandBar::buttonAt(QPointF point) const
{
    for (std::size_t i = 0; i < scopes_.size(); ++i)
        if (scopes_[i].frame.contains(point))
            return int(i);
    for (std::size_t i = 0; i < workflows_.size(); ++i)
        if (workflows_[i].frame.contains(point))
            return int(scopes_.size() + i);
    return -1;
}

void OverviewCommandBar::mousePressEvent(QMouseEvent* event)
{
    // The bar takes its clicks, so they never reach the backdrop.
    pressed_ = event->button() == Qt::LeftButton ? buttonAt(event->position()) : -1;
    event->accept();
}

void OverviewCommandBar::mouseReleaseEvent(QMouseEvent* event)
{
    const int pressed = pressed_;
    pressed_ = -1;
    if (event->button() != Qt::LeftButton || pressed < 0 || buttonAt(event->position()) != pressed)
        return;
    if (pressed < int(scopes_.size())) {
        clickedScope_ = true;
        model_.setScope(allWindowScopes[std::size_t(pressed)]);
        clickedScope_ = false;
        return;
    }
    const std::size_t k = std::size_t(pressed) - scopes_.size();
    if (k < workflowNames_.size() && switchWorkflow_) {
        const std::string name = workflowNames_[k];
        switchWorkflow_(name);
    }
}

void OverviewCommandBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    const QPainterPath shape = Shapes::continuousRoundedRect(bounds, cornerRadius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Glass::tint(GlassMaterial::popover));
    painter.drawPath(shape);
    painter.setBrush(Theme::withOpacity(Theme::night(), 0.72));
    painter.drawPath(shape);
    painter.setClipPath(shape);

    const double rowH = searchRowHeight();
    const double symbol = Symbols::extent(symbolSize);
    Symbols::draw(painter, QRectF(searchPaddingH, (rowH - symbol) / 2, symbol, symbol), "magnifyingglass",
                  symbolSize, Theme::dusk());
    painter.fillRect(QRectF(0, rowH, bounds.width(), 1), QColor::fromRgbF(1, 1, 1, 0.08f));

    painter.setBrush(Theme::lit());
    painter.drawPath(Shapes::capsule(selectionCapsule()));
    for (std::size_t i = 0; i < scopes_.size(); ++i) {
        const Button& b = scopes_[i];
        const bool selected = allWindowScopes[i] == model_.scope();
        const QFont font = buttonFont(selected);
        const QFontMetricsF metrics(font);
        painter.setFont(font);
        const QRectF label = b.frame.adjusted(scopePaddingH, 0, -scopePaddingH, 0);
        painter.setPen(selected ? QColor(Qt::black) : Theme::moon());
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, b.title);
        painter.setPen(selected ? QColor::fromRgbF(0, 0, 0, 0.55f) : Theme::dusk());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, b.count);
    }

    const QFont font = buttonFont(false);
    painter.setFont(font);
    const double sym = Symbols::extent(workflowSymbolSize);
    for (const Button& b : workflows_) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::raised());
        painter.drawPath(Shapes::capsule(b.frame));
        const QRectF symbolRect(b.frame.left() + workflowPaddingH, b.frame.center().y() - sym / 2, sym, sym);
        Symbols::draw(painter, symbolRect, "square.stack.3d.up.fill", workflowSymbolSize, Theme::moon());
        painter.setPen(Theme::moon());
        const QRectF text(symbolRect.right() + workflowSpacing, b.frame.top(),
                          b.frame.right() - workflowPaddingH - symbolRect.right() - workflowSpacing + 1,
                          b.frame.height());
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, b.title);
    }

    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.12f), 1));
    painter.drawPath(Shapes::insetContinuousRoundedRect(bounds, cornerRadius, 0.5));
}

} // namespace kavelo
