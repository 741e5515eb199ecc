// Dates: any text either is no date or is one that writes back as a text
// that reads as the same whole second; any time point writes as a date.

#include "core/date.h"
#include "fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>

using namespace kavelo;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string_view input = fuzz::text(data, size);
    if (const std::optional<Date> date = parseIsoDate(input)) {
        const std::string written = isoDate(*date);
        const std::optional<Date> again = parseIsoDate(written);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(epochSeconds(*again) == std::floor(epochSeconds(*date)));
        FUZZ_CHECK(isoDate(*again) == written);
    }
    if (size == sizeof(double)) {
        double seconds;
        std::memcpy(&seconds, data, sizeof seconds);
        FUZZ_CHECK(parseIsoDate(isoDate(dateFromEpochSeconds(seconds))).has_value());
    }
    return 0;
}
