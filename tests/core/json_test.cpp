#include "core/json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace kavelo;

namespace {

std::optional<int> int32From(const char* text)
{
    return json::decode([&] { return json::integer<int>(Json::parse(text)); });
}

} // namespace

TEST(JsonDecoding, IntegersAreStrict)
{
    EXPECT_EQ(int32From("42"), 42);
    EXPECT_EQ(int32From("-7"), -7);
    EXPECT_EQ(int32From("3.0"), 3);
    EXPECT_EQ(int32From("3.5"), std::nullopt);
    EXPECT_EQ(int32From("2147483648"), std::nullopt);
    EXPECT_EQ(int32From("-2147483649"), std::nullopt);
    EXPECT_EQ(int32From("\"4\""), std::nullopt);
    EXPECT_EQ(int32From("true"), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::integer<std::uint32_t>(Json(-1)); }), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::integer<std::uint32_t>(Json(4294967295u)); }), 4294967295u);
    EXPECT_EQ(json::decode([] { return json::integer<std::uint64_t>(Json(1e30)); }), std::nullopt);
}

TEST(JsonDecoding, OtherScalarsDoNotConvert)
{
    EXPECT_EQ(json::decode([] { return json::boolean(Json(1)); }), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::text(Json(1)); }), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::number(Json("1")); }), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::number(Json(2)); }), 2.0);
}

TEST(JsonDecoding, GeometryForms)
{
    const Rect r(1.5, -2, 300, 200);
    EXPECT_EQ(json::encode(r).dump(), "[[1.5,-2.0],[300.0,200.0]]");
    EXPECT_EQ(json::decode([&] { return json::rect(json::encode(r)); }), r);
    EXPECT_EQ(json::decode([] { return json::rect(Json::parse("[[1,2],[3]]")); }), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::rect(Json::parse("[1,2,3,4]")); }), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::size(Json::parse("[3,4]")); }), Size(3, 4));
}

TEST(JsonDecoding, MembersAndNulls)
{
    const Json j = Json::parse(R"({"a": 1, "b": null})");
    EXPECT_NE(json::optionalMember(j, "a"), nullptr);
    EXPECT_EQ(json::optionalMember(j, "b"), nullptr);
    EXPECT_EQ(json::optionalMember(j, "c"), nullptr);
    EXPECT_EQ(json::decode([&] { return json::integer<int>(json::member(j, "c")); }), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::optionalMember(Json::array(), "a") != nullptr; }), std::nullopt);
    EXPECT_EQ(json::parse("{not json"), std::nullopt);
}

TEST(Dates, IsoTextRoundTripsInWholeSeconds)
{
    const Date d = dateFromEpochSeconds(1796627909.75);
    EXPECT_EQ(isoDate(d), "2026-12-07T07:18:29Z");
    EXPECT_EQ(parseIsoDate("2026-12-07T07:18:29Z"), dateFromEpochSeconds(1796627909));
    EXPECT_EQ(parseIsoDate("2026-12-07T09:18:29+02:00"), dateFromEpochSeconds(1796627909));
    EXPECT_EQ(parseIsoDate("2026-12-07T02:48:29-04:30"), dateFromEpochSeconds(1796627909));
    EXPECT_EQ(isoDate(dateFromEpochSeconds(-1)), "1969-12-31T23:59:59Z");
    EXPECT_EQ(parseIsoDate("2026-02-30T00:00:00Z"), std::nullopt);
    EXPECT_EQ(parseIsoDate("2026-12-07T07:18:29"), std::nullopt);
    EXPECT_EQ(parseIsoDate("2026-12-07 07:18:29Z"), std::nullopt);
    EXPECT_EQ(parseIsoDate("2026-12-07T07:18:29Zjunk"), std::nullopt);
}

class AtomicWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("kavelo-json-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::filesystem::path folder;
};

TEST_F(AtomicWrite, ReplacesTheTargetAndLeavesNoTemporary)
{
    const auto target = folder / "a.json";
    EXPECT_FALSE(writeFileAtomically(target, "first"));
    EXPECT_FALSE(writeFileAtomically(target, "second"));
    EXPECT_EQ(readFile(target), "second");
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(AtomicWrite, FailureKeepsTheOldFile)
{
    const auto target = folder / "missing" / "a.json";
    EXPECT_TRUE(writeFileAtomically(target, "x"));
    EXPECT_EQ(readFile(target), std::nullopt);

    // A folder standing where the file should go cannot be replaced.
    std::filesystem::create_directories(folder / "b.json");
    EXPECT_TRUE(writeFileAtomically(folder / "b.json", "x"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "b.json"));
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
        ++files;
    EXPECT_EQ(files, 1);
}

namespace {

std::string nested(int depth, std::string_view inner = "")
{
    return R"({"other": )" + std::string(static_cast<size_t>(depth - 1), '[') + std::string(inner) +
           std::string(static_cast<size_t>(depth - 1), ']') + "}";
}

} // namespace

TEST(JsonParsing, DeepNestingIsRefusedWhileParsing)
{
    // Copying, writing or destroying 100,000 levels would overflow the stack.
    EXPECT_EQ(json::parse(nested(100'000)), std::nullopt);
    EXPECT_EQ(json::parse(nested(json::maxDepth + 1)), std::nullopt);
    EXPECT_EQ(json::parse(nested(json::maxDepth + 1, R"({"a": 1})")), std::nullopt);
    const std::optional<Json> deepest = json::parse(nested(json::maxDepth));
    ASSERT_TRUE(deepest);
    EXPECT_EQ(json::depth(*deepest), json::maxDepth);
    EXPECT_EQ(json::depth(Json(3)), 0);
    EXPECT_EQ(json::depth(Json::parse("[[], {}]")), 2);
    // Depth counts what is open, not how much came before.
    std::string wide = "[";
    for (int i = 0; i < 10'000; ++i)
        wide += "[[1]],";
    wide += "0]";
    EXPECT_TRUE(json::parse(wide));
    // Everything else is still parsed strictly.
    EXPECT_EQ(json::parse("[1, 2"), std::nullopt);
    EXPECT_EQ(json::parse("[1] [2]"), std::nullopt);
    EXPECT_EQ(json::parse("\"\xff\""), std::nullopt);
    EXPECT_EQ(json::parse(R"({"a": [1, 2.5, "x", null, true]})"), Json::parse(R"({"a": [1, 2.5, "x", null, true]})"));
}

TEST(Dates, OnlyYearsOneToNineThousandNineHundredNinetyNineInUtc)
{
    // Offsets that carry a date out of four-digit years in UTC: the text it
    // would be written back as would not parse.
    EXPECT_EQ(parseIsoDate("0000-01-01T00:00:00+01:00"), std::nullopt);
    EXPECT_EQ(parseIsoDate("9999-12-31T23:59:59-01:00"), std::nullopt);
    EXPECT_EQ(parseIsoDate("9999-12-31T23:59:60Z"), std::nullopt);
    EXPECT_EQ(parseIsoDate("0000-12-31T23:59:59Z"), std::nullopt);

    const std::optional<Date> first = parseIsoDate("0000-12-31T23:30:00-01:00");
    const std::optional<Date> last = parseIsoDate("9999-12-31T23:59:59.999Z");
    ASSERT_TRUE(first && last);
    EXPECT_EQ(isoDate(*first), "0001-01-01T00:30:00Z");
    EXPECT_EQ(isoDate(*last), "9999-12-31T23:59:59Z");
    EXPECT_EQ(parseIsoDate(isoDate(*last)), dateFromEpochSeconds(std::floor(epochSeconds(*last))));

    // Writing never overflows, and what it writes always reads back.
    const double inf = std::numeric_limits<double>::infinity();
    for (double s : {1e300, -1e300, inf, -inf, 9.3e18, -9.3e18, 253402300800.0, -62135596801.0}) {
        const std::string text = isoDate(dateFromEpochSeconds(s));
        EXPECT_TRUE(parseIsoDate(text)) << s << " " << text;
    }
    EXPECT_EQ(isoDate(dateFromEpochSeconds(1e300)), "9999-12-31T23:59:59Z");
    EXPECT_EQ(isoDate(dateFromEpochSeconds(-inf)), "0001-01-01T00:00:00Z");
    EXPECT_EQ(isoDate(dateFromEpochSeconds(std::nan(""))), "1970-01-01T00:00:00Z");
}

TEST_F(AtomicWrite, ALinkStaysALinkAndItsTargetIsReplaced)
{
    std::filesystem::create_directories(folder / "dotfiles");
    const auto target = folder / "dotfiles" / "defaults.json";
    const auto link = folder / "defaults.json";
    ASSERT_FALSE(writeFileAtomically(target, "old"));
    std::filesystem::create_symlink("dotfiles/defaults.json", link);
    // A chain of links leads to the same file.
    std::filesystem::create_symlink(link, folder / "again.json");

    EXPECT_FALSE(writeFileAtomically(folder / "again.json", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "again.json"));
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(linkTarget(folder / "again.json"), folder / "dotfiles/defaults.json");

    // A dangling link: the file it names is created.
    std::filesystem::remove(target);
    EXPECT_FALSE(writeFileAtomically(link, "again"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(target), "again");

    // A loop cannot be followed; the write replaces the link itself.
    std::filesystem::create_symlink("loop-b", folder / "loop-a");
    std::filesystem::create_symlink("loop-a", folder / "loop-b");
    EXPECT_FALSE(writeFileAtomically(folder / "loop-a", "x"));
    EXPECT_EQ(readFile(folder / "loop-a"), "x");
}

TEST_F(AtomicWrite, TemporariesOfWritersThatAreGoneAreSweptAndNothingElse)
{
    // pid_max is at most 2^22, so this process cannot exist.
    const std::string gone = "2147483646";
    const std::string alive = std::to_string(::getppid());
    const std::vector<std::string> stale{"a.json.tmp-" + gone + "-0", "b.json.tmp-" + gone + "-17"};
    const std::vector<std::string> kept{"a.json.tmp-" + alive + "-3",            // its writer still runs
                                        "a.json.tmp-" + std::to_string(::getpid()) + "-99",
                                        "notes.tmp-", "x.tmp-12", "y.tmp-12-", "z.tmp-a-1", ".tmp-5-5",
                                        "c.json", "c.json.tmp-" + gone + "-1x"};
    for (const auto& name : stale)
        std::ofstream(folder / name) << "half";
    for (const auto& name : kept)
        std::ofstream(folder / name) << "keep";
    std::filesystem::create_directories(folder / ("d.json.tmp-" + gone + "-2"));   // not a file

    EXPECT_FALSE(writeFileAtomically(folder / "a.json", "whole"));
    for (const auto& name : stale)
        EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
    for (const auto& name : kept)
        EXPECT_EQ(readFile(folder / name), "keep") << name;
    EXPECT_TRUE(std::filesystem::is_directory(folder / ("d.json.tmp-" + gone + "-2")));
    EXPECT_EQ(readFile(folder / "a.json"), "whole");
}

TEST_F(AtomicWrite, RenamingNeverReplaces)
{
    ASSERT_FALSE(writeFileAtomically(folder / "a", "a"));
    ASSERT_FALSE(writeFileAtomically(folder / "b", "b"));
    EXPECT_EQ(renameWithoutReplacing(folder / "a", folder / "b"), std::errc::file_exists);
    EXPECT_EQ(readFile(folder / "a"), "a");
    EXPECT_EQ(readFile(folder / "b"), "b");
    EXPECT_FALSE(renameWithoutReplacing(folder / "a", folder / "c"));
    EXPECT_EQ(readFile(folder / "c"), "a");
    EXPECT_FALSE(std::filesystem::exists(folder / "a"));
}
