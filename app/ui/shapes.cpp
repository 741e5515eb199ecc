#include "app/ui/shapes.h"

#include <algorithm>

namespace kavelo::Shapes {

namespace {
// The corner of a continuous rounded rectangle of radius 1, as distances
// from the corner point along the two edges: three cubic segments from
// 1.528665 along one edge round to 1.528665 along the other.
constexpr double reach = 1.528665;
constexpr double a1 = 1.088492, a2 = 0.868407;      // first segment's controls
constexpr double b = 0.631494, c = 0.074911;        // the middle segment's ends
constexpr double d1 = 0.372824, d2 = 0.169060;      // the middle segment's controls
} // namespace

QPainterPath continuousRoundedRect(const QRectF& input, double radius)
{
    const QRectF rect = input.normalized();
    QPainterPath path;
    if (rect.isEmpty())
        return path;
    const double half = std::min(rect.width(), rect.height()) / 2;
    radius = std::max(0.0, radius);
    if (radius == 0) {
        path.addRect(rect);
        return path;
    }
    if (radius * reach > half) {
        const double r = std::min(radius, half);
        path.addRoundedRect(rect, r, r);
        return path;
    }
    const double r = radius;
    const double l = rect.left(), t = rect.top(), rr = rect.right(), bb = rect.bottom();

    // Clockwise from the top edge, in screen coordinates (y down).
    path.moveTo(l + reach * r, t);
    // Top right.
    path.lineTo(rr - reach * r, t);
    path.cubicTo(rr - a1 * r, t, rr - a2 * r, t, rr - b * r, t + c * r);
    path.cubicTo(rr - d1 * r, t + d2 * r, rr - d2 * r, t + d1 * r, rr - c * r, t + b * r);
    path.cubicTo(rr, t + a2 * r, rr, t + a1 * r, rr, t + reach * r);
    // Bottom right.
    path.lineTo(rr, bb - reach * r);
    path.cubicTo(rr, bb - a1 * r, rr, bb - a2 * r, rr - c * r, bb - b * r);
    path.cubicTo(rr - d2 * r, bb - d1 * r, rr - d1 * r, bb - d2 * r, rr - b * r, bb - c * r);
    path.cubicTo(rr - a2 * r, bb, rr - a1 * r, bb, rr - reach * r, bb);
    // Bottom left.
    path.lineTo(l + reach * r, bb);
    path.cubicTo(l + a1 * r, bb, l + a2 * r, bb, l + b * r, bb - c * r);
    path.cubicTo(l + d1 * r, bb - d2 * r, l + d2 * r, bb - d1 * r, l + c * r, bb - b * r);
    path.cubicTo(l, bb - a2 * r, l, bb - a1 * r, l, bb - reach * r);
    // Top left.
    path.lineTo(l, t + reach * r);
    path.cubicTo(l, t + a1 * r, l, t + a2 * r, l + c * r, t + b * r);
    path.cubicTo(l + d2 * r, t + d1 * r, l + d1 * r, t + d2 * r, l + b * r, t + c * r);
    path.cubicTo(l + a2 * r, t, l + a1 * r, t, l + reach * r, t);
    path.closeSubpath();
    return path;
}

QPainterPath capsule(const QRectF& input)
{
    const QRectF rect = input.normalized();
    QPainterPath path;
    if (rect.isEmpty())
        return path;
    const double r = std::min(rect.width(), rect.height()) / 2;
    path.addRoundedRect(rect, r, r);
    return path;
}

QPainterPath insetContinuousRoundedRect(const QRectF& rect, double radius, double amount)
{
    return continuousRoundedRect(rect.adjusted(amount, amount, -amount, -amount), std::max(0.0, radius - amount));
}

QPainterPath insetCapsule(const QRectF& rect, double amount)
{
    return capsule(rect.adjusted(amount, amount, -amount, -amount));
}

} // namespace kavelo::Shapes
