#include "core/command.h"
#include "core/raw_value.h"

#include <charconv>

namespace kavelo {

namespace {

constexpr int ctrlOpt = Shortcut::control | Shortcut::option;                         // 0x1800
constexpr int ctrlOptShift = Shortcut::control | Shortcut::option | Shortcut::shift; // 0x1A00
constexpr int ctrlOptCmd = Shortcut::control | Shortcut::option | Shortcut::command; // 0x1900

struct Row {
    std::string_view rawName;
    std::string_view title;
    CommandScope scope;
    int keyCode;
    int modifiers;
};

using enum CommandScope;

// One row per command up to `tabs`; the jump commands follow from their number.
constexpr Row rows[] = {
    {"tidy", "Tidy windows", always, 17, ctrlOpt},
    {"fillScreen", "Fill the screen", always, 6, ctrlOpt},
    {"pause", "Pause arranging", always, 35, ctrlOpt},
    {"clearDesktop", "Clear the desktop", always, 7, ctrlOpt},
    {"nextDisplay", "Send to next display", always, 45, ctrlOpt},
    {"noPeek", "No peek", always, 45, ctrlOptShift},
    {"floatWindow", "Float or unfloat window", always, 3, ctrlOptShift},
    {"cleanSpace", "Clean Space", always, 6, ctrlOptShift},
    {"undoArrange", "Undo arrangement", always, 32, ctrlOpt},
    {"snapLeft", "Left half", snap, 123, ctrlOpt},
    {"snapRight", "Right half", snap, 124, ctrlOpt},
    {"snapMaximize", "Maximize", snap, 126, ctrlOpt},
    {"snapCenter", "Center", snap, 125, ctrlOpt},
    {"thirdLeft", "Left third", snap, 2, ctrlOpt},
    {"thirdCenter", "Center third", snap, 3, ctrlOpt},
    {"thirdRight", "Right third", snap, 5, ctrlOpt},
    {"swapLeft", "Swap with previous", auto_, 123, ctrlOptShift},
    {"swapRight", "Swap with next", auto_, 124, ctrlOptShift},
    {"layoutGrid", "Grid layout", auto_, 18, ctrlOptCmd},
    {"layoutColumns", "Columns layout", auto_, 19, ctrlOptCmd},
    {"layoutRows", "Rows layout", auto_, 20, ctrlOptCmd},
    {"layoutFocus", "Focus layout", auto_, 21, ctrlOptCmd},
    {"layoutCustom", "Your grid", auto_, 23, ctrlOptCmd},
    {"focusLeft", "Focus left", strip, 123, ctrlOpt},
    {"focusRight", "Focus right", strip, 124, ctrlOpt},
    {"focusUp", "Focus up", strip, 126, ctrlOpt},
    {"focusDown", "Focus down", strip, 125, ctrlOpt},
    {"focusFirst", "First window", strip, 123, ctrlOptCmd},
    {"focusLast", "Last window", strip, 124, ctrlOptCmd},
    {"moveLeft", "Move left", strip, 123, ctrlOptShift},
    {"moveRight", "Move right", strip, 124, ctrlOptShift},
    {"cycleWidth", "Change width", strip, 15, ctrlOpt},
    {"fullWidth", "Full width", strip, 3, ctrlOpt},
    {"center", "Center column", strip, 8, ctrlOpt},
    {"wider", "Wider", strip, 24, ctrlOpt},
    {"narrower", "Narrower", strip, 27, ctrlOpt},
    {"taller", "Taller", strip, 24, ctrlOptShift},
    {"shorter", "Shorter", strip, 27, ctrlOptShift},
    {"equalize", "Equal heights", strip, 29, ctrlOpt},
    {"pinLeft", "Pin to left edge", strip, 16, ctrlOpt},
    {"pinRight", "Pin to right edge", strip, 16, ctrlOptShift},
    // "]" stacks left and "[" stacks right, the other way round from popping.
    {"stackLeft", "Stack into left column", strip, 30, ctrlOpt},
    {"stackRight", "Stack into right column", strip, 33, ctrlOpt},
    {"popLeft", "Pop out to left", strip, 33, ctrlOptShift},
    {"popRight", "Pop out to right", strip, 30, ctrlOptShift},
    {"tabs", "Stack or tabs", strip, 17, ctrlOptShift},
};

constexpr std::string_view jumpNames[] = {"jump1", "jump2", "jump3", "jump4", "jump5",
                                          "jump6", "jump7", "jump8", "jump9"};

constexpr std::size_t tableCount = std::size(rows);
static_assert(tableCount + std::size(jumpNames) == commandCount);
static_assert(static_cast<std::size_t>(Command::tabs) + 1 == tableCount);
static_assert(static_cast<std::size_t>(Command::jump9) + 1 == commandCount);

// Key codes of the digit keys 1 to 9.
constexpr int digitKeyCodes[] = {18, 19, 20, 21, 23, 22, 26, 28, 25};

constexpr std::string_view jumpPrefix = "jump";

} // namespace

std::string_view rawValue(Command command)
{
    const auto i = static_cast<std::size_t>(command);
    if (i < tableCount)
        return rows[i].rawName;
    if (i < commandCount)
        return jumpNames[i - tableCount];
    return rows[0].rawName;
}

std::optional<Command> Command_from(std::string_view raw)
{
    return caseNamed(allCommands, raw);
}

std::optional<int> jumpTarget(Command command)
{
    const std::string_view raw = rawValue(command);
    if (!raw.starts_with(jumpPrefix))
        return std::nullopt;
    const std::string_view rest = raw.substr(jumpPrefix.size());
    int number = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
    if (rest.empty() || error != std::errc() || end != rest.data() + rest.size())
        return std::nullopt;
    return number;
}

std::string title(Command command)
{
    if (const std::optional<int> n = jumpTarget(command))
        return "Go to window " + std::to_string(*n);
    const auto i = static_cast<std::size_t>(command);
    return std::string(rows[i < tableCount ? i : 0].title);
}

CommandScope scope(Command command)
{
    const auto i = static_cast<std::size_t>(command);
    return i < tableCount ? rows[i].scope : CommandScope::strip;
}

Shortcut standard(Command command)
{
    if (const std::optional<int> n = jumpTarget(command); n && *n >= 1 && *n <= 9)
        return Shortcut{.keyCode = digitKeyCodes[*n - 1], .modifiers = ctrlOptCmd};
    const auto i = static_cast<std::size_t>(command);
    const Row& row = rows[i < tableCount ? i : 0];
    return Shortcut{.keyCode = row.keyCode, .modifiers = row.modifiers};
}

std::string_view rawValue(CommandScope scope)
{
    switch (scope) {
    case CommandScope::always: return "always";
    case CommandScope::snap: return "snap";
    case CommandScope::auto_: return "auto";
    case CommandScope::strip: return "strip";
    }
    return "always";
}

std::optional<CommandScope> CommandScope_from(std::string_view raw)
{
    return caseNamed(allCommandScopes, raw);
}

namespace json {

Json encode(Command command) { return Json(std::string(rawValue(command))); }

Command command(const Json& j) { return enumeration<Command>(j, Command_from); }

} // namespace json

} // namespace kavelo
