// Firefox's session file: any bytes either fail with a reason or decode to
// no more than the bound and parse to tabs, never a crash or a hang. Bytes
// that are no mozLz4 file are packed as one first, so the session parser
// sees them too, and must come back unchanged. The piecewise decoder agrees
// with the library's whole-block one wherever both take a file, and the
// session read piece by piece means what the whole text means.

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

// The text of a file through the piecewise decoder; empty when it fails.
std::string joined(std::string_view file)
{
    MozLz4::Stream stream(file, 4096);
    std::string out;
    for (auto piece = stream.next(); !piece.empty(); piece = stream.next())
        out += piece;
    FUZZ_CHECK(out.size() <= MozLz4::largestText);
    return stream.problem().empty() ? out : std::string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string_view bytes = fuzz::text(data, size);
    std::string problem;
    if (bytes.starts_with(MozLz4::magic)) {
        const auto text = MozLz4::decode(bytes, &problem);
        FUZZ_CHECK(text.has_value() != !problem.empty());
        const std::string pieces = joined(bytes);
        if (text) {
            FUZZ_CHECK(text->size() <= MozLz4::largestText);
            FUZZ_CHECK(pieces.empty() || pieces == *text);
            parse(*text);
        }
        return 0;
    }
    const std::string file = MozLz4::encode(bytes);
    const auto text = MozLz4::decode(file, &problem);
    FUZZ_CHECK(text && *text == bytes);
    FUZZ_CHECK(joined(file) == bytes);
    parse(bytes);
    // Split at every few bytes, the session reads as it does whole.
    FUZZ_CHECK(FirefoxSession::decode(file, nullptr, 1 + size % 7) == FirefoxSession::parse(bytes));
    return 0;
}
