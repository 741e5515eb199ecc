#pragma once

// What an auto application leaves behind, made by hand: each shown key's
// order laid out by the core auto layout with the settings an application
// reads, the windows put on their tiles, and the engine's record of it
// (frames, settled frames, shown and waiting windows). Drop, swap and
// grid-line tests start from it whether or not a pass laid the windows out.

#include "engine/engine_fixture.h"

#include "core/auto_layout.h"

namespace kavelo::testing {

inline void recordAutoLayout(EngineWorld& world)
{
    ArrangeEngine& engine = *world.engine;
    const Preferences& prefs = world.prefs;
    auto record = EngineProbe::autoRecord(engine);
    const auto shownNow = engine.visibleKeys();
    for (const auto& [key, order] : engine.autoOrder()) {
        if (std::find(shownNow.begin(), shownNow.end(), key) == shownNow.end())
            continue;
        const auto display = engine.screen(key);
        if (!display)
            continue;
        const auto area = WindowActions::area(world.desktop, *display);
        if (!area)
            continue;
        const auto chosen = prefs.displayLayouts().find(display->name);
        const TidyLayout kind = chosen == prefs.displayLayouts().end() ? TidyLayout::grid : chosen->second;
        std::optional<GridPlan> plan;
        if (kind == TidyLayout::custom)
            plan = prefs.gridFollowsCount() ? GridPlan::forCount(int(order.size())) : prefs.plan(display->name);
        std::map<WindowID, Size> minimums;
        for (WindowID id : order)
            if (auto bundle = engine.bundles().find(id); bundle != engine.bundles().end())
                if (auto size = prefs.minimumSizes().find(bundle->second); size != prefs.minimumSizes().end())
                    minimums[id] = size->second;
        const StripLayout layout =
            AutoLayout::layout(kind, order, prefs.maxTiles(), record.offset[key], *area, prefs.windowGap(),
                               prefs.mainShare(), minimums, plan);
        for (const auto& [id, frame] : layout.frames) {
            world.sim.modifyWindow(id, [frame = frame](SimWindow& w) { w.frame = frame; });
            record.frames[id] = frame;
            record.placed[id] = world.frameOf(id);
        }
        for (const auto& [id, frame] : layout.parked) {
            world.sim.modifyWindow(id, [frame = frame](SimWindow& w) { w.frame = frame; });
            record.frames.erase(id);
        }
        record.offset[key] = layout.start;
        record.shown[key] = layout.shown;
        record.waiting[key] = ArrangeEngine::Waiting{layout.waitingLeft, layout.waitingRight};
    }
}

} // namespace kavelo::testing
