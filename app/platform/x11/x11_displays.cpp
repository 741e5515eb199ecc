// The monitors of an X server as displays: RandR monitors, work areas and
// the names and numbers of their EDID.

#include "app/platform/x11/x11_impl.h"

#include "core/screen_coordinates.h"

#include <xcb/randr.h>

#include <algorithm>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

struct Edid {
    std::uint32_t vendor = 0, model = 0, serial = 0;
    std::optional<std::string> name;
};

// An output's EDID bytes, read once until RandR tells of a change.
const std::vector<std::uint8_t>& edidBytes(Impl& impl, std::uint32_t output)
{
    if (const auto known = impl.edids.find(output); known != impl.edids.end())
        return known->second;
    std::vector<std::uint8_t> bytes;
    XReply<xcb_randr_get_output_property_reply_t> reply(xcb_randr_get_output_property_reply(
        impl.c, xcb_randr_get_output_property(impl.c, output, impl.atomEdid, XCB_GET_PROPERTY_TYPE_ANY, 0, 64, 0, 0),
        nullptr));
    if (reply && reply->format == 8) {
        const std::uint8_t* data = xcb_randr_get_output_property_data(reply.get());
        bytes.assign(data, data + xcb_randr_get_output_property_data_length(reply.get()));
    }
    return impl.edids.emplace(output, std::move(bytes)).first->second;
}

std::optional<Edid> edidOf(Impl& impl, const std::vector<std::uint32_t>& outputs)
{
    for (std::uint32_t output : outputs) {
        const auto& bytes = edidBytes(impl, output);
        if (bytes.size() < 128)
            continue;
        const std::uint8_t* b = bytes.data();
        Edid edid;
        edid.vendor = std::uint32_t(b[8]) << 8 | b[9];
        edid.model = std::uint32_t(b[10]) | std::uint32_t(b[11]) << 8;
        edid.serial = std::uint32_t(b[12]) | std::uint32_t(b[13]) << 8 | std::uint32_t(b[14]) << 16 |
                      std::uint32_t(b[15]) << 24;
        for (int offset : {54, 72, 90, 108}) {
            const std::uint8_t* d = b + offset;
            if (d[0] == 0 && d[1] == 0 && d[2] == 0 && d[3] == 0xFC) {
                std::string text(reinterpret_cast<const char*>(d + 5), 13);
                text = text.substr(0, text.find('\n'));
                while (!text.empty() && text.back() == ' ')
                    text.pop_back();
                if (!text.empty())
                    edid.name = text;
            }
        }
        return edid;
    }
    return std::nullopt;
}

std::uint32_t displayID(const std::string& rawName)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char ch : rawName) {
        hash ^= ch;
        hash *= 16777619u;
    }
    return hash == 0 ? 1 : hash;
}

} // namespace

std::vector<Screen> screensOf(Impl& impl)
{
    const auto monitors = impl.monitors();
    const auto areas = impl.workAreas();
    const auto desktop = impl.currentDesktopIndex().value_or(0);
    // A change whose event has not been read yet.
    bool mapped = impl.map.count() == monitors.size();
    for (std::size_t i = 0; mapped && i < monitors.size(); ++i)
        mapped = impl.map.screen(i).device == monitors[i].frame;
    if (!mapped)
        impl.refreshMap();
    const DeviceMap& map = impl.map;
    const auto bottomLeft = [&](const Rect& r) { return ScreenCoordinates::flip(r, impl.primaryHeight()); };
    std::vector<Screen> out;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const auto& m = monitors[i];
        Rect visible = m.frame;
        if (desktop < areas.size()) {
            const Rect cut = m.frame.intersection(areas[desktop]);
            if (!cut.isNull() && !cut.isEmpty())
                visible = cut;
        }
        Screen s{.id = displayID(m.rawName),
                 .frame = bottomLeft(map.toPoints(m.frame, i)),
                 .visibleFrame = bottomLeft(map.toPoints(visible, i)),
                 .scale = map.screen(i).scale};
        std::string name = m.rawName;
        if (auto edid = edidOf(impl, m.outputs)) {
            s.vendor = edid->vendor;
            s.model = edid->model;
            s.serial = edid->serial;
            if (edid->name)
                name = *edid->name;
        }
        // Identical monitors are told apart by a suffix.
        std::string unique = name;
        for (int n = 2; std::any_of(out.begin(), out.end(), [&](const Screen& o) { return o.name == unique; }); ++n)
            unique = name + " (" + std::to_string(n) + ")";
        s.name = unique;
        while (std::any_of(out.begin(), out.end(), [&](const Screen& o) { return o.id == s.id; }))
            ++s.id;
        out.push_back(s);
    }
    return out;
}

namespace {

class X11Displays : public Displays, X11Facade {
public:
    using X11Facade::X11Facade;
    std::vector<Screen> screens() const override { return screensOf(impl); }
    Handle onChange(std::function<void()> handler) override
    {
        return impl.observe(&Impl::displayObservers, std::move(handler));
    }
};

} // namespace

std::unique_ptr<Displays> makeX11Displays(Impl& impl) { return std::make_unique<X11Displays>(impl); }

} // namespace kavelo
