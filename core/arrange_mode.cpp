#include "core/arrange_mode.h"
#include "core/raw_value.h"

namespace kavelo {

std::string_view rawValue(ArrangeMode mode)
{
    switch (mode) {
    case ArrangeMode::off: return "off";
    case ArrangeMode::auto_: return "auto";
    case ArrangeMode::strip: return "strip";
    }
    return "off";
}

std::optional<ArrangeMode> ArrangeMode_from(std::string_view raw)
{
    return caseNamed(allArrangeModes, raw);
}

std::string_view title(ArrangeMode mode)
{
    switch (mode) {
    case ArrangeMode::off: return "Off";
    case ArrangeMode::auto_: return "Auto arrange";
    case ArrangeMode::strip: return "Scrolling strip";
    }
    return "Off";
}

} // namespace kavelo
