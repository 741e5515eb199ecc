#pragma once

// Everything the user can trigger from the keyboard, a menu, a URL or the
// command line. The order is fixed: the shell and the engine refer to
// commands by position (0-8 always, 9-15 snap, 16-22 auto, 23-54 strip).

#include "core/json.h"
#include "core/shortcut.h"

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace kavelo {

enum class Command {
    tidy,
    fillScreen,
    pause,
    clearDesktop,
    nextDisplay,
    noPeek,
    floatWindow,
    cleanSpace,
    undoArrange,
    snapLeft,
    snapRight,
    snapMaximize,
    snapCenter,
    thirdLeft,
    thirdCenter,
    thirdRight,
    swapLeft,
    swapRight,
    layoutGrid,
    layoutColumns,
    layoutRows,
    layoutFocus,
    layoutCustom,
    focusLeft,
    focusRight,
    focusUp,
    focusDown,
    focusFirst,
    focusLast,
    moveLeft,
    moveRight,
    cycleWidth,
    fullWidth,
    center,
    wider,
    narrower,
    taller,
    shorter,
    equalize,
    pinLeft,
    pinRight,
    stackLeft,
    stackRight,
    popLeft,
    popRight,
    tabs,
    jump1,
    jump2,
    jump3,
    jump4,
    jump5,
    jump6,
    jump7,
    jump8,
    jump9,
};

inline constexpr std::size_t commandCount = 55;

// Every command in declaration order.
inline constexpr std::array<Command, commandCount> allCommands = [] {
    std::array<Command, commandCount> all{};
    for (std::size_t i = 0; i < commandCount; ++i)
        all[i] = static_cast<Command>(i);
    return all;
}();

// When a command's shortcuts are registered: `always` in every arrange mode,
// `snap` outside strip mode while snapping is on, `auto_` in auto mode only,
// `strip` in strip mode only. `auto_` carries the raw value "auto".
enum class CommandScope { always, snap, auto_, strip };

inline constexpr std::array<CommandScope, 4> allCommandScopes{CommandScope::always, CommandScope::snap,
                                                              CommandScope::auto_, CommandScope::strip};

std::string_view rawValue(Command command);
std::optional<Command> Command_from(std::string_view raw);

// The position in `allCommands`.
constexpr int position(Command command) { return static_cast<int>(command); }

std::string title(Command command);
CommandScope scope(Command command);
Shortcut standard(Command command); // the default shortcut
std::optional<int> jumpTarget(Command command);

std::string_view rawValue(CommandScope scope);
std::optional<CommandScope> CommandScope_from(std::string_view raw);

namespace json {

// A command travels as its raw name; any other text fails.
Json encode(Command command);
Command command(const Json& j);

// A map keyed by command is one flat array alternating raw name and value:
// ["tidy", {...}, "snapLeft", {...}]. Pairs are written in command order.
template <class V, class EncodeValue>
Json encodeCommandMap(const std::map<Command, V>& map, EncodeValue encodeValue)
{
    Json j = Json::array();
    for (const auto& [command, value] : map) {
        j.push_back(encode(command));
        j.push_back(encodeValue(value));
    }
    return j;
}

// The same with the value type's own `json::encode`.
template <class V>
Json encodeCommandMap(const std::map<Command, V>& map)
{
    return encodeCommandMap(map, [](const V& value) { return encode(value); });
}

// Reads the alternating array back. An odd length, a name that is not text or
// a value that does not decode fails the whole map. A name that is no longer
// (or not yet) a command drops only its own pair, so settings written by
// another version keep every binding this one knows. A repeated name keeps
// its last value.
template <class DecodeValue>
auto commandMap(const Json& j, DecodeValue decodeValue)
    -> std::map<Command, std::decay_t<std::invoke_result_t<DecodeValue, const Json&>>>
{
    std::map<Command, std::decay_t<std::invoke_result_t<DecodeValue, const Json&>>> result;
    array(j);
    if (j.size() % 2 != 0)
        fail("a command map needs a value after every name");
    for (std::size_t i = 0; i < j.size(); i += 2) {
        const std::optional<Command> command = Command_from(text(j[i]));
        if (!command)
            continue;
        result.insert_or_assign(*command, decodeValue(j[i + 1]));
    }
    return result;
}

} // namespace json

} // namespace kavelo
