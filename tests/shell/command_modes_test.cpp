// The command line: which arguments select which mode, and every mode on
// the simulated desktop with the hand-driven scheduler — its output, its
// exit status and when it ends.

#include "app/shell/command_modes.h"
#include "app/shell/listing.h"
#include "app/switcher/switcher_controller.h"
#include "shell/delegate_world.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kavelo;
using namespace kavelo::testing;

// --- Selection ---

TEST(CommandLineSelection, ExactlyAFlagAndAValueSelectAMode)
{
    using Args = std::vector<std::string>;
    for (std::string_view flag : CommandLine::modes) {
        EXPECT_EQ(CommandLine(Args{std::string(flag), "x"}).mode(), std::string(flag));
        EXPECT_EQ(CommandLine(Args{std::string(flag)}).mode(), std::nullopt);
        EXPECT_EQ(CommandLine(Args{std::string(flag), "x", "y"}).mode(), std::nullopt);
    }
    EXPECT_EQ(CommandLine(Args{}).mode(), std::nullopt);
    EXPECT_EQ(CommandLine(Args{"--Snap", "left"}).mode(), std::nullopt);
    EXPECT_EQ(CommandLine(Args{"snap", "left"}).mode(), std::nullopt);
    EXPECT_EQ(CommandLine(Args{"--show", "overview"}).mode(), std::nullopt);
    EXPECT_EQ(CommandLine(Args{"--snap", "left", "--snap", "right"}).mode(), std::nullopt);

    // "--list" anywhere wins, and a start with a mode or a preview is no
    // normal start, so carries no URLs.
    EXPECT_TRUE(CommandLine(Args{"--snap", "--list"}).isList());
    EXPECT_TRUE(CommandLine(Args{"a", "b", "c", "--list"}).isList());
    EXPECT_FALSE(CommandLine(Args{"--list", "kavelo://run/tidy"}).isNormalStart());
    EXPECT_EQ(CommandLine(Args{"kavelo://run/tidy", "-x", "kavelo:oops", "http://a/b"}).urls(),
              (Args{"kavelo://run/tidy", "kavelo:oops", "http://a/b"}));
    EXPECT_TRUE(CommandLine(Args{"--tidy", "kavelo://run/tidy"}).urls().empty());

    // What makes sense starts; the session manager's restart is a normal
    // start.
    for (const Args& good : {Args{}, Args{"-session", "10ab"}, Args{"--show", "-x"}, Args{"--tidy", "-h"},
                             Args{"--bogus", "--list"}, Args{"kavelo://x", "kavelo:y"}})
        EXPECT_EQ(CommandLine(good).problem(), std::nullopt) << good.size();
    EXPECT_FALSE(CommandLine(Args{"--show", "panel"}).isNormalStart());
}

TEST(CommandLineSelection, NumbersCountOnlyWhenFiniteAndWhole)
{
    EXPECT_EQ(finiteNumber("2.5"), 2.5);
    EXPECT_EQ(finiteNumber("-40"), -40);
    EXPECT_EQ(finiteNumber("1e1"), 10);
    for (const char* text : {"", "inf", "-inf", "nan", "NaN", "4s", " 4", "1e400", "x"})
        EXPECT_EQ(finiteNumber(text), std::nullopt) << text;
    EXPECT_EQ(integerNumber("4"), 4);
    for (const char* text : {"", "abc", "4.0", "99999999999", " 3"})
        EXPECT_EQ(integerNumber(text), std::nullopt) << text;
    EXPECT_EQ(modeSteps(",,"), std::vector<std::string>{});
    EXPECT_EQ(modeSteps("tab,,up,"), (std::vector<std::string>{"tab", "up"}));
}

// --- The listing ---

TEST(Listing, FirstFortyWindowsUnderTheCounts)
{
    Listing::Facts facts{.accessibility = false, .screenRecording = true, .displays = "0:0:0:1440x900"};
    const WindowState states[] = {WindowState::visible, WindowState::minimized, WindowState::hidden,
                                  WindowState::otherSpace};
    for (int i = 0; i < 55; ++i)
        facts.windows.push_back(WindowEntry{.id = WindowID(i + 1), .appName = "App " + std::to_string(i),
                                            .state = states[i % 4]});
    const std::string text = Listing::text(facts);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[0], "accessibility=false screenRecording=true windows=55");
    EXPECT_EQ(lines[1], "displays=0:0:0:1440x900");
    EXPECT_EQ(lines[2], "visible App 0");
    EXPECT_EQ(lines[3], "minimized App 1");
    EXPECT_EQ(lines[4], "hidden App 2");
    EXPECT_EQ(lines[5], "otherSpace App 3");
    EXPECT_EQ(lines[41], "otherSpace App 39");
    EXPECT_EQ(text.back(), '\n');

    EXPECT_EQ(Listing::text(Listing::Facts{}), "accessibility=false screenRecording=false windows=0\ndisplays=\n");
}

// --- The modes ---

class CommandLineModes : public DelegateTest {
protected:
    // Two windows of two applications, the editor in front.
    void populate()
    {
        const auto notes = app("com.example.notes", "Notes");
        noteWindow = window(notes, "List", Rect(40, 60, 400, 300));
        const auto editor = app("com.example.editor", "Editor");
        doc = window(editor, "Doc", Rect(100, 100, 500, 400));
        sim.focusWindow(doc);
    }
    AppDelegate& start(std::vector<std::string> arguments)
    {
        markWelcomed();
        make(std::move(arguments)).applicationDidFinishLaunching();
        return *delegate;
    }
    // Runs the scheduler to `seconds` after the start.
    void advanceTo(double seconds) { scheduler.advance(seconds - (scheduler.clock().monotonic().count() - t0)); }
    double t0 = 0;
    WindowID noteWindow = 0;
    WindowID doc = 0;
};

TEST_F(CommandLineModes, AnUnknownFlagLaunchesNormallyAShowOnlyItsScreen)
{
    // The program refuses the flag before it makes a delegate.
    start({"--frobnicate", "x"});
    EXPECT_TRUE(exits.empty());
    EXPECT_TRUE(delegate->mouse());
    start({"--show", "x"});
    EXPECT_FALSE(delegate->mouse());
    EXPECT_TRUE(delegate->isPreviewing());
}

TEST_F(CommandLineModes, ListPrintsAndEndsBeforeAnythingElse)
{
    populate();
    sim.setTrusted(false);
    start({"--switch", "--list"});
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_EQ(views.menus, 0);
    EXPECT_EQ(err.str(), "");
    const std::string text = out.str();
    EXPECT_TRUE(text.starts_with("accessibility=false screenRecording=true windows=")) << text;
    EXPECT_NE(text.find("\ndisplays="), std::string::npos);
}

TEST_F(CommandLineModes, SnapMovesTheFocusedWindowOrRefusesTheTarget)
{
    populate();
    start({"--snap", "right"});
    sim.settle();
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_EQ(views.menus, 1);
    EXPECT_FALSE(delegate->mouse()) << "a mode takes over the launch";
    EXPECT_GT(frameOf(doc).origin.x, 600);
    EXPECT_EQ(out.str(), "");

    exits.clear();
    start({"--snap", "Right"});
    EXPECT_EQ(exits, std::vector<int>{2});
}

TEST_F(CommandLineModes, SaveStoresRestoreMovesBack)
{
    populate();
    start({"--save", "Desk"});
    EXPECT_EQ(exits, std::vector<int>{0});
    ASSERT_TRUE(delegate->workflows().store().load("Desk"));
    EXPECT_EQ(delegate->workflows().store().load("Desk")->windows.size(), 2u);

    sim.modifyWindow(doc, [](SimWindow& w) { w.frame = Rect(0, 30, 200, 200); });
    exits.clear();
    start({"--restore", "Desk"});
    sim.settle();
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_EQ(out.str(), "moved 2\n");
    EXPECT_EQ(frameOf(doc), Rect(100, 100, 500, 400));

    out.str("");
    exits.clear();
    start({"--restore", "Nowhere"});
    EXPECT_EQ(exits, std::vector<int>{2});
    EXPECT_EQ(out.str(), "");
}

TEST_F(CommandLineModes, SaveRefusesABlankNameAndReportsAFailedStore)
{
    populate();
    start({"--save", "  "});
    EXPECT_EQ(exits, std::vector<int>{2});
    err.str("");

    // The store's folder cannot be made: a file stands in its place.
    const auto folder = Workflows::folder(home.paths());
    std::filesystem::create_directories(folder.parent_path());
    std::ofstream(folder) << "in the way";
    exits.clear();
    start({"--save", "Desk"});
    EXPECT_EQ(exits, std::vector<int>{1});
    EXPECT_TRUE(err.str().starts_with("kavelo: cannot save \"Desk\": ")) << err.str();
}

TEST_F(CommandLineModes, TidyCountsTheWindowsItLaidOut)
{
    populate();
    start({"--tidy", "columns"});
    sim.settle();
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_EQ(out.str(), "tidied 2\n");

    out.str("");
    exits.clear();
    variables[CommandModes::onlyAppVariable] = "com.example.notes";
    start({"--tidy", "grid"});
    EXPECT_EQ(out.str(), "tidied 1\n");

    out.str("");
    exits.clear();
    start({"--tidy", "Grid"});
    EXPECT_EQ(exits, std::vector<int>{2});
    EXPECT_EQ(out.str(), "");
}

TEST_F(CommandLineModes, KeyNamesInTheNamedLayout)
{
    start({"--key-names", "de"});
    EXPECT_EQ(exits, std::vector<int>{0});
    const std::string german = out.str();
    EXPECT_TRUE(german.starts_with("de ")) << german;
    EXPECT_NE(german.find("\n space: "), std::string::npos) << german;
    EXPECT_NE(german.find("  tab: "), std::string::npos);
    EXPECT_NE(german.find("  F5: "), std::string::npos);
    EXPECT_NE(german.find("  delete: "), std::string::npos);
    EXPECT_EQ(std::count(german.begin(), german.end(), '\n'), 2);

    out.str("");
    sim.setCurrentLayout("de");
    start({"--key-names", "current"});
    EXPECT_EQ(out.str().substr(out.str().find(' ')), german.substr(german.find(' ')));

    for (std::optional<std::string> current : {std::optional<std::string>("us"), std::optional<std::string>()}) {
        sim.setCurrentLayout(current);
        out.str("");
        exits.clear();
        start({"--key-names", current ? "fr" : "current"});
        EXPECT_EQ(out.str(), "no such layout\n");
        EXPECT_EQ(exits, std::vector<int>{2});
    }
}

TEST_F(CommandLineModes, SwitchPrintsWhatItPlacedWhenDone)
{
    populate();
    delegate.reset();
    Workspace w{.name = "Desk", .displays = "d",
                .windows = {SavedWindow{"com.example.editor", "Doc", Rect(10, 40, 300, 300)}},
                .savedAt = scheduler.now()};
    WorkspaceStore(Workflows::folder(home.paths())).save(w);
    start({"--switch", "Desk"});
    scheduler.advance(10);
    sim.settle();
    scheduler.advance(10);
    EXPECT_EQ(out.str(), "moved 1\n");
    EXPECT_EQ(exits, std::vector<int>{0});

    out.str("");
    exits.clear();
    start({"--switch", "Nowhere"});
    EXPECT_EQ(exits, std::vector<int>{2});
    EXPECT_EQ(out.str(), "");
}

TEST_F(CommandLineModes, TabsTestWithoutTheBrowserEndsWithThree)
{
    start({"--tabs-test", "x"});
    EXPECT_EQ(out.str(), "read chrome: NOT ALLOWED OR NOT RUNNING\nkeepable: 0\n");
    EXPECT_EQ(exits, std::vector<int>{3});
}

TEST_F(CommandLineModes, TabsTestRoundTripWithARunningBrowser)
{
    app(std::string(CommandModes::tabsBrowser), "Chrome");
    sim.setBrowser(std::string(CommandModes::tabsBrowser),
                   SimBrowser{.windows = {SimBrowserWindow{.tabs = {"https://a.example/", "about:blank"}}}});
    start({"--tabs-test", "x"});
    EXPECT_EQ(out.str(), "read chrome: 2 tabs\nkeepable: 1\n");
    EXPECT_TRUE(exits.empty());
    for (int i = 0; i < 100 && exits.empty(); ++i) {
        scheduler.advance(0.5);
        sim.settle();
    }
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_TRUE(out.str().find("reopened: ") != std::string::npos) << out.str();
    EXPECT_TRUE(out.str().find("\nsecond switch copies: ") != std::string::npos) << out.str();
    EXPECT_FALSE(delegate->workflows().store().load(CommandModes::tabsWorkflow)) << "the test workflow is removed";
}

TEST_F(CommandLineModes, TabsTestStopsWhenItCannotStore)
{
    app(std::string(CommandModes::tabsBrowser), "Chrome");
    sim.setBrowser(std::string(CommandModes::tabsBrowser), SimBrowser{});
    const auto folder = Workflows::folder(home.paths());
    std::filesystem::create_directories(folder.parent_path());
    std::ofstream(folder) << "in the way";
    start({"--tabs-test", "x"});
    EXPECT_EQ(out.str(), "read chrome: 0 tabs\nkeepable: 0\n");
    EXPECT_TRUE(err.str().starts_with("kavelo: cannot store the test workflow: ")) << err.str();
    EXPECT_EQ(exits, std::vector<int>{1});
}

TEST_F(CommandLineModes, SwitcherTestStepsAndEnd)
{
    t0 = scheduler.clock().monotonic().count();
    start({"--switcher-test", ",,"});
    advanceTo(1.49);
    EXPECT_TRUE(exits.empty());
    advanceTo(1.5);
    EXPECT_EQ(exits, std::vector<int>{0});

    populate();
    exits.clear();
    t0 = scheduler.clock().monotonic().count();
    start({"--switcher-test", "tab,tab,up"});
    SwitcherController* switcher = delegate->modes().switcher();
    ASSERT_TRUE(switcher);
    EXPECT_NE(switcher, &delegate->switcher()) << "a private switcher";
    advanceTo(0.6);
    sim.settle();
    EXPECT_TRUE(switcher->isActive());
    advanceTo(1.01);
    sim.settle();
    EXPECT_FALSE(switcher->isActive());
    EXPECT_EQ(sim.frontmost(), sim.window(noteWindow)->pid) << "Tab twice then letting go raised the next window";
    advanceTo(2.24);
    EXPECT_TRUE(exits.empty());
    advanceTo(2.25);
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(CommandLineModes, AModeWhoseSettingsCannotBeSavedEndsWithOneAndSaysWhy)
{
    t0 = scheduler.clock().monotonic().count();
    start({"--switcher-test", ",,"});
    // A file where the settings folder belongs fails every write, even as root.
    const auto folder = home.paths().userDefaults.parent_path();
    std::filesystem::remove_all(folder);
    ASSERT_FALSE(writeFileAtomically(folder, "not a folder"));
    delegate->preferences().setWindowGap(3);
    advanceTo(1.5);
    EXPECT_EQ(exits, std::vector<int>{1});
    EXPECT_EQ(err.str(), "kavelo: the change was made, but your settings could not be saved: not a directory\n");
}

TEST_F(CommandLineModes, ArrangeTestRunsStepsOnTimeAndEndsAtEight)
{
    populate();
    variables[CommandModes::stepsVariable] = "map,float,pannan,panx,map";
    t0 = scheduler.clock().monotonic().count();
    start({"--arrange-test", "strip"});
    ArrangeEngine& engine = delegate->arrange();
    EXPECT_EQ(engine.testMode, ArrangeMode::strip);
    advanceTo(2.99);
    EXPECT_FALSE(engine.holding);
    advanceTo(3.0);
    EXPECT_TRUE(engine.holding);
    advanceTo(7.99);
    EXPECT_TRUE(exits.empty());
    advanceTo(8.0);
    EXPECT_EQ(exits, std::vector<int>{0});

    exits.clear();
    start({"--arrange-test", "Strip"});
    EXPECT_EQ(exits, std::vector<int>{2});
}

TEST_F(CommandLineModes, ArrangeTestSecondsAndOnlyApp)
{
    variables[CommandModes::secondsVariable] = "3.5";
    variables[CommandModes::onlyAppVariable] = "com.example.notes";
    variables[CommandModes::stepsVariable] = "map";
    t0 = scheduler.clock().monotonic().count();
    start({"--arrange-test", "auto"});
    EXPECT_EQ(delegate->arrange().onlyApp, "com.example.notes");
    advanceTo(3.49);
    EXPECT_TRUE(delegate->arrange().holding);
    EXPECT_TRUE(exits.empty());
    advanceTo(3.5);
    EXPECT_EQ(exits, std::vector<int>{0});

    // A step due when the run ends never runs.
    variables[CommandModes::secondsVariable] = "3";
    exits.clear();
    t0 = scheduler.clock().monotonic().count();
    start({"--arrange-test", "auto"});
    advanceTo(3.0);
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_FALSE(delegate->arrange().holding);

    variables[CommandModes::secondsVariable] = "inf";
    exits.clear();
    t0 = scheduler.clock().monotonic().count();
    start({"--arrange-test", "off"});
    advanceTo(7.99);
    EXPECT_TRUE(exits.empty());
    advanceTo(8.0);
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(CommandLineModes, SwipeTestCountsDevicesAndEndsAtTwenty)
{
    sim.setTrackpads(2);
    t0 = scheduler.clock().monotonic().count();
    start({"--swipe-test", "abc"});
    EXPECT_EQ(out.str(), "devices: 2\ndevice: Trackpad 1\ndevice: Trackpad 2\n");
    ASSERT_TRUE(delegate->modes().trackpad());
    EXPECT_TRUE(sim.multitouchRunning());
    advanceTo(19.99);
    EXPECT_TRUE(exits.empty());
    advanceTo(20);
    EXPECT_EQ(exits, std::vector<int>{0});

    sim.setTrackpads(0);
    out.str("");
    start({"--swipe-test", "4"});
    EXPECT_EQ(out.str(), "devices: 0\n");
}

TEST_F(CommandLineModes, NoPeekTestShadesForTheGivenTime)
{
    t0 = scheduler.clock().monotonic().count();
    start({"--nopeek-test", "2.5"});
    EXPECT_TRUE(delegate->preferences().noPeekOn());
    advanceTo(2.49);
    EXPECT_TRUE(exits.empty());
    advanceTo(2.5);
    EXPECT_EQ(exits, std::vector<int>{0});

    exits.clear();
    t0 = scheduler.clock().monotonic().count();
    start({"--nopeek-test", "nan"});
    advanceTo(3.99);
    EXPECT_TRUE(exits.empty());
    advanceTo(4);
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(CommandLineModes, DiagnosticsSayTheyAreMissingUntilRegistered)
{
    start({"--render", "/tmp/x"});
    EXPECT_EQ(err.str(), "kavelo: --render is not available in this build\n");
    EXPECT_EQ(exits, std::vector<int>{1});
    err.str("");
    exits.clear();
    start({"--self-test", "x"});
    EXPECT_EQ(err.str(), "kavelo: --self-test is not available in this build\n");
    EXPECT_EQ(exits, std::vector<int>{1});
}

TEST_F(CommandLineModes, ArrangeTestPansByTheNegatedNumberAndIgnoresNonNumbers)
{
    populate();
    const auto more = app("com.example.more", "More");
    for (int i = 0; i < 3; ++i)
        window(more, "More " + std::to_string(i), Rect(200 + 20 * i, 200, 500, 400));
    variables[CommandModes::stepsVariable] = "panx,pannan,pan40";
    t0 = scheduler.clock().monotonic().count();
    start({"--arrange-test", "strip"});
    const auto scroll = [&] {
        const auto& strips = delegate->arrange().strips();
        return strips.empty() ? std::nullopt : std::optional<double>(strips.begin()->second.scroll);
    };
    advanceTo(2.9);
    sim.settle();
    advanceTo(2.95);
    const auto before = scroll();
    ASSERT_TRUE(before);
    advanceTo(5.95);
    sim.settle();
    EXPECT_EQ(scroll(), before) << "panx and pannan do nothing";
    // Mid-pan, before the wheel settles and the strip snaps to a column.
    advanceTo(6.05);
    ASSERT_TRUE(scroll());
    EXPECT_DOUBLE_EQ(*scroll() - *before, 40);
}
