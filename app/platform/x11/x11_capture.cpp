#include "app/platform/x11/x11_impl.h"

#include <xcb/composite.h>

#include <algorithm>
#include <cmath>

namespace kavelo {

using Impl = X11Desktop::Impl;

xcb_connection_t* Impl::captureConnection() const
{
    std::lock_guard guard(captureMutex);
    if (!captureConn) {
        xcb_connection_t* fresh = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr);
        if (!fresh || xcb_connection_has_error(fresh)) {
            if (fresh)
                xcb_disconnect(fresh);
            return nullptr;
        }
        captureConn = fresh;
    }
    return captureConn;
}

namespace {

int bitsPerPixel(xcb_connection_t* c, std::uint8_t depth)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == depth)
            return it.data->bits_per_pixel;
    return 0;
}

} // namespace

namespace {

// Source rows (or columns) [first, last) under target row `t` of `count`
// when `length` source rows are reduced to `count`.
std::pair<int, int> span(int t, int count, int length)
{
    const double step = double(length) / count;
    const int first = std::min(length - 1, int(std::floor(t * step)));
    const int last = std::max(first + 1, std::min(length, int(std::ceil((t + 1) * step))));
    return {first, last};
}

} // namespace

// The window with its decorations, from its off-screen picture when the
// Composite extension keeps one (covered parts included), else from the
// screen. Minimized windows and those on other desktops have no picture.
//
// The window is read a band of rows at a time and each band reduced to the
// picture's rows at once, so a capture holds one band, never the window's
// whole picture; a window larger than any screen is not read at all.
std::optional<Image> Impl::captureWindow(xcb_window_t window, int width, int height) const
{
    xcb_connection_t* cc = captureConnection();
    if (!cc)
        return std::nullopt;
    const xcb_window_t top = topLevel(cc, window);
    XReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(cc, xcb_get_window_attributes(cc, top), nullptr));
    XReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(cc, xcb_get_geometry(cc, top), nullptr));
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return std::nullopt;
    const int w = geometry->width + 2 * geometry->border_width;
    const int h = geometry->height + 2 * geometry->border_width;
    if (w <= 0 || h <= 0 || std::int64_t(w) * h > captureLimitPixels)
        return std::nullopt;
    width = std::min(width, w);
    height = std::min(height, h);

    xcb_drawable_t source = top;
    std::int16_t x = 0, y = 0;
    std::uint8_t depth = geometry->depth;
    xcb_pixmap_t pixmap = XCB_NONE;
    if (hasComposite) {
        pixmap = xcb_generate_id(cc);
        if (xcb_generic_error_t* error =
                xcb_request_check(cc, xcb_composite_name_window_pixmap_checked(cc, top, pixmap))) {
            std::free(error);
            pixmap = XCB_NONE;
        } else {
            source = pixmap;
        }
    }
    if (pixmap == XCB_NONE) {
        // From the screen: whatever covers the window comes along.
        XReply<xcb_translate_coordinates_reply_t> at(
            xcb_translate_coordinates_reply(cc, xcb_translate_coordinates(cc, top, root, 0, 0), nullptr));
        if (!at)
            return std::nullopt;
        source = root;
        x = at->dst_x;
        y = at->dst_y;
        depth = screen->root_depth;
    }
    const bool lsbFirst = xcb_get_setup(cc)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    const bool ok = bitsPerPixel(cc, depth) == 32;

    Image out{.width = width, .height = height};
    out.rgba.resize(std::size_t(width) * height * 4);
    std::vector<std::pair<int, int>> columns(static_cast<std::size_t>(width));
    for (int tx = 0; tx < width; ++tx)
        columns[std::size_t(tx)] = span(tx, width, w);
    std::vector<std::uint64_t> sums(std::size_t(width) * 4);
    bool read = ok;
    for (int ty = 0; read && ty < height;) {
        // As many picture rows as one band of source rows holds, at least one.
        const int first = span(ty, height, h).first;
        int end = ty + 1;
        while (end < height && std::int64_t(span(end, height, h).second - first) * w * 4 <= captureBandBytes)
            ++end;
        const int last = span(end - 1, height, h).second;
        XReply<xcb_get_image_reply_t> band(xcb_get_image_reply(
            cc,
            xcb_get_image(cc, XCB_IMAGE_FORMAT_Z_PIXMAP, source, x, std::int16_t(y + first), std::uint16_t(w),
                          std::uint16_t(last - first), ~0u),
            nullptr));
        if (!band || xcb_get_image_data_length(band.get()) < std::int64_t(w) * (last - first) * 4) {
            read = false;
            break;
        }
        const std::uint8_t* data = xcb_get_image_data(band.get());
        for (; ty < end; ++ty) {
            const auto [y0, y1] = span(ty, height, h);
            std::fill(sums.begin(), sums.end(), 0);
            for (int sy = y0; sy < y1; ++sy) {
                const std::uint8_t* row = data + std::size_t(sy - first) * w * 4;
                for (int tx = 0; tx < width; ++tx) {
                    std::uint64_t* sum = sums.data() + std::size_t(tx) * 4;
                    const auto [x0, x1] = columns[std::size_t(tx)];
                    for (int sx = x0; sx < x1; ++sx) {
                        const std::uint8_t* px = row + std::size_t(sx) * 4;
                        const std::uint32_t value =
                            lsbFirst ? std::uint32_t(px[0]) | std::uint32_t(px[1]) << 8 | std::uint32_t(px[2]) << 16 |
                                           std::uint32_t(px[3]) << 24
                                     : std::uint32_t(px[3]) | std::uint32_t(px[2]) << 8 | std::uint32_t(px[1]) << 16 |
                                           std::uint32_t(px[0]) << 24;
                        sum[0] += (value >> 16) & 0xFF;
                        sum[1] += (value >> 8) & 0xFF;
                        sum[2] += value & 0xFF;
                        sum[3] += depth == 32 ? value >> 24 : 255;
                    }
                }
            }
            std::uint8_t* target = out.rgba.data() + std::size_t(ty) * width * 4;
            for (int tx = 0; tx < width; ++tx) {
                const auto [x0, x1] = columns[std::size_t(tx)];
                const std::uint64_t count = std::uint64_t(y1 - y0) * std::uint64_t(x1 - x0);
                for (int k = 0; k < 4; ++k)
                    target[std::size_t(tx) * 4 + std::size_t(k)] =
                        std::uint8_t((sums[std::size_t(tx) * 4 + std::size_t(k)] + count / 2) / count);
            }
        }
    }
    if (pixmap != XCB_NONE)
        xcb_free_pixmap(cc, pixmap);
    xcb_flush(cc);
    if (!read)
        return std::nullopt;
    return out;
}

Image scaled(const Image& source, int width, int height)
{
    if (source.width == width && source.height == height)
        return source;
    Image out{.width = width, .height = height};
    out.rgba.resize(std::size_t(width) * height * 4);
    for (int ty = 0; ty < height; ++ty) {
        const auto [y0, y1] = span(ty, height, source.height);
        for (int tx = 0; tx < width; ++tx) {
            const auto [x0, x1] = span(tx, width, source.width);
            std::uint64_t sum[4] = {0, 0, 0, 0};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    const std::uint8_t* p = source.rgba.data() + (std::size_t(y) * source.width + x) * 4;
                    for (int k = 0; k < 4; ++k)
                        sum[k] += p[k];
                }
            const std::uint64_t count = std::uint64_t(y1 - y0) * std::uint64_t(x1 - x0);
            std::uint8_t* q = out.rgba.data() + (std::size_t(ty) * width + tx) * 4;
            for (int k = 0; k < 4; ++k)
                q[k] = std::uint8_t((sum[k] + count / 2) / count);
        }
    }
    return out;
}

// ---------------------------------------------------------------- interface

namespace {

class X11Capture : public WindowCapture, X11Facade {
public:
    using X11Facade::X11Facade;
    bool isAllowed() const override { return true; }
    bool requestAccess() override { return true; }
    bool needsGrant() const override { return false; }
    // Safe from any thread: only windows already numbered are listed.
    std::optional<std::vector<CapturableWindow>> windows() const override
    {
        std::vector<std::pair<WindowID, xcb_window_t>> known;
        {
            std::lock_guard guard(impl.numbersMutex);
            for (const auto& [number, window] : impl.windowOf)
                known.emplace_back(number, window);
        }
        std::sort(known.begin(), known.end());
        xcb_connection_t* c = impl.captureConnection();
        if (!c)
            return std::nullopt;
        std::vector<xcb_window_t> windows;
        for (const auto& [number, window] : known)
            windows.push_back(window);
        std::vector<xcb_get_geometry_cookie_t> cookies;
        for (xcb_window_t top : topLevels(c, windows))
            cookies.push_back(xcb_get_geometry(c, top));
        const DeviceMap map = impl.workerMap();
        std::vector<CapturableWindow> out;
        for (std::size_t i = 0; i < known.size(); ++i) {
            XReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, cookies[i], nullptr));
            if (g) {
                const Rect frame(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
                out.push_back({known[i].first, map.toPoints(frame).size});
            }
        }
        return out;
    }
    std::optional<Image> capture(WindowID number, int width, int height) const override
    {
        if (width <= 0 || height <= 0)
            return std::nullopt;
        const auto window = impl.windowFor(number);
        if (!window)
            return std::nullopt;
        return impl.captureWindow(*window, width, height);
    }
};

} // namespace

std::unique_ptr<WindowCapture> makeX11Capture(Impl& impl) { return std::make_unique<X11Capture>(impl); }

} // namespace kavelo
