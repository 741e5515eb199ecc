#include "app/services/hot_keys.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kavelo {

namespace {

bool fitsIn32Bits(std::int64_t n) { return n >= 0 && n <= std::numeric_limits<std::uint32_t>::max(); }

} // namespace

HotKeys::HotKeys(SystemHotKeys& system) : system_(system)
{
    system_.setHandler([this](std::uint32_t id) { pressed(id); });
}

HotKeys::~HotKeys()
{
    removeAll();
    system_.setHandler(nullptr);
}

bool HotKeys::registerHotKey(std::int64_t key, std::int64_t modifiers, std::function<void()> action)
{
    if (!fitsIn32Bits(key) || !fitsIn32Bits(modifiers))
        return false;
    const auto same = [&](const Registration& r) { return r.key == key && r.modifiers == modifiers; };
    if (auto it = std::find_if(kept_.begin(), kept_.end(), same); it != kept_.end()) {
        actions_[it->id] = std::move(action);
        refs_.push_back(*it);
        kept_.erase(it);
        return true;
    }
    const auto ref = system_.registerHotKey(std::uint32_t(key), std::uint32_t(modifiers), next_);
    if (!ref)
        return false;
    refs_.push_back(Registration{*ref, std::uint32_t(key), std::uint32_t(modifiers), next_});
    actions_[next_] = std::move(action);
    ++next_;
    return true;
}

void HotKeys::removeAll()
{
    for (const Registration& r : refs_)
        system_.unregisterHotKey(r.ref);
    refs_.clear();
    actions_.clear();
}

void HotKeys::rebind(const std::function<void()>& registerAll)
{
    for (const Registration& r : std::exchange(refs_, {}))
        kept_.push_back(r);
    actions_.clear();
    registerAll();
    for (const Registration& r : std::exchange(kept_, {}))
        system_.unregisterHotKey(r.ref);
}

void HotKeys::pressed(std::uint32_t id)
{
    const auto it = actions_.find(id);
    if (it == actions_.end() || !it->second)
        return;
    // The action may rebind every key (removeAll), which would destroy it
    // while it runs: run a copy.
    const auto action = it->second;
    action();
}

} // namespace kavelo
