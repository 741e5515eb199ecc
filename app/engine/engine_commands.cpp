// Strip commands, the pan of the active strip by wheel and trackpad, and
// the auto-mode wheel.

#include "app/engine/arrange_engine.h"

namespace kavelo {

bool ArrangeEngine::perform(Command) { return false; }

std::optional<std::string> ArrangeEngine::activeStrip() const { return std::nullopt; }

void ArrangeEngine::stripFocus(Direction) {}

void ArrangeEngine::stripFocusEnd(bool) {}

void ArrangeEngine::stripJump(int) {}

void ArrangeEngine::beginPan() {}

void ArrangeEngine::pan(double) {}

void ArrangeEngine::endPan(double) {}

void ArrangeEngine::swipe(const SwipeEvent&) {}

void ArrangeEngine::scrolled(double) {}

void ArrangeEngine::scrolledAuto(double) {}

void ArrangeEngine::updateTrackpad() {}

} // namespace kavelo
