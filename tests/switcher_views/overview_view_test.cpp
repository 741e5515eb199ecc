// The overview's view offscreen: empty states, the command bar, the
// footer, hovering, taps, keys through the search field, scrolling the
// selection into view, and pictures of each state.

#include "overview_views_fixture.h"

#include "app/platform/sim/sim_desktop.h"
#include "app/ui/key_cap.h"
#include "app/ui/shadows.h"

#include <QPaintEvent>
#include <QTest>
#include <QWindow>

namespace kavelo::testing {
namespace {

class OverviewViewTest : public ::testing::Test, public OverviewViewWorld {
protected:
    void populate()
    {
        mail = add("Mail", "Inbox");
        notes = add("Notes", "Groceries", [](SimWindow& w) { w.minimized = true; });
        away = add("Terminal", "build", [this](SimWindow& w) { w.desktop = sim.addDesktop(primary()); });
        drafts = add("Mail", "Drafts");
        editor = add("Editor", "");
    }

    WindowID frontWindow() const
    {
        for (WindowID n : sim.stacking())
            if (auto w = sim.window(n); w && w->layer == 0 && w->visible && !w->minimized)
                return n;
        return 0;
    }

    QWindow* window() { return panel().panel().windowHandle(); }

    WindowID mail = 0, notes = 0, away = 0, drafts = 0, editor = 0;
};

TEST_F(OverviewViewTest, EveryEmptyStateSaysWhyAndWhatToPress)
{
    controller.show();
    auto* empty = view().emptyState();
    EXPECT_TRUE(empty->isVisible());
    EXPECT_FALSE(view().grid()->isVisible());
    EXPECT_EQ(empty->heading(), "No windows are open");
    EXPECT_EQ(empty->line(), "Open an app and it will show up here.");
    model().setScope(WindowScope::minimized);
    model().setQuery("zz");
    EXPECT_EQ(empty->heading(), "No windows are open");

    controller.hide();
    mail = add("Mail", "Inbox");
    controller.show();
    EXPECT_FALSE(empty->isVisible());
    EXPECT_TRUE(view().grid()->isVisible());
    model().setScope(WindowScope::minimized);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->heading(), "Nothing in Minimized");
    EXPECT_EQ(empty->line(), "Press Super+1 to see all windows.");

    model().setScope(WindowScope::thisDesktop);
    model().setQuery("Zoë ");   // exactly as typed
    EXPECT_EQ(empty->heading(), "No windows match “Zoë ”");
    EXPECT_EQ(empty->line(), "Press Super+1 to search all windows.");
    model().setScope(WindowScope::all);
    EXPECT_EQ(empty->line(), "Try the app's name or fewer letters.");
    model().setQuery("inb");
    EXPECT_FALSE(empty->isVisible());
}

TEST_F(OverviewViewTest, TheCommandBarOffersFourScopesWithCountsAndTheFirstFourWorkflows)
{
    populate();
    controller.loadWorkflows = [] {
        std::vector<Workspace> all;
        for (const char* name : {"Write", "Code", "Call", "Read", "Plan", "Play"})
            all.push_back({.name = name});
        return all;
    };
    controller.show();
    auto* bar = view().commandBar();
    ASSERT_EQ(bar->scopeButtons().size(), 4u);
    const auto texts = [&] {
        std::vector<std::string> out;
        for (const auto& b : bar->scopeButtons())
            out.push_back(b.title.toStdString() + " " + b.count.toStdString());
        return out;
    };
    const std::vector<std::string> counts{"All 5", "This desktop 3", "Minimized 1", "Other desktops 1"};
    EXPECT_EQ(texts(), counts);
    ASSERT_EQ(bar->workflowButtons().size(), 4u);
    EXPECT_EQ(bar->workflowButtons()[0].title, "Write");
    EXPECT_EQ(bar->workflowButtons()[3].title, "Read");
    // Scopes from the left, 4 apart; workflows end 12 from the right edge.
    EXPECT_EQ(bar->scopeButtons()[1].frame.left(), bar->scopeButtons()[0].frame.right() + 4);
    EXPECT_EQ(bar->workflowButtons().back().frame.right(), bar->width() - 12);
    EXPECT_EQ(bar->width(), 760);
    EXPECT_EQ(bar->y(), 44);

    // Typing filters the cards but leaves the counts.
    QTest::keyClicks(view().searchField(), "inbox");
    EXPECT_EQ(model().query(), "inbox");
    EXPECT_EQ(model().results().size(), 1u);
    EXPECT_EQ(texts(), counts);

    // A click on a workflow closes and switches.
    std::string switched;
    controller.switchWorkflow = [&](const std::string& name) { switched = name; };
    QTest::mouseClick(window(), Qt::LeftButton, {},
                      bar->mapTo(&panel().panel(), bar->workflowButtons()[1].frame.center().toPoint()));
    EXPECT_EQ(switched, "Code");
    EXPECT_FALSE(controller.isOpen());
}

TEST_F(OverviewViewTest, AScopeClickSpringsTheCapsuleAndAScopeKeyJumpsIt)
{
    populate();
    controller.show();
    auto* bar = view().commandBar();
    const QRectF second = bar->scopeButtons()[1].frame;
    QTest::mouseClick(window(), Qt::LeftButton, {}, bar->mapTo(&panel().panel(), second.center().toPoint()));
    EXPECT_EQ(model().scope(), WindowScope::thisDesktop);
    const QRectF moving = bar->selectionCapsule();
    EXPECT_LT(moving.left(), bar->scopeButtons()[1].frame.left());
    scheduler.advance(0.05);
    EXPECT_GT(bar->selectionCapsule().left(), moving.left());
    settle();
    EXPECT_EQ(bar->selectionCapsule(), bar->scopeButtons()[1].frame);

    key(Qt::Key_3, Qt::MetaModifier, "3");
    EXPECT_EQ(model().scope(), WindowScope::minimized);
    EXPECT_EQ(bar->selectionCapsule(), bar->scopeButtons()[2].frame);
}

TEST_F(OverviewViewTest, KeysGoToTheControllerFirstAndTheRestToTheSearchField)
{
    populate();
    controller.show();
    QLineEdit* field = view().searchField();
    EXPECT_EQ(panel().panel().focusWidget(), field);

    QTest::keyClicks(field, "dra");
    EXPECT_EQ(field->text(), "dra");
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(model().query(), "dr");
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);   // select all stays the field's
    EXPECT_EQ(field->selectedText(), "dr");
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(model().query(), "");

    // Arrows move the selection, never the caret.
    QTest::keyClicks(field, "m");
    const int caret = field->cursorPosition();
    model().setSelection(0);
    key(Qt::Key_Left, Qt::MetaModifier);
    EXPECT_EQ(field->cursorPosition(), caret);
    EXPECT_EQ(model().selection(), int(model().results().size()) - 1);

    // The scope keys go by position: Super and the key where "2" is on a US
    // keyboard, whatever it types here.
    key(Qt::Key_Eacute, Qt::MetaModifier, "é", 19);
    EXPECT_EQ(model().scope(), WindowScope::thisDesktop);
    EXPECT_EQ(field->text(), "m");

    key(Qt::Key_Escape);
    EXPECT_FALSE(controller.isOpen());
}

TEST_F(OverviewViewTest, TheFooterHoldsFourHintsAndThePermissionButtonWhenSomethingIsMissing)
{
    populate();
    controller.show();
    auto* footer = view().footer();
    ASSERT_EQ(footer->keyCaps().size(), 4u);
    std::vector<std::string> caps;
    for (KeyCap* cap : footer->keyCaps())
        caps.push_back(cap->text().toStdString());
    EXPECT_EQ(caps, (std::vector<std::string>{"Return", "←→↑↓", "Super+1–4", "Esc"}));
    EXPECT_FALSE(footer->showsPermission());
    EXPECT_TRUE(footer->permissionButton().isEmpty());
    // Centred at the bottom, 44 above the edge.
    EXPECT_EQ(footer->geometry().bottom() + 1, 900 - 44);
    const QRect first = footer->keyCaps().front()->geometry();
    const double right = footer->labels().back().right();
    EXPECT_NEAR(first.left() + right, footer->width(), 2);

    controller.hide();
    sim.setCaptureAllowed(false);
    bool asked = false;
    controller.showPermissions = [&] { asked = !controller.isOpen(); };
    controller.show();
    ASSERT_TRUE(footer->showsPermission());
    EXPECT_EQ(footer->keyCaps().size(), 4u);
    const QRectF button = footer->permissionButton();
    EXPECT_GE(button.left(), footer->labels().back().right() + 18 - 0.5);
    QTest::mouseClick(window(), Qt::LeftButton, {}, footer->mapTo(&panel().panel(), button.center().toPoint()));
    EXPECT_TRUE(asked);
}

TEST_F(OverviewViewTest, APointerRestingOnACardSelectsNothingAndAMovingOneSelects)
{
    populate();
    sim.movePointer(Point(700, 400));
    controller.show();
    settle();
    OverviewGrid& g = grid();
    const QPoint onSecond = g.mapTo(&panel().panel(), g.cardRect(1).center().toPoint());
    const QPoint onThird = g.mapTo(&panel().panel(), g.cardRect(2).center().toPoint());

    // The opening puts the card under a pointer that has not moved.
    QTest::mouseMove(window(), onSecond);
    EXPECT_EQ(model().selection(), 0);
    QTest::mouseMove(window(), onThird);
    EXPECT_EQ(model().selection(), 0);

    sim.movePointer(Point(710, 420));
    QTest::mouseMove(window(), onSecond);
    EXPECT_EQ(model().selection(), 1);
    // Leaving a card changes nothing.
    QTest::mouseMove(window(), QPoint(5, 5));
    EXPECT_EQ(model().selection(), 1);
}

TEST_F(OverviewViewTest, ATapOnACardRaisesItsWindowAndOneOnTheBackdropClosesOnly)
{
    populate();
    sim.focusWindow(mail);
    sim.resetCounters();
    controller.show();
    settle();
    QTest::mouseClick(window(), Qt::LeftButton, {}, QPoint(20, 450));   // the margin
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(frontWindow(), mail);

    controller.show();
    settle();
    const int index = 2;   // the catalog's third window
    const WindowEntry chosen = model().results()[index];
    QTest::mouseClick(window(), Qt::LeftButton, {},
                      grid().mapTo(&panel().panel(), grid().cardRect(index).center().toPoint()));
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(frontWindow(), chosen.id);

    // Between two cards is backdrop too; the empty state and the hints are.
    controller.show();
    settle();
    const QRectF a = grid().cardRect(0), b = grid().cardRect(1);
    QTest::mouseClick(window(), Qt::LeftButton, {},
                      grid().mapTo(&panel().panel(), QPointF((a.right() + b.left()) / 2, a.center().y()).toPoint()));
    EXPECT_FALSE(controller.isOpen());
    controller.show();
    auto* footer = view().footer();
    QTest::mouseClick(window(), Qt::LeftButton, {},
                      footer->mapTo(&panel().panel(), footer->labels().front().center().toPoint()));
    EXPECT_FALSE(controller.isOpen());
}

TEST_F(OverviewViewTest, MovingTheSelectionByKeyScrollsItsCardIntoView)
{
    for (int i = 0; i < 60; ++i)
        add("App" + std::to_string(i % 5), "Window " + std::to_string(i));
    controller.show();
    settle();
    OverviewGrid& g = grid();
    EXPECT_EQ(model().columns(), 6);
    EXPECT_EQ(g.scrollOffset(), 0);
    for (int i = 0; i < 6; ++i)
        key(Qt::Key_Down);
    EXPECT_EQ(model().selection(), 36);
    const QRectF card = g.cardFrame(36);
    EXPECT_GT(g.scrollOffset(), 0);
    EXPECT_GE(card.top(), g.scrollOffset());
    // The least scroll: the card's bottom at the bottom edge (on a whole pixel).
    EXPECT_NEAR(card.bottom(), g.scrollOffset() + g.height(), 1);
    EXPECT_LE(card.bottom(), g.scrollOffset() + g.height());
    // Only the rows in view and one more are built.
    const auto [first, last] = g.builtRange();
    EXPECT_EQ(first % 6, 0);
    EXPECT_LE(first, 36);
    EXPECT_GT(last, 41);
    EXPECT_LE(g.cardFrame(first).bottom(), g.scrollOffset() + g.cardHeight() + 30 + 30);
    EXPECT_GE(g.cardFrame(last - 1).top(), g.scrollOffset() + g.height() - g.cardHeight() - 30);
    EXPECT_LT(last - first, 60);

    // Back to the top row scrolls up again.
    for (int i = 0; i < 6; ++i)
        key(Qt::Key_Up);
    EXPECT_EQ(model().selection(), 0);
    EXPECT_EQ(g.scrollOffset(), g.cardFrame(0).top());
}

TEST_F(OverviewViewTest, SearchingMovesTheCardsToTheirNewPlacesWithASpring)
{
    populate();
    controller.show();
    settle();
    OverviewGrid& g = grid();
    const auto indexOf = [&](WindowID id) {
        const auto& results = model().results();
        return int(std::find_if(results.begin(), results.end(), [&](const WindowEntry& w) { return w.id == id; }) -
                   results.begin());
    };
    const QRectF before = g.cardRect(indexOf(mail));
    QTest::keyClicks(view().searchField(), "inbox");
    ASSERT_EQ(indexOf(mail), 0);
    const QRectF after = g.cardFrame(0);
    ASSERT_NE(before.topLeft(), after.topLeft());
    EXPECT_TRUE(g.isRearranging());
    EXPECT_EQ(g.cardRect(0), before);
    scheduler.advance(0.06);
    const QRectF moving = g.cardRect(0);
    EXPECT_LT(std::abs(moving.x() - after.x()), std::abs(before.x() - after.x()));
    EXPECT_GT(std::abs(moving.x() - after.x()), 1);
    settle();
    EXPECT_FALSE(g.isRearranging());
    EXPECT_EQ(g.cardRect(0), after);

    // A new opening starts with the cards in place.
    controller.show();
    EXPECT_FALSE(g.isRearranging());
}

// The first repaint after a letter covers every card that went: no card
// that left the results stays drawn until the spring's first step.
TEST_F(OverviewViewTest, ALetterRepaintsAtOnceEveryCardThatWent)
{
    populate();
    controller.show();
    settle();
    OverviewGrid& g = grid();
    std::map<WindowID, QRect> shown;
    const auto [first, last] = g.builtRange();
    for (int i = first; i < last && i < int(model().results().size()); ++i)
        shown[model().results()[std::size_t(i)].id] = g.cardRect(i).toAlignedRect();
    struct Regions : QObject {
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent*>(e)->region();
            return false;
        }
        QRegion painted;
    } regions;
    g.installEventFilter(&regions);
    QApplication::processEvents();
    regions.painted = {};
    QTest::keyClicks(view().searchField(), "inbox");
    QApplication::processEvents();
    g.removeEventFilter(&regions);
    ASSERT_TRUE(g.isRearranging());
    int gone = 0;
    for (const auto& [id, rect] : shown) {
        const auto& results = model().results();
        if (std::any_of(results.begin(), results.end(), [id = id](const WindowEntry& w) { return w.id == id; }))
            continue;
        ++gone;
        EXPECT_TRUE((QRegion(rect & g.rect()) - regions.painted).isEmpty()) << "window " << id;
    }
    EXPECT_GT(gone, 0);
}

// A moving card's spring stops once the card is within half a pixel of its
// place, not frames later; and a letter that changes no card's place or
// picture paints nothing.
TEST_F(OverviewViewTest, SpringsStopWithinHalfAPixelAndALetterThatMovesNothingPaintsNothing)
{
    populate();
    controller.show();
    settle();
    OverviewGrid& g = grid();
    QTest::keyClicks(view().searchField(), "inbox");
    ASSERT_TRUE(g.isRearranging());
    const QRectF target = g.cardFrame(0);
    int restingFrames = 0;
    for (int frame = 0; frame < 120 && g.isRearranging(); ++frame) {
        const QRectF now = g.cardRect(0);
        if (std::abs(now.x() - target.x()) < 0.5 && std::abs(now.y() - target.y()) < 0.5)
            ++restingFrames;
        scheduler.advance(SpringAnimation::frameInterval);
    }
    EXPECT_FALSE(g.isRearranging());
    EXPECT_LE(restingFrames, 2) << "frames drawn after the card was in place";
    settle();

    struct Paints : QObject {
        bool eventFilter(QObject*, QEvent* e) override
        {
            count += e->type() == QEvent::Paint;
            return false;
        }
        int count = 0;
    } paints;
    g.installEventFilter(&paints);
    QApplication::processEvents();
    paints.count = 0;
    // "inbo" and "inbox" find the same window in the same place.
    QTest::keyClick(view().searchField(), Qt::Key_Backspace);
    QApplication::processEvents();
    EXPECT_FALSE(g.isRearranging());
    EXPECT_EQ(paints.count, 0);
    g.removeEventFilter(&paints);
}

// The overview keeps no picture drawn for it once it closes; the next
// opening makes them again from the shared pictures.
TEST_F(OverviewViewTest, ClosingLetsGoOfEveryPictureMadeForDrawing)
{
    populate();
    controller.loadThumbnails = Thumbnails::loadSized;
    controller.show();
    controller.thumbnailTask()->wait();
    scheduler.runPending();
    ASSERT_FALSE(model().thumbnails().empty());
    picture();
    scheduler.advance(0.1);
    EXPECT_GT(grid().heldPictures(), 0u);
    controller.hide();
    EXPECT_EQ(grid().heldPictures(), 0u);
    // None left behind by a card still being drawn ahead as it closed.
    EXPECT_EQ(Shadows::assembledCount(), 0) << "the cards' shadows put together go too";
    controller.show();
    EXPECT_FALSE(model().thumbnails().empty()) << "kept pictures show at once";
    picture();
    EXPECT_GT(grid().heldPictures(), 0u);
}

// Pictures arriving at an open overview are made for their cards before
// anything paints, so that the paint only copies them; each card still
// draws its own.
TEST_F(OverviewViewTest, PicturesAreMadeForTheirCardsBeforeThePaint)
{
    populate();
    controller.show();
    ASSERT_TRUE(grid().isVisible());
    const std::size_t before = grid().heldPictures();
    std::unordered_map<WindowID, SharedImage> pictures;
    for (const WindowEntry& w : model().windows()) {
        auto image = std::make_shared<Image>(Image{.width = 160, .height = 100});
        for (int p = 0; p < 160 * 100; ++p)
            image->rgba.insert(image->rgba.end(), {std::uint8_t(w.id * 37), 0, 0, 255});
        pictures.emplace(w.id, std::move(image));
    }
    model().setThumbnails(pictures);
    EXPECT_EQ(grid().heldPictures(), before + grid().builtCards().size());
    for (int i = grid().builtRange().first; i < grid().builtRange().second; ++i) {
        const WindowID id = model().results()[std::size_t(i)].id;
        const QImage* made = grid().preparedPicture(id);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->pixelColor(made->width() / 2, made->height() / 2).red(), std::uint8_t(id * 37));
    }
}

TEST_F(OverviewViewTest, PicturesOfEachState)
{
    populate();
    for (int i = 0; i < 7; ++i)
        add(i % 2 ? "Browser" : "Editor", "Page " + std::to_string(i));
    controller.loadWorkflows = [] { return std::vector<Workspace>{{.name = "Writing"}, {.name = "Research"}}; };
    controller.loadThumbnails = Thumbnails::loadSized;
    controller.show();
    controller.thumbnailTask()->wait();
    scheduler.runPending();
    const char* names[] = {"overview_all", "overview_this_desktop", "overview_minimized", "overview_other_desktops"};
    for (std::size_t s = 0; s < 4; ++s) {
        model().setScope(allWindowScopes[s]);
        const QImage image = picture();
        EXPECT_EQ(image.size(), QSize(1440, 900));
        save(image, names[s]);
    }
    model().setScope(WindowScope::all);
    QTest::keyClicks(view().searchField(), "page");
    model().setSelection(2);
    save(picture(), "overview_search");
    QTest::keyClicks(view().searchField(), " zebra");
    save(picture(), "overview_no_match");

    controller.hide();
    sim.setTrusted(false);
    sim.setCaptureAllowed(false);
    controller.show();
    save(picture(), "overview_untrusted");

    OverviewViewWorld none;
    none.controller.show();
    none.save(none.picture(), "overview_no_windows");
}

} // namespace
} // namespace kavelo::testing
