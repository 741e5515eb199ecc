#include "app/switcher/views/overview_footer.h"

#include "app/services/key_texts.h"
#include "app/ui/fonts.h"
#include "app/ui/key_cap.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

QFont labelFont()
{
    return Fonts::system(OverviewFooter::fontSize);
}

QFont buttonFont()
{
    return Fonts::system(OverviewFooter::fontSize, Fonts::Weight::medium);
}

} // namespace

const std::vector<std::pair<QString, QString>>& OverviewFooter::hints()
{
    static const std::vector<std::pair<QString, QString>> all{
        {QStringLiteral("Return"), QStringLiteral("Open")},
        {QStringLiteral("←→↑↓"), QStringLiteral("Choose")},
        {QString::fromStdString(KeyTexts::overviewScopes4()), QStringLiteral("Filter")},
        {QStringLiteral("Esc"), QStringLiteral("Close")},
    };
    return all;
}

QString OverviewFooter::permissionTitle()
{
    return QStringLiteral("Some windows may be missing");
}

OverviewFooter::OverviewFooter(std::function<void()> fixPermissions, QWidget* parent)
    : QWidget(parent), fixPermissions_(std::move(fixPermissions))
{
    setAttribute(Qt::WA_TranslucentBackground);
    for (const auto& [key, action] : hints()) {
        auto* cap = new KeyCap(key, this);
        // The hints are pictures; their clicks belong to the backdrop.
        cap->setAttribute(Qt::WA_TransparentForMouseEvents);
        caps_.push_back(cap);
    }
    relayout();
}

void OverviewFooter::setShowsPermission(bool shows)
{
    if (shows == showsPermission_)
        return;
    showsPermission_ = shows;
    relayout();
}

int OverviewFooter::preferredHeight() const
{
    const double label = QFontMetricsF(labelFont()).height();
    return int(std::ceil(std::max(double(caps_.front()->sizeHint().height()), label)));
}

void OverviewFooter::relayout()
{
    const QFontMetricsF metrics(labelFont());
    const double h = height();
    std::vector<double> widths;
    double total = 0;
    for (std::size_t i = 0; i < caps_.size(); ++i) {
        const double w = caps_[i]->sizeHint().width() + hintSpacing + metrics.horizontalAdvance(hints()[i].second);
        widths.push_back(w);
        total += w + (i ? spacing : 0);
    }
    const double buttonWidth = buttonLeading + QFontMetricsF(buttonFont()).horizontalAdvance(permissionTitle());
    if (showsPermission_)
        total += spacing + buttonWidth;

    double x = std::round((width() - total) / 2);
    labels_.clear();
    for (std::size_t i = 0; i < caps_.size(); ++i) {
        const QSize cap = caps_[i]->sizeHint();
        caps_[i]->setGeometry(int(x), int(std::round((h - cap.height()) / 2)), cap.width(), cap.height());
        const double labelX = x + cap.width() + hintSpacing;
        labels_.push_back(QRectF(labelX, 0, widths[i] - cap.width() - hintSpacing, h));
        x += widths[i] + spacing;
    }
    button_ = showsPermission_ ? QRectF(x, 0, buttonWidth, h) : QRectF();
    update();
}

void OverviewFooter::resizeEvent(QResizeEvent*)
{
    relayout();
}

void OverviewFooter::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton && button_.contains(event->position());
    if (!pressed_)
        event->ignore();
}

void OverviewFooter::mouseReleaseEvent(QMouseEvent* event)
{
    const bool pressed = pressed_;
    pressed_ = false;
    if (!pressed) {
        event->ignore();
        return;
    }
    if (button_.contains(event->position()) && fixPermissions_)
        fixPermissions_();
}

void OverviewFooter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(labelFont());
    painter.setPen(Theme::dusk());
    for (std::size_t i = 0; i < labels_.size(); ++i)
        painter.drawText(labels_[i], Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, hints()[i].second);
    if (showsPermission_) {
        painter.setFont(buttonFont());
        painter.setPen(Theme::lit());
        painter.drawText(button_.adjusted(buttonLeading, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         permissionTitle());
    }
}

} // namespace kavelo
