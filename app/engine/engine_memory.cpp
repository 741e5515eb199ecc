// The strip memory file "Strips.json" and the undo history of arrangements.

#include "app/engine/arrange_engine.h"

namespace kavelo {

void ArrangeEngine::readMemory() {}

void ArrangeEngine::saveMemory() {}

void ArrangeEngine::writeMemory() {}

void ArrangeEngine::noteState() {}

void ArrangeEngine::undo() {}

} // namespace kavelo
