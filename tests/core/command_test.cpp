#include "core/command.h"
#include "core/window_scope.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace kavelo;

namespace {

struct Expected {
    const char* raw;
    const char* title;
    const char* scope;
    int keyCode;
    int modifiers;
    const char* label;
};

// Every command as it should be, written out independently of the code.
const Expected table[] = {
    {"tidy", "Tidy windows", "always", 17, 0x1800, "Ctrl+Alt+T"},
    {"fillScreen", "Fill the screen", "always", 6, 0x1800, "Ctrl+Alt+Z"},
    {"pause", "Pause arranging", "always", 35, 0x1800, "Ctrl+Alt+P"},
    {"clearDesktop", "Clear the desktop", "always", 7, 0x1800, "Ctrl+Alt+X"},
    {"nextDisplay", "Send to next display", "always", 45, 0x1800, "Ctrl+Alt+N"},
    {"noPeek", "No peek", "always", 45, 0x1A00, "Ctrl+Alt+Shift+N"},
    {"floatWindow", "Float or unfloat window", "always", 3, 0x1A00, "Ctrl+Alt+Shift+F"},
    {"cleanSpace", "Clean Space", "always", 6, 0x1A00, "Ctrl+Alt+Shift+Z"},
    {"undoArrange", "Undo arrangement", "always", 32, 0x1800, "Ctrl+Alt+U"},
    {"snapLeft", "Left half", "snap", 123, 0x1800, "Ctrl+Alt+←"},
    {"snapRight", "Right half", "snap", 124, 0x1800, "Ctrl+Alt+→"},
    {"snapMaximize", "Maximize", "snap", 126, 0x1800, "Ctrl+Alt+↑"},
    {"snapCenter", "Center", "snap", 125, 0x1800, "Ctrl+Alt+↓"},
    {"thirdLeft", "Left third", "snap", 2, 0x1800, "Ctrl+Alt+D"},
    {"thirdCenter", "Center third", "snap", 3, 0x1800, "Ctrl+Alt+F"},
    {"thirdRight", "Right third", "snap", 5, 0x1800, "Ctrl+Alt+G"},
    {"swapLeft", "Swap with previous", "auto", 123, 0x1A00, "Ctrl+Alt+Shift+←"},
    {"swapRight", "Swap with next", "auto", 124, 0x1A00, "Ctrl+Alt+Shift+→"},
    {"layoutGrid", "Grid layout", "auto", 18, 0x1900, "Ctrl+Alt+Super+1"},
    {"layoutColumns", "Columns layout", "auto", 19, 0x1900, "Ctrl+Alt+Super+2"},
    {"layoutRows", "Rows layout", "auto", 20, 0x1900, "Ctrl+Alt+Super+3"},
    {"layoutFocus", "Focus layout", "auto", 21, 0x1900, "Ctrl+Alt+Super+4"},
    {"layoutCustom", "Your grid", "auto", 23, 0x1900, "Ctrl+Alt+Super+5"},
    {"focusLeft", "Focus left", "strip", 123, 0x1800, "Ctrl+Alt+←"},
    {"focusRight", "Focus right", "strip", 124, 0x1800, "Ctrl+Alt+→"},
    {"focusUp", "Focus up", "strip", 126, 0x1800, "Ctrl+Alt+↑"},
    {"focusDown", "Focus down", "strip", 125, 0x1800, "Ctrl+Alt+↓"},
    {"focusFirst", "First window", "strip", 123, 0x1900, "Ctrl+Alt+Super+←"},
    {"focusLast", "Last window", "strip", 124, 0x1900, "Ctrl+Alt+Super+→"},
    {"moveLeft", "Move left", "strip", 123, 0x1A00, "Ctrl+Alt+Shift+←"},
    {"moveRight", "Move right", "strip", 124, 0x1A00, "Ctrl+Alt+Shift+→"},
    {"cycleWidth", "Change width", "strip", 15, 0x1800, "Ctrl+Alt+R"},
    {"fullWidth", "Full width", "strip", 3, 0x1800, "Ctrl+Alt+F"},
    {"center", "Center column", "strip", 8, 0x1800, "Ctrl+Alt+C"},
    {"wider", "Wider", "strip", 24, 0x1800, "Ctrl+Alt+="},
    {"narrower", "Narrower", "strip", 27, 0x1800, "Ctrl+Alt+-"},
    {"taller", "Taller", "strip", 24, 0x1A00, "Ctrl+Alt+Shift+="},
    {"shorter", "Shorter", "strip", 27, 0x1A00, "Ctrl+Alt+Shift+-"},
    {"equalize", "Equal heights", "strip", 29, 0x1800, "Ctrl+Alt+0"},
    {"pinLeft", "Pin to left edge", "strip", 16, 0x1800, "Ctrl+Alt+Y"},
    {"pinRight", "Pin to right edge", "strip", 16, 0x1A00, "Ctrl+Alt+Shift+Y"},
    {"stackLeft", "Stack into left column", "strip", 30, 0x1800, "Ctrl+Alt+]"},
    {"stackRight", "Stack into right column", "strip", 33, 0x1800, "Ctrl+Alt+["},
    {"popLeft", "Pop out to left", "strip", 33, 0x1A00, "Ctrl+Alt+Shift+["},
    {"popRight", "Pop out to right", "strip", 30, 0x1A00, "Ctrl+Alt+Shift+]"},
    {"tabs", "Stack or tabs", "strip", 17, 0x1A00, "Ctrl+Alt+Shift+T"},
    {"jump1", "Go to window 1", "strip", 18, 0x1900, "Ctrl+Alt+Super+1"},
    {"jump2", "Go to window 2", "strip", 19, 0x1900, "Ctrl+Alt+Super+2"},
    {"jump3", "Go to window 3", "strip", 20, 0x1900, "Ctrl+Alt+Super+3"},
    {"jump4", "Go to window 4", "strip", 21, 0x1900, "Ctrl+Alt+Super+4"},
    {"jump5", "Go to window 5", "strip", 23, 0x1900, "Ctrl+Alt+Super+5"},
    {"jump6", "Go to window 6", "strip", 22, 0x1900, "Ctrl+Alt+Super+6"},
    {"jump7", "Go to window 7", "strip", 26, 0x1900, "Ctrl+Alt+Super+7"},
    {"jump8", "Go to window 8", "strip", 28, 0x1900, "Ctrl+Alt+Super+8"},
    {"jump9", "Go to window 9", "strip", 25, 0x1900, "Ctrl+Alt+Super+9"},
};

class CommandTable : public ::testing::Test {
protected:
    void SetUp() override { saved = Shortcut::localName; Shortcut::localName = nullptr; }
    void TearDown() override { Shortcut::localName = saved; }
    Shortcut::KeyNameResolver saved;
};

std::set<CommandScope> activeScopes(const std::string& mode)
{
    using enum CommandScope;
    if (mode == "off")
        return {always, snap};
    if (mode == "auto")
        return {always, snap, auto_};
    return {always, strip};
}

} // namespace

TEST_F(CommandTable, MatchesTheDocumentedTableInOrder)
{
    ASSERT_EQ(std::size(table), 55u);
    ASSERT_EQ(allCommands.size(), 55u);
    for (std::size_t i = 0; i < allCommands.size(); ++i) {
        const Command c = allCommands[i];
        const Expected& row = table[i];
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(position(c), static_cast<int>(i));
        EXPECT_EQ(rawValue(c), row.raw);
        EXPECT_EQ(title(c), row.title);
        EXPECT_EQ(rawValue(scope(c)), row.scope);
        EXPECT_EQ(standard(c), (Shortcut{.keyCode = row.keyCode, .modifiers = row.modifiers}));
        EXPECT_EQ(standard(c).label(), row.label);
        EXPECT_TRUE(standard(c).isUsable());
    }
}

TEST_F(CommandTable, ScopesFollowPositions)
{
    for (Command c : allCommands) {
        const int p = position(c);
        const CommandScope expected = p <= 8    ? CommandScope::always
                                      : p <= 15 ? CommandScope::snap
                                      : p <= 22 ? CommandScope::auto_
                                                : CommandScope::strip;
        EXPECT_EQ(scope(c), expected) << rawValue(c);
    }
    for (CommandScope s : allCommandScopes)
        EXPECT_EQ(CommandScope_from(rawValue(s)), s);
    EXPECT_EQ(rawValue(CommandScope::auto_), "auto");
    EXPECT_EQ(CommandScope_from("auto_"), std::nullopt);
    EXPECT_EQ(CommandScope_from("Strip"), std::nullopt);
}

TEST_F(CommandTable, NoTwoDefaultsMeetInOneArrangeMode)
{
    for (const std::string mode : {"off", "auto", "strip"}) {
        const std::set<CommandScope> active = activeScopes(mode);
        std::vector<Shortcut> seen;
        for (Command c : allCommands) {
            if (!active.contains(scope(c)))
                continue;
            for (const Shortcut& other : seen)
                EXPECT_NE(standard(c), other) << mode << ": " << rawValue(c);
            seen.push_back(standard(c));
        }
    }
}

TEST(Command, RawNamesRoundTripExactly)
{
    std::set<std::string_view> names;
    for (Command c : allCommands) {
        EXPECT_EQ(Command_from(rawValue(c)), c);
        EXPECT_TRUE(names.insert(rawValue(c)).second);
        EXPECT_EQ(json::decode([&] { return json::command(json::encode(c)); }), c);
    }
    EXPECT_EQ(Command_from("Tidy"), std::nullopt);
    EXPECT_EQ(Command_from("SNAPLEFT"), std::nullopt);
    EXPECT_EQ(Command_from("jump10"), std::nullopt);
    EXPECT_EQ(Command_from("jump0"), std::nullopt);
    EXPECT_EQ(Command_from(" tidy"), std::nullopt);
    EXPECT_EQ(Command_from(""), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::command(Json("jump10")); }), std::nullopt);
    EXPECT_EQ(json::decode([] { return json::command(Json(0)); }), std::nullopt);
    EXPECT_EQ(json::encode(Command::snapLeft).dump(), R"("snapLeft")");
}

TEST(Command, JumpTargets)
{
    for (Command c : allCommands) {
        const int p = position(c);
        if (p >= position(Command::jump1))
            EXPECT_EQ(jumpTarget(c), p - position(Command::jump1) + 1);
        else
            EXPECT_EQ(jumpTarget(c), std::nullopt) << rawValue(c);
    }
    EXPECT_EQ(title(Command::jump7), "Go to window 7");
    EXPECT_EQ(standard(Command::jump5), (Shortcut{.keyCode = 23, .modifiers = 0x1900}));
}

TEST(CommandMapJson, AlternatesNamesAndValues)
{
    const std::map<Command, Shortcut> bindings{
        {Command::focusLeft, Shortcut{.keyCode = 4, .modifiers = 0x1800}},
        {Command::tidy, Shortcut{.keyCode = 17, .modifiers = 0x1100}},
    };
    const Json j = json::encodeCommandMap(bindings);
    EXPECT_EQ(j.dump(), R"(["tidy",{"keyCode":17,"modifiers":4352},"focusLeft",{"keyCode":4,"modifiers":6144}])");
    EXPECT_EQ(json::decode([&] { return json::commandMap(j, json::shortcut); }), bindings);

    const std::map<Command, std::vector<Shortcut>> extra{
        {Command::jump3, {Shortcut{.keyCode = 20, .modifiers = 0x1000}, Shortcut{.keyCode = 96}}},
        {Command::pause, {}},
    };
    const Json e = json::encodeCommandMap(extra);
    EXPECT_EQ(e.dump(), R"(["pause",[],"jump3",[{"keyCode":20,"modifiers":4096},{"keyCode":96,"modifiers":0}]])");
    EXPECT_EQ(json::decode([&] { return json::commandMap(e, json::shortcuts); }), extra);

    EXPECT_EQ(json::encodeCommandMap(std::map<Command, Shortcut>{}).dump(), "[]");
}

TEST(CommandMapJson, AnUnknownCommandDropsOnlyItsOwnEntry)
{
    const Json j = Json::parse(R"([
        "snapLeft", {"keyCode": 0, "modifiers": 6144},
        "jump10", {"keyCode": 29, "modifiers": 6400},
        "retiredCommand", "any value at all",
        "focusRight", {"keyCode": 37, "modifiers": 6144}
    ])");
    const auto map = json::decode([&] { return json::commandMap(j, json::shortcut); });
    ASSERT_TRUE(map);
    EXPECT_EQ(*map, (std::map<Command, Shortcut>{
                        {Command::snapLeft, Shortcut{.keyCode = 0, .modifiers = 6144}},
                        {Command::focusRight, Shortcut{.keyCode = 37, .modifiers = 6144}},
                    }));
}

TEST(CommandMapJson, MalformedArraysFail)
{
    const auto read = [](const char* text) {
        return json::decode([&] { return json::commandMap(Json::parse(text), json::shortcut); });
    };
    EXPECT_EQ(read(R"(["tidy"])"), std::nullopt);
    EXPECT_EQ(read(R"(["tidy", {"keyCode": 1, "modifiers": 0}, "pause"])"), std::nullopt);
    EXPECT_EQ(read(R"([3, {"keyCode": 1, "modifiers": 0}])"), std::nullopt);
    EXPECT_EQ(read(R"(["tidy", {"keyCode": 1}])"), std::nullopt);
    EXPECT_EQ(read(R"({"tidy": {"keyCode": 1, "modifiers": 0}})"), std::nullopt);
    EXPECT_EQ(read("[]"), (std::map<Command, Shortcut>{}));
    // A repeated command keeps its last value.
    EXPECT_EQ(read(R"(["tidy", {"keyCode": 1, "modifiers": 0}, "tidy", {"keyCode": 2, "modifiers": 0}])"),
              (std::map<Command, Shortcut>{{Command::tidy, Shortcut{.keyCode = 2}}}));
}

RC_GTEST_PROP(CommandMapJsonProperties, EncodedMapsReadBack, ())
{
    const auto entries = *rc::gen::container<std::vector<std::pair<int, std::pair<int, int>>>>(
        rc::gen::pair(rc::gen::inRange(0, 55), rc::gen::pair(rc::gen::arbitrary<int>(), rc::gen::arbitrary<int>())));
    std::map<Command, Shortcut> map;
    for (const auto& [index, s] : entries)
        map[allCommands[index]] = Shortcut{.keyCode = s.first, .modifiers = s.second};
    Json j = json::encodeCommandMap(map);
    RC_ASSERT(j.size() == 2 * map.size());
    // Names from another version in between change nothing else.
    j.push_back("someFutureCommand");
    j.push_back(Json::object());
    RC_ASSERT(json::decode([&] { return json::commandMap(j, json::shortcut); }) == map);
}

TEST(WindowScope, FiltersWindowStates)
{
    using enum WindowState;
    const WindowState states[] = {visible, minimized, hidden, otherSpace};
    const char* titles[] = {"All", "This desktop", "Minimized", "Other desktops"};
    const char* raws[] = {"all", "thisDesktop", "minimized", "otherDesktops"};
    const std::set<WindowState> included[] = {
        {visible, minimized, hidden, otherSpace}, {visible, hidden}, {minimized}, {otherSpace}};
    for (std::size_t i = 0; i < allWindowScopes.size(); ++i) {
        const WindowScope s = allWindowScopes[i];
        EXPECT_EQ(title(s), titles[i]);
        EXPECT_EQ(rawValue(s), raws[i]);
        EXPECT_EQ(WindowScope_from(raws[i]), s);
        for (WindowState state : states)
            EXPECT_EQ(includes(s, state), included[i].contains(state)) << raws[i] << " " << rawValue(state);
    }
    EXPECT_EQ(WindowScope_from("ThisDesktop"), std::nullopt);
}
