// How fast the switcher answers on a real X server, by hand (not in CI).
//
// Xvfb with openbox (Alt-Tab left free) and N real clients; the switcher in
// this process with Qt on xcb, the production scheduler and the backend
// pumped from Qt's run loop. A second X connection on its own thread plays
// the user: it types through XTest as a person types (keys held 30 to
// 120 ms, pauses between events, each event synced on its own) and
// timestamps what the server reports of the panel (MapNotify,
// ConfigureNotify) and of the focus (_NET_ACTIVE_WINDOW). Paints are timed
// inside the process.
//
// Manual time is the held Alt-Tab from the Tab press to the panel's map
// (the 0.14 s delay included); the other figures are counters: medians
// and worst of the iterations, in milliseconds. `quickToFront` is the quick
// Alt-Tab from letting go of Alt to the previous window in front;
// `firstPaintPastDelay` the first session of the run (its panel not made
// before), once.

#include "app/services/mouse_button_trigger.h"
#include "app/services/window_catalog.h"
#include "app/switcher/switcher_controller.h"
#include "app/switcher/views/switcher_free_panel.h"
#include "support/person_keys.h"
#include "outside_view.h"
#include "x11_qt_world.h"

#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace kavelo;
using namespace kavelo::bench;
using namespace std::chrono_literals;

namespace {

// The user: types through XTest on its own connection and waits for what
// the server reports.
class User {
public:
    explicit User(const std::string& display) : random_(test::keySeed() + ++made_)
    {
        c_ = xcb_connect(display.c_str(), nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &events);
        active_ = intern("_NET_ACTIVE_WINDOW");
        stacking_ = intern("_NET_CLIENT_LIST_STACKING");
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~User() { xcb_disconnect(c_); }

    // One event on its own; when it left.
    Steady::time_point key(std::uint8_t code, bool press)
    {
        const auto at = Steady::now();
        xcb_test_fake_input(c_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c_);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        return at;
    }
    // A key held as a person holds it, then the pause before the next.
    Steady::time_point stroke(std::uint8_t code)
    {
        const auto at = key(code, true);
        std::this_thread::sleep_for(between(test::Typist::shortestHold, test::Typist::longestHold));
        key(code, false);
        pause();
        return at;
    }
    void pause() { std::this_thread::sleep_for(between(test::Typist::shortestPause, test::Typist::longestPause)); }

    struct Seen {
        Steady::time_point at;
        std::uint8_t type;
        xcb_window_t window;
        int width = 0, height = 0;
        bool active = false;
    };
    // Waits for a report that `match` accepts; none after `timeout`.
    std::optional<Seen> waitFor(const std::function<bool(const Seen&)>& match, Steady::duration timeout = 2s)
    {
        const auto deadline = Steady::now() + timeout;
        while (Steady::now() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
                const Seen seen = read(event);
                std::free(event);
                if (match(seen))
                    return seen;
            }
            std::this_thread::sleep_for(100us);
        }
        return std::nullopt;
    }
    void forget()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_))
            std::free(event);
    }
private:
    std::chrono::milliseconds between(std::chrono::milliseconds low, std::chrono::milliseconds high)
    {
        return std::chrono::milliseconds(std::uniform_int_distribution<long>(low.count(), high.count())(random_));
    }
    xcb_atom_t intern(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }

    Seen read(xcb_generic_event_t* event)
    {
        Seen seen{Steady::now(), std::uint8_t(event->response_type & 0x7F), XCB_NONE};
        switch (seen.type) {
        case XCB_MAP_NOTIFY: seen.window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window; break;
        case XCB_UNMAP_NOTIFY: seen.window = reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window; break;
        case XCB_CONFIGURE_NOTIFY: {
            const auto* e = reinterpret_cast<xcb_configure_notify_event_t*>(event);
            seen.window = e->window;
            seen.width = e->width;
            seen.height = e->height;
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<xcb_property_notify_event_t*>(event);
            // The focus or the stacking changed: a window came forward.
            seen.window = e->atom == active_ || e->atom == stacking_ ? e->window : XCB_NONE;
            seen.active = e->atom == active_;
            break;
        }
        default: break;
        }
        return seen;
    }

    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t active_ = XCB_NONE;
    xcb_atom_t stacking_ = XCB_NONE;
    std::mt19937 random_;
    static inline std::uint32_t made_ = 0;
};

// Paint times of the switcher's view, recorded on the main thread.
class PaintClock : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && dynamic_cast<SwitcherView*>(object)) {
            // The paint runs after this returns; the next turn of the loop
            // comes after the backing store went to the server.
            QTimer::singleShot(0, this, [this] {
                std::lock_guard lock(mutex);
                paints.push_back(Steady::now());
            });
        }
        return false;
    }
    // The first paint in [from, to).
    std::optional<Steady::time_point> firstBetween(Steady::time_point from, Steady::time_point to)
    {
        std::lock_guard lock(mutex);
        for (auto p : paints)
            if (p >= from && p < to)
                return p;
        return std::nullopt;
    }
    std::mutex mutex;
    std::vector<Steady::time_point> paints;
};

struct World : X11QtWorld {
    std::unique_ptr<PanelHost> host;
    std::unique_ptr<MouseButtonTrigger> trigger;
    std::unique_ptr<SwitcherController> controller;
    PaintClock paints;
    int clients = 0;

    bool start()
    {
        static char name[] = "x11_switcher_bench";
        if (!startQt(name, paints))
            return false;
        host = std::make_unique<PanelHost>(desktop->platform);
        trigger = std::make_unique<MouseButtonTrigger>(x11->eventTap(), scheduler, [] { return true; });
        controller = std::make_unique<SwitcherController>(*desktop, SwitcherFreePanel::factory(*host, x11->workspace()));
        trigger->onKey = [this](TapEventType type, const TapEvent& event) { return controller->handle(type, event); };
        controller->updateClaim();
        // As the program does once launched.
        controller->prepare();
        return trigger->start() && controller->claimed();
    }

    // Grows the desktop to `count` clients (xclock and xeyes in turn).
    bool grow(int count)
    {
        for (; clients < count; ++clients)
            session.launch({clients % 2 ? "xeyes" : "xclock"});
        return test::waitFor([&] { return int(session.clientList().size()) >= count; }, 60s,
                             [] { QCoreApplication::processEvents(); });
    }

    xcb_window_t panelWindow()
    {
        auto* panel = dynamic_cast<SwitcherFreePanel*>(controller->panel());
        return panel ? xcb_window_t(panel->panel().winId()) : XCB_NONE;
    }

    // Runs Qt's loop while `user` plays its part on another thread.
    void play(const std::function<void()>& user)
    {
        X11QtWorld::play(user);
        // Let whatever the last keys queued finish.
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(1ms);
        }
    }
};

World* world() { return sharedWorld<World>(); }

void BM_X11SwitcherLatency(benchmark::State& state)
{
    World* w = world();
    if (!w) {
        state.SkipWithError("no X session");
        return;
    }
    if (!w->grow(int(state.range(0)))) {
        state.SkipWithError("the clients did not come up");
        return;
    }
    const std::uint8_t alt = w->code(58), tab = w->code(48), letter = w->code(7), escape = w->code(53);
    Samples toMap, toPaint, mapToPaint, secondTabToMap, letterToResize, letterToPaint, nextLetterToPaint,
        releaseToRaise, releaseToFront, catalogRead;
    OutsideView outside(w->session.display());

    // The panel exists from an earlier session, as it does after the first;
    // the run's first session is timed on its own.
    static std::optional<double> firstPaint;
    static bool first = true;
    std::optional<Steady::time_point> firstTab;
    w->play([&] {
        User user(w->session.display());
        user.key(alt, true);
        user.pause();
        firstTab = user.stroke(tab);
        std::this_thread::sleep_for(300ms);
        user.stroke(escape);
        user.key(alt, false);
    });
    if (first && firstTab)
        if (auto p = w->paints.firstBetween(*firstTab, *firstTab + 1s))
            firstPaint = ms(*p - *firstTab) - 140;
    first = false;

    for (auto _ : state) {
        std::optional<Steady::time_point> tabAt, mapAt, letterAt, resizeAt, secondLetterAt, endAt;
        w->play([&] {
            User user(w->session.display());
            // Held: Tab to the map, the first paint, a letter to the resize.
            user.key(alt, true);
            user.pause();
            const xcb_window_t panel = w->panelWindow();
            tabAt = user.stroke(tab);
            if (auto seen = user.waitFor([&](const User::Seen& s) { return s.type == XCB_MAP_NOTIFY && s.window == panel; }))
                mapAt = seen->at;
            std::this_thread::sleep_for(50ms);
            user.forget();
            letterAt = user.key(letter, true);
            if (auto seen = user.waitFor([&](const User::Seen& s) {
                    return s.type == XCB_CONFIGURE_NOTIFY && s.window == panel && s.height == 268;
                }))
                resizeAt = seen->at;
            std::this_thread::sleep_for(30ms);
            user.key(letter, false);
            user.pause();
            // A second letter: the panel keeps its size.
            secondLetterAt = user.stroke(letter);
            std::this_thread::sleep_for(50ms);
            endAt = user.stroke(escape);
            user.key(alt, false);
            user.waitFor([&](const User::Seen& s) { return s.type == XCB_UNMAP_NOTIFY && s.window == panel; });
        });
        if (tabAt && mapAt) {
            toMap.add(ms(*mapAt - *tabAt));
            state.SetIterationTime(std::chrono::duration<double>(*mapAt - *tabAt).count());
        } else {
            state.SetIterationTime(1);
        }
        if (tabAt && mapAt && letterAt)
            if (auto p = w->paints.firstBetween(*mapAt - 5ms, *letterAt)) {
                toPaint.add(ms(*p - *tabAt) - 140);
                mapToPaint.add(ms(*p - *mapAt));
            }
        if (letterAt && resizeAt)
            letterToResize.add(ms(*resizeAt - *letterAt));
        if (letterAt && secondLetterAt)
            if (auto p = w->paints.firstBetween(*letterAt, *secondLetterAt))
                letterToPaint.add(ms(*p - *letterAt));
        if (secondLetterAt && endAt)
            if (auto p = w->paints.firstBetween(*secondLetterAt, *endAt))
                nextLetterToPaint.add(ms(*p - *secondLetterAt));

        // A second Tab before the delay: the panel at once.
        std::optional<Steady::time_point> secondAt, secondMapAt;
        w->play([&] {
            User user(w->session.display());
            const xcb_window_t panel = w->panelWindow();
            user.key(alt, true);
            user.pause();
            // The shortest hold, so that the second Tab comes within the delay.
            user.key(tab, true);
            std::this_thread::sleep_for(test::Typist::shortestHold);
            user.key(tab, false);
            std::this_thread::sleep_for(test::Typist::shortestPause);
            user.forget();
            secondAt = user.key(tab, true);
            if (auto seen = user.waitFor([&](const User::Seen& s) { return s.type == XCB_MAP_NOTIFY && s.window == panel; }))
                secondMapAt = seen->at;
            user.key(tab, false);
            user.pause();
            user.stroke(escape);
            user.key(alt, false);
            user.waitFor([&](const User::Seen& s) { return s.type == XCB_UNMAP_NOTIFY && s.window == panel; });
        });
        if (secondAt && secondMapAt)
            secondTabToMap.add(ms(*secondMapAt - *secondAt));

        // Quick: Alt, a held Tab, Alt let go: the previous window active.
        std::optional<Steady::time_point> releaseAt, raisedAt;
        outside.clear();
        w->play([&] {
            User user(w->session.display());
            user.key(alt, true);
            user.pause();
            user.stroke(tab);
            user.forget();
            releaseAt = user.key(alt, false);
            // xclock and xeyes take no focus: they come to the front.
            if (auto seen = user.waitFor([&](const User::Seen& s) { return s.type == XCB_PROPERTY_NOTIFY && s.window != XCB_NONE; }))
                raisedAt = seen->at;
        });
        if (releaseAt && raisedAt)
            releaseToRaise.add(ms(*raisedAt - *releaseAt));
        // As another client sees it, in the server's time.
        if (const auto released = outside.last(OutsideView::Kind::keyUp, alt))
            // xclock and xeyes take no focus: the stacking tells.
            if (const auto front = outside.firstFrom(OutsideView::Kind::raised, *released))
                releaseToFront.add(double(*front - *released));
    }
    const auto report = [&](const char* name, const Samples& s) {
        state.counters[std::string(name) + "_med"] = s.median();
        state.counters[std::string(name) + "_max"] = s.worst();
    };
    report("tabToMap", toMap);
    report("paintPastDelay", toPaint);
    report("mapToPaint", mapToPaint);
    report("secondTabToMap", secondTabToMap);
    report("letterToResize", letterToResize);
    report("letterToPaint", letterToPaint);
    report("nextLetterToPaint", nextLetterToPaint);
    report("quickToFront", releaseToRaise);
    report("quickToFrontAtServer", releaseToFront);
    if (firstPaint)
        state.counters["firstPaintPastDelay"] = *firstPaint;
    // What every session starts with, on the main thread, before anything else.
    for (int i = 0; i < 5; ++i) {
        const auto start = Steady::now();
        benchmark::DoNotOptimize(WindowCatalog::read(*w->desktop));
        catalogRead.add(ms(Steady::now() - start));
    }
    report("catalogRead", catalogRead);
    state.counters["windows"] = double(w->controller->model().session().windows.size());
}

} // namespace

BENCHMARK(BM_X11SwitcherLatency)->Arg(10)->Arg(40)->Arg(100)->Iterations(20)->UseManualTime()->Unit(
    benchmark::kMillisecond);

int main(int argc, char** argv) { return runBenchmarks<World>(argc, argv); }
