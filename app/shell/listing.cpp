#include "app/shell/listing.h"

#include "app/services/window_catalog.h"
#include "core/text.h"

#include <algorithm>

namespace kavelo::Listing {

std::string text(const Facts& facts)
{
    const auto word = [](bool b) { return b ? "true" : "false"; };
    std::string out = std::string("accessibility=") + word(facts.accessibility) +
                      " screenRecording=" + word(facts.screenRecording) +
                      " windows=" + std::to_string(facts.windows.size()) + "\n";
    out += "displays=" + facts.displays + "\n";
    const std::size_t shown = std::min(facts.windows.size(), windowLines);
    for (std::size_t i = 0; i < shown; ++i)
        out += std::string(rawValue(facts.windows[i].state)) + " " + text::printable(facts.windows[i].appName) + "\n";
    return out;
}

Facts read(const Desktop& desktop, std::string displays)
{
    return Facts{.accessibility = desktop.platform.accessibility.isTrusted(),
                 .screenRecording = desktop.platform.capture.isAllowed(),
                 .displays = std::move(displays),
                 .windows = WindowCatalog::read(desktop).windows};
}

} // namespace kavelo::Listing
