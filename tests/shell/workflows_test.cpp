// Saving, switching, exporting and importing workflows on the simulated
// desktop.

#include "shell_fixture.h"

#include "core/json.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace kavelo::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

using WorkflowsSave = ShellTest;
using WorkflowsSwitch = ShellTest;
using WorkflowsFiles = ShellTest;

// ---------------------------------------------------------------- save

TEST_F(WorkflowsSave, CapturesVisibleWindowsAndTabsUnderTheTrimmedName)
{
    const auto editor = app("com.example.Editor", "Editor");
    window(editor, "notes.txt", {100, 100, 600, 400});
    const auto chrome = app("com.google.Chrome", "Chrome");
    sim.setBrowser("com.google.Chrome",
                   SimBrowser{.windows = {{.tabs = {"https://a.example/", "chrome://settings"}},
                                          {.isPrivate = true, .tabs = {"https://secret.example/"}}}});
    window(chrome, "A", {0, 0, 800, 600});

    workflows.save("  Deep work  ", "fp");
    const auto saved = workflows.store().load("Deep work");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->displays, "fp");
    EXPECT_EQ(saved->windows.size(), 2u);
    EXPECT_THAT(saved->tabs, ElementsAre(Pair("com.google.Chrome", ElementsAre("https://a.example/"))));
    EXPECT_EQ(saved->slot, 1);
    EXPECT_EQ(toast.shown.back().first, "Saved Deep work. Press Ctrl+Alt+1 to switch");
    EXPECT_EQ(toast.shown.back().second, "checkmark.circle.fill");
    ASSERT_EQ(workflows.items().size(), 1u);
    EXPECT_EQ(workflows.message(), std::nullopt);
}

TEST_F(WorkflowsSave, BlankNameDoesNothing)
{
    workflows.save(" \t ", "fp");
    EXPECT_TRUE(toast.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(layouts()));
}

TEST_F(WorkflowsSave, ResaveKeepsSlotTidyAndHideFlagButClearsOpenOnSetup)
{
    stored("Focus", {}, [](Workspace& w) {
        w.slot = 7;
        w.tidy = TidyLayout::columns;
        w.hidesOtherApps = true;
        w.opensOnSetup = true;
    });
    workflows.save("Focus", "fp");
    const auto saved = workflows.store().load("Focus").value();
    EXPECT_EQ(saved.slot, 7);
    EXPECT_EQ(saved.tidy, TidyLayout::columns);
    EXPECT_TRUE(saved.hidesOtherApps);
    EXPECT_FALSE(saved.opensOnSetup);
    EXPECT_EQ(toast.last(), "Saved Focus. Press Ctrl+Alt+7 to switch");
}

TEST_F(WorkflowsSave, TenthWorkflowGetsNoSlotAndAPlainToast)
{
    for (int i = 1; i <= 9; ++i)
        workflows.save("W" + std::to_string(i), "fp");
    EXPECT_EQ(workflows.store().load("W9")->slot, 9);
    workflows.save("Tenth", "fp");
    EXPECT_EQ(workflows.store().load("Tenth")->slot, std::nullopt);
    EXPECT_EQ(toast.last(), "Saved Tenth");
    // Sorted by slot, the slotless one last.
    ASSERT_EQ(workflows.items().size(), 10u);
    EXPECT_EQ(workflows.items().front().name, "W1");
    EXPECT_EQ(workflows.items().back().name, "Tenth");
}

TEST_F(WorkflowsSave, AFileThatCannotBeWrittenSetsTheMessageAndToastsIt)
{
    stored("Kept", {});
    // A folder where the file belongs: the rename over it fails, whoever runs this.
    std::filesystem::create_directories(workflows.store().url("New"));
    workflows.save("New", "fp");

    EXPECT_EQ(workflows.message(), "Couldn't save New. Check that your disk isn't full.");
    ASSERT_FALSE(toast.shown.empty());
    EXPECT_EQ(toast.shown.back().first, *workflows.message());
    EXPECT_EQ(toast.shown.back().second, "exclamationmark.triangle.fill");
    for (const auto& [text, icon] : toast.shown)
        EXPECT_FALSE(text.starts_with("Saved")) << text;
    ASSERT_EQ(workflows.items().size(), 1u);
    EXPECT_EQ(workflows.items().front().name, "Kept");

    // The next good save clears the message.
    workflows.save("Fine", "fp");
    EXPECT_EQ(workflows.message(), std::nullopt);
}

TEST_F(WorkflowsSave, ANameSharingAnotherWorkflowsFileNamesThatWorkflow)
{
    stored("A/B", {});
    workflows.save("A:B", "fp");
    EXPECT_EQ(workflows.message(), "Couldn't save A:B. Its file name is taken by the workflow A/B; choose another name.");
    EXPECT_EQ(toast.shown.back().second, "exclamationmark.triangle.fill");
    EXPECT_EQ(workflows.store().load("A:B")->name, "A/B");
}

TEST_F(WorkflowsSave, AutosaveNamesAreRefused)
{
    workflows.save("auto-1234", "fp");
    EXPECT_FALSE(std::filesystem::exists(workflows.store().url("auto-1234")));
    ASSERT_TRUE(workflows.message());
    EXPECT_THAT(*workflows.message(), ::testing::HasSubstr("auto-"));
    EXPECT_EQ(toast.shown.back().second, "exclamationmark.triangle.fill");
    // "auto" alone, or with another character after it, is an ordinary name.
    workflows.save("auto 1", "fp");
    EXPECT_TRUE(workflows.store().load("auto 1"));
}

TEST_F(WorkflowsSave, ANameThatCouldNotListAsItselfIsRefusedWithTheReason)
{
    workflows.save("Stand\nup", "fp");
    EXPECT_EQ(workflows.message(),
              "Couldn't save this workflow. Names can't contain line breaks or control characters.");
    EXPECT_EQ(toast.shown.back().first, *workflows.message());
    EXPECT_TRUE(workflows.items().empty());
    EXPECT_FALSE(std::filesystem::exists(workflows.store().directory));
}

TEST_F(WorkflowsSave, TheDialogSavesOnlyWhatTheUserConfirmed)
{
    panels.name = std::nullopt;
    saveWorkspace(panels, workflows, "fp");
    EXPECT_TRUE(workflows.items().empty());
    panels.name = "Morning";
    saveWorkspace(panels, workflows, "fp");
    ASSERT_EQ(workflows.items().size(), 1u);
    EXPECT_EQ(workflows.items().front().displays, "fp");
}

TEST_F(WorkflowsSave, SummaryCountsAppsWindowsAndTabs)
{
    Workspace one{.windows = {{"a", "x", {}}}, .tabs = {{"b", {"https://x"}}}};
    EXPECT_EQ(Workflows::summary(one), "1 app, 1 window, 1 tab");
    Workspace more{.windows = {{"a", "x", {}}, {"a", "y", {}}, {"c", "z", {}}}};
    EXPECT_EQ(Workflows::summary(more), "2 apps, 3 windows, 0 tabs");
}

// ---------------------------------------------------------------- switch

TEST_F(WorkflowsSwitch, OpensAMissingAppWithoutActivatingAndPlacesItsLateWindow)
{
    sim.install("com.example.Mail", SimInstalledApp{.location = "/apps/Mail", .name = "Mail"});
    const auto editor = app("com.example.Editor", "Editor");
    const WindowID notes = window(editor, "notes", {0, 0, 300, 300});
    stored("Work", {{"com.example.Editor", "notes", {10, 20, 500, 400}}, {"com.example.Mail", "Inbox", {600, 20, 700, 500}}});

    int moves = 0, adopted = 0;
    workflows.willMoveWindows = [&] { ++moves; };
    workflows.didMoveWindows = [&] { ++adopted; };
    std::optional<int> finished;
    workflows.switchTo("Work", [&](int placed) { finished = placed; });

    EXPECT_EQ(moves, 1);
    ASSERT_EQ(sim.requests().size(), 1u);
    EXPECT_EQ(sim.requests()[0], (SimRequest{.kind = "launch", .location = "/apps/Mail", .activates = false}));
    EXPECT_EQ(toast.last(), "Switched to Work");
    EXPECT_EQ(workflows.message(), std::nullopt);
    EXPECT_EQ(frameOf(notes), Rect(10, 20, 500, 400));
    EXPECT_FALSE(finished);

    // Mail shows its window about two seconds later; the next retry places it.
    WindowID inbox = 0;
    auto show = scheduler.after(2.2, [&] {
        for (const auto& a : sim.workspace().runningApps())
            if (a.bundleID == "com.example.Mail")
                inbox = window(a.pid, "Inbox", {0, 0, 200, 200});
    });
    scheduler.advance(2.2);
    ASSERT_NE(inbox, 0u);
    EXPECT_FALSE(finished);
    scheduler.advance(0.3);
    EXPECT_EQ(frameOf(inbox), Rect(600, 20, 700, 500));
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(adopted, 1);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(WorkflowsSwitch, GivesUpAfterSixteenRetriesOverEightSeconds)
{
    stored("Gone", {{"com.example.Never", "x", {0, 0, 100, 100}}}, [](Workspace& w) { w.tidy = TidyLayout::grid; });
    const auto editor = app("com.example.Editor", "Editor");
    const WindowID other = window(editor, "e", {5, 5, 300, 300});
    int adopted = 0;
    workflows.didMoveWindows = [&] { ++adopted; };
    std::optional<int> finished;
    workflows.switchTo("Gone", [&](int placed) { finished = placed; });
    EXPECT_EQ(workflows.message(), "1 saved app isn't installed, so Kavelo skipped it.");

    scheduler.advance(7.99);
    EXPECT_FALSE(finished);
    scheduler.advance(0.01);
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(adopted, 1);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    // The tidy ran on arrival all the same.
    EXPECT_NE(frameOf(other), Rect(5, 5, 300, 300));
}

TEST_F(WorkflowsSwitch, AllWindowsInPlaceFinishAtOnceAndTidyOnArrival)
{
    const auto a = app("com.example.A", "A");
    const WindowID w1 = window(a, "one", {0, 0, 300, 300});
    const WindowID w2 = window(a, "two", {0, 0, 300, 300});
    stored("Two", {{"com.example.A", "one", {0, 0, 300, 300}}, {"com.example.A", "two", {0, 0, 300, 300}}},
           [](Workspace& w) { w.tidy = TidyLayout::columns; });
    std::optional<int> finished;
    workflows.switchTo("Two", [&](int placed) { finished = placed; });
    EXPECT_EQ(finished, 2);
    // Columns side by side over the display's area.
    EXPECT_EQ(frameOf(w1).height(), frameOf(w2).height());
    EXPECT_NE(frameOf(w1).minX(), frameOf(w2).minX());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(WorkflowsSwitch, MissingAppsMessageCountsThem)
{
    stored("Two missing", {{"com.x.One", "a", {}}, {"com.x.Two", "b", {}}});
    workflows.switchTo("Two missing");
    EXPECT_EQ(workflows.message(), "2 saved apps aren't installed, so Kavelo skipped them.");
    scheduler.advance(10.0);
    // An unknown name changes nothing, not even the message.
    workflows.switchTo("Nothing like it");
    EXPECT_EQ(workflows.message(), "2 saved apps aren't installed, so Kavelo skipped them.");
}

TEST_F(WorkflowsSwitch, HidingOthersSparesUsAndTheWorkflowsApps)
{
    const auto kept = app("com.example.Kept", "Kept");
    window(kept, "k", {0, 0, 300, 300});
    const auto other = app("com.example.Other", "Other");
    window(other, "o", {0, 0, 300, 300});
    const auto nameless = sim.addApp(SimApp{.name = "Nameless"});
    const auto helper = sim.addApp(SimApp{.bundleID = "com.example.Helper", .policy = ActivationPolicy::accessory});
    stored("Solo", {{"com.example.Kept", "k", {0, 0, 300, 300}}}, [](Workspace& w) { w.hidesOtherApps = true; });

    workflows.switchTo("Solo");
    EXPECT_FALSE(sim.app(kept)->hidden);
    EXPECT_TRUE(sim.app(other)->hidden);
    EXPECT_TRUE(sim.app(nameless)->hidden);
    EXPECT_FALSE(sim.app(helper)->hidden);
    EXPECT_FALSE(sim.app(sim.workspace().ownPid())->hidden);
}

TEST_F(WorkflowsSwitch, ReopensSavedTabsOnceNeverDuplicated)
{
    sim.install("com.google.Chrome", SimInstalledApp{.location = "/apps/Chrome", .name = "Chrome"});
    sim.install("com.brave.Browser", SimInstalledApp{.location = "/apps/Brave", .name = "Brave"});
    const auto chrome = app("com.google.Chrome", "Chrome");
    window(chrome, "tab", {0, 0, 800, 600});
    sim.setBrowser("com.google.Chrome", SimBrowser{.windows = {{.tabs = {"https://a.example"}}}});
    sim.setBrowser("com.brave.Browser", SimBrowser{});
    stored("Reading", {{"com.google.Chrome", "tab", {0, 0, 800, 600}}}, [](Workspace& w) {
        w.tabs = {{"com.google.Chrome", {"https://a.example/", "https://b.example/", "file:///etc/passwd"}},
                  {"com.brave.Browser", {"https://c.example/", "-–flag"}},
                  {"com.microsoft.edgemac", {"https://d.example/"}}};
    });

    workflows.switchTo("Reading");
    // Edge is not installed: one missing app, the other browsers go on.
    EXPECT_EQ(workflows.message(), "1 saved app isn't installed, so Kavelo skipped it.");
    std::vector<SimRequest> opens;
    for (const auto& r : sim.requests())
        if (r.kind == "openURLs")
            opens.push_back(r);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0], (SimRequest{.kind = "openURLs", .urls = {"https://c.example/"}, .location = "/apps/Brave"}));
    EXPECT_EQ(opens[1], (SimRequest{.kind = "openURLs", .urls = {"https://b.example/"}, .location = "/apps/Chrome"}));

    // A second switch finds everything open.
    scheduler.advance(10.0);
    workflows.switchTo("Reading");
    std::size_t again = 0;
    for (const auto& r : sim.requests())
        again += r.kind == "openURLs";
    EXPECT_EQ(again, 2u);
}

TEST_F(WorkflowsSwitch, ABrowserThatDoesNotAnswerKeepsItsTabsClosed)
{
    sim.install("com.google.Chrome", SimInstalledApp{.location = "/apps/Chrome"});
    app("com.google.Chrome", "Chrome");
    sim.setBrowser("com.google.Chrome", SimBrowser{.scriptable = false});
    stored("R", {}, [](Workspace& w) { w.tabs = {{"com.google.Chrome", {"https://a.example/"}}}; });
    workflows.switchTo("R");
    for (const auto& r : sim.requests())
        EXPECT_NE(r.kind, "openURLs");
    EXPECT_EQ(workflows.message(), std::nullopt);
}

TEST_F(WorkflowsSwitch, ANewerSwitchEndsTheOlderOneWhichFinishesOnce)
{
    const auto a = app("com.example.A", "A");
    const WindowID w = window(a, "w", {0, 0, 300, 300});
    stored("First", {{"com.example.A", "w", {10, 10, 400, 300}}, {"com.example.Late", "l", {}}},
           [](Workspace& ws) { ws.tidy = TidyLayout::rows; });
    stored("Second", {{"com.example.A", "w", {500, 100, 600, 500}}, {"com.example.Late", "l", {}}});
    int adopted = 0;
    workflows.didMoveWindows = [&] { ++adopted; };
    std::vector<int> firstFinished, secondFinished;
    workflows.switchTo("First", [&](int n) { firstFinished.push_back(n); });
    scheduler.advance(1.0);
    workflows.switchTo("Second", [&](int n) { secondFinished.push_back(n); });
    EXPECT_THAT(firstFinished, ElementsAre(1));
    scheduler.advance(20.0);
    EXPECT_THAT(firstFinished, ElementsAre(1));
    EXPECT_THAT(secondFinished, ElementsAre(1));
    // The older one neither tidied nor handed the windows over.
    EXPECT_EQ(frameOf(w), Rect(500, 100, 600, 500));
    EXPECT_EQ(adopted, 1);
}

TEST_F(WorkflowsSwitch, SlotsSwitchToTheFirstWorkflowHoldingThem)
{
    const auto a = app("com.example.A", "A");
    const WindowID w = window(a, "w", {0, 0, 300, 300});
    stored("Three", {{"com.example.A", "w", {30, 30, 300, 300}}}, [](Workspace& ws) { ws.slot = 3; });
    workflows.switchTo(4);
    EXPECT_EQ(frameOf(w), Rect(0, 0, 300, 300));
    workflows.switchTo(3);
    EXPECT_EQ(frameOf(w), Rect(30, 30, 300, 300));
    EXPECT_EQ(workflows.items().size(), 1u);
}

// ---------------------------------------------------------------- files

TEST_F(WorkflowsFiles, ExportThenImportRoundTripsWithTheNextFreeSlot)
{
    stored("Trip", {{"com.example.A", "w", {1, 2, 3, 4}}}, [](Workspace& w) {
        w.slot = 1;
        w.tabs = {{"com.google.Chrome", {"https://a.example/", "about:blank"}}, {"com.brave.Browser", {"file:///x"}}};
    });
    panels.exportTo = home.root() / "Trip.kavelo.json";
    workflows.exportWorkflow("Trip");
    EXPECT_EQ(panels.proposed, "Trip.kavelo.json");
    ASSERT_TRUE(std::filesystem::exists(*panels.exportTo));
    const auto exported = decodeWorkspace(readFile(*panels.exportTo).value());
    ASSERT_TRUE(exported);
    EXPECT_EQ(exported->slot, 1);

    workflows.store().remove("Trip");
    stored("Other", {}, [](Workspace& w) { w.slot = 1; });
    panels.importFrom = panels.exportTo;
    workflows.importWorkflow();
    const auto imported = workflows.store().load("Trip");
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->slot, 2);
    EXPECT_EQ(imported->windows, exported->windows);
    // Only web addresses come in; a browser left with none is dropped.
    EXPECT_THAT(imported->tabs, ElementsAre(Pair("com.google.Chrome", ElementsAre("https://a.example/"))));
    EXPECT_EQ(workflows.message(), std::nullopt);
    EXPECT_EQ(workflows.items().size(), 2u);
}

TEST_F(WorkflowsFiles, ExportOfAnUnknownNameOrACancelWritesNothing)
{
    panels.exportTo = home.root() / "x.kavelo.json";
    workflows.exportWorkflow("Nope");
    EXPECT_EQ(panels.proposed, "");
    stored("Real", {});
    panels.exportTo = std::nullopt;
    workflows.exportWorkflow("Real");
    EXPECT_EQ(panels.proposed, "Real.kavelo.json");
    EXPECT_FALSE(std::filesystem::exists(home.root() / "x.kavelo.json"));
}

TEST_F(WorkflowsFiles, BadImportsStoreNothing)
{
    const auto file = home.root() / "in.json";
    panels.importFrom = file;
    const auto importing = [&](const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
        workflows.importWorkflow();
        return workflows.message().value_or("");
    };
    EXPECT_EQ(importing("not json at all"), Workflows::notAWorkflow);
    EXPECT_EQ(importing(R"({"name": "x"})"), Workflows::notAWorkflow);
    EXPECT_EQ(importing("[1, 2, 3]"), Workflows::notAWorkflow);

    Workspace big{.name = "Big", .displays = "d", .savedAt = scheduler.now()};
    big.windows.assign(1, SavedWindow{"a", std::string(Workflows::largestImport, 'x'), {}});
    EXPECT_EQ(importing(toJSON(big).dump()), Workflows::notAWorkflow);

    Workspace blank{.name = "  ", .displays = "d", .savedAt = scheduler.now()};
    EXPECT_THAT(importing(toJSON(blank).dump()), ::testing::HasSubstr("no name"));
    Workspace reserved{.name = "auto-cbf29ce484222325", .displays = "d", .savedAt = scheduler.now()};
    EXPECT_THAT(importing(toJSON(reserved).dump()), ::testing::HasSubstr("auto-"));
    EXPECT_FALSE(std::filesystem::exists(layouts()) && !std::filesystem::is_empty(layouts()));

    panels.importFrom = home.root() / "missing.json";
    workflows.importWorkflow();
    EXPECT_EQ(workflows.message(), Workflows::notAWorkflow);
}

} // namespace
} // namespace kavelo::testing
