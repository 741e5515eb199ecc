// The real engine on the simulated desktop with the real tab bars and edge
// zones, offscreen: clicks on the panels reach the engine and move windows.

#include "app/engine/arrange_engine.h"
#include "app/engine/panels/edge_zones_panel.h"
#include "app/engine/panels/qt_engine_panels.h"
#include "app/engine/panels/tab_bars_panel.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"

#include "engine/engine_fakes.h"
#include "engine/engine_probe.h"
#include "services/desktop_fixture.h"
#include "support/ui_app.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

// The shell's factory for the tab bars and edge zones, kept at hand;
// recording stand-ins for the rest.
class EdgePanels : public EnginePanels {
public:
    EdgePanels(const Desktop& desktop, PanelHost& host) : qt_(desktop, host) {}
    std::unique_ptr<TabBars> makeTabBars() override
    {
        auto out = qt_.makeTabBars();
        tabBars = dynamic_cast<TabBarsPanel*>(out.get());
        return out;
    }
    std::unique_ptr<EdgeZones> makeEdgeZones() override
    {
        auto out = qt_.makeEdgeZones();
        edgeZones = dynamic_cast<EdgeZonesPanel*>(out.get());
        return out;
    }
    std::unique_ptr<IndicatorPanel> makeIndicatorPanel() override { return std::make_unique<RecordingIndicatorPanel>(); }
    std::unique_ptr<Highlight> makeHighlight(WorkingApp&) override { return std::make_unique<RecordingHighlight>(); }

    TabBarsPanel* tabBars = nullptr;
    EdgeZonesPanel* edgeZones = nullptr;

private:
    QtEnginePanels qt_;
};

class EngineEdgesPanels : public ::testing::Test, public SimWorld {
protected:
    EngineEdgesPanels()
    {
        sim.setReducedMotion(true);
        notes = app("com.example.Notes", "Notes");
        for (int i = 0; i < 4; ++i)
            ids.push_back(window(notes, "Note " + std::to_string(i), Rect(100, 100, 500, 400)));
        sim.focusWindow(ids.back());
        prefs.setArrangeMode(ArrangeMode::strip);
        engine = std::make_unique<ArrangeEngine>(desktop, working, toast, panels);
        engine->start();
    }
    ~EngineEdgesPanels() override
    {
        engine.reset();
        scheduler.runPending();
    }

    bool settle()
    {
        for (int i = 0; i < 20; ++i) {
            const std::string before = engine->lastSignature;
            scheduler.advance(ArrangeEngine::pollInterval);
            if (engine->lastSignature == before)
                return true;
        }
        return false;
    }

    std::string key() const { return engine->visibleKeys().front(); }

    // The front window among other applications' (this program's panels
    // stand above them).
    WindowID frontWindow() const
    {
        for (WindowID id : sim.stacking())
            if (sim.window(id)->layer == 0)
                return id;
        return 0;
    }

    PanelHost host{desktop.platform};
    EdgePanels panels{desktop, host};
    WorkingApp working{sim.workspace()};
    RecordingToast toast;
    std::unique_ptr<ArrangeEngine> engine;
    std::int32_t notes = 0;
    std::vector<WindowID> ids;
};

TEST_F(EngineEdgesPanels, TheShellsFactoryHandsOutTheQtTabBarsAndEdgeZones)
{
    ASSERT_NE(panels.tabBars, nullptr);
    ASSERT_NE(panels.edgeZones, nullptr);
    // Each call makes a fresh one, on the host it was given.
    QtEnginePanels factory{desktop, host};
    auto zones = factory.makeEdgeZones();
    ASSERT_NE(dynamic_cast<EdgeZonesPanel*>(zones.get()), nullptr);
    EXPECT_NE(zones.get(), static_cast<EdgeZones*>(panels.edgeZones));
    zones->show({EdgeZones::Zone{.key = key(), .onLeft = false, .frame = Rect(1509, 35, 3, 855), .count = 12}},
                [](const EdgeZones::Zone&) {});
    const auto targets = static_cast<EdgeZonesPanel&>(*zones).panels();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_TRUE(targets[1]->isVisible());
    EXPECT_EQ(targets[1]->badge()->count(), 12);
    auto bars = factory.makeTabBars();
    ASSERT_NE(dynamic_cast<TabBarsPanel*>(bars.get()), nullptr);
    EXPECT_NE(bars.get(), static_cast<TabBars*>(panels.tabBars));
}

TEST_F(EngineEdgesPanels, ClickingABadgeOrAStripBringsTheParkedColumnIn)
{
    ASSERT_TRUE(settle());
    // The newest focused: the two oldest wait past the left edge.
    auto targets = panels.edgeZones->panels();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[1]->badge()->count(), 2);
    EXPECT_TRUE(targets[1]->badge()->onLeft());
    // With the room of its shadow round it.
    const double m = EdgeBadge::shadowMargin();
    EXPECT_EQ(targets[1]->frame(), Rect(0, 35 + 855 / 2.0 - 23 - m, 26 + m, 46 + 2 * m));

    QTest::mouseClick(targets[1], Qt::LeftButton, {}, QPoint(13, int(23 + m)));
    EXPECT_EQ(engine->strips().at(key()).focused, ids[1]);
    const Rect area = *WindowActions::area(desktop, desktop.platform.displays.screens().front());
    EXPECT_EQ(frameOf(ids[1]).minX(), area.minX());
    EXPECT_EQ(frontWindow(), ids[1]);
    targets = panels.edgeZones->panels();
    ASSERT_EQ(targets.size(), 4u);
    // Listed by the window server, never by the catalog.
    for (const auto& entry : WindowCatalog::read(desktop).windows)
        EXPECT_NE(entry.pid, sim.workspace().ownPid()) << entry.title;
    EXPECT_EQ(targets[2]->badge()->count(), 1);
    EXPECT_EQ(targets[3]->badge()->count(), 1);

    // The right strip, away from its badge.
    QTest::mouseClick(targets[1], Qt::LeftButton, {}, QPoint(1, 5));
    EXPECT_EQ(engine->strips().at(key()).focused, ids[3]);
    scheduler.runPending();
    ASSERT_EQ(panels.edgeZones->panels().size(), 2u);
    EXPECT_EQ(panels.edgeZones->zones().at(0).count, 2);
}

TEST_F(EngineEdgesPanels, ClickingATabShowsItsWindow)
{
    ASSERT_TRUE(settle());
    Strip& strip = EngineProbe::strips(*engine)[key()];
    strip.columns = {Strip::Column{.ids = {ids[0], ids[1], ids[2], ids[3]}, .width = 0.5, .tabbed = true,
                                   .active = ids[0]}};
    strip.focused = ids[0];
    EngineProbe::applyStrips(*engine);
    ASSERT_EQ(panels.tabBars->panels().size(), 1u);
    TabBarWindow& bar = *panels.tabBars->panels()[0];
    EXPECT_TRUE(bar.isVisible());
    EXPECT_EQ(bar.frame(), Rect(10, 35, 705, 30));
    EXPECT_EQ(bar.row().label(ids[2]), "Note 2");
    EXPECT_TRUE(panels.edgeZones->panels().empty());

    QTest::mouseClick(&bar.row(), Qt::LeftButton, {}, bar.row().tabRects()[2].center().toPoint());
    EXPECT_EQ(engine->strips().at(key()).columns[0].active, ids[2]);
    EXPECT_EQ(frontWindow(), ids[2]);
    EXPECT_EQ(panels.tabBars->panels().at(0)->row().bar().bar.active, ids[2]);

    // The settings window of this program in front: the bar steps aside.
    ASSERT_TRUE(sim.workspace().activate(sim.workspace().ownPid()));
    EXPECT_FALSE(panels.tabBars->panels().at(0)->isVisible());
    sim.focusWindow(ids[2]);
    EXPECT_TRUE(panels.tabBars->panels().at(0)->isVisible());
}

} // namespace
