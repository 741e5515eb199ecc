#pragma once

// The real arrange engine on the simulated desktop with a hand-driven
// scheduler, recording panels and toasts, wired as the shell wires it
// (settings changes reach `settingsChanged()`).

#include "app/engine/arrange_engine.h"
#include "app/services/window_actions.h"
#include "engine/engine_fakes.h"
#include "engine/engine_probe.h"
#include "services/desktop_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace kavelo::testing {

// The simulated desktop's first display.
inline constexpr std::uint32_t primary = 1;

struct EngineWorld : SimWorld {
    EngineWorld() : working(sim.workspace()) {}
    ~EngineWorld()
    {
        prefs.onArrangeChange = nullptr;
        engine.reset();
    }

    // A started engine in `mode` (set in the settings before it is made).
    ArrangeEngine& start(ArrangeMode mode)
    {
        prefs.setArrangeMode(mode);
        engine = std::make_unique<ArrangeEngine>(desktop, working, toast, panels);
        prefs.onArrangeChange = [this] { engine->settingsChanged(); };
        engine->start();
        return *engine;
    }

    // Quits as the shell does: the strips let go, then the engine dropped.
    void quit()
    {
        engine->release();
        prefs.onArrangeChange = nullptr;
        engine.reset();
    }

    // `n` polls of the engine, with every animation step in between.
    void poll(int n = 1) { scheduler.advance(ArrangeEngine::pollInterval * n); }

    // Polls until a poll runs no pass and no animation is left; false when
    // it does not come to rest.
    bool settle(int limit = 40)
    {
        for (int i = 0; i < limit; ++i) {
            const std::string before = engine->lastSignature;
            poll();
            if (!engine->isAnimating() && engine->lastSignature == before)
                return true;
        }
        return false;
    }

    // An application with one window, which comes to the front.
    WindowID open(std::int32_t pid, std::string title, Rect frame = Rect(100, 100, 500, 400))
    {
        return window(pid, std::move(title), frame);
    }

    std::string keyOf(std::uint32_t displayID) const
    {
        const auto d = sim.display(displayID);
        return d->name + "|" + std::to_string(d->currentDesktop);
    }

    Screen screenOf(std::uint32_t displayID) const
    {
        for (const auto& s : desktop.platform.displays.screens())
            if (s.id == displayID)
                return s;
        ADD_FAILURE() << "no display " << displayID;
        return Screen();
    }

    Rect areaOf(std::uint32_t displayID) const { return *WindowActions::area(desktop, screenOf(displayID)); }

    // Every attribute read and write request of every window since the
    // counters were last reset.
    SimCounters total() const
    {
        SimCounters sum;
        for (WindowID id : sim.stacking()) {
            const auto c = sim.counters(id);
            sum.reads += c.reads;
            sum.writes += c.writes;
            sum.positionWrites += c.positionWrites;
            sum.sizeWrites += c.sizeWrites;
            sum.raises += c.raises;
        }
        return sum;
    }

    // The windows of a strip, column by column.
    std::vector<std::vector<WindowID>> columnsOf(const std::string& key) const
    {
        std::vector<std::vector<WindowID>> out;
        auto it = engine->strips().find(key);
        if (it != engine->strips().end())
            for (const auto& column : it->second.columns)
                out.push_back(column.ids);
        return out;
    }

    WorkingApp working;
    RecordingToast toast;
    FakeEnginePanels panels;
    std::unique_ptr<ArrangeEngine> engine;
};

class EngineTest : public ::testing::Test, public EngineWorld {};

} // namespace kavelo::testing
