// Command dispatch, the four commands the shell carries out itself, the
// global shortcuts by arrange mode, the event tap's key hook and the
// framework's actions.

#include "app/shell/app_delegate.h"

#include "app/services/move_report.h"
#include "app/services/window_actions.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kavelo {

void AppDelegate::run(Command command)
{
    if (!isTrusted()) {
        views_.toast().show("Turn on Accessibility to move windows", "lock.fill");
        showSettings(SettingsTab::permissions);
        return;
    }
    switch (command) {
    case Command::tidy: tidy(); return;
    case Command::fillScreen: toggleFocus(); return;
    case Command::pause: togglePause(); return;
    case Command::clearDesktop: toggleClear(); return;
    case Command::nextDisplay: arrange().sendToNextDisplay(); return;
    case Command::noPeek: preferences_.setNoPeekOn(!preferences_.noPeekOn()); return;
    case Command::floatWindow: arrange().toggleFloat(); return;
    case Command::cleanSpace: preferences_.setCleanSpaceOn(!preferences_.cleanSpaceOn()); return;
    case Command::undoArrange: arrange().undo(); return;
    case Command::snapLeft: snap(Snap::left); return;
    case Command::snapRight: snap(Snap::right); return;
    case Command::snapMaximize: snap(Snap::maximize); return;
    case Command::snapCenter: snap(Snap::center); return;
    case Command::thirdLeft: snap(Snap::leftThird); return;
    case Command::thirdCenter: snap(Snap::centerThird); return;
    case Command::thirdRight: snap(Snap::rightThird); return;
    default: arrange().perform(command); return;
    }
}

void AppDelegate::tidy()
{
    Toast& toast = views_.toast();
    if (preferences_.arrangeMode() == ArrangeMode::strip) {
        toast.show("Tidy is off while the strip is on", "rectangle.split.3x1");
        return;
    }
    if (tidyMemory_) {
        std::vector<WindowID> ids;
        for (const auto& [id, frame] : tidyMemory_->after)
            ids.push_back(id);
        if (tidyMemory_->isUntouched(WindowActions::frames(desktop_, ids), untouchedTolerance)) {
            WindowActions::undoTidy(desktop_, *tidyMemory_);
            tidyMemory_.reset();
            toast.show("Windows back where they were", "arrow.uturn.backward.circle.fill");
            return;
        }
        tidyMemory_.reset();
    }
    const TidyLayout layout = preferences_.tidyLayout();
    WindowActions::Moves moves;
    tidyMemory_ = WindowActions::tidy(desktop_, layout, std::nullopt, &moves);
    if (!tidyMemory_) {
        toast.show("No windows to tidy", "checkmark.circle.fill");
        return;
    }
    if (const auto report = MoveReport::text(moves, platform_.workspace.windowManagerName())) {
        // Nothing moved is nothing to undo.
        if (moves.moved == 0)
            tidyMemory_.reset();
        toast.show(*report, MoveReport::icon);
        return;
    }
    toast.show("Tidied into " + std::string(title(layout)), "checkmark.circle.fill");
}

void AppDelegate::snap(Snap snap)
{
    const auto moves = WindowActions::snapFocused(desktop_, snap);
    if (const auto report = MoveReport::text(moves, platform_.workspace.windowManagerName()))
        views_.toast().show(*report, MoveReport::icon);
}

void AppDelegate::toggleFocus()
{
    if (!focusMemory_) {
        WindowActions::Moves moves;
        focusMemory_ = WindowActions::focusWindow(desktop_, &moves);
        // A window that would not fill is no fill to end later.
        if (focusMemory_ && moves.moved == 0) {
            focusMemory_.reset();
            if (const auto report = MoveReport::text(moves, platform_.workspace.windowManagerName()))
                views_.toast().show(*report, MoveReport::icon);
        }
        arrange().pause(PauseReason::fillScreen, focusMemory_ ? fillPause : 0);
        if (preferences_.focusHidesOthers() && focusMemory_ && clearedApps_.empty())
            toggleClear();
        return;
    }
    WindowActions::undoTidy(desktop_, *focusMemory_);
    endFill();
}

void AppDelegate::endFill()
{
    focusMemory_.reset();
    arrange().pause(PauseReason::fillScreen, 0);
    if (preferences_.focusHidesOthers() && !clearedApps_.empty())
        toggleClear();
}

void AppDelegate::layoutDisplaysChanged()
{
    // A fill and Clean Space were fitted to the displays before, and each
    // holds arranging while it lasts: the change ends both, so that the
    // windows are laid out for the new displays at once.
    if (focusMemory_)
        endFill();
    if (preferences_.cleanSpaceOn())
        preferences_.setCleanSpaceOn(false);
    arrange().displaysChanged();
}

void AppDelegate::togglePause()
{
    ArrangeEngine& engine = arrange();
    // Inverted even with arranging off: the flag waits for the mode.
    engine.isPaused = !engine.isPaused;
    engine.lastSignature.clear();
    const ArrangeMode mode = preferences_.arrangeMode();
    if (mode == ArrangeMode::off) {
        views_.toast().show("Arranging is off", "hand.raised.fill");
        return;
    }
    const std::string name = mode == ArrangeMode::auto_ ? "Auto arrange" : "Scrolling strip";
    views_.toast().show(name + (engine.isPaused ? " paused" : " resumed"),
                        engine.isPaused ? "pause.circle.fill" : "play.circle.fill");
}

void AppDelegate::toggleClear()
{
    SystemWorkspace& workspace = platform_.workspace;
    if (clearedApps_.empty()) {
        const auto front = workspace.frontmostApp();
        const std::int32_t own = workspace.ownPid();
        std::vector<RunningApp> hidden;
        for (const auto& app : workspace.runningApps()) {
            if (app.policy != ActivationPolicy::regular || app.hidden || app.pid == own)
                continue;
            if (front && app.pid == front->pid)
                continue;
            hidden.push_back(app);
        }
        for (const auto& app : hidden)
            workspace.hide(app.pid);
        clearedApps_ = std::move(hidden);
        views_.toast().show("Desktop cleared. Press again to bring it back", "checkmark.circle.fill");
        return;
    }
    for (const auto& app : clearedApps_)
        workspace.unhide(app.pid);
    clearedApps_.clear();
    views_.toast().show("Everything's back", "checkmark.circle.fill");
}

void AppDelegate::toggleOverview()
{
    const OverviewPanel* panel = overview_.panel();
    if (!panel || !panel->isVisible())
        overview_.show();
    else
        overview_.hide();
}

void AppDelegate::applyKeys()
{
    hotKeys_.rebind([this] { bindKeys(); });
}

void AppDelegate::bindKeys()
{
    if (mouse_)
        mouse_->button = preferences_.mouseButton();
    // Recording may have started or stopped: the switcher's claim follows.
    switcher_.updateClaim();
    if (preferences_.isRecording())
        return;

    HeldKeys held{.manager = platform_.workspace.windowManagerName()};
    // A key refused because one of our own registrations has it is no
    // other program's.
    std::vector<Shortcut> ours;
    const auto refused = [&](const Shortcut& key, bool isDefault) {
        if (std::find(ours.begin(), ours.end(), key) != ours.end())
            return false;
        held.add(key, isDefault);
        return true;
    };
    const Shortcut overview = preferences_.shortcut();
    const bool registered =
        hotKeys_.registerHotKey(overview.keyCode, overview.modifiers, weakly([this] { toggleOverview(); }));
    if (preferences_.shortcutTaken() != !registered)
        preferences_.setShortcutTaken(!registered);
    if (registered)
        ours.push_back(overview);
    else
        refused(overview, overview == Shortcut::standard);

    // A slot held elsewhere is left out without a word in the log.
    for (int slot = 1; slot <= int(slotKeys.size()); ++slot) {
        const Shortcut key{slotKeys[std::size_t(slot - 1)], int(slotModifiers)};
        if (hotKeys_.registerHotKey(key.keyCode, key.modifiers, weakly([this, slot] { workflows_.switchTo(slot); })))
            ours.push_back(key);
        else if (refused(key, true))
            held.workflowKeys.push_back(key);
    }

    const ArrangeMode mode = preferences_.arrangeMode();
    for (Command command : allCommands) {
        bool active = false;
        switch (scope(command)) {
        case CommandScope::always: active = true; break;
        case CommandScope::snap: active = mode != ArrangeMode::strip && preferences_.snappingEnabled(); break;
        case CommandScope::auto_: active = mode == ArrangeMode::auto_; break;
        case CommandScope::strip: active = mode == ArrangeMode::strip; break;
        }
        if (!active)
            continue;
        const Shortcut main = preferences_.key(command);
        if (registerCommand(command, main))
            ours.push_back(main);
        else
            refused(main, !preferences_.bindings().count(command));
        if (const auto extra = preferences_.extraBindings().find(command); extra != preferences_.extraBindings().end())
            for (const auto& shortcut : extra->second) {
                if (registerCommand(command, shortcut))
                    ours.push_back(shortcut);
                else
                    refused(shortcut, false);
            }
    }
    if (preferences_.switcherEnabled() && !switcher_.claimed())
        held.add(switcherShortcut, true);
    noteHeld(std::move(held));
}

void AppDelegate::reclaimKeys()
{
    // The keys are the running Kavelo's, whatever page a preview shows.
    if (previewing_)
        return;
    switcher_.dropClaim();
    // Asked of the system afresh: a new manager may hold what we held.
    hotKeys_.removeAll();
    applyKeys();
}

void AppDelegate::windowManagerChanged()
{
    reclaimKeys();
    managerSettled_ = platform_.scheduler.after(managerSettle, weakly([this] { reclaimKeys(); }));
}

bool AppDelegate::registerCommand(Command command, const Shortcut& shortcut)
{
    const std::pair binding{command, shortcut};
    const auto logged = std::find(loggedRefusals_.begin(), loggedRefusals_.end(), binding);
    if (hotKeys_.registerHotKey(shortcut.keyCode, shortcut.modifiers, weakly([this, command] { run(command); }))) {
        if (logged != loggedRefusals_.end())
            loggedRefusals_.erase(logged);
        return true;
    }
    if (logged == loggedRefusals_.end()) {
        loggedRefusals_.push_back(binding);
        watchdog_.log("shortcut " + shortcut.label() + " for " + std::string(rawValue(command)) +
                      " is held by another app");
    }
    return false;
}

void AppDelegate::noteHeld(HeldKeys held)
{
    bool news = false;
    for (const Shortcut& key : held.defaults)
        if (std::find(toldHeld_.begin(), toldHeld_.end(), key) == toldHeld_.end()) {
            toldHeld_.push_back(key);
            news = true;
        }
    if (news)
        views_.toast().offer(HeldKeyTexts::toast(held), "keyboard",
                             weakly([this] { showSettings(SettingsTab::shortcuts); }));
    if (held != heldKeys_.value())
        heldKeys_.set(std::move(held));
}

bool AppDelegate::keyHook(TapEventType type, const TapEvent& event)
{
    if (type == TapEventType::flagsChanged) {
        const bool holding = (event.flags & EventFlag::control) && (event.flags & EventFlag::option);
        ArrangeEngine& engine = arrange();
        if (holding != engine.holding) {
            engine.holding = holding;
            if (holding) {
                engine.showIndicator();
            } else {
                engine.indicator().keep = false;
                engine.indicator().scheduleFade();
            }
        }
    }
    return switcher_.handle(type, event);
}

void AppDelegate::showOverview() { overview_.show(); }

void AppDelegate::toggleLeftAlone(const std::string& bundleID)
{
    auto alone = preferences_.leftAlone();
    if (!alone.erase(bundleID))
        alone.insert(bundleID);
    preferences_.setLeftAlone(std::move(alone));
}

void AppDelegate::checkForUpdates() { updates().checkForUpdates(); }

void AppDelegate::saveWorkspace() { kavelo::saveWorkspace(views_.workflowPanels(), workflows_, currentDisplays()); }

void AppDelegate::restoreWorkspace(const std::string& name) { workflows_.switchTo(name); }

} // namespace kavelo
