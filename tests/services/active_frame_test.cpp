#include "app/services/active_frame.h"
#include "app/services/working_app.h"
#include "services/desktop_fixture.h"

#include <gtest/gtest.h>

using namespace kavelo;
using kavelo::testing::DesktopTest;

namespace {

class WorkingAppTest : public DesktopTest {
protected:
    std::int32_t own() { return sim.workspace().ownPid(); }
    void activate(std::int32_t pid) { sim.workspace().activate(pid); }
    std::optional<std::int32_t> pidOf(const std::optional<RunningApp>& app) const
    {
        return app ? std::optional(app->pid) : std::nullopt;
    }
};

} // namespace

TEST_F(WorkingAppTest, StaysOnTheUsersApplicationWhileThisProgramIsInFront)
{
    const auto a = app("com.example.a", "A");
    const auto b = app("com.example.b", "B");
    WorkingApp working(sim.workspace());
    EXPECT_EQ(working.current(), std::nullopt);   // nothing frontmost

    activate(own());
    EXPECT_EQ(pidOf(working.current()), own());   // not started: nothing to fall back on

    activate(a);
    working.start();
    EXPECT_TRUE(working.isStarted());
    EXPECT_EQ(pidOf(working.last()), a);
    activate(own());
    EXPECT_EQ(pidOf(working.current()), a);
    // Starting again changes nothing: the remembered application stays.
    working.start();
    EXPECT_EQ(pidOf(working.last()), a);

    activate(b);
    EXPECT_EQ(pidOf(working.current()), b);
    activate(own());
    EXPECT_EQ(pidOf(working.current()), b);
    // The remembered application is given as it runs now.
    sim.workspace().hide(b);
    ASSERT_TRUE(working.current());
    EXPECT_TRUE(working.current()->hidden);
    // Once it quit, as it was last seen.
    sim.removeApp(b);
    EXPECT_EQ(pidOf(working.current()), b);
}

TEST_F(WorkingAppTest, StartingWhileThisProgramIsInFrontRemembersIt)
{
    const auto a = app("com.example.a", "A");
    activate(own());
    {
        WorkingApp working(sim.workspace());
        working.start();
        EXPECT_EQ(pidOf(working.last()), own());
        EXPECT_EQ(pidOf(working.current()), own());
        activate(a);
        activate(own());
        EXPECT_EQ(pidOf(working.current()), a);
    }
    // Tracking ended with the object.
    activate(a);
}

namespace {

// Lets a test see the focused window as minimized, which the simulated
// desktop never reports for a focused window.
class MinimizedFocus : public Accessibility {
public:
    explicit MinimizedFocus(Accessibility& real) : real_(real) {}
    bool isTrusted() const override { return real_.isTrusted(); }
    bool requestTrust() override { return real_.requestTrust(); }
    std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const override { return real_.windows(pid); }
    ElementRef focusedWindow(std::int32_t pid) const override
    {
        auto real = real_.focusedWindow(pid);
        return real ? std::make_shared<View>(real) : nullptr;
    }

private:
    struct View : Element {
        explicit View(ElementRef e) : e(std::move(e)) {}
        ElementRef e;
        std::int32_t pid() const override { return e->pid(); }
        std::optional<WindowID> windowNumber() const override { return e->windowNumber(); }
        std::optional<std::string> subrole() const override { return e->subrole(); }
        std::optional<std::string> title() const override { return e->title(); }
        std::optional<std::string> document() const override { return e->document(); }
        std::optional<bool> minimized() const override { return true; }
        std::optional<bool> fullScreen() const override { return e->fullScreen(); }
        std::optional<Point> position() const override { return e->position(); }
        std::optional<Size> size() const override { return e->size(); }
        std::optional<bool> sizeSettable() const override { return e->sizeSettable(); }
        bool setPosition(Point p) override { return e->setPosition(p); }
        bool setSize(Size s) override { return e->setSize(s); }
        bool setMinimized(bool m) override { return e->setMinimized(m); }
        bool raise() override { return e->raise(); }
    };
    Accessibility& real_;
};

} // namespace

TEST_F(WorkingAppTest, ActiveFrameRejectsEveryWindowThatShouldNotBeHighlighted)
{
    WorkingApp working(sim.workspace());
    working.start();
    const auto frame = [&] { return ActiveWindow::activeFrame(desktop, working); };
    EXPECT_EQ(frame(), std::nullopt);   // nothing frontmost

    const auto a = app("com.example.a", "A");
    const WindowID w = window(a, "w", {100, 100, 500, 400});
    sim.focusWindow(w);
    EXPECT_EQ(frame(), Rect(100, 100, 500, 400));

    // This program's own titled key window wins while it is active.
    EXPECT_EQ(ActiveWindow::activeFrame(desktop, working, Rect(10, 20, 600, 500)), Rect(10, 20, 600, 500));

    // Width: more than 40 points; the height is not looked at.
    sim.modifyWindow(w, [](SimWindow& x) { x.frame = Rect(100, 100, 40, 2); });
    EXPECT_EQ(frame(), std::nullopt);
    sim.modifyWindow(w, [](SimWindow& x) { x.frame = Rect(100, 100, 41, 2); });
    EXPECT_EQ(frame(), Rect(100, 100, 41, 2));

    sim.modifyWindow(w, [](SimWindow& x) { x.fullScreen = true; });
    EXPECT_EQ(frame(), std::nullopt);
    sim.modifyWindow(w, [](SimWindow& x) { x.fullScreen = false; });

    MinimizedFocus minimized(sim.accessibility());
    const Desktop seesMinimized{kavelo::testing::replacing(desktop.platform, &minimized, nullptr), prefs};
    EXPECT_EQ(ActiveWindow::activeFrame(seesMinimized, working), std::nullopt);

    sim.modifyWindow(w, [](SimWindow& x) { x.numberReadable = false; });
    EXPECT_EQ(frame(), std::nullopt);
    sim.modifyWindow(w, [](SimWindow& x) { x.numberReadable = true; });
    EXPECT_EQ(frame(), Rect(100, 100, 41, 2));

    sim.setTrusted(false);
    EXPECT_EQ(frame(), std::nullopt);
    sim.setTrusted(true);

    // While this program is in front the working application's window is
    // still highlighted; once that application is hidden, its focused window
    // is off screen and is not.
    sim.workspace().activate(sim.workspace().ownPid());
    EXPECT_EQ(frame(), Rect(100, 100, 41, 2));
    sim.workspace().hide(a);
    EXPECT_EQ(frame(), std::nullopt);
}

TEST_F(WorkingAppTest, ActiveFrameIgnoresWindowsOfOtherDesktopsAndThisProgram)
{
    const std::uint64_t second = sim.addDesktop(1);
    const auto a = app("com.example.a", "A");
    const WindowID w = window(a, "w", {100, 100, 500, 400});
    sim.focusWindow(w);
    WorkingApp working(sim.workspace());
    working.start();
    sim.moveToDesktop(w, second);
    EXPECT_EQ(ActiveWindow::activeFrame(desktop, working), std::nullopt);
    sim.switchDesktop(1, second);
    EXPECT_EQ(ActiveWindow::activeFrame(desktop, working), Rect(100, 100, 500, 400));

    // This program in front with nothing remembered: no frame of its own
    // panels, only of a titled key window the caller names.
    WorkingApp fresh(sim.workspace());
    sim.workspace().activate(sim.workspace().ownPid());
    EXPECT_EQ(ActiveWindow::activeFrame(desktop, fresh), std::nullopt);
}
