#include "app/ui/shadows.h"

#include "app/ui/shapes.h"

#include <QCache>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace kavelo::Shadows {

namespace {

QCache<QByteArray, QImage>& cache()
{
    // Weighed in kilobytes: about 4 MB of shadows. Rounded rectangles share
    // one small silhouette per corner shape whatever their size, so what
    // is kept by size is little (shapes drawn scaled, odd shapes).
    static QCache<QByteArray, QImage> c(4 * 1024);
    return c;
}

// Whole shadows of rounded rectangles, by size: a few card sizes at a time,
// apart from the silhouettes so that they never push those out.
constexpr int assembledBudget = 1024;   // kilobytes

QCache<QByteArray, QImage>& assembledCache()
{
    static QCache<QByteArray, QImage> c(assembledBudget);
    return c;
}

// Cards are drawn ahead on worker threads too: every use of the caches
// holds this, and what is found is copied out (a shared image, not its
// pixels) before another thread's insert can evict it.
std::mutex& guard()
{
    static std::mutex m;
    return m;
}

void insert(const QByteArray& key, const QImage& image, QCache<QByteArray, QImage>& into = cache())
{
    std::lock_guard lock(guard());
    into.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
}

// A null image when `key` is not kept.
QImage find(const QByteArray& key, QCache<QByteArray, QImage>& in = cache())
{
    std::lock_guard lock(guard());
    const QImage* hit = in.object(key);
    return hit ? *hit : QImage();
}

// Three box widths whose successive passes approximate a Gaussian of `sigma`.
std::array<int, 3> boxes(double sigma)
{
    constexpr int n = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / n + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m = std::round((12 * sigma * sigma - n * lower * lower - 4 * n * lower - 3 * n) / (-4 * lower - 4));
    std::array<int, 3> sizes{};
    for (int i = 0; i < n; ++i)
        sizes[i] = i < m ? lower : upper;
    return sizes;
}

// One box pass along rows (`stride` 1) or columns of an alpha plane.
void boxPass(std::vector<float>& src, std::vector<float>& dst, int width, int height, int half, bool rows)
{
    const int lines = rows ? height : width;
    const int length = rows ? width : height;
    const int step = rows ? 1 : width;
    const float scale = 1.0f / float(2 * half + 1);
    for (int line = 0; line < lines; ++line) {
        const int base = rows ? line * width : line;
        float sum = 0;
        // Outside the plane counts as transparent.
        for (int i = 0; i <= std::min(half, length - 1); ++i)
            sum += src[base + i * step];
        for (int i = 0; i < length; ++i) {
            dst[base + i * step] = sum * scale;
            const int add = i + half + 1;
            const int drop = i - half;
            if (add < length)
                sum += src[base + add * step];
            if (drop >= 0)
                sum -= src[base + drop * step];
        }
    }
}

QImage tinted(const std::vector<float>& alpha, int width, int height, const QColor& color)
{
    QImage out(width, height, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(1);
    const float a = color.alphaF();
    const float r = color.redF(), g = color.greenF(), b = color.blueF();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float k = std::clamp(alpha[std::size_t(y) * width + x], 0.0f, 1.0f) * a;
            line[x] = qRgba(int(std::lround(r * k * 255)), int(std::lround(g * k * 255)),
                            int(std::lround(b * k * 255)), int(std::lround(k * 255)));
        }
    }
    return out;
}

std::vector<float> alphaPlane(const QImage& image)
{
    const QImage a = image.convertToFormat(QImage::Format_Alpha8);
    std::vector<float> plane(std::size_t(a.width()) * a.height());
    for (int y = 0; y < a.height(); ++y) {
        const uchar* line = a.constScanLine(y);
        for (int x = 0; x < a.width(); ++x)
            plane[std::size_t(y) * a.width() + x] = line[x] / 255.0f;
    }
    return plane;
}

void blurPlane(std::vector<float>& plane, int width, int height, double radius)
{
    const double sigma = radius / 2;
    if (sigma <= 0.01 || width == 0 || height == 0)
        return;
    std::vector<float> scratch(plane.size());
    for (int size : boxes(sigma)) {
        const int half = (size - 1) / 2;
        if (half <= 0)
            continue;
        boxPass(plane, scratch, width, height, half, true);
        boxPass(scratch, plane, width, height, half, false);
    }
}

// Whether `key` was asked about lately; remembers it either way.
bool seenBefore(const QByteArray& key)
{
    std::lock_guard lock(guard());
    static std::array<QByteArray, 8> recent;
    static std::size_t next = 0;
    if (std::find(recent.begin(), recent.end(), key) != recent.end())
        return true;
    recent[next] = key;
    next = (next + 1) % recent.size();
    return false;
}

void appendDouble(QByteArray& key, double v)
{
    key.append(reinterpret_cast<const char*>(&v), sizeof v);
}

} // namespace

int margin(double radius)
{
    return int(std::ceil(std::max(0.0, radius) * 1.5)) + 1;
}

void blurAlpha(QImage& image, double radius)
{
    std::vector<float> plane = alphaPlane(image);
    blurPlane(plane, image.width(), image.height(), radius);
    QImage out(image.size(), QImage::Format_Alpha8);
    for (int y = 0; y < out.height(); ++y) {
        uchar* line = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x)
            line[x] = uchar(std::lround(std::clamp(plane[std::size_t(y) * out.width() + x], 0.0f, 1.0f) * 255));
    }
    image = out;
}

QImage silhouette(const QPainterPath& path, const QColor& color, double radius, double strokeWidth)
{
    const QRectF bounds = path.boundingRect();
    const double grow = strokeWidth > 0 ? strokeWidth / 2 : 0;
    const QPainterPath local = path.translated(-bounds.topLeft() + QPointF(grow, grow));

    QByteArray key("s");
    for (int i = 0; i < local.elementCount(); ++i) {
        const QPainterPath::Element e = local.elementAt(i);
        key.append(char(e.type));
        // On a fine grid: the same shape moved elsewhere differs in the
        // last bits after moving it back.
        appendDouble(key, std::round(e.x * 1024));
        appendDouble(key, std::round(e.y * 1024));
    }
    appendDouble(key, radius);
    appendDouble(key, strokeWidth);
    key.append(QByteArray::number(color.rgba64(), 16));
    if (QImage hit = find(key); !hit.isNull())
        return hit;

    const int m = margin(radius);
    const int width = int(std::ceil(bounds.width() + 2 * grow)) + 2 * m;
    const int height = int(std::ceil(bounds.height() + 2 * grow)) + 2 * m;
    QImage mask(std::max(1, width), std::max(1, height), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(m, m);
        if (strokeWidth > 0) {
            p.setPen(QPen(Qt::black, strokeWidth));
            p.setBrush(Qt::NoBrush);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
        }
        p.drawPath(local);
    }
    std::vector<float> plane = alphaPlane(mask);
    blurPlane(plane, mask.width(), mask.height(), radius);
    QImage out = tinted(plane, mask.width(), mask.height(), color);
    insert(key, out);
    return out;
}

void drawRoundedShadow(QPainter& painter, const QRectF& rect, double cornerRadius, const QColor& color,
                       double radius, QPointF offset, double strokeWidth)
{
    if (color.alpha() == 0 || rect.isEmpty())
        return;
    const double grow = strokeWidth > 0 ? strokeWidth / 2 : 0;
    const int m = margin(radius) + int(std::ceil(grow));
    // The middle lines of the small silhouette lie beyond the reach of its
    // corners (a continuous corner bends over about 1.53 radii) and of the
    // blur, so stretching them gives a longer rectangle's edges exactly.
    const int corner = int(std::ceil(std::max(0.0, cornerRadius) * 1.53)) + 1;
    const int side = 2 * (corner + m) + 1;
    // Scaled or turned, the pieces' edges would be smoothed into seams.
    if (rect.width() < side || rect.height() < side || painter.transform().type() > QTransform::TxTranslate) {
        drawShadow(painter, Shapes::continuousRoundedRect(rect, cornerRadius), color, radius, offset, strokeWidth);
        return;
    }
    QColor solid = color;
    solid.setAlpha(255);
    const QImage tile =
        silhouette(Shapes::continuousRoundedRect(QRectF(0, 0, side, side), cornerRadius), solid, radius, strokeWidth);
    const int whole = tile.width();
    const int half = whole / 2;
    // Columns and rows of the tile: what comes before its middle line, the
    // line itself, and what follows it; placed on whole pixels, as an
    // image drawn whole would be.
    const int cuts[4] = {0, half, half + 1, whole};
    const QPointF corner0 = rect.translated(offset).topLeft() - QPointF(grow + margin(radius), grow + margin(radius));
    const int left = int(std::lround(corner0.x())), top = int(std::lround(corner0.y()));
    const int width = whole + int(std::lround(rect.width() - side));
    const int height = tile.height() + int(std::lround(rect.height() - side));
    const auto drawPieces = [&](QPainter& to, QPoint at) {
        const int xs[4] = {at.x(), at.x() + half, at.x() + width - (whole - half - 1), at.x() + width};
        const int ys[4] = {at.y(), at.y() + half, at.y() + height - (whole - half - 1), at.y() + height};
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column) {
                const QRect into(xs[column], ys[row], xs[column + 1] - xs[column], ys[row + 1] - ys[row]);
                const QRect from(cuts[column], cuts[row], cuts[column + 1] - cuts[column], cuts[row + 1] - cuts[row]);
                if (into.isEmpty())
                    continue;
                if (column == 1 && row == 1)
                    to.fillRect(into, tile.pixelColor(from.topLeft()));
                else if (into.size() == from.size())
                    to.drawImage(into.topLeft(), tile, from);
                else
                    to.drawImage(into, tile, from);
            }
    };
    const double opacity = painter.opacity();
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(opacity * color.alphaF());
    // An edge is one line of pixels repeated along it: the nearest pixel is
    // the exact one, and far cheaper to find.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // A size drawn again (a grid of equal cards, a view repainted) is put
    // together once and then copied whole: nine draws, some of them split
    // among threads, become one copy. A size seen once (a card springing)
    // is drawn in pieces and kept nowhere.
    QByteArray key("r");
    key.append(QByteArray::number(tile.cacheKey()) + ':' + QByteArray::number(width) + 'x' +
               QByteArray::number(height));
    QImage assembled = find(key, assembledCache());
    // A window-sized glow would not be kept: put together each time it
    // would cost more than its pieces.
    const bool keepable = qsizetype(width) * height * 4 / 1024 <= assembledBudget / 2;
    if (assembled.isNull() && keepable && seenBefore(key)) {
        assembled = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
        assembled.fill(Qt::transparent);
        {
            QPainter p(&assembled);
            drawPieces(p, QPoint(0, 0));
        }
        insert(key, assembled, assembledCache());
    }
    if (!assembled.isNull())
        painter.drawImage(QPoint(left, top), assembled);
    else
        drawPieces(painter, QPoint(left, top));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.setOpacity(opacity);
}

void drawShadow(QPainter& painter, const QPainterPath& path, const QColor& color, double radius, QPointF offset,
                double strokeWidth)
{
    if (color.alpha() == 0 || path.isEmpty())
        return;
    // Blurred at the colour's full strength and painted at its alpha: a glow
    // fading in reuses one blur instead of making one per frame.
    QColor solid = color;
    solid.setAlpha(255);
    const QImage image = silhouette(path, solid, radius, strokeWidth);
    const double grow = strokeWidth > 0 ? strokeWidth / 2 : 0;
    const QPointF at = path.boundingRect().topLeft() - QPointF(grow + margin(radius), grow + margin(radius)) + offset;
    const double opacity = painter.opacity();
    painter.setOpacity(opacity * color.alphaF());
    painter.drawImage(at, image);
    painter.setOpacity(opacity);
}

QImage imageShadow(const QImage& source, const QColor& color, double radius)
{
    // By content: the same picture arrives in a new image at every paint.
    const QImage argb = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray key("i");
    key.append(QByteArray::number(argb.width()) + 'x' + QByteArray::number(argb.height()) + ':');
    key.append(QByteArray::number(quint64(qHashBits(argb.constBits(), std::size_t(argb.sizeInBytes())))));
    appendDouble(key, radius);
    key.append(QByteArray::number(color.rgba64(), 16));
    if (QImage hit = find(key); !hit.isNull())
        return hit;

    const int m = margin(radius);
    QImage padded(source.width() + 2 * m, source.height() + 2 * m, QImage::Format_ARGB32_Premultiplied);
    padded.fill(Qt::transparent);
    {
        QPainter p(&padded);
        p.drawImage(m, m, argb);
    }
    std::vector<float> plane = alphaPlane(padded);
    blurPlane(plane, padded.width(), padded.height(), radius);
    QImage out = tinted(plane, padded.width(), padded.height(), color);
    insert(key, out);
    return out;
}

int cachedCount()
{
    std::lock_guard lock(guard());
    return int(cache().count() + assembledCache().count());
}

int assembledCount()
{
    std::lock_guard lock(guard());
    return int(assembledCache().count());
}

void releaseAssembled()
{
    std::lock_guard lock(guard());
    assembledCache().clear();
}

void clearCache()
{
    std::lock_guard lock(guard());
    cache().clear();
    assembledCache().clear();
}

} // namespace kavelo::Shadows

namespace kavelo {

SoftShadowEffect::SoftShadowEffect(QColor color, double radius, QPointF offset, QObject* parent)
    : QGraphicsEffect(parent), color_(color), radius_(radius), offset_(offset)
{
}

QRectF SoftShadowEffect::boundingRectFor(const QRectF& rect) const
{
    const double m = Shadows::margin(radius_);
    return rect.united(rect.translated(offset_).adjusted(-m, -m, m, m));
}

void SoftShadowEffect::draw(QPainter* painter)
{
    QPoint at;
    const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &at, QGraphicsEffect::NoPad);
    if (source.isNull())
        return;
    // Device pixels here: the blur and the offset are in points.
    const double ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1;
    const QTransform saved = painter->worldTransform();
    painter->setWorldTransform(QTransform());
    const QImage shadow = Shadows::imageShadow(source.toImage(), color_, radius_ * ratio);
    const int m = Shadows::margin(radius_ * ratio);
    painter->drawImage(QPointF(at) + offset_ * ratio - QPointF(m, m), shadow);
    painter->drawPixmap(at, source);
    painter->setWorldTransform(saved);
}

} // namespace kavelo
