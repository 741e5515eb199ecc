// The strip indicator's feed: which tiles it shows, where, and what a tile
// click or drag does.

#include "app/engine/arrange_engine.h"

namespace kavelo {

void ArrangeEngine::showIndicator() {}

void ArrangeEngine::showAutoIndicator() {}

} // namespace kavelo
