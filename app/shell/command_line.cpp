#include "app/shell/command_line.h"

#include <algorithm>

namespace kavelo {

CommandLine CommandLine::from(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return CommandLine(std::move(arguments));
}

bool CommandLine::has(std::string_view argument) const
{
    return std::find(arguments_.begin(), arguments_.end(), argument) != arguments_.end();
}

std::optional<std::string> CommandLine::showValue() const
{
    const auto at = std::find(arguments_.begin(), arguments_.end(), "--show");
    if (at == arguments_.end() || at + 1 == arguments_.end())
        return std::nullopt;
    return *(at + 1);
}

std::optional<std::string> CommandLine::mode() const
{
    if (arguments_.size() != 2)
        return std::nullopt;
    if (std::find(modes.begin(), modes.end(), arguments_[0]) == modes.end())
        return std::nullopt;
    return arguments_[0];
}

bool CommandLine::listAndExit(AppDelegate&) const
{
    // The listing comes with the command-line modes.
    return false;
}

bool CommandLine::runCommandAndExit(AppDelegate&) const
{
    // The automation and test modes come with the command-line modes.
    return false;
}

} // namespace kavelo
