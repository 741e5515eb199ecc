#include "app/platform/device_map.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace kavelo {

namespace {

double gap(double a0, double a1, double b0, double b1) { return std::max({0.0, b0 - a1, a0 - b1}); }

double distance(const Rect& a, const Rect& b)
{
    return std::hypot(gap(a.minX(), a.maxX(), b.minX(), b.maxX()), gap(a.minY(), a.maxY(), b.minY(), b.maxY()));
}

// The length two touching monitors share, 0 for others.
double border(const Rect& a, const Rect& b)
{
    const double xs = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    const double ys = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    if (xs == 0 && ys > 0)
        return ys;
    if (ys == 0 && xs > 0)
        return xs;
    return 0;
}

double distance(const Rect& r, Point p)
{
    return std::hypot(gap(r.minX(), r.maxX(), p.x, p.x), gap(r.minY(), r.maxY(), p.y, p.y));
}

// Where a monitor's point interval starts on one axis, against a placed
// monitor: device intervals [s0, s1) of the placed one (its points start at
// `p0`, scale `sS`) and [t0, t1) of the new one (scale `sT`).
double place(double s0, double s1, double p0, double sS, double t0, double t1, double sT)
{
    const double p1 = p0 + (s1 - s0) / sS;
    const double length = (t1 - t0) / sT;
    if (t0 >= s1)
        return p1 + (t0 - s1) / sS;
    if (t1 <= s0)
        return p0 - (s0 - t1) / sS - length;
    if (std::abs(t0 - s0) <= std::abs(t1 - s1))
        return p0 + (t0 - s0) / sS;
    return p1 + (t1 - s1) / sS - length;
}

template <class Frames>
std::size_t nearest(const Frames& frames, std::size_t count, Point p)
{
    for (std::size_t i = 0; i < count; ++i)
        if (frames(i).contains(p))
            return i;
    std::size_t best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < count; ++i)
        if (const double d = distance(frames(i), p); d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    return best;
}

} // namespace

DeviceMap::DeviceMap(std::vector<DeviceScreen> screens)
{
    for (auto& s : screens) {
        if (s.device.isEmpty())
            continue;
        if (!std::isfinite(s.scale) || s.scale <= 0)
            s.scale = 1;
        s.device = s.device.standardized();
        screens_.push_back(s);
    }
    const std::size_t n = screens_.size();
    points_.assign(n, Rect());
    if (n == 0)
        return;
    const auto size = [&](std::size_t i) {
        return Size(screens_[i].device.width() / screens_[i].scale, screens_[i].device.height() / screens_[i].scale);
    };
    std::vector<bool> placed(n, false);
    points_[0] = Rect(Point(), size(0));
    placed[0] = true;
    for (std::size_t round = 1; round < n; ++round) {
        // The unplaced monitor nearest to a placed one, against that one;
        // among those touching, the one sharing the longest border.
        std::tuple<double, double, std::size_t, std::size_t> best{std::numeric_limits<double>::infinity(), 0, n, n};
        for (std::size_t t = 0; t < n; ++t)
            for (std::size_t s = 0; s < n && !placed[t]; ++s)
                if (placed[s]) {
                    const Rect& a = screens_[t].device;
                    const Rect& b = screens_[s].device;
                    best = std::min(best, std::tuple(distance(a, b), -border(a, b), t, s));
                }
        const auto [d, b, t, s] = best;
        const Rect& sd = screens_[s].device;
        const Rect& td = screens_[t].device;
        const double sS = screens_[s].scale, sT = screens_[t].scale;
        const Point origin(place(sd.minX(), sd.maxX(), points_[s].minX(), sS, td.minX(), td.maxX(), sT),
                           place(sd.minY(), sd.maxY(), points_[s].minY(), sS, td.minY(), td.maxY(), sT));
        points_[t] = Rect(origin, size(t));
        placed[t] = true;
    }
}

std::size_t DeviceMap::screenOfDevice(Point device) const
{
    return nearest([&](std::size_t i) { return screens_[i].device; }, screens_.size(), device);
}

std::size_t DeviceMap::screenOfPoint(Point point) const
{
    // The monitor the place is on; off every monitor, one whose map sends
    // it to a device place nearest to that same monitor.
    const auto owns = [&](std::size_t i) { return screenOfDevice(toDevice(point, i)) == i; };
    for (std::size_t i = 0; i < screens_.size(); ++i)
        if (points_[i].contains(point) && owns(i))
            return i;
    for (std::size_t i = 0; i < screens_.size(); ++i)
        if (owns(i))
            return i;
    return nearest([&](std::size_t i) { return points_[i]; }, points_.size(), point);
}

Point DeviceMap::toPoints(Point device, std::size_t i) const
{
    const DeviceScreen& s = screens_[i];
    return Point(points_[i].minX() + (device.x - s.device.minX()) / s.scale,
                 points_[i].minY() + (device.y - s.device.minY()) / s.scale);
}

Point DeviceMap::toDevice(Point point, std::size_t i) const
{
    const DeviceScreen& s = screens_[i];
    return Point(s.device.minX() + (point.x - points_[i].minX()) * s.scale,
                 s.device.minY() + (point.y - points_[i].minY()) * s.scale);
}

Point DeviceMap::toPoints(Point device) const
{
    return screens_.empty() ? device : toPoints(device, screenOfDevice(device));
}

Point DeviceMap::toDevice(Point point) const
{
    return screens_.empty() ? point : toDevice(point, screenOfPoint(point));
}

Rect DeviceMap::toPoints(const Rect& device, std::size_t i) const
{
    if (device.isNull() || i >= screens_.size())
        return device;
    const double scale = screens_[i].scale;
    return Rect(toPoints(device.origin, i), Size(device.size.width / scale, device.size.height / scale));
}

Rect DeviceMap::toPoints(const Rect& device) const
{
    if (device.isNull() || screens_.empty())
        return device;
    return toPoints(device, screenOfDevice(device.center()));
}

Rect DeviceMap::toDevice(const Rect& point) const
{
    if (point.isNull() || screens_.empty())
        return point;
    const std::size_t i = screenOfPoint(point.center());
    const double scale = screens_[i].scale;
    return Rect(toDevice(point.origin, i), Size(point.size.width * scale, point.size.height * scale));
}

Rect DeviceMap::toToolkit(const Rect& point) const
{
    if (point.isNull() || screens_.empty())
        return point;
    const std::size_t i = screenOfPoint(point.center());
    const Point corner = screens_[i].toolkit;
    return Rect(corner.x + point.origin.x - points_[i].minX(), corner.y + point.origin.y - points_[i].minY(),
                point.size.width, point.size.height);
}

Rect DeviceMap::fromToolkit(const Rect& toolkit) const
{
    if (toolkit.isNull() || screens_.empty())
        return toolkit;
    const auto frame = [&](std::size_t i) { return Rect(screens_[i].toolkit, points_[i].size); };
    const std::size_t i = nearest(frame, screens_.size(), toolkit.center());
    const Point corner = screens_[i].toolkit;
    return Rect(points_[i].minX() + toolkit.origin.x - corner.x, points_[i].minY() + toolkit.origin.y - corner.y,
                toolkit.size.width, toolkit.size.height);
}

double DeviceMap::scaleAt(Point point) const
{
    return screens_.empty() ? 1 : screens_[screenOfPoint(point)].scale;
}

} // namespace kavelo
