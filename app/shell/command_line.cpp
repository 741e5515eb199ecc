#include "app/shell/command_line.h"

#include "app/settings/settings_tab.h"
#include "app/shell/app_delegate.h"
#include "app/shell/command_modes.h"
#include "app/shell/kavelo_url.h"
#include "app/shell/listing.h"
#include "app/shell/monitor_setups.h"
#include "core/raw_value.h"
#include "core/text.h"

#include <algorithm>

namespace kavelo {

namespace {

// The value each mode takes, as the usage names it.
std::string_view valueName(std::string_view flag)
{
    static constexpr std::pair<std::string_view, std::string_view> names[] = {
        {"--render", "DIR"},        {"--snap", "TARGET"},           {"--save", "NAME"},
        {"--restore", "NAME"},      {"--tabs-test", "ANY"},         {"--self-test", "ANY"},
        {"--switcher-test", "STEPS"}, {"--arrange-test", "MODE"},   {"--key-names", "LAYOUT"},
        {"--swipe-test", "FINGERS"}, {"--nopeek-test", "SECONDS"},  {"--tidy", "LAYOUT"},
        {"--switch", "NAME"},
    };
    for (const auto& [name, value] : names)
        if (name == flag)
            return value;
    return "VALUE";
}

// The screens "--show" names: the four of its own, then the settings pages.
std::string showChoices()
{
    std::vector<std::string> names{"overview", "switcher", "welcome", "panel"};
    for (const SettingsTab tab : allSettingsTabs)
        names.emplace_back(rawValue(tab));
    return choiceList(names);
}

} // namespace

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

std::string CommandLine::usage()
{
    return "Usage: kavelo [kavelo:URL...]      start in the tray, or open the running one's panel\n"
           "       kavelo --list               print permissions, displays and windows\n"
           "       kavelo --show WHAT          show overview, switcher, welcome, panel or a settings page\n"
           "       kavelo MODE VALUE           run one mode and exit:\n"
           "  --render DIR          draw every screen into PNG files in DIR\n"
           "  --snap TARGET         snap the focused window: left, right, top, bottom, leftThird,\n"
           "                        centerThird, rightThird, maximize, center\n"
           "  --tidy LAYOUT         tidy the windows: grid, columns, rows, focus, custom\n"
           "  --save NAME           save the open windows as a workflow\n"
           "  --restore NAME        move the windows back to where a workflow saved them\n"
           "  --switch NAME         switch to a workflow\n"
           "  --key-names LAYOUT    print shortcut labels in a keyboard layout (or \"current\")\n"
           "  --self-test ANY       check tidy, undo and a workflow on three test windows\n"
           "  --switcher-test STEPS drive a switcher with steps: tab, esc, up or text, comma-separated\n"
           "  --arrange-test MODE   arrange in a mode (off, auto, strip) for KAVELO_SECONDS\n"
           "  --nopeek-test SECONDS show No peek for that long\n"
           "  --tabs-test ANY       read and reopen a browser's tabs\n"
           "  --swipe-test FINGERS  print trackpad swipes for 20 seconds\n"
           "  -h, --help            print this help\n";
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

std::optional<std::string> CommandLine::problem() const
{
    if (isHelp() || isList() || mode())
        return std::nullopt;
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
        const std::string& argument = arguments_[i];
        // Without its screen, "--show" would start a whole Kavelo, or open
        // the running one's panel, instead of a preview.
        if (argument == "--show" && i + 1 == arguments_.size())
            return "--show takes one value: kavelo --show WHAT; use " + showChoices();
        // Each takes the next word, whatever it says.
        if (argument == "--show" || argument == sessionOption || argument == "-" + std::string(sessionOption)) {
            ++i;
            continue;
        }
        if (KaveloUrls::looksLikeUrl(argument))
            continue;
        if (std::find(modes.begin(), modes.end(), argument) != modes.end())
            return argument + " takes one value and nothing else: kavelo " + argument + " " +
                   std::string(valueName(argument));
        if (argument == "--help" || argument == "-h")
            return argument + " takes nothing else: kavelo " + argument;
        if (argument.size() > 1 && argument.starts_with('-'))
            return "unknown option " + text::quoted(argument) + "; see kavelo --help";
        return "unexpected argument " + text::quoted(argument) + "; see kavelo --help";
    }
    return std::nullopt;
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
