#pragma once

// The overview controller on the simulated desktop with a hand-driven
// scheduler and a panel that records what it is asked to do.

#include "app/switcher/overview_controller.h"
#include "services/desktop_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kavelo::testing {

class RecordingOverviewPanel : public OverviewPanel {
public:
    // Holds refused before one is granted; negative: refused for good.
    int refusals = 0;
    int holdAsks = 0;
    bool holding = false;
    bool visible = false;
    int presents = 0;
    int orderOuts = 0;
    Rect frame;
    std::vector<double> opacities;   // every opacity set, the present's first
    int liveMonitors = 0;
    int monitorsMade = 0;
    KeyHandler keys;

    bool holdKeyboard() override
    {
        ++holdAsks;
        if (holding)
            return true;
        if (refusals != 0) {
            if (refusals > 0)
                --refusals;
            return false;
        }
        holding = true;
        return true;
    }
    void releaseKeyboard() override { holding = false; }
    void present(const Rect& f, double opacity) override
    {
        ++presents;
        frame = f;
        visible = true;
        opacities.push_back(opacity);
    }
    void setOpacity(double opacity) override { opacities.push_back(opacity); }
    void orderOut() override
    {
        ++orderOuts;
        visible = false;
    }
    bool isVisible() const override { return visible; }
    Handle monitorKeys(KeyHandler handler) override
    {
        keys = std::move(handler);
        ++liveMonitors;
        ++monitorsMade;
        return Handle::withCancel([this] {
            --liveMonitors;
            keys = nullptr;
        });
    }

    // A key press as the panel would report it; false when not taken (or
    // no monitor listens).
    bool press(std::uint16_t keyCode, std::uint64_t flags = 0)
    {
        const KeyHandler handler = keys;
        return handler ? handler(keyCode, flags) : false;
    }
};

// Counts the global mouse monitors alive.
class CountingMouse : public Mouse {
public:
    explicit CountingMouse(Mouse& inner) : inner_(inner) {}
    int live = 0;
    Handle monitor(std::uint32_t mask, std::function<void(const MouseEvent&)> handler) override
    {
        ++live;
        auto inner = std::make_shared<Handle>(inner_.monitor(mask, std::move(handler)));
        return Handle::withCancel([this, inner] {
            --live;
            inner->cancel();
        });
    }
    Point location() const override { return inner_.location(); }
    std::uint32_t pressedButtons() const override { return inner_.pressedButtons(); }
    void warp(Point topLeft) override { inner_.warp(topLeft); }
    std::uint64_t modifierFlags(ModifierSource source) const override { return inner_.modifierFlags(source); }

private:
    Mouse& inner_;
};

inline Platform withMouse(const Platform& p, Mouse& mouse)
{
    return Platform{.accessibility = p.accessibility,
                    .windowServer = p.windowServer,
                    .workspace = p.workspace,
                    .displays = p.displays,
                    .hotKeys = p.hotKeys,
                    .eventTap = p.eventTap,
                    .mouse = mouse,
                    .keyboard = p.keyboard,
                    .multitouch = p.multitouch,
                    .capture = p.capture,
                    .loginItem = p.loginItem,
                    .browsers = p.browsers,
                    .appInfo = p.appInfo,
                    .scheduler = p.scheduler,
                    .clock = p.clock};
}

struct OverviewWorld : SimWorld {
    OverviewWorld()
        : mouse(sim.mouse()), overviewDesktop{withMouse(desktop.platform, mouse), prefs},
          controller(overviewDesktop, [this](OverviewController&) {
              auto made = std::make_unique<RecordingOverviewPanel>();
              panel = made.get();
              return made;
          })
    {
        controller.log = [this](const std::string& line) { logged.push_back(line); };
    }

    // One application per name, made on first use.
    std::int32_t appNamed(const std::string& name)
    {
        for (const auto& [n, pid] : apps)
            if (n == name)
                return pid;
        const std::int32_t pid = app("com.example." + name, name);
        apps.emplace_back(name, pid);
        return pid;
    }

    WindowID add(const std::string& appName, const std::string& title, std::function<void(SimWindow&)> more = {})
    {
        const double n = double(++added);
        return window(appNamed(appName), title, Rect(40 + 10 * n, 60 + 10 * n, 500, 300), std::move(more));
    }

    std::uint32_t primary() const { return sim.displayList().front().id; }

    // The ids of the model's results, for comparisons.
    std::vector<WindowID> resultIDs() const
    {
        std::vector<WindowID> out;
        for (const auto& w : controller.model().results())
            out.push_back(w.id);
        return out;
    }

    CountingMouse mouse;
    Desktop overviewDesktop;
    RecordingOverviewPanel* panel = nullptr;
    OverviewController controller;
    std::vector<std::string> logged;
    std::vector<std::pair<std::string, std::int32_t>> apps;
    int added = 0;
};

} // namespace kavelo::testing
