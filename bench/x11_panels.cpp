// The switcher's and the overview's cost where users feel it, by hand (not
// in CI): Xvfb 1920 × 1080 with openbox (Alt-Tab left free) and N real
// clients (xterm, xclock and xeyes in turn); both controllers in this
// process with Qt on xcb, the production scheduler and the backend pumped
// from Qt's run loop, as the program runs them.
//
// BM_X11OverviewLatency/N: the overview's hot key typed through XTest to the
// first paint, to the paint of the last picture of a card in view (or its
// arrival, when nothing was left to paint), to the arrival of every picture,
// and a typed letter to the next repaint, with the frames painted after it;
// medians and worst of the iterations, in milliseconds. `keyToScreen` is
// what the user sees: the hot key to the panel moved onto the screen and
// composited there (another connection reads a pixel of it back); every
// other opening follows one closed after a search ("e"), the others one
// closed after a look.
//
// BM_X11PanelsMemory/N: the process's resident memory (RSS and Pss from
// /proc/self/smaps_rollup, in MB) at start, after 10 openings of each
// panel, and after 10 more (it should stay flat).

#include "app/services/hot_keys.h"
#include "app/services/memory_policy.h"
#include "app/switcher/overview_controller.h"
#include "app/switcher/switcher_controller.h"
#include "app/switcher/views/overview_key_panel.h"
#include "app/switcher/views/switcher_free_panel.h"
#include "support/memory_use.h"
#include "outside_view.h"
#include "x11_qt_world.h"

#include <QTimer>

#include <xcb/xcb.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using namespace kavelo;
using namespace kavelo::bench;
using namespace std::chrono_literals;

namespace {

// Paints of the overview's widgets, recorded once the loop turns after each
// (the backing store has gone to the server by then).
class PaintClock : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        const bool grid = dynamic_cast<OverviewGrid*>(object) || dynamic_cast<OverviewEmptyState*>(object);
        const bool view = dynamic_cast<OverviewView*>(object);
        if (view)
            viewPaintsBegun.push_back(Steady::now());
        if (grid || view)
            QTimer::singleShot(0, this, [this, grid] { (grid ? gridPaints : viewPaints).push_back(Steady::now()); });
        return false;
    }
    static std::optional<Steady::time_point> firstAfter(const std::vector<Steady::time_point>& paints,
                                                       Steady::time_point from)
    {
        for (auto p : paints)
            if (p >= from)
                return p;
        return std::nullopt;
    }
    void clear()
    {
        gridPaints.clear();
        viewPaints.clear();
        viewPaintsBegun.clear();
    }
    std::vector<Steady::time_point> gridPaints, viewPaints, viewPaintsBegun;
};

// Watches, on a connection of its own, for a full-screen window placed on
// the screen, and reads a pixel of it back: the server composites the
// screen before it answers.
class ScreenWatch {
public:
    explicit ScreenWatch(const std::string& display)
    {
        c_ = xcb_connect(display.c_str(), nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        root_ = screen->root;
        width_ = screen->width_in_pixels;
        height_ = screen->height_in_pixels;
        const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &events);
        xcb_flush(c_);
        thread_ = std::thread([this] { run(); });
    }
    ~ScreenWatch()
    {
        stop_ = true;
        // Wakes the wait with an event of its own.
        xcb_configure_notify_event_t wake{};
        wake.response_type = XCB_CONFIGURE_NOTIFY;
        wake.window = root_;
        xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, reinterpret_cast<const char*>(&wake));
        xcb_flush(c_);
        thread_.join();
        xcb_disconnect(c_);
    }
    // The first time on screen at or after `from`.
    std::optional<Steady::time_point> shownAfter(Steady::time_point from)
    {
        const std::lock_guard lock(mutex_);
        for (auto t : shown_)
            if (t >= from)
                return t;
        return std::nullopt;
    }

private:
    void run()
    {
        while (!stop_) {
            xcb_generic_event_t* event = xcb_wait_for_event(c_);
            if (!event)
                return;
            const bool configure = (event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY;
            const auto* e = reinterpret_cast<xcb_configure_notify_event_t*>(event);
            const bool whole = configure && e->window != root_ && e->x == 0 && e->y == 0 && e->width == width_ &&
                               e->height == height_;
            std::free(event);
            if (!whole || stop_)
                continue;
            std::free(xcb_get_image_reply(
                c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 10, 10, 1, 1, ~0u), nullptr));
            const std::lock_guard lock(mutex_);
            shown_.push_back(Steady::now());
        }
    }
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0;
    std::uint16_t width_ = 0, height_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Steady::time_point> shown_;
    std::thread thread_;
};

// Both panels as the program holds them.
class PanelsWorld {
public:
    PanelsWorld(const Desktop& desktop, SystemWorkspace& workspace)
        : host_(desktop.platform), overview_(desktop, OverviewKeyPanel::factory(host_, desktop.platform)),
          switcher_(desktop, SwitcherFreePanel::factory(host_, workspace))
    {
    }
    OverviewController& overview() { return overview_; }
    SwitcherController& switcher() { return switcher_; }

    using Until = std::function<bool(const std::function<bool()>&)>;
    // A session with its panel and pictures, then a letter typed.
    void openSwitcher(const Until& until)
    {
        switcher_.begin(false);
        until([&] { return switcher_.panel() && switcher_.panel()->isShown(); });
        const std::size_t wanted = std::min<std::size_t>(SwitcherController::thumbnailLimit,
                                                         switcher_.model().session().windows.size());
        until([&] { return switcher_.model().thumbnails().size() >= wanted; });
        switcher_.send(SwitcherKey::text("e"));
    }
    void closeSwitcher() { switcher_.send(SwitcherKey::escape()); }
    void openOverview(const Until& until)
    {
        overview_.show();
        until([&] { return overview_.isOpen(); });
        until([&] { return overview_.model().thumbnails().size() >= overview_.model().windows().size(); });
    }
    void closeOverview() { overview_.hide(); }

private:
    PanelHost host_;
    OverviewController overview_;
    SwitcherController switcher_;
};

struct World : X11QtWorld {
    std::unique_ptr<PanelsWorld> panels;
    std::unique_ptr<HotKeys> hotKeys;
    PaintClock paints;
    int clients = 0;
    // When the hot key's handler began and ended, last time.
    Steady::time_point handlerStart, handlerEnd;

    bool start()
    {
        MemoryPolicy::apply();
        static char name[] = "x11_panels_bench";
        if (!startQt(name, paints))
            return false;
        panels = std::make_unique<PanelsWorld>(*desktop, x11->workspace());
        hotKeys = std::make_unique<HotKeys>(x11->hotKeys());
        const Shortcut shortcut = Shortcut::standard;
        return hotKeys->registerHotKey(shortcut.keyCode, shortcut.modifiers, [this] {
            handlerStart = Steady::now();
            if (panels->overview().isOpen())
                panels->overview().hide();
            else
                panels->overview().show();
            handlerEnd = Steady::now();
        });
    }

    void turn(std::chrono::milliseconds span = 5ms) { QCoreApplication::processEvents(QEventLoop::AllEvents, int(span.count())); }
    bool until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s)
    {
        return test::waitFor(done, timeout, [&] { turn(); });
    }
    void settle(std::chrono::milliseconds span)
    {
        const auto end = Steady::now() + span;
        while (Steady::now() < end)
            turn();
    }

    // Grows the desktop to `count` clients.
    bool grow(int count)
    {
        static const char* const programs[] = {"xterm", "xclock", "xeyes"};
        for (; clients < count; ++clients)
            session.launch({programs[clients % 3]});
        const bool all = test::waitFor([&] { return int(session.clientList().size()) >= count; }, 90s,
                                       [&] { turn(); });
        settle(500ms);
        return all;
    }

    void typeHotKey()
    {
        session.key(code(59), true);   // control
        session.key(code(58), true);   // option
        session.key(code(49), true);
        session.key(code(49), false);
        session.key(code(58), false);
        session.key(code(59), false);
    }
};

World* world() { return sharedWorld<World>(); }

// The world grown to the benchmark's number of clients; none (and the
// benchmark skipped) without an X session.
World* grown(benchmark::State& state)
{
    World* w = world();
    if (!w) {
        state.SkipWithError("no X session");
        return nullptr;
    }
    if (!w->grow(int(state.range(0)))) {
        state.SkipWithError("the clients did not come up");
        return nullptr;
    }
    return w;
}

void BM_X11OverviewLatency(benchmark::State& state)
{
    World* w = grown(state);
    if (!w)
        return;
    OverviewController& overview = w->panels->overview();
    ScreenWatch screen(w->session.display());
    OutsideView outside(w->session.display());
    Samples toScreen, toScreenAfterLook, toScreenAfterSearch, toPaint, toLastPicture, toAllPictures, letterToRepaint, letterToDamage, framesAfterLetter, pictures, toHandler, inHandler,
        handlerToPaintBegun;
    // The panel exists from an earlier opening, as it does after the first.
    w->typeHotKey();
    w->until([&] { return overview.isOpen(); });
    w->settle(300ms);
    overview.hide();
    w->settle(100ms);

    // Every picture's arrival, and those of cards in view.
    std::vector<Steady::time_point> arrivals, inView;
    const Handle listening = overview.model().changed.connect([&](OverviewModel::Property p) {
        if (p != OverviewModel::Property::thumbnails || !overview.model().changedThumbnail())
            return;
        const auto now = Steady::now();
        arrivals.push_back(now);
        const auto& results = overview.model().results();
        const auto at = std::find_if(results.begin(), results.end(), [&](const WindowEntry& e) {
            return e.id == *overview.model().changedThumbnail();
        });
        auto* panel = static_cast<OverviewKeyPanel*>(overview.panel());
        const auto [first, last] = panel->view().grid()->builtRange();
        const int index = int(at - results.begin());
        if (index >= first && index < last)
            inView.push_back(now);
    });
    const std::uint8_t letter = w->code(14);   // e: xterm and xeyes, not xclock: cards go and move
    const std::uint8_t control = w->code(59), option = w->code(58), space = w->code(49);
    // Every other opening is closed after a look, the others after a search:
    // the next opening finds its panel as either left it.
    bool searched = false;
    int iteration = 0;
    for (auto _ : state) {
        const bool search = iteration++ % 2 == 0;
        w->paints.clear();
        arrivals.clear();
        inView.clear();
        // The user types on a thread of its own while Qt's loop runs here,
        // as the program's does: nothing waits on a poll.
        Steady::time_point keyAt, letterAt;
        std::size_t paintsBeforeLetter = 0;
        w->play([&] {
            keyAt = Steady::now();
            w->session.key(control, true);
            w->session.key(option, true);
            w->session.key(space, true);
            w->session.key(space, false);
            w->session.key(option, false);
            w->session.key(control, false);
            std::this_thread::sleep_for(900ms);
        });
        if (auto p = PaintClock::firstAfter(w->paints.viewPaints, keyAt))
            toPaint.add(ms(*p - keyAt));
        if (auto shown = screen.shownAfter(keyAt)) {
            toScreen.add(ms(*shown - keyAt));
            (searched ? toScreenAfterSearch : toScreenAfterLook).add(ms(*shown - keyAt));
        }
        if (w->handlerStart > keyAt) {
            toHandler.add(ms(w->handlerStart - keyAt));
            inHandler.add(ms(w->handlerEnd - w->handlerStart));
            if (auto p = PaintClock::firstAfter(w->paints.viewPaintsBegun, w->handlerEnd))
                handlerToPaintBegun.add(ms(*p - w->handlerEnd));
        }
        pictures.add(double(overview.model().thumbnails().size()));
        if (!arrivals.empty())
            toAllPictures.add(ms(arrivals.back() - keyAt));
        if (!inView.empty()) {
            const auto p = PaintClock::firstAfter(w->paints.gridPaints, inView.back());
            toLastPicture.add(ms(p.value_or(inView.back()) - keyAt));
        }

        searched = search;
        if (search) {
            auto* shown = static_cast<OverviewKeyPanel*>(overview.panel());
            const auto panelWindow = std::uint32_t(shown->panel().winId());
            outside.watchDamage(panelWindow);
            outside.clear();
            paintsBeforeLetter = w->paints.gridPaints.size();
            w->play([&] {
                letterAt = Steady::now();
                w->session.key(letter, true);
                w->session.key(letter, false);
                std::this_thread::sleep_for(900ms);
            });
            if (auto p = PaintClock::firstAfter(w->paints.gridPaints, letterAt))
                letterToRepaint.add(ms(*p - letterAt));
            // As another client sees it: the key at the server to the first
            // drawing into the panel, in the server's time.
            if (const auto pressed = outside.last(OutsideView::Kind::keyDown, letter))
                if (const auto drawn = outside.firstFrom(OutsideView::Kind::damage, *pressed, panelWindow))
                    letterToDamage.add(double(*drawn - *pressed));
            framesAfterLetter.add(double(w->paints.gridPaints.size() - paintsBeforeLetter));
        }

        state.SetIterationTime(toPaint.values.empty() ? 1 : toPaint.values.back() / 1000);
        overview.hide();
        w->settle(150ms);
    }
    const auto report = [&](const char* name, const Samples& s) {
        state.counters[std::string(name) + "_med"] = s.median();
        state.counters[std::string(name) + "_max"] = s.worst();
    };
    report("keyToPaint", toPaint);
    report("keyToScreen", toScreen);
    report("keyToScreenAfterLook", toScreenAfterLook);
    report("keyToScreenAfterSearch", toScreenAfterSearch);
    report("keyToHandler", toHandler);
    report("inHandler", inHandler);
    report("handlerToPaintBegun", handlerToPaintBegun);
    report("keyToLastPicture", toLastPicture);
    report("keyToAllPictures", toAllPictures);
    report("letterToRepaint", letterToRepaint);
    report("letterToDamage", letterToDamage);
    state.counters["framesAfterLetter_med"] = framesAfterLetter.median();
    state.counters["pictures"] = pictures.median();
    state.counters["windows"] = double(overview.model().windows().size());
}
BENCHMARK(BM_X11OverviewLatency)->Arg(10)->Arg(40)->Arg(100)->Iterations(12)->UseManualTime()->Unit(
    benchmark::kMillisecond);

void BM_X11PanelsMemory(benchmark::State& state)
{
    World* w = grown(state);
    if (!w)
        return;
    PanelsWorld& panels = *w->panels;
    const test::MemoryUse start = test::memoryUse().value_or(test::MemoryUse{});
    const auto openings = [&](int count) {
        for (int i = 0; i < count; ++i) {
            panels.openSwitcher([&](auto done) { return w->until(done); });
            w->settle(100ms);
            panels.closeSwitcher();
            w->settle(100ms);
            panels.openOverview([&](auto done) { return w->until(done); });
            w->settle(100ms);
            panels.closeOverview();
            w->settle(100ms);
        }
    };
    test::MemoryUse after, again;
    for (auto _ : state) {
        openings(10);
        w->settle(1s);
        after = test::memoryUse().value_or(test::MemoryUse{});
        openings(10);
        w->settle(1s);
        again = test::memoryUse().value_or(test::MemoryUse{});
    }
    state.counters["rssStart"] = start.rss;
    state.counters["pssStart"] = start.pss;
    state.counters["rss"] = after.rss;
    state.counters["pss"] = after.pss;
    state.counters["rssAfter20"] = again.rss;
    state.counters["pssAfter20"] = again.pss;
    state.counters["windows"] = double(panels.overview().model().windows().size());
}
BENCHMARK(BM_X11PanelsMemory)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runBenchmarks<World>(argc, argv); }
