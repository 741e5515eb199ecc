#include "app/workflows/workflows.h"

#include "app/platform/desktop_entries.h"
#include "app/services/key_texts.h"
#include "app/services/move_report.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "app/workflows/browser_tabs.h"
#include "core/json.h"
#include "core/text.h"
#include "core/workflow_plan.h"

#include <algorithm>
#include <set>
#include <system_error>

namespace kavelo {

namespace {

constexpr const char* savedIcon = "checkmark.circle.fill";
constexpr const char* switchedIcon = "square.stack.3d.up.fill";
constexpr const char* problemIcon = "exclamationmark.triangle.fill";

void sortItems(std::vector<Workspace>& items)
{
    std::stable_sort(items.begin(), items.end(), [](const Workspace& a, const Workspace& b) {
        const int sa = a.slot.value_or(10), sb = b.slot.value_or(10);
        return sa != sb ? sa < sb : a.name < b.name;
    });
}

std::vector<int> slotsOf(const std::vector<Workspace>& items)
{
    std::vector<int> out;
    for (const Workspace& w : items)
        if (w.slot)
            out.push_back(*w.slot);
    return out;
}

std::string plural(std::size_t n, std::string_view word)
{
    return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

// An address the system can be asked to open: a scheme, something after
// it, and no blank or control character anywhere.
bool isOpenableURL(std::string_view address)
{
    const auto colon = address.find("://");
    if (colon == std::string_view::npos || colon == 0 || colon + 3 >= address.size())
        return false;
    return std::none_of(address.begin(), address.end(),
                        [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f; });
}

// How the program at `location` starts: its desktop entry's command
// without addresses, or the program file itself.
std::vector<std::string> programAt(const std::string& location)
{
    if (!location.ends_with(".desktop"))
        return {location};
    const auto entry = DesktopEntry::load(location, DesktopEntries::localeFromEnvironment());
    return entry ? DesktopExec::arguments(entry->exec).value_or(std::vector<std::string>{}) : std::vector<std::string>{};
}

// Only web addresses; browsers that keep none are left out.
std::map<std::string, std::vector<std::string>> keepableTabs(const std::map<std::string, std::vector<std::string>>& tabs)
{
    std::map<std::string, std::vector<std::string>> out;
    for (const auto& [browser, addresses] : tabs)
        if (auto kept = WorkflowPlan::keepable(addresses); !kept.empty())
            out.emplace(browser, std::move(kept));
    return out;
}

} // namespace

Workflows::Workflows(Desktop desktop, Toast& toast, WorkflowPanels& panels, std::filesystem::path directory,
                     std::optional<std::vector<Workspace>> preview)
    : desktop_(desktop), toast_(toast), panels_(panels), store_(std::move(directory)),
      tabReader_(desktop_.platform.scheduler)
{
    if (preview)
        items_.set(std::move(*preview));
    else
        reload();
}

Workflows::~Workflows() = default;

void Workflows::reload()
{
    std::vector<Workspace> items = store_.named();
    sortItems(items);
    // The folder's notices follow this program's own writes too.
    if (items != items_.value())
        items_.set(std::move(items));
}

void Workflows::follow(const ReadableWatch& watch)
{
    folderWatch_ = std::make_unique<FolderWatch>(store_.directory, watch, &WorkspaceStore::isListedFile,
                                                 [this] { reload(); });
    // What changed before the watch began.
    reload();
}

bool Workflows::isReservedName(std::string_view name) const { return WorkspaceStore::isAutoName(name); }

std::optional<std::string> Workflows::nameProblem(std::string_view name)
{
    if (auto problem = WorkspaceStore::nameProblem(name))
        return problem;
    if (WorkspaceStore::isAutoName(name))
        return std::string("Names starting with \"auto-\" are kept for the layouts of monitor setups.");
    return std::nullopt;
}

bool Workflows::refuseName(std::string_view name, std::string_view verb)
{
    const std::optional<std::string> problem = nameProblem(name);
    if (!problem)
        return false;
    // A name that cannot be stored is not repeated: it may hold line breaks.
    const bool storable = !WorkspaceStore::nameProblem(name);
    message_.set("Couldn't " + std::string(verb) + " " + (storable ? std::string(name) : "this workflow") + ". " +
                 *problem);
    return true;
}

bool Workflows::write(const Workspace& workspace)
{
    bool ok = true;
    try {
        store_.save(workspace);
        message_.set(std::nullopt);
    } catch (const WorkspaceSaveError& error) {
        ok = false;
        if (error.existingName)
            message_.set("Couldn't save " + workspace.name + ". Its file name is taken by the workflow " +
                         *error.existingName + "; choose another name.");
        else
            message_.set("Couldn't save " + workspace.name + ". Check that your disk isn't full.");
    }
    reload();
    return ok;
}

Workspace Workflows::capture(const std::string& name, const std::string& displays) const
{
    return WindowActions::capture(desktop_, name, displays, userFrames ? userFrames() : std::map<WindowID, Rect>());
}

void Workflows::save(std::string_view rawName, const std::string& displays)
{
    const std::string name = text::trimmingWhitespace(rawName);
    if (name.empty())
        return;
    if (refuseName(name, "save")) {
        toast_.show(*message(), problemIcon);
        return;
    }
    reload();
    Workspace workspace = this->capture(name, displays);
    BrowserTabs::Capture capture =
        BrowserTabs::startCapture(desktop_.platform, desktop_.preferences.savesSafariTabs());
    if (capture.firefox.empty()) {
        finishSave(std::move(workspace), std::move(capture.tabs));
        return;
    }
    std::vector<BrowserTabs::FirefoxRead> requests = std::move(capture.firefox);
    capture.firefox.clear();
    tabReader_.read(std::move(requests), [this, workspace = std::move(workspace), capture = std::move(capture)](
                                             std::vector<BrowserTabs::FirefoxTabs> firefox) mutable {
        finishSave(std::move(workspace), BrowserTabs::finishCapture(std::move(capture), std::move(firefox), log));
    });
}

void Workflows::finishSave(Workspace workspace, std::map<std::string, std::vector<std::string>> tabs)
{
    const std::string name = workspace.name;
    workspace.tabs = std::move(tabs);
    reload();
    if (const std::optional<Workspace> existing = store_.load(name)) {
        workspace.hidesOtherApps = existing->hidesOtherApps;
        workspace.tidy = existing->tidy;
        if (existing->slot)
            workspace.slot = existing->slot;
    } else {
        workspace.slot = WorkflowPlan::nextSlot(slotsOf(items()));
    }
    if (!write(workspace)) {
        toast_.show(*message(), problemIcon);
        return;
    }
    if (workspace.slot)
        toast_.show("Saved " + name + ". Press " + KeyTexts::slotLabel(*workspace.slot) + " to switch", savedIcon);
    else
        toast_.show("Saved " + name, savedIcon);
}

bool Workflows::firefoxInstalled() const
{
    return std::any_of(BrowserTabs::supported.begin(), BrowserTabs::supported.end(), [&](std::string_view id) {
        return BrowserTabs::isFirefox(id) && desktop_.platform.workspace.applicationLocation(id);
    });
}

std::vector<std::string> Workflows::missingApps(const Workspace& workspace, const std::set<std::string>& started)
{
    std::vector<std::string> missing;
    const std::vector<WindowEntry> live = WindowCatalog::read(desktop_).windows;
    for (const std::string& app : WorkflowPlan::appsToOpen(workspace, live)) {
        if (started.count(app))
            continue;
        if (const auto location = desktop_.platform.workspace.applicationLocation(app))
            desktop_.platform.workspace.launch(*location, false);
        else
            missing.push_back(app);
    }
    return missing;
}

std::set<std::string> Workflows::openTabs(const Workspace& workspace, std::vector<std::string>& missing)
{
    SystemWorkspace& system = desktop_.platform.workspace;
    const std::vector<RunningApp> running = system.runningApps();
    std::set<std::string> started;
    std::vector<BrowserTabs::FirefoxRead> reads;
    std::map<std::string, std::string> readLocations;
    for (const auto& [browser, saved] : workspace.tabs) {
        const auto location = system.applicationLocation(browser);
        if (!location) {
            missing.push_back(browser);
            continue;
        }
        const bool runs = std::any_of(running.begin(), running.end(),
                                      [&browser = browser](const RunningApp& app) { return app.bundleID == browser; });
        if (runs && BrowserTabs::isFirefox(browser)) {
            reads.push_back(BrowserTabs::firefoxRead(running, browser));
            readLocations.emplace(browser, *location);
            continue;
        }
        const auto open = runs ? BrowserTabs::read(desktop_.platform.browsers, browser) : std::vector<std::string>();
        if (open && reopenTabs(browser, saved, *open, *location) && !runs)
            started.insert(browser);
    }
    if (!reads.empty())
        tabReader_.read(std::move(reads), [this, tabs = workspace.tabs, locations = std::move(readLocations)](
                                              std::vector<BrowserTabs::FirefoxTabs> results) {
            for (BrowserTabs::FirefoxTabs& result : results) {
                const std::string browser = result.bundleID;
                // A Firefox whose tabs do not read is left as it is.
                if (const auto open = BrowserTabs::logged(std::move(result), log))
                    reopenTabs(browser, tabs.at(browser), *open, locations.at(browser));
            }
        });
    return started;
}

bool Workflows::reopenTabs(const std::string& browser, const std::vector<std::string>& saved,
                           const std::vector<std::string>& open, const std::string& location)
{
    std::vector<std::string> urls;
    for (std::string& url : WorkflowPlan::tabsToOpen(WorkflowPlan::keepable(saved), open))
        if (isOpenableURL(url))
            urls.push_back(std::move(url));
    if (urls.empty())
        return false;
    if (!BrowserTabs::isFirefox(browser)) {
        desktop_.platform.workspace.openURLs(urls, location, false);
        return true;
    }
    bool launched = false;
    for (const auto& line : BrowserTabs::firefoxCommands(programAt(location), urls))
        if (launcher && launcher->launch(line.front(), std::vector<std::string>(line.begin() + 1, line.end())))
            launched = true;
    return launched;
}

void Workflows::hideOthers(const Workspace& workspace)
{
    std::set<std::string> keep;
    for (std::string& app : workspace.apps())
        keep.insert(std::move(app));
    keep.insert(desktop_.platform.appInfo.bundleID());
    SystemWorkspace& system = desktop_.platform.workspace;
    for (const RunningApp& app : system.runningApps())
        if (app.policy == ActivationPolicy::regular && !keep.count(app.bundleID.value_or(std::string())))
            system.hide(app.pid);
}

void Workflows::switchTo(std::string_view name, std::function<void(int)> finished)
{
    const std::optional<Workspace> workspace = store_.load(name);
    if (!workspace)
        return;
    endPlacement();
    const std::uint64_t generation = ++generation_;
    placement_.emplace(Placement{.finished = std::move(finished)});

    if (willMoveWindows)
        willMoveWindows();
    // A browser its tabs start is not started again from its entry: the
    // second instance, finding the first holding its profile before it
    // answers, would only say that the browser is not responding.
    std::vector<std::string> missing;
    const std::set<std::string> started = openTabs(*workspace, missing);
    const std::vector<std::string> notInstalled = missingApps(*workspace, started);
    missing.insert(missing.begin(), notInstalled.begin(), notInstalled.end());
    if (missing.empty()) {
        message_.set(std::nullopt);
    } else {
        const std::size_t n = missing.size();
        message_.set(std::to_string(n) + " saved app" + (n == 1 ? " isn't" : "s aren't") +
                     " installed, so Kavelo skipped " + (n == 1 ? "it" : "them") + ".");
    }
    if (workspace->hidesOtherApps)
        hideOthers(*workspace);
    toast_.show("Switched to " + workspace->name, switchedIcon);
    place(*workspace, 0, generation);
}

void Workflows::place(const Workspace& workspace, int attempt, std::uint64_t generation)
{
    if (!placement_ || generation != generation_)
        return;
    WindowActions::Moves moves;
    const int placed = WindowActions::restore(desktop_, workspace, &moves);
    placement_->placed = placed;
    if (placed < int(workspace.windows.size()) && attempt < placementRetries) {
        placement_->retry = desktop_.platform.scheduler.after(retryDelay, [this, workspace, attempt, generation] {
            place(workspace, attempt + 1, generation);
        });
        return;
    }
    // Taken out first: the hooks may start the next switch.
    Placement done = std::move(*placement_);
    placement_.reset();
    if (workspace.tidy) {
        WindowActions::Moves tidied;
        (void)WindowActions::tidy(desktop_, *workspace.tidy, std::nullopt, &tidied);
        moves = tidied;
    }
    // Windows the window manager kept where they were are said so.
    if (const auto report = MoveReport::text(moves, desktop_.platform.workspace.windowManagerName()))
        toast_.show(*report, MoveReport::icon);
    if (didMoveWindows)
        didMoveWindows();
    if (done.finished)
        done.finished(placed);
}

void Workflows::endPlacement()
{
    if (!placement_)
        return;
    Placement older = std::move(*placement_);
    placement_.reset();
    older.retry.cancel();
    if (older.finished)
        older.finished(older.placed);
}

void Workflows::switchTo(int slot)
{
    reload();
    for (const Workspace& w : items())
        if (w.slot == slot) {
            const std::string name = w.name;
            switchTo(name);
            return;
        }
}

void Workflows::exportWorkflow(std::string_view name)
{
    const std::optional<Workspace> workspace = store_.load(name);
    if (!workspace)
        return;
    const auto file = panels_.chooseExportFile(workspace->name + ".kavelo.json");
    if (!file)
        return;
    try {
        const std::string bytes = toJSON(*workspace).dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
        (void)writeFileAtomically(*file, bytes);
    } catch (const std::exception&) {
        // Nothing is written; the workflow stays as it is.
    }
}

void Workflows::importWorkflow()
{
    const auto file = panels_.chooseImportFile();
    if (!file)
        return;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(*file, error);
    std::optional<Workspace> workspace;
    if (!error && size <= largestImport)
        if (const auto bytes = readFile(*file))
            workspace = decodeWorkspace(*bytes);
    if (!workspace) {
        message_.set(notAWorkflow);
        return;
    }
    if (text::trimmingWhitespace(workspace->name).empty()) {
        message_.set("Couldn't import that workflow: it has no name.");
        return;
    }
    if (refuseName(workspace->name, "import"))
        return;
    reload();
    workspace->slot = WorkflowPlan::nextSlot(slotsOf(items()));
    workspace->tabs = keepableTabs(workspace->tabs);
    write(*workspace);
}

std::string Workflows::summary(const Workspace& workspace)
{
    std::size_t tabs = 0;
    for (const auto& [browser, addresses] : workspace.tabs)
        tabs += addresses.size();
    return plural(workspace.apps().size(), "app") + ", " + plural(workspace.windows.size(), "window") + ", " +
           plural(tabs, "tab");
}

void saveWorkspace(WorkflowPanels& panels, Workflows& workflows, const std::string& displays)
{
    if (const auto name = panels.askWorkflowName())
        workflows.save(*name, displays);
}

} // namespace kavelo
