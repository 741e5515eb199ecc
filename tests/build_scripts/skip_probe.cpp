// A test binary for the build's own tests: how the shared main reports a run
// whose tests all skipped, some skipped, or one failed.

#include <gtest/gtest.h>

TEST(AllSkip, First) { GTEST_SKIP() << "no server"; }
TEST(AllSkip, Second) { GTEST_SKIP() << "no server"; }

TEST(SomeSkip, Runs) { SUCCEED(); }
TEST(SomeSkip, Skips) { GTEST_SKIP() << "not here"; }

TEST(Fails, Once) { FAIL() << "as intended"; }
