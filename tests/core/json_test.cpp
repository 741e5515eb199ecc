#include "core/json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
