#include "app/platform/manual_scheduler.h"
#include "app/ui/active_border.h"
#include "app/ui/capture.h"
#include "app/ui/theme.h"

#include "services/desktop_fixture.h"
#include "support/ui_app.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace kavelo;
using Style = HighlightSettings::Style;

namespace {

struct ActiveBorderTest : ::testing::Test {
    ManualScheduler scheduler;
    PanelHost host{nullptr, scheduler, scheduler.clock()};
    std::optional<Rect> focused = Rect(100, 80, 800, 600);
    HighlightSettings settings{Style::border, Theme::lit()};
    int frameReads = 0;
    int trackingStarts = 0;
    ActiveBorder border{host,
                        [this] {
                            ++frameReads;
                            return focused;
                        },
                        [this] { return settings; }, [this] { ++trackingStarts; }};

    void tick() { scheduler.advance(ActiveBorder::tick); }
    bool shown() { return border.panel().isVisible(); }
};

} // namespace

TEST_F(ActiveBorderTest, FollowsTheActiveFrameTwelvePointsOutside)
{
    border.start();
    border.start();
    EXPECT_EQ(trackingStarts, 1);
    EXPECT_FALSE(border.shape());
    tick();
    ASSERT_TRUE(shown());
    EXPECT_EQ(border.panel().frame(), Rect(88, 68, 824, 624));
    EXPECT_EQ(border.panel().geometry(), QRect(88, 68, 824, 624));
    EXPECT_EQ(border.outline()->geometry(), QRect(0, 0, 824, 624));

    focused = Rect(-50.4, 300, 640.6, 480);   // partly off screen: kept as is
    tick();
    EXPECT_EQ(border.panel().frame(), Rect(-62.4, 288, 664.6, 504));
    EXPECT_EQ(border.panel().geometry(), QRect(-62, 288, 664, 504));

    // Ticks keep coming every 1/30 s.
    const int before = frameReads;
    scheduler.advance(1.0);
    EXPECT_EQ(frameReads - before, 30);
}

TEST_F(ActiveBorderTest, DisappearsWhenThereIsNoFrameAndComesBack)
{
    border.start();
    tick();
    ASSERT_TRUE(shown());
    focused.reset();   // minimized, full screen, too narrow, other desktop...
    tick();
    EXPECT_FALSE(shown());
    EXPECT_FALSE(border.shape());
    focused = Rect(0, 0, 41, 41);
    tick();
    EXPECT_TRUE(shown());
    EXPECT_EQ(border.panel().frame(), Rect(-12, -12, 65, 65));
}

TEST_F(ActiveBorderTest, StyleNoneShowsNothingAndReadsNothing)
{
    settings.style = Style::none;
    border.start();
    scheduler.advance(0.5);
    EXPECT_EQ(frameReads, 0);
    EXPECT_FALSE(shown());

    settings.style = Style::glow;
    tick();
    EXPECT_TRUE(shown());
    settings.style = Style::none;
    tick();
    EXPECT_FALSE(shown());
    EXPECT_FALSE(border.shape());
}

TEST_F(ActiveBorderTest, RestylesOnlyWhenStyleOrColourChange)
{
    border.start();
    tick();
    Outline* first = border.outline();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->glows());
    tick();
    EXPECT_EQ(border.outline(), first) << "nothing changed, nothing rebuilt";

    settings.color = QColor(Qt::red);
    tick();
    ASSERT_NE(border.outline(), nullptr);
    EXPECT_EQ(border.outline()->color(), QColor(Qt::red));
    EXPECT_EQ(border.shape(), (ActiveBorder::Shape{Style::border, QColor(Qt::red)}));

    settings.style = Style::glow;
    tick();
    EXPECT_TRUE(border.outline()->glows());
    EXPECT_EQ(border.outline()->geometry(), border.panel().rect());
}

TEST_F(ActiveBorderTest, ThePanelLetsClicksThroughAtTheHelperLevel)
{
    border.start();
    tick();
    const FreePanel& panel = border.panel();
    EXPECT_EQ(panel.level(), PanelLevel::helper);
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
}

TEST_F(ActiveBorderTest, BorderAndGlowDrawWhereTheyShould)
{
    // A 200 × 120 window; the panel is 224 × 144.
    focused = Rect(0, 0, 200, 120);
    border.start();
    tick();
    const QImage solid = Capture::render(*border.outline());
    ASSERT_EQ(solid.size(), QSize(224, 144));
    const auto alpha = [](const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)); };
    // The border covers the 3 points just outside the window's left edge
    // (x 9 to 12 in the panel) at mid height, and nothing further out.
    EXPECT_GT(alpha(solid, 10, 72), 200);
    EXPECT_EQ(alpha(solid, 5, 72), 0);
    EXPECT_EQ(alpha(solid, 40, 72), 0);

    settings.style = Style::glow;
    tick();
    const QImage glow = Capture::render(*border.outline());
    // The glow spreads past the line on both sides.
    EXPECT_GT(alpha(glow, 10, 72), 200);
    EXPECT_GT(alpha(glow, 5, 72), 10);
    EXPECT_GT(alpha(glow, 15, 72), 10);
    EXPECT_TRUE(glow.save(QString::fromStdString(kavelo::testing::pictureFolder() + "highlight-glow.png")));
}

TEST(ActiveBorderKeyWindow, OnlyATitledKeyWindowOfThisProgramCounts)
{
    ManualScheduler scheduler;
    const PanelHost host(nullptr, scheduler, scheduler.clock());
    EXPECT_FALSE(ActiveBorder::ownTitledKeyWindow(host));
    QWidget settingsWindow;
    settingsWindow.setGeometry(200, 150, 640, 480);
    settingsWindow.show();
    QApplication::setActiveWindow(&settingsWindow);
    const auto frame = ActiveBorder::ownTitledKeyWindow(host);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width(), settingsWindow.frameGeometry().width());
    EXPECT_EQ(frame->origin.x, settingsWindow.frameGeometry().x());

    QWidget popover(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    popover.setGeometry(10, 10, 300, 200);
    popover.show();
    QApplication::setActiveWindow(&popover);
    EXPECT_FALSE(ActiveBorder::ownTitledKeyWindow(host));
    popover.hide();
    settingsWindow.hide();
}

namespace {

class WiredActiveBorderTest : public ::testing::Test, public kavelo::testing::SimWorld {};

} // namespace

TEST_F(WiredActiveBorderTest, FollowsTheWorkingAppsWindowInTheChosenStyleAndColour)
{
    const auto a = app("com.example.a", "A");
    const WindowID w = window(a, "w", {100, 100, 500, 400});
    sim.focusWindow(w);
    WorkingApp working(sim.workspace());
    PanelHost host(desktop.platform);
    ActiveBorder border(desktop, working, host);
    border.start();
    EXPECT_TRUE(working.isStarted());

    scheduler.advance(ActiveBorder::tick);
    EXPECT_FALSE(border.panel().isVisible()); // the highlight is off by default

    prefs.setHighlight(WindowHighlight::glow);
    prefs.setHighlightColor(Color{1, 0, 0, 1});
    scheduler.advance(ActiveBorder::tick);
    ASSERT_TRUE(border.panel().isVisible());
    EXPECT_EQ(border.shape(), (ActiveBorder::Shape{WindowHighlight::glow, QColor::fromRgbF(1, 0, 0, 1)}));
    EXPECT_EQ(border.panel().frame(), Rect(88, 88, 524, 424));

    sim.modifyWindow(w, [](SimWindow& x) { x.frame = Rect(300, 200, 400, 300); });
    scheduler.advance(ActiveBorder::tick);
    EXPECT_EQ(border.panel().frame(), Rect(288, 188, 424, 324));

    sim.modifyWindow(w, [](SimWindow& x) { x.fullScreen = true; });
    scheduler.advance(ActiveBorder::tick);
    EXPECT_FALSE(border.panel().isVisible());
}
