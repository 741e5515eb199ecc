// The window catalog and the window actions against real clients.

#include "x11_services_fixture.h"

#include "app/services/window_actions.h"
#include "core/grid_plan.h"
#include "core/snap.h"
#include "core/tidy.h"

#include <algorithm>
#include <random>
#include <set>

namespace kavelo::testing {
namespace {

using CatalogTest = X11ServicesTest;
using ActionsTest = X11ServicesTest;

TEST_F(CatalogTest, ListsTheRealClientsFrontToBackWithTheirElements)
{
    const Snapshot snapshot = read();
    const auto windows = stock(snapshot);
    ASSERT_EQ(windows.size(), 3u);
    const auto apps = desktop->platform.workspace.runningApps();
    for (const auto& [name, w] : windows) {
        SCOPED_TRACE(name);
        EXPECT_LT(w.id, syntheticWindowIDBase);
        EXPECT_GT(w.pid, 0);
        EXPECT_EQ(w.appName, name);
        EXPECT_FALSE(w.title.empty());
        EXPECT_EQ(std::optional(w.frame), serverFrame(w.id));
        const ElementRef element = snapshot.element(w.id);
        ASSERT_TRUE(element);
        EXPECT_EQ(element->windowNumber(), std::optional(w.id));
        EXPECT_EQ(element->pid(), w.pid);
        EXPECT_EQ(AX::rect(*element), std::optional(w.frame));
    }
    // Nothing of this process, and every window once.
    std::set<WindowID> ids;
    for (const auto& w : snapshot.windows) {
        EXPECT_NE(w.pid, desktop->platform.workspace.ownPid());
        EXPECT_TRUE(ids.insert(w.id).second) << w.id;
    }

    // Front to back as the server stacks them.
    std::vector<WindowID> serverOrder;
    const auto stacking = session->stackingList();
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it)
        for (const auto& [name, w] : windows)
            if (x11->serverWindow(w.id) == *it)
                serverOrder.push_back(w.id);
    std::vector<WindowID> catalogOrder;
    for (const auto& w : snapshot.windows)
        if (std::any_of(windows.begin(), windows.end(), [&](const auto& kv) { return kv.second.id == w.id; }))
            catalogOrder.push_back(w.id);
    EXPECT_EQ(catalogOrder, serverOrder);
}

// The catalog reads every window in one batch; each answer must be what the
// window's own element reads, a closed window must answer nothing and leave
// the others' answers alone.
TEST_F(CatalogTest, BatchedReadsAnswerAsEachWindowsOwnReads)
{
    const pid_t extra = session->launch({"xlogo"});
    Restore restore([&] { session->terminate(extra); });
    const auto logos = [&] {
        const Snapshot snapshot = read();
        return std::count_if(snapshot.windows.begin(), snapshot.windows.end(),
                             [](const WindowEntry& w) { return w.bundleID == "XLogo"; });
    };
    ASSERT_TRUE(until([&] { return logos() == 1; }));
    const Accessibility& ax = desktop->platform.accessibility;
    std::vector<std::int32_t> pids;
    for (const auto& app : desktop->platform.workspace.runningApps())
        pids.push_back(app.pid);
    pids.push_back(0x7ffffff0);   // no such process
    const auto listed = ax.windowsOf(pids);
    ASSERT_EQ(listed.size(), pids.size());
    EXPECT_FALSE(listed.back());
    std::vector<ElementRef> elements{nullptr};
    for (std::size_t i = 0; i + 1 < pids.size(); ++i) {
        const auto one = ax.windows(pids[i]);
        ASSERT_EQ(one.has_value(), listed[i].has_value()) << pids[i];
        ASSERT_EQ(one.value_or(std::vector<ElementRef>{}).size(), listed[i].value_or(std::vector<ElementRef>{}).size());
        for (std::size_t k = 0; one && k < one->size(); ++k)
            EXPECT_EQ((*one)[k]->windowNumber(), (*listed[i])[k]->windowNumber());
        for (const auto& e : listed[i].value_or(std::vector<ElementRef>{}))
            elements.push_back(e);
    }
    ASSERT_GE(elements.size(), 5u);

    const auto facts = ax.facts(elements);
    ASSERT_EQ(facts.size(), elements.size());
    EXPECT_FALSE(facts[0].number || facts[0].subrole || facts[0].title || facts[0].minimized || facts[0].frame);
    ElementRef logo;
    for (std::size_t i = 1; i < elements.size(); ++i) {
        const Element& e = *elements[i];
        SCOPED_TRACE(e.title().value_or("?"));
        EXPECT_EQ(facts[i].number, e.windowNumber());
        EXPECT_EQ(facts[i].subrole, e.subrole());
        EXPECT_EQ(facts[i].title, e.title());
        EXPECT_EQ(facts[i].minimized, e.minimized());
        EXPECT_EQ(facts[i].frame, AX::rect(e));
        if (facts[i].title == std::optional<std::string>("xlogo"))
            logo = elements[i];
    }
    ASSERT_TRUE(logo);

    session->terminate(extra);
    ASSERT_TRUE(until([&] { return logos() == 0; }));
    const auto after = ax.facts(elements);
    for (std::size_t i = 1; i < elements.size(); ++i) {
        if (elements[i] == logo) {
            EXPECT_FALSE(after[i].number || after[i].subrole || after[i].title || after[i].minimized || after[i].frame);
        } else {
            EXPECT_EQ(after[i].number, facts[i].number);
            EXPECT_EQ(after[i].frame, facts[i].frame);
        }
    }
}

// Reads shared by one catalog answer once per window, but a window moved
// meanwhile is read where it went, and the sharing ends with its handle.
// Windows read one by one come in one batch, before a write and after it: a
// round trip each kept a URL waiting a third of a second on a busy server.
TEST_F(CatalogTest, SharedReadsAnswerAgainAfterAWrite)
{
    const auto before = stock();
    const WindowEntry& xterm = before.at("XTerm");
    const Snapshot snapshot = read();
    const ElementRef element = snapshot.element(xterm.id);
    ASSERT_TRUE(element);
    const auto readOneByOne = [&] {
        const std::uint64_t batches = x11->propertyBatches();
        for (const auto& [name, w] : before)
            EXPECT_TRUE(AX::rect(*snapshot.element(w.id))) << name;
        return x11->propertyBatches() - batches;
    };
    const Rect moved(xterm.frame.minX() + 40, xterm.frame.minY() + 30, xterm.frame.width(), xterm.frame.height());
    {
        const Handle together = desktop->platform.windowServer.shareReads();
        EXPECT_EQ(readOneByOne(), 1u);
        EXPECT_EQ(stock().at("XTerm").frame, xterm.frame);
        AX::setFrame(*element, moved);
        EXPECT_EQ(readOneByOne(), 1u);
        EXPECT_EQ(stock().at("XTerm").frame, moved);
        EXPECT_EQ(serverFrame(xterm.id), std::optional(moved));
    }
    // Moved behind our back: a read outside any sharing sees it.
    const std::uint32_t corner[] = {200, 150};
    xcb_configure_window(session->connection(), x11->serverWindow(xterm.id).value(),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, corner);
    session->sync();
    EXPECT_TRUE(until([&] { return stock().at("XTerm").frame.minX() != moved.minX(); }));
}

// Properties are remembered between reads until the server reports them
// changed. Another program renames, reclasses and fades a window at random;
// once the server has taken each change, every way of reading answers it:
// the catalog, the window list and the window's own element.
TEST_F(CatalogTest, EveryReadAnswersAPropertyChangedByAnotherProgram)
{
    const pid_t extra = session->launch({"xlogo"});
    Restore restore([&] { session->terminate(extra); });
    std::optional<WindowEntry> logo;
    ASSERT_TRUE(until([&] {
        for (const auto& w : read().windows)
            if (w.bundleID == "XLogo")
                logo = w;
        return logo.has_value();
    }));
    const xcb_window_t window = x11->serverWindow(logo->id).value();
    const ElementRef element = read().element(logo->id);
    ASSERT_TRUE(element);
    xcb_connection_t* c = session->connection();
    const xcb_atom_t utf8 = session->atom("UTF8_STRING"), netName = session->atom("_NET_WM_NAME"),
                     opacity = session->atom("_NET_WM_WINDOW_OPACITY");
    const auto set = [&](xcb_atom_t atom, xcb_atom_t type, std::uint8_t format, const void* data, std::size_t units) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom, type, format, std::uint32_t(units), data);
    };
    std::string title = logo->title, className = "XLogo";
    double alpha = 1;
    std::mt19937 random(47);
    for (int step = 0; step < 60; ++step) {
        const std::string text = std::to_string(step);
        switch (random() % 5) {
        case 0:
            title = "Fenêtre " + text;
            set(netName, utf8, 8, title.data(), title.size());
            break;
        case 1:   // only the old name left, in Latin-1
            title = "Caf\xc3\xa9 " + text;
            xcb_delete_property(c, window, netName);
            set(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, ("Caf\xe9 " + text).data(), text.size() + 5);
            break;
        case 2: {
            className = "Kind" + text;
            const std::string both = "kind" + text + '\0' + className + '\0';
            set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, both.data(), both.size());
            break;
        }
        case 3: {
            const std::uint32_t value = std::uint32_t(random());
            alpha = double(value) / 4294967295.0;
            set(opacity, XCB_ATOM_CARDINAL, 32, &value, 1);
            break;
        }
        default:   // read again what was read before
            break;
        }
        session->sync();
        SCOPED_TRACE("step " + text);
        // The window alone first: no list read comes before it.
        if (step % 2 == 0) {
            EXPECT_EQ(element->title(), std::optional(title));
        }
        const auto entry = find(read(), logo->id);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->title, title);
        EXPECT_EQ(entry->bundleID, className);
        const auto list = desktop->platform.windowServer.windowList(WindowListOption::all).value();
        const auto info = std::find_if(list.begin(), list.end(), [&](const WindowInfo& i) { return i.number == logo->id; });
        ASSERT_NE(info, list.end());
        EXPECT_NEAR(info->alpha, alpha, 1e-9);
    }
}

TEST_F(CatalogTest, AWindowTheUserMinimizedReadsMinimizedAndSortsLast)
{
    const WindowEntry eyes = stock().at("XEyes");
    Restore restore([&] {
        const Snapshot s = read();
        if (auto e = s.element(eyes.id))
            e->setMinimized(false);
        until([&] { return stock().count("XEyes") == 1; });
    });
    session->iconify(*x11->serverWindow(eyes.id));
    // Another client's request: a loaded openbox can take longer than the
    // backend's bounded wait.
    Snapshot snapshot;
    ASSERT_TRUE(until([&] {
        snapshot = read();
        const auto entry = find(snapshot, eyes.id);
        return entry && entry->state == WindowState::minimized;
    }));
    EXPECT_EQ(snapshot.windows.back().id, eyes.id);
    EXPECT_TRUE(snapshot.element(eyes.id));
    EXPECT_EQ(stock(snapshot).size(), 2u);

    // Raising it through the actions brings it back, in front.
    EXPECT_FALSE(WindowActions::raise(*desktop, *find(snapshot, eyes.id), snapshot.element(eyes.id)).pending());
    const Snapshot raised = read();
    EXPECT_EQ(raised.windows.front().id, eyes.id);
    EXPECT_EQ(raised.windows.front().state, WindowState::visible);
}

TEST_F(CatalogTest, AHiddenApplicationsWindowsReadHiddenAtOnce)
{
    const WindowEntry clock = stock().at("XClock");
    Restore restore([&] {
        desktop->platform.workspace.unhide(clock.pid);
        until([&] { return stock().count("XClock") == 1; });
    });
    ASSERT_TRUE(desktop->platform.workspace.hide(clock.pid));
    // The very next read, as "Clear the desktop" followed by the switcher
    // would make it: hidden, not minimized.
    Snapshot snapshot = read();
    auto entry = find(snapshot, clock.id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->state, WindowState::hidden);
    // And it stays so once the manager has iconified the window.
    const auto shown = desktop->platform.windowServer.windowList(WindowListOption::onScreenOnly).value();
    ASSERT_TRUE(std::none_of(shown.begin(), shown.end(), [&](const WindowInfo& w) { return w.number == clock.id; }));
    snapshot = read();
    entry = find(snapshot, clock.id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->state, WindowState::hidden);
    EXPECT_EQ(snapshot.windows.back().id, clock.id);

    // A hidden application's window is never tidied.
    const auto memory = WindowActions::tidy(*desktop, TidyLayout::grid, std::nullopt);
    ASSERT_TRUE(memory);
    EXPECT_FALSE(memory->before.count(clock.id));
    WindowActions::undoTidy(*desktop, *memory);

    // Raising the window shows its application again.
    EXPECT_FALSE(WindowActions::raise(*desktop, *entry, snapshot.element(clock.id)).pending());
    caughtUp();
    const auto again = find(read(), clock.id);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->state, WindowState::visible);
    for (const auto& app : desktop->platform.workspace.runningApps())
        if (app.pid == clock.pid) {
            EXPECT_FALSE(app.hidden);
        }
}

TEST_F(CatalogTest, AWindowOnAnotherDesktopIsListedWithoutElementAndRaisedLater)
{
    const WindowEntry eyes = stock().at("XEyes");
    const xcb_window_t window = *x11->serverWindow(eyes.id);
    ASSERT_EQ(session->currentDesktop(), std::optional<std::uint32_t>(0));
    Restore restore([&] {
        session->moveToDesktop(window, 0);
        session->switchToDesktop(0);
        x11->settle();
    });
    session->moveToDesktop(window, 1);
    x11->settle();
    Snapshot snapshot = read();
    ASSERT_TRUE(find(snapshot, eyes.id));
    ASSERT_EQ(find(snapshot, eyes.id)->state, WindowState::otherSpace);
    EXPECT_FALSE(snapshot.element(eyes.id));
    EXPECT_EQ(snapshot.windows.back().id, eyes.id);

    // Raising it activates its application, which brings its desktop up;
    // the window itself is raised once a new read reaches it.
    Handle retry = WindowActions::raise(*desktop, *find(snapshot, eyes.id), nullptr);
    EXPECT_TRUE(retry.pending());
    // A loaded openbox can take longer than the backend's bounded wait.
    ASSERT_TRUE(until([&] { return session->currentDesktop() == 1u; }));
    scheduler.advance(WindowActions::raiseRetryDelay);
    EXPECT_TRUE(until([&] {
        const Snapshot later = read();
        return later.windows.front().id == eyes.id && later.element(eyes.id);
    }));
}

// Every layout through the actions, then the frames from the server.
TEST_F(ActionsTest, TidiesWithEveryLayoutAndUndoes)
{
    preferences->setMainShare(0.6);
    for (TidyLayout layout : allTidyLayouts) {
        SCOPED_TRACE(std::string(rawValue(layout)));
        const Snapshot snapshot = read();
        std::vector<WindowEntry> taken;
        for (const auto& w : snapshot.windows)
            if (w.state == WindowState::visible && snapshot.element(w.id))
                taken.push_back(w);
        ASSERT_EQ(taken.size(), 3u);
        const auto screens = desktop->platform.displays.screens();
        ASSERT_EQ(screens.size(), 1u);
        const Rect area = WindowActions::area(*desktop, screens.front()).value();
        const double gap = preferences->windowGap();
        const auto targets = layout == TidyLayout::custom
                                 ? preferences->plan(screens.front().name).frames(3, area, gap)
                                 : Tidy::frames(layout, 3, area, gap, preferences->mainShare());
        ASSERT_EQ(targets.size(), 3u);

        const auto memory = WindowActions::tidy(*desktop, layout, std::nullopt);
        ASSERT_TRUE(memory);
        // A loaded machine's openbox may answer after the barrier's bound.
        caughtUp();
        ASSERT_EQ(memory->before.size(), 3u);
        ASSERT_EQ(memory->after.size(), 3u);
        std::vector<WindowID> ids;
        for (std::size_t i = 0; i < taken.size(); ++i) {
            const WindowID id = taken[i].id;
            ids.push_back(id);
            EXPECT_EQ(memory->before.at(id), taken[i].frame);
            // The front-most window takes the first frame.
            expectPlaced(id, targets[i]);
            // The record holds where the window really went.
            EXPECT_EQ(std::optional(memory->after.at(id)), serverFrame(id));
        }
        EXPECT_TRUE(memory->isUntouched(WindowActions::frames(*desktop, ids), 4.0));

        WindowActions::undoTidy(*desktop, *memory);
        caughtUp();
        for (const WindowID id : ids)
            EXPECT_EQ(serverFrame(id), std::optional(memory->before.at(id)));
        EXPECT_FALSE(memory->isUntouched(WindowActions::frames(*desktop, ids), 4.0));
    }
}

TEST_F(ActionsTest, TidyOfOneApplicationMovesOnlyItsWindows)
{
    const auto before = stock();
    const auto memory = WindowActions::tidy(*desktop, TidyLayout::columns, std::string("XTerm"));
    ASSERT_TRUE(memory);
    ASSERT_EQ(memory->before.size(), 1u);
    const WindowID term = before.at("XTerm").id;
    const Rect area = WindowActions::area(*desktop, desktop->platform.displays.screens().front()).value();
    expectPlaced(term, area);
    for (const auto& [name, w] : before)
        if (name != "XTerm") {
            EXPECT_EQ(serverFrame(w.id), std::optional(w.frame)) << name;
        }
    WindowActions::undoTidy(*desktop, *memory);
    EXPECT_EQ(serverFrame(term), std::optional(before.at("XTerm").frame));
}

TEST_F(ActionsTest, SnapsTheFocusedWindowInsideTheUsableArea)
{
    // xterm takes the focus; xclock and xeyes decline it.
    const Snapshot snapshot = read();
    const WindowEntry term = stock(snapshot).at("XTerm");
    EXPECT_FALSE(WindowActions::raise(*desktop, term, snapshot.element(term.id)).pending());
    ASSERT_TRUE(until([&] {
        const auto front = desktop->platform.workspace.frontmostApp();
        return front && front->pid == term.pid;
    }));

    preferences->setReservedEdges({{"left", 40}, {"top", 30}});
    const Screen screen = desktop->platform.displays.screens().front();
    const Rect usable = WindowActions::usable(*desktop, screen).value();
    EXPECT_EQ(usable, Rect(40, 30, screen.visibleFrame.width() - 40, screen.visibleFrame.height() - 30));
    for (Snap snap : {Snap::left, Snap::rightThird, Snap::bottom, Snap::maximize, Snap::center}) {
        SCOPED_TRACE(std::string(rawValue(snap)));
        const Size current = serverFrame(term.id).value().size;
        WindowActions::snapFocused(*desktop, snap);
        // Snapped windows meet the reserved edges without a gap.
        expectPlaced(term.id, frame(snap, usable, current));
    }
}

TEST_F(ActionsTest, RaiseBringsEachWindowToTheFrontOfTheList)
{
    for (const std::string name : {"XEyes", "XTerm", "XClock", "XEyes"}) {
        SCOPED_TRACE(name);
        const Snapshot snapshot = read();
        const WindowEntry target = stock(snapshot).at(name);
        EXPECT_FALSE(WindowActions::raise(*desktop, target, snapshot.element(target.id)).pending());
        const Snapshot after = read();
        ASSERT_FALSE(after.windows.empty());
        EXPECT_EQ(after.windows.front().id, target.id);
        EXPECT_EQ(std::optional(session->stackingList().back()), x11->serverWindow(target.id));
        // The others keep their order behind it.
        std::vector<WindowID> rest;
        for (const auto& w : snapshot.windows)
            if (w.id != target.id)
                rest.push_back(w.id);
        std::vector<WindowID> restAfter;
        for (const auto& w : after.windows)
            if (w.id != target.id)
                restAfter.push_back(w.id);
        EXPECT_EQ(restAfter, rest);
    }
}

TEST_F(ActionsTest, FillTheScreenAndRestoreAWorkflow)
{
    const Snapshot snapshot = read();
    const WindowEntry term = stock(snapshot).at("XTerm");
    EXPECT_FALSE(WindowActions::raise(*desktop, term, snapshot.element(term.id)).pending());
    ASSERT_TRUE(until([&] {
        const auto front = desktop->platform.workspace.frontmostApp();
        return front && front->pid == term.pid;
    }));
    const Workspace saved = WindowActions::capture(*desktop, "Before", "");
    EXPECT_EQ(saved.windows.size(), 3u);

    const auto filled = WindowActions::focusWindow(*desktop);
    ASSERT_TRUE(filled);
    EXPECT_EQ(filled->before.at(term.id), term.frame);
    const Rect area = WindowActions::area(*desktop, desktop->platform.displays.screens().front()).value();
    expectPlaced(term.id, area);
    EXPECT_EQ(std::optional(filled->after.at(term.id)), serverFrame(term.id));

    // The workflow puts every window back where it was captured.
    EXPECT_EQ(WindowActions::restore(*desktop, saved), 3);
    for (const auto& w : saved.windows) {
        const auto live = stock().at(w.bundleID);
        EXPECT_EQ(serverFrame(live.id), std::optional(w.frame)) << w.bundleID;
    }
}

} // namespace
} // namespace kavelo::testing
