// Shortcuts: a stored shortcut or list of them either fails to decode or
// writes back as itself, and its label and usability never fail.

#include "core/shortcut.h"
#include "fuzz/fuzz_support.h"

using namespace kavelo;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::optional<Json> j = json::parse(fuzz::text(data, size));
    if (!j)
        return 0;
    if (const auto one = json::decode([&] { return json::shortcut(*j); })) {
        (void)one->label();
        (void)one->isUsable();
        const std::optional<Json> again = json::parse(json::encode(*one).dump());
        FUZZ_CHECK(again && json::decode([&] { return json::shortcut(*again); }) == one);
    }
    if (const auto list = json::decode([&] { return json::shortcuts(*j); })) {
        for (const Shortcut& s : *list)
            (void)s.label();
        const std::optional<Json> again = json::parse(json::encode(*list).dump());
        FUZZ_CHECK(again && json::decode([&] { return json::shortcuts(*again); }) == list);
    }
    return 0;
}
