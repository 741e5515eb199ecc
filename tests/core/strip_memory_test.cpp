#include "core/strip_memory.h"

#include "core/core_builders.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <limits>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

using Window = StripMemory::Window;

Window remembered(WindowID id, std::string bundle, std::string title, std::optional<double> weight = std::nullopt,
              std::optional<double> height = std::nullopt)
{
    return Window{.id = id, .bundleID = std::move(bundle), .title = std::move(title), .weight = weight, .height = height};
}

StripMemory::Column saved(std::vector<Window> windows, double width = 0.5, bool tabbed = false,
                          std::optional<Strip::Pin> pin = std::nullopt)
{
    return StripMemory::Column{.windows = std::move(windows), .width = width, .tabbed = tabbed, .pin = pin};
}

std::optional<StripMemory> decoded(std::string_view text)
{
    const auto j = json::parse(text);
    return j ? StripMemory::fromJson(*j) : std::nullopt;
}

} // namespace

TEST(StripMemoryJson, LeavesOutAbsentOptionals)
{
    const StripMemory memory{.columns = {saved({remembered(7, "com.a", "Doc", 2.0, 640)}, 0.75, true, Strip::Pin::right),
                                         saved({remembered(8, "com.b", "")})}};
    const Json j = memory.toJson();
    EXPECT_EQ(j.dump(), R"({"columns":[{"pin":"right","tabbed":true,"width":0.75,"windows":[{"bundleID":"com.a",)"
                        R"("height":640.0,"id":7,"title":"Doc","weight":2.0}]},{"tabbed":false,"width":0.5,)"
                        R"("windows":[{"bundleID":"com.b","id":8,"title":""}]}]})");
    EXPECT_EQ(StripMemory::fromJson(j), memory);
    EXPECT_EQ(StripMemory::fromJson(json::parse(j.dump()).value()), memory);
}

TEST(StripMemoryJson, DecodingIsStrict)
{
    EXPECT_EQ(decoded(R"({"columns":[]})"), StripMemory{});
    EXPECT_TRUE(decoded(R"({"columns":[{"windows":[],"width":1,"tabbed":false}]})"));
    EXPECT_TRUE(decoded(R"({"columns":[{"windows":[],"width":1,"tabbed":false,"pin":null}]})"));
    const char* bad[] = {
        R"({})",
        R"({"columns":{}})",
        R"({"columns":[{"width":0.5,"tabbed":false}]})",
        R"({"columns":[{"windows":[],"tabbed":false}]})",
        R"({"columns":[{"windows":[],"width":"0.5","tabbed":false}]})",
        R"({"columns":[{"windows":[],"width":0.5,"tabbed":0}]})",
        R"({"columns":[{"windows":[],"width":0.5,"tabbed":false,"pin":"top"}]})",
        R"({"columns":[{"windows":[],"width":0.5,"tabbed":false,"pin":"Left"}]})",
        R"({"columns":[{"windows":[{"id":1.5,"bundleID":"a","title":"b"}],"width":0.5,"tabbed":false}]})",
        R"({"columns":[{"windows":[{"id":-1,"bundleID":"a","title":"b"}],"width":0.5,"tabbed":false}]})",
        R"({"columns":[{"windows":[{"id":4294967296,"bundleID":"a","title":"b"}],"width":0.5,"tabbed":false}]})",
        R"({"columns":[{"windows":[{"id":1,"title":"b"}],"width":0.5,"tabbed":false}]})",
        R"({"columns":[{"windows":[{"id":1,"bundleID":"a","title":3}],"width":0.5,"tabbed":false}]})",
        R"({"columns":[{"windows":[{"id":1,"bundleID":"a","title":"b","weight":"2"}],"width":0.5,"tabbed":false}]})",
    };
    for (const char* text : bad)
        EXPECT_EQ(decoded(text), std::nullopt) << text;
    EXPECT_EQ(StripMemory::fromJson(Json::array()), std::nullopt);
}

TEST(StripMemoryJson, AFileNestedTooDeepIsUnreadable)
{
    // The strips file: layout key to record. A title 100,000 arrays deep
    // must be refused while parsing, not met by a recursive copy later.
    const std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
    const std::string file = R"({"Main|1":{"columns":[{"windows":[{"id":1,"bundleID":"a","title":)" + deep +
                             R"(}],"width":0.5,"tabbed":false}]}})";
    EXPECT_EQ(json::parse(file), std::nullopt);
    const std::optional<Json> fine = json::parse(
        R"({"Main|1":{"columns":[{"windows":[{"id":1,"bundleID":"a","title":"t"}],"width":0.5,"tabbed":false}]}})");
    ASSERT_TRUE(fine);
    EXPECT_TRUE(StripMemory::fromJson(fine->at("Main|1")));
}

TEST(StripMemorySave, TakesTheColumnsWeightsAndTheEntriesHeights)
{
    Strip s;
    s.columns = {Strip::Column{.ids = {1, 2, 3}, .width = 0.75, .tabbed = true, .active = 2,
                               .weights = {{1, 3.0}, {9, 2.0}}, .pin = Strip::Pin::left},
                 Strip::Column{.ids = {4}, .width = 1.0, .active = 4}};
    const std::map<WindowID, Window> windows{
        {1, remembered(1, "com.a", "One", 1.5, 500)},
        {3, remembered(3, "com.a", "Three", 2.5)},
        {9, remembered(9, "com.z", "Stray")},
    };
    const StripMemory memory = s.memory(windows);
    ASSERT_EQ(memory.columns.size(), 2u);
    EXPECT_EQ(memory.columns[0],
              saved({remembered(1, "com.a", "One", 3.0, 500), remembered(3, "com.a", "Three")}, 0.75, true, Strip::Pin::left));
    EXPECT_EQ(memory.columns[1], saved({}, 1.0)) << "a column without records is still saved";

    const Strip rebuilt(memory, {remembered(3, "com.a", "Three"), remembered(1, "com.a", "One")});
    EXPECT_EQ(layoutOf(rebuilt), (Ids{{1, 3}}));
    EXPECT_EQ(rebuilt.columns[0].weights, (std::map<WindowID, double>{{1, 3.0}}));
    EXPECT_EQ(rebuilt.originalHeights, (std::map<WindowID, double>{{1, 500}}));
}

TEST(StripMemoryRebuild, EmptyRecordGivesTheEmptyStrip)
{
    EXPECT_EQ(Strip(StripMemory{}, {remembered(1, "a", "b")}), Strip());
    EXPECT_EQ(Strip(StripMemory{.columns = {saved({remembered(1, "a", "b")})}}, {}), Strip());
}

TEST(StripMemoryRebuild, IdentityThenTitleThenApplication)
{
    // The editor restarted: new identities, one title changed.
    const StripMemory memory{.columns = {
                                 saved({remembered(10, "com.editor", "main.cpp"), remembered(11, "com.editor", "notes.md")}, 0.75,
                                       true),
                                 saved({remembered(20, "com.term", "zsh", 2.0, 700)}, 1.0 / 3, false, Strip::Pin::right),
                                 saved({remembered(30, "com.mail", "Inbox")}),
                             }};
    const std::vector<Window> live{
        remembered(103, "com.editor", "untitled"),
        remembered(101, "com.editor", "main.cpp"),
        remembered(20, "com.term", "vim"), // same identity, new title
        remembered(30, "com.other", "Inbox"),
    };
    const Strip s(memory, live);
    EXPECT_EQ(layoutOf(s), (Ids{{101, 103}, {20}})) << "the mail column has no window left";
    EXPECT_TRUE(s.columns[0].tabbed);
    EXPECT_EQ(s.columns[0].width, 0.75);
    EXPECT_EQ(s.columns[0].active, 101u);
    EXPECT_EQ(s.columns[1].pin, Strip::Pin::right);
    EXPECT_EQ(s.columns[1].weights, (std::map<WindowID, double>{{20, 2.0}}));
    EXPECT_EQ(s.originalHeights, (std::map<WindowID, double>{{20, 700}}));
    EXPECT_EQ(s.focused, std::nullopt);
    EXPECT_EQ(s.gap, 10);
}

TEST(StripMemoryRebuild, EachLiveWindowMatchesOnce)
{
    // Two saved windows of one application and one live window: the first saved takes it.
    const StripMemory two{.columns = {saved({remembered(1, "com.a", "x")}), saved({remembered(2, "com.a", "y")})}};
    EXPECT_EQ(layoutOf(Strip(two, {remembered(9, "com.a", "z")})), (Ids{{9}}));

    // A window matched by identity is not offered again to an earlier column's title match.
    const StripMemory claim{.columns = {saved({remembered(1, "com.a", "Doc")}), saved({remembered(5, "com.a", "Other")})}};
    const Strip s(claim, {remembered(5, "com.a", "Doc"), remembered(6, "com.a", "Other")});
    EXPECT_EQ(layoutOf(s), (Ids{{6}, {5}}));

    // The same identity under another application is no identity match.
    const StripMemory moved{.columns = {saved({remembered(1, "com.a", "T"), remembered(2, "com.b", "U")})}};
    EXPECT_EQ(layoutOf(Strip(moved, {remembered(2, "com.a", "Q"), remembered(1, "com.b", "R")})), (Ids{{2, 1}}));
}

TEST(StripMemoryRebuild, TabbedNeedsTwoWindows)
{
    const StripMemory memory{
        .columns = {saved({remembered(1, "a", "1"), remembered(2, "b", "2"), remembered(3, "c", "3")}, 0.5, true)}};
    const Strip s(memory, {remembered(2, "b", "2")});
    ASSERT_EQ(layoutOf(s), (Ids{{2}}));
    EXPECT_FALSE(s.columns[0].tabbed);
}

TEST(StripMemoryRebuild, DamagedValuesAreMended)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const StripMemory memory{.columns = {
                                 saved({remembered(1, "a", "1", 0.0, 0.0), remembered(2, "a", "2", -3, -50)}, 0),
                                 saved({remembered(3, "a", "3", 1e9, inf), remembered(4, "a", "4", nan, nan)}, -2),
                                 saved({remembered(5, "a", "5", -inf, 1e300)}, 1e9),
                                 saved({remembered(6, "a", "6", 0.1, 480)}, nan),
                             }};
    std::vector<Window> live;
    for (WindowID id = 1; id <= 6; ++id)
        live.push_back(remembered(id, "a", std::to_string(id)));
    const Strip s(memory, live);
    ASSERT_EQ(s.columns.size(), 4u);
    EXPECT_EQ(s.columns[0].width, Strip::minWidth);
    EXPECT_EQ(s.columns[1].width, Strip::minWidth);
    EXPECT_EQ(s.columns[2].width, Strip::maxWidth);
    EXPECT_EQ(s.columns[3].width, 0.5);
    EXPECT_EQ(s.columns[0].weights, (std::map<WindowID, double>{{1, 0.25}, {2, 0.25}}));
    EXPECT_EQ(s.columns[1].weights, (std::map<WindowID, double>{{3, 4.0}}));
    EXPECT_EQ(s.columns[2].weights, (std::map<WindowID, double>{{5, 0.25}}));
    EXPECT_EQ(s.originalHeights, (std::map<WindowID, double>{{5, 1e300}, {6, 480}}));

    Strip laid = s;
    laid.keepsHeight = true;
    for (const auto& [id, frame] : laid.layout(Rect(0, 0, 1200, 800)).frames)
        EXPECT_TRUE(frame.isFinite() && frame.size.width >= 0 && frame.size.height >= 0) << id;
}
