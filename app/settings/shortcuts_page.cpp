#include "app/settings/shortcuts_page.h"

#include "app/services/key_texts.h"
#include "app/services/preferences.h"
#include "app/settings/menu_picker.h"
#include "app/settings/setting_group.h"
#include "app/settings/setting_rows.h"
#include "app/settings/shortcut_recorder.h"
#include "app/ui/key_cap.h"
#include "app/ui/pill_button.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <string_view>

namespace kavelo {

QString ShortcutsPage::switcherFooter()
{
    return QString::fromStdString("Tap to jump back. Hold " + KeyTexts::switcherHold() + " and press " +
                                  Shortcut::keyLabel(KeyTexts::switcher.keyCode) +
                                  " to see your windows, then keep holding and type to search. Press 1 to 9 for a "
                                  "workflow.");
}

QString ShortcutsPage::switcherTitle()
{
    return QString::fromStdString("Use " + KeyTexts::switcher.label() + " to switch windows");
}

QString ShortcutsPage::takenDetail()
{
    return QStringLiteral("Another app is using this. Choose a different one.");
}

ShortcutsPage::ShortcutsPage(Preferences& preferences, const Keyboard& keyboard, RecorderTurns& turns,
                             AnimationTime time, QWidget* parent)
    : QWidget(parent), preferences_(preferences), keyboard_(keyboard), turns_(turns), time_(time)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(spacing);
    const auto add = [&](SettingGroup* group) {
        groups_.push_back(group);
        stack->addWidget(group);
    };

    auto* switching = new SettingGroup(QStringLiteral("Switch windows"), switcherFooter());
    switcher_ = new ToggleRow(switcherTitle(), std::nullopt,
                              {[&preferences] { return preferences.switcherEnabled(); },
                               [&preferences](bool on) { preferences.setSwitcherEnabled(on); }});
    switching->addRow(switcher_);
    add(switching);

    auto* find = new SettingGroup(QStringLiteral("Find windows"));
    overviewRecorder_ = new ShortcutRecorder({[&preferences] { return preferences.shortcut(); },
                                              [&preferences](Shortcut shortcut) { preferences.setShortcut(shortcut); }},
                                             preferences, keyboard, false, &turns);
    overviewRecorder_->setAccessibleName(QStringLiteral("Keyboard shortcut"));
    overview_ = new SettingRow(QStringLiteral("Keyboard shortcut"),
                               preferences.shortcutTaken() ? std::optional(takenDetail()) : std::nullopt,
                               overviewRecorder_);
    find->addRow(overview_);
    find->addRow(new SettingRow(QStringLiteral("Mouse button"), std::nullopt, mouseButtonControl()));
    add(find);

    add(commandGroup(QStringLiteral("Everywhere"), CommandScope::always));

    auto* snap = new SettingGroup(QStringLiteral("Snapping"));
    snapping_ = new ToggleRow(QStringLiteral("Use snapping shortcuts"), std::nullopt,
                              {[&preferences] { return preferences.snappingEnabled(); },
                               [&preferences](bool on) { preferences.setSnappingEnabled(on); }});
    snap->addRow(snapping_);
    for (Command command : allCommands)
        if (scope(command) == CommandScope::snap)
            snap->addRow(commandRow(command));
    add(snap);

    add(commandGroup(QStringLiteral("Auto arrange"), CommandScope::auto_));
    add(commandGroup(QStringLiteral("Scrolling strip"), CommandScope::strip));

    auto* workflows = new SettingGroup(QStringLiteral("Workflows"));
    // Fixed keys: shown, never edited.
    workflowKeys_ = new KeyCap(QString::fromStdString(KeyTexts::slotRange()));
    workflowRow_ = new SettingRow(QStringLiteral("Switch workflow"), std::nullopt, workflowKeys_);
    workflows->addRow(workflowRow_);
    add(workflows);

    reset_ = new PillButton(QStringLiteral("Reset All Shortcuts"), time, false);
    // Every command's main shortcut back to its default; extra shortcuts,
    // the overview's and the mouse button stay.
    connect(reset_, &QAbstractButton::clicked, this, [this] { preferences_.setBindings({}); });
    stack->addWidget(reset_, 0, Qt::AlignLeft);

    changes_ = preferences.observe([this](std::string_view property) {
        static constexpr std::array<std::string_view, 7> shown{"switcherEnabled", "shortcut",    "shortcutTaken",
                                                               "mouseButton",     "snappingEnabled", "bindings",
                                                               "extraBindings"};
        for (std::string_view name : shown)
            if (property == name) {
                scheduleRefresh();
                return;
            }
    });
}

QWidget* ShortcutsPage::mouseButtonControl()
{
    mouseButton_ = new MenuPicker;
    for (const MouseButtonChoice& choice : mouseButtonChoices)
        mouseButton_->addItem(QString::fromUtf8(choice.label), choice.value);
    mouseButton_->setFixedWidth(pickerWidth);
    // The row's title names it; the picker shows no label of its own.
    mouseButton_->setAccessibleName(QStringLiteral("Mouse button"));
    mouseButton_->setCurrentIndex(mouseButton_->findData(preferences_.mouseButton()));
    connect(mouseButton_, &QComboBox::activated, this,
            [this](int index) { preferences_.setMouseButton(mouseButton_->itemData(index).toInt()); });
    return mouseButton_;
}

SettingGroup* ShortcutsPage::commandGroup(const QString& title, CommandScope scope)
{
    auto* group = new SettingGroup(title);
    for (Command command : allCommands)
        if (kavelo::scope(command) == scope)
            group->addRow(commandRow(command));
    return group;
}

CommandRow* ShortcutsPage::commandRow(Command command)
{
    auto* row = new CommandRow(command, preferences_, keyboard_, turns_);
    rows_[std::size_t(position(command))] = row;
    return row;
}

void ShortcutsPage::follow(Published<HeldKeys>& held)
{
    for (CommandRow* row : rows_)
        row->setHeld(&held_);
    heldChanges_ = held.subscribe([this](const HeldKeys& now) {
        held_ = now;
        showHeld();
    });
}

// The held keys' lines; the overview's row says who holds its key when it
// is known, else what the settings say.
void ShortcutsPage::showHeld()
{
    const auto toText = [](const std::optional<std::string>& text) {
        return text ? std::optional(QString::fromStdString(*text)) : std::nullopt;
    };
    const auto overview = HeldKeyTexts::rowDetail(held_, {preferences_.shortcut()});
    overview_->setDetail(overview                          ? toText(overview)
                         : preferences_.shortcutTaken()    ? std::optional(takenDetail())
                                                           : std::nullopt);
    switcher_->setDetail(toText(HeldKeyTexts::switcherDetail(held_)));
    workflowRow_->setDetail(toText(HeldKeyTexts::slotsDetail(held_)));
    // Lines only: a registration may run inside a recorder's key handling.
    for (CommandRow* row : rows_)
        row->showDetail();
}

void ShortcutsPage::scheduleRefresh()
{
    if (!pending_.pending())
        pending_ = time_.scheduler.after(0, [this] { refresh(); });
}

void ShortcutsPage::refresh()
{
    switcher_->refresh();
    snapping_->refresh();
    overviewRecorder_->refresh();
    {
        const QSignalBlocker quiet(mouseButton_);
        mouseButton_->setCurrentIndex(mouseButton_->findData(preferences_.mouseButton()));
    }
    for (CommandRow* row : rows_)
        row->refresh();
    showHeld();
}

} // namespace kavelo
