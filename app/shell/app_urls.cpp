// The delegate's side of the "kavelo:" URLs and the command line.

#include "app/shell/app_delegate.h"
#include "app/shell/command_modes.h"
#include "app/shell/kavelo_url.h"
#include "app/shell/menu_panel.h"

#include <cstdlib>
#include <iostream>

namespace kavelo {

void AppDelegate::open(const std::vector<std::string>& urls)
{
    for (const std::string& url : urls) {
        const auto action = KaveloUrls::action(url);
        if (!action)
            continue;
        std::visit(
            [this](const auto& what) {
                using What = std::decay_t<decltype(what)>;
                if constexpr (std::is_same_v<What, UrlAction::Run>) {
                    run(what.command);
                } else if constexpr (std::is_same_v<What, UrlAction::Switch>) {
                    workflows_.switchTo(what.workflow);
                } else if constexpr (std::is_same_v<What, UrlAction::Mode>) {
                    preferences_.setArrangeMode(what.mode);
                } else {
                    const std::string screen = screenUnderPointer(platform_.displays, platform_.mouse);
                    if (screen.empty())
                        return;
                    auto layouts = preferences_.displayLayouts();
                    layouts[screen] = what.layout;
                    preferences_.setDisplayLayouts(std::move(layouts));
                }
            },
            action->what);
    }
}

void AppDelegate::exitProcess(int status)
{
    if (environment_.exit)
        environment_.exit(status);
}

std::ostream& AppDelegate::out() const { return environment_.out ? *environment_.out : std::cout; }

std::ostream& AppDelegate::err() const { return environment_.err ? *environment_.err : std::cerr; }

std::optional<std::string> AppDelegate::variable(std::string_view name) const
{
    if (environment_.variable)
        return environment_.variable(name);
    const char* value = std::getenv(std::string(name).c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

CommandModes& AppDelegate::modes()
{
    if (!modes_)
        modes_ = std::make_unique<CommandModes>(*this);
    return *modes_;
}

ArrangeEngine& AppDelegate::replaceArrange()
{
    // Before the launch made one (the modes run first), the first engine is
    // already fresh, and the views make the engine's panels only once.
    if (!arrange_)
        return arrange();
    arrange_->release();
    arrange_ = std::make_unique<ArrangeEngine>(desktop_, workingApp_, views_.toast(), views_.enginePanels(desktop_));
    return *arrange_;
}

} // namespace kavelo
