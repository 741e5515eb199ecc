// The strip indicator's panel offscreen: tile sizes at the scale rule's
// numbers, clicks and drags on the row, the fade on the platform scheduler
// with the pointer resting on the panel, the pixels of the focus ring and
// the count badge, icons, the unblended look, and pictures of both modes.

#include "app/engine/panels/qt_engine_panels.h"
#include "app/engine/panels/strip_indicator_panel.h"
#include "app/engine/strip_indicator.h"
#include "app/ui/capture.h"
#include "app/ui/fonts.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"
#include "core/screen_coordinates.h"

#include "services/desktop_fixture.h"
#include "support/ui_app.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

struct Call {
    WindowID id = 0;
    int index = -1;   // -1: a select
    friend bool operator==(const Call&, const Call&) = default;
};

bool near(QRgb got, const QColor& want, int by = 6)
{
    return std::abs(qRed(got) - want.red()) <= by && std::abs(qGreen(got) - want.green()) <= by &&
           std::abs(qBlue(got) - want.blue()) <= by;
}

class StripIndicatorPanelTest : public ::testing::Test, public SimWorld {
protected:
    // Three applications; the third is not running.
    StripIndicatorPanelTest()
    {
        notes = app("com.example.Notes", "Notes");
        mail = app("com.example.Mail", "Mail");
    }

    std::vector<StripTile> stripTiles() const
    {
        return {
            {.id = 1, .bundleID = "com.example.Notes", .width = 0.5, .count = 1, .focused = false, .inView = false},
            {.id = 2, .bundleID = "com.example.Mail", .width = 0.5, .count = 2, .focused = true, .inView = true},
            {.id = 3, .bundleID = "com.example.Gone", .width = 1.0 / 3, .count = 1, .focused = false, .inView = true},
            {.id = 4, .bundleID = std::nullopt, .width = 0.1, .count = 3, .focused = false, .inView = false},
        };
    }

    // A row on the panel the engine's factory makes, recording its calls.
    TileRow& showRow(std::vector<StripTile> tiles, double scale)
    {
        if (!panel)
            panel = qtPanels.makeIndicatorPanel();
        auto* p = static_cast<StripIndicatorPanel*>(panel.get());
        p->setRow(std::move(tiles), scale, [this](WindowID id) { calls.push_back({id, -1}); },
                  [this](WindowID id, int index) { calls.push_back({id, index}); });
        p->setFrame(Rect(400, 18, p->row()->width(), p->row()->height()));
        p->orderFront();
        return *p->row();
    }
    StripIndicatorPanel& qtPanel() { return static_cast<StripIndicatorPanel&>(*panel); }

    void drag(TileRow& row, QPoint from, int dx)
    {
        QTest::mousePress(&row, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(&row, from + QPoint(dx * step / 4, 1));
        QTest::mouseRelease(&row, Qt::LeftButton, {}, from + QPoint(dx, 1));
    }

    void save(const QImage& image, const char* name)
    {
        const std::string path = pictureFolder() + name;
        ASSERT_TRUE(Capture::savePng(image, path)) << path;
    }

    std::int32_t notes = 0;
    std::int32_t mail = 0;
    PanelHost host{desktop.platform};
    QtEnginePanels qtPanels{desktop, host};
    std::unique_ptr<IndicatorPanel> panel;
    std::vector<Call> calls;
};

TEST_F(StripIndicatorPanelTest, TilesAreDrawnToTheScaleRulesNumbers)
{
    const Screen wide{.frame = Rect(0, 0, 1512, 982)};
    // 3.5 screen widths: scale 1, a full column 200 points wide.
    std::vector<StripTile> few(3, StripTile{.width = 0.5});
    few.push_back(StripTile{.id = 9, .width = 2});
    EXPECT_EQ(StripIndicator::scale(few, wide), 1);
    // Ten screen widths: 0.696, a full column 139.2 points wide.
    std::vector<StripTile> many(9, StripTile{.width = 1});
    many.push_back(StripTile{.id = 9, .width = 1});
    const double scale = StripIndicator::scale(many, wide);
    EXPECT_DOUBLE_EQ(scale, 0.696);
    TileRow& row = showRow(many, scale);
    EXPECT_DOUBLE_EQ(row.tileRect(0).width(), 139.2);
    EXPECT_DOUBLE_EQ(row.tileRect(1).left(), 7 + 139.2 + 5);
    EXPECT_EQ(row.tileRect(0).height(), 50);
    EXPECT_DOUBLE_EQ(row.fittingSize().width(), 14 + 10 * 139.2 + 9 * 5);
    EXPECT_EQ(row.sizeHint(), QSize(int(std::ceil(14 + 1392.0 + 45)), 64));

    // A tenth of a screen is 36 points wide, not 20; an empty row is its
    // padding.
    EXPECT_EQ(showRow({StripTile{.width = 0.1}}, 1).tileRect(0).width(), 36);
    EXPECT_EQ(showRow({}, 1).sizeHint(), QSize(14, 14));
}

TEST_F(StripIndicatorPanelTest, AClickSelectsAndADragMovesByRoundedSteps)
{
    // Tiles 100 points wide: a step is 105 points.
    TileRow& row = showRow(std::vector<StripTile>{{.id = 1}, {.id = 2}, {.id = 3}}, 1);
    ASSERT_EQ(row.tileRect(1).width(), 100);
    const QPoint middle = row.tileRect(1).center().toPoint();
    QTest::mouseClick(&row, Qt::LeftButton, {}, middle);
    drag(row, middle, 40);
    drag(row, middle, -53);
    drag(row, middle, 160);
    // Under 5 points the press is a click.
    drag(row, middle, 4);
    EXPECT_EQ(calls, (std::vector<Call>{{2, -1}, {2, 1}, {2, 0}, {2, 3}, {2, -1}}));
    // Between tiles nothing happens.
    calls.clear();
    QTest::mouseClick(&row, Qt::LeftButton, {}, QPoint(int(row.tileRect(1).left()) - 2, 30));
    EXPECT_TRUE(calls.empty());
}

TEST_F(StripIndicatorPanelTest, TheDraggedTileFollowsThePointerAboveItsNeighbours)
{
    TileRow& row = showRow(std::vector<StripTile>{{.id = 1}, {.id = 2, .focused = true}, {.id = 3}}, 1);
    const QPoint middle = row.tileRect(1).center().toPoint();
    QTest::mousePress(&row, Qt::LeftButton, {}, middle);
    QTest::mouseMove(&row, middle + QPoint(3, 0));
    EXPECT_FALSE(row.dragged());
    QTest::mouseMove(&row, middle + QPoint(60, 0));
    EXPECT_EQ(row.dragged(), 2u);
    EXPECT_EQ(row.travel(), 60);
    // Its focus ring now stands over the third tile's left part.
    const QImage picture = Capture::render(row);
    const QRectF lifted = row.tileRect(1).translated(60, 0);
    ASSERT_TRUE(row.tileRect(2).contains(QPointF(lifted.right() - 2, lifted.center().y())));
    EXPECT_TRUE(near(picture.pixel(int(lifted.right()) - 2, int(lifted.center().y())), Theme::lit()));
    QTest::mouseRelease(&row, Qt::LeftButton, {}, middle + QPoint(60, 0));
    EXPECT_FALSE(row.dragged());
    EXPECT_EQ(row.travel(), 0);
    EXPECT_EQ(calls, (std::vector<Call>{{2, 2}}));
}

TEST_F(StripIndicatorPanelTest, StepsThatAreNoNumberMoveNothing)
{
    EXPECT_EQ(TileRow::steps(40, 0.5, 1), 0);
    EXPECT_EQ(TileRow::steps(-53, 0.5, 1), -1);
    EXPECT_EQ(TileRow::steps(52.5, 0.5, 1), 1) << "halves away from zero";
    EXPECT_EQ(TileRow::steps(-52.5, 0.5, 1), -1);
    EXPECT_EQ(TileRow::steps(10, std::nan(""), 1), std::nullopt);
    EXPECT_EQ(TileRow::steps(10, -0.025, 1), std::nullopt) << "a step of zero points";
    EXPECT_EQ(TileRow::steps(1e300, 0.5, 1), 1 << 20);
}

TEST_F(StripIndicatorPanelTest, AClickThatShowsANewRowLeavesTheOldOneToFinish)
{
    panel = qtPanels.makeIndicatorPanel();
    int shows = 0;
    std::function<void()> show = [&] {
        ++shows;
        qtPanel().setRow(stripTiles(), 1, [&](WindowID) { show(); }, [&](WindowID, int) { show(); });
        qtPanel().setFrame(Rect(300, 18, qtPanel().row()->width(), qtPanel().row()->height()));
    };
    show();
    TileRow* first = qtPanel().row();
    QTest::mouseClick(first, Qt::LeftButton, {}, first->tileRect(0).center().toPoint());
    drag(*qtPanel().row(), qtPanel().row()->tileRect(1).center().toPoint(), -120);
    EXPECT_EQ(shows, 3);
    EXPECT_NE(qtPanel().row(), first);
    // The old rows are hidden at once and go once the events are handled.
    const auto rows = [&] {
        std::vector<TileRow*> out;
        for (QWidget* child : qtPanel().window().findChildren<QWidget*>())
            if (auto* row = dynamic_cast<TileRow*>(child))
                out.push_back(row);
        return out;
    };
    for (TileRow* row : rows())
        EXPECT_EQ(row->isHidden(), row != qtPanel().row());
    QTest::qWait(1);
    EXPECT_EQ(rows(), std::vector<TileRow*>{qtPanel().row()});
    EXPECT_FALSE(qtPanel().row()->dragged());
}

TEST_F(StripIndicatorPanelTest, TheFocusRingTheBadgeAndTheIcons)
{
    TileRow& row = showRow(stripTiles(), 1);
    const QImage picture = Capture::render(row);
    save(picture, "strip_indicator_tiles.png");

    // The ring: 2 points of the accent inside the focused tile's edge only.
    const QRectF focused = row.tileRect(1);
    const QRectF other = row.tileRect(0);
    const int y = int(focused.center().y());
    EXPECT_TRUE(near(picture.pixel(int(focused.left()) + 1, y), Theme::lit()));
    EXPECT_TRUE(near(picture.pixel(int(focused.right()) - 2, y), Theme::lit()));
    EXPECT_FALSE(near(picture.pixel(int(other.left()) + 1, y), Theme::lit(), 40));

    // The badge: "2" in moon at the top-trailing corner, none on a single
    // window's tile.
    const auto bright = [&](const QRectF& tile) {
        int count = 0;
        for (int py = int(tile.top()) + 3; py < int(tile.top()) + 20; ++py)
            for (int px = int(tile.right()) - 18; px < int(tile.right()) - 3; ++px)
                count += qRed(picture.pixel(px, py)) > 180 && qBlue(picture.pixel(px, py)) > 180;
        return count;
    };
    EXPECT_GT(bright(focused), 8);
    EXPECT_EQ(bright(other), 0);
    EXPECT_GT(bright(row.tileRect(3)), 4) << "a 36-point tile shows its badge too";

    // Icons: the running applications', none for one that is not running
    // or a window without a bundle.
    EXPECT_TRUE(row.hasIcon(0));
    EXPECT_TRUE(row.hasIcon(1));
    EXPECT_FALSE(row.hasIcon(2));
    EXPECT_FALSE(row.hasIcon(3));
    const auto icon = sim.workspace().icon(mail);
    ASSERT_TRUE(icon);
    const QColor mailColor(icon->rgba[0], icon->rgba[1], icon->rgba[2]);
    EXPECT_TRUE(near(picture.pixel(int(focused.center().x()), int(focused.center().y())), mailColor, 3));
    // Out of view, the icon is dimmed to 0.55 over the darker base.
    const auto notesIcon = sim.workspace().icon(notes);
    const QColor notesColor(notesIcon->rgba[0], notesIcon->rgba[1], notesIcon->rgba[2]);
    EXPECT_FALSE(near(picture.pixel(int(other.center().x()), int(other.center().y())), notesColor, 10));
}

TEST_F(StripIndicatorPanelTest, UnblendedThePlateIsOpaqueAndItsCornersCut)
{
    showRow(stripTiles(), 1);
    const int margin = StripIndicatorPanel::shadowMargin();
    EXPECT_GT(margin, 0);
    EXPECT_EQ(qtPanel().window().width(), qtPanel().row()->width() + 2 * margin);
    EXPECT_FALSE(qtPanel().row()->isOpaque());
    EXPECT_TRUE(qtPanel().window().mask().isEmpty());
    const QImage blended = Capture::render(*qtPanel().row());
    EXPECT_LT(qAlpha(blended.pixel(30, 4)), 255);

    sim.setBlendsPanels(false);
    showRow(stripTiles(), 1);
    EXPECT_EQ(qtPanel().window().size(), qtPanel().row()->size());
    EXPECT_TRUE(qtPanel().row()->isOpaque());
    const QRegion mask = qtPanel().window().mask();
    EXPECT_FALSE(mask.contains(QPoint(1, 1)));
    EXPECT_TRUE(mask.contains(QPoint(30, 4)));
    const QImage opaque = Capture::render(*qtPanel().row());
    EXPECT_EQ(qAlpha(opaque.pixel(30, 4)), 255);
    save(opaque, "strip_indicator_unblended.png");
}

TEST_F(StripIndicatorPanelTest, ThePanelStandsWhereTheIndicatorPlacesIt)
{
    showRow(stripTiles(), 1);
    const Rect bottomLeft(400, 18, qtPanel().row()->width(), qtPanel().row()->height());
    EXPECT_EQ(qtPanel().frame(), bottomLeft);
    const Rect topLeft = ScreenCoordinates::flip(bottomLeft, 900);
    const int m = StripIndicatorPanel::shadowMargin();
    EXPECT_EQ(qtPanel().window().frame(), Rect(topLeft.minX() - m, topLeft.minY() - m, topLeft.width() + 2 * m,
                                               topLeft.height() + 2 * m));
    EXPECT_EQ(qtPanel().window().level(), PanelLevel::overlay);
    EXPECT_FALSE(qtPanel().window().clickThrough());
    // Reported to the window server at its level, with this program's pid.
    ASSERT_TRUE(qtPanel().window().windowNumber());
    const auto listed = sim.window(*qtPanel().window().windowNumber());
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->layer, PanelLevel::overlay);
    qtPanel().orderOut();
    EXPECT_FALSE(qtPanel().isShown());
}

// ---------------------------------------------------------------- fade

class StripIndicatorFade : public StripIndicatorPanelTest {
protected:
    StripIndicatorFade() { show(); }
    void show() { indicator.show(screen, stripTiles(), [](WindowID) {}, [](WindowID, int) {}, false); }
    IndicatorPanel& shown() { return *indicator.panel(); }
    // The pointer over the panel's middle, in the pointer's top-left form.
    void pointAtPanel()
    {
        const Rect f = shown().frame();
        sim.movePointer(Point(f.midX(), 900 - f.midY()));
    }

    Screen screen = desktop.platform.displays.screens().front();
    StripIndicator indicator{qtPanels, scheduler, scheduler.clock(), desktop.platform.mouse};
};

TEST_F(StripIndicatorFade, FadesAfterTheDelayAndGoesOnlyWhenTransparent)
{
    const Rect visible = screen.visibleFrame;
    EXPECT_EQ(shown().frame().minY(), visible.minY() + 18);
    EXPECT_NEAR(shown().frame().midX(), visible.midX(), 0.5);
    scheduler.advance(1.09);
    EXPECT_EQ(shown().alpha(), 1);
    scheduler.advance(0.14);
    EXPECT_GT(shown().alpha(), 0);
    EXPECT_LT(shown().alpha(), 0.7);
    EXPECT_TRUE(shown().isShown());
    scheduler.advance(0.2);
    EXPECT_EQ(shown().alpha(), 0);
    EXPECT_FALSE(shown().isShown());
    EXPECT_FALSE(indicator.isFading());
}

TEST_F(StripIndicatorFade, ThePointerRestingOnItKeepsItUntilItLeaves)
{
    pointAtPanel();
    scheduler.advance(1.1 * 3 + 0.5);
    EXPECT_EQ(shown().alpha(), 1);
    EXPECT_TRUE(indicator.isFadePending());
    sim.movePointer(Point(10, 10));
    scheduler.advance(1.1 + 0.27);
    EXPECT_FALSE(shown().isShown());
}

TEST_F(StripIndicatorFade, AShowDuringTheFadeKeepsIt)
{
    scheduler.advance(1.2);
    ASSERT_TRUE(indicator.isFading());
    ASSERT_LT(shown().alpha(), 1);
    show();
    EXPECT_EQ(shown().alpha(), 1);
    scheduler.advance(0.5);
    EXPECT_TRUE(shown().isShown());
    EXPECT_EQ(shown().alpha(), 1);
    // And fades 1.1 s after that show.
    scheduler.advance(0.9);
    EXPECT_FALSE(shown().isShown());
}

TEST_F(StripIndicatorFade, KeptItNeverFadesAndHideTakesItAtOnce)
{
    indicator.keep = true;
    scheduler.advance(3);
    EXPECT_TRUE(shown().isShown());
    indicator.hide();
    EXPECT_FALSE(shown().isShown());
    EXPECT_FALSE(indicator.isFadePending());
}

// ---------------------------------------------------------------- pictures

// Icons as a user would know them: a rounded square in the application's
// colour with its initial.
std::optional<QImage> drawnIcon(const std::string& bundleID)
{
    static const std::map<std::string, std::pair<QColor, QString>> looks{
        {"org.example.Browser", {QColor(66, 133, 244), "B"}}, {"org.example.Terminal", {QColor(40, 40, 40), ">"}},
        {"org.example.Mail", {QColor(52, 168, 83), "M"}},     {"org.example.Editor", {QColor(171, 71, 188), "E"}},
        {"org.example.Chat", {QColor(251, 140, 0), "C"}},
    };
    const auto look = looks.find(bundleID);
    if (look == looks.end())
        return std::nullopt;
    QImage image(52, 52, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(look->second.first);
    painter.drawPath(Shapes::continuousRoundedRect(QRectF(2, 2, 48, 48), 11));
    painter.setPen(Qt::white);
    painter.setFont(Fonts::system(28, Fonts::Weight::bold));
    painter.drawText(QRectF(2, 2, 48, 48), Qt::AlignCenter, look->second.second);
    return image;
}

// The row on a desktop backdrop, as it stands over windows.
QImage onBackdrop(IndicatorPanel& panel)
{
    auto& qt = static_cast<StripIndicatorPanel&>(panel);
    const QImage row = Capture::render(qt.window());
    QImage image(row.width() + 80, row.height() + 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(58, 92, 128));
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, image.width() / 2, image.height()), QColor(228, 230, 236));
    painter.drawImage(40, 30, row);
    return image;
}

TEST_F(StripIndicatorPanelTest, PicturesOfAStripAndAnAutoOrder)
{
    // A strip: a column pinned left, a stack of three, a tabbed pair
    // focused, a full-width column, and two columns waiting to the right.
    StripIndicatorPanel strip(host, desktop.platform.displays, drawnIcon);
    const std::vector<StripTile> columns{
        {.id = 1, .bundleID = "org.example.Chat", .width = 0.25, .count = 1, .focused = false, .inView = true},
        {.id = 2, .bundleID = "org.example.Terminal", .width = 0.5, .count = 3, .focused = false, .inView = true},
        {.id = 3, .bundleID = "org.example.Browser", .width = 0.5, .count = 2, .focused = true, .inView = true},
        {.id = 4, .bundleID = "org.example.Editor", .width = 1.0, .count = 1, .focused = false, .inView = false},
        {.id = 5, .bundleID = "org.example.Mail", .width = 1.0 / 3, .count = 1, .focused = false, .inView = false},
        {.id = 6, .bundleID = "org.example.Unknown", .width = 0.5, .count = 2, .focused = false, .inView = false},
    };
    const Screen screen = desktop.platform.displays.screens().front();
    const Size size = strip.setRow(columns, StripIndicator::scale(columns, screen), {}, {});
    strip.setFrame(Rect(300, 18, size.width, size.height));
    strip.orderFront();
    const QImage stripPicture = onBackdrop(strip);
    save(stripPicture, "strip_indicator_strip.png");
    EXPECT_GT(opaquePixels(stripPicture), 1000);

    // Auto mode: one half-width tile per window, the last two waiting.
    StripIndicatorPanel order(host, desktop.platform.displays, drawnIcon);
    std::vector<StripTile> windows;
    const char* bundles[] = {"org.example.Browser", "org.example.Mail", "org.example.Terminal", "org.example.Chat",
                             "org.example.Editor"};
    for (WindowID i = 0; i < 5; ++i)
        windows.push_back(StripTile{.id = i + 1, .bundleID = bundles[i], .width = 0.5, .count = 1,
                                    .focused = i == 0, .inView = i < 3});
    const Size autoSize = order.setRow(windows, StripIndicator::scale(windows, screen), {}, {});
    order.setFrame(Rect(300, 18, autoSize.width, autoSize.height));
    order.orderFront();
    save(onBackdrop(order), "strip_indicator_auto.png");
    EXPECT_EQ(autoSize, Size(14 + 5 * 100 + 4 * 5, 64));
}

} // namespace
