#include "app/switcher/views/overview_keys.h"

#include "app/platform/input.h"

#include <QKeyEvent>

namespace kavelo {

std::optional<std::uint16_t> classicKeyCode(const QKeyEvent& event, const Keyboard& keyboard)
{
    // A scan code of 0 is no key (synthetic events carry none).
    if (event.nativeScanCode() != 0)
        if (auto code = keyboard.keyCode(event.nativeScanCode()))
            return code;
    switch (event.key()) {
    case Qt::Key_Return: return 36;
    case Qt::Key_Enter: return 76;
    case Qt::Key_Escape: return 53;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 48;
    case Qt::Key_Left: return 123;
    case Qt::Key_Right: return 124;
    case Qt::Key_Down: return 125;
    case Qt::Key_Up: return 126;
    case Qt::Key_1: return 18;
    case Qt::Key_2: return 19;
    case Qt::Key_3: return 20;
    case Qt::Key_4: return 21;
    default: return std::nullopt;
    }
}

std::uint64_t eventFlagsOf(Qt::KeyboardModifiers modifiers)
{
    std::uint64_t flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= EventFlag::shift;
    if (modifiers & Qt::ControlModifier)
        flags |= EventFlag::control;
    if (modifiers & Qt::AltModifier)
        flags |= EventFlag::option;
    if (modifiers & Qt::MetaModifier)
        flags |= EventFlag::command;
    return flags;
}

OverviewKeyMonitor::OverviewKeyMonitor(const Keyboard& keyboard, QObject* parent) : QObject(parent), keyboard_(keyboard)
{
}

bool OverviewKeyMonitor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !handler_)
        return QObject::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    std::uint64_t flags = eventFlagsOf(key.modifiers());
    // Shift-Tab arrives as Backtab; it is still Tab with Shift.
    if (key.key() == Qt::Key_Backtab)
        flags |= EventFlag::shift;
    // A held shortcut repeats: its press alone counts, also when the press
    // went elsewhere before the panel held the keyboard.
    if (flags & (EventFlag::control | EventFlag::option | EventFlag::command)) {
        const auto since = keyboard_.downSince(key.nativeScanCode());
        if (key.isAutoRepeat() || (since && *since != std::uint64_t(std::uint32_t(key.timestamp()))))
            return true;
    }
    const auto code = classicKeyCode(key, keyboard_);
    if (!code)
        return false;
    // The handler may close the panel; keep it alive for the call.
    const OverviewPanel::KeyHandler handler = handler_;
    return handler(*code, flags);
}

} // namespace kavelo
