// Long random sequences of what a user and the desktop do around the
// switcher, with the controller's promises checked after every step.

#include "switcher/switcher_fixture.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <map>
#include <set>

using namespace kavelo;

namespace {

enum class Op {
    optionTab,      // Option down, then Tab
    tab,            // Tab with whatever is held
    shiftTab,
    tabUp,
    letter,
    digit,
    escape,
    enter,
    backspace,
    arrow,
    optionUp,
    optionDownOnly,
    watchMissesRelease, // both modifier states lose Option without a tap event
    closeWindow,
    openWindow,
    addDisplay,
    removeDisplay,
    movePointer,
    click,
    advance,
};

struct Step {
    Op op = Op::tab;
    int arg = 0;
};

std::ostream& operator<<(std::ostream& os, const Step& s) { return os << int(s.op) << ":" << s.arg; }

rc::Gen<Step> genStep()
{
    return rc::gen::build<Step>(rc::gen::set(&Step::op, rc::gen::element(
                                                            Op::optionTab, Op::optionTab, Op::tab, Op::tab,
                                                            Op::shiftTab, Op::tabUp, Op::letter, Op::letter,
                                                            Op::digit, Op::escape, Op::enter, Op::backspace,
                                                            Op::arrow, Op::optionUp, Op::optionUp,
                                                            Op::optionDownOnly, Op::watchMissesRelease,
                                                            Op::closeWindow, Op::openWindow, Op::addDisplay,
                                                            Op::removeDisplay, Op::movePointer, Op::click,
                                                            Op::advance, Op::advance)),
                                rc::gen::set(&Step::arg, rc::gen::inRange(0, 1000)));
}

struct World : kavelo::testing::SwitcherWorld {
    World()
    {
        apps = {app("com.apple.Safari", "Safari"), app("com.apple.Terminal", "Terminal"),
                app("com.apple.mail", "Mail")};
        for (int i = 0; i < 4; ++i)
            open(i);
    }

    void open(int n)
    {
        const Rect frame(double(n % 7) * 90, 30 + double(n % 5) * 60, 300 + n % 3 * 200, 250 + n % 4 * 100);
        live.push_back(window(apps[std::size_t(n) % apps.size()], "Window " + std::to_string(n), frame,
                              [n](SimWindow& w) { w.minimized = n % 6 == 5; }));
    }

    int totalRaises() const
    {
        int sum = 0;
        for (WindowID id : live)
            sum += raises(id);
        for (const auto& [id, count] : closedRaises)
            sum += count;
        return sum;
    }

    std::vector<std::int32_t> apps;
    std::vector<WindowID> live;
    std::map<WindowID, int> closedRaises; // raises counted when the window closed
    std::vector<std::uint32_t> extraDisplays;
};

} // namespace

RC_GTEST_PROP(SwitcherControllerProperties, RandomUseKeepsEveryPromise, ())
{
    const auto steps = *rc::gen::container<std::vector<Step>>(genStep());
    World w;
    int sessions = 0;
    std::uint64_t flags = 0;

    for (const Step& step : steps) {
        const bool activeBefore = w.controller->isActive();
        std::optional<bool> keyDownTaken;
        switch (step.op) {
        case Op::optionTab:
            flags |= EventFlag::option;
            w.sim.changeFlags(flags);
            keyDownTaken = w.tab(flags);
            break;
        case Op::tab: keyDownTaken = w.tab(flags, step.arg % 4 == 0); break;
        case Op::shiftTab: keyDownTaken = w.tab(flags | EventFlag::shift); break;
        case Op::tabUp: w.tabUp(flags); break;
        case Op::letter: keyDownTaken = w.press(std::uint16_t(step.arg % 3), flags); break; // a s d
        case Op::digit: keyDownTaken = w.press(std::uint16_t(18 + step.arg % 3), flags); break; // 1 2 3
        case Op::escape: keyDownTaken = w.press(53, flags); break;
        case Op::enter: keyDownTaken = w.press(36, flags); break;
        case Op::backspace: keyDownTaken = w.press(51, flags); break;
        case Op::arrow: keyDownTaken = w.press(std::uint16_t(123 + step.arg % 4), flags); break;
        case Op::optionUp:
            flags &= ~EventFlag::option;
            w.sim.changeFlags(flags);
            break;
        case Op::optionDownOnly:
            flags |= EventFlag::option;
            w.sim.changeFlags(flags);
            break;
        case Op::watchMissesRelease:
            flags &= ~EventFlag::option;
            w.sim.setModifierState(ModifierSource::combinedSession, flags);
            w.sim.setModifierState(ModifierSource::hidSystem, flags);
            break;
        case Op::closeWindow:
            if (!w.live.empty()) {
                const std::size_t i = std::size_t(step.arg) % w.live.size();
                const WindowID id = w.live[i];
                w.closedRaises[id] = w.raises(id);
                w.sim.closeWindow(id);
                w.live.erase(w.live.begin() + std::ptrdiff_t(i));
            }
            break;
        case Op::openWindow: w.open(step.arg); break;
        case Op::addDisplay:
            if (w.extraDisplays.size() < 2)
                w.extraDisplays.push_back(w.sim.addDisplay(
                    SimDisplay{.frame = Rect(1440 + 1300.0 * double(w.extraDisplays.size()), 0, 1280, 800)}));
            break;
        case Op::removeDisplay:
            if (!w.extraDisplays.empty()) {
                w.sim.removeDisplay(w.extraDisplays.back());
                w.extraDisplays.pop_back();
            }
            break;
        case Op::movePointer: w.sim.movePointer(Point(double(step.arg) * 3, double(step.arg % 90) * 10)); break;
        case Op::click:
            if (w.panelShown() && w.click && !w.controller->model().session().windows.empty()) {
                const auto& windows = w.controller->model().session().windows;
                w.click(windows[std::size_t(step.arg) % windows.size()]);
            }
            break;
        case Op::advance: w.wait(double(step.arg % 5) * 0.07); break;
        }
        if (!activeBefore && w.controller->isActive())
            ++sessions;
        // Every key down of a running session is kept from the applications.
        if (activeBefore && keyDownTaken)
            RC_ASSERT(*keyDownTaken);
        // Now and then several events arrive before the queue runs.
        if (step.arg % 3 == 0)
            continue;
        w.run();
        // The panel and the keyboard belong to a running session only.
        if (w.panelShown())
            RC_ASSERT(w.controller->isActive());
        if (w.sim.keyboardHeld())
            RC_ASSERT(w.controller->isActive());
        RC_ASSERT(w.sim.keyboardHeld() == w.controller->holdsKeyboard());
        // At most one opening per session.
        RC_ASSERT(w.totalRaises() + int(w.workflows.size()) <= sessions);
        // A closed window is never raised.
        for (const auto& [id, count] : w.closedRaises)
            RC_ASSERT(w.sim.counters(id).raises == count);
    }
    // Whatever state the sequence ends in, a release ends it cleanly.
    flags = 0;
    w.sim.changeFlags(flags);
    w.run();
    w.wait(1);
    RC_ASSERT(!w.controller->isActive());
    RC_ASSERT(!w.panelShown());
    RC_ASSERT(!w.sim.keyboardHeld());
}
