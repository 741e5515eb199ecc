#include "app/diagnostics/self_test.h"

#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "app/workflows/workflows.h"
#include "core/tidy_layout.h"
#include "core/workspace_store.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace kavelo {

namespace {

std::vector<Rect> values(const std::map<WindowID, Rect>& frames)
{
    std::vector<Rect> out;
    out.reserve(frames.size());
    for (const auto& [id, frame] : frames)
        out.push_back(frame);
    return out;
}

} // namespace

SelfTest::SelfTest(Desktop desktop, Workflows& workflows, std::ostream& out, std::ostream& err)
    : desktop_(desktop), workflows_(workflows), out_(out), err_(err)
{
}

SelfTest::~SelfTest() { *alive_ = false; }

std::map<WindowID, Rect> SelfTest::frames() const
{
    // A busy manager may still owe the last writes: the checks are of
    // where the windows end up, so they wait for it (a little while).
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (desktop_.platform.windowServer.managerBehind() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<WindowID> ids;
    for (const WindowEntry& window : WindowCatalog::read(desktop_).windows)
        if (window.bundleID == testApp && window.state == WindowState::visible)
            ids.push_back(window.id);
    return WindowActions::frames(desktop_, ids);
}

bool SelfTest::overlaps(const std::vector<Rect>& frames)
{
    for (std::size_t i = 0; i < frames.size(); ++i)
        for (std::size_t j = i + 1; j < frames.size(); ++j)
            if (frames[i].insetBy(overlapInset, overlapInset).intersects(frames[j].insetBy(overlapInset, overlapInset)))
                return true;
    return false;
}

void SelfTest::check(bool passed, const std::string& name, const std::string& extra)
{
    if (!passed)
        ++failures_;
    out_ << (passed ? "PASS" : "FAIL") << ' ' << name << ' ' << extra << '\n';
}

void SelfTest::run(std::function<void(int status)> done)
{
    done_ = std::move(done);
    const std::string app = testApp;

    const auto before = frames();
    check(before.size() == std::size_t(expectedWindows), "three test windows found", std::to_string(before.size()));

    for (TidyLayout layout : allTidyLayouts) {
        const std::string name = "tidy " + std::string(rawValue(layout));
        const auto memory = WindowActions::tidy(desktop_, layout, app);
        const auto after = frames();
        check(!overlaps(values(after)), name + " has no overlap");
        if (!memory) {
            check(false, name + " ran");
            continue;
        }
        check(memory->isUntouched(after, untouchedTolerance), name + " sees itself as untouched");
        WindowActions::undoTidy(desktop_, *memory);
        const auto now = frames();
        bool back = true;
        for (const auto& [id, frame] : before) {
            const auto it = now.find(id);
            const double x = it == now.end() ? -1 : it->second.minX();
            back = back && std::abs(frame.minX() - x) < undoTolerance;
        }
        check(back, name + " undo");
    }

    Workspace workflow{
        .name = workflowName,
        .displays = "",
        .savedAt = desktop_.platform.clock.now(),
        .tidy = TidyLayout::columns,
    };
    for (const auto& entry : before) {
        (void)entry;
        workflow.windows.push_back(SavedWindow{.bundleID = app, .title = "", .frame = stackedFrame});
    }
    try {
        workflows_.store().save(workflow);
    } catch (const WorkspaceSaveError& error) {
        // Nothing would load, so the switch would never report back.
        err_ << "kavelo: the self-test could not store its workflow: " << error.what() << '\n';
        finish(0);
        return;
    }

    std::weak_ptr<bool> alive = alive_;
    bound_ = desktop_.platform.scheduler.after(Seconds(switchBound), [this, alive] {
        if (auto a = alive.lock(); a && *a)
            finish(0);
    });
    workflows_.switchTo(workflowName, [this, alive](int placed) {
        if (auto a = alive.lock(); a && *a)
            finish(placed);
    });
}

void SelfTest::finish(int placed)
{
    if (finished_)
        return;
    finished_ = true;
    bound_ = {};
    check(placed == expectedWindows, "workflow placed windows", std::to_string(placed));
    check(!overlaps(values(frames())), "workflow tidy on arrival");
    workflows_.store().remove(workflowName);
    check(!workflows_.store().load(workflowName), "workflow removed");
    if (failures_ == 0)
        out_ << "ALL PASSED\n";
    else
        out_ << failures_ << " FAILED\n";
    out_.flush();
    // The completion may end this test: nothing of it is touched after.
    const int status = failures_ == 0 ? 0 : 1;
    if (auto done = std::move(done_))
        done(status);
}

} // namespace kavelo
