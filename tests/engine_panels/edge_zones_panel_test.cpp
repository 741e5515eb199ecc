// The edge zones as Qt panels, offscreen on the simulated desktop: a click
// strip and a badge per zone where the zone says, clicks on either, an
// unchanged list left alone, and the badge as drawn.

#include "app/engine/panels/edge_zones_panel.h"
#include "app/ui/capture.h"
#include "app/ui/fonts.h"
#include "app/ui/theme.h"
#include "core/screen_coordinates.h"

#include "services/desktop_fixture.h"
#include "support/ui_app.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class NoDisplays : public Displays {
public:
    std::vector<Screen> screens() const override { return {}; }
    Handle onChange(std::function<void()>) override { return Handle(); }
};

class EngineEdges : public ::testing::Test, public SimWorld {
protected:
    ~EngineEdges() override { zones.reset(); }

    EdgeZones::Clicked recorder()
    {
        return [this](const EdgeZones::Zone& zone) { clicks.push_back(zone); };
    }

    // The usable height of the built-in display, bottom-left: y 10, 855 high.
    static EdgeZones::Zone zone(bool onLeft, int count, std::string key = "Built-in Display|1")
    {
        return EdgeZones::Zone{.key = std::move(key),
                               .onLeft = onLeft,
                               .frame = Rect(onLeft ? 0 : 1437, 10, 3, 855),
                               .count = count};
    }

    std::vector<WindowID> numbers() const
    {
        std::vector<WindowID> out;
        for (EdgeTarget* panel : zones->panels())
            out.push_back(panel->windowNumber().value_or(0));
        return out;
    }

    PanelHost host{desktop.platform};
    std::unique_ptr<EdgeZonesPanel> zones = std::make_unique<EdgeZonesPanel>(host, desktop.platform.displays);
    std::vector<EdgeZones::Zone> clicks;
};

TEST_F(EngineEdges, EveryZoneGetsAClickStripAndABadgeOnItsEdge)
{
    zones->show({zone(true, 2), zone(false, 1)}, recorder());
    const auto panels = zones->panels();
    ASSERT_EQ(panels.size(), 4u);
    EXPECT_EQ(panels[0]->kind(), EdgeTarget::Kind::strip);
    EXPECT_EQ(panels[2]->kind(), EdgeTarget::Kind::badge);
    // Top-left frames of the bottom-left zones: the strips over the usable
    // height, the badges in their middle against the edge.
    EXPECT_EQ(panels[0]->frame(), Rect(0, 35, 3, 855));
    EXPECT_EQ(panels[1]->frame(), Rect(1437, 35, 3, 855));
    // The badges with the room of their shadows, not on the edge side.
    const double m = EdgeBadge::shadowMargin();
    EXPECT_EQ(panels[2]->frame(), Rect(0, 439.5 - m, 26 + m, 46 + 2 * m));
    EXPECT_EQ(panels[3]->frame(), Rect(1414 - m, 439.5 - m, 26 + m, 46 + 2 * m));
    EXPECT_EQ(EdgeZonesPanel::badgeFrame(zone(false, 1)), Rect(1414, 414.5, 26, 46));
    for (EdgeTarget* panel : panels) {
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->level(), PanelLevel::helper);
        EXPECT_FALSE(panel->clickThrough());
        EXPECT_EQ(panel->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(panels[2]->badge()->count(), 2);
    EXPECT_EQ(panels[2]->badge()->symbol(), "chevron.left");
    EXPECT_EQ(panels[3]->badge()->symbol(), "chevron.right");

    // The badges stand over the strips in the window list.
    const auto list = *desktop.platform.windowServer.windowList(WindowListOption::onScreenOnly);
    std::vector<WindowID> order;
    for (const auto& w : list)
        if (w.ownerPid == sim.workspace().ownPid())
            order.push_back(w.number);
    const auto made = numbers();
    EXPECT_EQ(order, (std::vector<WindowID>{made[3], made[2], made[1], made[0]}));

    // A click on a strip or a badge reports its zone.
    QTest::mouseClick(panels[1], Qt::LeftButton, {}, QPoint(1, 400));
    QTest::mouseClick(panels[2], Qt::LeftButton, {}, QPoint(20, 40));
    QTest::mouseClick(panels[2], Qt::RightButton, {}, QPoint(20, 40));
    EXPECT_EQ(clicks, (std::vector<EdgeZones::Zone>{zone(false, 1), zone(true, 2)}));
}

TEST_F(EngineEdges, AnUnchangedListLeavesThePanelsAndTheirCallbackAlone)
{
    zones->show({zone(true, 2)}, recorder());
    const auto panels = zones->panels();
    const auto made = numbers();
    zones->show({zone(true, 2)}, [](const EdgeZones::Zone&) { FAIL() << "the old callback stays"; });
    EXPECT_EQ(zones->panels(), panels);
    EXPECT_EQ(numbers(), made);
    QTest::mouseClick(panels[0], Qt::LeftButton, {}, QPoint(1, 10));
    EXPECT_EQ(clicks.size(), 1u);

    // A new count redraws the badge; an empty list removes everything.
    zones->show({zone(true, 3)}, recorder());
    EXPECT_EQ(zones->panels().at(1)->badge()->count(), 3);
    zones->show({}, recorder());
    EXPECT_TRUE(zones->panels().empty());
    const auto list = *desktop.platform.windowServer.windowList(WindowListOption::onScreenOnly);
    for (const auto& w : list)
        EXPECT_NE(w.ownerPid, sim.workspace().ownPid());
    scheduler.runPending();
}

TEST_F(EngineEdges, WithoutDisplaysZonesAreFlippedAgainstZero)
{
    NoDisplays none;
    EdgeZonesPanel alone(host, none);
    alone.show({zone(false, 1)}, recorder());
    EXPECT_EQ(alone.panels().at(0)->frame(), ScreenCoordinates::flip(zone(false, 1).frame, 0));
    EXPECT_EQ(alone.panels().at(0)->frame(), Rect(1437, -865, 3, 855));
}

// The engine answers a click with new zones: the clicked panel may go while
// its click is being handled.
TEST_F(EngineEdges, AClickThatRemovesItsOwnZoneIsSafe)
{
    zones->show({zone(true, 1), zone(false, 1)}, [this](const EdgeZones::Zone& clicked) {
        clicks.push_back(clicked);
        zones->show({}, recorder());
    });
    EdgeTarget* badge = zones->panels().at(3);
    QTest::mouseClick(badge, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, std::vector<EdgeZones::Zone>{zone(false, 1)});
    EXPECT_TRUE(zones->panels().empty());
    EXPECT_FALSE(badge->isVisible());
    scheduler.runPending();
}

TEST_F(EngineEdges, WithoutBlendingTheStripIsANightLineAndTheBadgeIsCut)
{
    sim.setBlendsPanels(false);
    zones->show({zone(false, 4)}, recorder());
    EdgeTarget& strip = *zones->panels().at(0);
    EdgeTarget& badge = *zones->panels().at(1);
    const QImage line = Capture::render(strip);
    EXPECT_EQ(line.pixelColor(1, 100).rgba(), Theme::night().rgba());
    // Square against the right edge, rounded inwards.
    EXPECT_TRUE(badge.mask().contains(QPoint(25, 0)));
    EXPECT_TRUE(badge.mask().contains(QPoint(25, 45)));
    EXPECT_FALSE(badge.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(badge.mask().contains(QPoint(0, 45)));
    EXPECT_TRUE(badge.mask().contains(QPoint(13, 23)));
    EXPECT_EQ(Capture::render(*badge.badge()).pixelColor(20, 2).alpha(), 255);

    // Blending: a fill barely there, and no mask.
    sim.setBlendsPanels(true);
    zones->show({zone(false, 5)}, recorder());
    EXPECT_TRUE(badge.mask().isEmpty());
    const QImage faint = Capture::render(strip);
    EXPECT_LE(faint.pixelColor(1, 100).alpha(), 3);
    EXPECT_GT(faint.pixelColor(1, 100).alpha(), 0);
}

// ---------------------------------------------------------------- the badge's pixels

struct Cluster {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
};

bool bright(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    return c.alpha() > 200 && c.lightness() > 140;
}

// The runs of rows holding bright (moon) pixels, top to bottom.
std::vector<Cluster> clusters(const QImage& image)
{
    std::vector<Cluster> out;
    std::optional<Cluster> open;
    for (int y = 0; y < image.height(); ++y) {
        int left = image.width();
        int right = -1;
        for (int x = 0; x < image.width(); ++x)
            if (bright(image, x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        if (right < 0) {
            if (open)
                out.push_back(*open);
            open.reset();
            continue;
        }
        if (!open)
            open = Cluster{.top = y, .bottom = y, .left = left, .right = right};
        open->bottom = y;
        open->left = std::min(open->left, left);
        open->right = std::max(open->right, right);
    }
    if (open)
        out.push_back(*open);
    return out;
}

// The mean x of the bright pixels of a row.
double meanX(const QImage& image, int y)
{
    double sum = 0;
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        if (bright(image, x, y)) {
            sum += x;
            ++n;
        }
    return n ? sum / n : -1;
}

// The badge as its panel shows it where the window server blends: with the
// room of its shadow round it.
QImage panelPicture(int count, bool onLeft)
{
    const double m = EdgeBadge::shadowMargin();
    EdgeBadge badge;
    badge.resize(int(EdgeBadge::width + m), int(EdgeBadge::height + 2 * m));
    badge.setContent(count, onLeft);
    return Capture::render(badge).convertToFormat(QImage::Format_ARGB32);
}

// The badge alone, cut out of that.
QImage badgePicture(int count, bool onLeft)
{
    const int m = int(EdgeBadge::shadowMargin());
    return panelPicture(count, onLeft).copy(onLeft ? 0 : m, m, int(EdgeBadge::width), int(EdgeBadge::height));
}

TEST_F(EngineEdges, TheBadgePointsOutwardsWithItsCountAndRoundsOnlyItsInnerSide)
{
    for (bool onLeft : {true, false}) {
        SCOPED_TRACE(onLeft ? "left" : "right");
        const QImage one = badgePicture(1, onLeft);
        ASSERT_EQ(one.size(), QSize(26, 46));
        // Night at 0.82 (a little more over its shadow) in the corners
        // against the edge, only the shadow in the rounded inner ones.
        const int edge = onLeft ? 0 : 25;
        const int inner = onLeft ? 25 : 0;
        for (int y : {0, 45}) {
            EXPECT_GE(one.pixelColor(edge, y).alpha(), 209) << y;
            EXPECT_LT(one.pixelColor(inner, y).alpha(), 150) << y;
        }
        const QColor corner = one.pixelColor(edge, 0);
        EXPECT_NEAR(corner.red(), Theme::night().red(), 4);
        EXPECT_NEAR(corner.blue(), Theme::night().blue(), 6);

        // The shadow: round the inner side and below, fading out within
        // its room, and none past the edge side.
        const QImage panel = panelPicture(1, onLeft);
        const int m = int(EdgeBadge::shadowMargin());
        const int innerX = onLeft ? 26 + 2 : m - 3;
        EXPECT_GT(panel.pixelColor(innerX, m + 23).alpha(), 20);
        EXPECT_LT(panel.pixelColor(onLeft ? panel.width() - 1 : 0, m + 23).alpha(), 8);
        EXPECT_GT(panel.pixelColor(onLeft ? 10 : m + 16, m + 46 + 2).alpha(), 20);
        EXPECT_LT(panel.pixelColor(onLeft ? 10 : m + 16, panel.height() - 1).alpha(), 8);

        // The chevron above the count; its tip (the middle row) on the
        // outer side of its arms (the top row).
        const auto parts = clusters(one);
        ASSERT_EQ(parts.size(), 2u);
        const Cluster chevron = parts[0];
        const Cluster number = parts[1];
        EXPECT_LT(chevron.bottom, number.top);
        const double tip = meanX(one, (chevron.top + chevron.bottom) / 2);
        const double arms = meanX(one, chevron.top);
        if (onLeft)
            EXPECT_LT(tip, arms - 1);
        else
            EXPECT_GT(tip, arms + 1);
        // The stack is centred.
        EXPECT_NEAR(chevron.top, 45 - number.bottom, 6);
        EXPECT_NEAR((number.left + number.right) / 2.0, 12.5, 1.5);

        // Monospaced digits: "11" takes the room of "88".
        const QFontMetricsF metrics(Fonts::system(EdgeBadge::countSize, Fonts::Weight::semibold));
        EXPECT_EQ(Fonts::monospacedWidth("11", metrics), Fonts::monospacedWidth("88", metrics));
        EXPECT_GT(Fonts::monospacedWidth("11", metrics), metrics.horizontalAdvance("11"));

        // "12" is wider than "1" and still inside the badge.
        const auto twelve = clusters(badgePicture(12, onLeft));
        ASSERT_EQ(twelve.size(), 2u);
        EXPECT_GT(twelve[1].right - twelve[1].left, number.right - number.left + 3);
        EXPECT_GT(twelve[1].left, 2);
        EXPECT_LT(twelve[1].right, 23);
    }
}

// Pictures to look at: badges left and right with counts 1 and 12 on a dark
// and a light backdrop, three times enlarged.
TEST_F(EngineEdges, Pictures)
{
    QImage sheet(230, 170, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(90, 120, 160));
    {
        QPainter painter(&sheet);
        painter.fillRect(QRect(0, 85, 230, 85), QColor(235, 235, 240));
        const std::vector<std::pair<int, bool>> badges{{1, true}, {12, true}, {1, false}, {18, false}};
        for (std::size_t i = 0; i < badges.size(); ++i)
            for (int row = 0; row < 2; ++row)
                painter.drawImage(QPoint(10 + int(i) * 54, 5 + row * 85),
                                  panelPicture(badges[i].first, badges[i].second));
    }
    EXPECT_TRUE(Capture::savePng(sheet.scaled(sheet.size() * 3), pictureFolder() + "edge_badges.png"));
}

} // namespace
