#pragma once

// Soft shadows and glows: a shape's silhouette blurred and tinted. Blurring
// costs far more than drawing, so every result is cached by the shape (not
// its position), colour and radius, and redrawing an unchanged view only
// copies an image.
//
// `radius` follows the declarative convention: the blur's standard
// deviation is half of it, and the shadow reaches about 1.5 × radius past
// the shape.

#include <QColor>
#include <QGraphicsEffect>
#include <QImage>
#include <QPainterPath>
#include <QPointF>

class QPainter;

namespace kavelo::Shadows {

// How far a blur of `radius` reaches past the shape, in whole pixels.
int margin(double radius);

// Blurs the alpha channel of `image` (any format) in place; a Gaussian of
// standard deviation `radius / 2`, approximated by three box passes.
void blurAlpha(QImage& alpha, double radius);

// The blurred silhouette of `path` (filled, or stroked `strokeWidth` wide
// along it when that is above 0) in `color`. The image's top-left corner
// lies at the path's bounding rectangle's top-left corner less
// `margin(radius)`, less half the stroke. Cached.
QImage silhouette(const QPainterPath& path, const QColor& color, double radius, double strokeWidth = 0);

// Draws that silhouette where the path lies, moved by `offset`.
void drawShadow(QPainter& painter, const QPainterPath& path, const QColor& color, double radius,
                QPointF offset = {}, double strokeWidth = 0);

// The shadow of a continuous rounded rectangle, the same as `drawShadow`
// of its path, drawn in nine pieces of one small silhouette shared by
// every rectangle with these corners: many sizes cost no more blurring
// than one. A size drawn again is kept put together (1 MB of them at most,
// none above half of that, until `releaseAssembled`) and copied whole. A
// rectangle too small to cut is drawn whole.
// With `strokeWidth` above 0 it is the glow of a line that wide along it.
void drawRoundedShadow(QPainter& painter, const QRectF& rect, double cornerRadius, const QColor& color,
                       double radius, QPointF offset = {}, double strokeWidth = 0);

// The glow of a line drawn along `path`.
inline void drawGlow(QPainter& painter, const QPainterPath& path, double lineWidth, const QColor& color,
                     double radius)
{
    drawShadow(painter, path, color, radius, {}, lineWidth);
}

// The blurred, tinted alpha of an arbitrary image, grown by `margin(radius)`
// on every side. Cached by the image's pixels.
QImage imageShadow(const QImage& source, const QColor& color, double radius);

// The shadows kept put together go (a view of many cards closed).
void releaseAssembled();

// Entries kept now (tests and diagnostics).
int cachedCount();
int assembledCount();
void clearCache();

} // namespace kavelo::Shadows

namespace kavelo {

// A soft shadow under any widget, drawn outside the widget's own rectangle
// without taking room in its layout.
class SoftShadowEffect : public QGraphicsEffect {
public:
    SoftShadowEffect(QColor color, double radius, QPointF offset, QObject* parent = nullptr);

    QColor color() const { return color_; }
    double radius() const { return radius_; }
    QPointF offset() const { return offset_; }

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    QColor color_;
    double radius_;
    QPointF offset_;
};

} // namespace kavelo
