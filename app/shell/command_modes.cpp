#include "app/shell/command_modes.h"

#include "app/services/key_names.h"
#include "app/services/trackpad.h"
#include "app/services/window_actions.h"
#include "app/shell/app_delegate.h"
#include "app/workflows/browser_tabs.h"
#include "app/shell/monitor_setups.h"
#include "app/switcher/switcher_controller.h"
#include "core/raw_value.h"
#include "core/snap.h"
#include "core/text.h"
#include "core/workflow_plan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <sstream>

namespace kavelo {

std::optional<double> finiteNumber(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    // strtod takes "inf", "nan" and leading blanks; only plain decimals count.
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value) || std::isspace(static_cast<unsigned char>(copy[0])))
        return std::nullopt;
    return value;
}

std::optional<int> integerNumber(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::vector<std::string> modeSteps(std::string_view value)
{
    std::vector<std::string> steps;
    std::size_t start = 0;
    while (start <= value.size()) {
        const auto comma = std::min(value.find(',', start), value.size());
        if (comma > start)
            steps.emplace_back(value.substr(start, comma - start));
        start = comma + 1;
    }
    return steps;
}

CommandModes::CommandModes(AppDelegate& delegate) : delegate_(delegate) {}

CommandModes::~CommandModes() = default;

bool CommandModes::run(std::string_view flag, const std::string& value)
{
    using Mode = void (CommandModes::*)(const std::string&);
    // The order in which flags are compared.
    static const std::pair<std::string_view, Mode> modes[] = {
        {"--render", &CommandModes::render},
        {"--snap", &CommandModes::snap},
        {"--save", &CommandModes::save},
        {"--restore", &CommandModes::restore},
        {"--tabs-test", &CommandModes::tabsTest},
        {"--self-test", &CommandModes::selfTest},
        {"--switcher-test", &CommandModes::switcherTest},
        {"--arrange-test", &CommandModes::arrangeTest},
        {"--key-names", &CommandModes::keyNames},
        {"--swipe-test", &CommandModes::swipeTest},
        {"--nopeek-test", &CommandModes::noPeekTest},
        {"--tidy", &CommandModes::tidy},
        {"--switch", &CommandModes::switchTo},
    };
    for (const auto& [name, mode] : modes) {
        if (name == flag) {
            (this->*mode)(value);
            return true;
        }
    }
    return false;
}

void CommandModes::line(const std::string& text)
{
    std::ostream& out = delegate_.out();
    out << text << '\n';
    out.flush();
}

void CommandModes::exit(int status)
{
    if (exited_)
        return;
    exited_ = true;
    timers_.clear();
    // A mode that changed settings it could not keep did not succeed.
    const bool changed = delegate_.defaults().hasUnwritten();
    if (const auto unsaved = changed ? delegate_.saveSettings() : std::nullopt) {
        delegate_.err() << "kavelo: " << text::printable(*unsaved) << '\n';
        delegate_.err().flush();
        if (status == 0)
            status = 1;
    }
    delegate_.exitProcess(status);
}

void CommandModes::refuse(const std::string& message)
{
    delegate_.err() << "kavelo: " << message << '\n';
    delegate_.err().flush();
    exit(2);
}

std::string CommandModes::noWorkflow(const std::string& name) const
{
    std::vector<std::string> names;
    for (const Workspace& workspace : delegate_.workflows().store().named())
        names.push_back(text::quoted(workspace.name));
    std::string message = "no workflow named " + text::quoted(name);
    if (names.empty())
        return message + "; none is saved yet";
    if (names.size() > namedWorkflows) {
        const std::size_t more = names.size() - namedWorkflows;
        names.resize(namedWorkflows);
        names.push_back("one of " + std::to_string(more) + " more");
    }
    return message + "; use " + choiceList(names);
}

std::optional<std::string> CommandModes::variable(std::string_view name) const { return delegate_.variable(name); }

// --- Modes that end at once ---

void CommandModes::snap(const std::string& value)
{
    const auto target = Snap_from(value);
    if (!target)
        return refuse("unknown snap target " + text::quoted(value) + "; use " + caseChoices(allSnaps));
    WindowActions::snapFocused(delegate_.desktop(), *target);
    exit(0);
}

void CommandModes::save(const std::string& value)
{
    // A blank name would be stored as a file named ".json", a line break
    // would never list as itself.
    if (const auto problem = WorkspaceStore::nameProblem(value))
        return refuse("cannot save " + text::quoted(value) + ": " + *problem);
    if (const auto failure = saveWorkflow(value)) {
        delegate_.err() << "kavelo: " << *failure << '\n';
        delegate_.err().flush();
        return exit(1);
    }
    exit(0);
}

std::optional<std::string> CommandModes::saveWorkflow(const std::string& name)
{
    const auto refused = [&](std::string_view why) {
        return "cannot save " + text::quoted(name) + ": " + text::printable(why);
    };
    if (const auto problem = WorkspaceStore::nameProblem(name))
        return refused(*problem);
    // The workflows know where the running engine's windows belong.
    const Workspace workspace =
        delegate_.workflows().capture(name, MonitorSetups::currentDisplays(delegate_.platform().displays));
    try {
        delegate_.workflows().store().save(workspace);
    } catch (const WorkspaceSaveError& error) {
        return refused(error.what());
    }
    return std::nullopt;
}

void CommandModes::restore(const std::string& value)
{
    const auto workspace = delegate_.workflows().store().load(value);
    if (!workspace)
        return refuse(noWorkflow(value));
    line("moved " + std::to_string(WindowActions::restore(delegate_.desktop(), *workspace)));
    exit(0);
}

void CommandModes::tidy(const std::string& value)
{
    const auto layout = TidyLayout_from(value);
    if (!layout)
        return refuse("unknown layout " + text::quoted(value) + "; use " + caseChoices(allTidyLayouts));
    WindowActions::Moves moves;
    const auto memory = WindowActions::tidy(delegate_.desktop(), *layout, variable(onlyAppVariable), &moves);
    // The windows that went, not those sent: a refusal is no tidy.
    line("tidied " + std::to_string(memory ? moves.moved : 0));
    exit(0);
}

void CommandModes::keyNames(const std::string& value)
{
    const Keyboard& keyboard = delegate_.platform().keyboard;
    std::optional<InputSource> source;
    if (value == "current") {
        if (const auto current = keyboard.currentLayout())
            source = InputSource{*current};
    } else {
        source = KeyNames::source(keyboard, value);
    }
    if (!source) {
        line("no such layout");
        return exit(2);
    }
    Shortcut::localName = [&keyboard, source = *source](int code) { return KeyNames::name(keyboard, code, source); };

    std::string labels;
    for (Command command : {Command::tidy, Command::fillScreen, Command::clearDesktop, Command::noPeek,
                            Command::focusLeft, Command::cycleWidth, Command::wider, Command::narrower,
                            Command::stackLeft, Command::stackRight, Command::jump1}) {
        if (!labels.empty())
            labels += "  ";
        labels += standard(command).label();
    }
    line(value + " " + labels);
    line(" space: " + Shortcut::standard.label() + "  tab: " + Shortcut{48, Shortcut::option}.label() +
         "  F5: " + Shortcut{96, 0}.label() + "  delete: " + Shortcut{51, Shortcut::command}.label());
    exit(0);
}

// --- Modes that take over ---

void CommandModes::switchTo(const std::string& value)
{
    if (!delegate_.workflows().store().load(value))
        return refuse(noWorkflow(value));
    delegate_.workflows().switchTo(value, [this](int placed) {
        line("moved " + std::to_string(placed));
        exit(0);
    });
}

void CommandModes::tabsTest(const std::string&)
{
    BrowserScripting& browsers = delegate_.platform().browsers;
    const auto tabs = BrowserTabs::read(browsers, tabsBrowser);
    line(std::string("read chrome: ") +
         (tabs ? std::to_string(tabs->size()) + " tabs" : std::string("NOT ALLOWED OR NOT RUNNING")));
    line("keepable: " + std::to_string(WorkflowPlan::keepable(tabs.value_or(std::vector<std::string>{})).size()));
    if (!tabs)
        return exit(3);

    const Workspace workspace{.name = std::string(tabsWorkflow),
                              .displays = "",
                              .savedAt = delegate_.platform().clock.now(),
                              .tabs = {{std::string(tabsBrowser), {std::string(tabsAddress)}}}};
    try {
        delegate_.workflows().store().save(workspace);
    } catch (const WorkspaceSaveError& error) {
        // Switching would find nothing and never finish.
        delegate_.err() << "kavelo: cannot store the test workflow: " << text::printable(error.what()) << '\n';
        delegate_.err().flush();
        return exit(1);
    }
    tabsRound(0);
}

void CommandModes::tabsRound(int round)
{
    delegate_.workflows().switchTo(tabsWorkflow, [this, round](int) {
        const double wait = round == 0 ? tabsFirstWait : tabsSecondWait;
        timers_.push_back(delegate_.platform().scheduler.after(wait, [this, round] {
            const auto tabs = BrowserTabs::read(delegate_.platform().browsers, tabsBrowser).value_or(
                std::vector<std::string>{});
            const auto copies = std::count(tabs.begin(), tabs.end(), tabsAddress);
            if (round == 0) {
                line(std::string("reopened: ") + (copies > 0 ? "yes" : "NO") + " tabs now: " +
                     std::to_string(tabs.size()));
                tabsRound(1);
                return;
            }
            line("second switch copies: " + std::to_string(copies));
            delegate_.workflows().store().remove(tabsWorkflow);
            exit(0);
        }));
    });
}

void CommandModes::switcherTest(const std::string& value)
{
    switcher_ = std::make_unique<SwitcherController>(delegate_.desktop(), delegate_.views().switcherPanels());
    switcher_->begin(false);
    const auto steps = modeSteps(value);
    Scheduler& scheduler = delegate_.platform().scheduler;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        timers_.push_back(scheduler.after(switcherFirstStep + switcherStepGap * double(i), [this, step = steps[i]] {
            if (step == "tab")
                switcher_->send(SwitcherKey::tab(false));
            else if (step == "esc")
                switcher_->send(SwitcherKey::escape());
            else if (step == "up")
                switcher_->release();
            else
                switcher_->send(SwitcherKey::text(step));
        }));
    }
    timers_.push_back(scheduler.after(switcherEndAfterSteps + switcherStepGap * double(steps.size()),
                                      [this] { exit(0); }));
}

void CommandModes::arrangeTest(const std::string& value)
{
    const auto mode = ArrangeMode_from(value);
    if (!mode)
        return refuse("unknown arrange mode " + text::quoted(value) + "; use " + caseChoices(allArrangeModes));
    ArrangeEngine& engine = delegate_.replaceArrange();
    engine.onlyApp = variable(onlyAppVariable);
    engine.testMode = *mode;
    engine.start();

    const auto steps = modeSteps(variable(stepsVariable).value_or(""));
    const auto seconds = variable(secondsVariable);
    const double end = seconds ? finiteNumber(*seconds).value_or(arrangeSeconds) : arrangeSeconds;
    Scheduler& scheduler = delegate_.platform().scheduler;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const double at = arrangeFirstStep + arrangeStepGap * double(i);
        // A step due when the run ends never runs.
        if (at >= end)
            break;
        timers_.push_back(scheduler.after(at, [this, &engine, step = steps[i]] { arrangeStep(engine, step); }));
    }
    timers_.push_back(scheduler.after(end, [this, &engine] {
        engine.release();
        exit(0);
    }));
}

void CommandModes::arrangeStep(ArrangeEngine& engine, const std::string& step)
{
    if (const auto command = Command_from(step))
        engine.perform(*command);
    if (step.starts_with("pan"))
        if (const auto delta = finiteNumber(std::string_view(step).substr(3)))
            engine.scrolled(-*delta);
    if (step == "map" && !engine.holding) {
        engine.holding = true;
        engine.showIndicator();
    }
    if (step == "drag")
        engine.testDrag();
    if (step == "float")
        engine.toggleFloat();
    if (step == "resize")
        engine.testResize();
    if (step == "edgeLeft" || step == "edgeRight") {
        const auto keys = engine.visibleKeys();
        if (!keys.empty())
            engine.edgeClicked(keys.front(), step == "edgeLeft");
    }
}

void CommandModes::swipeTest(const std::string& value)
{
    const Platform& platform = delegate_.platform();
    trackpad_ = std::make_unique<Trackpad>(platform.multitouch, platform.scheduler);
    trackpad_->onSwipe = [this](const SwipeEvent& event) {
        std::ostringstream text;
        switch (event.kind) {
        case SwipeEvent::Kind::began: text << "began"; break;
        case SwipeEvent::Kind::moved: text << "moved(dx: " << event.dx << ")"; break;
        case SwipeEvent::Kind::ended: text << "ended(velocity: " << event.velocity << ")"; break;
        }
        line(text.str());
    };
    const int devices = trackpad_->start(integerNumber(value).value_or(swipeFingers));
    line("devices: " + std::to_string(devices));
    // Which devices can swipe, so a user can tell a missing device from a
    // desktop that sends no gestures.
    for (const std::string& name : platform.multitouch.devices())
        line("device: " + text::printable(name));
    timers_.push_back(platform.scheduler.after(swipeSeconds, [this] { exit(0); }));
}

void CommandModes::noPeekTest(const std::string& value)
{
    delegate_.preferences().setNoPeekOn(true);
    delegate_.noPeek().start();
    timers_.push_back(delegate_.platform().scheduler.after(finiteNumber(value).value_or(noPeekSeconds),
                                                           [this] { exit(0); }));
}

void CommandModes::render(const std::string& value)
{
    if (const auto& runner = delegate_.environment().render)
        return runner(delegate_, value);
    delegate_.err() << "kavelo: --render is not available in this build\n";
    delegate_.err().flush();
    exit(1);
}

void CommandModes::selfTest(const std::string& value)
{
    if (const auto& runner = delegate_.environment().selfTest)
        return runner(delegate_, value);
    delegate_.err() << "kavelo: --self-test is not available in this build\n";
    delegate_.err().flush();
    exit(1);
}

} // namespace kavelo
