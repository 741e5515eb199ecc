#include "app/engine/arrange_state.h"

#include <algorithm>

namespace kavelo {

bool operator==(const ArrangeState& a, const ArrangeState& b)
{
    if (a.order != b.order || a.offset != b.offset || a.layouts != b.layouts || a.plans != b.plans)
        return false;
    return std::equal(a.strips.begin(), a.strips.end(), b.strips.begin(), b.strips.end(),
                      [](const auto& x, const auto& y) { return x.first == y.first && x.second.columns == y.second.columns; });
}

} // namespace kavelo
