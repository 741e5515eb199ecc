// One workflow file: it either is no workflow or one that writes back as a
// file that reads as the same workflow (to the whole second).

#include "core/workspace.h"
#include "fuzz/fuzz_support.h"

#include <cmath>

using namespace kavelo;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::optional<Workspace> workspace = decodeWorkspace(fuzz::text(data, size));
    if (!workspace)
        return 0;
    (void)workspace->apps();
    const std::string written = toJSON(*workspace).dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
    const std::optional<Workspace> again = decodeWorkspace(written);
    FUZZ_CHECK(again.has_value());
    Workspace expected = *workspace;
    expected.savedAt = dateFromEpochSeconds(std::floor(epochSeconds(workspace->savedAt)));
    FUZZ_CHECK(*again == expected);
    return 0;
}
