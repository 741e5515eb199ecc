#include "app/services/user_defaults.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

namespace {

std::string nestedOther(int depth)
{
    return R"({"welcomed": true, "other": )" + std::string(static_cast<size_t>(depth - 1), '[') +
           std::string(static_cast<size_t>(depth - 1), ']') + "}";
}

std::vector<std::string> entries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(UserDefaults, ADeeplyNestedFileIsUnreadableAndMovedAside)
{
    test::TempHome home;
    const auto file = home.paths().userDefaults;
    std::filesystem::create_directories(file.parent_path());
    // 100,000 deep overflowed the stack at launch; 10,000 deep made the
    // first write 200 MB long.
    for (const int depth : {100'000, 10'000, json::maxDepth + 1}) {
        const std::string bad = nestedOther(depth);
        ASSERT_FALSE(writeFileAtomically(file, bad));
        UserDefaults d(file);
        EXPECT_FALSE(d.contains("welcomed"));
        ASSERT_TRUE(d.set("count", 1));
        EXPECT_EQ(readFile(*d.movedAside()), bad);
        EXPECT_EQ(readFile(file), "{\n  \"count\": 1\n}\n");
        std::filesystem::remove(*d.movedAside());
    }
    // As deep as a file may be still reads.
    ASSERT_FALSE(writeFileAtomically(file, nestedOther(json::maxDepth)));
    EXPECT_EQ(UserDefaults(file).boolean("welcomed"), true);
}

TEST(UserDefaults, AValueTooDeepToReadBackIsNotStored)
{
    test::TempHome home;
    const auto file = home.paths().userDefaults;
    UserDefaults d(file);
    Json deep = Json::array();
    for (int i = 1; i < json::maxDepth - 1; ++i)
        deep = Json::array({std::move(deep)});
    ASSERT_TRUE(d.set("deepest", deep));   // the file's object makes it maxDepth
    EXPECT_TRUE(UserDefaults(file).contains("deepest"));
    EXPECT_FALSE(d.set("deeper", Json::array({deep})));
    EXPECT_FALSE(d.contains("deeper"));
    // Otherwise the whole file would be set aside at the next launch.
    EXPECT_TRUE(UserDefaults(file).contains("deepest"));
    EXPECT_FALSE(UserDefaults(file).movedAside());
}

TEST(UserDefaults, ALinkedFileStaysLinked)
{
    test::TempHome home;
    const auto file = home.paths().userDefaults;
    const auto dotfiles = home.root() / "dotfiles";
    std::filesystem::create_directories(dotfiles);
    std::filesystem::create_directories(file.parent_path());
    ASSERT_FALSE(writeFileAtomically(dotfiles / "kavelo.json", R"({"windowGap": 4})"));
    std::filesystem::create_symlink(dotfiles / "kavelo.json", file);
    {
        UserDefaults d(file);
        EXPECT_EQ(d.integer("windowGap"), 4);
        ASSERT_TRUE(d.set("maxTiles", 3));
        EXPECT_TRUE(std::filesystem::is_symlink(file));
        EXPECT_EQ(UserDefaults(dotfiles / "kavelo.json").integer("maxTiles"), 3);
    }
    // An unreadable linked file is set aside where it lives; the link then
    // leads to the new file.
    ASSERT_FALSE(writeFileAtomically(dotfiles / "kavelo.json", "{oops"));
    UserDefaults d(file);
    ASSERT_TRUE(d.set("maxTiles", 4));
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(d.movedAside(), dotfiles / "kavelo.json.unreadable");
    EXPECT_EQ(readFile(dotfiles / "kavelo.json.unreadable"), "{oops");
    EXPECT_EQ(UserDefaults(file).integer("maxTiles"), 4);
}

TEST(UserDefaults, AnUnreadableFileNeverReplacesAnEarlierCopy)
{
    test::TempHome home;
    const auto file = home.paths().userDefaults;
    std::filesystem::create_directories(file.parent_path());
    const std::string base = file.string() + ".unreadable";
    std::ofstream(base) << "copy 1";
    for (int n = 2; n <= 999; ++n)
        std::ofstream(base + "." + std::to_string(n)) << "copy " << n;

    ASSERT_FALSE(writeFileAtomically(file, "the thousandth"));
    UserDefaults d(file);
    ASSERT_TRUE(d.set("count", 1));
    EXPECT_EQ(d.movedAside(), std::filesystem::path(base + ".1000"));
    EXPECT_EQ(readFile(base + ".1000"), "the thousandth");
    EXPECT_EQ(readFile(base + ".999"), "copy 999");
    EXPECT_EQ(readFile(base), "copy 1");
    EXPECT_FALSE(d.lastWriteError());
}

TEST(UserDefaults, TemporariesLeftByKilledWritersAreSweptAtTheNextWrite)
{
    test::TempHome home;
    const auto file = home.paths().userDefaults;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file.parent_path() / "notes.txt") << "mine";
    const std::string big(256 * 1024, 'x');
    std::mt19937 random(7);
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            UserDefaults d(file);
            for (int i = 0;; ++i)
                d.set("filler", big + std::to_string(i));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        // Whatever the moment, the file is whole.
        if (const std::optional<std::string> bytes = readFile(file)) {
            EXPECT_TRUE(json::parse(*bytes)) << "after kill " << kill;
        }
    }
    UserDefaults d(file);
    ASSERT_TRUE(d.set("count", 1));
    EXPECT_EQ(entries(file.parent_path()), (std::vector<std::string>{"defaults.json", "notes.txt"}));
}

// Random changes while the folder breaks and mends: what is in memory is
// what was set, each successful write holds everything in memory, and the
// failure hook hears exactly one message per streak of failed writes.
RC_GTEST_PROP(UserDefaultsProperties, FailedWritesKeepMemoryAndAreToldOncePerStreak, ())
{
    test::TempHome home;
    const auto file = home.paths().userDefaults;
    const auto folder = file.parent_path();
    std::map<std::string, std::int64_t> memory, onDisk;
    bool broken = false, failing = false;
    int streaks = 0, told = 0;
    auto open = [&] {
        auto d = std::make_unique<UserDefaults>(file);
        d->onWriteFailure = [&](std::string_view, std::error_code) { ++told; };
        return d;
    };
    auto d = open();
    const int steps = *rc::gen::inRange(1, 30);
    for (int step = 0; step < steps; ++step) {
        const std::string key(1, *rc::gen::elementOf(std::string("abcd")));
        switch (*rc::gen::inRange(0, 6)) {
        case 0:
        case 1: {
            const std::int64_t value = *rc::gen::arbitrary<std::int64_t>();
            RC_ASSERT(d->set(key, value));
            memory[key] = value;
            break;
        }
        case 2:
            d->remove(key);
            memory.erase(key);
            break;
        case 3: {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
            std::filesystem::create_directories(folder.parent_path());
            RC_ASSERT(!writeFileAtomically(folder, "in the way"));
            broken = true;
            onDisk.clear();
            continue;
        }
        case 4:
            if (broken)
                std::filesystem::remove(folder);
            broken = false;
            continue;
        default:
            // Going, it writes what a failed write left unwritten, when it can.
            if (!broken && failing)
                onDisk = memory;
            d.reset();
            d = open();
            memory = onDisk;
            failing = false;
            continue;
        }
        // A write happened.
        if (broken) {
            streaks += failing ? 0 : 1;
            failing = true;
            RC_ASSERT(d->lastWriteError());
        } else {
            failing = false;
            onDisk = memory;
            RC_ASSERT(!d->lastWriteError());
        }
        RC_ASSERT(told == streaks);
        for (const auto& [k, v] : memory)
            RC_ASSERT(d->integer(k) == v);
        if (!broken) {
            UserDefaults reread(file);
            for (const char k : std::string("abcd")) {
                const auto it = onDisk.find(std::string(1, k));
                RC_ASSERT(reread.integer(std::string(1, k)) ==
                          (it == onDisk.end() ? std::nullopt : std::optional<std::int64_t>(it->second)));
            }
        }
    }
}
