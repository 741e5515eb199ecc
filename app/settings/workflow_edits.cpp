#include "app/settings/workflow_edits.h"

#include "app/workflows/workflows.h"

namespace kavelo::WorkflowEdits {

namespace {

// The stored workflow of exactly that name, if its file still holds it.
std::optional<Workspace> stored(const Workflows& workflows, const std::string& name)
{
    std::optional<Workspace> workspace = workflows.store().load(name);
    if (!workspace || workspace->name != name)
        return std::nullopt;
    return workspace;
}

} // namespace

bool change(Workflows& workflows, const std::string& name, const std::function<void(Workspace&)>& change)
{
    std::optional<Workspace> workspace = stored(workflows, name);
    if (!workspace)
        return false;
    change(*workspace);
    workflows.write(*workspace);
    return true;
}

void remove(Workflows& workflows, const std::string& name)
{
    if (stored(workflows, name))
        workflows.store().remove(name);
    workflows.reload();
}

} // namespace kavelo::WorkflowEdits
