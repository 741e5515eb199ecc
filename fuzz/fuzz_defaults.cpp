// The defaults file: whatever it holds, the settings read without failing,
// the first change writes a file that reads back as what is in memory, and
// nothing the file held is lost (it is kept or set aside whole).

#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "fuzz/fuzz_support.h"

#include <fstream>

using namespace kavelo;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    static SimDesktop sim;
    fuzz::clearScratch();
    const std::filesystem::path file = fuzz::scratch() / "defaults.json";
    const std::string original(reinterpret_cast<const char*>(data), size);
    std::ofstream(file, std::ios::binary) << original;

    UserDefaults store(file);
    Preferences prefs(store, sim.loginItem(), [](int fingers) { return fingers == 3; });
    (void)prefs.plan("Built-in Display");
    for (Command c : allCommands) {
        (void)prefs.key(c);
        (void)prefs.clash(c);
    }

    const int gap = prefs.windowGap();
    prefs.setMaxTiles(3);
    FUZZ_CHECK(!store.lastWriteError());
    FUZZ_CHECK(prefs.windowGap() == gap);
    if (store.movedAside())
        FUZZ_CHECK(readFile(*store.movedAside()) == original);

    UserDefaults reread(file);
    FUZZ_CHECK(!reread.movedAside());
    FUZZ_CHECK(reread.integer("maxTiles") == 3);
    Preferences again(reread, sim.loginItem(), [](int fingers) { return fingers == 3; });
    FUZZ_CHECK(again.windowGap() == gap);
    FUZZ_CHECK(again.gridPlans() == prefs.gridPlans());
    FUZZ_CHECK(again.bindings() == prefs.bindings());
    FUZZ_CHECK(again.extraBindings() == prefs.extraBindings());
    FUZZ_CHECK(again.shortcut() == prefs.shortcut());
    FUZZ_CHECK(again.highlightColor() == prefs.highlightColor());
    FUZZ_CHECK(again.minimumSizes() == prefs.minimumSizes());
    return 0;
}
