#include "app/settings/setting_group.h"

#include "app/settings/settings_style.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace kavelo {

namespace {

class Card : public QWidget {
public:
    explicit Card(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

    ColorScheme scheme = ColorScheme::dark;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Theme::primary(scheme), SettingGroup::cardOpacity));
        painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()), SettingGroup::cornerRadius));
    }
};

} // namespace

DividedRows::DividedRows(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    // Box layouts leave spacing out around hidden items, so the gap is
    // there exactly where a divider belongs.
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(dividerHeight);
}

void DividedRows::addRow(QWidget* row)
{
    layout_->addWidget(row);
    rows_.push_back(row);
    row->installEventFilter(this);
    update();
}

std::vector<QRect> DividedRows::dividers() const
{
    std::vector<QRect> out;
    const QWidget* previous = nullptr;
    for (QWidget* row : rows_) {
        if (row->isHidden())
            continue;
        if (previous)
            out.emplace_back(dividerInset, previous->geometry().bottom() + 1, width() - dividerInset, dividerHeight);
        previous = row;
    }
    return out;
}

void DividedRows::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor line = Theme::withOpacity(Theme::primary(), dividerOpacity);
    for (const QRect& divider : dividers())
        painter.fillRect(divider, line);
}

bool DividedRows::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
        update();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

SettingGroup::SettingGroup(std::optional<QString> title, std::optional<QString> footer, QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(spacing);
    if (title) {
        title_ = SettingsStyle::label(*title, Fonts::system(titleSize, Fonts::Weight::semibold),
                                      Theme::secondary(), this);
        title_->setContentsMargins(textInset, 0, 0, 0);
        stack->addWidget(title_);
    }
    card_ = new Card(this);
    auto* inCard = new QVBoxLayout(card_);
    inCard->setContentsMargins(0, 0, 0, 0);
    inCard->setSpacing(0);
    rows_ = new DividedRows(card_);
    inCard->addWidget(rows_);
    stack->addWidget(card_);
    if (footer) {
        footer_ = SettingsStyle::wrappingLabel(*footer, Fonts::system(footerSize), Theme::secondary(), this);
        footer_->setContentsMargins(textInset, 0, textInset, 0);
        stack->addWidget(footer_);
    }
}

void SettingGroup::setColorScheme(ColorScheme scheme)
{
    static_cast<Card*>(card_)->scheme = scheme;
    card_->update();
    if (title_)
        SettingsStyle::setLabelColor(*title_, Theme::secondary(scheme));
    if (footer_)
        SettingsStyle::setLabelColor(*footer_, Theme::secondary(scheme));
}

} // namespace kavelo
