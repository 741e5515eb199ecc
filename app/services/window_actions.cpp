#include "app/services/window_actions.h"

#include "app/services/ax.h"
#include "core/grid_plan.h"
#include "core/screen_coordinates.h"
#include "core/screen_guard.h"
#include "core/tidy.h"
#include "core/tile_floor.h"
#include "core/workspace_matcher.h"

#include <algorithm>
#include <cmath>

namespace kavelo::WindowActions {

namespace {

// A synthetic identity names a window only within the read that gave it;
// looked up in a later read it would name some other window.
bool survivesReads(WindowID id) { return id <= syntheticWindowIDBase; }

double edge(const std::map<std::string, int>& edges, const char* name)
{
    auto it = edges.find(name);
    return it == edges.end() ? 0.0 : double(it->second);
}

std::optional<Screen> screenFor(const std::vector<Screen>& screens, double primary, const Rect& rect)
{
    if (screens.empty())
        return std::nullopt;
    std::size_t best = 0;
    double bestArea = ScreenCoordinates::flip(screens[0].frame, primary).intersection(rect).area();
    for (std::size_t i = 1; i < screens.size(); ++i) {
        const double a = ScreenCoordinates::flip(screens[i].frame, primary).intersection(rect).area();
        if (a > bestArea) {
            best = i;
            bestArea = a;
        }
    }
    return screens[best];
}

std::optional<Rect> usableIn(const Desktop& desktop, const Screen& screen, double primary)
{
    const Rect r = ScreenCoordinates::flip(screen.visibleFrame, primary);
    const auto& edges = desktop.preferences.reservedEdges();
    const double left = edge(edges, "left");
    const double top = edge(edges, "top");
    const double right = edge(edges, "right");
    const double bottom = edge(edges, "bottom");
    const Rect out(r.origin.x + left, r.origin.y + top, r.size.width - (left + right), r.size.height - (top + bottom));
    // Reserved edges wider than the display leave a negative size, which
    // the rectangle helpers would quietly turn around into a real area.
    if (!(out.size.width > 0 && out.size.height > 0))
        return std::nullopt;
    return out;
}

std::optional<Rect> areaIn(const Desktop& desktop, const Screen& screen, double primary)
{
    const auto u = usableIn(desktop, screen, primary);
    if (!u)
        return std::nullopt;
    const double gap = desktop.preferences.windowGap();
    const Rect r = u->insetBy(gap, gap);
    if (r.isEmpty())
        return std::nullopt;
    return r;
}

double primaryOf(const std::vector<Screen>& screens) { return screens.empty() ? 0 : screens.front().frame.height(); }

// The frontmost application's focused window.
ElementRef focusedOfFrontmost(const Platform& system)
{
    const auto app = system.workspace.frontmostApp();
    if (!app)
        return nullptr;
    return AX::focusedWindow(system.accessibility, app->pid);
}

// Written, then read back where each window stands.
Moves write(Accessibility& accessibility, std::span<const FrameWrite> writes, std::vector<std::optional<Rect>>* frames)
{
    std::vector<std::optional<Rect>> now;
    const std::vector<bool> answers = AX::setFrames(accessibility, writes, now);
    const Moves out = moves(writes, answers, now);
    if (frames)
        *frames = std::move(now);
    return out;
}

} // namespace

Moves moves(std::span<const FrameWrite> writes, const std::vector<bool>& answers,
            const std::vector<std::optional<Rect>>& now)
{
    Moves out;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const bool answered = i < answers.size() && answers[i];
        const std::optional<Rect> frame = i < now.size() ? now[i] : std::nullopt;
        // A window gone meanwhile refused nothing.
        if (!answered && !frame)
            continue;
        ++out.sent;
        const bool there = frame && std::abs(frame->minX() - writes[i].frame.minX()) <= landingTolerance &&
                           std::abs(frame->minY() - writes[i].frame.minY()) <= landingTolerance;
        if (answered || there)
            ++out.moved;
    }
    return out;
}

double primaryHeight(const Desktop& desktop) { return primaryOf(desktop.platform.displays.screens()); }

std::optional<Rect> usable(const Desktop& desktop, const Screen& screen)
{
    return usableIn(desktop, screen, primaryHeight(desktop));
}

std::optional<Rect> area(const Desktop& desktop, const Screen& screen)
{
    return areaIn(desktop, screen, primaryHeight(desktop));
}

std::optional<Screen> screen(const Desktop& desktop, const Rect& rect)
{
    const auto screens = desktop.platform.displays.screens();
    return screenFor(screens, primaryOf(screens), rect);
}

Moves snapFocused(const Desktop& desktop, Snap snap)
{
    const ElementRef window = focusedOfFrontmost(desktop.platform);
    if (!window)
        return {};
    const auto current = AX::rect(*window);
    if (!current)
        return {};
    const auto screens = desktop.platform.displays.screens();
    const double primary = primaryOf(screens);
    const auto display = screenFor(screens, primary, *current);
    if (!display)
        return {};
    // Snapped windows meet each other and the reserved edges without a gap.
    const auto in = usableIn(desktop, *display, primary);
    if (!in)
        return {};
    const FrameWrite one{window, frame(snap, *in, current->size)};
    return write(desktop.platform.accessibility, std::span(&one, 1), nullptr);
}

std::optional<TidyMemory> focusWindow(const Desktop& desktop, Moves* moves)
{
    const ElementRef window = focusedOfFrontmost(desktop.platform);
    if (!window)
        return std::nullopt;
    const auto number = window->windowNumber();
    if (!number || *number == 0)
        return std::nullopt;
    const auto before = AX::rect(*window);
    if (!before)
        return std::nullopt;
    const auto screens = desktop.platform.displays.screens();
    const double primary = primaryOf(screens);
    const auto display = screenFor(screens, primary, *before);
    if (!display)
        return std::nullopt;
    const auto target = areaIn(desktop, *display, primary);
    if (!target)
        return std::nullopt;
    const FrameWrite one{window, *target};
    std::vector<std::optional<Rect>> now;
    const Moves went = write(desktop.platform.accessibility, std::span(&one, 1), &now);
    if (moves)
        *moves = went;
    const Rect after = now.front().value_or(*before);
    return TidyMemory{.before = {{*number, *before}}, .after = {{*number, after}}};
}

std::optional<TidyMemory> tidy(const Desktop& desktop, TidyLayout layout, const std::optional<std::string>& onlyApp,
                               Moves* moves)
{
    // The catalog's own read of every window's frame, subrole and
    // full-screen state serves the choice: read again, the server would
    // answer the same. So do the displays, read once for the choice and the
    // batch.
    const Handle together = desktop.platform.windowServer.shareReads();
    std::unordered_map<WindowID, ElementFacts> facts;
    const Snapshot snapshot = WindowCatalog::read(desktop, &facts);
    const auto screens = desktop.platform.displays.screens();
    if (screens.empty())
        return std::nullopt;
    const double primary = primaryOf(screens);

    struct Taken {
        WindowID id;
        ElementRef element;
        Rect frame;
    };
    struct Group {
        Screen screen;
        std::optional<Rect> area;
        std::vector<Taken> windows;
    };
    std::vector<Group> groups;   // in the order their displays were first met
    TidyMemory memory;
    for (const auto& entry : snapshot.windows) {
        if (entry.state != WindowState::visible || (onlyApp && *onlyApp != entry.bundleID))
            continue;
        ElementRef element = snapshot.element(entry.id);
        const auto found = facts.find(entry.id);
        if (!element || found == facts.end())
            continue;
        const ElementFacts& fact = found->second;
        const auto& frame = fact.frame;
        if (!frame)
            continue;
        if (fact.subrole != std::string(standardWindowSubrole))
            continue;
        if (fact.fullScreen == true)
            continue;
        const Screen display = *screenFor(screens, primary, *frame);
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.screen.id == display.id; });
        if (group == groups.end()) {
            groups.push_back(Group{.screen = display, .area = areaIn(desktop, display, primary)});
            group = groups.end() - 1;
        }
        // A display without room is left alone, its windows untouched and
        // not part of the record.
        if (!group->area)
            continue;
        group->windows.push_back(Taken{entry.id, std::move(element), *frame});
        memory.before[entry.id] = *frame;
    }
    if (memory.before.empty())
        return std::nullopt;

    const double gap = desktop.preferences.windowGap();
    std::vector<FrameWrite> writes;
    std::vector<WindowID> ids;
    for (const auto& group : groups) {
        if (group.windows.empty())
            continue;
        const Rect& area = *group.area;
        const GridPlan plan = layout == TidyLayout::custom ? desktop.preferences.plan(group.screen.name) : GridPlan();
        // A plan moves no more windows than it has cells.
        const int count = int(layout == TidyLayout::custom ? std::min(group.windows.size(), plan.cells.size())
                                                           : group.windows.size());
        const double share = desktop.preferences.mainShare();
        // More windows than tiles of a usable size: the last tile holds the rest.
        const std::vector<Rect> targets = TileFloor::frames(count, area, [&](int k) {
            return layout == TidyLayout::custom ? plan.frames(k, area, gap) : Tidy::frames(layout, k, area, gap, share);
        });
        const std::size_t moved = std::min(group.windows.size(), targets.size());
        for (std::size_t i = 0; i < moved; ++i) {
            writes.push_back(FrameWrite{group.windows[i].element, targets[i]});
            ids.push_back(group.windows[i].id);
        }
    }
    // Back to front: a window that leaves its place uncovers only windows
    // already at theirs, which draw there once, not windows about to leave.
    std::reverse(writes.begin(), writes.end());
    std::reverse(ids.begin(), ids.end());
    // Read only once the whole batch has settled: a window may still change
    // its own size in answer to a neighbour's move or its own.
    std::vector<std::optional<Rect>> now;
    const Moves went = write(desktop.platform.accessibility, writes, &now);
    if (moves)
        *moves = went;
    for (std::size_t i = 0; i < writes.size(); ++i)
        memory.after[ids[i]] = now[i].value_or(writes[i].frame);
    return memory;
}

void undoTidy(const Desktop& desktop, const TidyMemory& memory)
{
    const Snapshot snapshot = WindowCatalog::read(desktop);
    std::vector<FrameWrite> writes;
    for (const auto& [id, frame] : memory.before) {
        if (!survivesReads(id))
            continue;
        if (ElementRef element = snapshot.element(id))
            writes.push_back(FrameWrite{std::move(element), frame});
    }
    AX::setFrames(desktop.platform.accessibility, writes);
}

namespace {

// The displays a window is put back on, read once for a whole workflow:
// their frames and usable areas (a display's whole frame when nothing of it
// is usable), in window coordinates.
struct Rooms {
    std::vector<Rect> frames;
    std::vector<Rect> usable;

    explicit Rooms(const Desktop& desktop)
    {
        const auto screens = desktop.platform.displays.screens();
        const double primary = primaryOf(screens);
        for (const Screen& s : screens) {
            frames.push_back(ScreenCoordinates::flip(s.frame, primary));
            usable.push_back(usableIn(desktop, s, primary).value_or(frames.back()));
        }
    }
    // The usable area of the display nearest to `frame`.
    std::optional<Rect> nearest(const Rect& frame) const
    {
        const auto i = ScreenGuard::nearest(frame, frames);
        return i ? std::optional(usable[*i]) : std::nullopt;
    }
};

// `frame`, or when it lies mostly off every display, moved (and shrunk
// where it must be) onto the display nearest to it.
Rect onDisplays(const Rooms& rooms, const Rect& frame) { return ScreenGuard::shown(frame, rooms.frames, rooms.usable); }

} // namespace

Workspace capture(const Desktop& desktop, const std::string& name, const std::string& displays,
                  const std::map<WindowID, Rect>& homes)
{
    const Snapshot snapshot = WindowCatalog::read(desktop);
    const Rooms rooms(desktop);
    Workspace workspace{.name = name, .displays = displays, .savedAt = desktop.platform.clock.now()};
    for (const auto& entry : snapshot.windows) {
        if (entry.state != WindowState::visible || entry.bundleID.empty())
            continue;
        // Where a mode parks a window is no place of the user's.
        Rect frame = onDisplays(rooms, entry.frame);
        if (frame != entry.frame)
            if (const auto home = homes.find(entry.id); home != homes.end())
                frame = home->second;
        workspace.windows.push_back(SavedWindow{.bundleID = entry.bundleID, .title = entry.title, .frame = frame});
    }
    return workspace;
}

int restore(const Desktop& desktop, const Workspace& workspace, Moves* moves)
{
    const Snapshot snapshot = WindowCatalog::read(desktop);
    std::vector<WindowEntry> live;
    live.reserve(snapshot.windows.size());
    for (const auto& entry : snapshot.windows) {
        if (ElementRef element = snapshot.element(entry.id)) {
            const bool browser = std::find(tabbedBrowsers.begin(), tabbedBrowsers.end(), entry.bundleID) !=
                                 tabbedBrowsers.end();
            if (browser && AX::value<std::string>(element, AX::documentAttribute) == std::string())
                continue;
        }
        live.push_back(entry);
    }
    std::vector<FrameWrite> writes;
    const Rooms rooms(desktop);
    std::map<WindowID, Size> sizes;
    for (const auto& entry : live)
        sizes[entry.id] = entry.frame.size;
    for (const auto& placement : WorkspaceMatcher::match(workspace.windows, live)) {
        ElementRef element = snapshot.element(placement.windowID);
        if (!element)
            continue;
        // Never left off every display, nor made smaller than the floor.
        const Rect frame = onDisplays(rooms, placement.frame);
        const auto room = rooms.nearest(frame);
        writes.push_back(FrameWrite{std::move(element),
                                    room ? TileFloor::grownFor(frame, sizes[placement.windowID], *room) : frame});
    }
    const Moves went = write(desktop.platform.accessibility, writes, nullptr);
    if (moves)
        *moves = went;
    return went.moved;
}

Handle raise(const Desktop& desktop, const WindowEntry& entry, const ElementRef& element)
{
    SystemWorkspace& workspace = desktop.platform.workspace;
    if (element) {
        // Sent at once from what the catalog read: nothing is read first, so
        // the window comes up as soon as the user let go. Activating brings
        // back an application's hidden windows; one whose window has gone
        // meanwhile is activated as before, its own front window.
        element->setMinimized(false);
        if (element->raise())
            workspace.activate(entry.pid, entry.id);
        else
            workspace.activate(entry.pid);
        return {};
    }
    const auto apps = workspace.runningApps();
    const auto app = std::find_if(apps.begin(), apps.end(), [&](const RunningApp& a) { return a.pid == entry.pid; });
    if (app == apps.end())
        return {};
    if (app->hidden)
        workspace.unhide(app->pid);
    workspace.activate(app->pid);
    if (!survivesReads(entry.id))
        return {};
    return desktop.platform.scheduler.after(raiseRetryDelay, [desktop, id = entry.id] {
        if (ElementRef later = WindowCatalog::read(desktop).element(id))
            later->raise();
    });
}

std::map<WindowID, Rect> frames(const Desktop& desktop, const std::vector<WindowID>& ids)
{
    const Handle together = desktop.platform.windowServer.shareReads();
    const Snapshot snapshot = WindowCatalog::read(desktop);
    std::map<WindowID, Rect> out;
    for (WindowID id : ids) {
        if (!survivesReads(id))
            continue;
        if (ElementRef element = snapshot.element(id))
            if (auto frame = AX::rect(*element))
                out[id] = *frame;
    }
    return out;
}

} // namespace kavelo::WindowActions
