// Floating a window, swapping it along the order, choosing a display's
// layout, and sending a window to the next display.

#include "app/engine/arrange_engine.h"

namespace kavelo {

void ArrangeEngine::toggleFloat() {}

void ArrangeEngine::swap(int) {}

void ArrangeEngine::setLayout(TidyLayout) {}

void ArrangeEngine::sendToNextDisplay() {}

} // namespace kavelo
