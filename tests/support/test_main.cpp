#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // Widgets and panels in tests never need a screen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
