#include "app/settings/workflow_card.h"

#include "app/services/key_texts.h"
#include "app/settings/picker.h"
#include "app/settings/setting_rows.h"
#include "app/ui/key_cap.h"
#include "app/ui/pill_button.h"
#include "app/workflows/workflows.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace kavelo {

namespace {

// Two controls side by side, as direct items of the row's stack.
QWidget* pair(QWidget* first, QWidget* second)
{
    auto* both = new QWidget;
    both->setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QHBoxLayout(both);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(WorkflowCard::controlSpacing);
    first->setParent(both);
    second->setParent(both);
    layout->addWidget(first, 0, Qt::AlignVCenter);
    layout->addWidget(second, 0, Qt::AlignVCenter);
    return both;
}

int arrangeIndex(const std::optional<TidyLayout>& tidy)
{
    if (!tidy)
        return 0;
    for (std::size_t i = 0; i < allTidyLayouts.size(); ++i)
        if (allTidyLayouts[i] == *tidy)
            return int(i) + 1;
    return 0;
}

} // namespace

QStringList WorkflowCard::arrangeOptions()
{
    QStringList options{QStringLiteral("Where I left them")};
    for (TidyLayout layout : allTidyLayouts)
        options << QString::fromUtf8(title(layout).data(), qsizetype(title(layout).size()));
    return options;
}

QString WorkflowCard::keyCapText(int slot)
{
    return QString::fromStdString(KeyTexts::slotLabel(slot));
}

std::optional<TidyLayout> WorkflowCard::arrangeChoice(int index)
{
    if (index < 1 || index > int(allTidyLayouts.size()))
        return std::nullopt;
    return allTidyLayouts[std::size_t(index - 1)];
}

WorkflowCard::WorkflowCard(const Workspace& workspace, Actions actions, AnimationTime time, QWidget* parent)
    : SettingGroup(std::nullopt, std::nullopt, parent), workspace_(workspace), actions_(std::move(actions))
{
    keyCap_ = new KeyCap(QString());
    switch_ = new PillButton(QStringLiteral("Switch"), time, true);
    QObject::connect(switch_, &QAbstractButton::clicked, this, [this] { actions_.switchTo(); });
    info_ = new SettingRow(QString::fromStdString(workspace_.name), QString(), pair(keyCap_, switch_));

    picker_ = new Picker;
    picker_->addItems(arrangeOptions());
    picker_->setFixedWidth(pickerWidth);
    picker_->setAccessibleName(QStringLiteral("Arrange windows"));
    // Only the user's choice writes; showing a value never does.
    QObject::connect(picker_, &QComboBox::activated, this, [this](int index) {
        actions_.setTidy(arrangeChoice(index));
        // An ignored edit shows the listed value again.
        showValues();
    });
    arrange_ = new SettingRow(QStringLiteral("Arrange windows"), std::nullopt, picker_);

    opensOnSetup_ = new ToggleRow(QStringLiteral("Switch to this when these monitors connect"), std::nullopt,
                                  {[this] { return workspace_.opensOnSetup; },
                                   [this](bool on) { actions_.setOpensOnSetup(on); }});
    hidesOtherApps_ = new ToggleRow(QStringLiteral("Hide other apps"), std::nullopt,
                                    {[this] { return workspace_.hidesOtherApps; },
                                     [this](bool on) { actions_.setHidesOtherApps(on); }});

    export_ = new PillButton(QStringLiteral("Export"), time, false);
    QObject::connect(export_, &QAbstractButton::clicked, this, [this] { actions_.exportWorkflow(); });
    delete_ = new PillButton(QStringLiteral("Delete"), time, false);
    QObject::connect(delete_, &QAbstractButton::clicked, this, [this] { actions_.pressDelete(); });
    share_ = new SettingRow(QStringLiteral("Share or remove"), std::nullopt, pair(export_, delete_));

    addRow(info_);
    addRow(arrange_);
    addRow(opensOnSetup_);
    addRow(hidesOtherApps_);
    addRow(share_);
    showValues();
}

void WorkflowCard::show(const Workspace& workspace)
{
    if (workspace == workspace_)
        return;
    workspace_ = workspace;
    showValues();
}

void WorkflowCard::showValues()
{
    info_->detailLabel()->setText(QString::fromStdString(Workflows::summary(workspace_)));
    if (workspace_.slot)
        keyCap_->setText(keyCapText(*workspace_.slot));
    keyCap_->setVisible(workspace_.slot.has_value());
    {
        const QSignalBlocker quiet(picker_);
        picker_->setCurrentIndex(arrangeIndex(workspace_.tidy));
    }
    opensOnSetup_->refresh();
    hidesOtherApps_->refresh();
}

void WorkflowCard::setArmed(bool armed)
{
    if (armed == armed_)
        return;
    armed_ = armed;
    delete_->setText(armed ? QStringLiteral("Delete?") : QStringLiteral("Delete"));
    delete_->setProminent(armed);
}

} // namespace kavelo
