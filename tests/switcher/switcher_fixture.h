#pragma once

// The switcher controller on the simulated desktop, fed by the event tap of
// a MouseButtonTrigger, with a hand-driven scheduler and a panel that
// records what it was asked to do.

#include "app/services/mouse_button_trigger.h"
#include "app/switcher/switcher_controller.h"
#include "services/desktop_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <optional>
#include <string>
#include <vector>

namespace kavelo::testing {

struct RecordingPanel : SwitcherPanel {
    void show(const Rect& frame) override
    {
        frames.push_back(frame);
        shown = true;
    }
    void orderOut() override { shown = false; }
    bool isShown() const override { return shown; }

    std::vector<Rect> frames;   // every show, in order
    bool shown = false;
};

struct SwitcherWorld : SimWorld {
    static constexpr std::uint16_t tabKey = 48;
    static constexpr std::uint16_t escapeKey = 53;
    static constexpr std::uint16_t returnKey = 36;
    static constexpr std::uint16_t deleteKey = 51;
    static constexpr std::uint64_t option = EventFlag::option;
    static constexpr std::uint64_t shift = EventFlag::shift;

    SwitcherWorld() : trigger(sim.eventTap(), scheduler, [] { return true; })
    {
        controller = std::make_unique<SwitcherController>(desktop, [this](SwitcherModel&, SwitcherOpen open) {
            ++panelsMade;
            click = std::move(open);
            auto made = std::make_unique<RecordingPanel>();
            panel = made.get();
            return made;
        });
        controller->log = [this](std::string_view line) { logged.emplace_back(line); };
        controller->switchWorkflow = [this](int slot) { workflows.push_back(slot); };
        trigger.onKey = [this](TapEventType type, const TapEvent& event) {
            return controller ? controller->handle(type, event) : false;
        };
        trigger.start();
        controller->updateClaim();
    }

    // Three applications, one window each, `first` in front.
    void threeWindows()
    {
        safari = app("com.apple.Safari", "Safari");
        terminal = app("com.apple.Terminal", "Terminal");
        mail = app("com.apple.mail", "Mail");
        third = window(mail, "Inbox", Rect(300, 200, 500, 400));
        second = window(terminal, "ssh build", Rect(200, 150, 600, 400));
        first = window(safari, "Kavelo docs", Rect(100, 100, 700, 500));
    }

    // The user's hands.
    void optionDown() { sim.changeFlags(option); }
    void optionUp() { sim.changeFlags(0); }
    bool tab(std::uint64_t flags = option, bool repeat = false) { return sim.pressKey(tabKey, flags, repeat); }
    bool tabUp(std::uint64_t flags = option) { return sim.releaseKey(tabKey, flags); }
    bool press(std::uint16_t key, std::uint64_t flags = option) { return sim.pressKey(key, flags); }
    // Option down, Tab down and up: a session starts.
    void optionTab()
    {
        optionDown();
        tab();
        tabUp();
    }
    // Runs what is queued now, without moving time.
    void run() { scheduler.runPending(); }
    void wait(double seconds) { scheduler.advance(seconds); }
    // Runs the queue until `done` holds, for work that comes from other
    // threads (window pictures); false after a long while.
    bool pumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            scheduler.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // The front ordinary window in the desktop's stacking.
    std::optional<WindowID> frontWindow()
    {
        for (WindowID id : sim.stacking()) {
            const auto w = sim.window(id);
            if (w && w->layer == 0 && w->pid != sim.workspace().ownPid())
                return id;
        }
        return std::nullopt;
    }
    int raises(WindowID id) const { return sim.counters(id).raises; }
    bool panelShown() const { return panel && panel->shown; }

    MouseButtonTrigger trigger;
    std::unique_ptr<SwitcherController> controller;
    RecordingPanel* panel = nullptr;
    int panelsMade = 0;
    SwitcherOpen click;
    std::vector<std::string> logged;
    std::vector<int> workflows;

    std::int32_t safari = 0, terminal = 0, mail = 0;
    WindowID first = 0, second = 0, third = 0;
};

class SwitcherControllerTest : public ::testing::Test, public SwitcherWorld {};

} // namespace kavelo::testing
