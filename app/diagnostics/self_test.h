#pragma once

// The command-line self-test: on three visible windows of the test
// application it tidies in every layout and checks for overlaps, undoes each
// tidy, then stores a workflow that stacks the windows on one spot and
// switches to it, checking that the workflow places and tidies them. One
// verdict line per check on `out`; the run ends through `done` with 0 when
// every check passed, else 1.
//
// No Qt: it works through the window services, the workflow store and
// `Workflows`, and waits on the platform scheduler.

#include "app/platform/handle.h"
#include "app/services/desktop.h"
#include "core/geometry.h"
#include "core/window_entry.h"

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kavelo {

class Workflows;

class SelfTest {
public:
    // The class X11 gives xterm, the stock client the checks run on.
    static constexpr const char* testApp = "XTerm";
    static constexpr int expectedWindows = 3;
    static constexpr const char* workflowName = "kavelo-self-test";
    // Frames are shrunk by this on every side before they are compared, so
    // touching windows, or windows overlapping by less than twice this, pass.
    static constexpr double overlapInset = 2;
    static constexpr double untouchedTolerance = 4;
    // An undone window is back when its left edge is closer than this.
    static constexpr double undoTolerance = 3;
    // Placement ends within 8 s; a switch that has not finished by this
    // many seconds after it began is counted as having placed nothing.
    static constexpr double switchBound = 20;
    // Where every window of the test workflow is saved.
    static constexpr Rect stackedFrame{120, 120, 500, 400};

    // `out` hears the verdict lines, `err` a failed store of the workflow.
    // All must outlive the run.
    SelfTest(Desktop desktop, Workflows& workflows, std::ostream& out, std::ostream& err);
    ~SelfTest();
    SelfTest(const SelfTest&) = delete;
    SelfTest& operator=(const SelfTest&) = delete;

    // Runs the tidy checks now and starts the switch; `done` hears the
    // status once, after the last line. Call once.
    void run(std::function<void(int status)> done);

    int failures() const { return failures_; }
    bool finished() const { return finished_; }

    // The current frames of the visible windows of the test application.
    std::map<WindowID, Rect> frames() const;
    // Whether any two frames still intersect once each is inset by
    // `overlapInset`.
    static bool overlaps(const std::vector<Rect>& frames);

private:
    void check(bool passed, const std::string& name, const std::string& extra = {});
    void finish(int placed);

    Desktop desktop_;
    Workflows& workflows_;
    std::ostream& out_;
    std::ostream& err_;
    std::function<void(int)> done_;
    int failures_ = 0;
    bool finished_ = false;
    Handle bound_;
    // Callbacks that may outlive us (the switch's completion) check this.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace kavelo
