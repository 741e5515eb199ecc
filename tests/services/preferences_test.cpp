#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/watchdog.h"
#include "services/fake_launcher.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace kavelo;

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    // Reads the defaults file afresh, as a new launch would.
    Preferences& launch(std::function<bool(int)> systemSwipes = {})
    {
        prefs.reset();
        store = std::make_unique<UserDefaults>(home.paths().userDefaults);
        prefs = std::make_unique<Preferences>(*store, sim.loginItem(), std::move(systemSwipes));
        return *prefs;
    }

    void writeFile(const std::string& text)
    {
        const auto file = home.paths().userDefaults;
        std::filesystem::create_directories(file.parent_path());
        ASSERT_FALSE(writeFileAtomically(file, text));
    }
    void writeDefaults(const Json& values) { writeFile(values.dump()); }

    Json fileContents() const
    {
        const auto text = readFile(home.paths().userDefaults);
        return text ? json::parse(*text).value_or(Json()) : Json();
    }

    test::TempHome home;
    SimDesktop sim;
    std::unique_ptr<UserDefaults> store;
    std::unique_ptr<Preferences> prefs;
};

void expectAllDefaults(const Preferences& p)
{
    EXPECT_EQ(p.shortcut(), (Shortcut{49, Shortcut::control | Shortcut::option}));
    EXPECT_EQ(p.mouseButton(), 3);
    EXPECT_TRUE(p.snappingEnabled());
    EXPECT_EQ(p.tidyLayout(), TidyLayout::grid);
    EXPECT_EQ(p.arrangeMode(), ArrangeMode::off);
    EXPECT_TRUE(p.displayLayouts().empty());
    EXPECT_TRUE(p.gridPlans().empty());
    EXPECT_TRUE(p.leftAlone().empty());
    EXPECT_TRUE(p.bindings().empty());
    EXPECT_EQ(p.maxTiles(), 0);
    EXPECT_TRUE(p.stripSlots().empty());
    EXPECT_EQ(p.stripSwipeFingers(), 3);
    EXPECT_EQ(p.windowGap(), 10);
    EXPECT_EQ(p.mainShare(), 0);
    EXPECT_TRUE(p.reservedEdges().empty());
    EXPECT_TRUE(p.displaysOff().empty());
    EXPECT_FALSE(p.keepsOriginalHeight());
    EXPECT_FALSE(p.focusFollowsMouse());
    EXPECT_FALSE(p.mouseFollowsFocus());
    EXPECT_TRUE(p.extraBindings().empty());
    EXPECT_EQ(p.stripCenter(), Strip::CenterMode::never);
    EXPECT_EQ(p.noPeekDarkness(), 0.75);
    EXPECT_FALSE(p.noPeekBlur());
    EXPECT_EQ(p.highlight(), WindowHighlight::none);
    EXPECT_EQ(p.highlightColor(), (Color{1.0, 0.71, 0.278, 1}));
    EXPECT_FALSE(p.gridFollowsCount());
    EXPECT_TRUE(p.mainWindows().empty());
    EXPECT_TRUE(p.minimumSizes().empty());
    EXPECT_FALSE(p.focusHidesOthers());
    EXPECT_FALSE(p.savesSafariTabs());
    EXPECT_TRUE(p.switcherEnabled());
    EXPECT_TRUE(p.remembersLayouts());
}

} // namespace

TEST_F(PreferencesTest, WithNothingStoredEverySettingHasItsDefaultAndTheSwitchesAreOff)
{
    Preferences& p = launch();
    expectAllDefaults(p);
    EXPECT_FALSE(p.noPeekOn());
    EXPECT_FALSE(p.cleanSpaceOn());
    EXPECT_FALSE(p.isRecording());
    EXPECT_FALSE(p.shortcutTaken());
    EXPECT_FALSE(p.opensAtLogin());
    EXPECT_FALSE(p.onKeysChange);
    EXPECT_FALSE(p.onArrangeChange);
    // Reading writes nothing.
    EXPECT_FALSE(std::filesystem::exists(home.paths().userDefaults));

    sim.setLoginItem(LoginItemStatus::enabled);
    EXPECT_TRUE(launch().opensAtLogin());
    sim.setLoginItem(LoginItemStatus::requiresApproval);
    EXPECT_FALSE(launch().opensAtLogin());
}

TEST_F(PreferencesTest, ValuesOfTheWrongTypeReadAsTheirDefaults)
{
    // Every key holds something of another type than it takes.
    writeDefaults({
        {"shortcut", "Space"},
        {"mouseButton", "3"},
        {"snappingEnabled", 0},
        {"arrangeMode", "Auto"},
        {"displayLayouts", Json::array({"Main", "grid"})},
        {"gridPlans", "none"},
        {"leftAlone", Json::array({"a", 1})},
        {"bindings", Json::object({{"tidy", {{"keyCode", 1}, {"modifiers", 0}}}})},
        {"maxTiles", 2.5},
        {"stripSlots", {{"a", 1}, {"b", "2"}}},
        {"stripSwipeFingers", true},
        {"windowGap", "10"},
        {"mainShare", "0.5"},
        {"reservedEdges", Json::array({1, 2})},
        {"highlight", "Glow"},
        {"displaysOff", "Main"},
        {"keepsOriginalHeight", "yes"},
        {"focusFollowsMouse", 1},
        {"mouseFollowsFocus", nullptr},
        {"extraBindings", Json::array({"tidy"})},
        {"stripCenter", "sometimes"},
        {"noPeekDarkness", false},
        {"noPeekBlur", "true"},
        {"highlightColor", 0xFFB546},
        {"gridFollowsCount", Json::array()},
        {"mainWindows", {{"Safari", "Docs"}}},
        {"minimumSizes", {{"k", Json::array({1})}}},
        {"focusHidesOthers", Json::object()},
        {"savesSafariTabs", 1.0},
        {"switcherEnabled", "false"},
        {"tidyLayout", "diagonal"},
        {"remembersLayouts", 0},
    });
    expectAllDefaults(launch());
    // The bad values stay until the setting is next assigned.
    EXPECT_EQ(store->value("arrangeMode")->get<std::string>(), "Auto");
}

TEST_F(PreferencesTest, IntegersReadExactly)
{
    writeDefaults({{"mouseButton", 0}, {"maxTiles", 4.0}, {"windowGap", 3000000000LL}, {"mainShare", 1}});
    Preferences& p = launch();
    EXPECT_EQ(p.mouseButton(), 0);
    EXPECT_EQ(p.maxTiles(), 4);        // a whole number stored as a float is still an integer
    EXPECT_EQ(p.windowGap(), 10);      // out of range
    EXPECT_EQ(p.mainShare(), 1.0);     // an integer is a number
}

TEST_F(PreferencesTest, TheSwipeFingerDefaultKeepsClearOfTheSystemsSwipes)
{
    const auto with = [&](bool three, bool four) {
        return launch([=](int fingers) { return fingers == 3 ? three : four; }).stripSwipeFingers();
    };
    EXPECT_EQ(with(false, false), 3);
    EXPECT_EQ(with(true, false), 4);
    EXPECT_EQ(with(true, true), 3);
    EXPECT_EQ(with(false, true), 3);

    writeDefaults({{"stripSwipeFingers", 0}});
    EXPECT_EQ(with(true, false), 0);
    writeDefaults({{"stripSwipeFingers", "4"}});
    EXPECT_EQ(with(true, false), 4);
    EXPECT_EQ(with(false, false), 3);
}

TEST_F(PreferencesTest, EverySettingSurvivesARelaunchInItsStoredForm)
{
    Preferences& p = launch();
    GridPlan plan = GridPlan::presets().back().plan;
    p.setShortcut({.keyCode = 48, .modifiers = Shortcut::command | Shortcut::shift});
    p.setMouseButton(0);
    p.setSnappingEnabled(false);
    p.setTidyLayout(TidyLayout::focus);
    p.setArrangeMode(ArrangeMode::auto_);
    p.setDisplayLayouts({{"Built-in Display", TidyLayout::columns}, {"DELL U2720Q", TidyLayout::custom}});
    p.setGridPlans({{"DELL U2720Q", plan}});
    p.setLeftAlone({"com.apple.Finder", "org.gimp.GIMP"});
    p.setBindings({{Command::tidy, {.keyCode = 1, .modifiers = Shortcut::control}},
                   {Command::jump3, {.keyCode = 20, .modifiers = Shortcut::option}}});
    p.setMaxTiles(4);
    p.setStripSlots({{"org.mozilla.firefox", 1}, {"com.apple.Terminal", 6}});
    p.setStripSwipeFingers(4);
    p.setWindowGap(0);
    p.setMainShare(0.62);
    p.setReservedEdges({{"top", 30}, {"left", 5}});
    p.setHighlight(WindowHighlight::glow);
    p.setDisplaysOff({"Projector"});
    p.setKeepsOriginalHeight(true);
    p.setFocusFollowsMouse(true);
    p.setMouseFollowsFocus(true);
    p.setExtraBindings({{Command::focusLeft,
                         {{.keyCode = 4, .modifiers = Shortcut::control}, {.keyCode = 0, .modifiers = Shortcut::option}}},
                        {Command::undoArrange, {}}});
    p.setStripCenter(Strip::CenterMode::overflow);
    p.setNoPeekDarkness(0.5);
    p.setNoPeekBlur(true);
    p.setHighlightColor({.red = 0.2, .green = 0.4, .blue = 1.0});
    p.setGridFollowsCount(true);
    p.setMainWindows({{"Safari", {"com.apple.Safari", "Start Page"}}});
    p.setMinimumSizes({{"com.apple.Notes", Size(320, 240)}});
    p.setFocusHidesOthers(true);
    p.setSavesSafariTabs(true);
    p.setSwitcherEnabled(false);
    p.setRemembersLayouts(false);

    const Json file = fileContents();
    EXPECT_EQ(file["shortcut"], Json({{"keyCode", 48}, {"modifiers", 0x300}}));
    EXPECT_EQ(file["arrangeMode"], "auto");
    EXPECT_EQ(file["tidyLayout"], "focus");
    EXPECT_EQ(file["stripCenter"], "overflow");
    EXPECT_EQ(file["highlight"], "glow");
    EXPECT_EQ(file["highlightColor"], "3366FF");
    EXPECT_EQ(file["displayLayouts"], Json({{"Built-in Display", "columns"}, {"DELL U2720Q", "custom"}}));
    EXPECT_EQ(file["gridPlans"]["DELL U2720Q"], toJson(plan));
    EXPECT_EQ(file["leftAlone"], Json({"com.apple.Finder", "org.gimp.GIMP"}));
    // Maps keyed by command alternate name and value in one flat array.
    EXPECT_EQ(file["bindings"], Json::parse(R"(["tidy", {"keyCode": 1, "modifiers": 4096},
                                                 "jump3", {"keyCode": 20, "modifiers": 2048}])"));
    EXPECT_EQ(file["extraBindings"], Json::parse(R"(["undoArrange", [],
        "focusLeft", [{"keyCode": 4, "modifiers": 4096}, {"keyCode": 0, "modifiers": 2048}]])"));
    EXPECT_EQ(file["stripSlots"], Json({{"com.apple.Terminal", 6}, {"org.mozilla.firefox", 1}}));
    EXPECT_EQ(file["reservedEdges"], Json({{"left", 5}, {"top", 30}}));
    EXPECT_EQ(file["minimumSizes"], Json({{"com.apple.Notes", {320.0, 240.0}}}));
    EXPECT_EQ(file["mainWindows"], Json({{"Safari", {"com.apple.Safari", "Start Page"}}}));
    EXPECT_TRUE(file["mainShare"].is_number_float());
    EXPECT_TRUE(file["windowGap"].is_number_integer());
    EXPECT_TRUE(file["switcherEnabled"].is_boolean());

    const Preferences& q = launch();
    EXPECT_EQ(q.shortcut(), (Shortcut{48, 0x300}));
    EXPECT_EQ(q.mouseButton(), 0);
    EXPECT_FALSE(q.snappingEnabled());
    EXPECT_EQ(q.tidyLayout(), TidyLayout::focus);
    EXPECT_EQ(q.arrangeMode(), ArrangeMode::auto_);
    EXPECT_EQ(q.displayLayouts().at("DELL U2720Q"), TidyLayout::custom);
    EXPECT_EQ(q.gridPlans().at("DELL U2720Q"), plan);
    EXPECT_EQ(q.leftAlone(), (std::set<std::string>{"com.apple.Finder", "org.gimp.GIMP"}));
    EXPECT_EQ(q.bindings().size(), 2u);
    EXPECT_EQ(q.bindings().at(Command::jump3), (Shortcut{20, Shortcut::option}));
    EXPECT_EQ(q.maxTiles(), 4);
    EXPECT_EQ(q.stripSlots().at("com.apple.Terminal"), 6);
    EXPECT_EQ(q.stripSwipeFingers(), 4);
    EXPECT_EQ(q.windowGap(), 0);
    EXPECT_EQ(q.mainShare(), 0.62);
    EXPECT_EQ(q.reservedEdges().at("top"), 30);
    EXPECT_EQ(q.highlight(), WindowHighlight::glow);
    EXPECT_EQ(q.displaysOff(), (std::set<std::string>{"Projector"}));
    EXPECT_TRUE(q.keepsOriginalHeight());
    EXPECT_TRUE(q.focusFollowsMouse());
    EXPECT_TRUE(q.mouseFollowsFocus());
    EXPECT_EQ(q.extraBindings().at(Command::focusLeft).size(), 2u);
    EXPECT_TRUE(q.extraBindings().at(Command::undoArrange).empty());
    EXPECT_EQ(q.stripCenter(), Strip::CenterMode::overflow);
    EXPECT_EQ(q.noPeekDarkness(), 0.5);
    EXPECT_TRUE(q.noPeekBlur());
    EXPECT_EQ(q.highlightColor(), (Color{0.2, 0.4, 1.0, 1}));
    EXPECT_TRUE(q.gridFollowsCount());
    EXPECT_EQ(q.mainWindows().at("Safari").back(), "Start Page");
    EXPECT_EQ(q.minimumSizes().at("com.apple.Notes"), Size(320, 240));
    EXPECT_TRUE(q.focusHidesOthers());
    EXPECT_TRUE(q.savesSafariTabs());
    EXPECT_FALSE(q.switcherEnabled());
    EXPECT_FALSE(q.remembersLayouts());
}

TEST_F(PreferencesTest, TheSwitchesLiveOnlyInMemory)
{
    Preferences& p = launch();
    p.setNoPeekOn(true);
    p.setCleanSpaceOn(true);
    p.setShortcutTaken(true);
    p.setIsRecording(true);
    EXPECT_FALSE(std::filesystem::exists(home.paths().userDefaults));
    const Preferences& q = launch();
    EXPECT_FALSE(q.noPeekOn() || q.cleanSpaceOn() || q.shortcutTaken() || q.isRecording());
}

TEST_F(PreferencesTest, EachAssignmentIsWrittenThenObservedThenCallsItsCallbacksInOrder)
{
    Preferences& p = launch();
    std::vector<std::string> calls;
    p.onKeysChange = [&] { calls.push_back("keys"); };
    p.onArrangeChange = [&] { calls.push_back("arrange"); };
    Handle watch = p.observe([&](std::string_view property) {
        // The write is already in the file when anyone hears of it.
        const Json file = fileContents();
        calls.push_back(std::string(property) + (file.contains(property) ? " written" : " not written"));
    });

    struct Case {
        std::string key;
        std::function<void()> assign;
        std::vector<std::string> after;
    };
    const std::vector<std::string> keys{"keys"}, arrange{"arrange"}, none{};
    const std::vector<Case> cases{
        {"shortcut", [&] { p.setShortcut(p.shortcut()); }, keys},
        {"mouseButton", [&] { p.setMouseButton(2); }, keys},
        {"snappingEnabled", [&] { p.setSnappingEnabled(true); }, keys},
        {"tidyLayout", [&] { p.setTidyLayout(TidyLayout::rows); }, none},
        {"arrangeMode", [&] { p.setArrangeMode(ArrangeMode::strip); }, {"keys", "arrange"}},
        {"displayLayouts", [&] { p.setDisplayLayouts({}); }, arrange},
        {"gridPlans", [&] { p.setGridPlans({}); }, arrange},
        {"leftAlone", [&] { p.setLeftAlone({"x"}); }, arrange},
        {"bindings", [&] { p.setBindings({}); }, keys},
        {"maxTiles", [&] { p.setMaxTiles(3); }, arrange},
        {"stripSlots", [&] { p.setStripSlots({}); }, arrange},
        {"stripSwipeFingers", [&] { p.setStripSwipeFingers(0); }, arrange},
        {"windowGap", [&] { p.setWindowGap(8); }, arrange},
        {"mainShare", [&] { p.setMainShare(0.5); }, arrange},
        {"reservedEdges", [&] { p.setReservedEdges({}); }, arrange},
        {"highlight", [&] { p.setHighlight(WindowHighlight::border); }, none},
        {"displaysOff", [&] { p.setDisplaysOff({}); }, arrange},
        {"keepsOriginalHeight", [&] { p.setKeepsOriginalHeight(true); }, arrange},
        {"focusFollowsMouse", [&] { p.setFocusFollowsMouse(true); }, none},
        {"mouseFollowsFocus", [&] { p.setMouseFollowsFocus(false); }, none},
        {"extraBindings", [&] { p.setExtraBindings({}); }, keys},
        {"stripCenter", [&] { p.setStripCenter(Strip::CenterMode::always); }, arrange},
        {"noPeekDarkness", [&] { p.setNoPeekDarkness(0.9); }, none},
        {"noPeekBlur", [&] { p.setNoPeekBlur(true); }, none},
        {"highlightColor", [&] { p.setHighlightColor(Preferences::defaultHighlightColor); }, none},
        {"gridFollowsCount", [&] { p.setGridFollowsCount(true); }, arrange},
        {"focusHidesOthers", [&] { p.setFocusHidesOthers(true); }, none},
        {"savesSafariTabs", [&] { p.setSavesSafariTabs(true); }, none},
        {"switcherEnabled", [&] { p.setSwitcherEnabled(true); }, none},
        {"remembersLayouts", [&] { p.setRemembersLayouts(true); }, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        calls.clear();
        c.assign();
        std::vector<std::string> expected{c.key + " written"};
        expected.insert(expected.end(), c.after.begin(), c.after.end());
        EXPECT_EQ(calls, expected);
    }

    // The engine's own records and the recorder flag are stored or kept
    // quietly; the in-memory switches are observed but call nothing.
    calls.clear();
    p.setMinimumSizes({{"k", Size(1, 2)}});
    p.setMainWindows({});
    p.setIsRecording(true);
    EXPECT_TRUE(calls.empty());
    p.setNoPeekOn(true);
    p.setCleanSpaceOn(true);
    p.setShortcutTaken(true);
    p.setOpensAtLogin(true);
    EXPECT_EQ(calls, (std::vector<std::string>{"noPeekOn not written", "cleanSpaceOn not written",
                                               "shortcutTaken not written", "opensAtLogin not written"}));

    // Without callbacks an assignment still writes and is observed.
    p.onKeysChange = nullptr;
    p.onArrangeChange = nullptr;
    calls.clear();
    p.setArrangeMode(ArrangeMode::off);
    EXPECT_EQ(calls, std::vector<std::string>{"arrangeMode written"});

    // Dropping the handle ends the observation.
    watch.cancel();
    calls.clear();
    p.setWindowGap(1);
    EXPECT_TRUE(calls.empty());
}

TEST_F(PreferencesTest, AValueThatCannotBeEncodedRemovesItsKeyAndStillCallsBack)
{
    Preferences& p = launch();
    int arranges = 0;
    p.onArrangeChange = [&] { ++arranges; };
    p.setMainShare(0.4);
    p.setLeftAlone({"com.example.app"});
    p.setHighlightColor({.red = 0.5, .green = 0.5, .blue = 0.5});
    ASSERT_TRUE(fileContents().contains("mainShare"));

    p.setMainShare(std::nan(""));
    EXPECT_FALSE(fileContents().contains("mainShare"));
    EXPECT_EQ(arranges, 3);
    EXPECT_TRUE(std::isnan(p.mainShare()));

    p.setLeftAlone({"com.example.app", std::string("bad\xff\xfe")});
    EXPECT_FALSE(fileContents().contains("leftAlone"));
    EXPECT_EQ(arranges, 4);

    // Outside sRGB's range there is no six-digit form.
    p.setHighlightColor({.red = 1.2, .green = 0, .blue = 0});
    EXPECT_FALSE(fileContents().contains("highlightColor"));

    const Preferences& q = launch();
    EXPECT_EQ(q.mainShare(), 0);
    EXPECT_TRUE(q.leftAlone().empty());
    EXPECT_EQ(q.highlightColor(), Preferences::defaultHighlightColor);
}

TEST_F(PreferencesTest, HighlightColourHexForm)
{
    writeDefaults({{"highlightColor", "FFB546"}});
    EXPECT_EQ(launch().highlightColor(), (Color{1.0, 181.0 / 255, 70.0 / 255, 1}));
    for (const char* bad : {"", "FFG546", "#FFB546", "FF B5", "+", "10000000000000000"}) {
        writeDefaults({{"highlightColor", bad}});
        EXPECT_EQ(launch().highlightColor(), Preferences::defaultHighlightColor) << bad;
    }
    // The whole text is one number; only its low 24 bits are the colour.
    writeDefaults({{"highlightColor", "ff"}});
    EXPECT_EQ(launch().highlightColor(), (Color{0, 0, 1, 1}));
    writeDefaults({{"highlightColor", "-1"}});
    EXPECT_EQ(launch().highlightColor(), (Color{1, 1, 1, 1}));
    writeDefaults({{"highlightColor", "+12345678"}});
    EXPECT_EQ(launch().highlightColor(), (Color{0x34 / 255.0, 0x56 / 255.0, 0x78 / 255.0, 1}));

    // Writing the default truncates: it reads back a shade darker.
    Preferences& p = launch();
    p.setHighlightColor(Preferences::defaultHighlightColor);
    EXPECT_EQ(fileContents()["highlightColor"], "FFB546");
    const Color back = launch().highlightColor();
    EXPECT_EQ(back.red, 1.0);
    EXPECT_LT(back.green, 0.71);
    EXPECT_LT(back.blue, 0.278);

    EXPECT_EQ(hex({0, 0, 0, 1}), "000000");
    EXPECT_EQ(hex({1, 1, 1, 0.5}), "FFFFFF");
    EXPECT_EQ(hex({-0.01, 0, 0, 1}), std::nullopt);
    EXPECT_EQ(colorFromHex("-8000000000000000"), (Color{0, 0, 0, 1}));
    EXPECT_EQ(colorFromHex("-8000000000000001"), std::nullopt);
    EXPECT_EQ(colorFromHex("7FFFFFFFFFFFFFFF"), (Color{1, 1, 1, 1}));
    EXPECT_EQ(colorFromHex("8000000000000000"), std::nullopt);
}

TEST_F(PreferencesTest, AnUnreadableFileIsMovedAsideBeforeTheFirstWrite)
{
    writeFile("{\"windowGap\": 4, oops");
    Preferences& p = launch();
    EXPECT_EQ(p.windowGap(), 10);
    // Reading leaves it alone.
    EXPECT_EQ(readFile(home.paths().userDefaults), "{\"windowGap\": 4, oops");

    p.setMaxTiles(5);
    const auto aside = home.paths().userDefaults.string() + ".unreadable";
    EXPECT_EQ(readFile(aside), "{\"windowGap\": 4, oops");
    EXPECT_EQ(store->movedAside(), std::filesystem::path(aside));
    EXPECT_EQ(fileContents(), Json({{"maxTiles", 5}}));

    // A second bad file does not replace the first one set aside.
    writeFile("[1, 2]");
    launch().setMaxTiles(6);
    EXPECT_EQ(readFile(aside), "{\"windowGap\": 4, oops");
    EXPECT_EQ(readFile(aside + ".2"), "[1, 2]");
    EXPECT_EQ(fileContents(), Json({{"maxTiles", 6}}));
}

TEST_F(PreferencesTest, UnknownNamesDropOnlyTheirOwnEntries)
{
    const Json tidy = {{"keyCode", 17}, {"modifiers", 0x1000}};
    const Json more = Json::array({{{"keyCode", 1}, {"modifiers", 0x800}}});
    writeDefaults({
        {"bindings", Json::array({"tidy", tidy, "rotateWorld", tidy, "jump2", tidy})},
        {"extraBindings", Json::array({"futureCommand", more, "center", more})},
        {"displayLayouts", {{"A", "columns"}, {"B", "spiral"}, {"C", 3}, {"D", "focus"}}},
        {"gridPlans", {{"A", toJson(GridPlan::even(2, 2))},
                       {"B", {{"columns", 9}, {"rows", 1}, {"cells", Json::array()}}},
                       {"C", "plan"}}},
    });
    Preferences& p = launch();
    EXPECT_EQ(p.bindings(), (std::map<Command, Shortcut>{{Command::tidy, {17, 0x1000}}, {Command::jump2, {17, 0x1000}}}));
    EXPECT_EQ(p.extraBindings().size(), 1u);
    EXPECT_EQ(p.extraBindings().at(Command::center), (std::vector<Shortcut>{{1, 0x800}}));
    EXPECT_EQ(p.displayLayouts(), (std::map<std::string, TidyLayout>{{"A", TidyLayout::columns}, {"D", TidyLayout::focus}}));
    ASSERT_EQ(p.gridPlans().size(), 1u);
    EXPECT_EQ(p.gridPlans().at("A"), GridPlan::even(2, 2));

    // The next write keeps every entry this version knows.
    auto bindings = p.bindings();
    bindings[Command::pause] = {35, 0x1800};
    p.setBindings(bindings);
    EXPECT_EQ(launch().bindings().size(), 3u);

    // A malformed pair still discards the whole map.
    writeDefaults({{"bindings", Json::array({"tidy", tidy, "jump2"})}});
    EXPECT_TRUE(launch().bindings().empty());
    writeDefaults({{"bindings", Json::array({"tidy", "not a shortcut"})}});
    EXPECT_TRUE(launch().bindings().empty());
}

TEST_F(PreferencesTest, KeyAndPlanFallBackToTheDefaults)
{
    Preferences& p = launch();
    for (Command c : allCommands)
        EXPECT_EQ(p.key(c), standard(c));
    const Shortcut mine{.keyCode = 0, .modifiers = Shortcut::command | Shortcut::option};
    p.setExtraBindings({{Command::tidy, {mine}}});
    EXPECT_EQ(p.key(Command::tidy), standard(Command::tidy));
    p.setBindings({{Command::tidy, mine}});
    EXPECT_EQ(p.key(Command::tidy), mine);

    EXPECT_EQ(p.plan("Nowhere"), GridPlan::presets().front().plan);
    p.setGridPlans({{"Main", GridPlan::even(3, 1)}});
    EXPECT_EQ(p.plan("Main"), GridPlan::even(3, 1));
    EXPECT_EQ(p.plan("main"), GridPlan::presets().front().plan);
}

TEST_F(PreferencesTest, ClashesOnlyWithCommandsThatCanBeActiveTogether)
{
    Preferences& p = launch();
    // The defaults share shortcuts only across modes that never meet.
    for (Command c : allCommands)
        EXPECT_EQ(p.clash(c), std::nullopt) << rawValue(c);
    EXPECT_EQ(standard(Command::snapLeft), standard(Command::focusLeft));

    const Shortcut left = standard(Command::snapLeft);
    p.setBindings({{Command::swapLeft, left}});   // auto
    EXPECT_EQ(p.clash(Command::snapLeft), Command::swapLeft);
    EXPECT_EQ(p.clash(Command::swapLeft), Command::snapLeft);
    EXPECT_EQ(p.clash(Command::focusLeft), std::nullopt);

    p.setBindings({{Command::swapLeft, left}, {Command::clearDesktop, left}});   // and always
    EXPECT_EQ(p.clash(Command::snapLeft), Command::clearDesktop);    // first in command order
    EXPECT_EQ(p.clash(Command::focusLeft), Command::clearDesktop);
    EXPECT_EQ(p.clash(Command::clearDesktop), Command::snapLeft);

    // A strip command only meets strip and always commands.
    p.setBindings({{Command::tidy, standard(Command::cycleWidth)}, {Command::layoutGrid, standard(Command::wider)}});
    EXPECT_EQ(p.clash(Command::cycleWidth), Command::tidy);
    EXPECT_EQ(p.clash(Command::wider), std::nullopt);
    EXPECT_EQ(p.clash(Command::layoutGrid), std::nullopt);
    p.setBindings({{Command::jump9, standard(Command::wider)}});
    EXPECT_EQ(p.clash(Command::wider), Command::jump9);
    EXPECT_EQ(p.clash(Command::jump9), Command::wider);
    // Further bindings play no part.
    p.setExtraBindings({{Command::pause, {standard(Command::wider)}}});
    EXPECT_EQ(p.clash(Command::pause), std::nullopt);
}

TEST_F(PreferencesTest, OpenAtLoginShowsTheItemsRealStatus)
{
    Preferences& p = launch();
    p.setOpensAtLogin(true);
    EXPECT_TRUE(p.opensAtLogin());
    EXPECT_EQ(sim.loginItem().status(), LoginItemStatus::enabled);
    p.setOpensAtLogin(false);
    EXPECT_FALSE(p.opensAtLogin());

    // A refused change springs back.
    sim.setLoginItem(LoginItemStatus::enabled, /*refusesChanges=*/true);
    p.setOpensAtLogin(false);
    EXPECT_TRUE(p.opensAtLogin());
    sim.setLoginItem(LoginItemStatus::notRegistered, true);
    p.setOpensAtLogin(true);
    EXPECT_FALSE(p.opensAtLogin());
    EXPECT_FALSE(std::filesystem::exists(home.paths().userDefaults));
}

TEST(WindowHighlight, RawValues)
{
    for (WindowHighlight h : allWindowHighlights)
        EXPECT_EQ(WindowHighlight_from(rawValue(h)), h);
    EXPECT_EQ(rawValue(WindowHighlight::glow), "glow");
    EXPECT_EQ(WindowHighlight_from("Glow"), std::nullopt);
}

TEST_F(PreferencesTest, AFailedWriteIsLoggedOncePerStreakAndTheValueStaysInMemory)
{
    ManualClock clock;
    test::FakeLauncher launcher;
    Watchdog watchdog(home.paths(), clock, launcher, {1, "/k"});
    const auto folder = home.paths().userDefaults.parent_path();
    auto breakFolder = [&] {
        // A file where the folder belongs fails every write, even as root.
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder.parent_path());
        ASSERT_FALSE(writeFileAtomically(folder, "not a folder"));
    };
    auto engineLog = [&] {
        std::vector<std::string> lines;
        std::istringstream in(readFile(watchdog.files().logFile).value_or(""));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    };

    Preferences& p = launch();
    store->onWriteFailure = [&](std::string_view message, std::error_code) { watchdog.log(message); };
    breakFolder();
    p.setWindowGap(16);
    p.setMaxTiles(4);
    EXPECT_EQ(p.windowGap(), 16);
    EXPECT_EQ(p.maxTiles(), 4);
    EXPECT_TRUE(store->lastWriteError());
    ASSERT_EQ(engineLog().size(), 1u);
    EXPECT_NE(engineLog()[0].find("could not save the settings (" + home.paths().userDefaults.string() + "): "),
              std::string::npos)
        << engineLog()[0];

    // The next change tries again, and writes everything kept in memory.
    std::filesystem::remove(folder);
    p.setSnappingEnabled(false);
    EXPECT_FALSE(store->lastWriteError());
    EXPECT_EQ(fileContents(), Json({{"windowGap", 16}, {"maxTiles", 4}, {"snappingEnabled", false}}));
    EXPECT_EQ(engineLog().size(), 1u);

    // A new streak is told again.
    breakFolder();
    p.setWindowGap(8);
    p.setWindowGap(24);
    EXPECT_EQ(engineLog().size(), 2u);
    EXPECT_EQ(p.windowGap(), 24);
}
