// Reading the server: the managed windows in stacking order, the properties
// of client windows in one batch, frames, desktops and monitors.

#include "app/platform/x11/x11_impl.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <unordered_set>

namespace kavelo {

using Impl = X11Desktop::Impl;

// ---------------------------------------------------------------- reading

std::vector<xcb_window_t> Impl::stacking()
{
    return sharedAnswer(&SharedReads::stacking, [&] {
        const MainWaits::Timed timed(waits, "the window list");
        std::vector<xcb_window_t> out;
        if (wmPresent) {
            xcb_ewmh_get_windows_reply_t list;
            if (xcb_ewmh_get_client_list_stacking_reply(&ewmh, xcb_ewmh_get_client_list_stacking(&ewmh, screenNumber),
                                                        &list, nullptr)) {
                out.assign(list.windows, list.windows + list.windows_len);
                xcb_ewmh_get_windows_reply_wipe(&list);
            } else if (xcb_ewmh_get_client_list_reply(&ewmh, xcb_ewmh_get_client_list(&ewmh, screenNumber), &list,
                                                      nullptr)) {
                out.assign(list.windows, list.windows + list.windows_len);
                xcb_ewmh_get_windows_reply_wipe(&list);
            }
        } else {
            // No manager: the root's mapped children, minus override-redirect
            // windows (menus, tooltips, our own helper).
            XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
            if (tree) {
                const xcb_window_t* children = xcb_query_tree_children(tree.get());
                const int n = xcb_query_tree_children_length(tree.get());
                std::vector<xcb_get_window_attributes_cookie_t> cookies;
                for (int i = 0; i < n; ++i)
                    cookies.push_back(xcb_get_window_attributes(c, children[i]));
                for (int i = 0; i < n; ++i) {
                    XReply<xcb_get_window_attributes_reply_t> a(
                        xcb_get_window_attributes_reply(c, cookies[std::size_t(i)], nullptr));
                    if (a && !a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE && children[i] != helper)
                        out.push_back(children[i]);
                }
            }
        }
        // The list arrives bottom to top. Its round trip has queued every event
        // sent before it, destructions included, so the numbers are current.
        drainQueued();
        std::reverse(out.begin(), out.end());
        for (xcb_window_t w : out)
            adopt(w);
        return out;
    });
}

namespace {

std::string propertyText(const xcb_get_property_reply_t* reply)
{
    if (!reply || reply->format != 8)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                       std::size_t(xcb_get_property_value_length(reply)));
}

std::string latin1ToUtf8(const std::string& text)
{
    std::string out;
    for (unsigned char ch : text) {
        if (ch < 0x80) {
            out += char(ch);
        } else {
            out += char(0xC0 | (ch >> 6));
            out += char(0x80 | (ch & 0x3F));
        }
    }
    return out;
}

std::vector<xcb_atom_t> atoms(const xcb_get_property_reply_t* reply)
{
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM)
        return {};
    const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    return std::vector<xcb_atom_t>(data, data + xcb_get_property_value_length(reply) / 4);
}

std::vector<std::uint32_t> cardinals(const xcb_get_property_reply_t* reply)
{
    if (!reply || reply->format != 32)
        return {};
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    return std::vector<std::uint32_t>(data, data + xcb_get_property_value_length(reply) / 4);
}

} // namespace

std::vector<ClientProps> Impl::read(const std::vector<xcb_window_t>& windows, unsigned fields)
{
    using namespace X11Fields;
    forgetSharedAfterWrites();
    if (sharingReads == 0)
        return readFresh(windows, fields);
    const bool withHints = fields & hints;
    const auto has = [&](xcb_window_t w) { return shared.props.count(w) && (!withHints || shared.hinted.count(w)); };
    std::vector<xcb_window_t> missing;
    for (xcb_window_t w : windows)
        if (!has(w) && std::find(missing.begin(), missing.end(), w) == missing.end())
            missing.push_back(w);
    if (!missing.empty()) {
        // Frames and hints are asked window by window (a pass checks each
        // window it lays out, again after each write), a round trip each,
        // and on a busy server each waits behind the other clients'
        // drawing: every window we manage comes along in the one batch.
        std::unordered_set<xcb_window_t> batched(missing.begin(), missing.end());
        const auto add = [&](xcb_window_t w) {
            if (!has(w) && batched.insert(w).second)
                missing.push_back(w);
        };
        {
            std::lock_guard guard(numbersMutex);
            for (const auto& [w, k] : known)
                add(w);
        }
        if (withHints)
            for (const auto& [w, props] : shared.props)
                add(w);
        auto fresh = readFresh(missing, (all & ~hints) | appIds | (withHints ? hints : 0));
        for (std::size_t i = 0; i < missing.size(); ++i) {
            shared.props.insert_or_assign(missing[i], std::move(fresh[i]));
            if (withHints)
                shared.hinted.insert(missing[i]);
        }
    }
    std::vector<ClientProps> out;
    out.reserve(windows.size());
    for (xcb_window_t w : windows)
        out.push_back(shared.props.at(w));
    return out;
}

namespace {

// The fields a window's properties hold (of `geometry`, the decorations).
constexpr unsigned rememberable = X11Fields::geometry | X11Fields::state | X11Fields::type | X11Fields::title |
                                  X11Fields::wmClass | X11Fields::desktop | X11Fields::opacity | X11Fields::appIds;

void copyRemembered(ClientProps& to, const ClientProps& from, unsigned fields)
{
    using namespace X11Fields;
    if (fields & geometry) {
        to.extents = from.extents;
        to.margins = from.margins;
    }
    if (fields & state)
        to.states = from.states;
    if (fields & type) {
        to.types = from.types;
        to.transientFor = from.transientFor;
    }
    if (fields & title)
        to.title = from.title;
    if (fields & wmClass) {
        to.instance = from.instance;
        to.className = from.className;
    }
    if (fields & desktop)
        to.desktop = from.desktop;
    if (fields & opacity)
        to.opacity = from.opacity;
    if (fields & appIds) {
        to.applicationId = from.applicationId;
        to.desktopFile = from.desktopFile;
    }
}

} // namespace

std::optional<ClientProps> Impl::rememberedOnly(xcb_window_t window, unsigned fields)
{
    const auto memo = remembered.find(window);
    if (memo == remembered.end() || (memo->second.fields & fields) != fields)
        return std::nullopt;
    ClientProps props;
    copyRemembered(props, memo->second.props, fields);
    return props;
}

void Impl::forgetProperty(xcb_window_t window, xcb_atom_t atom)
{
    using namespace X11Fields;
    if (atom == ewmh._NET_WM_ICON)
        windowIcons.erase(window);
    const auto it = remembered.find(window);
    if (it == remembered.end())
        return;
    unsigned field = 0;
    if (atom == ewmh._NET_FRAME_EXTENTS || atom == atomGtkFrameExtents)
        field = geometry;
    else if (atom == ewmh._NET_WM_STATE)
        field = state;
    else if (atom == ewmh._NET_WM_WINDOW_TYPE || atom == XCB_ATOM_WM_TRANSIENT_FOR)
        field = type;
    else if (atom == ewmh._NET_WM_NAME || atom == XCB_ATOM_WM_NAME)
        field = title;
    else if (atom == XCB_ATOM_WM_CLASS)
        field = wmClass;
    else if (atom == ewmh._NET_WM_DESKTOP)
        field = desktop;
    else if (atom == atomOpacity)
        field = opacity;
    else if (atom == atomGtkApplicationId || atom == atomKdeDesktopFile)
        field = appIds;
    it->second.fields &= ~field;
}

std::vector<ClientProps> Impl::readFresh(const std::vector<xcb_window_t>& windows, unsigned fields)
{
    using namespace X11Fields;
    struct Cookies {
        xcb_get_geometry_cookie_t geometry{};
        xcb_translate_coordinates_cookie_t translate{};
        xcb_get_property_cookie_t extents{}, margins{}, state{}, type{}, transient{}, netName{}, name{}, wmClass{},
            desktop{}, hints{}, allowed{}, opacity{}, applicationId{}, desktopFile{};
        xcb_get_window_attributes_cookie_t attributes{};
        unsigned asked = 0;   // the remembered fields asked of the server
        // Adopted, and so reporting its changes, before they were asked.
        bool watched = false;
    };
    const auto prop = [&](xcb_window_t w, xcb_atom_t atom, xcb_atom_t type, std::uint32_t length) {
        return xcb_get_property(c, 0, w, atom, type, 0, length);
    };
    // Selections sent before these requests are answered with them.
    const std::size_t adoptedBefore = [&] {
        std::lock_guard guard(numbersMutex);
        return selecting.size();
    }();
    std::vector<Cookies> cookies(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const xcb_window_t w = windows[i];
        auto& k = cookies[i];
        k.geometry = xcb_get_geometry(c, w);
        if (fields & geometry)
            k.translate = xcb_translate_coordinates(c, w, root, 0, 0);
        if (fields & hints) {
            k.hints = xcb_icccm_get_wm_normal_hints(c, w);
            k.allowed = prop(w, ewmh._NET_WM_ALLOWED_ACTIONS, XCB_ATOM_ATOM, 64);
        }
        if (fields & mapState)
            k.attributes = xcb_get_window_attributes(c, w);
    }
    std::vector<ClientProps> out(windows.size());
    if (windows.empty())
        return out;
    ++propertyBatches;
    const MainWaits::Timed timed(waits, "the windows' properties");
    // The first answer comes after every event the server sent before it:
    // what changed since it was remembered is forgotten before it is used.
    XReply<xcb_get_geometry_reply_t> first(xcb_get_geometry_reply(c, cookies[0].geometry, nullptr));
    confirmAdopted(adoptedBefore);
    drainQueued();
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const xcb_window_t w = windows[i];
        auto& k = cookies[i];
        const auto memo = remembered.find(w);
        k.asked = fields & rememberable & ~(memo == remembered.end() ? 0u : memo->second.fields);
        k.watched = knownFor(w).has_value();
        if (k.asked & geometry) {
            k.extents = prop(w, ewmh._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, 4);
            k.margins = prop(w, atomGtkFrameExtents, XCB_ATOM_CARDINAL, 4);
        }
        if (k.asked & state)
            k.state = prop(w, ewmh._NET_WM_STATE, XCB_ATOM_ATOM, 64);
        if (k.asked & type) {
            k.type = prop(w, ewmh._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 64);
            k.transient = prop(w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1);
        }
        if (k.asked & title) {
            k.netName = prop(w, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, 4096);
            k.name = prop(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 4096);
        }
        if (k.asked & wmClass)
            k.wmClass = prop(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 1024);
        if (k.asked & desktop)
            k.desktop = prop(w, ewmh._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 1);
        if (k.asked & opacity)
            k.opacity = prop(w, atomOpacity, XCB_ATOM_CARDINAL, 1);
        if (k.asked & appIds) {
            k.applicationId = prop(w, atomGtkApplicationId, XCB_GET_PROPERTY_TYPE_ANY, 256);
            k.desktopFile = prop(w, atomKdeDesktopFile, XCB_GET_PROPERTY_TYPE_ANY, 1024);
        }
    }
    const auto reply = [&](xcb_get_property_cookie_t cookie) {
        return XReply<xcb_get_property_reply_t>(xcb_get_property_reply(c, cookie, nullptr));
    };
    // Windows whose decorations are read from their frame window.
    std::vector<std::size_t> unpublished;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        auto& k = cookies[i];
        auto& p = out[i];
        XReply<xcb_get_geometry_reply_t> g(i == 0 ? first.release()
                                                  : xcb_get_geometry_reply(c, k.geometry, nullptr));
        p.alive = g != nullptr;
        if (g)
            p.client = Rect(g->x, g->y, g->width, g->height);
        bool extentsListed = false;
        if (fields & geometry) {
            XReply<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(c, k.translate, nullptr));
            if (t)
                p.client.origin = Point(t->dst_x, t->dst_y);
        }
        if (k.asked & geometry) {
            const auto ext = cardinals(reply(k.extents).get());
            extentsListed = ext.size() == 4;
            if (extentsListed)
                p.extents = {double(ext[0]), double(ext[1]), double(ext[2]), double(ext[3])};
            const auto margins = cardinals(reply(k.margins).get());
            if (margins.size() == 4)
                p.margins = {double(margins[0]), double(margins[1]), double(margins[2]), double(margins[3])};
        }
        if (k.asked & state)
            p.states = atoms(reply(k.state).get());
        if (k.asked & type) {
            p.types = atoms(reply(k.type).get());
            auto t = reply(k.transient);
            if (t && t->format == 32 && xcb_get_property_value_length(t.get()) >= 4)
                p.transientFor = *static_cast<const xcb_window_t*>(xcb_get_property_value(t.get()));
        }
        if (k.asked & title) {
            auto net = reply(k.netName);
            auto plain = reply(k.name);
            if (net && net->type == ewmh.UTF8_STRING)
                p.title = propertyText(net.get());
            else if (plain && plain->type == ewmh.UTF8_STRING)
                p.title = propertyText(plain.get());
            else if (plain && plain->format == 8)
                p.title = latin1ToUtf8(propertyText(plain.get()));
        }
        if (k.asked & wmClass) {
            const std::string text = propertyText(reply(k.wmClass).get());
            const auto zero = text.find('\0');
            p.instance = text.substr(0, zero);
            if (zero != std::string::npos) {
                std::string rest = text.substr(zero + 1);
                p.className = rest.substr(0, rest.find('\0'));
            }
        }
        if (k.asked & desktop) {
            const auto d = cardinals(reply(k.desktop).get());
            if (!d.empty())
                p.desktop = d.front();
        }
        if (fields & hints) {
            p.hasHints = xcb_icccm_get_wm_normal_hints_reply(c, k.hints, &p.hints, nullptr) != 0;
            auto allowed = reply(k.allowed);
            p.hasAllowedActions = allowed && allowed->type == XCB_ATOM_ATOM;
            p.allowedActions = atoms(allowed.get());
        }
        if (fields & mapState) {
            XReply<xcb_get_window_attributes_reply_t> a(
                xcb_get_window_attributes_reply(c, k.attributes, nullptr));
            p.viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        }
        if (k.asked & opacity) {
            const auto o = cardinals(reply(k.opacity).get());
            if (!o.empty())
                p.opacity = double(o.front()) / 4294967295.0;
        }
        if (k.asked & appIds) {
            const auto upToNul = [](std::string text) { return text.substr(0, text.find('\0')); };
            p.applicationId = upToNul(propertyText(reply(k.applicationId).get()));
            p.desktopFile = upToNul(propertyText(reply(k.desktopFile).get()));
        }

        const unsigned kept = fields & rememberable & ~k.asked;
        if (kept) {
            const Remembered& memo = remembered.at(windows[i]);
            copyRemembered(p, memo.props, kept);
            if (kept & geometry)
                extentsListed = memo.extentsListed;
        }
        // A window that is gone is not remembered; one never adopted reports
        // no changes, and one adopted only after it was asked may have
        // changed in between unreported (a manager decorating a new window).
        if (k.asked && p.alive && k.watched && knownFor(windows[i])) {
            Remembered& memo = remembered[windows[i]];
            copyRemembered(memo.props, p, k.asked);
            memo.fields |= k.asked;
            if (k.asked & geometry)
                memo.extentsListed = extentsListed;
        }
        if ((fields & geometry) && p.alive && !extentsListed && wmPresent && !extentsPublished)
            unpublished.push_back(i);
    }
    if (!unpublished.empty())
        readFrameWindows(windows, unpublished, out);
    return out;
}

// A manager that publishes no _NET_FRAME_EXTENTS (i3) still reparents the
// client into a frame with its title bar and border: the decorations are
// what the frame (the root's child above the client) holds around it.
void Impl::readFrameWindows(const std::vector<xcb_window_t>& windows, const std::vector<std::size_t>& which,
                            std::vector<ClientProps>& props) const
{
    std::vector<xcb_window_t> asked;
    for (std::size_t i : which)
        asked.push_back(windows[i]);
    const std::vector<xcb_window_t> tops = topLevels(c, asked);
    std::vector<xcb_window_t> top(windows.size(), XCB_NONE);
    for (std::size_t k = 0; k < which.size(); ++k)
        top[which[k]] = tops[k];
    std::vector<std::pair<std::size_t, xcb_get_geometry_cookie_t>> frames;
    for (std::size_t i : which)
        if (top[i] != XCB_NONE && top[i] != windows[i])
            frames.emplace_back(i, xcb_get_geometry(c, top[i]));
    for (const auto& [i, cookie] : frames) {
        XReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, cookie, nullptr));
        if (!g)
            continue;
        // The frame's parent is the root: its corner is in root coordinates,
        // its border outside its size.
        const double border = 2.0 * g->border_width;
        const Rect frame(g->x, g->y, g->width + border, g->height + border);
        const Rect& client = props[i].client;
        props[i].extents = {std::max(0.0, client.minX() - frame.minX()), std::max(0.0, frame.maxX() - client.maxX()),
                            std::max(0.0, client.minY() - frame.minY()), std::max(0.0, frame.maxY() - client.maxY())};
    }
}

xcb_window_t Impl::frameOf(xcb_window_t window) const { return topLevel(c, window); }

xcb_window_t topLevel(xcb_connection_t* c, xcb_window_t window) { return topLevels(c, {window}).front(); }

// Level by level, every window's question of one level sent together.
std::vector<xcb_window_t> topLevels(xcb_connection_t* c, const std::vector<xcb_window_t>& windows)
{
    std::vector<xcb_window_t> current(windows);
    std::vector<std::size_t> open(windows.size());
    std::iota(open.begin(), open.end(), std::size_t(0));
    for (int depth = 0; depth < 16 && !open.empty(); ++depth) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        cookies.reserve(open.size());
        for (std::size_t i : open)
            cookies.push_back(xcb_query_tree(c, current[i]));
        std::vector<std::size_t> next;
        for (std::size_t k = 0; k < open.size(); ++k) {
            XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, cookies[k], nullptr));
            if (tree && tree->parent != XCB_NONE && tree->parent != tree->root) {
                current[open[k]] = tree->parent;
                next.push_back(open[k]);
            }
        }
        open = std::move(next);
    }
    return current;
}

std::optional<std::uint32_t> Impl::currentDesktopIndex() const
{
    return sharedAnswer(&SharedReads::desktop, [&] {
        std::optional<std::uint32_t> index;
        std::uint32_t desktop = 0;
        auto* e = const_cast<xcb_ewmh_connection_t*>(&ewmh);
        if (xcb_ewmh_get_current_desktop_reply(e, xcb_ewmh_get_current_desktop(e, screenNumber), &desktop, nullptr))
            index = desktop;
        return index;
    });
}

bool Impl::onShownDesktop(const ClientProps& props, std::optional<std::uint32_t> current) const
{
    return !props.desktop || !current || *props.desktop == 0xFFFFFFFF || *props.desktop == *current;
}

Rect Impl::rootFrameOf(const ClientProps& p) const
{
    const FrameExtents& e = p.extents;
    const FrameExtents& m = p.margins;
    return Rect(p.client.minX() - e.left + m.left, p.client.minY() - e.top + m.top,
                p.client.width() + e.left + e.right - m.left - m.right,
                p.client.height() + e.top + e.bottom - m.top - m.bottom);
}

// ---------------------------------------------------------------- monitors

std::vector<Impl::Monitor> Impl::monitors() const
{
    return sharedAnswer(&SharedReads::monitors, [&] {
        std::vector<Monitor> out;
        if (hasRandr) {
            XReply<xcb_randr_get_monitors_reply_t> reply(
                xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
            if (reply) {
                std::vector<xcb_get_atom_name_cookie_t> names;
                for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
                     xcb_randr_monitor_info_next(&it)) {
                    Monitor m;
                    m.nameAtom = it.data->name;
                    m.frame = Rect(it.data->x, it.data->y, it.data->width, it.data->height);
                    m.primary = it.data->primary;
                    const auto* outputs = xcb_randr_monitor_info_outputs(it.data);
                    m.outputs.assign(outputs, outputs + xcb_randr_monitor_info_outputs_length(it.data));
                    out.push_back(m);
                    names.push_back(xcb_get_atom_name(c, m.nameAtom));
                }
                for (std::size_t i = 0; i < out.size(); ++i) {
                    XReply<xcb_get_atom_name_reply_t> name(xcb_get_atom_name_reply(c, names[i], nullptr));
                    if (name)
                        out[i].rawName.assign(xcb_get_atom_name_name(name.get()),
                                              std::size_t(xcb_get_atom_name_name_length(name.get())));
                }
            }
        }
        out.erase(std::remove_if(out.begin(), out.end(), [](const Monitor& m) { return m.frame.isEmpty(); }),
                  out.end());
        if (out.empty())
            out.push_back(Monitor{.rawName = "Screen",
                                  .frame = Rect(0, 0, screen->width_in_pixels, screen->height_in_pixels),
                                  .primary = true});
        // Primary first; without one, the monitor at the root's origin, else
        // the top-left-most.
        auto primary = std::find_if(out.begin(), out.end(), [](const Monitor& m) { return m.primary; });
        if (primary == out.end())
            primary = std::find_if(out.begin(), out.end(),
                                   [](const Monitor& m) { return m.frame.contains(Point(0, 0)); });
        if (primary == out.end())
            primary = std::min_element(out.begin(), out.end(), [](const Monitor& a, const Monitor& b) {
                return std::pair(a.frame.minY(), a.frame.minX()) < std::pair(b.frame.minY(), b.frame.minX());
            });
        std::rotate(out.begin(), primary, primary + 1);
        return out;
    });
}

std::vector<Rect> Impl::workAreas() const
{
    return sharedAnswer(&SharedReads::workAreas, [&] {
        std::vector<Rect> out;
        auto* e = const_cast<xcb_ewmh_connection_t*>(&ewmh);
        xcb_ewmh_get_workarea_reply_t reply;
        if (xcb_ewmh_get_workarea_reply(e, xcb_ewmh_get_workarea(e, screenNumber), &reply, nullptr)) {
            for (std::uint32_t i = 0; i < reply.workarea_len; ++i)
                out.push_back(Rect(reply.workarea[i].x, reply.workarea[i].y, reply.workarea[i].width,
                                   reply.workarea[i].height));
            xcb_ewmh_get_workarea_reply_wipe(&reply);
        }
        return out;
    });
}

bool Impl::refreshMap()
{
    const auto toolkit = toolkitScreens ? toolkitScreens() : std::vector<ToolkitScreen>{};
    std::vector<DeviceScreen> screens;
    for (const auto& m : monitors()) {
        DeviceScreen s{.device = m.frame, .scale = 1, .toolkit = m.frame.origin};
        // The toolkit names monitors as RandR does; one it names otherwise
        // is known by its corner.
        auto it = std::find_if(toolkit.begin(), toolkit.end(), [&](const ToolkitScreen& t) { return t.name == m.rawName; });
        if (it == toolkit.end())
            it = std::find_if(toolkit.begin(), toolkit.end(),
                              [&](const ToolkitScreen& t) { return t.origin == m.frame.origin; });
        if (it != toolkit.end()) {
            s.scale = it->scale;
            s.toolkit = it->origin;
        }
        screens.push_back(s);
    }
    DeviceMap fresh(std::move(screens));
    if (fresh == map)
        return false;
    map = std::move(fresh);
    std::lock_guard guard(captureMutex);
    sharedMap = map;
    return true;
}

} // namespace kavelo
