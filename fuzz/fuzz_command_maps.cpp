// Command maps (bindings and extra bindings): a stored map either fails to
// decode or writes back as a map that decodes to itself.

#include "core/command.h"
#include "core/shortcut.h"
#include "fuzz/fuzz_support.h"

using namespace kavelo;

namespace {

template <class Decode>
void roundTrip(const Json& j, Decode decodeValue)
{
    const auto map = json::decode([&] { return json::commandMap(j, decodeValue); });
    if (!map)
        return;
    for (const auto& [command, value] : *map) {
        FUZZ_CHECK(Command_from(rawValue(command)) == command);
        (void)title(command);
        (void)scope(command);
    }
    const std::optional<Json> again = json::parse(json::encodeCommandMap(*map).dump());
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(json::decode([&] { return json::commandMap(*again, decodeValue); }) == map);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::optional<Json> j = json::parse(fuzz::text(data, size));
    if (!j)
        return 0;
    roundTrip(*j, json::shortcut);
    roundTrip(*j, json::shortcuts);
    return 0;
}
