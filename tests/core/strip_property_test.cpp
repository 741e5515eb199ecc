// Long random sequences of strip operations, with the strip's invariants
// checked after every step.

#include "core/strip.h"
#include "core/strip_memory.h"
#include "core/tile_floor.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

using namespace kavelo;

namespace {

using Step = std::tuple<int, int, int>; // operation, chooser, signed amount

constexpr int operationCount = 27;

const Rect screens[] = {
    Rect(0, 0, 1000, 800),   Rect(100, 25, 1440, 875), Rect(-1920, 0, 1920, 1080),
    Rect(0, 0, 333, 211),    Rect(0, 0, 20, 15),       Rect(0, 0, 0, 0),
};

const Direction directions[] = {Direction::left, Direction::right, Direction::up, Direction::down};

// Checks every invariant; returns a description of the first broken one.
std::string broken(const Strip& s, const std::vector<WindowID>& live)
{
    std::ostringstream why;
    std::map<WindowID, int> seen;
    int pins[2] = {0, 0};
    for (const auto& c : s.columns) {
        if (c.ids.empty())
            return "empty column";
        if (std::find(c.ids.begin(), c.ids.end(), c.active) == c.ids.end())
            return "active not in its column";
        for (WindowID id : c.ids)
            ++seen[id];
        if (!(c.width >= Strip::minWidth && c.width <= Strip::maxWidth))
            return "width out of range";
        for (const auto& [id, w] : c.weights)
            if (!(w >= Strip::minWeight && w <= Strip::maxWeight))
                return "weight out of range";
        if (c.pin)
            ++pins[int(*c.pin)];
    }
    if (pins[0] > 1 || pins[1] > 1)
        return "two columns pinned to one edge";
    if (seen.size() != live.size())
        return "strip and live windows differ";
    for (WindowID id : live) {
        const auto it = seen.find(id);
        if (it == seen.end() || it->second != 1) {
            why << "window " << id << " is not in exactly one column";
            return why.str();
        }
    }
    if (s.columns.empty() != !s.focused)
        return "focus set on an empty strip or missing on a full one";
    if (s.focused && !seen.count(*s.focused))
        return "focus on a window outside the strip";
    if (!std::isfinite(s.scroll) || s.scroll < 0)
        return "bad scroll";
    return {};
}

std::string brokenLayout(const Strip& s, const StripLayout& layout, const Rect& r, const std::vector<WindowID>& live)
{
    if (layout.frames.size() != live.size())
        return "not every window has a frame";
    const Size floor = TileFloor::of(r);
    for (const auto& [id, f] : layout.frames) {
        if (!f.isFinite() || f.size.width < 0 || f.size.height < 0)
            return "negative or non-finite frame";
        const bool tabbed = std::any_of(layout.tabs.begin(), layout.tabs.end(), [&, id = id](const TabBar& bar) {
            return std::find(bar.ids.begin(), bar.ids.end(), id) != bar.ids.end();
        });
        if (!TileFloor::holds(Rect(f.origin, Size(f.width(), f.height() + (tabbed ? Strip::tabHeight : 0))), floor))
            return "frame under the floor";
        if (f.minX() < r.minX() - Strip::parkGap - f.width() - 1e-9 || f.minX() > r.maxX() + Strip::parkGap + 1e-9)
            return "frame beyond the waiting band";
    }
    std::size_t tabbed = 0;
    for (const auto& c : s.columns)
        tabbed += c.tabbed;
    if (layout.tabs.size() != tabbed)
        return "tab bar count";
    for (const auto& bar : layout.tabs)
        if (!bar.frame.isFinite() || bar.frame.size.width < 0)
            return "bad tab bar";
    // Without pins and without a pan the focused column is brought wholly into view.
    const bool pinned = std::any_of(s.columns.begin(), s.columns.end(), [](const auto& c) { return c.pin; });
    if (!pinned && !s.isPanning && s.focused && s.gap >= 4) {
        const Rect f = layout.frames.at(*s.focused);
        if (f.minX() < r.minX() - 1e-9 || f.maxX() > r.maxX() + 1e-9)
            return "focused column out of view";
    }
    return {};
}

struct Run {
    Strip strip;
    std::vector<WindowID> live;
    WindowID next = 1;

    WindowID pick(int a) const { return live[std::size_t(a) % live.size()]; }

    void apply(const Step& step)
    {
        const auto [op, a, b] = step;
        Strip& s = strip;
        const Rect& r = screens[std::size_t(a) % std::size(screens)];
        switch (op) {
        case 0: // a window opens
        case 1:
            live.insert(live.begin() + std::ptrdiff_t(std::size_t(a) % (live.size() + 1)), next++);
            s.sync(live, b > 0 && !live.empty() ? std::optional<WindowID>(pick(b)) : std::nullopt);
            break;
        case 2: // a window closes
            if (!live.empty())
                std::erase(live, pick(a));
            s.sync(live, b > 20 ? std::optional<WindowID>(next + 7) : std::nullopt);
            break;
        case 3: // several windows open, some with slots
        {
            std::map<WindowID, int> slots;
            for (int k = 0; k < 1 + a % 4; ++k) {
                if ((k + b) % 2)
                    slots[next] = b / 8 + k;
                live.push_back(next++);
            }
            s.sync(live, std::nullopt, slots);
            break;
        }
        case 4:
            if (!live.empty())
                s.select(pick(a));
            break;
        case 5:
            if (!live.empty()) {
                const WindowID from = pick(a);
                std::replace(live.begin(), live.end(), from, next);
                s.rename(from, next++);
            }
            break;
        case 6: s.moveFocus(directions[a % 4]); break;
        case 7: s.focusColumn(a % int(s.columns.size() + 2)); break;
        case 8: s.focusEnd(a % 2); break;
        case 9: s.moveColumn(directions[a % 4]); break;
        case 10:
            if (!live.empty())
                s.moveColumn(pick(a), b);
            break;
        case 11:
        case 12: s.stack(directions[a % 4]); break;
        case 13: s.popOut(directions[a % 4]); break;
        case 14: s.toggleTabbed(); break;
        case 15: s.togglePin(a % 2 ? Strip::Pin::right : Strip::Pin::left); break;
        case 16: s.cycleWidth(); break;
        case 17: s.toggleFullWidth(); break;
        case 18: s.adjustWidth(b / 100.0); break;
        case 19: s.adjustHeight(b / 20.0); break;
        case 20: s.equalizeHeights(); break;
        case 21: s.center(); break;
        case 22: s.beginPan(); break;
        case 23: s.pan(b * 13.0, r); break;
        case 24: s.endPan(b * 21.0, r); break;
        case 25:
            s.centerMode = Strip::allCenterModes[std::size_t(a) % 3];
            s.keepsHeight = b % 2;
            if (!live.empty())
                s.originalHeights[pick(a)] = b * 10.0; // may be negative
            break;
        default: s.gap = b % 3 == 0 ? 2 : 10; break;
        }
    }
};

rc::Gen<Step> step()
{
    return rc::gen::tuple(rc::gen::inRange(0, operationCount), rc::gen::inRange(0, 1000), rc::gen::inRange(-60, 61));
}

// Runs the steps, checking after each one; the first failure is reported.
void check(const std::vector<Step>& steps)
{
    Run run;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        run.apply(steps[i]);
        const std::string model = broken(run.strip, run.live);
        RC_ASSERT(model == std::string());
        const Rect& r = screens[i % std::size(screens)];
        Strip copy = run.strip;
        const StripLayout layout = copy.layout(r);
        RC_ASSERT(brokenLayout(copy, layout, r, run.live) == std::string());
        RC_ASSERT(broken(copy, run.live) == std::string());
    }
}

} // namespace

RC_GTEST_PROP(StripProperties, RandomOperationsKeepEveryInvariant, ())
{
    const auto steps = *rc::gen::resize(400, rc::gen::container<std::vector<Step>>(step()));
    RC_CLASSIFY(steps.size() > 200, "long");
    check(steps);
}

RC_GTEST_PROP(StripProperties, LayoutIsStableOnceSettled, ())
{
    // Laying out twice on one screen gives the same frames and scroll.
    const auto steps = *rc::gen::resize(200, rc::gen::container<std::vector<Step>>(step()));
    Run run;
    for (const Step& s : steps)
        run.apply(s);
    const Rect r = screens[std::size_t(*rc::gen::inRange(0, 6))];
    const StripLayout first = run.strip.layout(r);
    const double scroll = run.strip.scroll;
    RC_ASSERT(run.strip.layout(r) == first);
    RC_ASSERT(run.strip.scroll == scroll);
}

namespace {

// What the engine would record for a live window; titles are unique.
StripMemory::Window record(WindowID id, WindowID shownAs)
{
    return StripMemory::Window{.id = shownAs, .bundleID = "app" + std::to_string(id % 3),
                               .title = "window " + std::to_string(id),
                               .height = id % 4 == 0 ? std::optional<double>(300 + id) : std::nullopt};
}

// The strip a rebuild should give: saved shape under the new identities, the
// rest as in a fresh strip.
Strip expectedRebuild(const Strip& s, const std::map<WindowID, WindowID>& renamed)
{
    Strip out;
    for (const auto& c : s.columns) {
        Strip::Column k{.width = c.width, .tabbed = c.tabbed && c.ids.size() >= 2, .pin = c.pin};
        for (WindowID id : c.ids) {
            k.ids.push_back(renamed.at(id));
            if (const auto w = c.weights.find(id); w != c.weights.end())
                k.weights[renamed.at(id)] = w->second;
            if (id % 4 == 0)
                out.originalHeights[renamed.at(id)] = 300 + id;
        }
        k.active = k.ids.front();
        out.columns.push_back(std::move(k));
    }
    return out;
}

} // namespace

RC_GTEST_PROP(StripProperties, MemoryRoundTripRebuildsTheSameStrip, ())
{
    const auto steps = *rc::gen::resize(300, rc::gen::container<std::vector<Step>>(step()));
    Run run;
    for (const Step& s : steps)
        run.apply(s);
    const bool newIdentities = *rc::gen::arbitrary<bool>();

    std::map<WindowID, StripMemory::Window> windows;
    std::map<WindowID, WindowID> renamed;
    std::vector<StripMemory::Window> live;
    for (WindowID id : run.live) {
        windows[id] = record(id, id);
        renamed[id] = newIdentities ? id + 100000 : id;
        live.push_back(record(id, renamed[id]));
    }
    // The engine lists live windows in its own order; matching must not care.
    std::reverse(live.begin(), live.end());

    const StripMemory memory = run.strip.memory(windows);
    const auto text = memory.toJson().dump();
    const auto reread = StripMemory::fromJson(json::parse(text).value());
    RC_ASSERT(reread == memory);

    const Strip rebuilt(*reread, live);
    RC_ASSERT(rebuilt == expectedRebuild(run.strip, renamed));
}
