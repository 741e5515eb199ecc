// Edge zones where windows wait past a screen edge, and the titles of the
// tab bars.

#include "app/engine/arrange_engine.h"

namespace kavelo {

void ArrangeEngine::updateEdges() {}

void ArrangeEngine::edgeClicked(const std::string&, bool) {}

std::vector<TabBars::Bar> ArrangeEngine::titled(const std::vector<TabBar>& bars) const
{
    std::vector<TabBars::Bar> out;
    for (const auto& bar : bars)
        out.push_back(TabBars::Bar{.bar = bar});
    return out;
}

} // namespace kavelo
