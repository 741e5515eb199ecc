// The strips file: layout key to strip memory. Each record either fails to
// decode or writes back as itself and rebuilds a sane strip from any live
// windows.

#include "core/strip_memory.h"
#include "fuzz/fuzz_support.h"

#include <set>

using namespace kavelo;

namespace {

void checkRecord(const StripMemory& memory)
{
    const std::optional<Json> again = json::parse(memory.toJson().dump());
    FUZZ_CHECK(again && StripMemory::fromJson(*again) == memory);

    // The live windows: every saved one, with every other one renumbered, so
    // all three matching passes have work. Live identities are unique.
    std::vector<StripMemoryWindow> live;
    std::set<WindowID> used;
    WindowID next = 1;
    for (const auto& column : memory.columns)
        for (const auto& w : column.windows) {
            StripMemoryWindow now = w;
            if (next % 2 == 0 || used.count(now.id))
                for (now.id = 0x7000'0000u + next; used.count(now.id);)
                    ++now.id;
            if (next % 3 == 0)
                now.title += "*";
            used.insert(now.id);
            live.push_back(now);
            ++next;
        }
    const Strip strip(memory, live);
    std::set<WindowID> seen;
    for (const Strip::Column& c : strip.columns) {
        FUZZ_CHECK(!c.ids.empty());
        FUZZ_CHECK(c.width >= Strip::minWidth && c.width <= Strip::maxWidth);
        for (WindowID id : c.ids)
            FUZZ_CHECK(seen.insert(id).second);
        for (const auto& [id, weight] : c.weights)
            FUZZ_CHECK(weight >= Strip::minWeight && weight <= Strip::maxWeight);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::optional<Json> file = json::parse(fuzz::text(data, size));
    if (!file)
        return 0;
    if (file->is_object()) {
        for (const auto& [key, record] : file->items())
            if (const std::optional<StripMemory> memory = StripMemory::fromJson(record))
                checkRecord(*memory);
    } else if (const std::optional<StripMemory> memory = StripMemory::fromJson(*file)) {
        checkRecord(*memory);
    }
    return 0;
}
