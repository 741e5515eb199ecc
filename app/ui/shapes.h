#pragma once

// Outlines every view shares.

#include <QPainterPath>
#include <QRectF>

namespace kavelo::Shapes {

// A rounded rectangle with continuous corners: the curvature eases into the
// straight edges instead of meeting them at a circle's tangent, so each
// corner takes about 1.53 × `radius` of its edges. When the sides are too
// short for that, the corners fall back to circular ones of at most half
// the shorter side.
QPainterPath continuousRoundedRect(const QRectF& rect, double radius);

// Half-round ends along the longer side.
QPainterPath capsule(const QRectF& rect);

// The same shape inset by `amount` on every side, the corners shrinking
// with it: what a stroke of width 2 × `amount` drawn inside the edge follows.
QPainterPath insetContinuousRoundedRect(const QRectF& rect, double radius, double amount);
QPainterPath insetCapsule(const QRectF& rect, double amount);

} // namespace kavelo::Shapes
