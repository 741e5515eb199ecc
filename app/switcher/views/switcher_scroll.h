#pragma once

// A horizontal scroll position over content wider than its viewport: the
// results row and the shelf keep one each.

#include <algorithm>

namespace kavelo {

struct HorizontalScroll {
    double offset = 0;
    double content = 0;
    double viewport = 0;

    double maximum() const { return std::max(0.0, content - viewport); }
    void clamp() { offset = std::clamp(offset, 0.0, maximum()); }
    void scrollBy(double delta)
    {
        offset += delta;
        clamp();
    }
    // Brings the span [left, left + width) of the content to the middle of
    // the viewport, as far as the content's edges allow.
    void centre(double left, double width)
    {
        offset = left + width / 2 - viewport / 2;
        clamp();
    }
    friend bool operator==(const HorizontalScroll&, const HorizontalScroll&) = default;
};

} // namespace kavelo
