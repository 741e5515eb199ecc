// The menu panel's widgets offscreen, driven with QTest: what shows per
// state, the two-step delete on the manual clock, the layout, option and
// pause controls, settings followed while open, and the picture.

#include "app/settings/bound_picker.h"
#include "app/settings/switch.h"
#include "app/settings/symbol_button.h"
#include "app/shell/qt/menu_panel_arrange_controls.h"
#include "app/shell/qt/menu_panel_tiles.h"
#include "app/shell/qt/menu_panel_view.h"
#include "app/ui/capture.h"
#include "app/ui/key_cap.h"
#include "app/ui/theme.h"
#include "shell/panel_world.h"
#include "support/ui_app.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class MenuPanelViewTest : public ::testing::Test, public PanelWorld {
protected:
    MenuPanelView& show(MenuPanel panel)
    {
        view = std::make_unique<MenuPanelView>(std::move(panel),
                                               MenuPanelContext{{scheduler, scheduler.clock()}, [this] { return screen(); }});
        view->show();
        settle();
        return *view;
    }
    static void settle()
    {
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
    }
    static void click(QWidget* widget, QPoint at = {})
    {
        ASSERT_TRUE(widget);
        ASSERT_TRUE(widget->isVisible()) << widget->accessibleName().toStdString();
        QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
        settle();
    }
    std::string defaultsFile()
    {
        std::ifstream in(store.file());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::unique_ptr<MenuPanelView> view;
};

TEST_F(MenuPanelViewTest, WithoutWorkflowsOnlyTheSaveButtonIsListed)
{
    auto& v = show(panel());
    EXPECT_EQ(v.width(), MenuPanelView::panelWidth);
    EXPECT_TRUE(v.saveHint()->isVisible());
    EXPECT_TRUE(v.rows().empty());
    click(v.saveHint());
    click(v.saveButton());
    EXPECT_EQ(calls["saveWorkflow"], 2) << "the list's button saves like the header's";
    EXPECT_EQ(v.saveButton()->toolTip(), "Save Workflow");
}

TEST_F(MenuPanelViewTest, SevenWorkflowsListSixAndOnlySlotsHaveKeyCaps)
{
    auto list = workflows(7);
    list[0].slot = 9;
    list[1].slot.reset();
    auto& v = show(panel(list));
    ASSERT_EQ(v.rows().size(), 6u);
    EXPECT_FALSE(v.saveHint()->isVisible());
    ASSERT_TRUE(v.rows()[0].button->keyCap());
    EXPECT_EQ(v.rows()[0].button->keyCap()->text(), "Ctrl+Alt+9");
    EXPECT_EQ(v.rows()[1].button->keyCap(), nullptr);
    EXPECT_EQ(v.rows()[2].trash->toolTip(), "Delete Flow 3");
    click(v.rows()[2].button);
    EXPECT_EQ(switched, std::vector<std::string>{"Flow 3"});
}

TEST_F(MenuPanelViewTest, NoticesAndUpdatesFollowTheFlags)
{
    auto& plain = show(panel());
    EXPECT_FALSE(plain.setupNotice()->isVisible());
    EXPECT_FALSE(plain.updatesButton()->isVisible());
    EXPECT_TRUE(plain.settingsButton()->isVisible());
    EXPECT_TRUE(plain.quitButton()->isVisible());

    auto& flagged = show(panel({}, true, true));
    EXPECT_TRUE(flagged.setupNotice()->isVisible());
    EXPECT_EQ(flagged.setupNotice()->text(), "Finish setting up Kavelo");
    EXPECT_TRUE(flagged.updatesButton()->isVisible());
    click(flagged.setupNotice());
    click(flagged.updatesButton());
    click(flagged.quitButton());
    click(flagged.findTile());
    click(flagged.tidyTile());
    EXPECT_EQ(calls["setup"], 1);
    EXPECT_EQ(calls["update"], 1);
    EXPECT_EQ(calls["quit"], 1);
    EXPECT_EQ(calls["find"], 1);
    EXPECT_EQ(calls["tidy"], 1);
}

TEST_F(MenuPanelViewTest, DisplayOffNoticeShowsOutsideOffModeAndTurnsOnThatDisplayOnly)
{
    prefs.setDisplaysOff({screen(), "Other"});
    auto& v = show(panel());
    EXPECT_FALSE(v.displayOffNotice()->isVisible());
    prefs.setArrangeMode(ArrangeMode::strip);
    settle();
    EXPECT_TRUE(v.displayOffNotice()->isVisible()) << "followed while open";
    EXPECT_EQ(v.modeSwitch()->mode(), ArrangeMode::strip);
    click(v.displayOffNotice());
    EXPECT_EQ(prefs.displaysOff(), std::set<std::string>{"Other"});
    EXPECT_FALSE(v.displayOffNotice()->isVisible());
}

TEST_F(MenuPanelViewTest, DeleteWaitsForASecondClickAfterHalfASecond)
{
    auto& v = show(panel({workflow("A"), workflow("B"), workflow("C")}));
    click(v.rows()[0].trash);
    EXPECT_TRUE(v.rows()[0].confirm->isVisible());
    EXPECT_EQ(v.rows()[0].confirm->text(), "Delete?");
    EXPECT_FALSE(v.rows()[1].confirm->isVisible());

    click(v.rows()[1].trash);
    EXPECT_FALSE(v.rows()[0].confirm->isVisible()) << "arming B disarms A";
    EXPECT_TRUE(v.rows()[0].trash->isVisible());
    EXPECT_TRUE(v.rows()[1].confirm->isVisible());

    scheduler.advance(0.5);
    click(v.rows()[1].confirm);
    EXPECT_TRUE(deleted.empty()) << "half a second is too soon";
    scheduler.advance(0.01);
    click(v.rows()[1].confirm);
    EXPECT_EQ(deleted, std::vector<std::string>{"B"});
    ASSERT_EQ(v.rows().size(), 2u);
    EXPECT_EQ(v.rows()[0].name, "A");
    EXPECT_EQ(v.rows()[1].name, "C");
    EXPECT_TRUE(v.isVisible()) << "the panel stays";
}

TEST_F(MenuPanelViewTest, ChoosingALayoutTurnsOnAutoModeForTheDisplay)
{
    prefs.setDisplaysOff({screen()});
    auto& v = show(panel());
    EXPECT_FALSE(v.layoutPicker()->isActive());
    EXPECT_TRUE(v.layoutHint()->isVisible());
    EXPECT_EQ(v.layoutHint()->text(), "Pick a layout to turn on Auto arrange.");
    std::vector<std::string> heard;
    const Handle h = prefs.observe([&](std::string_view name) { heard.emplace_back(name); });
    click(v.layoutPicker(), v.layoutPicker()->button(4).center().toPoint());
    EXPECT_EQ(heard, (std::vector<std::string>{"displaysOff", "displayLayouts", "arrangeMode"}));
    EXPECT_EQ(prefs.arrangeMode(), ArrangeMode::auto_);
    EXPECT_EQ(v.layoutPicker()->selected(), TidyLayout::custom);
    EXPECT_FALSE(v.layoutHint()->isVisible());
    EXPECT_TRUE(v.customControls()->isVisible());
    EXPECT_TRUE(v.gridChoices()->isVisible());
    EXPECT_TRUE(v.modeSwitch()->plate() < 1) << "the plate springs over";
    scheduler.advance(1);
    EXPECT_NEAR(v.modeSwitch()->plate(), 1, 0.01);

    click(v.gridChoices(), v.gridChoices()->cell(3).center().toPoint());
    EXPECT_EQ(prefs.plan(screen()), GridPlan::presets()[3].plan);
    EXPECT_EQ(v.gridChoices()->current(), std::vector<std::size_t>{3});
    click(v.matchGrid().toggle);
    EXPECT_TRUE(prefs.gridFollowsCount());
    EXPECT_FALSE(v.gridChoices()->isVisible());
    EXPECT_TRUE(v.editGrid()->isVisible());
    click(v.editGrid());
    EXPECT_EQ(calls["arrangeSettings"], 1);
}

TEST_F(MenuPanelViewTest, TheModeSwitchWritesEvenTheCurrentMode)
{
    auto& v = show(panel());
    int heard = 0;
    const Handle h = prefs.observe([&](std::string_view name) { heard += name == "arrangeMode"; });
    click(v.modeSwitch(), v.modeSwitch()->segment(0).center().toPoint());
    EXPECT_EQ(heard, 1);
    click(v.modeSwitch(), v.modeSwitch()->segment(2).center().toPoint());
    EXPECT_EQ(prefs.arrangeMode(), ArrangeMode::strip);
}

TEST_F(MenuPanelViewTest, MoreHoldsTheOptionsOfTheModeWithThePanelsChoices)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    auto& v = show(panel({}, false, false, MenuPanel::AppToggle{"org.example.Editor", "Editor"}));
    EXPECT_FALSE(v.moreContent()->isVisible());
    const int closed = v.height();
    click(v.moreHeader());
    EXPECT_TRUE(v.moreContent()->isVisible());
    EXPECT_GT(v.height(), closed) << "the panel grows with its content";
    ASSERT_TRUE(v.optionRow(PanelOption::mainWindow));
    EXPECT_FALSE(v.optionRow(PanelOption::centreFocused));
    auto* gap = v.optionRow(PanelOption::gap)->picker;
    EXPECT_EQ(gap->itemText(0), "None");
    EXPECT_EQ(gap->itemText(4), "16 px");
    EXPECT_EQ(gap->width(), MenuPanelView::pickerWidth);
    EXPECT_TRUE(gap->choose("16 px"));
    EXPECT_EQ(prefs.windowGap(), 16);

    const auto leave = v.moreSwitch("Leave Editor alone");
    ASSERT_TRUE(leave);
    click(leave->toggle);
    EXPECT_TRUE(prefs.leftAlone().contains("org.example.Editor"));
    click(v.moreSwitch("Arrange this display")->toggle);
    EXPECT_TRUE(prefs.displaysOff().contains(screen()));

    prefs.setArrangeMode(ArrangeMode::strip);
    settle();
    EXPECT_FALSE(v.optionRow(PanelOption::mainWindow));
    ASSERT_TRUE(v.optionRow(PanelOption::centreFocused));
    EXPECT_EQ(v.optionRow(PanelOption::centreFocused)->picker->itemText(1), "On overflow");
    ASSERT_TRUE(v.moreSwitch("Keep original window height"));
}

TEST_F(MenuPanelViewTest, ThePanelStaysAsTallAsItsContentWhenItChangesWhileOpen)
{
    // In a frame, as the popover holds it.
    QWidget frame;
    auto& v = *new MenuPanelView(panel({}, false, false, MenuPanel::AppToggle{"org.example.Editor", "Editor"}),
                                 MenuPanelContext{{scheduler, scheduler.clock()}, [this] { return screen(); }}, &frame);
    frame.show();
    settle();
    click(v.moreHeader());
    // Each part shown whole, 12 below the one before; the last 14 above
    // the bottom.
    const auto fits = [&](const std::string& when) {
        const QLayout* column = v.layout();
        int bottom = MenuPanelView::padding - MenuPanelView::spacing;
        for (int i = 0; i < column->count(); ++i) {
            const QWidget* part = column->itemAt(i)->widget();
            if (!part || part->isHidden())
                continue;
            EXPECT_EQ(part->y(), bottom + MenuPanelView::spacing) << when << ": part " << i;
            EXPECT_EQ(part->height(), part->sizeHint().height()) << when << ": part " << i;
            bottom = part->y() + part->height();
        }
        EXPECT_EQ(v.height(), bottom + MenuPanelView::padding) << when;
        // Fitted, it lays itself out no more (each layout asking for the
        // next kept a core busy for good).
        struct Requests : QObject {
            int count = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                count += e->type() == QEvent::LayoutRequest;
                return false;
            }
        } requests;
        v.installEventFilter(&requests);
        settle();
        v.removeEventFilter(&requests);
        EXPECT_EQ(requests.count, 0) << when;
    };
    fits("off");
    for (const ArrangeMode mode : {ArrangeMode::strip, ArrangeMode::off, ArrangeMode::auto_, ArrangeMode::off}) {
        prefs.setArrangeMode(mode);
        settle();
        fits(std::string("then ") + std::string(rawValue(mode)));
    }
    prefs.setNoPeekOn(true);
    settle();
    fits("with No peek's options");
    prefs.setArrangeMode(ArrangeMode::strip);
    scheduler.advance(1);
    settle();
    fits("strip again");
    for (const double scale : {1.0, 2.0})
        Capture::savePng(Capture::render(v, scale), pictureFolder() + "menu_panel_strip_more@" +
                                                        std::to_string(int(scale)) + "x.png");
}

TEST_F(MenuPanelViewTest, AGapMatchingNoChoiceShowsAnEmptyPickerAndIsNotRewritten)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setWindowGap(12);
    const std::string before = defaultsFile();
    auto& v = show(panel());
    click(v.moreHeader());
    EXPECT_EQ(v.optionRow(PanelOption::gap)->picker->currentIndex(), -1);
    prefs.setNoPeekOn(true);
    settle();
    EXPECT_EQ(v.optionRow(PanelOption::gap)->picker->currentIndex(), -1);
    EXPECT_EQ(prefs.windowGap(), 12);
    EXPECT_EQ(defaultsFile(), before);
}

TEST_F(MenuPanelViewTest, ThePauseSwitchFlipsTheEngineAndShowsItsRealState)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    auto& v = show(panel());
    click(v.moreHeader());
    const auto pause = v.pauseSwitch();
    ASSERT_TRUE(pause);
    EXPECT_FALSE(pause->toggle->isChecked());
    click(pause->toggle);
    EXPECT_TRUE(engine.isPaused);
    EXPECT_TRUE(pause->toggle->isChecked());
    // Resumed elsewhere while the switch still shows paused.
    engine.isPaused = false;
    click(pause->toggle);
    EXPECT_TRUE(engine.isPaused) << "flipped from what the engine holds";
    EXPECT_TRUE(pause->toggle->isChecked());
}

TEST_F(MenuPanelViewTest, QuickTilesFlipTheirSwitchesAndShowThem)
{
    auto& v = show(panel());
    click(v.cleanTile());
    EXPECT_TRUE(prefs.cleanSpaceOn());
    EXPECT_TRUE(v.cleanTile()->isOn());
    prefs.setNoPeekOn(true);
    settle();
    EXPECT_TRUE(v.noPeekTile()->isOn()) << "followed while open";
    EXPECT_TRUE(v.moreSwitch("Blur as well")) << "No peek's options with arranging off";
    EXPECT_FALSE(v.undoTile()->isOn()) << "never shown as on";
}

TEST_F(MenuPanelViewTest, TileHintsFollowTheShortcutsAndKeepTheirGapToTheTitle)
{
    auto& v = show(panel());
    EXPECT_EQ(v.findTile()->keyCap()->text().toStdString(), prefs.shortcut().label());
    // Both tiles in the row, each key cap at least the gap after its title
    // and the padding before the tile's end; a key cap cut short says so.
    const auto roomy = [&](const char* when) {
        const ActionTile* tiles[] = {v.findTile(), v.tidyTile()};
        const int left = tiles[0]->mapTo(&v, QPoint()).x(), right = tiles[1]->mapTo(&v, QPoint()).x();
        EXPECT_EQ(left, MenuPanelView::padding) << when;
        EXPECT_EQ(right - left - tiles[0]->width(), MenuPanelView::actionSpacing) << when;
        EXPECT_EQ(right + tiles[1]->width(), MenuPanelView::panelWidth - MenuPanelView::padding) << when;
        for (const ActionTile* tile : tiles) {
            const QRect cap = tile->keyCap()->geometry();
            if (cap.bottom() < tile->titleRect().top())
                EXPECT_GE(cap.left(), ActionTile::padding + ActionTile::gap) << when << ": beside the symbol";
            else
                EXPECT_GE(cap.left() - tile->titleRect().right(), ActionTile::gap - 0.5) << when;
            EXPECT_LE(cap.right() + 1, tile->width() - ActionTile::padding) << when;
            EXPECT_EQ(cap.width() < tile->keyCap()->sizeHint().width(), !tile->toolTip().isEmpty()) << when;
        }
    };
    roomy("the standard keys");
    for (const ActionTile* tile : {v.findTile(), v.tidyTile()})
        EXPECT_EQ(tile->keyCap()->width(), tile->keyCap()->sizeHint().width()) << "whole: " << tile->text().toStdString();
    const Shortcut other{17, Shortcut::control | Shortcut::command};
    prefs.setShortcut(other);
    settle();
    EXPECT_EQ(v.findTile()->keyCap()->text().toStdString(), other.label());
    roomy("a short overview key");
    prefs.setShortcut(Shortcut{111, Shortcut::control | Shortcut::option | Shortcut::shift | Shortcut::command});
    settle();
    roomy("a long overview key");
    EXPECT_EQ(v.tidyTile()->keyCap()->width(), v.tidyTile()->keyCap()->sizeHint().width()) << "the short one whole";
}

TEST(ShareRow, EqualSharesWithRoomToSpareAndTheWidestCutWithout)
{
    struct Case {
        std::vector<int> wanted;
        int room;
        std::vector<int> widths;
    };
    for (const auto& [wanted, room, widths] : {
             Case{{100, 120}, 284, {142, 142}},
             Case{{162, 100}, 284, {162, 122}},
             Case{{162, 134}, 284, {150, 134}},
             Case{{200, 190}, 284, {142, 142}},
             Case{{50, 60, 70}, 100, {34, 33, 33}},
         })
        EXPECT_EQ(shareRow(wanted, room), widths) << room;
}

TEST_F(MenuPanelViewTest, ThePictureIs320WideAndNotBlank)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setDisplayLayouts({{screen(), TidyLayout::custom}});
    prefs.setNoPeekOn(true);
    auto list = workflows(4);
    list[3].slot.reset();
    auto& v = show(panel(list, true, false, MenuPanel::AppToggle{"org.example.Editor", "Editor"}));
    click(v.rows()[1].trash);
    const QImage closed = Capture::render(v);
    EXPECT_EQ(closed.width(), 320);
    EXPECT_GT(opaquePixels(closed), closed.width() * closed.height() * 9 / 10);
    Capture::savePng(closed, pictureFolder() + "menu_panel.png");

    click(v.moreHeader());
    Theme::isRendering = true;
    v.update();
    const QImage open = Capture::render(v);
    Theme::isRendering = false;
    EXPECT_EQ(open.width(), 320);
    EXPECT_GT(open.height(), closed.height());
    Capture::savePng(open, pictureFolder() + "menu_panel_more.png");
}

} // namespace
