#pragma once

// The modal questions around workflows: the name of a workflow to save, and
// where to export one or what to import. The Qt panels answer them in the
// application; tests answer them directly.

#include <filesystem>
#include <optional>
#include <string>

namespace kavelo {

class WorkflowPanels {
public:
    virtual ~WorkflowPanels() = default;

    // The "Save this workflow" alert; the typed name when the user chose
    // "Save Workflow", nothing on "Cancel".
    virtual std::optional<std::string> askWorkflowName() = 0;
    // A save panel proposing `fileName`; the file chosen, nothing on cancel.
    virtual std::optional<std::filesystem::path> chooseExportFile(const std::string& fileName) = 0;
    // An open panel for JSON files; the file chosen, nothing on cancel.
    virtual std::optional<std::filesystem::path> chooseImportFile() = 0;
};

} // namespace kavelo
