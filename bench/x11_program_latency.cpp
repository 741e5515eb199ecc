// The real `kavelo` as another client sees it, by hand (not in CI): Xvfb
// 1920 × 1080 with openbox (its keys left free), N real clients (xterm,
// xclock and xeyes in turn) and the built program with private folders,
// typed at through XTest as a person types. A second connection times, in
// the server's milliseconds, a key at the server to what the program then
// does on the server:
//   letterToDamage: a letter typed into the open overview ("c": the xclocks
//                   alone, so that the cards in view change) to the first
//                   drawing into its panel (DAMAGE); letterToCards: to the
//                   first drawing below the search bar, the cards;
//   quickToActive:  Alt let go after a quick Alt-Tab to the active window
//                   changed (quickToRaised: to the stacking changed).
// Medians and worst of the iterations, in milliseconds; the iteration time
// is the letter's.

#include "app/platform/x11/x11_desktop.h"
#include "app/shell/single_instance.h"
#include "outside_view.h"
#include "samples.h"
#include "services/temp_home.h"
#include "support/person_keys.h"
#include "support/running_kavelo.h"
#include "support/x11_session.h"

#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kavelo;
using namespace kavelo::bench;
using namespace std::chrono_literals;

// The program on a session grown to a number of clients.
struct Program {
    test::X11Session session;
    std::unique_ptr<test::TempHome> home;
    std::unique_ptr<X11Desktop> x11;
    pid_t pid = -1;
    int clients = 0;

    bool start()
    {
        std::string error;
        if (!session.start({}, &error, test::WindowManager::openboxKeysFree))
            return false;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        home = std::make_unique<test::TempHome>();
        const auto runtime = test::privateRuntime(*home);
        test::writeDefaults(*home, R"({"welcomed": true})");
        x11 = X11Desktop::connect(session.display(), &error);
        if (!x11)
            return false;
        const char* binary = std::getenv("KAVELO_BENCH_BINARY");
        pid = session.launch({binary && *binary ? binary : KAVELO_BINARY});
        const auto socket = runtime / "kavelo" / (InstancePaths::fileName(session.display()) + ".socket");
        return test::waitFor([&] { return test::listens(socket); }, 20s);
    }
    ~Program()
    {
        if (pid > 0)
            session.terminate(pid);
    }

    bool grow(int count)
    {
        static const char* const programs[] = {"xterm", "xclock", "xeyes"};
        for (; clients < count; ++clients)
            session.launch({programs[clients % 3]});
        const bool all = test::waitFor([&] { return int(session.clientList().size()) >= count; }, 90s);
        std::this_thread::sleep_for(1s);
        return all;
    }

    std::uint8_t code(std::uint16_t classic) { return x11->serverKeyCode(classic).value(); }

    // The program's full-screen window shown on the screen: the overview.
    std::optional<xcb_window_t> overview()
    {
        xcb_connection_t* c = session.connection();
        const xcb_atom_t pidAtom = session.atom("_NET_WM_PID");
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, session.root()), nullptr);
        if (!tree)
            return std::nullopt;
        std::vector<xcb_window_t> children(xcb_query_tree_children(tree),
                                           xcb_query_tree_children(tree) + xcb_query_tree_children_length(tree));
        std::free(tree);
        for (xcb_window_t w : children) {
            auto* owner =
                xcb_get_property_reply(c, xcb_get_property(c, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
            const bool ours = owner && xcb_get_property_value_length(owner) == 4 &&
                              *static_cast<const std::uint32_t*>(xcb_get_property_value(owner)) == std::uint32_t(pid);
            std::free(owner);
            if (!ours)
                continue;
            auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
            const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            std::free(attributes);
            const auto area = session.clientArea(w);
            if (viewable && area && area->origin == Point(0, 0) && area->width() >= 1920 && area->height() >= 1080)
                return w;
        }
        return std::nullopt;
    }
};

Program* program()
{
    static std::unique_ptr<Program> made = [] {
        auto p = std::make_unique<Program>();
        return p->start() ? std::move(p) : nullptr;
    }();
    return made.get();
}

void BM_X11ProgramLatency(benchmark::State& state)
{
    Program* p = program();
    if (!p) {
        state.SkipWithError("kavelo did not start on an X session");
        return;
    }
    if (!p->grow(int(state.range(0)))) {
        state.SkipWithError("the clients did not come up");
        return;
    }
    OutsideView outside(p->session.display());
    test::Typist hand(p->session);
    const std::uint8_t control = p->code(59), alt = p->code(58), space = p->code(49), tab = p->code(48),
                       escape = p->code(53), letter = p->code(8);
    Samples letterToDamage, letterToCards, quickToActive, quickToRaised;
    for (auto _ : state) {
        // The overview open and settled, then a letter.
        hand.chord({control, alt}, space);
        std::optional<xcb_window_t> panel;
        test::waitFor([&] { return (panel = p->overview()).has_value(); }, 3s);
        if (!panel) {
            state.SkipWithError("the overview did not open");
            return;
        }
        outside.watchDamage(*panel);
        std::this_thread::sleep_for(900ms);
        outside.clear();
        hand.stroke(letter);
        std::this_thread::sleep_for(400ms);
        const auto pressed = outside.last(OutsideView::Kind::keyDown, letter);
        const auto drawn = pressed ? outside.firstFrom(OutsideView::Kind::damage, *pressed, *panel) : std::nullopt;
        letterToDamage.add(pressed, drawn);
        // The cards stand below the bar, which ends 150 pixels down.
        letterToCards.add(pressed,
                          pressed ? outside.firstFrom(OutsideView::Kind::damage, *pressed, *panel, 150) : std::nullopt);
        state.SetIterationTime(pressed && drawn ? double(*drawn - *pressed) / 1000 : 1);
        hand.stroke(escape);
        test::waitFor([&] { return !p->overview(); }, 3s);
        std::this_thread::sleep_for(300ms);

        // A quick Alt-Tab.
        outside.clear();
        hand.down(alt);
        hand.pause();
        hand.stroke(tab);
        hand.up(alt);
        std::this_thread::sleep_for(500ms);
        const auto released = outside.last(OutsideView::Kind::keyUp, alt);
        quickToActive.add(released, released ? outside.firstFrom(OutsideView::Kind::active, *released) : std::nullopt);
        quickToRaised.add(released, released ? outside.firstFrom(OutsideView::Kind::raised, *released) : std::nullopt);
        std::this_thread::sleep_for(300ms);
    }
    state.counters["letterToDamage_med"] = letterToDamage.median();
    state.counters["letterToDamage_max"] = letterToDamage.worst();
    state.counters["letterToCards_med"] = letterToCards.median();
    state.counters["letterToCards_max"] = letterToCards.worst();
    state.counters["quickToActive_med"] = quickToActive.median();
    state.counters["quickToActive_max"] = quickToActive.worst();
    state.counters["quickToRaised_med"] = quickToRaised.median();
    state.counters["quickToRaised_max"] = quickToRaised.worst();
}
BENCHMARK(BM_X11ProgramLatency)->Arg(10)->Arg(100)->Iterations(12)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
