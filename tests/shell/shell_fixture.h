#pragma once

// Workflows and monitor setups on the simulated desktop with a hand-driven
// scheduler: toasts and panels recorded, the store in a fresh home folder.

#include "app/services/toast.h"
#include "app/workflows/workflow_panels.h"
#include "app/workflows/workflows.h"
#include "services/desktop_fixture.h"
#include "services/recording_toast.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kavelo::testing {

// Answers each question with what the test put in beforehand.
struct ScriptedPanels : WorkflowPanels {
    std::optional<std::string> askWorkflowName() override { return name; }
    std::optional<std::filesystem::path> chooseExportFile(const std::string& fileName) override
    {
        proposed = fileName;
        return exportTo;
    }
    std::optional<std::filesystem::path> chooseImportFile() override { return importFrom; }

    std::optional<std::string> name;
    std::optional<std::filesystem::path> exportTo;
    std::optional<std::filesystem::path> importFrom;
    std::string proposed;
};

class ShellTest : public ::testing::Test, public SimWorld {
protected:
    ShellTest() : workflows(desktop, toast, panels, Workflows::folder(home.paths())) {}

    std::filesystem::path layouts() const { return workflows.store().directory; }

    // A workflow stored directly, as an earlier save left it.
    Workspace stored(std::string name, std::vector<SavedWindow> windows, std::function<void(Workspace&)> more = {})
    {
        Workspace w{.name = std::move(name), .displays = "d", .windows = std::move(windows),
                    .savedAt = scheduler.now()};
        if (more)
            more(w);
        workflows.store().save(w);
        return w;
    }

    RecordingToast toast;
    ScriptedPanels panels;
    Workflows workflows;
};

} // namespace kavelo::testing
