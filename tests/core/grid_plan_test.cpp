#include "core/grid_plan.h"

#include "core/core_builders.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <limits>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

std::vector<GridCell> cellsOf(std::initializer_list<GridCell> cells) { return cells; }

} // namespace

TEST(GridPlan, ConstructionSortsCellsCanonically)
{
    const GridPlan plan(3, 2, {{2, 1, 1, 1}, {0, 1, 1, 1}, {1, 0, 2, 1}, {0, 0, 1, 1}});
    EXPECT_EQ(plan.cells, cellsOf({{1, 0, 2, 1}, {0, 0, 1, 1}, {0, 1, 1, 1}, {2, 1, 1, 1}}));
    // Nothing is clamped.
    EXPECT_EQ(GridPlan(9, 0, {}).columns, 9);
}

TEST(GridPlan, EvenClampsItsCounts)
{
    const GridPlan tall = GridPlan::even(0, 9);
    EXPECT_EQ(tall.columns, 1);
    EXPECT_EQ(tall.rows, 4);
    EXPECT_EQ(tall.cells, cellsOf({{0, 0, 1, 1}, {0, 1, 1, 1}, {0, 2, 1, 1}, {0, 3, 1, 1}}));
    const GridPlan wide = GridPlan::even(8, 1);
    EXPECT_EQ(wide.columns, 6);
    EXPECT_EQ(wide.cells.size(), 6u);
    EXPECT_FALSE(wide.columnWeights);
    EXPECT_EQ(GridPlan::even(2, 2).cells, cellsOf({{0, 0, 1, 1}, {1, 0, 1, 1}, {0, 1, 1, 1}, {1, 1, 1, 1}}));
}

TEST(GridPlan, PresetsAndTemplates)
{
    std::vector<std::string> names;
    for (const auto& p : GridPlan::presets())
        names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"2 \u00d7 2", "3 \u00d7 2", "4 \u00d7 2", "3 \u00d7 3", "Big left, 2",
                                               "Big right, 2", "Big left, 3", "Big top, 2", "Big centre"}));
    EXPECT_EQ(preset("Big centre"),
              GridPlan(4, 2, {{1, 0, 2, 2}, {0, 0, 1, 2}, {3, 0, 1, 1}, {3, 1, 1, 1}}));
    EXPECT_EQ(preset("Big centre").cells.front(), (GridCell{1, 0, 2, 2}));
    EXPECT_EQ(preset("Big right, 2").cells, cellsOf({{1, 0, 1, 2}, {0, 0, 1, 1}, {0, 1, 1, 1}}));
    for (const auto& p : GridPlan::presets()) {
        EXPECT_TRUE(p.plan.isValid()) << p.name;
        EXPECT_FALSE(p.plan.columnWeights || p.plan.rowWeights);
    }

    const auto& templates = GridPlan::templates();
    ASSERT_EQ(templates.size(), 4u);
    EXPECT_EQ(templates[0], (NamedGridPlan{"Coding", preset("Big left, 3")}));
    EXPECT_EQ(templates[1], (NamedGridPlan{"Research", preset("3 \u00d7 2")}));
    EXPECT_EQ(templates[2], (NamedGridPlan{"Video call", preset("Big right, 2")}));
    EXPECT_EQ(templates[3], (NamedGridPlan{"Writing", preset("Big centre")}));
}

TEST(GridPlan, ForCountFollowsTheWindows)
{
    for (int n : {-1, 0, 1, 2})
        EXPECT_EQ(GridPlan::forCount(n), GridPlan::even(2, 1)) << n;
    EXPECT_EQ(GridPlan::forCount(3), preset("Big left, 2"));
    EXPECT_EQ(GridPlan::forCount(4), preset("2 \u00d7 2"));
    EXPECT_EQ(GridPlan::forCount(5), preset("3 \u00d7 2"));
    EXPECT_EQ(GridPlan::forCount(9), preset("3 \u00d7 2"));
}

TEST(GridPlan, Simplified)
{
    EXPECT_EQ(preset("3 \u00d7 3").simplified(3), GridPlan::even(2, 2));
    EXPECT_EQ(preset("3 \u00d7 3").simplified(1), GridPlan::even(1, 1));
    EXPECT_EQ(preset("3 \u00d7 3").simplified(9), preset("3 \u00d7 3"));
    EXPECT_EQ(preset("3 \u00d7 3").simplified(0), preset("3 \u00d7 3"));
    EXPECT_EQ(preset("4 \u00d7 2").simplified(5), GridPlan::even(3, 2));
    EXPECT_EQ(GridPlan::even(1, 4).simplified(3), GridPlan::even(1, 3)); // never more columns than the plan
    EXPECT_EQ(preset("Big left, 2").simplified(2), preset("Big left, 2"));
    GridPlan weighted = preset("3 \u00d7 3");
    weighted.moveColumnLine(0, 0.5);
    EXPECT_EQ(weighted.simplified(3), weighted);
}

TEST(GridPlan, SimplifiedNeverDropsBelowTheWindowCount)
{
    // 21 windows would want 5 × 5, which the row limit cuts to 5 × 4.
    const GridPlan full = GridPlan::even(6, 4);
    for (int n : {21, 22, 23})
        EXPECT_EQ(full.simplified(n), full) << n;
    EXPECT_EQ(full.simplified(20), GridPlan::even(5, 4));
}

TEST(GridPlan, CellsMergeNeighboursDownToTheWindowCount)
{
    EXPECT_EQ(preset("2 \u00d7 2").cellsForCount(2), cellsOf({{0, 0, 1, 2}, {1, 0, 1, 2}}));
    EXPECT_EQ(preset("Big left, 2").cellsForCount(1), cellsOf({{0, 0, 2, 2}}));
    EXPECT_EQ(preset("Big left, 2").cellsForCount(0), cellsOf({{0, 0, 2, 2}}));
    EXPECT_EQ(preset("Big left, 2").cellsForCount(3), preset("Big left, 2").cells);
    EXPECT_EQ(preset("Big left, 2").cellsForCount(7), preset("Big left, 2").cells);
    // Three of "3 × 2": each lower cell folds into the cell above it.
    EXPECT_EQ(preset("3 \u00d7 2").cellsForCount(3), cellsOf({{0, 0, 1, 2}, {1, 0, 1, 2}, {2, 0, 1, 2}}));
    // Cells that cannot combine stay, even above the count.
    const GridPlan pinwheel(3, 3, {{0, 0, 2, 1}, {2, 0, 1, 2}, {1, 2, 2, 1}, {0, 1, 1, 2}, {1, 1, 1, 1}});
    EXPECT_EQ(pinwheel.cellsForCount(1).size(), 5u);
}

TEST(GridPlan, FramesFollowTracksAndWeights)
{
    EXPECT_EQ(preset("2 \u00d7 2").frames(4, Rect(0, 0, 1000, 500), 10),
              (std::vector<Rect>{{0, 0, 495, 245}, {505, 0, 495, 245}, {0, 255, 495, 245}, {505, 255, 495, 245}}));
    // A spanning cell takes the gaps between its tracks.
    EXPECT_EQ(preset("Big left, 2").frames(3, Rect(100, 50, 1000, 500), 10),
              (std::vector<Rect>{{100, 50, 495, 500}, {605, 50, 495, 245}, {605, 305, 495, 245}}));
    GridPlan weighted = GridPlan::even(2, 1);
    weighted.columnWeights = {{3, 1}};
    EXPECT_EQ(weighted.frames(2, Rect(0, 0, 1010, 500), 10),
              (std::vector<Rect>{{0, 0, 750, 500}, {760, 0, 250, 500}}));
    weighted.columnWeights = {{3, 1, 1}}; // wrong length: even columns
    EXPECT_EQ(weighted.frames(2, Rect(0, 0, 1010, 500), 10),
              (std::vector<Rect>{{0, 0, 500, 500}, {510, 0, 500, 500}}));
    EXPECT_TRUE(GridPlan(2, 2, {}).frames(3, Rect(0, 0, 100, 100), 0).empty());
}

TEST(GridPlan, FramesOfBrokenPlansStayOnTheGrid)
{
    // Only stored settings can hold such plans; frames must still be usable.
    const Rect r(0, 0, 1000, 500);
    GridPlan zeroWeights = GridPlan::even(2, 1);
    zeroWeights.columnWeights = {{0, 0}};
    EXPECT_EQ(zeroWeights.frames(2, r, 10), GridPlan::even(2, 1).frames(2, r, 10));
    zeroWeights.columnWeights = {{std::numeric_limits<double>::infinity(), 1}};
    EXPECT_EQ(zeroWeights.frames(2, r, 10), GridPlan::even(2, 1).frames(2, r, 10));

    GridPlan outside;
    outside.columns = 2;
    outside.rows = 1;
    outside.cells = {{5, -3, 4, 9}, {1, 0, std::numeric_limits<int>::max(), 1}, {-7, 0, 1, 1}};
    for (const Rect& f : outside.frames(3, r, 10)) {
        EXPECT_TRUE(f.isFinite());
        EXPECT_TRUE(r.contains(f)) << f;
    }
    EXPECT_TRUE(GridPlan().frames(1, r, 10).empty());
    GridPlan noTracks;
    noTracks.columns = 0;
    noTracks.cells = {{0, 0, 1, 1}};
    EXPECT_TRUE(noTracks.frames(1, r, 10).empty());
}

TEST(GridPlan, Merge)
{
    GridPlan tall(2, 2, {{0, 0, 1, 2}, {1, 0, 1, 1}, {1, 1, 1, 1}});
    const GridPlan before = tall;
    tall.merge({0, 0}, {0, 0});
    EXPECT_EQ(tall, before);

    GridPlan bigLeft = preset("Big left, 2");
    bigLeft.merge({0, 0}, {1, 0});
    EXPECT_EQ(bigLeft.cells, cellsOf({{0, 0, 2, 2}}));

    GridPlan grid = GridPlan::even(3, 3);
    grid.moveRowLine(0, 0.3);
    grid.merge({2, 2}, {1, 1});
    EXPECT_EQ(grid.cells.front(), (GridCell{1, 1, 2, 2}));
    EXPECT_EQ(grid.cells.size(), 6u);
    EXPECT_TRUE(grid.rowWeights); // weights stay

    GridPlan untouched = GridPlan::even(2, 2);
    untouched.merge({0, 0}, {2, 0}); // off the grid
    EXPECT_EQ(untouched, GridPlan::even(2, 2));
}

TEST(GridPlan, Split)
{
    GridPlan plan = preset("Big left, 3");
    plan.split(1, 2);
    EXPECT_EQ(plan, GridPlan::even(3, 3));
    plan.split(7, 7);
    EXPECT_EQ(plan, GridPlan::even(3, 3));
    GridPlan top = preset("Big top, 2");
    top.split(0, 1); // a 1 × 1 cell stays as it is
    EXPECT_EQ(top, preset("Big top, 2"));
}

TEST(GridPlan, MovingGridLines)
{
    GridPlan plan = GridPlan::even(2, 1);
    plan.moveColumnLine(0, 0.05);
    ASSERT_TRUE(plan.columnWeights);
    EXPECT_NEAR((*plan.columnWeights)[0], 0.24, 1e-12);
    EXPECT_NEAR((*plan.columnWeights)[1], 1.76, 1e-12);
    EXPECT_FALSE(plan.rowWeights);

    GridPlan same = GridPlan::even(2, 1);
    same.moveColumnLine(1, 0.5);
    same.moveColumnLine(-1, 0.5);
    same.moveRowLine(0, 0.5);
    EXPECT_EQ(same, GridPlan::even(2, 1));

    // Tracks on each side keep their proportions; the line lands at the fraction.
    GridPlan three = GridPlan::even(3, 2);
    three.moveColumnLine(1, 0.9);
    ASSERT_TRUE(three.columnWeights);
    EXPECT_NEAR((*three.columnWeights)[0], (*three.columnWeights)[1], 1e-12);
    EXPECT_NEAR((*three.columnWeights)[0] + (*three.columnWeights)[1], 0.88 * 3, 1e-12);
    const auto frames = three.frames(6, Rect(0, 0, 1020, 600), 10);
    EXPECT_NEAR(frames[1].maxX(), 0.88 * 1000 + 10, 1e-9);

    GridPlan rows = GridPlan::even(1, 4);
    rows.moveRowLine(2, 0.5);
    ASSERT_TRUE(rows.rowWeights);
    EXPECT_NEAR((*rows.rowWeights)[3], 2.0, 1e-12);
}

TEST(GridPlan, LineMovesNeverStoreBrokenWeights)
{
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        GridPlan plan = GridPlan::even(3, 2);
        plan.moveColumnLine(0, bad);
        plan.moveRowLine(0, bad);
        EXPECT_EQ(plan, GridPlan::even(3, 2)) << bad;
    }
    // Stored weights that are no use are replaced by even ones before moving.
    GridPlan zero = GridPlan::even(2, 1);
    zero.columnWeights = {{0, 0}};
    zero.moveColumnLine(0, 0.25);
    ASSERT_TRUE(zero.columnWeights);
    EXPECT_EQ(*zero.columnWeights, (std::vector<double>{0.5, 1.5}));
    GridPlan tiny = GridPlan::even(2, 1);
    tiny.columnWeights = {{5e-324, 1e308}};
    tiny.moveColumnLine(0, 0.5);
    for (double w : tiny.columnWeights.value_or(std::vector<double>{1, 1}))
        EXPECT_TRUE(std::isfinite(w) && w > 0) << w;
}

TEST(GridPlanJson, RoundTripsAndKeepsStoredOrder)
{
    GridPlan plan = preset("Big centre");
    plan.moveColumnLine(0, 0.3);
    const Json j = toJson(plan);
    EXPECT_EQ(j.at("cells").at(0), (Json{{"column", 1}, {"row", 0}, {"columnSpan", 2}, {"rowSpan", 2}}));
    EXPECT_TRUE(j.contains("columnWeights"));
    EXPECT_FALSE(j.contains("rowWeights"));
    EXPECT_EQ(GridPlan_fromJson(j), plan);
    EXPECT_EQ(GridPlan_fromJson(*json::parse(toJson(plan).dump())), plan);

    const auto stored = GridPlan_fromJson(*json::parse(
        R"({"columns":2,"rows":2,"cells":[{"column":1,"row":1,"columnSpan":1,"rowSpan":1},
            {"column":0,"row":0,"columnSpan":1,"rowSpan":2}]})"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->cells.front(), (GridCell{1, 1, 1, 1}));
    EXPECT_EQ(GridCell_fromJson(toJson(GridCell{1, 2, 3, 4})), (GridCell{1, 2, 3, 4}));
}

TEST(GridPlanJson, MalformedPlansFail)
{
    auto decode = [](const char* text) { return GridPlan_fromJson(*json::parse(text)); };
    const char* cell = R"({"column":0,"row":0,"columnSpan":1,"rowSpan":1})";
    EXPECT_TRUE(decode((std::string(R"({"columns":1,"rows":1,"cells":[)") + cell + "]}").c_str()));
    EXPECT_FALSE(decode(R"({"rows":1,"cells":[{"column":0,"row":0,"columnSpan":1,"rowSpan":1}]})"));
    EXPECT_FALSE(decode(R"({"columns":1.5,"rows":1,"cells":[{"column":0,"row":0,"columnSpan":1,"rowSpan":1}]})"));
    EXPECT_FALSE(decode(R"({"columns":"1","rows":1,"cells":[{"column":0,"row":0,"columnSpan":1,"rowSpan":1}]})"));
    EXPECT_FALSE(decode(R"({"columns":1,"rows":1,"cells":[{"column":0,"row":0,"columnSpan":1}]})"));
    EXPECT_FALSE(decode(R"({"columns":1,"rows":1,"cells":{}})"));
    EXPECT_FALSE(decode(R"({"columns":1,"rows":1,"cells":[{"column":0,"row":0,"columnSpan":1,"rowSpan":1}],
                            "columnWeights":["1"]})"));
    EXPECT_FALSE(decode(R"([1,2])"));
    EXPECT_FALSE(GridCell_fromJson(*json::parse(R"({"column":0,"row":0,"columnSpan":1,"rowSpan":3000000000})")));
}

TEST(GridPlanJson, PlansOutsideTheirLimitsAreNoPlans)
{
    auto withGrid = [](int columns, int rows, const std::string& cells) {
        return GridPlan_fromJson(*json::parse(R"({"columns":)" + std::to_string(columns) + R"(,"rows":)" +
                                              std::to_string(rows) + R"(,"cells":[)" + cells + "]}"));
    };
    auto cell = [](int c, int r, int cs, int rs) { return toJson(GridCell{c, r, cs, rs}).dump(); };
    EXPECT_TRUE(withGrid(6, 4, cell(0, 0, 6, 4)));
    EXPECT_FALSE(withGrid(2, 2, ""));                  // no cells
    EXPECT_FALSE(withGrid(0, 1, cell(0, 0, 1, 1)));    // no columns
    EXPECT_FALSE(withGrid(7, 1, cell(0, 0, 1, 1)));    // too many columns
    EXPECT_FALSE(withGrid(1, 5, cell(0, 0, 1, 1)));    // too many rows
    EXPECT_FALSE(withGrid(2, 2, cell(1, 0, 2, 1)));    // past the last column
    EXPECT_FALSE(withGrid(2, 2, cell(0, 1, 1, 2)));    // past the last row
    EXPECT_FALSE(withGrid(2, 2, cell(-1, 0, 1, 1)));   // before the first column
    EXPECT_FALSE(withGrid(2, 2, cell(0, 0, 0, 1)));    // no span
    EXPECT_FALSE(withGrid(2, 2, cell(0, 0, 1, 1) + "," + cell(1, 1, 1, 2147483647)));
    EXPECT_FALSE(withGrid(2, 2, cell(0, 0, 2, 1) + "," + cell(1, 0, 1, 2)));   // overlapping cells
    EXPECT_FALSE(withGrid(2, 1, cell(0, 0, 1, 1) + "," + cell(0, 0, 1, 1)));   // the same cell twice
    EXPECT_TRUE(withGrid(3, 1, cell(0, 0, 1, 1) + "," + cell(2, 0, 1, 1)));    // a gap is fine
}

TEST(GridPlanJson, AStoredPlanOfThousandsOfCellsIsNoPlan)
{
    // 2,000 cells inside a 6 × 4 grid passed validation and took the merge
    // of `frames(3)` two seconds; a plan holds at most 24 cells.
    Json cells = Json::array();
    for (int i = 0; i < 2000; ++i)
        cells.push_back(toJson(GridCell{i % 6, (i / 6) % 4, 1, 1}));
    const Json stored{{"columns", 6}, {"rows", 4}, {"cells", cells}};
    EXPECT_EQ(GridPlan_fromJson(stored), std::nullopt);
    GridPlan plan(6, 4, {});
    for (const Json& c : cells)
        plan.cells.push_back(*GridCell_fromJson(c));
    EXPECT_FALSE(plan.isValid());
    // 24 cells is the most that fits; every one of them is used.
    cells.erase(cells.begin() + 24, cells.end());
    const std::optional<GridPlan> full = GridPlan_fromJson(Json{{"columns", 6}, {"rows", 4}, {"cells", cells}});
    ASSERT_TRUE(full);
    EXPECT_EQ(full->frames(3, Rect(0, 0, 1200, 800), 10).size(), 3u);
}

TEST(GridPlanJson, UnusableWeightsAreDropped)
{
    auto decode = [](const std::string& weights) {
        return GridPlan_fromJson(*json::parse(
            R"({"columns":2,"rows":1,"cells":[{"column":0,"row":0,"columnSpan":1,"rowSpan":1},
                {"column":1,"row":0,"columnSpan":1,"rowSpan":1}],"columnWeights":)" + weights +
            R"(,"rowWeights":[2]})"));
    };
    EXPECT_EQ(decode("[1, 3]")->columnWeights, (std::vector<double>{1, 3}));
    EXPECT_EQ(decode("[1, 3]")->rowWeights, (std::vector<double>{2}));
    EXPECT_FALSE(decode("[0, 3]")->columnWeights);
    EXPECT_FALSE(decode("[-1, 3]")->columnWeights);
    EXPECT_EQ(decode("[0, 3]")->rowWeights, (std::vector<double>{2}));
    EXPECT_FALSE(decode("[1e999, 3]")); // not a finite number: not JSON we accept
    EXPECT_EQ(decode("[1, 2, 3]")->columnWeights, (std::vector<double>{1, 2, 3})); // kept; frames ignore it
}

TEST(GridPlanJson, WeightsWhoseTilesWouldNotBeFiniteAreDropped)
{
    // Found by fuzzing: the first tile was infinitely wide, so a new window
    // was left untiled.
    const auto overflowing = GridPlan_fromJson(*json::parse(
        R"({"columns":2,"rows":1,"cells":[{"column":0,"row":0,"columnSpan":1,"rowSpan":1},
            {"column":1,"row":0,"columnSpan":1,"rowSpan":1}],"columnWeights":[2.41e307,1.95]})"));
    ASSERT_TRUE(overflowing);
    EXPECT_FALSE(overflowing->columnWeights);
    for (const Rect& f : overflowing->frames(2, Rect(0, 25, 1440, 875), 10))
        EXPECT_TRUE(f.isFinite() && f.width() > 100) << f.width();

    // Huge weights close to each other are fine, and so are their tiles.
    GridPlan huge = GridPlan::even(2, 1);
    huge.columnWeights = {{1e307, 3e307}};
    const auto frames = huge.frames(2, Rect(0, 0, 1010, 500), 10);
    EXPECT_DOUBLE_EQ(frames[0].width(), 250);
    EXPECT_DOUBLE_EQ(frames[1].width(), 750);
    // A track a millionth of another or less is no track.
    huge.columnWeights = {{1, 1.000001e6}};
    EXPECT_EQ(huge.frames(2, Rect(0, 0, 1010, 500), 10), GridPlan::even(2, 1).frames(2, Rect(0, 0, 1010, 500), 10));
}

namespace {

// The random grid editor: the operations the settings window offers.
GridPlan edited(GridPlan plan, int steps)
{
    for (int i = 0; i < steps; ++i) {
        switch (*rc::gen::inRange(0, 6)) {
        case 0:
            plan.merge({*rc::gen::inRange(0, plan.columns), *rc::gen::inRange(0, plan.rows)},
                       {*rc::gen::inRange(0, plan.columns), *rc::gen::inRange(0, plan.rows)});
            break;
        case 1: plan.split(*rc::gen::inRange(-1, plan.columns + 1), *rc::gen::inRange(-1, plan.rows + 1)); break;
        case 2: plan.moveColumnLine(*rc::gen::inRange(-1, plan.columns), *rc::gen::inRange(-10, 110) / 100.0); break;
        case 3: plan.moveRowLine(*rc::gen::inRange(-1, plan.rows), *rc::gen::inRange(-10, 110) / 100.0); break;
        case 4: plan = GridPlan::even(*rc::gen::inRange(-1, 9), *rc::gen::inRange(-1, 6)); break;
        default: plan = GridPlan::presets()[*rc::gen::inRange<size_t>(0, GridPlan::presets().size())].plan; break;
        }
    }
    return plan;
}

long long coveredArea(const std::vector<GridCell>& cells)
{
    long long area = 0;
    for (const GridCell& c : cells)
        area += c.area();
    return area;
}

void assertTiled(const GridPlan& plan, const std::vector<GridCell>& cells)
{
    // Every grid position is covered by exactly one cell.
    for (int c = 0; c < plan.columns; ++c)
        for (int r = 0; r < plan.rows; ++r) {
            int covering = 0;
            for (const GridCell& cell : cells)
                covering += cell.contains(c, r) ? 1 : 0;
            RC_ASSERT(covering == 1);
        }
    RC_ASSERT(coveredArea(cells) == static_cast<long long>(plan.columns) * plan.rows);
}

} // namespace

RC_GTEST_PROP(GridPlanProperties, EditingKeepsAValidTiledPlan, ())
{
    GridPlan plan = GridPlan::even(*rc::gen::inRange(1, 7), *rc::gen::inRange(1, 5));
    const int steps = *rc::gen::inRange(1, 40);
    for (int i = 0; i < steps; ++i) {
        plan = edited(plan, 1);
        RC_ASSERT(plan.isValid());
        assertTiled(plan, plan.cells);
        GridPlan sorted = plan;
        sortCanonically(sorted.cells);
        RC_ASSERT(sorted.cells == plan.cells);
        for (const auto* weights : {&plan.columnWeights, &plan.rowWeights})
            if (*weights)
                for (double w : **weights)
                    RC_ASSERT(std::isfinite(w) && w > 0);
        RC_ASSERT(GridPlan_fromJson(toJson(plan)) == plan);
    }
}

RC_GTEST_PROP(GridPlanProperties, CellsAndFramesForAnyWindowCount, ())
{
    const GridPlan plan = edited(GridPlan::even(*rc::gen::inRange(1, 7), *rc::gen::inRange(1, 5)),
                                 *rc::gen::inRange(0, 12));
    const int count = *rc::gen::inRange(-2, 30);
    const auto cells = plan.cellsForCount(count);
    const size_t target = count < 2 ? 1 : static_cast<size_t>(count);
    RC_ASSERT(!cells.empty());
    RC_ASSERT(cells.size() <= std::max(target, plan.cells.size()));
    if (cells.size() < plan.cells.size())
        RC_ASSERT(cells.size() >= target);
    assertTiled(plan, cells); // merging only joins neighbours
    for (size_t i = 1; i < cells.size(); ++i)
        RC_ASSERT(cells[i - 1].area() >= cells[i].area());

    const Rect r(*rc::gen::inRange(-2000, 2000), *rc::gen::inRange(-500, 1500), *rc::gen::inRange(300, 4000),
                 *rc::gen::inRange(300, 2500));
    const double gap = *rc::gen::inRange(0, 30);
    const auto frames = plan.frames(count, r, gap);
    RC_ASSERT(frames.size() == cells.size());
    for (const Rect& f : frames) {
        RC_ASSERT(f.isFinite());
        RC_ASSERT(f.size.width > 0 && f.size.height > 0);
        RC_ASSERT(r.insetBy(-1e-6, -1e-6).contains(f));
    }

    const GridPlan simple = plan.simplified(count);
    RC_ASSERT(simple.isValid());
    if (count >= 1)
        RC_ASSERT(simple.cells.size() >= std::min(static_cast<size_t>(count), plan.cells.size()));
}
