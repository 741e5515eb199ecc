#pragma once

// One command of the Shortcuts page: its title, a line naming the program
// that holds one of its shortcuts, "Also used by" when another command
// that can be active at the same time has the same shortcut, and its
// recorders: one per extra shortcut with a button that removes it, the
// main one, and a button that adds another shortcut.

#include "app/services/held_keys.h"
#include "app/settings/setting_rows.h"
#include "core/command.h"

#include <QString>

#include <optional>
#include <vector>

class QHBoxLayout;

namespace kavelo {

class Keyboard;
class Preferences;
class RecorderTurns;
class ShortcutRecorder;
class SymbolButton;

class CommandRow : public SettingRow {
public:
    CommandRow(Command command, Preferences& preferences, const Keyboard& keyboard, RecorderTurns& turns,
               QWidget* parent = nullptr);

    Command command() const { return command_; }
    ShortcutRecorder* mainRecorder() const { return main_; }
    const std::vector<ShortcutRecorder*>& extraRecorders() const { return extras_; }
    const std::vector<SymbolButton*>& removeButtons() const { return removes_; }
    SymbolButton* addButton() const { return add_; }

    // Shows the settings again: the held keys, the clash and the labels, and
    // a new set of extra recorders when their number changed. Never call it
    // from inside a recorder's key handling: it may let recorders go.
    void refresh();
    // The keys another program holds, from now on (owned by the page).
    void setHeld(const HeldKeys* held);
    // Shows the detail line again, and nothing else.
    void showDetail();

    // "Also used by " and the other command's title, or none.
    static std::optional<QString> clashText(const Preferences& preferences, Command command);
    // Who holds one of the command's shortcuts, then the clash, one a line.
    static std::optional<QString> detailText(const Preferences& preferences, Command command, const HeldKeys& held);

    static constexpr int spacing = 6;
    // The shortcut "Add another shortcut" appends: F12 alone.
    static constexpr Shortcut placeholder{111, 0};

private:
    std::size_t extraCount() const;
    void rebuildExtras(std::size_t count);

    Command command_;
    Preferences& preferences_;
    const Keyboard& keyboard_;
    RecorderTurns& turns_;
    const HeldKeys* held_ = nullptr;
    QHBoxLayout* controls_;
    ShortcutRecorder* main_;
    SymbolButton* add_;
    std::vector<ShortcutRecorder*> extras_;
    std::vector<SymbolButton*> removes_;
    // "Add another shortcut" was pressed: the next new recorder listens.
    bool listenToNew_ = false;
};

} // namespace kavelo
