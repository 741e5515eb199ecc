// The Arrange page on the simulated desktop: which sections each mode
// shows, what every control stores, and the application rows.

#include "app/settings/app_row.h"
#include "app/settings/arrange_settings.h"
#include "app/settings/colour_well.h"
#include "app/settings/grid_chooser.h"
#include "app/settings/mode_card.h"
#include "app/settings/bound_picker.h"
#include "app/settings/setting_group.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_style.h"
#include "app/settings/settings_view.h"
#include "app/settings/warning_label.h"
#include "app/services/trackpad.h"
#include "app/ui/capture.h"
#include "app/ui/pill_button.h"
#include "settings/settings_world.h"

#include <QColorDialog>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

// The suite carries the name of the class it tests, so that one stays
// qualified here.
using kavelo::AppRow;
using kavelo::ArrangeMode;
using kavelo::ArrangePagePlan;
using kavelo::ArrangeSources;
using kavelo::Color;
using kavelo::ColourWell;
using kavelo::GridPlan;
using kavelo::ModeCard;
using kavelo::BoundPicker;
using kavelo::RunningApp;
using kavelo::SettingGroup;
using kavelo::SettingRow;
using kavelo::SimApp;
using kavelo::SimDisplay;
using kavelo::Size;
using kavelo::TidyLayout;
using kavelo::WarningLabel;
using kavelo::WindowHighlight;
namespace ArrangePage = kavelo::ArrangePage;
namespace Capture = kavelo::Capture;
using namespace kavelo::testing;

namespace {

QStringList texts(const BoundPicker* picker)
{
    QStringList out;
    for (int i = 0; i < picker->count(); ++i)
        out << picker->itemText(i);
    return out;
}

std::vector<std::string> names(const std::vector<AppRow*>& rows)
{
    std::vector<std::string> out;
    for (const AppRow* row : rows)
        out.push_back(row->nameLabel()->text().toStdString());
    return out;
}

} // namespace

struct ArrangeSettings : ::testing::Test, SettingsWorld {
    ArrangeSettings()
    {
        side = sim.addDisplay(SimDisplay{.name = "Studio", .frame = kavelo::Rect(1440, 0, 1920, 1080)});
        zed = sim.addApp(SimApp{.bundleID = std::string("dev.zed"), .name = std::string("Zed")});
        sim.addApp(SimApp{.bundleID = std::string("org.alpha"), .name = std::string("alpha")});
        sim.addApp(SimApp{.bundleID = std::string("com.Brew"), .name = std::string("Brew")});
        // Neither a background helper nor another copy of us is listed.
        sim.addApp(SimApp{.bundleID = std::string("helper"), .name = std::string("Helper"),
                          .policy = kavelo::ActivationPolicy::accessory});
        sim.addApp(SimApp{.bundleID = sim.appInfo().bundleID(), .name = std::string("Kavelo")});
    }

    kavelo::ArrangeSettings* open(bool withTrackpads = false)
    {
        ArrangeSources given = sources();
        if (withTrackpads)
            given.multitouch = &sim.multitouch();
        page = new kavelo::ArrangeSettings(prefs, std::move(given), time());
        column = std::make_unique<Column>(page, 496, 2400);
        return page;
    }
    ArrangeSources sources()
    {
        return ArrangeSources{sim.displays(), sim.workspace(), sim.appInfo().bundleID(), [this] { return clash; }};
    }
    BoundPicker* picker(const QString& row) const
    {
        SettingRow* r = page->row(row);
        return r ? dynamic_cast<BoundPicker*>(r->control()) : nullptr;
    }
    // The visible top edge of a section, in the page.
    int top(QWidget* section) const { return section->mapTo(page, QPoint()).y(); }
    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    std::uint32_t side = 0;
    std::int32_t zed = 0;
    std::optional<std::string> clash;
    kavelo::ArrangeSettings* page = nullptr;
    std::unique_ptr<Column> column;
};

TEST_F(ArrangeSettings, SectionsFollowTheMode)
{
    open();
    // Off: the cards, the groups every mode has, nothing of the others.
    EXPECT_TRUE(page->modeCard(ArrangeMode::off)->selected());
    EXPECT_EQ(page->modeDescription()->text(), "Windows only move when you ask. Tidy and snapping still work.");
    EXPECT_EQ(page->layoutGroup(), nullptr);
    EXPECT_EQ(page->stripGroup(), nullptr);
    EXPECT_EQ(page->appsGroup(), nullptr);
    for (SettingGroup* g : {page->spacingGroup(), page->activeWindowGroup(), page->focusGroup()})
        EXPECT_TRUE(g->isVisible());
    EXPECT_EQ(page->spacingGroup()->titleLabel()->text(), "Spacing");
    EXPECT_EQ(page->activeWindowGroup()->titleLabel()->text(), "Active window");
    EXPECT_EQ(page->focusGroup()->titleLabel()->text(), "Focus");
    EXPECT_NE(page->row("Hide other apps while one window fills the screen"), nullptr);

    // Auto: the layout group with one row per screen, in the system's order.
    click(page->modeCard(ArrangeMode::auto_));
    EXPECT_EQ(prefs.arrangeMode(), ArrangeMode::auto_);
    EXPECT_TRUE(page->modeCard(ArrangeMode::auto_)->selected());
    // The selection springs over from the old card.
    scheduler.advance(0.05);
    EXPECT_GT(page->modeCard(ArrangeMode::auto_)->emphasis(), 0.05);
    EXPECT_LT(page->modeCard(ArrangeMode::auto_)->emphasis(), 0.95);
    scheduler.advance(1);
    EXPECT_EQ(page->modeCard(ArrangeMode::auto_)->emphasis(), 1);
    EXPECT_EQ(page->modeCard(ArrangeMode::off)->emphasis(), 0);
    EXPECT_EQ(page->modeDescription()->text(), "New windows take their place as they open, and the rest close the "
                                               "gap. Press Ctrl+Alt+P to pause.");
    // The pause command's own key, once rebound.
    using kavelo::Shortcut;
    prefs.setBindings({{kavelo::Command::pause, Shortcut{35, Shortcut::command | Shortcut::shift}}});
    EXPECT_TRUE(page->modeDescription()->text().endsWith("Press Shift+Super+P to pause."));
    prefs.setBindings({});
    ASSERT_NE(page->layoutGroup(), nullptr);
    EXPECT_EQ(page->layoutGroup()->titleLabel()->text(), "Layout");
    std::vector<QString> rows;
    for (QWidget* row : page->layoutGroup()->rows()->rows())
        rows.push_back(static_cast<SettingRow*>(row)->titleLabel()->text());
    EXPECT_EQ(rows, (std::vector<QString>{"Main window", "When the screen is full", "Built-in Display", "Studio"}));
    EXPECT_EQ(texts(picker("Main window")), (QStringList{"Same as the others", "Half", "60%", "Two thirds"}));
    EXPECT_EQ(texts(picker("When the screen is full")),
              (QStringList{"Slide extras off screen", "Stack after 2 windows", "Stack after 3 windows",
                           "Stack after 4 windows", "Stack after 6 windows"}));
    EXPECT_EQ(texts(picker("Studio")), (QStringList{"Grid", "Columns", "Rows", "Focus", "Your grid"}));
    EXPECT_EQ(picker("Studio")->currentText(), "Grid");
    ASSERT_NE(page->appsGroup(), nullptr);
    EXPECT_EQ(page->appsGroup()->titleLabel()->text(), "Apps: leave alone, or fix a position");
    EXPECT_EQ(page->appRows().front()->positionPicker()->itemText(1), "Main");
    EXPECT_GT(top(page->appsGroup()), top(page->focusGroup()));

    // Strip: the strip group and its help replace the layout group; the
    // applications group is retitled.
    prefs.setStripSwipeFingers(0);
    click(page->modeCard(ArrangeMode::strip));
    EXPECT_EQ(page->layoutGroup(), nullptr);
    ASSERT_NE(page->stripGroup(), nullptr);
    EXPECT_EQ(page->stripGroup()->titleLabel()->text(), "Moving along the strip");
    EXPECT_EQ(texts(picker("Trackpad swipe")), (QStringList{"Off", "Three fingers", "Four fingers"}));
    ASSERT_NE(page->stripHelp(), nullptr);
    EXPECT_TRUE(page->stripHelp()->text().startsWith("Ctrl+Alt plus the mouse wheel"));
    EXPECT_GT(top(page->stripHelp()), top(page->stripGroup()));
    EXPECT_LT(top(page->stripHelp()), top(page->spacingGroup()));
    EXPECT_EQ(page->appsGroup()->titleLabel()->text(), "Apps: leave alone, or fix a strip position");
    EXPECT_EQ(page->appRows().front()->positionPicker()->itemText(1), "1");
    EXPECT_EQ(texts(page->appRows().front()->positionPicker()), (QStringList{"Any", "1", "2", "3", "4", "5", "6"}));

    // Back to off: the applications go.
    click(page->modeCard(ArrangeMode::off));
    EXPECT_EQ(page->appsGroup(), nullptr);
    EXPECT_EQ(page->stripGroup(), nullptr);
}

TEST_F(ArrangeSettings, YourGridAddsThatScreensEditorBelowTheLearnedSizes)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setMinimumSizes({{"dev.zed", Size(400, 300)}});
    open();
    EXPECT_TRUE(page->gridChoosers().empty());
    ASSERT_NE(page->learnedSizesRow(), nullptr);
    EXPECT_EQ(page->learnedSizesRow()->titleLabel()->text(), "Learned window sizes: 1 apps");

    prefs.setDisplayLayouts({{"Built-in Display", TidyLayout::columns}});
    ASSERT_TRUE(picker("Studio")->choose("Your grid"));
    EXPECT_EQ(prefs.displayLayouts(), (std::map<std::string, TidyLayout>{{"Built-in Display", TidyLayout::columns},
                                                                         {"Studio", TidyLayout::custom}}));
    const auto editors = page->gridChoosers();
    ASSERT_EQ(editors.size(), 1u);
    EXPECT_EQ(editors[0]->screen(), "Studio");
    EXPECT_EQ(editors[0]->group()->titleLabel()->text(), "Your grid: Studio");
    settleLayouts();
    EXPECT_GT(top(editors[0]), top(page->learnedSizesRow()));
    EXPECT_LT(top(editors[0]), top(page->spacingGroup()));
    // Showing the editor stored no plan.
    EXPECT_TRUE(prefs.gridPlans().empty());

    // Forget empties the learned sizes; nobody is told, the page looks again.
    click(static_cast<QAbstractButton*>(page->learnedSizesRow()->control()));
    EXPECT_TRUE(prefs.minimumSizes().empty());
    EXPECT_EQ(page->learnedSizesRow(), nullptr);
    EXPECT_TRUE(prefs.store().contains("minimumSizes"));
}

TEST_F(ArrangeSettings, TurnOnRemovesExactlyThatScreen)
{
    prefs.setDisplaysOff({"Studio", "Built-in Display", "Gone"});
    open();
    std::vector<QString> warnings;
    for (WarningLabel* w : page->screenOffWarnings())
        warnings.push_back(w->text());
    // A screen that is not connected gets no row.
    EXPECT_EQ(warnings, (std::vector<QString>{"Kavelo is leaving Built-in Display alone.",
                                              "Kavelo is leaving Studio alone."}));
    EXPECT_EQ(page->turnOnButton("Gone"), nullptr);
    ASSERT_NE(page->turnOnButton("Studio"), nullptr);
    EXPECT_EQ(page->turnOnButton("Studio")->text(), "Turn on");
    click(page->turnOnButton("Studio"));
    EXPECT_EQ(prefs.displaysOff(), (std::set<std::string>{"Built-in Display", "Gone"}));
    ASSERT_EQ(page->screenOffWarnings().size(), 1u);
    EXPECT_EQ(page->screenOffWarnings()[0]->text(), "Kavelo is leaving Built-in Display alone.");
}

TEST_F(ArrangeSettings, TurnOnAndForgetAreThePagesPlainPills)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setDisplaysOff({"Studio"});
    prefs.setMinimumSizes({{"dev.zed", Size(400, 300)}});
    open();
    ASSERT_NE(page->learnedSizesRow(), nullptr);
    for (QWidget* button : {static_cast<QWidget*>(page->turnOnButton("Studio")), page->learnedSizesRow()->control()}) {
        const auto* pill = dynamic_cast<kavelo::PillButton*>(button);
        ASSERT_NE(pill, nullptr) << "the toolkit's own button";
        EXPECT_FALSE(pill->prominent()) << pill->text().toStdString();
    }
}

TEST_F(ArrangeSettings, KeepFreeNoneStoresZeroWhileAnyRemovesThePosition)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setReservedEdges({{"left", 48}});
    open();
    for (const char* edge : {"top", "bottom", "right"})
        EXPECT_EQ(picker(QString("Keep free: ") + edge)->currentText(), "None");
    EXPECT_EQ(picker("Keep free: left")->currentText(), "48 px");
    EXPECT_EQ(texts(picker("Keep free: top")), (QStringList{"None", "24 px", "48 px", "80 px", "120 px"}));
    ASSERT_TRUE(picker("Keep free: left")->choose("None"));
    ASSERT_TRUE(picker("Keep free: bottom")->choose("120 px"));
    EXPECT_EQ(prefs.reservedEdges(), (std::map<std::string, int>{{"left", 0}, {"bottom", 120}}));
    ASSERT_TRUE(picker("Keep free: bottom")->choose("None"));
    EXPECT_EQ(prefs.reservedEdges(), (std::map<std::string, int>{{"left", 0}, {"bottom", 0}}));

    AppRow* brew = page->appRows().front();
    ASSERT_EQ(brew->app().bundleID, std::optional<std::string>("com.Brew"));
    EXPECT_EQ(brew->positionPicker()->currentText(), "Any");
    ASSERT_TRUE(brew->positionPicker()->choose("Main"));
    EXPECT_EQ(prefs.stripSlots(), (std::map<std::string, int>{{"com.Brew", 1}}));
    ASSERT_TRUE(page->appRows().front()->positionPicker()->choose("4"));
    EXPECT_EQ(prefs.stripSlots(), (std::map<std::string, int>{{"com.Brew", 4}}));
    ASSERT_TRUE(page->appRows().front()->positionPicker()->choose("Any"));
    EXPECT_TRUE(prefs.stripSlots().empty());

    EXPECT_EQ(texts(picker("Gap between windows")),
              (QStringList{"None", "4 px", "8 px", "10 px", "16 px", "24 px"}));
    ASSERT_TRUE(picker("Main window")->choose("Two thirds"));
    EXPECT_EQ(prefs.mainShare(), 2.0 / 3.0);
    EXPECT_EQ(picker("Main window")->currentText(), "Two thirds");
}

TEST_F(ArrangeSettings, AStoredValueMatchingNoChoiceShowsNoneAndIsNotRewritten)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setWindowGap(7);
    prefs.setMainShare(0.3);
    prefs.setStripSlots({{"dev.zed", 9}});
    const auto before = defaultsFile();
    open();
    EXPECT_EQ(picker("Gap between windows")->currentIndex(), -1);
    EXPECT_EQ(picker("Main window")->currentIndex(), -1);
    AppRow* zedRow = page->appRows()[1];
    ASSERT_EQ(zedRow->nameLabel()->text(), "Zed");
    EXPECT_EQ(zedRow->positionPicker()->currentIndex(), -1);
    page->refresh();
    EXPECT_EQ(defaultsFile(), before);
}

TEST_F(ArrangeSettings, TheColourRowOnlyWithAHighlightAndItsDialogStoresTheColour)
{
    open();
    ASSERT_NE(page->colourRow(), nullptr);
    EXPECT_FALSE(page->colourRow()->isVisibleTo(page));
    EXPECT_EQ(texts(picker("Highlight")), (QStringList{"None", "Border", "Glow"}));
    ASSERT_TRUE(picker("Highlight")->choose("Glow"));
    EXPECT_EQ(prefs.highlight(), WindowHighlight::glow);
    EXPECT_TRUE(page->colourRow()->isVisibleTo(page));
    // The dividers follow: one between the two rows now.
    EXPECT_EQ(page->activeWindowGroup()->rows()->dividers().size(), 1u);

    auto* well = dynamic_cast<ColourWell*>(page->colourRow()->control());
    ASSERT_NE(well, nullptr);
    click(well);
    ASSERT_NE(well->dialog(), nullptr);
    EXPECT_FALSE(well->dialog()->testOption(QColorDialog::ShowAlphaChannel));
    well->dialog()->setCurrentColor(QColor(0, 128, 255));
    well->dialog()->accept();
    EXPECT_NEAR(prefs.highlightColor().blue, 1.0, 1e-6);
    EXPECT_NEAR(prefs.highlightColor().green, 128 / 255.0, 1e-6);
    EXPECT_EQ(kavelo::hex(prefs.highlightColor()), "0080FF");
    EXPECT_EQ(prefs.highlightColor().opacity, 1.0);

    ASSERT_TRUE(picker("Highlight")->choose("None"));
    EXPECT_FALSE(page->colourRow()->isVisibleTo(page));
}

TEST_F(ArrangeSettings, TheSwipeWarningOnlyWhenTheSystemUsesThatSwipe)
{
    prefs.setArrangeMode(ArrangeMode::strip);
    prefs.setStripSwipeFingers(3);
    sim.setPreference(std::string(kavelo::Trackpad::preferenceDomain), std::string(kavelo::Trackpad::threeFingerKey),
                      2);
    open();
    ASSERT_NE(page->swipeWarning(), nullptr);
    EXPECT_EQ(page->swipeWarning()->text(), kavelo::ArrangeSettings::swipeWarningText());
    EXPECT_GT(top(page->swipeWarning()), top(page->stripHelp()));
    ASSERT_TRUE(picker("Trackpad swipe")->choose("Four fingers"));
    EXPECT_EQ(page->swipeWarning(), nullptr);
    ASSERT_TRUE(picker("Trackpad swipe")->choose("Off"));
    EXPECT_EQ(page->swipeWarning(), nullptr);
    // The system's four-finger swipe, also when only the Bluetooth domain says so.
    sim.setPreference(std::string(kavelo::Trackpad::bluetoothPreferenceDomain),
                      std::string(kavelo::Trackpad::fourFingerKey), 2);
    ASSERT_TRUE(picker("Trackpad swipe")->choose("Four fingers"));
    EXPECT_NE(page->swipeWarning(), nullptr);
}

TEST_F(ArrangeSettings, TheSwipeIsLiveOnlyWhereGesturesReachUsAndWarnsOfTheGrab)
{
    prefs.setArrangeMode(ArrangeMode::strip);
    prefs.setStripSwipeFingers(4);
    open(true);
    EXPECT_EQ(page->row("Trackpad swipe")->unavailable(), std::nullopt);
    EXPECT_EQ(picker("Trackpad swipe")->currentText(), "Four fingers");
    ASSERT_NE(page->swipeWarning(), nullptr);
    EXPECT_EQ(page->swipeWarning()->text(), "While the strip is on, Kavelo takes every trackpad swipe, so the "
                                            "desktop and the window under the pointer no longer get them.");
    ASSERT_TRUE(picker("Trackpad swipe")->choose("Off"));
    EXPECT_EQ(page->swipeWarning(), nullptr);

    // No device: disabled, "Off" shown, the reason given, the choice kept.
    prefs.setStripSwipeFingers(3);
    sim.setTrackpads(0);
    open(true);
    EXPECT_EQ(page->row("Trackpad swipe")->unavailable(), "No trackpad gestures reach Kavelo on this desktop");
    EXPECT_FALSE(picker("Trackpad swipe")->isEnabled());
    EXPECT_EQ(picker("Trackpad swipe")->currentText(), "Off");
    EXPECT_EQ(page->swipeWarning(), nullptr);
    EXPECT_EQ(prefs.stripSwipeFingers(), 3);
}

TEST_F(ArrangeSettings, ApplicationRowsListRegularAppsByNameAndNeverUs)
{
    prefs.setArrangeMode(ArrangeMode::strip);
    sim.addApp(SimApp{.bundleID = std::nullopt, .name = std::nullopt});
    // Two more processes of Brew (three xterms, say) share its one row.
    for (int i = 0; i < 2; ++i)
        sim.addApp(SimApp{.bundleID = std::string("com.Brew"), .name = std::string("Brew")});
    prefs.setLeftAlone({"dev.zed"});
    open();
    // Plain text order: no name first, capitals before small letters.
    EXPECT_EQ(names(page->appRows()), (std::vector<std::string>{"App", "Brew", "Zed", "alpha"}));
    AppRow* nameless = page->appRows().front();
    EXPECT_EQ(nameless->positionPicker(), nullptr);
    ASSERT_NE(nameless->iconLabel(), nullptr);   // the simulated desktop has an icon for everyone
    AppRow* zedRow = page->appRows()[2];
    EXPECT_TRUE(zedRow->leaveAlone()->isChecked());
    EXPECT_FALSE(page->appRows()[1]->leaveAlone()->isChecked());
    EXPECT_EQ(zedRow->iconLabel()->size(), QSize(22, 22));

    click(page->appRows()[1]->leaveAlone());
    EXPECT_EQ(prefs.leftAlone(), (std::set<std::string>{"com.Brew", "dev.zed"}));
    click(page->appRows()[2]->leaveAlone());
    EXPECT_EQ(prefs.leftAlone(), std::set<std::string>{"com.Brew"});
    // Without an identifier the switch has nothing to store and stays off.
    const auto before = defaultsFile();
    click(page->appRows().front()->leaveAlone());
    EXPECT_FALSE(page->appRows().front()->leaveAlone()->isChecked());
    EXPECT_EQ(defaultsFile(), before);

    // Nothing at all to show: still a row, "App", no icon, no position.
    AppRow bare(prefs, RunningApp{.pid = 77}, ArrangeMode::auto_, QImage());
    EXPECT_EQ(bare.nameLabel()->text(), "App");
    EXPECT_EQ(bare.iconLabel(), nullptr);
    EXPECT_EQ(bare.positionPicker(), nullptr);

    // An application that quits is gone at the next change.
    sim.removeApp(zed);
    prefs.setWindowGap(8);
    EXPECT_EQ(names(page->appRows()), (std::vector<std::string>{"App", "Brew", "alpha"}));
}

TEST_F(ArrangeSettings, TheClashLineNamesWhatTheCheckAnswers)
{
    open();
    EXPECT_EQ(page->clashWarning(), nullptr);
    clash = "Tiler";
    prefs.setWindowGap(4);
    ASSERT_NE(page->clashWarning(), nullptr);
    EXPECT_EQ(page->clashWarning()->text(), "Tiler also moves windows. Quit it while using this, or the two will fight.");
    EXPECT_LT(top(page->clashWarning()), top(page->spacingGroup()));
    clash.reset();
    prefs.setWindowGap(8);
    EXPECT_EQ(page->clashWarning(), nullptr);
}

TEST_F(ArrangeSettings, PagePlanIsDecidedFromSettingsAndSystemAlone)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setDisplayLayouts({{"Studio", TidyLayout::custom}, {"Gone", TidyLayout::custom}});
    prefs.setDisplaysOff({"Gone"});
    prefs.setHighlight(WindowHighlight::border);
    const ArrangePagePlan plan = ArrangePage::plan(prefs, sources());
    EXPECT_EQ(plan.screens, (std::vector<std::string>{"Built-in Display", "Studio"}));
    EXPECT_TRUE(plan.screensOff.empty());
    EXPECT_EQ(plan.gridScreens, std::vector<std::string>{"Studio"});
    EXPECT_EQ(plan.learnedSizes, std::nullopt);
    EXPECT_TRUE(plan.colourRow);
    EXPECT_FALSE(plan.swipeWarning);
    EXPECT_EQ(plan.apps.size(), 3u);
    // Without the clash check the page has no clash line.
    ArrangeSources unchecked = sources();
    unchecked.clashingApp = nullptr;
    EXPECT_EQ(ArrangePage::plan(prefs, unchecked).clash, std::nullopt);
}

TEST_F(ArrangeSettings, TheSettingsWindowShowsThePageOnceItHasItsSources)
{
    kavelo::SettingsView view(prefs, watcher, workflows, actions, sim.keyboard(), time(), kavelo::SettingsTab::arrange);
    showSettled(view);
    EXPECT_EQ(dynamic_cast<kavelo::ArrangeSettings*>(view.page()), nullptr);
    view.setArrangeSources(sources());
    showSettled(view);
    auto* shown = dynamic_cast<kavelo::ArrangeSettings*>(view.page());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(view.pageTitle()->text(), "Arrange");
    EXPECT_EQ(shown->width(), 552 - 56);
    view.select(kavelo::SettingsTab::general);
    view.select(kavelo::SettingsTab::arrange);
    settleLayouts();
    shown = dynamic_cast<kavelo::ArrangeSettings*>(view.page());
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_TRUE(shown->modeCard(ArrangeMode::off)->isVisible());
    EXPECT_TRUE(Capture::savePng(Capture::render(view), picturePath("settings_arrange.png")));
}

TEST_F(ArrangeSettings, PicturesOfEachMode)
{
    prefs.setDisplaysOff({"Built-in Display"});
    prefs.setMinimumSizes({{"dev.zed", Size(400, 300)}, {"org.alpha", Size(500, 300)}});
    prefs.setDisplayLayouts({{"Studio", TidyLayout::custom}});
    prefs.setHighlight(WindowHighlight::border);
    prefs.setLeftAlone({"dev.zed"});
    sim.setPreference(std::string(kavelo::Trackpad::preferenceDomain), std::string(kavelo::Trackpad::threeFingerKey),
                      2);
    clash = "Tiler";
    open();
    for (ArrangeMode mode : kavelo::allArrangeModes) {
        prefs.setArrangeMode(mode);
        prefs.setStripSwipeFingers(3);
        scheduler.advance(1);
        settleLayouts();
        const QSize size(page->width(), page->sizeHint().height());
        column->setFixedHeight(size.height());
        settleLayouts();
        QImage image(page->size(), QImage::Format_ARGB32);
        image.fill(kavelo::SettingsStyle::windowBackground());
        QPainter painter(&image);
        painter.drawImage(0, 0, Capture::render(*page));
        painter.end();
        EXPECT_TRUE(Capture::savePng(image, picturePath("arrange_" + std::string(kavelo::rawValue(mode)) + ".png")));
    }
}
