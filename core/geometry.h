#pragma once

// Points, sizes and rectangles in double-precision points. A rectangle with a
// negative size is legal; its min/max accessors normalise it. An empty
// intersection is the null rectangle, which sits at infinity.

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

namespace kavelo {

struct Point {
    double x = 0;
    double y = 0;

    constexpr Point() = default;
    constexpr Point(double x, double y) : x(x), y(y) {}
    friend constexpr bool operator==(Point, Point) = default;
};

struct Size {
    double width = 0;
    double height = 0;

    constexpr Size() = default;
    constexpr Size(double width, double height) : width(width), height(height) {}
    friend constexpr bool operator==(Size, Size) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point origin, Size size) : origin(origin), size(size) {}
    constexpr Rect(double x, double y, double width, double height) : origin(x, y), size(width, height) {}
    friend constexpr bool operator==(const Rect&, const Rect&) = default;

    static constexpr Rect null()
    {
        constexpr double inf = std::numeric_limits<double>::infinity();
        return Rect(inf, inf, 0, 0);
    }

    constexpr bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }
    constexpr bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

    constexpr double minX() const { return std::min(origin.x, origin.x + size.width); }
    constexpr double maxX() const { return std::max(origin.x, origin.x + size.width); }
    constexpr double midX() const { return origin.x + size.width / 2; }
    constexpr double minY() const { return std::min(origin.y, origin.y + size.height); }
    constexpr double maxY() const { return std::max(origin.y, origin.y + size.height); }
    constexpr double midY() const { return origin.y + size.height / 2; }
    constexpr double width() const { return std::abs(size.width); }
    constexpr double height() const { return std::abs(size.height); }
    constexpr Point center() const { return {midX(), midY()}; }
    constexpr double area() const { return isNull() ? 0 : width() * height(); }

    // Same rectangle with a non-negative size.
    constexpr Rect standardized() const
    {
        if (isNull())
            return *this;
        return Rect(minX(), minY(), width(), height());
    }

    // Half-open: the max edges belong to the neighbour.
    constexpr bool contains(Point p) const
    {
        return !isNull() && p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }

    constexpr bool contains(const Rect& r) const
    {
        if (isNull() || r.isNull())
            return false;
        return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
    }

    constexpr Rect intersection(const Rect& r) const
    {
        if (isNull() || r.isNull())
            return null();
        const double x0 = std::max(minX(), r.minX());
        const double x1 = std::min(maxX(), r.maxX());
        const double y0 = std::max(minY(), r.minY());
        const double y1 = std::min(maxY(), r.maxY());
        if (x1 < x0 || y1 < y0)
            return null();
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }

    // Touching edges give a zero-area rectangle, which does not count.
    constexpr bool intersects(const Rect& r) const
    {
        const Rect i = intersection(r);
        return !i.isNull() && i.size.width > 0 && i.size.height > 0;
    }

    constexpr Rect united(const Rect& r) const
    {
        if (isNull())
            return r.standardized();
        if (r.isNull())
            return standardized();
        const double x0 = std::min(minX(), r.minX());
        const double y0 = std::min(minY(), r.minY());
        return Rect(x0, y0, std::max(maxX(), r.maxX()) - x0, std::max(maxY(), r.maxY()) - y0);
    }

    // Positive insets shrink; a rectangle inset past its size becomes null.
    constexpr Rect insetBy(double dx, double dy) const
    {
        if (isNull())
            return *this;
        const Rect s = standardized();
        const Rect r(s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy);
        if (r.size.width < 0 || r.size.height < 0)
            return null();
        return r;
    }

    constexpr Rect offsetBy(double dx, double dy) const
    {
        if (isNull())
            return *this;
        return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
    }

    // Swaps the axes; laying out on a transposed rectangle and transposing the
    // frames back turns a row layout into a column layout.
    constexpr Rect transposed() const { return Rect(origin.y, origin.x, size.height, size.width); }

    constexpr bool isFinite() const
    {
        return std::isfinite(origin.x) && std::isfinite(origin.y) && std::isfinite(size.width) &&
               std::isfinite(size.height);
    }
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    friend constexpr bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

// Insets each edge on its own; a rectangle inset past its size becomes null.
constexpr Rect inset(const Rect& r, const EdgeInsets& e)
{
    if (r.isNull())
        return r;
    const Rect s = r.standardized();
    const Rect out(s.origin.x + e.left, s.origin.y + e.top, s.size.width - e.left - e.right,
                   s.size.height - e.top - e.bottom);
    if (out.size.width < 0 || out.size.height < 0)
        return Rect::null();
    return out;
}

inline std::ostream& operator<<(std::ostream& os, Point p) { return os << '(' << p.x << ", " << p.y << ')'; }
inline std::ostream& operator<<(std::ostream& os, Size s) { return os << '[' << s.width << " x " << s.height << ']'; }
inline std::ostream& operator<<(std::ostream& os, const Rect& r) { return os << '{' << r.origin << ' ' << r.size << '}'; }

} // namespace kavelo
