#pragma once

// The Shortcuts page: the Option-Tab switcher and snapping switches, the
// overview's shortcut and mouse button, every command's shortcuts grouped
// by scope, the fixed workflow keys, and "Reset All Shortcuts".
//
// It follows the settings as they change, a beat later: a change made by a
// recorder's key handling is shown once that handling has returned, so no
// recorder is let go while it runs.

#include "app/platform/handle.h"
#include "app/services/held_keys.h"
#include "app/services/signal.h"
#include "app/settings/command_row.h"
#include "app/ui/spring.h"
#include "core/command.h"

#include <QString>
#include <QWidget>

#include <array>
#include <vector>

class QComboBox;

namespace kavelo {

class KeyCap;
class Keyboard;
class PillButton;
class Preferences;
class RecorderTurns;
class SettingGroup;
class SettingRow;
class ShortcutRecorder;
class ToggleRow;

class ShortcutsPage : public QWidget {
public:
    // `turns` is shared by every recorder of the window.
    ShortcutsPage(Preferences& preferences, const Keyboard& keyboard, RecorderTurns& turns, AnimationTime time,
                  QWidget* parent = nullptr);

    // The seven groups, top to bottom.
    const std::vector<SettingGroup*>& groups() const { return groups_; }
    ToggleRow* switcherRow() const { return switcher_; }
    SettingRow* overviewRow() const { return overview_; }
    ShortcutRecorder* overviewRecorder() const { return overviewRecorder_; }
    QComboBox* mouseButtonPicker() const { return mouseButton_; }
    ToggleRow* snappingRow() const { return snapping_; }
    CommandRow* row(Command command) const { return rows_[std::size_t(position(command))]; }
    KeyCap* workflowKeys() const { return workflowKeys_; }
    PillButton* resetButton() const { return reset_; }

    // Whether a change waits to be shown.
    bool refreshPending() const { return pending_.pending(); }

    // Marks the rows whose keys another program holds, as `held` says from
    // now on.
    void follow(Published<HeldKeys>& held);
    SettingRow* workflowRow() const { return workflowRow_; }

    struct MouseButtonChoice {
        int value;
        const char* label;
    };
    static constexpr std::array<MouseButtonChoice, 4> mouseButtonChoices{{
        {0, "Off"},
        {2, "Middle button"},
        {3, "Button 4 (back)"},
        {4, "Button 5 (forward)"},
    }};

    static QString switcherFooter();
    static QString switcherTitle();
    static QString takenDetail();

    static constexpr int spacing = 20;
    static constexpr int pickerWidth = 170;

private:
    // A group of every command of `scope`, in command order.
    SettingGroup* commandGroup(const QString& title, CommandScope scope);
    CommandRow* commandRow(Command command);
    QWidget* mouseButtonControl();

    void scheduleRefresh();
    void refresh();
    void showHeld();

    Preferences& preferences_;
    const Keyboard& keyboard_;
    RecorderTurns& turns_;
    AnimationTime time_;
    std::vector<SettingGroup*> groups_;
    std::array<CommandRow*, commandCount> rows_{};
    ToggleRow* switcher_;
    SettingRow* overview_;
    ShortcutRecorder* overviewRecorder_;
    QComboBox* mouseButton_;
    ToggleRow* snapping_;
    KeyCap* workflowKeys_;
    SettingRow* workflowRow_;
    PillButton* reset_;
    HeldKeys held_;
    Handle heldChanges_;
    Handle changes_;
    Handle pending_;
};

} // namespace kavelo
