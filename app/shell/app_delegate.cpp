#include "app/shell/app_delegate.h"

#include "app/services/key_names.h"
#include "app/services/key_texts.h"
#include "app/services/trackpad.h"
#include "app/shell/command_modes.h"
#include "app/shell/panel_assembly.h"

namespace kavelo {

AppDelegate::AppDelegate(Platform platform, ShellViews& views, CommandLine commandLine, ShellEnvironment environment)
    : platform_(platform),
      views_(views),
      commandLine_(std::move(commandLine)),
      environment_(std::move(environment)),
      defaults_(environment_.paths.userDefaults),
      preferences_(defaults_, platform_.loginItem,
                   [&workspace = platform_.workspace](int fingers) { return Trackpad::systemSwipes(workspace, fingers); }),
      desktop_{platform_, preferences_},
      watchdog_(environment_.paths, platform_.clock, environment_.launcher, environment_.process),
      workingApp_(platform_.workspace),
      recentWindows_(desktop_),
      hotKeys_(platform_.hotKeys),
      thumbnails_(platform_.windowServer),
      overview_(desktop_, views_.overviewPanels(), &thumbnails_),
      switcher_(desktop_, views_.switcherPanels(), &thumbnails_),
      watcher_(platform_.accessibility, platform_.capture, platform_.scheduler),
      workflows_(desktop_, views_.toast(), views_.workflowPanels(), Workflows::folder(environment_.paths)),
      popover_(platform_, views_.popoverWindows()),
      noPeek_(desktop_, workingApp_, views_.focusModePanels()),
      cleanSpace_(desktop_, workingApp_, views_.focusModePanels())
{
    defaults_.deferWrites(platform_.scheduler, Seconds(settingsDelay));
    defaults_.onWriteFailure = weakly([this](std::string_view message, std::error_code error) {
        watchdog_.log(message);
        settingsUnsaved(error);
    });
}

void AppDelegate::settingsUnsaved(std::error_code error)
{
    // What the screen shows now would be gone at the next start.
    views_.toast().show("Couldn't save your settings: " +
                            UserDefaults::plainReason(error, defaults_.file().parent_path()),
                        "exclamationmark.triangle.fill");
}

std::optional<std::string> AppDelegate::saveSettings()
{
    if (const std::error_code error = defaults_.flush())
        return "the change was made, but your settings could not be saved: " +
               UserDefaults::plainReason(error, defaults_.file().parent_path());
    return std::nullopt;
}

AppDelegate::~AppDelegate()
{
    // The resolver reads this desktop's keyboard, which may go before the
    // next label is asked for.
    if (launched_)
        Shortcut::localName = {};
}

ArrangeEngine& AppDelegate::arrange()
{
    if (!arrange_)
        arrange_ = std::make_unique<ArrangeEngine>(desktop_, workingApp_, views_.toast(), views_.enginePanels(desktop_));
    return *arrange_;
}

Updates& AppDelegate::updates()
{
    if (!updates_)
        updates_ = std::make_unique<Updates>(platform_.appInfo, environment_.updater);
    return *updates_;
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (launched_)
        return;
    launched_ = true;

    // 1. Shortcut labels name keys in the layout in use.
    Shortcut::localName = KeyNames::resolver(platform_.keyboard);
    // 2. The listing prints and ends the process.
    if (commandLine_.isList() && commandLine_.listAndExit(*this))
        return;
    // 3.
    installMainMenu();
    // 4. A command-line mode ends the process itself.
    if (commandLine_.runCommandAndExit(*this))
        return;
    // A preview shows its screen and nothing more: beside a running Kavelo
    // it must not take that one's keys, add a second tray icon, arrange the
    // windows or write the files that one keeps.
    if (commandLine_.isPreview()) {
        launchPreview(*commandLine_.showValue());
        return;
    }
    // 5. A "--show" without its screen runs without the restart watcher.
    if (!commandLine_.isShow())
        watchdog_.start();
    // The main thread's long waits on other programs, for whoever asks
    // where its time went.
    longWaits_ = platform_.windowServer.onLongWait(
        weakly([this](std::string_view what, std::chrono::milliseconds waited) {
            watchdog_.log("waited " + std::to_string(waited.count()) + " ms for " + std::string(what));
        }));
    // 6. Wake: the desktop's own word, and the session manager's.
    wakes_ = platform_.workspace.onWake(weakly([this] { wake(); }));
    sessionWakes_ = views_.observeSessionWake(weakly([this] { wake(); }));
    // 7.
    item_ = views_.makeStatusItem(weakly([this] { togglePopover(); }), weakly([this] { terminate(); }));
    // 8.
    updates();
    // 9.
    connectOverview();
    overview_.log = weakly([this](const std::string& line) { watchdog_.log(line); });
    switcher_.log = weakly([this](std::string_view line) { watchdog_.log(line); });
    recentWindows_.start();
    overview_.recentWindows = &recentWindows_;
    switcher_.recentWindows = &recentWindows_;
    // 10.
    mouse_ = std::make_unique<MouseButtonTrigger>(platform_.eventTap, platform_.scheduler,
                                                  weakly([this] { return isTrusted(); }));
    mouse_->button = preferences_.mouseButton();
    mouse_->action = weakly([this] { toggleOverview(); });
    // 11.
    preferences_.onKeysChange = weakly([this] { applyKeys(); });
    // 12.
    arrange();
    preferences_.onArrangeChange = weakly([this] { arrange().settingsChanged(); });
    // 13.
    workflows_.willMoveWindows = weakly([this] { arrange().pause(PauseReason::workflow, workflowPause); });
    workflows_.didMoveWindows = weakly([this] { arrange().adoptWindows(); });
    workflows_.userFrames = weakly([this] { return arrange().userFrames(); });
    workflows_.launcher = &environment_.launcher;
    workflows_.log = weakly([this](const std::string& line) { watchdog_.log(line); });
    if (environment_.watchReadable)
        workflows_.follow(environment_.watchReadable);
    // 14.
    arrange().start();
    noPeek_.start();
    cleanSpace_.pauseArranging =
        weakly([this](double seconds) { arrange().pause(PauseReason::cleanSpace, seconds); });
    cleanSpace_.start();
    // 15. The Control-Option wheel, taken only while the engine acts on it
    // (a strip to pan, waiting windows to slide); else the window under the
    // pointer gets it.
    mouse_->onScroll = weakly([this](double delta) {
        if (preferences_.arrangeMode() == ArrangeMode::off)
            return false;
        return arrange().scrolled(delta);
    });
    // 16.
    applyKeys();
    // 17. The shortcut recorder takes Option-Tab while it records.
    switcher_.isEnabled = weakly([this] { return preferences_.switcherEnabled() && !preferences_.isRecording(); });
    switcher_.switchWorkflow = weakly([this](int slot) { workflows_.switchTo(slot); });
    // The claim, and what the held keys say of it, follow the switch.
    preferenceChanges_ = preferences_.observe(weakly([this](std::string_view property) {
        if (property == "switcherEnabled")
            applyKeys();
    }));
    switcher_.updateClaim();
    // After the launch, before the first Alt-Tab; the preview shows its own.
    if (!commandLine_.isShow())
        platform_.scheduler.post(weakly([this] { switcher_.prepare(); }));
    managerChanges_ = platform_.workspace.onWindowManagerChange(weakly([this] { windowManagerChanged(); }));
    // 18.
    mouse_->onKey = weakly([this](TapEventType type, const TapEvent& event) { return keyHook(type, event); });
    // 19. The tap runs exactly while the permission is granted.
    mouseWatch_ = watcher_.accessibility.subscribe(weakly([this](const bool& trusted) {
        if (trusted)
            mouse_->start();
        else
            mouse_->stop();
    }));
    // 20-22. The monitor setup, its changes and the minute's autosave.
    displays_ = std::make_unique<MonitorSetups>(
        desktop_, workflows_,
        MonitorSetups::Engine{
            .pause = weakly([this](Seconds s) { arrange().pause(PauseReason::display, s.count()); }),
            .adoptWindows = weakly([this] { arrange().adoptWindows(); }),
            .displaysChanged = weakly([this] { layoutDisplaysChanged(); }),
        });
    displays_->keepWindowsOnScreen = weakly([this] {
        if (windows_)
            windows_->keepOnScreen();
    });
    displays_->start();
    // 23. The welcome on first run.
    if (!defaults_.boolean(welcomedKey).value_or(false))
        showWelcome();
}

void AppDelegate::connectOverview()
{
    overview_.showPermissions = weakly([this] { showSettings(SettingsTab::permissions); });
    overview_.loadWorkflows = weakly([this] {
        workflows_.reload();
        return workflows_.items();
    });
    overview_.switchWorkflow = weakly([this](const std::string& name) { workflows_.switchTo(name); });
}

void AppDelegate::launchPreview(const std::string& value)
{
    previewing_ = true;
    defaults_.keepInMemory();
    connectOverview();
    workflows_.launcher = &environment_.launcher;
    if (value == "overview") {
        overview_.show();
    } else if (value == "switcher") {
        switcher_.begin(false);
        previewShow_ = platform_.scheduler.after(previewSwitcherDelay, weakly([this] { switcher_.show(); }));
    } else if (value == "welcome") {
        showWelcome();
    } else if (value == "panel") {
        // Under the pointer: the tray's icon is the running Kavelo's.
        popover_.open(std::nullopt, panelView());
    } else {
        showSettings(SettingsTab_from(value).value_or(SettingsTab::general));
    }
    previewEnd_ = platform_.scheduler.after(previewSeconds, weakly([this] {
        if (environment_.exit)
            environment_.exit(0);
    }));
}

void AppDelegate::applicationWillTerminate()
{
    cleanSpace_.end();
    arrange().release();
    // Changes still waiting to be written are not lost.
    defaults_.flush();
    watchdog_.markCleanExit();
}

void AppDelegate::terminate()
{
    if (terminated_)
        return;
    terminated_ = true;
    closePopover();
    // A preview started nothing to stop; the running marker and the log
    // are the running Kavelo's.
    if (!previewing_)
        applicationWillTerminate();
    if (environment_.exit)
        environment_.exit(0);
}

void AppDelegate::wake()
{
    watchdog_.log("woke");
    if (isTrusted() && mouse_) {
        mouse_->stop();
        mouse_->start();
    }
    arrange().updateTrackpad();
    arrange().lastSignature.clear();
}

std::string AppDelegate::currentDisplays() const
{
    return displays_ ? displays_->displays().current : MonitorSetups::currentDisplays(platform_.displays);
}

// --- Windows and popover ---

MenuPanel AppDelegate::panelView()
{
    const PanelSources sources{
        .workflows = workflows_,
        .arrange = arrange(),
        .preferences = preferences_,
        .workspace = platform_.workspace,
        .accessibility = platform_.accessibility,
        .capture = platform_.capture,
        .ownBundleID = platform_.appInfo.bundleID(),
        .canUpdate = updates().canUpdate(),
    };
    const ShellOperations operations{
        .closePopover = weakly([this] { closePopover(); }),
        .showOverview = weakly([this] { overview_.show(); }),
        .tidy = weakly([this] { tidy(); }),
        .saveWorkspace = weakly([this] { saveWorkspace(); }),
        .switchWorkflow = weakly([this](const std::string& name) { workflows_.switchTo(name); }),
        .showSettings = weakly([this](SettingsTab tab) { showSettings(tab); }),
        .checkForUpdates = weakly([this] { updates().checkForUpdates(); }),
        .terminate = weakly([this] { terminate(); }),
    };
    return kavelo::panelView(sources, operations);
}

void AppDelegate::togglePopover()
{
    if (!item_)
        return;
    if (popover_.isOpen()) {
        closePopover();
        return;
    }
    reclaimKeys();
    popover_.open(item_->geometry(), panelView());
}

void AppDelegate::closePopover() { popover_.close(); }

void AppDelegate::reopen()
{
    if (popover_.isOpen()) {
        closePopover();
        return;
    }
    reclaimKeys();
    popover_.open(item_ ? item_->geometry() : std::nullopt, panelView());
}

ShellWindows& AppDelegate::shellWindows()
{
    if (!windows_)
        windows_ = views_.makeWindows(WindowSources{
            .platform = platform_,
            .preferences = preferences_,
            .watcher = watcher_,
            .workflows = workflows_,
            .permissions = Permissions{platform_.capture, platform_.workspace, environment_.launcher,
                                       environment_.process, weakly([this] { terminate(); })},
            .clashingApp = weakly([this] { return ArrangeEngine::clashingApp(platform_.workspace); }),
            .heldKeys = &heldKeys_,
            .shortcutsShown = weakly([this] { reclaimKeys(); }),
        });
    return *windows_;
}

void AppDelegate::showSettings(SettingsTab tab) { shellWindows().showSettings(tab); }

void AppDelegate::showWelcome()
{
    shellWindows().showWelcome(weakly([this] {
        defaults_.set(welcomedKey, Json(true));
        if (windows_)
            windows_->closeWelcome();
        views_.toast().show(KeyTexts::firstRunToast(preferences_, heldKeys_.value(), item_ && item_->inTray()),
                            "keyboard");
    }));
}

void AppDelegate::installMainMenu() { views_.installMainMenu(weakly([this] { terminate(); })); }

} // namespace kavelo
