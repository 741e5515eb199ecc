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

// The window with its decorations, from its off-screen picture when the
// Composite extension keeps one (covered parts included), else from the
// screen. Minimized windows and those on other desktops have no picture.
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
    if (w <= 0 || h <= 0)
        return std::nullopt;

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
    XReply<xcb_get_image_reply_t> picture(xcb_get_image_reply(
        cc, xcb_get_image(cc, XCB_IMAGE_FORMAT_Z_PIXMAP, source, x, y, std::uint16_t(w), std::uint16_t(h), ~0u),
        nullptr));
    if (pixmap != XCB_NONE)
        xcb_free_pixmap(cc, pixmap);
    xcb_flush(cc);
    if (!picture || bitsPerPixel(cc, depth) != 32)
        return std::nullopt;
    const std::uint8_t* data = xcb_get_image_data(picture.get());
    const int length = xcb_get_image_data_length(picture.get());
    if (length < w * h * 4)
        return std::nullopt;
    const bool lsbFirst = xcb_get_setup(cc)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    Image full{.width = w, .height = h};
    full.rgba.resize(std::size_t(w) * h * 4);
    for (int i = 0; i < w * h; ++i) {
        const std::uint8_t* px = data + std::size_t(i) * 4;
        const std::uint32_t value = lsbFirst ? std::uint32_t(px[0]) | std::uint32_t(px[1]) << 8 |
                                                   std::uint32_t(px[2]) << 16 | std::uint32_t(px[3]) << 24
                                             : std::uint32_t(px[3]) | std::uint32_t(px[2]) << 8 |
                                                   std::uint32_t(px[1]) << 16 | std::uint32_t(px[0]) << 24;
        std::uint8_t* out = full.rgba.data() + std::size_t(i) * 4;
        out[0] = std::uint8_t(value >> 16);
        out[1] = std::uint8_t(value >> 8);
        out[2] = std::uint8_t(value);
        out[3] = depth == 32 ? std::uint8_t(value >> 24) : 255;
    }
    return scaled(full, width, height);
}

Image scaled(const Image& source, int width, int height)
{
    if (source.width == width && source.height == height)
        return source;
    Image out{.width = width, .height = height};
    out.rgba.resize(std::size_t(width) * height * 4);
    const double sx = double(source.width) / width;
    const double sy = double(source.height) / height;
    for (int ty = 0; ty < height; ++ty) {
        const int y0 = std::min(source.height - 1, int(std::floor(ty * sy)));
        const int y1 = std::max(y0 + 1, std::min(source.height, int(std::ceil((ty + 1) * sy))));
        for (int tx = 0; tx < width; ++tx) {
            const int x0 = std::min(source.width - 1, int(std::floor(tx * sx)));
            const int x1 = std::max(x0 + 1, std::min(source.width, int(std::ceil((tx + 1) * sx))));
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
        std::vector<CapturableWindow> out;
        for (std::size_t i = 0; i < known.size(); ++i) {
            XReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, cookies[i], nullptr));
            if (g)
                out.push_back({known[i].first, Size(g->width + 2 * g->border_width, g->height + 2 * g->border_width)});
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
