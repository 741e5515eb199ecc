#pragma once

// The engine in auto mode on the simulated desktop: windows that refuse to
// be narrow, a second display, the frames each layout gives an order.

#include "engine/engine_fixture.h"

#include "core/tidy.h"

#include <string>
#include <utility>
#include <vector>

namespace kavelo::testing {

class EngineAuto : public EngineTest {
protected:
    static constexpr std::uint32_t primary = 1;
    static inline const std::string primaryName = "Built-in Display";
    static inline const std::string wideApp = "com.example.Wide";
    static inline const std::pair<std::string, std::string> hintOf1{
        "1 window is waiting. Click the tab at the screen edge", "arrow.left.and.right"};

    // A window of `pid` that cannot be narrower than `minWidth`.
    WindowID wide(std::int32_t pid, std::string title, double minWidth, Rect frame = Rect(100, 100, 500, 400))
    {
        return window(pid, std::move(title), frame, [&](SimWindow& w) { w.minSize = Size(minWidth, 0); });
    }

    const std::vector<WindowID>& order(std::uint32_t display) { return engine->autoOrder().at(keyOf(display)); }
    ArrangeEngine::Waiting waiting(std::uint32_t display) { return engine->autoWaiting().at(keyOf(display)); }

    // Every window of the display's order stands in the tile `kind` gives
    // its place, with the settings' gap.
    void expectTiled(std::uint32_t display, TidyLayout kind)
    {
        const auto& ids = order(display);
        const auto tiles = Tidy::frames(kind, int(ids.size()), areaOf(display), prefs.windowGap(), 0);
        ASSERT_EQ(tiles.size(), ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i)
            EXPECT_EQ(frameOf(ids[i]), tiles[i]) << "window " << i << " of " << keyOf(display);
    }

    void expectPlan(std::uint32_t display, const GridPlan& plan)
    {
        const auto& ids = order(display);
        const auto tiles = plan.frames(int(ids.size()), areaOf(display), prefs.windowGap());
        ASSERT_EQ(tiles.size(), ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i)
            EXPECT_EQ(frameOf(ids[i]), tiles[i]) << "window " << i;
    }

    std::uint32_t addStudio()
    {
        return sim.addDisplay(SimDisplay{.name = "Studio", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
    }

    // Top-left, on the studio display of `addStudio`.
    static Rect onStudio(double dx = 0) { return Rect(1500 + dx, 150, 400, 300); }

    std::vector<std::pair<std::string, std::string>> hints() const
    {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& shown : toast.shown)
            if (shown.first.find("waiting") != std::string::npos)
                out.push_back(shown);
        return out;
    }

    // Lies within the display's usable area.
    bool inArea(WindowID id, std::uint32_t display) { return areaOf(display).contains(frameOf(id)); }
};

} // namespace kavelo::testing
