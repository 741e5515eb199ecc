#pragma once

// The application delegate on the simulated desktop with a hand-driven
// scheduler, in a fresh home folder, with views that record what they are
// asked: the tray icon, the popover's window, the two windows, the main
// menu, toasts and the session manager's wake.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/platform/sim/sim_updater.h"
#include "app/shell/app_delegate.h"
#include "engine/focus_mode_fakes.h"
#include "services/fake_launcher.h"
#include "services/temp_home.h"
#include "shell/shell_fixture.h"
#include "switcher/overview_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kavelo::testing {

// A platform with other hot keys and another tap in place of its own.
inline Platform withInput(const Platform& p, SystemHotKeys& hotKeys, EventTap& eventTap)
{
    return Platform{.accessibility = p.accessibility,
                    .windowServer = p.windowServer,
                    .workspace = p.workspace,
                    .displays = p.displays,
                    .hotKeys = hotKeys,
                    .eventTap = eventTap,
                    .mouse = p.mouse,
                    .keyboard = p.keyboard,
                    .multitouch = p.multitouch,
                    .capture = p.capture,
                    .loginItem = p.loginItem,
                    .browsers = p.browsers,
                    .appInfo = p.appInfo,
                    .scheduler = p.scheduler,
                    .clock = p.clock};
}

// Engine panels that show nothing.
class SilentEnginePanels : public EnginePanels {
public:
    struct Bars : TabBars {
        void show(std::vector<Bar>, Select) override {}
    };
    struct Zones : EdgeZones {
        void show(std::vector<Zone>, Clicked) override {}
    };
    struct Indicator : IndicatorPanel {
        Size setRow(std::vector<StripTile>, double, Select, Move) override { return Size(100, 20); }
        void setFrame(const Rect& f) override { frame_ = f; }
        Rect frame() const override { return frame_; }
        void setAlpha(double a) override { alpha_ = a; }
        double alpha() const override { return alpha_; }
        void orderFront() override { shown = true; }
        void orderOut() override { shown = false; }
        bool isShown() const override { return shown; }
        Rect frame_;
        double alpha_ = 0;
        bool shown = false;
    };
    struct Light : Highlight {
        void start() override {}
    };
    std::unique_ptr<TabBars> makeTabBars() override { return std::make_unique<Bars>(); }
    std::unique_ptr<EdgeZones> makeEdgeZones() override { return std::make_unique<Zones>(); }
    std::unique_ptr<IndicatorPanel> makeIndicatorPanel() override { return std::make_unique<Indicator>(); }
    std::unique_ptr<Highlight> makeHighlight(WorkingApp&) override { return std::make_unique<Light>(); }
};

struct FakeStatusItem : StatusItem {
    std::optional<Rect> at = Rect(1200, 0, 24, 24);
    std::function<void()> clicked;
    std::function<void()> quit;
    bool tray = true;
    std::optional<Rect> geometry() const override { return tray ? at : std::nullopt; }
    bool inTray() const override { return tray; }
};

struct FakePopoverWindow : PopoverWindow {
    void open(MenuPanel p, const std::function<Rect(Size)>& place, std::function<void()> closedByItself) override
    {
        ++opens;
        panel.reset();
        panel.emplace(std::move(p));
        frame_ = place(size);
        open_ = true;
        closed = std::move(closedByItself);
    }
    void close() override
    {
        if (open_)
            ++closes;
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    std::optional<Rect> frame() const override { return open_ ? std::optional(frame_) : std::nullopt; }

    Size size{320, 480};
    std::optional<MenuPanel> panel;
    std::function<void()> closed;
    Rect frame_;
    bool open_ = false;
    int opens = 0;
    int closes = 0;
};

struct RecordingSwitcherPanel : SwitcherPanel {
    void show(const Rect&) override
    {
        ++shows;
        shown = true;
    }
    void orderOut() override { shown = false; }
    bool isShown() const override { return shown; }
    int shows = 0;
    bool shown = false;
};

struct FakeShellWindows : ShellWindows {
    void showSettings(SettingsTab tab) override { tabs.push_back(tab); }
    void showWelcome(std::function<void()> d) override
    {
        ++welcomes;
        done = std::move(d);
    }
    void closeWelcome() override { ++welcomeCloses; }
    void keepOnScreen() override { ++keptOnScreen; }
    std::vector<SettingsTab> tabs;
    int welcomes = 0;
    int welcomeCloses = 0;
    int keptOnScreen = 0;
    std::function<void()> done;
};

class FakeViews : public ShellViews {
public:
    explicit FakeViews(Clock& clock) : focusModes(clock) {}

    Toast& toast() override { return toasts; }
    EnginePanels& enginePanels(const Desktop&) override { return engine; }
    FocusModePanels& focusModePanels() override { return focusModes; }
    WorkflowPanels& workflowPanels() override { return workflowQuestions; }
    SwitcherPanelFactory switcherPanels() override
    {
        return [this](SwitcherModel&, SwitcherOpen) {
            auto panel = std::make_unique<RecordingSwitcherPanel>();
            switcherPanel = panel.get();
            return panel;
        };
    }
    OverviewController::PanelFactory overviewPanels() override
    {
        return [this](OverviewController&) {
            auto panel = std::make_unique<RecordingOverviewPanel>();
            overviewPanel = panel.get();
            return panel;
        };
    }
    std::unique_ptr<StatusItem> makeStatusItem(std::function<void()> clicked, std::function<void()> quit) override
    {
        auto made = std::make_unique<FakeStatusItem>();
        made->tray = hasTray;
        made->clicked = std::move(clicked);
        made->quit = std::move(quit);
        item = made.get();
        return made;
    }
    Popover::WindowFactory popoverWindows() override
    {
        return [this] {
            auto made = std::make_unique<FakePopoverWindow>();
            popover = made.get();
            return made;
        };
    }
    std::unique_ptr<ShellWindows> makeWindows(WindowSources) override
    {
        auto made = std::make_unique<FakeShellWindows>();
        windows = made.get();
        ++windowSets;
        return made;
    }
    void installMainMenu(std::function<void()> quit) override
    {
        ++menus;
        menuQuit = std::move(quit);
    }
    Handle observeSessionWake(std::function<void()> woke) override
    {
        sessionWake = std::move(woke);
        return Handle::withCancel([this] { sessionWake = nullptr; });
    }

    bool hasTray = true;
    RecordingToast toasts;
    SilentEnginePanels engine;
    FakePanels focusModes;
    ScriptedPanels workflowQuestions;
    RecordingOverviewPanel* overviewPanel = nullptr;
    RecordingSwitcherPanel* switcherPanel = nullptr;
    FakeStatusItem* item = nullptr;
    FakePopoverWindow* popover = nullptr;
    FakeShellWindows* windows = nullptr;
    int windowSets = 0;
    int menus = 0;
    std::function<void()> menuQuit;
    std::function<void()> sessionWake;
};

struct DelegateWorld {
    DelegateWorld() : views(scheduler.clock()) { sim.attach(&scheduler); }
    ~DelegateWorld()
    {
        delegate.reset();
        sim.attach(nullptr);
    }
    DelegateWorld(const DelegateWorld&) = delete;
    DelegateWorld& operator=(const DelegateWorld&) = delete;

    // The simulated desktop's interfaces, with the hot keys and the tap
    // stood in for when a test sets them.
    Platform platform()
    {
        const Platform p = sim.platform(scheduler, scheduler.clock());
        return withInput(p, hotKeysStandIn ? *hotKeysStandIn : p.hotKeys, tapStandIn ? *tapStandIn : p.eventTap);
    }

    // A delegate for these arguments, not launched.
    AppDelegate& make(std::vector<std::string> arguments = {})
    {
        delegate = std::make_unique<AppDelegate>(platform(), views, CommandLine(std::move(arguments)),
                                                 ShellEnvironment{
                                                     .paths = home.paths(),
                                                     .process = OwnProcess{4242, "/opt/kavelo/kavelo"},
                                                     .launcher = launcher,
                                                     .updater = updaterOn ? &updater : nullptr,
                                                     .exit = [this](int status) { exits.push_back(status); },
                                                     .out = &out,
                                                     .err = &err,
                                                     .variable =
                                                         [this](std::string_view name) -> std::optional<std::string> {
                                                         const auto it = variables.find(std::string(name));
                                                         if (it == variables.end())
                                                             return std::nullopt;
                                                         return it->second;
                                                     },
                                                 });
        return *delegate;
    }
    // Made and launched; "welcomed" set first unless `welcome`.
    AppDelegate& launch(std::vector<std::string> arguments = {}, bool welcome = false)
    {
        if (!welcome)
            markWelcomed();
        make(std::move(arguments)).applicationDidFinishLaunching();
        scheduler.runPending();
        return *delegate;
    }
    void markWelcomed()
    {
        UserDefaults store(home.paths().userDefaults);
        store.set(AppDelegate::welcomedKey, Json(true));
    }

    std::int32_t app(std::string bundleID, std::string name, bool hidden = false)
    {
        return sim.addApp(SimApp{.bundleID = std::move(bundleID), .name = std::move(name), .hidden = hidden});
    }
    WindowID window(std::int32_t pid, std::string title, Rect frame)
    {
        return sim.addWindow(SimWindow{.pid = pid, .title = std::move(title), .frame = frame});
    }
    Rect frameOf(WindowID id) const { return sim.window(id)->frame; }
    std::string lastToast() const { return views.toasts.last(); }
    // The engine log's lines so far.
    std::vector<std::string> logLines() const;

    test::TempHome home;
    ManualScheduler scheduler;
    SimDesktop sim;
    test::FakeLauncher launcher;
    SimUpdater updater;
    bool updaterOn = false;
    SystemHotKeys* hotKeysStandIn = nullptr;
    EventTap* tapStandIn = nullptr;
    FakeViews views;
    std::vector<int> exits;
    // The command line's output and environment.
    std::ostringstream out;
    std::ostringstream err;
    std::map<std::string, std::string> variables;
    std::unique_ptr<AppDelegate> delegate;
};

inline std::vector<std::string> DelegateWorld::logLines() const
{
    std::vector<std::string> lines;
    if (!delegate)
        return lines;
    std::ifstream in(delegate->watchdog().files().logFile);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
}

class DelegateTest : public ::testing::Test, public DelegateWorld {};

// A global shortcut as key code and modifiers.
using Combination = std::pair<std::uint32_t, std::uint32_t>;

inline std::set<Combination> registeredHotKeys(const SimDesktop& sim)
{
    std::set<Combination> out;
    for (const auto& k : sim.registeredHotKeys())
        out.emplace(k.keyCode, k.modifiers);
    return out;
}

// What the rules ask for in these settings: the overview, the nine slots
// and the groups the mode and snapping make active, with their extras.
// Whether the settings have a command's shortcuts registered.
inline bool isActive(const Preferences& p, Command c)
{
    const auto s = scope(c);
    const ArrangeMode mode = p.arrangeMode();
    return s == CommandScope::always || (s == CommandScope::snap && mode != ArrangeMode::strip && p.snappingEnabled()) ||
           (s == CommandScope::auto_ && mode == ArrangeMode::auto_) ||
           (s == CommandScope::strip && mode == ArrangeMode::strip);
}

inline std::set<Combination> expectedHotKeys(const Preferences& p)
{
    std::set<Combination> out{{p.shortcut().keyCode, p.shortcut().modifiers}};
    for (auto key : AppDelegate::slotKeys)
        out.emplace(key, AppDelegate::slotModifiers);
    for (Command c : allCommands) {
        if (!isActive(p, c))
            continue;
        out.emplace(p.key(c).keyCode, p.key(c).modifiers);
        if (auto extra = p.extraBindings().find(c); extra != p.extraBindings().end())
            for (const auto& e : extra->second)
                out.emplace(e.keyCode, e.modifiers);
    }
    return out;
}

// The desktop's tap, with its starts and stops counted.
struct CountingTap : EventTap {
    explicit CountingTap(EventTap& tap) : tap(tap) {}
    bool start(std::function<bool(const TapEvent&)> callback) override
    {
        ++starts;
        return tap.start(std::move(callback));
    }
    void stop() override
    {
        ++stops;
        tap.stop();
    }
    bool isRunning() const override { return tap.isRunning(); }
    void reenable() override { tap.reenable(); }
    bool claim(std::uint16_t keyCode, std::uint64_t flags) override { return tap.claim(keyCode, flags); }
    void unclaim(std::uint16_t keyCode, std::uint64_t flags) override { tap.unclaim(keyCode, flags); }
    bool holdKeyboard(bool hold) override { return tap.holdKeyboard(hold); }
    EventTap& tap;
    int starts = 0;
    int stops = 0;
};

} // namespace kavelo::testing
