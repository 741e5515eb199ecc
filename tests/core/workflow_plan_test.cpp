#include "core/display_set.h"
#include "core/display_tracker.h"
#include "core/workflow_plan.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <random>

using namespace kavelo;

using Texts = std::vector<std::string>;

TEST(DisplaySetFingerprint, OnePartPerDisplaySortedAndJoined)
{
    const DisplayInfo laptop{.vendor = 1552, .model = 41005, .serial = 0, .width = 1512, .height = 982};
    const DisplayInfo monitor{.vendor = 7789, .model = 30000, .serial = 4294967295u, .width = 2560, .height = 1440};
    EXPECT_EQ(DisplaySet::fingerprint({laptop}), "1552-41005-0-1512x982");
    EXPECT_EQ(DisplaySet::fingerprint({monitor, laptop}), "1552-41005-0-1512x982|7789-30000-4294967295-2560x1440");
    EXPECT_EQ(DisplaySet::fingerprint({laptop, monitor}), DisplaySet::fingerprint({monitor, laptop}));
    EXPECT_EQ(DisplaySet::fingerprint({laptop, laptop}), "1552-41005-0-1512x982|1552-41005-0-1512x982");
    EXPECT_EQ(DisplaySet::fingerprint({}), "");
    // Plain text order, not numeric: "10-" sorts before "9-".
    EXPECT_EQ(DisplaySet::fingerprint({{9, 1, 1, 800, 600}, {10, 1, 1, -5, 0}}), "10-1-1--5x0|9-1-1-800x600");
}

RC_GTEST_PROP(DisplaySetFingerprint, DoesNotDependOnTheOrderOfTheScreens, ())
{
    const auto displays = *rc::gen::container<std::vector<DisplayInfo>>(rc::gen::build<DisplayInfo>(
        rc::gen::set(&DisplayInfo::vendor, rc::gen::inRange<std::uint32_t>(0, 12)),
        rc::gen::set(&DisplayInfo::model, rc::gen::arbitrary<std::uint32_t>()),
        rc::gen::set(&DisplayInfo::serial, rc::gen::inRange<std::uint32_t>(0, 3)),
        rc::gen::set(&DisplayInfo::width, rc::gen::arbitrary<int>()),
        rc::gen::set(&DisplayInfo::height, rc::gen::inRange(0, 3000))));
    auto shuffled = displays;
    const auto seed = *rc::gen::arbitrary<unsigned>();
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(seed));
    const std::string fingerprint = DisplaySet::fingerprint(displays);
    RC_ASSERT(DisplaySet::fingerprint(shuffled) == fingerprint);
    if (displays.empty())
        RC_ASSERT(fingerprint.empty());
    else
        RC_ASSERT(size_t(std::count(fingerprint.begin(), fingerprint.end(), '|')) + 1 == displays.size());
}

TEST(WorkflowPlanApps, OnlyApplicationsWithoutALiveWindowOpen)
{
    const Workspace w{.windows = {{"mail", "Inbox"}, {"safari", "a"}, {"notes", "n"}, {"safari", "b"}, {"xcode", "p"}}};
    const std::vector<WindowEntry> live{{.id = 1, .bundleID = "safari"}, {.id = 2, .bundleID = "finder"},
                                        {.id = 3, .bundleID = "xcode", .state = WindowState::minimized}};
    EXPECT_EQ(WorkflowPlan::appsToOpen(w, live), (Texts{"mail", "notes"}));
    EXPECT_EQ(WorkflowPlan::appsToOpen(w, {}), (Texts{"mail", "safari", "notes", "xcode"}));
    EXPECT_TRUE(WorkflowPlan::appsToOpen(Workspace{}, live).empty());
}

TEST(WorkflowPlanTabs, OpenTabsAreCountedAndATrailingSlashIsTheSamePage)
{
    EXPECT_EQ(WorkflowPlan::tabsToOpen({"a", "a/"}, {"a/"}), (Texts{"a/"}));
    EXPECT_EQ(WorkflowPlan::tabsToOpen({"https://x/", "https://x/"}, {"https://x"}), (Texts{"https://x/"}));
    EXPECT_EQ(WorkflowPlan::tabsToOpen({"https://x", "https://y", "https://x"}, {}),
              (Texts{"https://x", "https://y", "https://x"}));
    EXPECT_EQ(WorkflowPlan::tabsToOpen({"https://x"}, {"https://x", "https://x", "https://z"}), Texts{});
    // Only one slash is dropped, so "a//" is a page of its own.
    EXPECT_EQ(WorkflowPlan::tabsToOpen({"a//", "a"}, {"a"}), (Texts{"a//"}));
    EXPECT_EQ(WorkflowPlan::tabsToOpen({"/", ""}, {""}), (Texts{""}));
    EXPECT_EQ(WorkflowPlan::tabsToOpen({"HTTPS://X"}, {"https://x"}), (Texts{"HTTPS://X"}));
}

TEST(WorkflowPlanTabs, OnlyWebAddressesAreKept)
{
    EXPECT_EQ(WorkflowPlan::keepable({"https://a", "file:///tmp/x.html", "http://b", "", "about:blank",
                                      "HTTPS://c", "chrome://settings", "https:/", "http://"}),
              (Texts{"https://a", "http://b", "http://"}));
}

TEST(WorkflowPlanSetup, TheFirstWorkflowThatOpensOnTheSetup)
{
    const std::vector<Workspace> list{{.name = "off", .displays = "1-1-1-10x10", .opensOnSetup = false},
                                      {.name = "other", .displays = "2-2-2-10x10", .opensOnSetup = true},
                                      {.name = "first", .displays = "1-1-1-10x10", .opensOnSetup = true},
                                      {.name = "second", .displays = "1-1-1-10x10", .opensOnSetup = true}};
    EXPECT_EQ(WorkflowPlan::forSetup("1-1-1-10x10", list)->name, "first");
    EXPECT_EQ(WorkflowPlan::forSetup("2-2-2-10x10", list)->name, "other");
    EXPECT_EQ(WorkflowPlan::forSetup("1-1-1-10x10|2-2-2-10x10", list), std::nullopt);
    EXPECT_EQ(WorkflowPlan::forSetup("1-1-1-10x10", {list[0]}), std::nullopt);
    EXPECT_EQ(WorkflowPlan::forSetup("", {}), std::nullopt);
}

TEST(WorkflowPlanSlots, TheSmallestFreeNumberFromOneToNine)
{
    EXPECT_EQ(WorkflowPlan::nextSlot({1, 2, 4}), 3);
    EXPECT_EQ(WorkflowPlan::nextSlot({1, 2, 3, 4, 5, 6, 7, 8, 9}), std::nullopt);
    EXPECT_EQ(WorkflowPlan::nextSlot({0, 10, -3}), 1);
    EXPECT_EQ(WorkflowPlan::nextSlot({}), 1);
    EXPECT_EQ(WorkflowPlan::nextSlot({9, 8, 7, 6, 5, 4, 3, 2, 2}), 1);
    EXPECT_EQ(WorkflowPlan::nextSlot({9, 8, 7, 6, 5, 4, 3, 1, 1}), 2);
}

TEST(DisplayTrackerHold, AutosaveWaits75SecondsAfterAChange)
{
    const Date t0 = dateFromEpochSeconds(1'000'000);
    const std::vector<SavedWindow> some{{"b", "t", Rect(0, 0, 10, 10)}};

    DisplayTracker tracker("laptop");
    EXPECT_EQ(tracker.holdUntil, DisplayTracker::distantPast);
    EXPECT_TRUE(tracker.canAutosave(some, t0));
    EXPECT_FALSE(tracker.canAutosave({}, t0));

    EXPECT_FALSE(tracker.update("laptop", t0));
    EXPECT_TRUE(tracker.canAutosave(some, t0));

    EXPECT_TRUE(tracker.update("desk", t0));
    EXPECT_EQ(tracker.current, "desk");
    EXPECT_EQ(tracker.holdUntil, t0 + Seconds(75));
    EXPECT_FALSE(tracker.update("desk", t0 + Seconds(30)));
    EXPECT_EQ(tracker.holdUntil, t0 + Seconds(75));

    EXPECT_FALSE(tracker.canAutosave(some, t0 + Seconds(74)));
    EXPECT_FALSE(tracker.canAutosave(some, t0 + Seconds(74.999)));
    EXPECT_TRUE(tracker.canAutosave(some, t0 + Seconds(75)));
    EXPECT_FALSE(tracker.canAutosave({}, t0 + Seconds(75)));
    EXPECT_FALSE(tracker.canAutosave({}, t0 + Seconds(1e9)));

    // Back to the first setup: another hold from then.
    EXPECT_TRUE(tracker.update("laptop", t0 + Seconds(100)));
    EXPECT_FALSE(tracker.canAutosave(some, t0 + Seconds(174)));
    EXPECT_TRUE(tracker.canAutosave(some, t0 + Seconds(175)));
}
