// Firefox's session file: any bytes either fail with a reason or decode to
// no more than the bound and parse to tabs, never a crash or a hang. Bytes
// that are no mozLz4 file are packed as one first, so the session parser
// sees them too, and must come back unchanged.

#include "app/services/firefox_session.h"
#include "app/services/moz_lz4.h"
#include "fuzz/fuzz_support.h"

using namespace kavelo;

namespace {

void parse(std::string_view text)
{
    std::string problem;
    const auto windows = FirefoxSession::parse(text, &problem);
    FUZZ_CHECK(windows.has_value() != !problem.empty());
    if (windows)
        (void)FirefoxSession::addresses(*windows);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string_view bytes = fuzz::text(data, size);
    std::string problem;
    if (bytes.starts_with(MozLz4::magic)) {
        const auto text = MozLz4::decode(bytes, &problem);
        FUZZ_CHECK(text.has_value() != !problem.empty());
        if (text) {
            FUZZ_CHECK(text->size() <= MozLz4::largestText);
            parse(*text);
        }
        return 0;
    }
    const auto text = MozLz4::decode(MozLz4::encode(bytes), &problem);
    FUZZ_CHECK(text && *text == bytes);
    parse(bytes);
    return 0;
}
