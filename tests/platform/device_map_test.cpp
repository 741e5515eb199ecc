#include "app/platform/device_map.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>

using namespace kavelo;

namespace {

constexpr double eps = 1e-6;

bool near(Point a, Point b) { return std::abs(a.x - b.x) < eps && std::abs(a.y - b.y) < eps; }
bool near(const Rect& a, const Rect& b) { return near(a.origin, b.origin) && near(Point(a.size.width, a.size.height), Point(b.size.width, b.size.height)); }

// Monitors as people arrange them: each new one touches one already there,
// on a side and at an offset along it, without overlapping any.
std::vector<DeviceScreen> layout(bool sameScale)
{
    static const Size sizes[] = {{1920, 1080}, {3840, 2160}, {2560, 1440}, {2880, 1800}, {1366, 768}};
    static const double scales[] = {1, 1.25, 1.5, 2, 3};
    const auto count = *rc::gen::inRange(1, 5);
    const double shared = *rc::gen::elementOf(std::vector<double>(std::begin(scales), std::end(scales)));
    std::vector<DeviceScreen> out;
    const auto scale = [&] {
        return sameScale ? shared : *rc::gen::elementOf(std::vector<double>(std::begin(scales), std::end(scales)));
    };
    const Size first = *rc::gen::elementOf(std::vector<Size>(std::begin(sizes), std::end(sizes)));
    out.push_back({Rect(Point(*rc::gen::inRange(-4000, 4000), *rc::gen::inRange(-2000, 2000)), first), scale()});
    while (int(out.size()) < count) {
        const Size size = *rc::gen::elementOf(std::vector<Size>(std::begin(sizes), std::end(sizes)));
        const Rect& by = out[*rc::gen::inRange<std::size_t>(0, out.size())].device;
        const int side = *rc::gen::inRange(0, 4);
        const double along = *rc::gen::inRange(-int(size.width) + 1, int(by.width()));
        const double down = *rc::gen::inRange(-int(size.height) + 1, int(by.height()));
        Point at;
        switch (side) {
        case 0: at = Point(by.maxX(), by.minY() + down); break;
        case 1: at = Point(by.minX() - size.width, by.minY() + down); break;
        case 2: at = Point(by.minX() + along, by.maxY()); break;
        default: at = Point(by.minX() + along, by.minY() - size.height); break;
        }
        const Rect frame(at, size);
        bool free = true;
        for (const auto& s : out)
            free = free && !s.device.intersects(frame);
        if (free)
            out.push_back({frame, scale()});
    }
    return out;
}

} // namespace

TEST(DeviceMap, TwoMonitorsAtTwiceTouchInPointsAndAWindowParkedBetweenThemComesBack)
{
    const DeviceMap map({{Rect(0, 0, 3840, 2160), 2}, {Rect(3840, 0, 3840, 2160), 2}});
    EXPECT_EQ(map.pointFrame(0), Rect(0, 0, 1920, 1080));
    EXPECT_EQ(map.pointFrame(1), Rect(1920, 0, 1920, 1080));
    // A strip column parked past the first monitor's right edge lands on
    // the second one and reads back where it was written.
    const Rect parked(1925, 40, 800, 600);
    EXPECT_EQ(map.toDevice(parked), Rect(3850, 80, 1600, 1200));
    EXPECT_EQ(map.toPoints(map.toDevice(parked)), parked);
    EXPECT_EQ(map.toPoints(Point(-100, 5000)), Point(-50, 2500));
}

TEST(DeviceMap, MixedScalesKeepMonitorsSideBySideAndPanelsGoWhereTheToolkitDrawsThem)
{
    // A 2x laptop left of a 1x monitor whose bottom edge it shares.
    const DeviceMap map({{Rect(2880, 0, 1920, 1080), 1, Point(2880, 0)},
                         {Rect(0, -720, 2880, 1800), 2, Point(0, -720)}});
    EXPECT_EQ(map.pointFrame(0), Rect(0, 0, 1920, 1080));
    EXPECT_EQ(map.pointFrame(1), Rect(-1440, 180, 1440, 900));
    EXPECT_EQ(map.toDevice(Point(-1440, 180)), Point(0, -720));
    EXPECT_EQ(map.toPoints(Point(2880 + 100, 50)), Point(100, 50));
    EXPECT_EQ(map.scaleAt(Point(-10, 500)), 2);
    EXPECT_EQ(map.scaleAt(Point(10, 500)), 1);
    // The toolkit keeps each monitor at its device corner, sized in points.
    EXPECT_EQ(map.toToolkit(Rect(-1440 + 10, 180 + 20, 320, 200)), Rect(10, -700, 320, 200));
    EXPECT_EQ(map.toToolkit(Rect(10, 20, 300, 40)), Rect(2890, 20, 300, 40));
    EXPECT_EQ(map.fromToolkit(Rect(10, -700, 320, 200)), Rect(-1430, 200, 320, 200));
    EXPECT_EQ(map.fromToolkit(Rect(2890, 20, 300, 40)), Rect(10, 20, 300, 40));
}

TEST(DeviceMap, AMonitorBesideTwoStackedOnesTakesItsNeighbourWithTheLongestBorder)
{
    // A 4K at 2x with two 1080p monitors stacked at its right.
    const DeviceMap map({{Rect(0, 0, 3840, 2160), 2},
                         {Rect(3840, 1080, 1920, 1080), 1},
                         {Rect(3840, 0, 1920, 1080), 1}});
    EXPECT_EQ(map.pointFrame(1), Rect(1920, 0, 1920, 1080));
    EXPECT_EQ(map.pointFrame(2), Rect(1920, -1080, 1920, 1080));
    EXPECT_EQ(map.toPoints(map.toDevice(Rect(2000, -900, 400, 300))), Rect(2000, -900, 400, 300));
}

TEST(DeviceMap, WithoutMonitorsPointsAreDevicePixels)
{
    const DeviceMap map;
    EXPECT_EQ(map.toPoints(Rect(5, 6, 7, 8)), Rect(5, 6, 7, 8));
    EXPECT_EQ(map.toDevice(Point(-3, 4)), Point(-3, 4));
    EXPECT_EQ(map.toToolkit(Rect(1, 2, 3, 4)), Rect(1, 2, 3, 4));
    EXPECT_EQ(map.scaleAt(Point()), 1);
    const DeviceMap odd({{Rect(10, 10, 0, 5), 2}, {Rect(100, 100, 50, 50), std::nan("")}});
    ASSERT_EQ(odd.count(), 1u);
    EXPECT_EQ(odd.screen(0).scale, 1);
    EXPECT_EQ(odd.pointFrame(0), Rect(0, 0, 50, 50));
}

RC_GTEST_PROP(DeviceMapProperty, OneScaleEverywhereIsOneMapOnAndOffTheMonitors, ())
{
    const auto screens = layout(true);
    const DeviceMap map(screens);
    const double s = screens.front().scale;
    const Point origin = screens.front().device.origin;
    for (int k = 0; k < 20; ++k) {
        const Point d(*rc::gen::inRange(-12000, 12000), *rc::gen::inRange(-8000, 8000));
        const Point p = map.toPoints(d);
        RC_ASSERT(near(p, Point((d.x - origin.x) / s, (d.y - origin.y) / s)));
        RC_ASSERT(near(map.toDevice(p), d));
    }
}

RC_GTEST_PROP(DeviceMapProperty, EveryMonitorMapsOntoItsPointFrameAndItsPlacesComeBack, ())
{
    const auto screens = layout(false);
    const DeviceMap map(screens);
    RC_ASSERT(map.count() == screens.size());
    for (std::size_t i = 0; i < map.count(); ++i)
        RC_ASSERT(near(map.toPoints(screens[i].device), map.pointFrame(i)));
    // Where the point frames do not overlap, a place on a monitor and a
    // window centred on it go to points and back unchanged, both ways.
    for (std::size_t i = 0; i < map.count(); ++i)
        for (std::size_t j = 0; j < map.count(); ++j)
            RC_PRE(i == j || !map.pointFrame(i).intersects(map.pointFrame(j)));
    for (int k = 0; k < 20; ++k) {
        const Rect& on = screens[*rc::gen::inRange<std::size_t>(0, screens.size())].device;
        const Point d(on.minX() + *rc::gen::inRange(0, int(on.width())), on.minY() + *rc::gen::inRange(0, int(on.height())));
        RC_ASSERT(near(map.toDevice(map.toPoints(d)), d));
        const Rect window(d.x - 300, d.y - 200, 600, 400);
        RC_ASSERT(near(map.toDevice(map.toPoints(window)), window));
        const Point p = map.toPoints(d);
        RC_ASSERT(near(map.toPoints(map.toDevice(p)), p));
    }
}
