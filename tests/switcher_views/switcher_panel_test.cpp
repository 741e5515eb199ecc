#include "switcher_views/switcher_views_fixture.h"

#include "app/switcher/switcher_placement.h"

#include <gtest/gtest.h>

using namespace kavelo;
using kavelo::testing::SwitcherViewsTest;

namespace {

// The frame the controller asks for, as the placement computes it.
Rect expectedFrame(SimDesktop& sim, const SwitcherModel& model)
{
    const bool searching = !model.session().query.empty();
    return *SwitcherPlacement::frame(sim.displays().screens(), sim.mouse().location(), model.session().windows.size(),
                                     searching, searching ? SwitcherMap() : model.map());
}

} // namespace

TEST_F(SwitcherViewsTest, SwitcherPanelIsMadeOnceAndFollowsEveryKey)
{
    const auto a = app("com.apple.Safari", "Safari");
    window(a, "Kavelo docs", Rect(0, 25, 700, 500));
    window(a, "Release notes", Rect(400, 200, 700, 500));
    SwitcherFreePanel& first = openPanel();
    ASSERT_TRUE(first.isShown());
    EXPECT_EQ(first.contentFrame(), expectedFrame(sim, controller->model()));
    EXPECT_EQ(view().size(), pixelRect(*first.contentFrame()).size());
    EXPECT_EQ(view().content(), SwitcherView::Content::map);

    // Typing turns the map into a row of cards: 3 × 196 + 40 wide, 268 high.
    type(15); // r
    EXPECT_EQ(first.contentFrame(), Rect(720 - 314, 450 - 134, 628, 268));
    EXPECT_EQ(view().content(), SwitcherView::Content::results);
    EXPECT_EQ(view().size(), QSize(628, 268));
    type(51); // backspace
    EXPECT_EQ(first.contentFrame(), expectedFrame(sim, controller->model()));
    EXPECT_EQ(view().content(), SwitcherView::Content::map);

    optionUp();
    EXPECT_FALSE(first.isShown());
    SwitcherFreePanel& again = openPanel();
    EXPECT_EQ(&again, &first);
}

TEST_F(SwitcherViewsTest, SwitcherPanelFloatsWithoutTakingFocusAndIsListed)
{
    const auto a = app("com.apple.Safari", "Safari");
    window(a, "One", Rect(0, 25, 700, 500));
    SwitcherFreePanel& shown = openPanel();
    FreePanel& panel = shown.panel();
    EXPECT_EQ(panel.level(), PanelLevel::overlay);
    EXPECT_FALSE(panel.clickThrough());
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(panel.focusPolicy(), Qt::NoFocus);
    // The window list holds it with this program's pid at the panel level.
    const auto number = panel.windowNumber();
    ASSERT_TRUE(number);
    const auto listed = sim.window(*number);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->layer, PanelLevel::overlay);
    EXPECT_EQ(listed->pid, sim.workspace().ownPid());
    // With blending the panel is the view plus room for its shadow.
    const int m = SwitcherFreePanel::shadowMargin();
    EXPECT_EQ(panel.geometry(), pixelRect(*shown.contentFrame()).adjusted(-m, -m, m, m));
    EXPECT_EQ(view().geometry().topLeft(), QPoint(m, m));
}

TEST_F(SwitcherViewsTest, SwitcherPanelWithoutBlendingIsOpaqueAndCutToShape)
{
    sim.setBlendsPanels(false);
    const auto a = app("com.apple.Safari", "Safari");
    window(a, "One", Rect(0, 25, 700, 500));
    SwitcherFreePanel& shown = openPanel();
    EXPECT_EQ(shown.panel().geometry(), pixelRect(*shown.contentFrame()));
    EXPECT_TRUE(view().opaque());
    EXPECT_FALSE(shown.panel().mask().isEmpty());
    // The rounded corner is cut away, the middle kept.
    EXPECT_FALSE(shown.panel().mask().contains(QPoint(1, 1)));
    EXPECT_TRUE(shown.panel().mask().contains(QPoint(40, 40)));
    const QImage image = picture();
    EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, 4)), 255);
}

TEST_F(SwitcherViewsTest, SwitcherPanelGoesToTheDisplayUnderThePointer)
{
    const auto a = app("com.apple.Safari", "Safari");
    window(a, "One", Rect(0, 25, 700, 500));
    window(a, "Two", Rect(100, 125, 700, 500));
    sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
    sim.movePointer(Point(2000, 300));
    SwitcherFreePanel& shown = openPanel();
    // Centred to the pixel.
    EXPECT_NEAR(shown.contentFrame()->midX(), 1440 + 960, 0.5);
    EXPECT_NEAR(shown.contentFrame()->midY(), 900 - 540, 0.5);
}
