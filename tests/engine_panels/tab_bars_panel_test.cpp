// The tab bars as Qt panels, offscreen on the simulated desktop: one panel
// per bar over its frame, tabs sharing the width, clicks, stepping aside
// while this program is active, and the opaque look without blending.

#include "app/engine/panels/tab_bars_panel.h"
#include "app/ui/capture.h"
#include "app/ui/theme.h"

#include "services/desktop_fixture.h"
#include "support/ui_app.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class EngineTabBars : public ::testing::Test, public SimWorld {
protected:
    EngineTabBars()
    {
        notes = app("com.example.Notes", "Notes");
        sim.focusWindow(window(notes, "Notes", Rect(100, 100, 600, 400)));
        bars = std::make_unique<TabBarsPanel>(host, sim.workspace());
    }
    ~EngineTabBars() override { bars.reset(); }

    static TabBars::Bar bar(Rect frame, std::vector<WindowID> ids, WindowID active,
                            std::map<WindowID, std::string> titles = {})
    {
        return TabBars::Bar{.bar = TabBar{.frame = frame, .ids = std::move(ids), .active = active},
                            .titles = std::move(titles)};
    }

    TabBars::Select recorder()
    {
        return [this](WindowID id) { selected.push_back(id); };
    }

    // This program's panels the window server lists on screen now.
    std::vector<Rect> listed()
    {
        std::vector<Rect> out;
        const auto list = *desktop.platform.windowServer.windowList(WindowListOption::onScreenOnly);
        for (const auto& w : list)
            if (w.ownerPid == sim.workspace().ownPid() && w.layer == PanelLevel::helper)
                out.push_back(w.bounds);
        return out;
    }

    std::vector<TabBarWindow*> visible() const
    {
        std::vector<TabBarWindow*> out;
        for (const auto& panel : bars->panels())
            if (panel->isVisible())
                out.push_back(panel.get());
        return out;
    }

    static QPoint centre(const QRectF& r) { return r.center().toPoint(); }

    PanelHost host{desktop.platform};
    std::unique_ptr<TabBarsPanel> bars;
    std::int32_t notes = 0;
    std::vector<WindowID> selected;
};

TEST_F(EngineTabBars, EachShowReplacesEveryBarAndAnEmptyListRemovesThem)
{
    bars->show({bar(Rect(10, 35, 705, 30), {1, 2}, 1), bar(Rect(725, 35, 705, 30), {3, 4, 5}, 5)}, recorder());
    ASSERT_EQ(visible().size(), 2u);
    EXPECT_EQ(visible()[0]->frame(), Rect(10, 35, 705, 30));
    EXPECT_EQ(visible()[0]->geometry(), QRect(10, 35, 705, 30));
    EXPECT_EQ(visible()[1]->row().bar().bar.ids, (std::vector<WindowID>{3, 4, 5}));
    EXPECT_EQ(visible()[1]->level(), PanelLevel::helper);
    EXPECT_EQ(listed(), (std::vector<Rect>{Rect(725, 35, 705, 30), Rect(10, 35, 705, 30)}));

    bars->show({bar(Rect(0, 100, 400, 30), {6, 7}, 7)}, recorder());
    ASSERT_EQ(visible().size(), 1u);
    EXPECT_EQ(visible()[0]->frame(), Rect(0, 100, 400, 30));
    EXPECT_EQ(listed(), std::vector<Rect>{Rect(0, 100, 400, 30)});

    bars->show({}, recorder());
    EXPECT_TRUE(bars->panels().empty());
    EXPECT_TRUE(listed().empty());
    scheduler.runPending();
}

TEST_F(EngineTabBars, BarsStepAsideWhileThisProgramIsActive)
{
    const std::int32_t own = sim.workspace().ownPid();
    ASSERT_TRUE(sim.workspace().activate(own));
    bars->show({bar(Rect(10, 35, 705, 30), {1, 2}, 1)}, recorder());
    ASSERT_EQ(bars->panels().size(), 1u);
    EXPECT_TRUE(visible().empty());
    EXPECT_TRUE(listed().empty());

    ASSERT_TRUE(sim.workspace().activate(notes));
    EXPECT_EQ(visible().size(), 1u);
    EXPECT_EQ(listed().size(), 1u);

    // Kept while aside, back with the next other application.
    ASSERT_TRUE(sim.workspace().activate(own));
    EXPECT_TRUE(visible().empty());
    EXPECT_EQ(bars->panels().size(), 1u);
    const auto mail = app("com.example.Mail", "Mail");
    sim.focusWindow(window(mail, "Mail", Rect(0, 0, 300, 300)));
    EXPECT_EQ(visible().size(), 1u);

    // Made while this program is in front, a new tab bars object starts aside.
    ASSERT_TRUE(sim.workspace().activate(own));
    TabBarsPanel late(host, sim.workspace());
    late.show({bar(Rect(10, 35, 705, 30), {1, 2}, 1)}, recorder());
    EXPECT_FALSE(late.panels().at(0)->isVisible());
}

TEST_F(EngineTabBars, TabsShareTheWidthEquallyAndNeverGoNegative)
{
    bars->show({bar(Rect(0, 0, 600, 30), {1, 2, 3}, 2, {{1, "One"}, {2, "Two"}})}, recorder());
    const TabRow& row = bars->panels().at(0)->row();
    const auto rects = row.tabRects();
    ASSERT_EQ(rects.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rects[i].width(), 196) << i;
        EXPECT_EQ(rects[i].height(), 24) << i;
        EXPECT_EQ(rects[i].left(), 3 + 199.0 * double(i)) << i;
    }
    EXPECT_EQ(row.label(1), "One");
    EXPECT_EQ(row.label(3), "Window");

    for (const auto& r : TabRow::tabRects(QSizeF(5, 30), 2)) {
        EXPECT_EQ(r.width(), 0);
        EXPECT_GE(r.left(), 0);
    }
    EXPECT_EQ(TabRow::tabRects(QSizeF(4, 4), 1).at(0).height(), 0);
    EXPECT_TRUE(TabRow::tabRects(QSizeF(600, 30), 0).empty());
}

TEST_F(EngineTabBars, AClickOnATabSelectsItsWindow)
{
    bars->show({bar(Rect(0, 0, 600, 30), {1, 2, 3}, 1)}, recorder());
    TabRow& row = bars->panels().at(0)->row();
    const auto rects = row.tabRects();
    QTest::mouseClick(&row, Qt::LeftButton, {}, centre(rects[2]));
    QTest::mouseClick(&row, Qt::LeftButton, {}, centre(rects[0]));
    EXPECT_EQ(selected, (std::vector<WindowID>{3, 1}));

    // Pressed on one tab and let go on another, between two tabs, or with
    // another button: no click.
    QTest::mousePress(&row, Qt::LeftButton, {}, centre(rects[0]));
    QTest::mouseRelease(&row, Qt::LeftButton, {}, centre(rects[1]));
    QTest::mouseClick(&row, Qt::LeftButton, {}, QPoint(int(rects[1].right()) + 1, 15));
    QTest::mouseClick(&row, Qt::RightButton, {}, centre(rects[1]));
    EXPECT_EQ(selected.size(), 2u);
}

// The engine answers a click with new bars; the clicked panel may go while
// its click is being handled.
TEST_F(EngineTabBars, AClickThatRemovesItsOwnBarIsSafe)
{
    bars->show({bar(Rect(0, 0, 600, 30), {1, 2}, 1), bar(Rect(0, 100, 600, 30), {3, 4}, 3)}, recorder());
    TabRow& row = bars->panels().at(1)->row();
    const QPoint at = centre(row.tabRects()[1]);
    bars->show({bar(Rect(0, 0, 600, 30), {1, 2}, 1), bar(Rect(0, 100, 600, 30), {3, 4}, 3)},
               [this](WindowID id) {
                   selected.push_back(id);
                   bars->show({bar(Rect(0, 0, 600, 30), {1, 2}, 2)}, recorder());
               });
    QTest::mouseClick(&row, Qt::LeftButton, {}, at);
    EXPECT_EQ(selected, std::vector<WindowID>{4});
    EXPECT_EQ(visible().size(), 1u);
    EXPECT_EQ(listed().size(), 1u);
    scheduler.runPending();
    EXPECT_EQ(bars->panels().size(), 1u);
}

TEST_F(EngineTabBars, TheShownTabIsLitAndTheRowRounded)
{
    bars->show({bar(Rect(0, 0, 300, 30), {1, 2}, 2, {{1, "Inbox"}, {2, "Drafts"}})}, recorder());
    TabBarWindow& panel = *bars->panels().at(0);
    EXPECT_TRUE(panel.mask().isEmpty());
    const QImage picture = Capture::render(panel);
    const auto rects = panel.row().tabRects();
    // The lit tab's fill beside its label, the other tab on night.
    const QColor lit = picture.pixelColor(int(rects[1].left()) + 4, 15);
    EXPECT_EQ(lit.rgb(), Theme::lit().rgb());
    const QColor dark = picture.pixelColor(int(rects[0].left()) + 4, 15);
    EXPECT_LT(dark.lightness(), 40);
    EXPECT_GT(dark.alpha(), 240);
    // The row's rounded corners let what lies below show.
    EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(picture.pixelColor(299, 29).alpha(), 0);
}

TEST_F(EngineTabBars, WithoutBlendingTheRowIsOpaqueAndItsCornersAreCut)
{
    sim.setBlendsPanels(false);
    bars->show({bar(Rect(0, 0, 300, 30), {1, 2}, 1)}, recorder());
    TabBarWindow& panel = *bars->panels().at(0);
    EXPECT_TRUE(panel.row().isOpaque());
    EXPECT_FALSE(panel.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(panel.mask().contains(QPoint(299, 29)));
    EXPECT_TRUE(panel.mask().contains(QPoint(150, 15)));
    EXPECT_TRUE(panel.mask().contains(QPoint(150, 1)));
    const QImage picture = Capture::render(panel);
    EXPECT_EQ(picture.pixelColor(200, 2).alpha(), 255);
    EXPECT_EQ(picture.pixelColor(2, 15).alpha(), 255);

    // Blending again: the mask goes with the next show.
    sim.setBlendsPanels(true);
    bars->show({bar(Rect(0, 0, 300, 30), {1, 2}, 1)}, recorder());
    EXPECT_TRUE(panel.mask().isEmpty());
    EXPECT_FALSE(panel.row().isOpaque());
}

// Pictures to look at: two and three tabs, one without a title, one title
// too long for its share.
TEST_F(EngineTabBars, Pictures)
{
    bars->show({bar(Rect(0, 0, 705, 30), {1, 2}, 1, {{1, "Terminal — ssh build"}, {2, "Notes"}}),
                bar(Rect(0, 40, 705, 30), {3, 4, 5}, 4,
                    {{3, "Kavelo — A very long document title that cannot fit"}, {4, "Mail"}})},
               recorder());
    QImage sheet(725, 90, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(90, 120, 160));
    {
        QPainter painter(&sheet);
        for (const auto& panel : bars->panels())
            painter.drawImage(QPoint(10, int(panel->frame().minY()) + 10), Capture::render(*panel));
    }
    EXPECT_TRUE(Capture::savePng(sheet, pictureFolder() + "tab_bars.png"));
    EXPECT_EQ(bars->panels().at(1)->row().label(5), "Window");
}

} // namespace
