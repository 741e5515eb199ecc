#include <gtest/gtest.h>

#include <cstdlib>

#define KAVELO_TEXT(x) KAVELO_TEXT_(x)
#define KAVELO_TEXT_(x) #x

int main(int argc, char** argv)
{
    // Widgets and panels in tests never need a screen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
#ifdef KAVELO_RANDOM_RUNS
    // Random-sequence properties pass this many runs unless RC_PARAMS asks
    // for another count (the long random run does).
    ::setenv("RC_PARAMS", "max_success=" KAVELO_TEXT(KAVELO_RANDOM_RUNS), 0);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int failed = RUN_ALL_TESTS();
    // A run whose every test skipped (no X server, say) says so, and CTest
    // lists it as skipped rather than passed.
    const auto& unit = *::testing::UnitTest::GetInstance();
    if (failed == 0 && unit.test_to_run_count() > 0 && unit.skipped_test_count() == unit.test_to_run_count())
        return 77;
    return failed;
}
