// Focus follows mouse and mouse follows focus.

#include "app/engine/arrange_engine.h"

namespace kavelo {

void ArrangeEngine::mouseMoved() {}

void ArrangeEngine::focusUnderMouse() {}

void ArrangeEngine::warpMouse(WindowID) {}

} // namespace kavelo
