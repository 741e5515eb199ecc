#include "core/grid_navigation.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <limits>

using namespace kavelo;

TEST(GridNavigationColumns, AimsAtWideCells)
{
    EXPECT_EQ(GridNavigation::columns(20, 1600, 900), 5);
    EXPECT_EQ(GridNavigation::columns(0, 1600, 900), 1);
    EXPECT_EQ(GridNavigation::columns(1, 1600, 900), 1);
    EXPECT_EQ(GridNavigation::columns(10, 0, 900), 1);
    EXPECT_EQ(GridNavigation::columns(10, -5, 900), 1);
    EXPECT_EQ(GridNavigation::columns(10, 1600, std::nan("")), 1);
    EXPECT_EQ(GridNavigation::columns(3, 100000, 10), 3);
    EXPECT_EQ(GridNavigation::columns(4, std::numeric_limits<double>::infinity(), 10), 4);
    EXPECT_EQ(GridNavigation::columns(4, 1e308, 1e-308), 4);
    EXPECT_EQ(GridNavigation::columns(1000, 10, 1e9), 1);
}

TEST(GridNavigationMove, SevenCardsInThreeColumns)
{
    using enum Direction;
    EXPECT_EQ(GridNavigation::move(4, down, 7, 3), 4);
    EXPECT_EQ(GridNavigation::move(3, down, 7, 3), 6);
    EXPECT_EQ(GridNavigation::move(2, up, 7, 3), 2);
    EXPECT_EQ(GridNavigation::move(5, up, 7, 3), 2);
    EXPECT_EQ(GridNavigation::move(0, left, 7, 3), 6);
    EXPECT_EQ(GridNavigation::move(6, right, 7, 3), 0);
    EXPECT_EQ(GridNavigation::move(2, right, 7, 3), 3);
    for (Direction d : {left, right, up, down})
        EXPECT_EQ(GridNavigation::move(3, d, 0, 3), 0);
}

RC_GTEST_PROP(GridNavigationProperties, MovesStayInsideTheGrid, (unsigned countSeed, unsigned columnsSeed, unsigned start))
{
    const int count = static_cast<int>(countSeed % 200) + 1;
    const int columns = static_cast<int>(columnsSeed % 8) + 1;
    int index = static_cast<int>(start % count);
    for (Direction d : {Direction::left, Direction::right, Direction::up, Direction::down}) {
        const int next = GridNavigation::move(index, d, count, columns);
        RC_ASSERT(next >= 0);
        RC_ASSERT(next < count);
    }
    RC_ASSERT(GridNavigation::move(GridNavigation::move(index, Direction::right, count, columns), Direction::left,
                                   count, columns) == index);
}
