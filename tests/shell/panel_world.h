#pragma once

// A menu panel's surroundings: settings on the simulated desktop, a real
// (unstarted) arrange engine, and a panel value whose actions are counted.

#include "app/engine/arrange_engine.h"
#include "app/shell/menu_panel.h"
#include "services/desktop_fixture.h"
#include "shell/delegate_world.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kavelo::testing {

struct PanelWorld : SimWorld {
    PanelWorld() : working(sim.workspace()), engine(desktop, working, toast, panels) {}

    // A panel over `workflows`, every action counted under its name.
    MenuPanel panel(std::vector<Workspace> workflows = {}, bool needsSetup = false, bool canUpdate = false,
                    std::optional<MenuPanel::AppToggle> frontApp = std::nullopt)
    {
        const auto count = [this](const char* name) { return [this, name] { ++calls[name]; }; };
        return MenuPanel{
            .workflows = std::move(workflows),
            .arrange = engine,
            .frontApp = std::move(frontApp),
            .needsSetup = needsSetup,
            .canUpdate = canUpdate,
            .find = count("find"),
            .tidy = count("tidy"),
            .saveWorkflow = count("saveWorkflow"),
            .deleteWorkflow = [this](const std::string& name) { deleted.push_back(name); },
            .switchWorkflow = [this](const std::string& name) { switched.push_back(name); },
            .settings = count("settings"),
            .arrangeSettings = count("arrangeSettings"),
            .setup = count("setup"),
            .update = count("update"),
            .quit = count("quit"),
            .preferences = prefs,
        };
    }

    static Workspace workflow(std::string name, std::optional<int> slot = std::nullopt)
    {
        return Workspace{.name = std::move(name), .displays = "d", .slot = slot};
    }
    static std::vector<Workspace> workflows(int n)
    {
        std::vector<Workspace> out;
        for (int i = 1; i <= n; ++i)
            out.push_back(workflow("Flow " + std::to_string(i), i <= 9 ? std::optional(i) : std::nullopt));
        return out;
    }

    // The name of the display the pointer is on.
    std::string screen() { return screenUnderPointer(sim.displays(), sim.mouse()); }

    WorkingApp working;
    RecordingToast toast;
    SilentEnginePanels panels;
    ArrangeEngine engine;
    std::map<std::string, int> calls;
    std::vector<std::string> deleted;
    std::vector<std::string> switched;
};

} // namespace kavelo::testing
