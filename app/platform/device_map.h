#pragma once

// Where points become device pixels. Points are one global space with the
// primary monitor's top-left corner at (0, 0); device pixels are the
// server's root coordinates. Each monitor maps by itself:
//
//     device = device frame's origin + (point − point frame's origin) × scale
//
// A monitor's point frame is its device frame divided by its scale, placed
// against a monitor placed before it: the primary first, then the monitor
// nearest to those placed, against the one it shares the longest border
// with. On each axis a monitor beside the other stays beside it, the gap
// between them measured at the placed monitor's scale; along a shared edge
// the nearer pair of ends keeps its offset. With the same scale on every
// monitor this is one map everywhere, on and off the monitors:
// point = (device − primary's origin) / scale.
//
// A place maps by the monitor it lies on, one off every monitor by the
// nearest. A rectangle maps by the monitor of its centre, whole, so a
// window keeps its proportions. A device place maps to points and back to
// itself: the way back looks for the monitor whose map sends the point to
// a device place of that same monitor.

#include "core/geometry.h"

#include <cstddef>
#include <vector>

namespace kavelo {

struct DeviceScreen {
    Rect device;        // root coordinates
    double scale = 1;   // device pixels per point
    // Where the toolkit drawing the panels puts the device frame's top-left
    // corner in its own coordinates (its scale is this one).
    Point toolkit;
    friend bool operator==(const DeviceScreen&, const DeviceScreen&) = default;
};

class DeviceMap {
public:
    // No monitors: points are device pixels.
    DeviceMap() = default;
    // Primary first. A scale that is not a positive finite number counts as
    // 1; monitors without area are left out.
    explicit DeviceMap(std::vector<DeviceScreen> screens);

    std::size_t count() const { return screens_.size(); }
    const DeviceScreen& screen(std::size_t i) const { return screens_[i]; }
    Rect pointFrame(std::size_t i) const { return points_[i]; }

    // The monitor a place is on, else the nearest (ties: the first).
    std::size_t screenOfDevice(Point device) const;
    std::size_t screenOfPoint(Point point) const;

    Point toPoints(Point device) const;
    Point toDevice(Point point) const;
    // By the monitor of the rectangle's centre.
    Rect toPoints(const Rect& device) const;
    Rect toDevice(const Rect& point) const;
    // By the given monitor.
    Rect toPoints(const Rect& device, std::size_t screen) const;
    // Where the toolkit must put a panel that covers `point`, and back.
    Rect toToolkit(const Rect& point) const;
    Rect fromToolkit(const Rect& toolkit) const;
    // Device pixels per point at a point place.
    double scaleAt(Point point) const;

    friend bool operator==(const DeviceMap&, const DeviceMap&) = default;

private:
    Point toPoints(Point device, std::size_t screen) const;
    Point toDevice(Point point, std::size_t screen) const;

    std::vector<DeviceScreen> screens_;
    std::vector<Rect> points_;
};

} // namespace kavelo
