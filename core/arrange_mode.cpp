#include "core/arrange_mode.h"

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
    for (ArrangeMode m : allArrangeModes)
        if (rawValue(m) == raw)
            return m;
    return std::nullopt;
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
