#pragma once

// The small decisions of saving and switching workflows: what still has to
// be opened, which workflow belongs to a monitor setup, which quick-switch
// number comes next.

#include "core/window_entry.h"
#include "core/workspace.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo::WorkflowPlan {

// The workflow's applications that have no live window, in `apps` order.
std::vector<std::string> appsToOpen(const Workspace& workspace, const std::vector<WindowEntry>& live);

// The saved tabs of one browser that are not open in it yet. Open tabs are
// counted, so two saved copies of a page with one open copy open one more;
// "a/" and "a" are the same page.
std::vector<std::string> tabsToOpen(const std::vector<std::string>& saved, const std::vector<std::string>& open);

// The web addresses ("https://", "http://") among `addresses`, in order.
std::vector<std::string> keepable(const std::vector<std::string>& addresses);

// The first workflow that opens on this monitor setup.
std::optional<Workspace> forSetup(std::string_view fingerprint, const std::vector<Workspace>& workspaces);

// The smallest quick-switch number 1 to 9 not in `used`.
std::optional<int> nextSlot(const std::vector<int>& used);

} // namespace kavelo::WorkflowPlan
