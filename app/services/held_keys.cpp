#include "app/services/held_keys.h"

#include <algorithm>

namespace kavelo {

void HeldKeys::add(const Shortcut& shortcut, bool isDefault)
{
    if (!holds(shortcut))
        keys.push_back(shortcut);
    if (isDefault && std::find(defaults.begin(), defaults.end(), shortcut) == defaults.end())
        defaults.push_back(shortcut);
}

bool HeldKeys::holds(const Shortcut& shortcut) const
{
    return std::find(keys.begin(), keys.end(), shortcut) != keys.end();
}

std::string HeldKeys::holder() const { return manager && !manager->empty() ? *manager : "Another app"; }

namespace HeldKeyTexts {

std::optional<std::string> rowDetail(const HeldKeys& held, const std::vector<Shortcut>& shortcuts)
{
    for (std::size_t i = 0; i < shortcuts.size(); ++i)
        if (held.holds(shortcuts[i]))
            return held.holder() + " is using " + (i == 0 ? std::string("this") : shortcuts[i].label()) +
                   ". Choose a different one.";
    return std::nullopt;
}

std::optional<std::string> switcherDetail(const HeldKeys& held)
{
    if (!held.holds(switcherShortcut))
        return std::nullopt;
    return held.holder() + " is using " + switcherShortcut.label() + ". Free it there to switch with Kavelo.";
}

std::optional<std::string> slotsDetail(const HeldKeys& held)
{
    if (held.workflowKeys.empty())
        return std::nullopt;
    std::string keys;
    for (const Shortcut& slot : held.workflowKeys)
        keys += (keys.empty() ? "" : ", ") + slot.label();
    return held.holder() + " is using " + keys + ".";
}

std::string toast(const HeldKeys& held)
{
    return held.holder() + " holds " + std::to_string(held.defaults.size()) +
           " of Kavelo's shortcuts. Click to choose others";
}

} // namespace HeldKeyTexts

} // namespace kavelo
