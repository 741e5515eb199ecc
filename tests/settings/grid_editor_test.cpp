// The grid editor: the plan picture, the interactive builder and the
// chooser that stores every edit, driven with real mouse events.

#include "app/settings/grid_builder.h"
#include "app/settings/grid_chooser.h"
#include "app/settings/grid_presets.h"
#include "app/settings/plan_picture.h"
#include "app/settings/setting_group.h"
#include "app/settings/settings_style.h"
#include "app/ui/capture.h"
#include "app/ui/pill_button.h"
#include "settings/settings_world.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSpinBox>
#include <QTest>

#include <rapidcheck.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>

#include <unistd.h>

// The suites carry the names of the classes they test, so those two stay
// qualified here.
namespace Capture = kavelo::Capture;
using kavelo::ColorScheme;
using kavelo::GridCell;
using kavelo::GridPlan;
using kavelo::GridPosition;
using kavelo::Handle;
using kavelo::PillButton;
using kavelo::SettingGroup;
namespace Theme = kavelo::Theme;
namespace SettingsStyle = kavelo::SettingsStyle;
using kavelo::rawValue;
using namespace kavelo::testing;

namespace {

const GridPlan& preset(std::size_t i)
{
    return GridPlan::presets().at(i).plan;
}

GridPlan weighted(GridPlan plan, std::vector<double> columns, std::optional<std::vector<double>> rows = {})
{
    plan.columnWeights = std::move(columns);
    plan.rowWeights = std::move(rows);
    return plan;
}

// Every position of the grid in exactly one cell.
::testing::AssertionResult coversOnce(const GridPlan& plan)
{
    for (int c = 0; c < plan.columns; ++c)
        for (int r = 0; r < plan.rows; ++r) {
            const auto n = std::count_if(plan.cells.begin(), plan.cells.end(),
                                         [&](const GridCell& cell) { return cell.contains(c, r); });
            if (n != 1)
                return ::testing::AssertionFailure() << "(" << c << ", " << r << ") in " << n << " cells";
        }
    return ::testing::AssertionSuccess();
}

// The widget's picture over a solid background, as a page would show it.
QImage onBackground(QWidget& widget, const QColor& background)
{
    const QImage picture = Capture::render(widget);
    QImage out(picture.size(), QImage::Format_ARGB32);
    out.fill(background);
    QPainter painter(&out);
    painter.drawImage(0, 0, picture);
    return out;
}

QColor over(const QColor& top, double opacity, const QColor& bottom)
{
    const auto mix = [&](float a, float b) { return float(a * opacity + b * (1 - opacity)); };
    return QColor::fromRgbF(mix(top.redF(), bottom.redF()), mix(top.greenF(), bottom.greenF()),
                            mix(top.blueF(), bottom.blueF()));
}

// Runs its work when the scope ends.
class Restore {
public:
    explicit Restore(std::function<void()> work) : work_(std::move(work)) {}
    ~Restore() { work_(); }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    std::function<void()> work_;
};

void savePicture(const QImage& image, const std::string& name)
{
    EXPECT_TRUE(Capture::savePng(image, picturePath(name))) << name;
}

void drag(QWidget* target, QPoint from, QPoint to)
{
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(target, to);
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, to);
}

// The middle of a cell of an even grid drawn in `size`.
QPoint middle(const GridPlan& plan, QSize size, int column, int row)
{
    return QPoint(int((column + 0.5) * size.width() / plan.columns), int((row + 0.5) * size.height() / plan.rows));
}

struct ChooserWorld : ::testing::Test, SettingsWorld {
    static constexpr const char* screen = "Studio";

    kavelo::GridChooser* open(ColorScheme scheme = ColorScheme::dark)
    {
        chooser = new kavelo::GridChooser(prefs, screen, time(), scheme);
        page = std::make_unique<Column>(chooser, 496);
        return chooser;
    }
    void store(const GridPlan& plan) { prefs.setGridPlans({{screen, plan}}); }
    std::optional<GridPlan> stored() const
    {
        const auto it = prefs.gridPlans().find(screen);
        return it == prefs.gridPlans().end() ? std::nullopt : std::optional(it->second);
    }
    kavelo::GridBuilder* builder() const { return chooser->builder(); }
    QPoint at(int column, int row) const { return middle(builder()->plan(), builder()->size(), column, row); }

    kavelo::GridChooser* chooser = nullptr;
    std::unique_ptr<Column> page;
};

} // namespace

struct GridBuilder : ChooserWorld {};
struct GridChooser : ChooserWorld {};

// --- PlanPicture ---------------------------------------------------------

TEST(PlanPicture, NumberedTilesAccentFirstWithABlackOneTheOthersFaintPrimaryWithTheirNumbers)
{
    for (ColorScheme scheme : {ColorScheme::dark, ColorScheme::light}) {
        SCOPED_TRACE(std::string(rawValue(scheme)));
        kavelo::PlanPicture picture(preset(4), true, scheme);   // Big left, 2
        picture.resize(305, 190);
        const QColor background = SettingsStyle::windowBackground(scheme);
        const QImage image = onBackground(picture, background);
        const auto tiles = kavelo::PlanPicture::tiles(preset(4), QSizeF(305, 190), true);
        ASSERT_EQ(tiles.size(), 3u);
        EXPECT_EQ(tiles[0], QRectF(0, 0, 150, 190));
        EXPECT_EQ(tiles[1], QRectF(155, 0, 150, 92.5));

        // Away from the number, each tile is its fill over the page.
        const QColor main = over(Theme::lit(), kavelo::PlanPicture::mainOpacity, background);
        const QColor other = over(Theme::primary(scheme), kavelo::PlanPicture::otherOpacity, background);
        EXPECT_GT(pixelsNear(image, QRect(20, 20, 30, 30), main, 3), 880);
        EXPECT_GT(pixelsNear(image, QRect(175, 10, 30, 20), other, 3), 580);
        EXPECT_GT(pixelsNear(image, QRect(175, 110, 30, 20), other, 3), 580);
        // The numbers in the middle: black on the main tile, primary on the others.
        const auto centre = [](const QRectF& r) { return QRect(r.center().toPoint() - QPoint(8, 8), QSize(16, 16)); };
        EXPECT_GT(pixelsNear(image, centre(tiles[0]), Qt::black, 40), 8);
        EXPECT_GT(pixelsNear(image, centre(tiles[1]), Theme::primary(scheme), 40), 8);
        EXPECT_GT(pixelsNear(image, centre(tiles[2]), Theme::primary(scheme), 40), 8);
        if (scheme == ColorScheme::dark) {
            EXPECT_EQ(pixelsNear(image, centre(tiles[1]), Qt::black, 40), 0);
        }
        // Three numbers, no more: the small style has none at all.
        kavelo::PlanPicture small(preset(4), false, scheme);
        small.resize(305, 190);
        const QImage plain = onBackground(small, background);
        EXPECT_EQ(pixelsNear(plain, centre(tiles[0]), Qt::black, 40), 0);
        savePicture(image, "plan_picture_" + std::string(rawValue(scheme)) + ".png");
    }
}

TEST(PlanPicture, TilesFollowTheWeightsAndAPlanBreakingItsLimitsDrawsNothing)
{
    const GridPlan plan = weighted(GridPlan::even(2, 2), {1, 3}, std::vector<double>{2, 1});
    const auto tiles = kavelo::PlanPicture::tiles(plan, QSizeF(405, 185), true);
    ASSERT_EQ(tiles.size(), 4u);
    EXPECT_EQ(tiles[0], QRectF(0, 0, 100, 120));
    EXPECT_EQ(tiles[1], QRectF(105, 0, 300, 120));
    EXPECT_EQ(tiles[3], QRectF(105, 125, 300, 60));
    kavelo::PlanPicture picture(plan, true);
    picture.resize(405, 185);
    savePicture(onBackground(picture, Theme::night()), "plan_picture_weighted.png");

    GridPlan broken = preset(0);
    broken.cells.push_back({1, 1, 2, 1});   // reaches past the columns
    GridPlan none;
    none.columns = 0;
    for (const GridPlan& bad : {broken, none, GridPlan()}) {
        EXPECT_TRUE(kavelo::PlanPicture::tiles(bad, QSizeF(300, 200), true).empty());
        kavelo::PlanPicture drawn(bad, true);
        drawn.resize(300, 200);
        EXPECT_EQ(opaquePixels(Capture::render(drawn)), 0);
    }
    for (QSizeF empty : {QSizeF(0, 100), QSizeF(100, 0), QSizeF(-5, 10),
                         QSizeF(std::numeric_limits<double>::infinity(), 10)})
        EXPECT_TRUE(kavelo::PlanPicture::tiles(preset(3), empty, false).empty());
}

// --- GridBuilder ---------------------------------------------------------

TEST_F(GridBuilder, CellsAreFoundOnTheTracksAsDrawnWithTheBoundaryMidGap)
{
    kavelo::GridBuilder builder(weighted(GridPlan::even(2, 1), {1, 3}), {});
    const QSizeF area(405, 190);   // tiles 0 … 100 and 105 … 405
    EXPECT_EQ(builder.cell({0.4 * 405, 90}, area), (GridPosition{1, 0}));
    EXPECT_EQ(builder.cell({0.9 * 405, 90}, area), (GridPosition{1, 0}));
    EXPECT_EQ(builder.cell({102.4, 90}, area), (GridPosition{0, 0}));
    EXPECT_EQ(builder.cell({102.5, 90}, area), (GridPosition{1, 0}));
    // Outside the area: the nearest edge cell.
    EXPECT_EQ(builder.cell({-40, -40}, area), (GridPosition{0, 0}));
    EXPECT_EQ(builder.cell({900, 900}, area), (GridPosition{1, 0}));
    // Nothing to hit on an empty area or at a point that is nowhere.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(builder.cell({nan, 10}, area), std::nullopt);
    EXPECT_EQ(builder.cell({10, std::numeric_limits<double>::infinity()}, area), std::nullopt);
    EXPECT_EQ(builder.cell({10, 10}, QSizeF(0, 190)), std::nullopt);
    EXPECT_EQ(builder.cell({10, 10}, QSizeF(405, 0)), std::nullopt);

    // Without weights this is the even division but inside the gaps.
    builder.setPlan(GridPlan::even(3, 4));
    const QSizeF even(600, 400);
    for (double x : {0.0, 100.0, 197.0, 203.0, 350.0, 396.0, 404.0, 599.0})
        for (double y : {0.0, 96.0, 104.0, 250.0, 399.0})
            EXPECT_EQ(builder.cell({x, y}, even), (GridPosition{int(x / 200), int(y / 100)})) << x << ", " << y;

    // The outline lies on the tiles' edges and never leaves the area.
    EXPECT_EQ(builder.selection({0, 0}, {2, 3}, even), QRectF(0, 0, 600, 400));
    const auto tiles = kavelo::PlanPicture::tiles(GridPlan::even(3, 4), even, true);
    EXPECT_EQ(builder.selection({2, 1}, {1, 1}, even), tiles[4].united(tiles[5]));
}

TEST_F(GridBuilder, ADragInsideTheWideTileOfAWeightedPlanLandsOnThatTileOnly)
{
    store(weighted(GridPlan::even(2, 1), {1, 3}));
    open();
    const int w = builder()->width();
    drag(builder(), QPoint(int(0.4 * w), 95), QPoint(int(0.9 * w), 95));
    // A click-like gesture on a 1 × 1 tile: the plan stays as it was.
    EXPECT_EQ(stored(), weighted(GridPlan::even(2, 1), {1, 3}));
    // Across the line as drawn (a quarter of the way) the tiles join.
    drag(builder(), QPoint(int(0.1 * w), 95), QPoint(int(0.4 * w), 95));
    ASSERT_TRUE(stored());
    EXPECT_EQ(stored()->cells, (std::vector<GridCell>{{0, 0, 2, 1}}));
}

TEST_F(GridBuilder, DragJoinsClickSplitsAndAClickOnASingleCellStoresThePlanUnchanged)
{
    open();
    std::vector<std::string> heard;
    const Handle listening = prefs.observe([&](std::string_view p) { heard.emplace_back(p); });

    // A press shows the outline around the cells under the drag.
    QTest::mousePress(builder(), Qt::LeftButton, Qt::NoModifier, at(0, 0));
    QTest::mouseMove(builder(), at(1, 0));
    EXPECT_EQ(builder()->dragStart(), (GridPosition{0, 0}));
    EXPECT_EQ(builder()->dragEnd(), (GridPosition{1, 0}));
    const QImage dragging = onBackground(*builder(), Theme::night());
    const QRectF outline = builder()->selection({0, 0}, {1, 0}, QSizeF(builder()->size()));
    EXPECT_GT(pixelsNear(dragging, QRect(int(outline.center().x()) - 10, 0, 20, 2), Theme::lit(), 10), 20);
    QTest::mouseRelease(builder(), Qt::LeftButton, Qt::NoModifier, at(1, 0));
    EXPECT_EQ(builder()->dragStart(), std::nullopt);
    ASSERT_TRUE(stored());
    EXPECT_EQ(stored()->cells, (std::vector<GridCell>{{0, 0, 2, 1}, {0, 1, 1, 1}, {1, 1, 1, 1}}));
    EXPECT_EQ(builder()->plan(), *stored());

    // A click on the joined tile splits it back.
    QTest::mouseClick(builder(), Qt::LeftButton, Qt::NoModifier, at(1, 0));
    EXPECT_EQ(stored(), GridPlan::even(2, 2));

    // A click on a single cell still stores the plan as it is.
    heard.clear();
    QTest::mouseClick(builder(), Qt::LeftButton, Qt::NoModifier, at(0, 1));
    EXPECT_EQ(stored(), GridPlan::even(2, 2));
    EXPECT_EQ(heard, (std::vector<std::string>{"displaysOff", "gridPlans"}));

    // A drag over a rectangle that cuts a joined tile grows to take it whole.
    store(preset(6));   // Big left, 3: a 2 × 3 main tile, three on the right
    QTest::mousePress(builder(), Qt::LeftButton, Qt::NoModifier, at(1, 0));
    QTest::mouseRelease(builder(), Qt::LeftButton, Qt::NoModifier, at(2, 0));
    EXPECT_EQ(stored()->cells, (std::vector<GridCell>{{0, 0, 3, 3}}));
}

TEST_F(GridBuilder, ADragLeavingTheAreaSelectsUpToTheEdgeCellsAndTheOutlineStaysInside)
{
    store(GridPlan::even(4, 3));
    open();
    const QSize size = builder()->size();
    QTest::mousePress(builder(), Qt::LeftButton, Qt::NoModifier, at(1, 1));
    QTest::mouseMove(builder(), QPoint(-80, -60));
    EXPECT_EQ(builder()->dragEnd(), (GridPosition{0, 0}));
    QTest::mouseMove(builder(), QPoint(size.width() + 90, size.height() + 70));
    EXPECT_EQ(builder()->dragEnd(), (GridPosition{3, 2}));
    const QRectF outline = builder()->selection(*builder()->dragStart(), *builder()->dragEnd(), QSizeF(size));
    EXPECT_TRUE(QRectF(QPointF(0, 0), QSizeF(size)).contains(outline));
    EXPECT_EQ(outline.bottomRight(), QPointF(size.width(), size.height()));
    QTest::mouseRelease(builder(), Qt::LeftButton, Qt::NoModifier, QPoint(size.width() + 90, size.height() + 70));
    EXPECT_EQ(stored()->cells, (std::vector<GridCell>{{1, 1, 3, 2}, {0, 0, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1},
                                                      {3, 0, 1, 1}, {0, 1, 1, 1}, {0, 2, 1, 1}}));
}

TEST_F(GridBuilder, AGestureOnACollapsedAreaIsIgnored)
{
    open();
    builder()->setFixedSize(0, kavelo::GridBuilder::areaHeight);
    QTest::mouseClick(builder(), Qt::LeftButton, Qt::NoModifier, QPoint(0, 10));
    EXPECT_EQ(builder()->dragStart(), std::nullopt);
    EXPECT_EQ(stored(), std::nullopt);
    EXPECT_EQ(defaultsFile(), std::nullopt);
}

// --- GridChooser ---------------------------------------------------------

TEST_F(GridChooser, AScreenWithoutPlanShowsTheFirstPresetAndStoresNothing)
{
    const auto before = defaultsFile();
    open();
    EXPECT_EQ(chooser->group()->titleLabel()->text(), "Your grid: Studio");
    EXPECT_EQ(chooser->presets()->outlined(), std::vector<int>{0});
    EXPECT_EQ(chooser->columnsStepper()->value(), 2);
    EXPECT_EQ(chooser->rowsStepper()->value(), 2);
    EXPECT_EQ(chooser->columnsStepper()->text(), "Columns: 2");
    EXPECT_EQ(chooser->rowsStepper()->text(), "Rows: 2");
    EXPECT_EQ(builder()->plan(), preset(0));
    EXPECT_EQ(builder()->height(), 190);
    std::vector<QString> templates;
    for (PillButton* b : chooser->templateButtons())
        templates.push_back(b->text());
    EXPECT_EQ(templates, (std::vector<QString>{"Coding", "Research", "Video call", "Writing"}));
    // The parts top to bottom, the help text last and wrapped to the width.
    EXPECT_LT(chooser->presets()->mapTo(chooser, QPoint()).y(), chooser->templateButtons()[0]->mapTo(chooser, QPoint()).y());
    EXPECT_LT(chooser->templateButtons()[0]->mapTo(chooser, QPoint()).y(), chooser->columnsStepper()->mapTo(chooser, QPoint()).y());
    EXPECT_LT(chooser->columnsStepper()->mapTo(chooser, QPoint()).y(), builder()->mapTo(chooser, QPoint()).y());
    EXPECT_GT(chooser->helpLabel()->mapTo(chooser, QPoint()).y(), builder()->mapTo(chooser, QPoint()).y() + 190);
    EXPECT_LE(chooser->helpLabel()->width(), 496 - 24);
    EXPECT_GT(chooser->helpLabel()->height(), 2 * QFontMetrics(chooser->helpLabel()->font()).height());
    EXPECT_EQ(defaultsFile(), before);
}

TEST_F(GridChooser, EveryControlTurnsTheScreenBackOnAndStoresThePlanUnderItsName)
{
    open();
    std::vector<std::string> heard;
    const Handle listening = prefs.observe([&](std::string_view p) { heard.emplace_back(p); });
    const std::vector<std::pair<std::string, std::function<void()>>> controls{
        {"preset", [&] { QTest::mouseClick(chooser->presets(), Qt::LeftButton, Qt::NoModifier,
                                           chooser->presets()->tileRect(5).center().toPoint()); }},
        {"template", [&] { QTest::mouseClick(chooser->templateButtons()[0], Qt::LeftButton); }},
        {"stepper", [&] { chooser->columnsStepper()->stepUp(); }},
        {"builder", [&] { QTest::mouseClick(builder(), Qt::LeftButton, Qt::NoModifier, at(0, 0)); }},
    };
    const std::vector<GridPlan> expected{preset(5), GridPlan::templates()[0].plan, GridPlan::even(4, 3),
                                         GridPlan::even(4, 3)};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(controls[i].first);
        // Switched off, or never: the set is assigned either way.
        prefs.setDisplaysOff(i % 2 ? std::set<std::string>{"Other"} : std::set<std::string>{screen, "Other"});
        auto plans = prefs.gridPlans();
        plans["Other"] = preset(8);
        prefs.setGridPlans(plans);
        heard.clear();
        controls[i].second();
        EXPECT_EQ(heard, (std::vector<std::string>{"displaysOff", "gridPlans"}));
        EXPECT_EQ(prefs.displaysOff(), std::set<std::string>{"Other"});
        EXPECT_EQ(prefs.gridPlans().at("Other"), preset(8));
        EXPECT_EQ(stored(), expected[i]);
    }
}

TEST_F(GridChooser, SteppersStopAtTheirLimitsClampTypedValuesAndMakeAnEvenGrid)
{
    store(weighted(preset(4), {1, 2}));   // joined and weighted
    open();
    chooser->columnsStepper()->stepUp();
    EXPECT_EQ(stored(), GridPlan::even(3, 2));
    store(weighted(preset(4), {1, 2}));
    chooser->rowsStepper()->stepDown();
    EXPECT_EQ(stored(), GridPlan::even(2, 1));

    for (int i = 0; i < 8; ++i)
        chooser->columnsStepper()->stepUp();
    for (int i = 0; i < 8; ++i)
        chooser->rowsStepper()->stepUp();
    EXPECT_EQ(stored(), GridPlan::even(6, 4));
    for (int i = 0; i < 8; ++i) {
        chooser->columnsStepper()->stepDown();
        chooser->rowsStepper()->stepDown();
    }
    EXPECT_EQ(stored(), GridPlan::even(1, 1));

    // A typed value out of range comes back within it.
    QLineEdit* typed = chooser->columnsStepper()->findChild<QLineEdit*>();
    ASSERT_NE(typed, nullptr);
    typed->setText("Columns: 0");
    QTest::keyClick(chooser->columnsStepper(), Qt::Key_Return);
    EXPECT_GE(chooser->columnsStepper()->value(), 1);
    typed->setText("Columns: 9");
    QTest::keyClick(chooser->columnsStepper(), Qt::Key_Return);
    EXPECT_LE(chooser->columnsStepper()->value(), 6);
    EXPECT_TRUE(stored()->isValid());
    EXPECT_EQ(stored()->columns, chooser->columnsStepper()->value());
}

TEST_F(GridChooser, ThePresetOutlineComparesCellsOnly)
{
    open();
    store(weighted(GridPlan::even(2, 2), {1, 3}, std::vector<double>{2, 1}));
    EXPECT_EQ(chooser->presets()->outlined(), std::vector<int>{0});
    const QImage image = onBackground(*chooser->presets(), Theme::night());
    const QRectF tile = chooser->presets()->tileRect(0);
    EXPECT_GT(pixelsNear(image, QRect(int(tile.center().x()) - 5, int(tile.top()), 10, 2), Theme::lit(), 10), 10);
    const QRectF unlit = chooser->presets()->tileRect(1);
    EXPECT_EQ(pixelsNear(image, QRect(int(unlit.center().x()) - 5, int(unlit.top()), 10, 2), Theme::lit(), 10), 0);

    store(preset(7));
    EXPECT_EQ(chooser->presets()->outlined(), std::vector<int>{7});
    GridPlan joined = GridPlan::even(3, 2);
    joined.merge({0, 0}, {1, 1});
    store(joined);
    EXPECT_TRUE(chooser->presets()->outlined().empty());
}

TEST_F(GridChooser, APlanBreakingItsLimitsIsNeverStored)
{
    open();
    GridPlan broken = GridPlan::even(2, 2);
    broken.cells.push_back({1, 1, 3, 1});
    store(broken);
    // The builder edits what it shows; the edit breaks the limits and goes nowhere.
    QTest::mouseClick(builder(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(stored(), broken);
    EXPECT_EQ(opaquePixels(Capture::render(*builder())), 0);
}

TEST_F(GridChooser, PicturesInBothSchemes)
{
    for (ColorScheme scheme : {ColorScheme::dark, ColorScheme::light}) {
        SCOPED_TRACE(std::string(rawValue(scheme)));
        page.reset();
        store(weighted(preset(6), {2, 1, 1}));
        open(scheme);
        const QColor background = SettingsStyle::windowBackground(scheme);
        const QImage image = onBackground(*chooser, background);
        // The title and the card follow the scheme.
        const QColor title = Theme::secondary(scheme);
        const QRect titleArea = chooser->group()->titleLabel()->geometry();
        EXPECT_GT(pixelsNear(image, titleArea, over(title, title.alphaF(), background), 40), 10);
        const QRect card = chooser->group()->card()->geometry();
        EXPECT_EQ(pixelsNear(image, QRect(card.left() + 3, card.center().y(), 6, 6),
                             over(Theme::primary(scheme), SettingGroup::cardOpacity, background), 2),
                  36);
        savePicture(image, "grid_chooser_" + std::string(rawValue(scheme)) + ".png");
    }
}

// --- Random edits ----------------------------------------------------------

TEST_F(GridChooser, RandomEditsKeepTheStoredPlanValidAndEveryPositionInOneCell)
{
    // Thousands of stored edits: the defaults live in memory, so the test
    // does not wait on the disk.
    const std::filesystem::path memory =
        std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    const std::filesystem::path file = memory / ("kavelo-grid-" + std::to_string(::getpid()) + ".json");
    const Restore removeFile([file] { std::filesystem::remove(file); });
    kavelo::UserDefaults memoryStore(file);
    kavelo::Preferences preferences(memoryStore, sim.loginItem(), [](int) { return false; });
    auto* editor = new kavelo::GridChooser(preferences, screen, time());
    Column column(editor, 496);
    kavelo::GridBuilder* area = editor->builder();

    const auto property = [&] {
        preferences.setGridPlans({{screen, preset(0)}});
        area->setFixedSize(472, kavelo::GridBuilder::areaHeight);
        const auto steps = *rc::gen::resize(
            40, rc::gen::container<std::vector<std::tuple<int, int, int, int, int>>>(rc::gen::tuple(
                    rc::gen::inRange(0, 6), rc::gen::inRange(-60, 700), rc::gen::inRange(-60, 400),
                    rc::gen::inRange(-60, 700), rc::gen::inRange(-60, 400))));
        for (const auto& [kind, a, b, c, d] : steps) {
            switch (kind) {
            case 0: drag(area, QPoint(a, b), QPoint(c, d)); break;
            case 1: QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, QPoint(a, b)); break;
            case 2:
                QTest::mouseClick(editor->presets(), Qt::LeftButton, Qt::NoModifier,
                                  editor->presets()->tileRect(std::abs(a) % 9).center().toPoint());
                break;
            case 3: QTest::mouseClick(editor->templateButtons()[std::size_t(std::abs(a) % 4)], Qt::LeftButton); break;
            case 4: (b % 2 ? editor->rowsStepper() : editor->columnsStepper())->stepBy(c % 4); break;
            case 5: area->setFixedSize(std::max(0, a), std::max(0, b)); break;
            }
            const GridPlan plan = preferences.plan(screen);
            RC_ASSERT(plan.isValid());
            RC_ASSERT(bool(coversOnce(plan)));
            RC_ASSERT(area->plan() == plan);
            RC_ASSERT(editor->columnsStepper()->value() == plan.columns);
            RC_ASSERT(editor->rowsStepper()->value() == plan.rows);
            const QSizeF size(area->size());
            const std::size_t drawn = kavelo::PlanPicture::tiles(plan, size, true).size();
            RC_ASSERT(drawn == (size.isEmpty() ? 0 : plan.cells.size()));
        }
    };
    EXPECT_TRUE(rc::check("random edits keep the plan whole", property));
}
