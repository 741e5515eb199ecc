// Long random sequences of openings, keys, clicks, closed windows, display
// changes, refused keyboard holds, late pictures and time, with the
// controller's state checked after every step: the panel shows, holds the
// keyboard and listens exactly while the overview is open.

#include "overview_fixture.h"

#include "app/platform/sim/sim_desktop.h"

#include <rapidcheck/gtest.h>

namespace kavelo::testing {
namespace {

const std::vector<std::uint16_t> keys{0, 18, 19, 20, 21, 36, 48, 51, 53, 76, 123, 124, 125, 126};
const std::vector<std::uint64_t> flagSets{0, EventFlag::command, EventFlag::shift, EventFlag::command | EventFlag::shift};

RC_GTEST_PROP(OverviewControllerProperty, ShowsHoldsAndListensExactlyWhileOpen, ())
{
    OverviewWorld world;
    SimDesktop& sim = world.sim;
    // Each load: the windows asked for and where their pictures go.
    std::vector<std::pair<std::vector<WindowID>, Thumbnails::ImageHandler>> handlers;
    world.controller.loadThumbnails = [&](const Desktop&, std::vector<Thumbnails::Request> requests, double,
                                          Thumbnails::ImageHandler h) {
        std::vector<WindowID> ids;
        for (const auto& r : requests)
            ids.push_back(r.id);
        handlers.emplace_back(std::move(ids), std::move(h));
        return std::unique_ptr<Thumbnails::Task>();
    };
    std::vector<WindowID> windows;
    for (int i = 0; i < 8; ++i)
        windows.push_back(world.add("App" + std::to_string(i % 3), "Window " + std::to_string(i), [&](SimWindow& w) {
            w.minimized = i % 5 == 4;
        }));
    std::optional<std::uint32_t> side;
    int refusals = 0;

    const int steps = *rc::gen::inRange(1, 120);
    for (int step = 0; step < steps; ++step) {
        switch (*rc::gen::inRange(0, 10)) {
        case 0: world.controller.show(); break;
        case 1: world.controller.hide(); break;
        case 2:
            if (world.panel)
                world.panel->press(*rc::gen::elementOf(keys), *rc::gen::elementOf(flagSets));
            break;
        case 3:
            sim.movePointer(Point(*rc::gen::inRange(-100, 3500), *rc::gen::inRange(-100, 1200)));
            sim.pressButton(*rc::gen::inRange(0, 2));
            sim.releaseButton(0);
            sim.releaseButton(1);
            break;
        case 4:
            if (!windows.empty()) {
                const std::size_t k = *rc::gen::inRange<std::size_t>(0, windows.size());
                sim.closeWindow(windows[k]);
                windows.erase(windows.begin() + std::ptrdiff_t(k));
            }
            break;
        case 5:
            if (side) {
                sim.removeDisplay(*side);
                side.reset();
            } else {
                side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
            }
            break;
        case 6: world.scheduler.advance(*rc::gen::inRange(0, 300) / 1000.0); break;
        case 7:
            refusals = *rc::gen::inRange(-1, 15);
            if (world.panel)
                world.panel->refusals = refusals;
            break;
        case 8:
            if (!handlers.empty()) {
                const auto& [ids, deliver] = handlers[*rc::gen::inRange<std::size_t>(0, handlers.size())];
                if (!ids.empty())
                    deliver(*rc::gen::elementOf(ids), Image{.width = 1, .height = 1, .rgba = {0, 0, 0, 255}});
            }
            break;
        default:
            world.controller.model().setQuery(*rc::gen::element<std::string>("", "win", "app1", "zz", "w 3"));
            break;
        }

        const bool open = world.controller.isOpen();
        RC_ASSERT(!(open && world.controller.isWaitingForKeyboard()));
        RC_ASSERT(world.mouse.live == (open ? 1 : 0));
        if (world.panel) {
            RC_ASSERT(world.panel->visible == open);
            RC_ASSERT(world.panel->holding == open);
            RC_ASSERT(world.panel->liveMonitors == (open ? 1 : 0));
        } else {
            RC_ASSERT(!open);
        }
        if (open) {
            const auto id = world.controller.displayID();
            const auto screens = sim.displayList();
            RC_ASSERT(std::any_of(screens.begin(), screens.end(), [&](const SimDisplay& d) { return d.id == *id; }));
        }
        // Pictures only ever of the windows of the current opening.
        const auto& model = world.controller.model();
        for (const auto& [id, image] : model.thumbnails())
            RC_ASSERT(std::any_of(model.windows().begin(), model.windows().end(),
                                  [id = id](const WindowEntry& w) { return w.id == id; }));
    }
}

} // namespace
} // namespace kavelo::testing
