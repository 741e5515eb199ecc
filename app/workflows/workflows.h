#pragma once

// Saved workflows on the application side: the list the views show, saving
// the current desktop under a name, switching to a workflow (opening its
// applications and tabs, hiding the others, placing its windows with
// retries), export and import, and the one message line of the settings
// window. The record, its file and the planning rules are the core's.

#include "app/platform/folder_watch.h"
#include "app/platform/handle.h"
#include "app/platform/paths.h"
#include "app/services/desktop.h"
#include "app/services/process_launcher.h"
#include "app/services/signal.h"
#include "app/services/toast.h"
#include "app/workflows/tab_reader.h"
#include "app/workflows/workflow_panels.h"
#include "core/workspace.h"
#include "core/workspace_store.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

class Workflows {
public:
    // Placement passes after the first while windows are missing, and the
    // time between them: at most 8 s in all.
    static constexpr int placementRetries = 16;
    static constexpr Seconds retryDelay{0.5};
    // Larger import files are not read.
    static constexpr std::uintmax_t largestImport = 16u << 20;

    static constexpr const char* notAWorkflow = "That file isn't a Kavelo workflow.";

    // Where the workflows live: Application Support's "Layouts".
    static std::filesystem::path folder(const Paths& paths) { return paths.applicationSupport / "Layouts"; }

    // The store is `directory` (normally `folder`). With a
    // `preview` list the folder is not read for `items`.
    Workflows(Desktop desktop, Toast& toast, WorkflowPanels& panels, std::filesystem::path directory,
              std::optional<std::vector<Workspace>> preview = std::nullopt);
    ~Workflows();
    Workflows(const Workflows&) = delete;
    Workflows& operator=(const Workflows&) = delete;

    // The user's workflows by slot (none counts as 10), then name; the
    // monitor setups' autosaves are not among them.
    const std::vector<Workspace>& items() const { return items_.value(); }
    [[nodiscard]] Handle observeItems(std::function<void(const std::vector<Workspace>&)> observer)
    {
        return items_.subscribe(std::move(observer));
    }
    // The last problem of a save, import or switch; nothing when it went well.
    const std::optional<std::string>& message() const { return message_.value(); }
    [[nodiscard]] Handle observeMessage(std::function<void(const std::optional<std::string>&)> observer)
    {
        return message_.subscribe(std::move(observer));
    }
    const WorkspaceStore& store() const { return store_; }

    // Before a switch moves anything (the shell pauses the engine), and
    // after its windows are placed (the engine adopts them).
    std::function<void()> willMoveWindows = [] {};
    std::function<void()> didMoveWindows = [] {};
    // Where the arrange engine's windows belong to the user, for saving
    // those it parked (the shell sets it); none by default.
    std::function<std::map<WindowID, Rect>()> userFrames = [] { return std::map<WindowID, Rect>(); };
    // Starts Firefox with its own command line to reopen its tabs; without
    // one they are not reopened. The shell sets it.
    ProcessLauncher* launcher = nullptr;
    // Why a browser's tabs could not be read (the shell sets the engine log).
    BrowserTabs::Log log = BrowserTabs::logToStandardError;

    // Whether Firefox, the browser whose tabs are saved, is installed.
    bool firefoxInstalled() const;

    // The current desktop's windows as a workflow of that name, each where it
    // belongs to the user (see `userFrames`); nothing is stored.
    Workspace capture(const std::string& name, const std::string& displays) const;
    // Saves the current desktop as a workflow; `displays` is the current
    // monitor-setup fingerprint. A blank name does nothing. The windows are
    // taken at once; with Firefox running, its tabs are read off the main
    // thread and the workflow is stored when they arrive.
    void save(std::string_view name, const std::string& displays);
    // Blocks until the saves and switches under way have read Firefox's
    // tabs (their results still arrive through the scheduler).
    void waitForTabs() { tabReader_.wait(); }
    // Switches to a saved workflow; `finished` hears how many windows were
    // placed. The windows are placed without waiting for a running
    // Firefox's tabs to be read. A newer switch ends this one's placement
    // at once (its `finished` still runs, with what it placed).
    void switchTo(std::string_view name, std::function<void(int)> finished = {});
    void switchTo(int slot);
    // File panels: writes the workflow where the user says; reads one in,
    // giving it the next free slot.
    void exportWorkflow(std::string_view name);
    void importWorkflow();
    // "2 apps, 3 windows, 0 tabs".
    static std::string summary(const Workspace& workspace);
    // Stores one workflow, sets the message, reloads `items`; whether the
    // store took it.
    bool write(const Workspace& workspace);
    // `items` from the folder; announced only when they differ.
    void reload();
    // Reloads `items` whenever a workflow file changes, whoever changed it
    // (another kavelo, a file manager, this program's own writers).
    void follow(const ReadableWatch& watch);

    // Names whose file would begin with "auto-" belong to the autosaves.
    bool isReservedName(std::string_view name) const;
    // Why a name (already trimmed) cannot be saved, as a sentence: it
    // cannot be stored and listed as itself, or it is an autosave's.
    static std::optional<std::string> nameProblem(std::string_view name);

private:
    struct Placement {
        std::function<void(int)> finished;
        int placed = 0;
        Handle retry;
    };
    void finishSave(Workspace workspace, std::map<std::string, std::vector<std::string>> tabs);
    void place(const Workspace& workspace, int attempt, std::uint64_t generation);
    void endPlacement();
    // Starts the workflow's programs that have no window, but those in
    // `started`; those that are not installed.
    std::vector<std::string> missingApps(const Workspace& workspace, const std::set<std::string>& started);
    // Opens each browser's saved tabs; the browsers it started that way. A
    // running Firefox's open tabs are read off the main thread, and its
    // missing ones opened once they are known.
    std::set<std::string> openTabs(const Workspace& workspace, std::vector<std::string>& missing);
    // Asks the browser at `location` to open the saved tabs that are not
    // `open`; whether it was asked.
    bool reopenTabs(const std::string& browser, const std::vector<std::string>& saved,
                    const std::vector<std::string>& open, const std::string& location);
    void hideOthers(const Workspace& workspace);
    bool refuseName(std::string_view name, std::string_view verb);

    Desktop desktop_;
    Toast& toast_;
    WorkflowPanels& panels_;
    WorkspaceStore store_;
    Published<std::vector<Workspace>> items_;
    Published<std::optional<std::string>> message_;
    // The switch that places windows now; each switch is a new generation.
    std::uint64_t generation_ = 0;
    std::optional<Placement> placement_;
    std::unique_ptr<FolderWatch> folderWatch_;
    // Last: its thread ends before anything it reports to goes.
    TabReader tabReader_;
};

// The shell's save dialog: asks for a name and saves the desktop under it.
void saveWorkspace(WorkflowPanels& panels, Workflows& workflows, const std::string& displays);

} // namespace kavelo
