#pragma once

// The overview's local key monitor: each key press the panel receives
// becomes a classic key code and event flags for the controller; keys it
// does not take go on to the search field.

#include "app/platform/keyboard.h"
#include "app/switcher/overview_panel.h"

#include <QObject>

#include <cstdint>
#include <optional>

class QKeyEvent;

namespace kavelo {

// The classic key code of a key event: by the key's position (its native
// scan code) where the keyboard knows it, else by the Qt key for the keys
// that are the same in every layout (and the digits 1 to 4). None for any
// other key.
std::optional<std::uint16_t> classicKeyCode(const QKeyEvent& event, const Keyboard& keyboard);

// Command is Super (Qt's Meta), Option is Alt.
std::uint64_t eventFlagsOf(Qt::KeyboardModifiers modifiers);

// Filters the key presses of the widget it watches.
class OverviewKeyMonitor : public QObject {
public:
    OverviewKeyMonitor(const Keyboard& keyboard, QObject* parent = nullptr);
    void setHandler(OverviewPanel::KeyHandler handler) { handler_ = std::move(handler); }
    bool hasHandler() const { return bool(handler_); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const Keyboard& keyboard_;
    OverviewPanel::KeyHandler handler_;
};

} // namespace kavelo
