#include "core/strip.h"

#include "core/core_builders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;
using ::testing::ElementsAre;

TEST(StripTypes, CenterModeAndPinTexts)
{
    EXPECT_THAT(Strip::allCenterModes,
                ElementsAre(Strip::CenterMode::never, Strip::CenterMode::overflow, Strip::CenterMode::always));
    EXPECT_EQ(title(Strip::CenterMode::never), "Never");
    EXPECT_EQ(title(Strip::CenterMode::overflow), "When the strip overflows");
    EXPECT_EQ(title(Strip::CenterMode::always), "Always");
    for (auto mode : Strip::allCenterModes)
        EXPECT_EQ(Strip::CenterMode_from(rawValue(mode)), mode);
    EXPECT_EQ(rawValue(Strip::CenterMode::overflow), "overflow");
    EXPECT_EQ(Strip::CenterMode_from("Always"), std::nullopt);
    EXPECT_EQ(Strip::Pin_from("left"), Strip::Pin::left);
    EXPECT_EQ(Strip::Pin_from("right"), Strip::Pin::right);
    EXPECT_EQ(Strip::Pin_from("top"), std::nullopt);
    EXPECT_EQ(rawValue(Strip::Pin::right), "right");
}

TEST(StripTypes, DefaultsAndConstants)
{
    const Strip s;
    EXPECT_EQ(s.gap, 10);
    EXPECT_TRUE(s.columns.empty());
    EXPECT_EQ(s.focused, std::nullopt);
    EXPECT_EQ(s.scroll, 0);
    EXPECT_FALSE(s.keepsHeight);
    EXPECT_EQ(s.centerMode, Strip::CenterMode::never);
    EXPECT_FALSE(s.isPanning);
    EXPECT_FALSE(s.isCentering());
    EXPECT_EQ(s.panTravelled(), 0);
    EXPECT_EQ(Strip::defaultGap, 10);
    EXPECT_EQ(Strip::parkGap, 2);
    EXPECT_EQ(Strip::tabHeight, 30);
    EXPECT_THAT(Strip::widths, ElementsAre(0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.75, 1.0));
    EXPECT_EQ(column({7, 8}).id(), 7u);
}

TEST(StripSync, EmptyListEmptiesTheStrip)
{
    Strip s = strip({column({1}), column({2, 3})}, 3);
    s.sync({});
    EXPECT_TRUE(s.columns.empty());
    EXPECT_EQ(s.focused, std::nullopt);
}

TEST(StripSync, NewWindowsLandAfterTheFocusedColumnAndTheNewestTakesFocus)
{
    Strip s = strip({column({1}), column({2}), column({3})}, 2);
    s.sync({1, 2, 3, 10, 11});
    EXPECT_EQ(layoutOf(s), (Ids{{1}, {2}, {10}, {11}, {3}}));
    EXPECT_EQ(s.focused, 11u);
    EXPECT_EQ(s.columns[2], (Column{.ids = {10}, .width = 0.5, .active = 10}));

    // A live focused argument wins over the newcomers.
    Strip t = strip({column({1}), column({2}), column({3})}, 2);
    t.sync({1, 2, 3, 10, 11}, 1);
    EXPECT_EQ(layoutOf(t), (Ids{{1}, {2}, {10}, {11}, {3}}));
    EXPECT_EQ(t.focused, 1u);

    // A dead focused argument is ignored.
    Strip u = strip({column({1})}, 1);
    u.sync({1, 5}, 99);
    EXPECT_EQ(u.focused, 5u);

    // Without a focused column new windows go to the end.
    Strip v = strip({column({1}), column({2})}, std::nullopt);
    v.sync({3, 1, 2});
    EXPECT_EQ(layoutOf(v), (Ids{{1}, {2}, {3}}));
    EXPECT_EQ(v.focused, 3u);
}

TEST(StripSync, SlotsAreClampedToTheStrip)
{
    Strip s = strip({column({1}), column({2})}, 1);
    s.sync({1, 2, 3, 4, 5}, std::nullopt, {{3, 0}, {4, 99}, {5, -4}});
    EXPECT_EQ(layoutOf(s), (Ids{{5}, {3}, {1}, {2}, {4}}));
    EXPECT_EQ(s.focused, 5u);

    // A window without an entry falls back to the focused column even when others have slots.
    Strip t = strip({column({1}), column({2})}, 1);
    t.sync({1, 2, 3, 4}, std::nullopt, {{4, 1}});
    EXPECT_EQ(layoutOf(t), (Ids{{4}, {1}, {3}, {2}}));
}

TEST(StripSync, DeadWindowsAndEmptyColumnsAreDropped)
{
    Column tabs = column({4, 5, 6});
    tabs.tabbed = true;
    tabs.active = 5;
    tabs.weights = {{5, 2.0}};
    Strip s = strip({column({1}), column({2}), tabs}, 5);
    s.sync({6, 4, 1});
    ASSERT_EQ(layoutOf(s), (Ids{{1}, {4, 6}}));
    EXPECT_EQ(s.columns[1].active, 4u);
    EXPECT_EQ(s.columns[1].weights.count(5), 1u) << "weights are left alone";
    // The focused window died: the first column's shown window takes over.
    EXPECT_EQ(s.focused, 1u);

    // The focused argument also makes its tab the shown one.
    s.sync({6, 4, 1}, 6);
    EXPECT_EQ(s.focused, 6u);
    EXPECT_EQ(s.columns[1].active, 6u);

    // Duplicates in the live list give one column.
    Strip t;
    t.sync({3, 3, 4, 3});
    EXPECT_EQ(layoutOf(t), (Ids{{3}, {4}}));
}

TEST(StripModel, SelectAndRename)
{
    Column tabs = column({2, 3});
    tabs.tabbed = true;
    tabs.weights = {{3, 1.5}};
    Strip s = strip({column({1}), tabs}, 1);
    s.select(3);
    EXPECT_EQ(s.focused, 3u);
    EXPECT_EQ(s.columns[1].active, 3u);
    s.select(42); // not in the strip: still the focus
    EXPECT_EQ(s.focused, 42u);

    s.select(3);
    s.rename(3, 30);
    EXPECT_EQ(s.columns[1].ids, (std::vector<WindowID>{2, 30}));
    EXPECT_EQ(s.columns[1].active, 30u);
    EXPECT_EQ(s.columns[1].weights, (std::map<WindowID, double>{{30, 1.5}}));
    EXPECT_EQ(s.focused, 30u);

    // Renaming onto a window the strip already holds never duplicates it.
    s.rename(2, 1);
    EXPECT_EQ(s.columns[0].ids, (std::vector<WindowID>{1}));
    EXPECT_EQ(s.columns[1].ids, (std::vector<WindowID>{2, 30}));

    Strip empty;
    empty.focused = 5;
    empty.rename(5, 6);
    EXPECT_EQ(empty.focused, 6u);
}

TEST(StripFocus, MovesNeverWrapAndClearCentering)
{
    Column tabs = column({4, 5});
    tabs.tabbed = true;
    tabs.active = 5;
    Strip s = strip({column({1, 2, 3}), tabs}, 2);

    s.center();
    EXPECT_EQ(s.moveFocus(Direction::left), std::nullopt);
    EXPECT_FALSE(s.isCentering());
    EXPECT_EQ(s.focused, 2u);

    EXPECT_EQ(s.moveFocus(Direction::up), 1u);
    EXPECT_EQ(s.moveFocus(Direction::up), std::nullopt);
    EXPECT_EQ(s.moveFocus(Direction::down), 2u);
    EXPECT_EQ(s.moveFocus(Direction::right), 5u) << "a tabbed column gives its shown tab";
    s.center();
    EXPECT_EQ(s.moveFocus(Direction::right), std::nullopt);
    EXPECT_FALSE(s.isCentering());
    EXPECT_EQ(s.focused, 5u);
    EXPECT_EQ(s.moveFocus(Direction::up), 4u);
    EXPECT_EQ(s.columns[1].active, 4u) << "moving within a tabbed column switches tabs";
    EXPECT_EQ(s.moveFocus(Direction::left), 1u) << "an untabbed column gives its top window";

    Strip lost = strip({column({1})}, 9);
    lost.center();
    EXPECT_EQ(lost.moveFocus(Direction::right), std::nullopt);
    EXPECT_TRUE(lost.isCentering()) << "no focused column: nothing changes";
}

TEST(StripFocus, NumberedAndEndColumnsGoToTheShownWindow)
{
    Column second = column({2, 3});
    second.active = 3; // untabbed, yet active is what these go to
    Strip s = strip({column({1}), second, column({4})}, 1);
    EXPECT_EQ(s.focusColumn(0), std::nullopt);
    EXPECT_EQ(s.focusColumn(4), std::nullopt);
    s.center();
    EXPECT_EQ(s.focusColumn(2), 3u);
    EXPECT_FALSE(s.isCentering());
    EXPECT_EQ(s.focusEnd(true), 4u);
    EXPECT_EQ(s.focusEnd(false), 1u);
    Strip empty;
    EXPECT_EQ(empty.focusEnd(true), std::nullopt);
}

TEST(StripColumns, MoveColumns)
{
    Strip s = strip({column({1}), column({2}), column({3})}, 2);
    s.moveColumn(Direction::left);
    EXPECT_EQ(layoutOf(s), (Ids{{2}, {1}, {3}}));
    s.moveColumn(Direction::left);
    EXPECT_EQ(layoutOf(s), (Ids{{2}, {1}, {3}}));
    s.moveColumn(Direction::down); // any other direction goes right
    EXPECT_EQ(layoutOf(s), (Ids{{1}, {2}, {3}}));

    s.moveColumn(3, 0);
    EXPECT_EQ(layoutOf(s), (Ids{{3}, {1}, {2}}));
    s.moveColumn(3, 50);
    EXPECT_EQ(layoutOf(s), (Ids{{1}, {2}, {3}}));
    s.moveColumn(1, -3);
    EXPECT_EQ(layoutOf(s), (Ids{{1}, {2}, {3}}));
    s.moveColumn(99, 0);
    EXPECT_EQ(layoutOf(s), (Ids{{1}, {2}, {3}}));
    EXPECT_EQ(s.focused, 2u);
}

TEST(StripColumns, StackIntoANeighbour)
{
    Column target = column({1, 2}, 0.75);
    target.tabbed = true;
    Strip s = strip({target, column({3}), column({4, 5})}, 3);
    s.stack(Direction::left);
    EXPECT_EQ(layoutOf(s), (Ids{{1, 2, 3}, {4, 5}}));
    EXPECT_EQ(s.columns[0].active, 3u);
    EXPECT_TRUE(s.columns[0].tabbed);
    EXPECT_EQ(s.columns[0].width, 0.75);
    EXPECT_EQ(s.focused, 3u);

    s.stack(Direction::left); // first column: nothing
    EXPECT_EQ(layoutOf(s), (Ids{{1, 2, 3}, {4, 5}}));

    s.stack(Direction::right);
    EXPECT_EQ(layoutOf(s), (Ids{{1, 2}, {4, 5, 3}}));
    EXPECT_EQ(s.columns[0].active, 1u) << "the old column's shown window left";
}

TEST(StripColumns, PopOutIntoAColumnOfItsOwn)
{
    Column tabs = column({1, 2}, 0.75);
    tabs.tabbed = true;
    tabs.active = 2;
    Strip s = strip({column({9}), tabs}, 2);
    s.popOut(Direction::left);
    EXPECT_EQ(layoutOf(s), (Ids{{9}, {2}, {1}}));
    EXPECT_EQ(s.columns[1], (Column{.ids = {2}, .width = 0.75, .active = 2}));
    EXPECT_FALSE(s.columns[2].tabbed);
    EXPECT_EQ(s.columns[2].active, 1u);
    EXPECT_EQ(s.focused, 2u);

    s.popOut(Direction::right); // a single window: nothing
    EXPECT_EQ(layoutOf(s), (Ids{{9}, {2}, {1}}));

    Strip t = strip({column({1, 2, 3})}, 2);
    t.popOut(Direction::up);
    EXPECT_EQ(layoutOf(t), (Ids{{1, 3}, {2}}));
}

TEST(StripColumns, TabsAndPins)
{
    Strip s = strip({column({1}), column({2, 3}), column({4})}, 3);
    s.toggleTabbed();
    EXPECT_TRUE(s.columns[1].tabbed);
    EXPECT_EQ(s.columns[1].active, 3u);
    s.select(2);
    s.toggleTabbed();
    EXPECT_FALSE(s.columns[1].tabbed);
    EXPECT_EQ(s.columns[1].active, 2u);
    s.select(1);
    s.toggleTabbed(); // one window: nothing
    EXPECT_FALSE(s.columns[0].tabbed);

    s.togglePin(Strip::Pin::left);
    s.select(4);
    s.togglePin(Strip::Pin::right);
    s.select(2);
    s.togglePin(Strip::Pin::left);
    EXPECT_EQ(s.columns[0].pin, std::nullopt) << "one column per edge";
    EXPECT_EQ(s.columns[1].pin, Strip::Pin::left);
    EXPECT_EQ(s.columns[2].pin, Strip::Pin::right);
    s.togglePin(Strip::Pin::left);
    EXPECT_EQ(s.columns[1].pin, std::nullopt);
    s.togglePin(Strip::Pin::right);
    EXPECT_EQ(s.columns[1].pin, Strip::Pin::right);
    EXPECT_EQ(s.columns[2].pin, std::nullopt);
}

TEST(StripColumns, Widths)
{
    auto cycled = [](double from) {
        Strip s = strip({column({1}, from)}, 1);
        s.cycleWidth();
        return s.columns[0].width;
    };
    EXPECT_EQ(cycled(0.74), 0.25);
    EXPECT_EQ(cycled(0.9), 1.0 / 3);
    EXPECT_EQ(cycled(1.0), 1.0 / 3);
    EXPECT_EQ(cycled(0.25), 1.0 / 3);
    EXPECT_EQ(cycled(1.0 / 3), 0.5);
    EXPECT_EQ(cycled(0.5), 2.0 / 3);
    EXPECT_EQ(cycled(0.66), 0.75);

    Strip s = strip({column({1})}, 1);
    s.toggleFullWidth();
    EXPECT_EQ(s.columns[0].width, 1.0);
    s.toggleFullWidth();
    EXPECT_EQ(s.columns[0].width, 0.5);
    s.adjustWidth(-1);
    EXPECT_EQ(s.columns[0].width, 0.2);
    s.adjustWidth(0.1);
    EXPECT_DOUBLE_EQ(s.columns[0].width, 0.3);
    s.adjustWidth(5);
    EXPECT_EQ(s.columns[0].width, 1.0);
    s.adjustWidth(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(s.columns[0].width, 1.0);
}

TEST(StripColumns, Heights)
{
    Strip single = strip({column({1})}, 1);
    single.adjustHeight(1);
    EXPECT_TRUE(single.columns[0].weights.empty());

    Strip s = strip({column({1, 2})}, 2);
    s.adjustHeight(10);
    EXPECT_EQ(s.columns[0].weights.at(2), 4.0);
    s.adjustHeight(-10);
    EXPECT_EQ(s.columns[0].weights.at(2), 0.25);
    s.select(1);
    s.adjustHeight(0.5);
    EXPECT_EQ(s.columns[0].weights.at(1), 1.5);
    s.equalizeHeights();
    EXPECT_TRUE(s.columns[0].weights.empty());
}
