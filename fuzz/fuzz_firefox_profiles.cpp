// Firefox's profiles.ini: any text lists each profile folder once, at most
// one per section read, never a crash or a hang.

#include "app/services/firefox_profiles.h"
#include "fuzz/fuzz_support.h"

#include <set>

using namespace kavelo;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const auto listed = FirefoxProfiles::parse(fuzz::text(data, size), "/base");
    const std::set<std::filesystem::path> all(listed.all.begin(), listed.all.end());
    const std::set<std::filesystem::path> defaults(listed.defaults.begin(), listed.defaults.end());
    FUZZ_CHECK(all.size() == listed.all.size());
    FUZZ_CHECK(defaults.size() == listed.defaults.size());
    FUZZ_CHECK(listed.all.size() <= FirefoxProfiles::mostSections);
    return 0;
}
