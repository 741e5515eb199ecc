// Drag to swap, drops on the strip and moves of a custom grid's lines.

#include "app/engine/arrange_engine.h"

namespace kavelo {

void ArrangeEngine::dropped(Point) {}

void ArrangeEngine::droppedOnStrip(Point) {}

bool ArrangeEngine::movedGridLine() { return false; }

void ArrangeEngine::testDrag() {}

void ArrangeEngine::testResize() {}

} // namespace kavelo
