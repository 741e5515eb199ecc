// A pressed global shortcut through the delegate to the engine: the hot
// key's action, `run`, and a strip focus move that answers at once (the
// strip is empty), on the simulated desktop.

#include "shell/delegate_world.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kavelo;

void BM_CommandDispatch(benchmark::State& state)
{
    kavelo::testing::DelegateWorld world;
    world.sim.setTrusted(true);
    {
        UserDefaults store(world.home.paths().userDefaults);
        store.set("arrangeMode", Json("strip"));
    }
    AppDelegate& delegate = world.launch();
    const Shortcut key = delegate.preferences().key(Command::focusLeft);
    std::optional<std::uint32_t> id;
    for (const auto& hotKey : world.sim.registeredHotKeys())
        if (hotKey.keyCode == std::uint32_t(key.keyCode) && hotKey.modifiers == std::uint32_t(key.modifiers))
            id = hotKey.id;
    if (!id) {
        state.SkipWithError("the focus-left shortcut is not registered");
        return;
    }
    for (auto _ : state)
        delegate.hotKeys().pressed(*id);
}
BENCHMARK(BM_CommandDispatch);

} // namespace
