#include "app/services/user_defaults.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>

using namespace kavelo;

TEST(UserDefaults, TypedReadsAndAtomicWrites)
{
    test::TempHome home;
    const auto file = home.paths().userDefaults;
    {
        UserDefaults d(file);
        EXPECT_FALSE(d.contains("welcomed"));
        EXPECT_TRUE(d.set("welcomed", true));
        EXPECT_TRUE(d.set("count", 3));
        EXPECT_TRUE(d.set("share", 0.5));
        EXPECT_TRUE(d.set("name", "Main"));
        EXPECT_TRUE(d.set("names", Json::array({"a", "b"})));
        EXPECT_FALSE(d.lastWriteError());
    }
    UserDefaults d(file);
    EXPECT_EQ(d.boolean("welcomed"), true);
    EXPECT_EQ(d.integer("count"), 3);
    EXPECT_EQ(d.number("count"), 3.0);
    EXPECT_EQ(d.number("share"), 0.5);
    EXPECT_EQ(d.text("name"), "Main");
    EXPECT_EQ(d.texts("names"), (std::vector<std::string>{"a", "b"}));
    // Another type is no value, never a conversion.
    EXPECT_EQ(d.boolean("count"), std::nullopt);
    EXPECT_EQ(d.integer("share"), std::nullopt);
    EXPECT_EQ(d.text("count"), std::nullopt);
    EXPECT_EQ(d.texts("name"), std::nullopt);
    EXPECT_EQ(d.integer("missing"), std::nullopt);

    d.remove("count");
    EXPECT_FALSE(UserDefaults(file).contains("count"));
    // No temporary is left beside the file.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(file.parent_path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(UserDefaults, WhatJsonCannotCarryRemovesTheKey)
{
    test::TempHome home;
    UserDefaults d(home.paths().userDefaults);
    ASSERT_TRUE(d.set("share", 0.5));
    EXPECT_FALSE(d.set("share", std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(d.contains("share"));
    ASSERT_TRUE(d.set("names", Json::array({"a"})));
    EXPECT_FALSE(d.set("names", Json::array({"a", std::string("\xc3")})));
    EXPECT_FALSE(d.contains("names"));
    EXPECT_FALSE(d.set("map", Json::object({{std::string("\xff"), 1}})));
    EXPECT_TRUE(UserDefaults::encodable(Json::parse(R"({"a": [1, 2.5, "é", null, {"b": true}]})")));
    EXPECT_FALSE(UserDefaults(home.paths().userDefaults).contains("share"));
}
