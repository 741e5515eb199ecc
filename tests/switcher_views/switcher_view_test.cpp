#include "switcher_views/switcher_views_fixture.h"

#include "app/switcher/views/switcher_card.h"
#include "app/switcher/views/switcher_tile.h"
#include "app/ui/spring.h"
#include "app/ui/theme.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kavelo;
using kavelo::testing::SwitcherViewsTest;

namespace {

QRectF toRect(const Rect& r) { return QRectF(r.origin.x, r.origin.y, r.width(), r.height()); }

// Pixels of `image` inside `area` that differ clearly from the colour at `reference`.
int inked(const QImage& image, const QRect& area, QPoint reference)
{
    const QColor base = image.pixelColor(reference);
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::abs(c.red() - base.red()) + std::abs(c.green() - base.green()) +
                         std::abs(c.blue() - base.blue()) > 60;
        }
    return count;
}

} // namespace

class SwitcherViewMap : public SwitcherViewsTest {
protected:
    // Two displays side by side, a window on each, a minimized one and a tiny one.
    void SetUp() override
    {
        side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
        safari = app("com.apple.Safari", "Safari");
        terminal = app("com.apple.Terminal", "Terminal");
        minimized = window(terminal, "Build log", Rect(200, 200, 600, 400), [](SimWindow& w) { w.minimized = true; });
        tiny = window(terminal, "Tiny", Rect(1000, 600, 10, 10));
        onSide = window(terminal, "ssh build", Rect(1600, 100, 900, 600));
        onMain = window(safari, "Kavelo docs", Rect(100, 80, 900, 600));
    }

    std::uint32_t side = 0;
    std::int32_t safari = 0, terminal = 0;
    WindowID minimized = 0, tiny = 0, onSide = 0, onMain = 0;
};

TEST_F(SwitcherViewMap, TwoDisplaysFourteenApartWithEachTileWhereTheMapPutsIt)
{
    openPanel();
    ASSERT_EQ(view().content(), SwitcherView::Content::map);
    SwitcherMapView* map = view().mapView();
    const SwitcherMap& layout = map->map();
    ASSERT_EQ(layout.screens.size(), 2u);
    EXPECT_DOUBLE_EQ(layout.screens[1].frame.minX() - layout.screens[0].frame.maxX(), 14);
    EXPECT_EQ(map->size(), QSize(int(std::ceil(layout.size.width)), int(std::ceil(layout.size.height))));
    for (const MapScreen& screen : layout.screens)
        for (const MapTile& tile : screen.tiles) {
            const auto drawn = map->tileRect(tile.window.id);
            ASSERT_TRUE(drawn);
            EXPECT_EQ(drawn->topLeft(), toRect(tile.frame).topLeft());
            EXPECT_TRUE(toRect(screen.frame).contains(drawn->center())) << tile.window.title;
        }
    EXPECT_TRUE(toRect(layout.screens[0].frame).contains(*map->tileRect(onMain)));
    EXPECT_TRUE(toRect(layout.screens[1].frame).contains(*map->tileRect(onSide)));
    // The header says what to do and where the selection stands.
    EXPECT_EQ(view().prompt(), QString::fromUtf8("Keep holding Alt and type to search"));
    EXPECT_EQ(view().counter(), "2 of 4");
    save(picture(), "switcher-map");
}

TEST_F(SwitcherViewMap, MapIsDrawnWhileThePanelWaitsToShow)
{
    openPanel();
    optionUp();
    optionTab();
    // Before the delay has run out the kept picture is complete, in slices.
    EXPECT_FALSE(panel()->isShown());
    EXPECT_TRUE(view().mapView()->prepared());
    scheduler.advance(SwitcherController::showDelay);
    EXPECT_TRUE(panel()->isShown());
}

TEST_F(SwitcherViewMap, MinimizedWindowSitsInTheShelfWithItsCaption)
{
    openPanel();
    SwitcherShelf* shelf = view().shelf();
    ASSERT_TRUE(SwitcherView::shows(shelf));
    ASSERT_EQ(shelf->windows().size(), 1u);
    EXPECT_EQ(shelf->windows()[0].id, minimized);
    EXPECT_FALSE(view().mapView()->tileRect(minimized));
    EXPECT_EQ(shelf->height(), int(SwitcherShelf::rowHeight));
    EXPECT_EQ(shelf->tileRect(0).size(), QSizeF(104, 62));
    // The caption is drawn under the tile.
    const QImage image = picture();
    const QRectF item = shelf->itemRect(0);
    const QRect caption(inView(shelf, QPointF(item.left(), item.top() + 62 + 4)), QSize(104, int(item.height() - 66)));
    EXPECT_GT(inked(image, caption, inView(shelf, QPointF(item.right() + 20, item.bottom() - 2))), 20);
}

TEST_F(SwitcherViewMap, TinyWindowIsDrawnAndClickableAtTwentyFourPoints)
{
    openPanel();
    SwitcherMapView* map = view().mapView();
    const auto rect = map->tileRect(tiny);
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->size(), QSizeF(24, 24));
    // A point of the 24 × 24 area outside the window's own scaled size.
    const QPointF corner = rect->topLeft() + QPointF(21, 21);
    EXPECT_EQ(map->tileAt(corner)->id, tiny);
    // Drawn at that size: its picture (or, before it arrives, its icon) at the middle.
    const QColor middle = picture().pixelColor(inView(map, rect->center()));
    EXPECT_TRUE(near(middle, captured(tiny)) || near(middle, iconColour(terminal))) << middle.name().toStdString();
    QTest::mouseClick(map, Qt::LeftButton, {}, corner.toPoint());
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(sim.counters(tiny).raises, 1);
}

TEST_F(SwitcherViewMap, SelectedTileHasItsCaptionAnAmberOutlineAndGlowOnTop)
{
    openPanel();
    sim.pressKey(tabKey, option); // to the tiny window: behind the side one
    scheduler.runPending();
    sim.pressKey(tabKey, option | EventFlag::shift);
    scheduler.runPending();
    ASSERT_EQ(controller->model().selected()->id, onSide);
    SwitcherMapView* map = view().mapView();
    EXPECT_EQ(map->drawingOrder().back()->window.id, onSide);
    const QRectF tile = *map->tileRect(onSide);
    const SwitcherTile drawn{.window = &controller->model().session().windows[0], .selected = true};
    const QRectF label = drawn.captionRect(tile);
    EXPECT_DOUBLE_EQ(label.left(), tile.left() + 6);
    EXPECT_DOUBLE_EQ(label.bottom(), tile.bottom() - 6);

    const QImage image = picture();
    save(image, "switcher-map-selected");
    // The outline, just inside the edge, and the glow just outside it.
    const QColor edge = image.pixelColor(inView(map, QPointF(tile.center().x(), tile.top() + 1)));
    EXPECT_TRUE(near(edge, Theme::lit(), 40)) << edge.name().toStdString();
    const QColor glow = image.pixelColor(inView(map, QPointF(tile.center().x(), tile.top() - 3)));
    const QColor beyond = image.pixelColor(inView(map, QPointF(tile.center().x(), tile.top() - 30)));
    EXPECT_GT(glow.red() - glow.blue(), beyond.red() - beyond.blue() + 25)
        << glow.name().toStdString() << " against " << beyond.name().toStdString();
    // The caption label is dark, with light text on it.
    const QRect labelPixels = QRectF(label).translated(map->pos()).toAlignedRect();
    EXPECT_GT(inked(image, labelPixels.adjusted(4, 2, -4, -2), labelPixels.topLeft() + QPoint(2, labelPixels.height() / 2)), 5);
}

TEST_F(SwitcherViewMap, ClicksOnATileAndOnTheShelfOpenThatWindow)
{
    openPanel();
    SwitcherMapView* map = view().mapView();
    QTest::mouseClick(map, Qt::LeftButton, {}, map->tileRect(onSide)->center().toPoint());
    EXPECT_FALSE(controller->isActive());
    EXPECT_FALSE(panel()->isShown());
    EXPECT_EQ(sim.counters(onSide).raises, 1);
    optionUp();

    openPanel();
    SwitcherShelf* shelf = view().shelf();
    QTest::mouseClick(shelf, Qt::LeftButton, {}, shelf->itemRect(0).center().toPoint());
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(sim.counters(minimized).raises, 1);
    EXPECT_FALSE(sim.window(minimized)->minimized);
}

TEST_F(SwitcherViewMap, PicturesOfTheCaptureFillTheTiles)
{
    openPanel();
    ASSERT_TRUE(pumpUntil([&] { return controller->model().thumbnails().size() == 4; }));
    SwitcherMapView* map = view().mapView();
    const QImage image = picture();
    for (WindowID id : {onMain, onSide}) {
        const QColor got = image.pixelColor(inView(map, map->tileRect(id)->center()));
        EXPECT_TRUE(near(got, captured(id))) << id << " " << got.name().toStdString();
    }
    SwitcherShelf* shelf = view().shelf();
    const QColor shelved = image.pixelColor(inView(shelf, shelf->tileRect(0).center()));
    EXPECT_TRUE(near(shelved, captured(minimized))) << shelved.name().toStdString();
    save(image, "switcher-map-pictures");
    // A picture of a window outside the session is ignored.
    controller->model().addThumbnail(9999, Image{.width = 1, .height = 1, .rgba = {1, 2, 3, 255}});
    EXPECT_EQ(view().pictures().thumbnailSize(9999), std::nullopt);
}

TEST_F(SwitcherViewMap, PictureArrivingAfterTheFirstPaintShowsOnItsTileAlone)
{
    sim.setCaptureAllowed(false);
    openPanel();
    SwitcherMapView* map = view().mapView();
    const QImage before = picture();
    controller->model().addThumbnail(onMain, solid(QColor(220, 20, 20)));
    const QImage after = picture();
    EXPECT_TRUE(near(after.pixelColor(inView(map, map->tileRect(onMain)->center())), QColor(220, 20, 20)));
    // The other tiles and the selected one stay as they were.
    for (WindowID id : {onSide, tiny})
        EXPECT_EQ(after.pixelColor(inView(map, map->tileRect(id)->center())),
                  before.pixelColor(inView(map, map->tileRect(id)->center())));
}

// Columns waiting at a screen's edge lie on one another: pictures arriving
// together, the one underneath last, are drawn in one pass and in order.
TEST_F(SwitcherViewMap, PicturesArrivingForTilesOnOneAnotherKeepTheTopOneOnTop)
{
    sim.setCaptureAllowed(false);
    const WindowID under = window(safari, "Under", Rect(1700, 500, 600, 400));
    const WindowID over = window(safari, "Over", Rect(1900, 600, 600, 400));
    window(terminal, "Front", Rect(200, 600, 300, 200));
    window(terminal, "Frontmost", Rect(600, 600, 300, 200));
    openPanel();
    SwitcherMapView* map = view().mapView();
    ASSERT_NE(controller->model().selected()->id, under);
    ASSERT_NE(controller->model().selected()->id, over);
    const auto order = map->drawingOrder();
    const auto at = [&](WindowID id) {
        return std::find_if(order.begin(), order.end(), [&](const MapTile* t) { return t->window.id == id; });
    };
    const WindowID top = at(under) < at(over) ? over : under, bottom = top == over ? under : over;
    (void)picture();
    controller->model().addThumbnail(top, solid(QColor(20, 20, 220)));
    controller->model().addThumbnail(bottom, solid(QColor(220, 20, 20)));
    const QImage after = picture();
    save(after, "switcher-map-overlapping-pictures");
    const QRectF shared = map->tileRect(top)->intersected(*map->tileRect(bottom));
    ASSERT_FALSE(shared.isEmpty());
    EXPECT_TRUE(near(after.pixelColor(inView(map, shared.center())), QColor(20, 20, 220)));
    const QRectF own = *map->tileRect(bottom);
    const QPointF alone = top == over ? own.topLeft() + QPointF(4, 4) : own.bottomRight() - QPointF(4, 4);
    EXPECT_TRUE(near(after.pixelColor(inView(map, alone)), QColor(220, 20, 20)));
}

TEST_F(SwitcherViewMap, WithoutCaptureTilesShowIconsAndWithNeitherThePlainShape)
{
    sim.setCaptureAllowed(false);
    openPanel();
    SwitcherMapView* map = view().mapView();
    QImage image = picture();
    EXPECT_TRUE(near(image.pixelColor(inView(map, map->tileRect(onMain)->center())), iconColour(safari)));
    EXPECT_TRUE(near(image.pixelColor(inView(map, map->tileRect(onSide)->center())), iconColour(terminal)));
    EXPECT_EQ(view().pictures().iconReads(), 2) << "one read per application per session";
    optionUp();

    // An application without an icon: the plain grey shape.
    makeController([this](SwitcherModel& model, SwitcherOpen open) -> std::unique_ptr<SwitcherPanel> {
        return std::make_unique<SwitcherFreePanel>(host, model, std::move(open),
                                                   [](std::int32_t) { return std::optional<Image>(); });
    });
    openPanel();
    map = view().mapView();
    image = picture();
    EXPECT_TRUE(near(image.pixelColor(inView(map, map->tileRect(onMain)->center())), QColor(51, 51, 51)));
}

// ---------------------------------------------------------------- results

class SwitcherViewResults : public SwitcherViewsTest {
protected:
    void SetUp() override
    {
        const auto notes = app("com.apple.Notes", "Notes");
        const auto safari = app("com.apple.Safari", "Safari");
        other = window(notes, "Groceries", Rect(100, 100, 500, 400));
        for (const char* title : {"Docs for tiles", "Docker status", "API docs"})
            docs.insert(docs.begin(), window(safari, title, Rect(150, 120, 800, 500)));
    }

    void typeDoc()
    {
        for (std::uint16_t key : {2, 31, 8}) // d o c
            type(key);
    }

    WindowID other = 0;
    std::vector<WindowID> docs;
};

TEST_F(SwitcherViewResults, ThreeMatchesGiveThreeCardsTwelveApartCentredFirstSelected)
{
    openPanel();
    typeDoc();
    ASSERT_EQ(view().content(), SwitcherView::Content::results);
    SwitcherCardRow* row = view().row();
    ASSERT_EQ(row->count(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(row->cardRect(i).width(), 172);
    EXPECT_DOUBLE_EQ(row->cardRect(1).left() - row->cardRect(0).right(), 12);
    EXPECT_DOUBLE_EQ(row->cardRect(2).left() - row->cardRect(1).right(), 12);
    EXPECT_NEAR((row->cardRect(0).left() + row->cardRect(2).right()) / 2, row->width() / 2.0, 0.5);
    EXPECT_DOUBLE_EQ(row->selection(0), 1);
    EXPECT_DOUBLE_EQ(row->selection(1), 0);
    const SwitcherCard selected{.selection = row->selection(0)};
    const SwitcherCard plain{.selection = row->selection(1)};
    EXPECT_DOUBLE_EQ(selected.scale(), 1.03);
    EXPECT_DOUBLE_EQ(selected.opacity(), 1);
    EXPECT_DOUBLE_EQ(plain.scale(), 1);
    EXPECT_DOUBLE_EQ(plain.opacity(), 0.72);
    EXPECT_EQ(view().counter(), "1 of 3");
    EXPECT_EQ(view().prompt(), "doc");
    save(picture(), "switcher-results");
}

TEST_F(SwitcherViewResults, SelectionSpringsOverAndTheCounterFollowsIt)
{
    openPanel();
    typeDoc();
    SwitcherCardRow* row = view().row();
    type(48); // Tab
    EXPECT_EQ(view().counter(), "2 of 3");
    EXPECT_DOUBLE_EQ(row->selection(1), 0);
    scheduler.advance(0.05);
    EXPECT_GT(row->selection(1), 0.3);
    EXPECT_LT(row->selection(0), 0.7);
    scheduler.advance(1);
    EXPECT_NEAR(row->selection(1), 1, 0.001);
    EXPECT_NEAR(row->selection(0), 0, 0.001);
    type(48);
    type(48);
    EXPECT_EQ(view().counter(), "1 of 3");
}

// The card left behind springs a little past plain: its glow never asks for
// a colour fainter than none.
TEST_F(SwitcherViewResults, ACardSpringingBackPaintsEveryFrameWithoutAnInvalidAlpha)
{
    openPanel();
    typeDoc();
    SwitcherCardRow* row = view().row();
    type(48); // Tab
    kavelo::testing::takeQtWarnings();
    double lowest = 1;
    for (int frame = 0; frame < 40; ++frame) {
        scheduler.advance(SpringAnimation::frameInterval);
        lowest = std::min(lowest, row->selection(0));
        picture();
    }
    ASSERT_LT(lowest, 0) << "the spring no longer overshoots";
    const auto warnings = kavelo::testing::takeQtWarnings();
    EXPECT_TRUE(warnings.empty()) << warnings.size() << " warnings, the first: " << warnings.front();
}

TEST_F(SwitcherViewResults, ClickOnACardOpensThatWindow)
{
    openPanel();
    typeDoc();
    SwitcherCardRow* row = view().row();
    const WindowID third = controller->model().result(2).id;
    QTest::mouseClick(row, Qt::LeftButton, {}, row->cardRect(2).center().toPoint());
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(sim.counters(third).raises, 1);
    EXPECT_EQ(sim.stacking().front(), third);
}

// Hiding or showing a part under the pointer costs an X round trip per key,
// so parts out of use are parked at no size; they must then take no clicks.
TEST_F(SwitcherViewResults, ContentChangesNeitherHideNorShowAPartAndParkedPartsTakeNoClicks)
{
    openPanel();
    struct Count : QObject {
        int changes = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            changes += event->type() == QEvent::Show || event->type() == QEvent::Hide;
            return false;
        }
    } count;
    const std::vector<QWidget*> parts{view().mapView(), view().shelf(), view().row()};
    for (QWidget* part : parts)
        part->installEventFilter(&count);
    const QPoint onMap = view().mapView()->geometry().center();

    typeDoc();
    ASSERT_EQ(view().content(), SwitcherView::Content::results);
    EXPECT_TRUE(SwitcherView::shows(view().row()));
    EXPECT_FALSE(SwitcherView::shows(view().mapView()));
    EXPECT_NE(view().childAt(onMap), view().mapView());
    for (int i = 0; i < 3; ++i)
        type(51); // Backspace
    ASSERT_EQ(view().content(), SwitcherView::Content::map);
    EXPECT_TRUE(SwitcherView::shows(view().mapView()));
    EXPECT_FALSE(SwitcherView::shows(view().row()));
    EXPECT_EQ(view().childAt(onMap), view().mapView());
    for (std::uint16_t key : {6, 6, 6}) // z z z
        type(key);
    ASSERT_EQ(view().content(), SwitcherView::Content::noMatch);
    for (QWidget* part : parts)
        EXPECT_FALSE(SwitcherView::shows(part));
    EXPECT_EQ(count.changes, 0);
}

TEST_F(SwitcherViewResults, SelectedCardShowsItsWindowsPicture)
{
    openPanel();
    ASSERT_TRUE(pumpUntil([&] { return controller->model().thumbnails().size() == 4; }));
    typeDoc();
    SwitcherCardRow* row = view().row();
    const QImage image = picture();
    const QPointF centre = row->cardRect(0).topLeft() + QPointF(86, 56);
    const QColor got = image.pixelColor(inView(row, centre));
    EXPECT_TRUE(near(got, captured(controller->model().result(0).id))) << got.name().toStdString();
    save(image, "switcher-results-pictures");
}

// Cards at rest are drawn once and copied at every key; a picture that
// arrives later must still reach its card, and a new session must not show
// the last one's cards.
TEST_F(SwitcherViewResults, RestingCardsAreKeptYetShowPicturesThatArriveLater)
{
    sim.setCaptureAllowed(false);
    openPanel();
    typeDoc();
    SwitcherCardRow* row = view().row();
    const WindowID plain = controller->model().result(1).id;
    const QPointF centre = row->cardRect(1).topLeft() + QPointF(86, 56);
    const QImage before = picture();
    EXPECT_EQ(row->keptCards(), 2u);

    controller->model().addThumbnail(plain, solid(QColor(220, 20, 20)));
    const QImage after = picture();
    // Faded to 0.72 as one layer over the dark panel.
    const QColor got = after.pixelColor(inView(row, centre));
    EXPECT_GT(got.red(), 140) << got.name().toStdString();
    EXPECT_LT(got.green(), 60) << got.name().toStdString();
    // The other plain card is copied as it was.
    const QPointF other = row->cardRect(2).topLeft() + QPointF(86, 56);
    EXPECT_EQ(after.pixelColor(inView(row, other)), before.pixelColor(inView(row, other)));

    // A new session draws its cards anew.
    type(53); // Escape
    openPanel();
    EXPECT_EQ(row->keptCards(), 0u);
    typeDoc();
    picture();
    EXPECT_EQ(row->keptCards(), 2u);
}

TEST_F(SwitcherViewResults, LongRowsScrollTheSelectionToTheMiddle)
{
    const auto safari = app("com.example.More", "More");
    for (int i = 0; i < 12; ++i)
        window(safari, "doc " + std::to_string(i), Rect(10.0 * i, 40, 500, 400));
    openPanel();
    typeDoc();
    SwitcherCardRow* row = view().row();
    ASSERT_GT(row->count(), 6u);
    EXPECT_DOUBLE_EQ(row->scroll().offset, 0);
    for (int i = 0; i < 7; ++i)
        type(48);
    const QRectF selected = row->cardRect(7);
    EXPECT_NEAR(selected.center().x(), row->width() / 2.0, 0.5);
}

TEST_F(SwitcherViewResults, NoMatchSaysWhichQueryFailed)
{
    openPanel();
    for (std::uint16_t key : {6, 6, 6}) // z z z
        type(key);
    EXPECT_EQ(view().content(), SwitcherView::Content::noMatch);
    EXPECT_EQ(view().counter(), "No matches");
    EXPECT_EQ(view().message(), QString::fromUtf8("No windows match \u201Czzz\u201D"));
    EXPECT_FALSE(SwitcherView::shows(view().row()));
    save(picture(), "switcher-no-match");
}

TEST_F(SwitcherViewsTest, NoWindowsAtAllShowsTheEmptyQuotes)
{
    openPanel();
    ASSERT_NE(panel(), nullptr);
    EXPECT_EQ(view().content(), SwitcherView::Content::noMatch);
    EXPECT_EQ(view().message(), QString::fromUtf8("No windows match \u201C\u201D"));
}
