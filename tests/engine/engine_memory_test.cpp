// The strip memory file on the simulated desktop: when it is written, what
// a restart rebuilds from it, what is forgotten, and what a damaged,
// missing or unwritable file does.

#include "engine/engine_fixture.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace kavelo::testing {
namespace {

using EngineMemory = EngineTest;

namespace fs = std::filesystem;

// The file as JSON; no value when it is missing or no JSON object.
std::optional<Json> fileOf(const ArrangeEngine& engine)
{
    const auto bytes = readFile(engine.memoryFile());
    auto parsed = bytes ? json::parse(*bytes) : std::nullopt;
    if (!parsed || !parsed->is_object())
        return std::nullopt;
    return parsed;
}

void put(const fs::path& file, std::string_view bytes)
{
    fs::create_directories(file.parent_path());
    ASSERT_FALSE(writeFileAtomically(file, bytes));
}

// What a column holds, named by window title so two runs compare.
struct SavedColumn {
    std::vector<std::string> titles;
    double width = 0;
    bool tabbed = false;
    std::optional<Strip::Pin> pin;
    std::map<std::string, double> weights;
    std::map<std::string, double> heights;
    friend bool operator==(const SavedColumn&, const SavedColumn&) = default;
};

std::vector<SavedColumn> describe(const EngineWorld& world, const std::string& key)
{
    std::vector<SavedColumn> out;
    const auto strip = world.engine->strips().find(key);
    if (strip == world.engine->strips().end())
        return out;
    const auto& heights = world.engine->originalHeights();
    for (const auto& column : strip->second.columns) {
        SavedColumn c{.width = column.width, .tabbed = column.tabbed, .pin = column.pin};
        for (WindowID id : column.ids) {
            const std::string title = world.sim.window(id)->title;
            c.titles.push_back(title);
            if (auto w = column.weights.find(id); w != column.weights.end())
                c.weights[title] = w->second;
            if (auto h = heights.find(id); h != heights.end())
                c.heights[title] = h->second;
        }
        out.push_back(std::move(c));
    }
    return out;
}

TEST_F(EngineMemory, WritesTheFileOnlyWhenASavedFormChanges)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    open(notes, "B");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);

    // Compact, with sorted keys: exactly what a plain dump of it gives.
    const auto bytes = readFile(engine->memoryFile());
    ASSERT_TRUE(bytes);
    EXPECT_EQ(json::parse(*bytes)->dump(), *bytes);
    ASSERT_TRUE(fileOf(*engine)->contains(key));
    EXPECT_EQ(StripMemory::fromJson((*fileOf(*engine))[key]), engine->memory().at(key));
    EXPECT_EQ(engine->memory().at(key).columns.size(), 2u);

    // Gone from disk, it stays gone while nothing saved changes: two more
    // applications, a change of focus and one of scroll.
    fs::remove(engine->memoryFile());
    EngineProbe::applyStrips(*engine);
    EngineProbe::applyStrips(*engine);
    sim.focusWindow(a);
    ASSERT_TRUE(settle());
    EngineProbe::strips(*engine)[key].scroll += 40;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(fs::exists(engine->memoryFile()));

    // A new width is written, once.
    EngineProbe::strips(*engine)[key].columns[0].width = 0.75;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(fs::exists(engine->memoryFile()));
    EXPECT_EQ(fileOf(*engine)->at(key).at("columns")[0].at("width"), 0.75);
    fs::remove(engine->memoryFile());
    EngineProbe::applyStrips(*engine);
    EXPECT_FALSE(fs::exists(engine->memoryFile()));

    // A change of mode forgets every strip, on disk at once.
    prefs.setArrangeMode(ArrangeMode::auto_);
    EXPECT_EQ(readFile(engine->memoryFile()), "{}");
    EXPECT_TRUE(engine->memory().empty());
}

TEST_F(EngineMemory, ARestartRebuildsColumnsWidthsTabsPinsAndHeights)
{
    const auto notes = app("com.example.Notes", "Notes");
    const auto mail = app("com.example.Mail", "Mail");
    const auto chat = app("com.example.Chat", "Chat");
    const WindowID n1 = open(notes, "Notes 1", Rect(100, 100, 500, 410));
    const WindowID n2 = open(notes, "Notes 2", Rect(100, 100, 500, 420));
    const WindowID m1 = open(mail, "Inbox", Rect(100, 100, 500, 430));
    const WindowID c1 = open(chat, "Team", Rect(100, 100, 500, 440));
    const WindowID c2 = open(chat, "Family", Rect(100, 100, 500, 450));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);

    // The notes tabbed in one column, mail and team stacked with weights,
    // family pinned right and narrow.
    Strip& strip = EngineProbe::strips(*engine)[key];
    strip.columns.clear();
    strip.columns.push_back(Strip::Column{.ids = {n1, n2}, .width = 0.75, .tabbed = true, .active = n2});
    strip.columns.push_back(Strip::Column{.ids = {m1, c1}, .width = 1.0 / 3, .active = m1, .weights = {{c1, 1.5}}});
    strip.columns.push_back(Strip::Column{.ids = {c2}, .width = 0.25, .active = c2, .pin = Strip::Pin::right});
    strip.focused = m1;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(settle());
    const auto before = describe(*this, key);
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(before[0].heights.size(), 2u);

    // Quit, and the applications come back with new windows, in another
    // order and at other sizes.
    quit();
    for (WindowID id : {n1, n2, m1, c1, c2})
        sim.closeWindow(id);
    for (const auto& [pid, title] : std::vector<std::pair<std::int32_t, std::string>>{
             {chat, "Family"}, {mail, "Inbox"}, {notes, "Notes 2"}, {chat, "Team"}, {notes, "Notes 1"}})
        open(pid, title, Rect(200, 150, 600, 300));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());

    // The heights are the ones the windows had before the first strip, not
    // the ones they came back with; a rebuilt tabbed column shows its first.
    EXPECT_EQ(describe(*this, key), before);
    EXPECT_EQ(engine->strips().at(key).columns[0].active, engine->strips().at(key).columns[0].ids[0]);
}

TEST_F(EngineMemory, KeepsOtherDesktopsAndForgetsTheStripOfTheLastWindowClosed)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID first = open(notes, "Here");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string here = keyOf(primary);

    const std::uint64_t other = sim.addDesktop(primary);
    sim.switchDesktop(primary, other);
    const WindowID a = open(notes, "There 1");
    ASSERT_TRUE(settle());
    const std::string there = keyOf(primary);
    ASSERT_NE(here, there);
    const Json savedHere = fileOf(*engine)->at(here);
    ASSERT_TRUE(fileOf(*engine)->contains(there));

    // The shown desktop's strip changes; the other's entry stays as it was.
    const WindowID b = open(notes, "There 2");
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->memory().at(there).columns.size(), 2u);
    EXPECT_EQ(fileOf(*engine)->at(here), savedHere);
    EXPECT_EQ(fileOf(*engine)->at(there).at("columns").size(), 2u);

    // Closing the last window of the shown desktop forgets its strip, in
    // memory and on disk, at the next pass.
    sim.closeWindow(a);
    sim.closeWindow(b);
    poll();
    EXPECT_FALSE(engine->memory().count(there));
    EXPECT_FALSE(engine->strips().count(there));
    EXPECT_FALSE(fileOf(*engine)->contains(there));
    EXPECT_EQ(fileOf(*engine)->at(here), savedHere);

    // The other desktop's strip is there when it shows again.
    sim.switchDesktop(primary, 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(here), std::vector<std::vector<WindowID>>{{first}});
}

// Other programs' titles need not be UTF-8; one such window must not stop
// every later save.
TEST_F(EngineMemory, ATitleThatIsNoUtf8IsSavedReplaced)
{
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "Caf\xe9");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const auto saved = fileOf(*engine);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->at(keyOf(primary)).at("columns")[0].at("windows")[0].at("title"), "Caf\uFFFD");
}

TEST_F(EngineMemory, AMissingFolderIsMadeAtTheFirstSave)
{
    ASSERT_FALSE(fs::exists(home.paths().applicationSupport));
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "A");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->memoryFile(), home.paths().applicationSupport / "Strips.json");
    ASSERT_TRUE(fileOf(*engine));
    EXPECT_TRUE(fileOf(*engine)->contains(keyOf(primary)));
}

TEST_F(EngineMemory, AFailedWriteIsTriedAgainAtTheNextSave)
{
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "A");
    const fs::path folder = home.paths().applicationSupport;

    // Where the folder belongs stands a file: nothing can be written there,
    // root or not.
    fs::create_directories(folder.parent_path());
    std::ofstream(folder) << "in the way";
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(EngineProbe::savedMemory(*engine));
    fs::remove(folder);
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(fileOf(*engine));
    EXPECT_TRUE(fileOf(*engine)->contains(keyOf(primary)));

    // A folder that may not be written to (modes bind everyone but root).
    if (::geteuid() != 0) {
        fs::remove(engine->memoryFile());
        EngineProbe::strips(*engine)[keyOf(primary)].columns[0].width = 0.75;
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        EngineProbe::applyStrips(*engine);
        EXPECT_FALSE(fs::exists(engine->memoryFile()));
        fs::permissions(folder, fs::perms::owner_all);
        EngineProbe::applyStrips(*engine);
        ASSERT_TRUE(fileOf(*engine));
        EXPECT_EQ(fileOf(*engine)->at(keyOf(primary)).at("columns")[0].at("width"), 0.75);
    }
}

TEST_F(EngineMemory, AFileThatIsNoJsonObjectIsMovedAsideBeforeTheFirstWrite)
{
    const std::string valid = R"({"Elsewhere|3":{"columns":[]}})";
    const std::string huge = "{}" + std::string(ArrangeEngine::maxMemoryFileBytes - 1, ' ');
    const std::vector<std::string> bad{valid.substr(0, valid.size() - 3), "{\"Elsewhere\xff|3\":{\"columns\":[]}}",
                                       "[{\"columns\":[]}]", "null", "", huge};
    for (const std::string& bytes : bad) {
        SCOPED_TRACE(bytes.substr(0, 40));
        EngineWorld world;
        const fs::path file = world.home.paths().applicationSupport / "Strips.json";
        put(file, bytes);
        const auto notes = world.app("com.example.Notes", "Notes");
        world.open(notes, "A");

        // Read, but nothing of it is used, and it is left alone until the
        // engine has something to write.
        world.prefs.setArrangeMode(ArrangeMode::strip);
        world.engine = std::make_unique<ArrangeEngine>(world.desktop, world.working, world.toast, world.panels);
        world.engine->start();
        EXPECT_TRUE(world.engine->memory().empty());
        EXPECT_EQ(readFile(file), bytes);

        ASSERT_TRUE(world.settle());
        EXPECT_EQ(readFile(file.string() + ".unreadable"), bytes);
        ASSERT_TRUE(fileOf(*world.engine));
        EXPECT_TRUE(fileOf(*world.engine)->contains(world.keyOf(primary)));
    }

    // A copy already aside is never replaced.
    const fs::path file = home.paths().applicationSupport / "Strips.json";
    put(file.string() + ".unreadable", "first");
    put(file.string() + ".unreadable.2", "second");
    // No file at all, and one that would never end if read.
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    open(app("com.example.Notes", "Notes"), "A");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    EXPECT_EQ(readFile(file.string() + ".unreadable"), "first");
    EXPECT_EQ(readFile(file.string() + ".unreadable.2"), "second");
    EXPECT_TRUE(fs::is_fifo(file.string() + ".unreadable.3"));
    EXPECT_TRUE(fileOf(*engine)->contains(keyOf(primary)));
}

TEST_F(EngineMemory, OneBrokenEntryLosesOnlyItself)
{
    const Json file = {
        {"Elsewhere|3", {{"columns", {{{"windows", Json::array()}, {"width", 0.5}, {"tabbed", false}}}}}},
        {"Broken|4", {{"columns", "none"}}},
        {"Pinned|5", {{"columns", {{{"windows", Json::array()}, {"width", 0.5}, {"tabbed", false}, {"pin", "up"}}}}}},
        {"Damaged|6", {{"columns", {{{"windows", Json::array()}, {"width", 99}, {"tabbed", false}}}}}},
    };
    put(home.paths().applicationSupport / "Strips.json", file.dump());
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "A");
    start(ArrangeMode::strip);
    EXPECT_EQ(engine->memory().size(), 2u);
    EXPECT_TRUE(engine->memory().count("Elsewhere|3"));
    EXPECT_TRUE(engine->memory().count("Damaged|6"));

    ASSERT_TRUE(settle());
    const auto saved = fileOf(*engine);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->at("Elsewhere|3"), file.at("Elsewhere|3"));
    EXPECT_EQ(saved->at("Damaged|6"), file.at("Damaged|6"));
    EXPECT_FALSE(saved->contains("Broken|4"));
    EXPECT_FALSE(saved->contains("Pinned|5"));
    EXPECT_TRUE(saved->contains(keyOf(primary)));
    EXPECT_FALSE(fs::exists(home.paths().applicationSupport / "Strips.json.unreadable"));
}

// A valid file damaged at random: truncated, bytes replaced (not UTF-8
// among them) or garbage put in. Whatever the damage, starting and
// arranging never fails, and only the unreadable part is lost: the entries
// that still decode are kept, or the whole file is kept aside.
RC_GTEST_FIXTURE_PROP(EngineMemory, DamagedFilesLoseOnlyTheirUnreadablePart, ())
{
    Json original = Json::object();
    const int entries = *rc::gen::inRange(1, 4);
    for (int e = 0; e < entries; ++e) {
        StripMemory saved;
        for (int c = 0; c < 2; ++c)
            saved.columns.push_back(StripMemory::Column{
                .windows = {StripMemoryWindow{.id = WindowID(10 * e + c), .bundleID = "com.example.Notes",
                                              .title = "T" + std::to_string(c), .height = 300.0 + c}},
                .width = 0.5,
                .tabbed = c == 1});
        original["Gone|" + std::to_string(e)] = saved.toJson();
    }
    std::string bytes = original.dump();
    const int kind = *rc::gen::inRange(0, 3);
    const auto at = std::size_t(*rc::gen::inRange<int>(0, int(bytes.size())));
    if (kind == 0)
        bytes.resize(at);
    else if (kind == 1)
        bytes[std::min(at, bytes.size() - 1)] = char(*rc::gen::inRange(0, 256));
    else
        bytes.insert(at, *rc::gen::container<std::string>(rc::gen::inRange<char>(-128, 127)));

    const fs::path file = home.paths().applicationSupport / "Strips.json";
    fs::create_directories(file.parent_path());
    RC_ASSERT(!writeFileAtomically(file, bytes));
    open(app("com.example.Notes", "Notes"), "T0");
    start(ArrangeMode::strip);
    RC_ASSERT(settle());

    const auto now = fileOf(*engine);
    RC_ASSERT(now.has_value());
    RC_ASSERT(now->contains(keyOf(primary)));
    const auto damaged = json::parse(bytes);
    if (damaged && damaged->is_object()) {
        RC_ASSERT(!fs::exists(file.string() + ".unreadable"));
        for (const auto& [key, value] : damaged->items())
            if (key != keyOf(primary) && StripMemory::fromJson(value))
                RC_ASSERT(StripMemory::fromJson(now->at(key)) == StripMemory::fromJson(value));
    } else {
        RC_ASSERT(readFile(file.string() + ".unreadable") == std::optional(bytes));
    }
}

} // namespace
} // namespace kavelo::testing
