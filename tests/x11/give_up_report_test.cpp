// What a wait that gives up reports: how long it waited, the session's
// server, manager, programs and windows, and every witness alive then.

#include "support/seen.h"
#include "support/x11_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(GiveUpReport, SaysWhatTheSessionAndEachWitnessSaw)
{
    test::X11Session session;
    std::string error;
    if (!session.start({"xclock"}, &error)) {
        if (test::x11Required())
            FAIL() << "no X server: " << error;
        GTEST_SKIP() << "no X server: " << error;
    }
    const pid_t quitter = session.launch({"true"});
    ASSERT_TRUE(test::waitFor([&] { return test::describeProcess(quitter).find("exited") != std::string::npos; },
                              test::answerDeadline));

    // Named per process: runs side by side on one machine share the folder.
    const auto file =
        std::filesystem::path(::testing::TempDir()) / ("kavelo-give-up-report-" + std::to_string(::getpid()));
    std::ofstream(file) << "five!";
    std::optional<test::Witness> witness;
    witness.emplace("the file", [&] { return test::describeFile(file); });

    const test::Waited waited = test::waitFor([] { return false; }, 50ms);
    EXPECT_FALSE(waited);
    const ::testing::AssertionResult asserted = waited;
    EXPECT_FALSE(asserted);
    EXPECT_EQ(asserted.message(), waited.report());
    EXPECT_THAT(waited.report(), HasSubstr("gave up after 0."));
    EXPECT_THAT(waited.report(), HasSubstr("usable cores"));
    EXPECT_THAT(waited.report(), HasSubstr("server " + session.display() + ": Xvfb (pid"));
    EXPECT_THAT(waited.report(), HasSubstr("manager openbox: openbox (pid"));
    EXPECT_THAT(waited.report(), HasSubstr("launched true: true (pid " + std::to_string(quitter) + "): exited"));
    EXPECT_THAT(waited.report(), HasSubstr("1 managed windows: 0x"));
    EXPECT_THAT(waited.report(), HasSubstr(" XClock \"xclock\" mapped at "));
    EXPECT_THAT(waited.report(), HasSubstr("the file: 5 bytes, written 0."));

    witness.reset();
    std::filesystem::remove(file);
    EXPECT_THAT(test::witnessed(), Not(HasSubstr("the file")));
    EXPECT_EQ(test::describeFile(file), "absent");
    EXPECT_TRUE(test::waitFor([] { return true; }, 0ms).report().empty());
}

} // namespace
} // namespace kavelo::testing
