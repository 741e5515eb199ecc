#pragma once

// What a key press the recorder receives means as a shortcut: the classic
// code of the key's place on the keyboard and the classic modifier mask.

#include "app/platform/keyboard.h"

#include <Qt>

#include <optional>

class QKeyEvent;

namespace kavelo::RecordedKey {

// Control → control, Alt → option, Meta (Super) → command, Shift → shift;
// keypad and group-switch flags are dropped.
int modifiers(Qt::KeyboardModifiers modifiers);

// Keys that only change modifiers or toggle a lock.
bool isModifierKey(int qtKey);

// The classic code of the US-layout key that types `qtKey` (shifted signs
// included), for events that carry no scan code.
std::optional<int> usKeyCode(int qtKey);

// The classic code of the pressed key: from its scan code when it has one
// (the same place whatever the layout), else from Qt's key on US places.
std::optional<int> keyCode(const QKeyEvent& event, const Keyboard& keyboard);

} // namespace kavelo::RecordedKey
