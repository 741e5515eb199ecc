#include "app/shell/command_line.h"

#include "app/shell/app_delegate.h"
#include "app/shell/command_modes.h"
#include "app/shell/kavelo_url.h"
#include "app/shell/listing.h"
#include "app/shell/monitor_setups.h"

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

std::vector<std::string> CommandLine::urls() const
{
    if (!isNormalStart())
        return {};
    std::vector<std::string> urls;
    for (const std::string& argument : arguments_)
        if (KaveloUrls::looksLikeUrl(argument))
            urls.push_back(argument);
    return urls;
}

bool CommandLine::listAndExit(AppDelegate& delegate) const
{
    if (!isList())
        return false;
    const Listing::Facts facts =
        Listing::read(delegate.desktop(), MonitorSetups::currentDisplays(delegate.platform().displays));
    delegate.out() << Listing::text(facts);
    delegate.out().flush();
    delegate.exitProcess(0);
    return true;
}

bool CommandLine::runCommandAndExit(AppDelegate& delegate) const
{
    const auto flag = mode();
    return flag && delegate.modes().run(*flag, arguments_[1]);
}

} // namespace kavelo
