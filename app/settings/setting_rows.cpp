#include "app/settings/setting_rows.h"

#include "app/settings/settings_style.h"
#include "app/ui/fonts.h"
#include "app/ui/pill_button.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace kavelo {

SettingRow::SettingRow(const QString& title, std::optional<QString> detail, QWidget* control, QWidget* parent)
    : QWidget(parent), control_(control)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row->setSpacing(0);
    row->addStrut(minimumHeight - 2 * verticalPadding);

    text_ = new QWidget(this);
    auto* lines = new QVBoxLayout(text_);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(lineSpacing);
    title_ = SettingsStyle::wrappingLabel(title, Fonts::system(titleSize, Fonts::Weight::medium), Theme::primary(),
                                          text_);
    lines->addWidget(title_);
    setDetail(detail);
    // The text takes what the control leaves; between them the stack's
    // spacing on both sides of the spacer.
    row->addWidget(text_, 1, Qt::AlignVCenter);
    row->addSpacing(spacing + minimumGap + spacing);
    control_->setParent(this);
    row->addWidget(control_, 0, Qt::AlignVCenter);
}

std::optional<QString> SettingRow::detail() const
{
    if (!detail_ || detail_->isHidden())
        return std::nullopt;
    return detail_->text();
}

void SettingRow::setDetail(const std::optional<QString>& detail)
{
    if (!detail) {
        if (detail_)
            detail_->hide();
        detailHidden_ = false;
        return;
    }
    if (!detail_) {
        detail_ = SettingsStyle::wrappingLabel(*detail, Fonts::system(detailSize), Theme::secondary(), text_);
        text_->layout()->addWidget(detail_);
    } else {
        detail_->setText(*detail);
    }
    // While unavailable the reason stands in; the detail comes back after.
    detail_->setVisible(!reason_);
    detailHidden_ = reason_.has_value();
}

void SettingRow::setUnavailable(const std::optional<QString>& reason)
{
    if (reason == reason_)
        return;
    const bool was = reason_.has_value();
    reason_ = reason;
    if (reason) {
        if (!reasonLabel_) {
            reasonLabel_ = SettingsStyle::wrappingLabel(*reason, Fonts::system(detailSize), Theme::secondary(), text_);
            text_->layout()->addWidget(reasonLabel_);
        } else {
            reasonLabel_->setText(*reason);
        }
        reasonLabel_->show();
        if (!was && detail_ && !detail_->isHidden()) {
            detail_->hide();
            detailHidden_ = true;
        }
    } else {
        reasonLabel_->hide();
        if (detailHidden_ && detail_)
            detail_->show();
        detailHidden_ = false;
    }
    control_->setEnabled(!reason);
    if (reason) {
        auto* fade = new QGraphicsOpacityEffect(control_);
        fade->setOpacity(unavailableOpacity);
        control_->setGraphicsEffect(fade);
    } else {
        control_->setGraphicsEffect(nullptr);
    }
    if (was != reason.has_value())
        availabilityChanged();
}

ToggleRow::ToggleRow(const QString& title, std::optional<QString> detail, Binding<bool> isOn, QWidget* parent)
    : SettingRow(title, std::move(detail), new Switch, parent), isOn_(std::move(isOn))
{
    switch_ = static_cast<Switch*>(control());
    // The switch shows no label; assistive tools still hear what it is.
    switch_->setAccessibleName(title);
    refresh();
    QObject::connect(switch_, &QAbstractButton::toggled, this, [this](bool on) {
        isOn_.set(on);
        // The setting may refuse: show what it holds now.
        refresh();
    });
}

bool ToggleRow::isOn() const
{
    return switch_->isChecked();
}

void ToggleRow::refresh()
{
    const QSignalBlocker quiet(switch_);
    switch_->setChecked(!unavailable() && isOn_.get());
    switch_->update();
}

namespace {
QFont grantedFont()
{
    return Fonts::system(GrantedLabel::fontSize, Fonts::Weight::semibold);
}
} // namespace

GrantedLabel::GrantedLabel(QWidget* parent) : GrantedLabel(text(), parent) {}

GrantedLabel::GrantedLabel(QString word, QWidget* parent) : QWidget(parent), word_(std::move(word))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize GrantedLabel::sizeHint() const
{
    const QFontMetricsF metrics(grantedFont());
    const double symbol = Symbols::extent(fontSize);
    const double w = symbol + spacing + metrics.horizontalAdvance(word_);
    const double h = std::max(symbol, metrics.height());
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

void GrantedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double symbol = Symbols::extent(fontSize);
    const QRectF bounds(rect());
    Symbols::draw(painter, QRectF(0, (bounds.height() - symbol) / 2, symbol, symbol), "checkmark.circle.fill",
                  fontSize, SettingsStyle::green());
    painter.setFont(grantedFont());
    painter.setPen(SettingsStyle::green());
    painter.drawText(bounds.adjusted(symbol + spacing, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, word_);
}

// The button and the label share the control's place; one shows at a time.
class PermissionRow::Control : public QWidget {
public:
    explicit Control(AnimationTime time)
        : button(new PillButton(QStringLiteral("Turn On"), time, true, this)), label(new GrantedLabel(this))
    {
        setAttribute(Qt::WA_TranslucentBackground);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(button, 0, Qt::AlignVCenter);
        layout->addWidget(label, 0, Qt::AlignVCenter);
    }
    PillButton* button;
    GrantedLabel* label;
};

PermissionRow::PermissionRow(const QString& title, const QString& detail, bool granted, std::function<void()> action,
                             AnimationTime time, QWidget* parent)
    : SettingRow(title, detail, new Control(time), parent),
      granted_(!granted),
      button_(static_cast<Control*>(control())->button),
      label_(static_cast<Control*>(control())->label)
{
    setGranted(granted);
    QObject::connect(button_, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

void PermissionRow::setGranted(bool granted)
{
    if (granted == granted_)
        return;
    granted_ = granted;
    button_->setVisible(!granted);
    label_->setVisible(granted);
}

} // namespace kavelo
