#include "core/workflow_plan.h"

#include "core/text.h"

#include <array>
#include <unordered_map>
#include <unordered_set>

namespace kavelo::WorkflowPlan {

std::vector<std::string> appsToOpen(const Workspace& workspace, const std::vector<WindowEntry>& live)
{
    std::unordered_set<std::string> running;
    for (const WindowEntry& w : live)
        running.insert(text::normalized(w.bundleID));
    std::vector<std::string> out;
    for (std::string& app : workspace.apps())
        if (!running.contains(text::normalized(app)))
            out.push_back(std::move(app));
    return out;
}

namespace {

std::string_view withoutTrailingSlash(std::string_view address)
{
    if (address.ends_with('/'))
        address.remove_suffix(1);
    return address;
}

} // namespace

std::vector<std::string> tabsToOpen(const std::vector<std::string>& saved, const std::vector<std::string>& open)
{
    std::unordered_map<std::string_view, int> count;
    for (const std::string& address : open)
        ++count[withoutTrailingSlash(address)];
    std::vector<std::string> out;
    for (const std::string& address : saved) {
        const auto it = count.find(withoutTrailingSlash(address));
        if (it != count.end() && it->second > 0)
            --it->second;
        else
            out.push_back(address);
    }
    return out;
}

std::vector<std::string> keepable(const std::vector<std::string>& addresses)
{
    std::vector<std::string> out;
    for (const std::string& address : addresses)
        if (address.starts_with("https://") || address.starts_with("http://"))
            out.push_back(address);
    return out;
}

std::optional<Workspace> forSetup(std::string_view fingerprint, const std::vector<Workspace>& workspaces)
{
    for (const Workspace& w : workspaces)
        if (w.opensOnSetup && w.displays == fingerprint)
            return w;
    return std::nullopt;
}

std::optional<int> nextSlot(const std::vector<int>& used)
{
    std::array<bool, 10> taken{};
    for (int n : used)
        if (n >= 1 && n <= 9)
            taken[size_t(n)] = true;
    for (int n = 1; n <= 9; ++n)
        if (!taken[size_t(n)])
            return n;
    return std::nullopt;
}

} // namespace kavelo::WorkflowPlan
