#include "app/settings/recorded_key.h"

#include "core/shortcut.h"

#include <QKeyEvent>

#include <array>
#include <utility>

namespace kavelo::RecordedKey {

int modifiers(Qt::KeyboardModifiers modifiers)
{
    int mask = 0;
    if (modifiers & Qt::ControlModifier)
        mask |= Shortcut::control;
    if (modifiers & Qt::AltModifier)
        mask |= Shortcut::option;
    if (modifiers & Qt::ShiftModifier)
        mask |= Shortcut::shift;
    if (modifiers & Qt::MetaModifier)
        mask |= Shortcut::command;
    return mask;
}

bool isModifierKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
    case Qt::Key_Direction_L:
    case Qt::Key_Direction_R:
        return true;
    default:
        return false;
    }
}

namespace {

// Qt keys that are not letters, digits or F keys, with the classic code of
// the US key that types them.
constexpr std::array<std::pair<int, int>, 50> otherKeys{{
    {Qt::Key_Space, 49},        {Qt::Key_Tab, 48},          {Qt::Key_Backtab, 48},
    {Qt::Key_Return, 36},       {Qt::Key_Enter, 76},        {Qt::Key_Backspace, 51},
    {Qt::Key_Escape, 53},       {Qt::Key_Delete, 117},      {Qt::Key_Insert, 114},
    {Qt::Key_Home, 115},        {Qt::Key_End, 119},         {Qt::Key_PageUp, 116},
    {Qt::Key_PageDown, 121},    {Qt::Key_Left, 123},        {Qt::Key_Right, 124},
    {Qt::Key_Down, 125},        {Qt::Key_Up, 126},          {Qt::Key_QuoteLeft, 50},
    {Qt::Key_AsciiTilde, 50},   {Qt::Key_Equal, 24},        {Qt::Key_Plus, 24},
    {Qt::Key_Minus, 27},        {Qt::Key_Underscore, 27},   {Qt::Key_BracketLeft, 33},
    {Qt::Key_BraceLeft, 33},    {Qt::Key_BracketRight, 30}, {Qt::Key_BraceRight, 30},
    {Qt::Key_Semicolon, 41},    {Qt::Key_Colon, 41},        {Qt::Key_Apostrophe, 39},
    {Qt::Key_QuoteDbl, 39},     {Qt::Key_Backslash, 42},    {Qt::Key_Bar, 42},
    {Qt::Key_Comma, 43},        {Qt::Key_Less, 43},         {Qt::Key_Period, 47},
    {Qt::Key_Greater, 47},      {Qt::Key_Slash, 44},        {Qt::Key_Question, 44},
    {Qt::Key_Exclam, 18},       {Qt::Key_At, 19},           {Qt::Key_NumberSign, 20},
    {Qt::Key_Dollar, 21},       {Qt::Key_Percent, 23},      {Qt::Key_AsciiCircum, 22},
    {Qt::Key_Ampersand, 26},    {Qt::Key_Asterisk, 28},     {Qt::Key_ParenLeft, 25},
    {Qt::Key_ParenRight, 29},   {Qt::Key_Clear, 71},
}};

// A to Z and 0 to 9 in order, and F1 to F20.
constexpr std::array<int, 26> letterCodes{0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46,
                                          45, 31, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6};
constexpr std::array<int, 10> digitCodes{29, 18, 19, 20, 21, 23, 22, 26, 28, 25};
constexpr std::array<int, 20> functionCodes{122, 120, 99, 118, 96, 97, 98, 100, 101, 109,
                                            103, 111, 105, 107, 113, 106, 64, 79, 80, 90};

} // namespace

std::optional<int> usKeyCode(int qtKey)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return letterCodes[std::size_t(qtKey - Qt::Key_A)];
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return digitCodes[std::size_t(qtKey - Qt::Key_0)];
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F20)
        return functionCodes[std::size_t(qtKey - Qt::Key_F1)];
    for (const auto& [key, code] : otherKeys)
        if (key == qtKey)
            return code;
    return std::nullopt;
}

std::optional<int> keyCode(const QKeyEvent& event, const Keyboard& keyboard)
{
    // Scan codes start above 0 on every backend that has them; a
    // synthesized event carries none.
    if (event.nativeScanCode() != 0) {
        if (const auto code = keyboard.keyCode(event.nativeScanCode()))
            return int(*code);
        return std::nullopt;
    }
    return usKeyCode(event.key());
}

} // namespace kavelo::RecordedKey
