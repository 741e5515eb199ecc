// Raw enumeration texts: a text names a case exactly or none at all.

#include "app/platform/app_services.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/platform/system_workspace.h"
#include "app/services/preferences.h"
#include "core/arrange_mode.h"
#include "core/command.h"
#include "core/snap.h"
#include "core/strip.h"
#include "core/tidy_layout.h"
#include "core/window_entry.h"
#include "core/window_scope.h"
#include "fuzz/fuzz_support.h"

using namespace kavelo;

namespace {

template <class From>
void check(std::string_view raw, From from)
{
    if (const auto value = from(raw))
        FUZZ_CHECK(rawValue(*value) == raw);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string_view raw = fuzz::text(data, size);
    check(raw, Snap_from);
    check(raw, Strip::Pin_from);
    check(raw, Strip::CenterMode_from);
    check(raw, WindowState_from);
    check(raw, Command_from);
    check(raw, CommandScope_from);
    check(raw, TidyLayout_from);
    check(raw, ArrangeMode_from);
    check(raw, WindowScope_from);
    check(raw, LoginItemStatus_from);
    check(raw, DockEdge_from);
    check(raw, ActivationPolicy_from);
    check(raw, WindowHighlight_from);
    return 0;
}
