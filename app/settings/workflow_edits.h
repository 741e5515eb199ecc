#pragma once

// What the Workflows page does to a saved workflow, without widgets: change
// one field of the stored file, delete it, and the two-step delete's guard.
// The page shows the listed workflows but never writes them back: the file
// is read again first, so an edit never resurrects or overwrites what
// changed on disk since the list was read.

#include "core/date.h"
#include "core/workspace.h"

#include <functional>
#include <string>

namespace kavelo {

class Workflows;

namespace WorkflowEdits {

// Loads the workflow `name` from the store, applies `change` and writes it
// through `Workflows::write` (which sets the message and reloads the list).
// Nothing happens when the file is gone or holds another workflow (a name
// whose file another name took); returns whether it wrote.
bool change(Workflows& workflows, const std::string& name, const std::function<void(Workspace&)>& change);

// Removes the workflow's file, then reloads the list. A file that holds
// another workflow is left alone: only the list is reloaded.
void remove(Workflows& workflows, const std::string& name);

} // namespace WorkflowEdits

namespace DeleteConfirmation {

// An armed "Delete?" deletes only once more than this has passed since it
// was armed, so the second click of a double click never deletes.
inline constexpr Seconds guard{0.5};

constexpr bool deletes(Seconds armedAt, Seconds now)
{
    return now - armedAt > guard;
}

} // namespace DeleteConfirmation

} // namespace kavelo
