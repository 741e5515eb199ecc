#pragma once

// Small reads and comparisons the engine's passes and commands share.

#include "app/platform/element.h"
#include "app/services/ax.h"
#include "core/geometry.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kavelo {

template <typename Range, typename Value>
bool contains(const Range& range, const Value& value)
{
    return std::find(std::begin(range), std::end(range), value) != std::end(range);
}

// A window's frame, unless it is gone or reports nonsense.
inline std::optional<Rect> readFrame(const Element& element)
{
    const auto frame = AX::rect(element);
    if (!frame || !frame->isFinite())
        return std::nullopt;
    return frame;
}

// Whether an edge or a side of `a` is `by` or more away from `b`'s.
inline bool differs(const Rect& a, const Rect& b, double by)
{
    return std::abs(a.minX() - b.minX()) >= by || std::abs(a.minY() - b.minY()) >= by ||
           std::abs(a.width() - b.width()) >= by || std::abs(a.height() - b.height()) >= by;
}

} // namespace kavelo
