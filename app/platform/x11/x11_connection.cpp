#include "app/platform/x11/x11_impl.h"

#include "core/json.h"
#include "core/screen_coordinates.h"

#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/xinput.h>
#include "app/platform/x11/x11_xkb.h"
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstring>

namespace kavelo {

using Impl = X11Desktop::Impl;

bool ClientProps::hasState(xcb_atom_t atom) const
{
    return atom != XCB_NONE && std::find(states.begin(), states.end(), atom) != states.end();
}

bool ClientProps::hasType(xcb_atom_t atom) const
{
    return atom != XCB_NONE && std::find(types.begin(), types.end(), atom) != types.end();
}

Impl::~Impl()
{
    if (keymap)
        xkb_keymap_unref(keymap);
    if (xkbContext)
        xkb_context_unref(xkbContext);
    if (ewmhReady)
        xcb_ewmh_connection_wipe(&ewmh);
    if (captureConn)
        xcb_disconnect(captureConn);
    if (c)
        xcb_disconnect(c);
}

xcb_atom_t Impl::intern(const char* name) const
{
    XReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

bool Impl::open(const std::string& display, std::string* error)
{
    int screenIndex = 0;
    c = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenIndex);
    if (!c || xcb_connection_has_error(c)) {
        if (error)
            *error = "cannot open display " + (display.empty() ? std::string("(DISPLAY)") : display);
        return false;
    }
    screenNumber = screenIndex;
    displayName = display;
    const xcb_setup_t* setup = xcb_get_setup(c);
    resourceMask = setup->resource_id_mask;
    auto it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenIndex && it.rem; ++i)
        xcb_screen_next(&it);
    screen = it.data;
    if (!screen) {
        if (error)
            *error = "the display has no screen";
        return false;
    }
    root = screen->root;
    ownPid = std::int32_t(getpid());

    ewmhReady = xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(c, &ewmh), nullptr) != 0;
    if (!ewmhReady) {
        if (error)
            *error = "cannot set up the EWMH atoms";
        return false;
    }
    atomWmChangeState = intern("WM_CHANGE_STATE");
    atomEdid = intern("EDID");
    atomRulesNames = intern("_XKB_RULES_NAMES");
    atomOpacity = intern("_NET_WM_WINDOW_OPACITY");

    // A window manager that follows EWMH names its check window on the root.
    xcb_window_t check = XCB_NONE;
    if (xcb_ewmh_get_supporting_wm_check_reply(&ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, root), &check,
                                               nullptr))
        wmPresent = check != XCB_NONE;

    const std::uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &rootEvents);

    helper = xcb_generate_id(c);
    const std::uint32_t helperEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, helper, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &helperEvents);

    if (const auto* ext = xcb_get_extension_data(c, &xcb_input_id); ext && ext->present) {
        XReply<xcb_input_xi_query_version_reply_t> v(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
        hasXInput = v && (v->major_version > 2 || (v->major_version == 2 && v->minor_version >= 1));
        xinputOpcode = ext->major_opcode;
    }
    if (const auto* ext = xcb_get_extension_data(c, &xcb_randr_id); ext && ext->present) {
        XReply<xcb_randr_query_version_reply_t> v(
            xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
        hasRandr = v && (v->major_version > 1 || v->minor_version >= 5);
        randrEventBase = ext->first_event;
        if (hasRandr)
            xcb_randr_select_input(c, root,
                                   XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                                       XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE);
    }
    if (const auto* ext = xcb_get_extension_data(c, &xcb_composite_id); ext && ext->present) {
        XReply<xcb_composite_query_version_reply_t> v(
            xcb_composite_query_version_reply(c, xcb_composite_query_version(c, 0, 2), nullptr));
        hasComposite = v && (v->major_version > 0 || v->minor_version >= 2);
        // Off-screen contents for the captures; automatic redirection sits
        // alongside a compositing manager.
        if (hasComposite)
            xcb_composite_redirect_subwindows(c, root, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    }
    if (const auto* ext = xcb_get_extension_data(c, &xcb_res_id); ext && ext->present) {
        XReply<xcb_res_query_version_reply_t> v(
            xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
        hasRes = v && (v->server_major > 1 || v->server_minor >= 2);
    }
    if (const auto* ext = xcb_get_extension_data(c, &xcb_test_id); ext && ext->present)
        hasXTest = true;

    // The keyboard map, and key repeats told apart from presses.
    std::uint8_t xkbBase = 0;
    if (xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &xkbBase, nullptr)) {
        xkbEventBase = xkbBase;
        xkbContext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        keyboardDevice = xkb_x11_get_core_keyboard_device_id(c);
        loadKeymap();
        const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, 0xFF, 0xFF, nullptr);
        xcb_discard_reply(c, xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD,
                                                      XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                                      XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0)
                                 .sequence);
    } else {
        classicOf.fill(-1);
    }
    refreshOrigin();
    xcb_flush(c);
    return !xcb_connection_has_error(c);
}

// ---------------------------------------------------------------- numbers

KnownWindow Impl::adopt(xcb_window_t window)
{
    {
        std::lock_guard guard(numbersMutex);
        if (auto it = known.find(window); it != known.end())
            return it->second;
    }
    const std::int32_t pid = readPid(window);
    // Destruction tells us when the server may hand the id out again.
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &events);
    std::lock_guard guard(numbersMutex);
    KnownWindow k{.number = nextNumber++, .pid = pid};
    known.emplace(window, k);
    windowOf.emplace(k.number, window);
    if (std::find(appOrder.begin(), appOrder.end(), pid) == appOrder.end())
        appOrder.push_back(pid);
    return k;
}

void Impl::forget(xcb_window_t window)
{
    std::lock_guard guard(numbersMutex);
    auto it = known.find(window);
    if (it == known.end())
        return;
    windowOf.erase(it->second.number);
    known.erase(it);
    for (auto& [pid, windows] : hiddenBy)
        windows.erase(window);
}

std::optional<xcb_window_t> Impl::windowFor(WindowID number) const
{
    std::lock_guard guard(numbersMutex);
    auto it = windowOf.find(number);
    if (it == windowOf.end())
        return std::nullopt;
    return it->second;
}

std::optional<KnownWindow> Impl::knownFor(xcb_window_t window) const
{
    std::lock_guard guard(numbersMutex);
    auto it = known.find(window);
    if (it == known.end())
        return std::nullopt;
    return it->second;
}

std::int32_t Impl::readPid(xcb_window_t window) const
{
    std::uint32_t pid = 0;
    if (xcb_ewmh_get_wm_pid_reply(const_cast<xcb_ewmh_connection_t*>(&ewmh),
                                  xcb_ewmh_get_wm_pid(const_cast<xcb_ewmh_connection_t*>(&ewmh), window), &pid,
                                  nullptr) &&
        pid > 0)
        return std::int32_t(pid);
    if (hasRes) {
        xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        XReply<xcb_res_query_client_ids_reply_t> reply(
            xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &wanted), nullptr));
        if (reply) {
            for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
                 xcb_res_client_id_value_next(&it)) {
                // Each answer starts with the id it answers (its first member).
                const auto* answered = reinterpret_cast<const xcb_res_client_id_spec_t*>(it.data);
                if ((answered->mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
                    xcb_res_client_id_value_value_length(it.data) >= 1)
                    return std::int32_t(*xcb_res_client_id_value_value(it.data));
            }
        }
    }
    // A remote client: one stand-in process per client connection.
    return -std::int32_t((window & ~resourceMask) >> 21) - 1;
}

// ---------------------------------------------------------------- reading

std::vector<xcb_window_t> Impl::stacking()
{
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

std::vector<ClientProps> Impl::read(const std::vector<xcb_window_t>& windows, unsigned fields) const
{
    using namespace X11Fields;
    struct Cookies {
        xcb_get_geometry_cookie_t geometry{};
        xcb_translate_coordinates_cookie_t translate{};
        xcb_get_property_cookie_t extents{}, state{}, type{}, transient{}, netName{}, name{}, wmClass{}, desktop{},
            hints{}, allowed{}, opacity{};
        xcb_get_window_attributes_cookie_t attributes{};
    };
    auto* e = const_cast<xcb_ewmh_connection_t*>(&ewmh);
    const auto prop = [&](xcb_window_t w, xcb_atom_t atom, xcb_atom_t type, std::uint32_t length) {
        return xcb_get_property(c, 0, w, atom, type, 0, length);
    };
    std::vector<Cookies> cookies(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const xcb_window_t w = windows[i];
        auto& k = cookies[i];
        k.geometry = xcb_get_geometry(c, w);
        if (fields & geometry) {
            k.translate = xcb_translate_coordinates(c, w, root, 0, 0);
            k.extents = prop(w, ewmh._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, 4);
        }
        if (fields & state)
            k.state = prop(w, ewmh._NET_WM_STATE, XCB_ATOM_ATOM, 64);
        if (fields & type) {
            k.type = prop(w, ewmh._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 64);
            k.transient = prop(w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1);
        }
        if (fields & title) {
            k.netName = prop(w, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, 4096);
            k.name = prop(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 4096);
        }
        if (fields & wmClass)
            k.wmClass = prop(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 1024);
        if (fields & desktop)
            k.desktop = prop(w, ewmh._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 1);
        if (fields & hints) {
            k.hints = xcb_icccm_get_wm_normal_hints(c, w);
            k.allowed = prop(w, ewmh._NET_WM_ALLOWED_ACTIONS, XCB_ATOM_ATOM, 64);
        }
        if (fields & mapState)
            k.attributes = xcb_get_window_attributes(c, w);
        if (fields & opacity)
            k.opacity = prop(w, atomOpacity, XCB_ATOM_CARDINAL, 1);
    }
    const auto reply = [&](xcb_get_property_cookie_t cookie) {
        return XReply<xcb_get_property_reply_t>(xcb_get_property_reply(c, cookie, nullptr));
    };
    std::vector<ClientProps> out(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        auto& k = cookies[i];
        auto& p = out[i];
        XReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, k.geometry, nullptr));
        p.alive = g != nullptr;
        if (g)
            p.client = Rect(g->x, g->y, g->width, g->height);
        if (fields & geometry) {
            XReply<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(c, k.translate, nullptr));
            if (t)
                p.client.origin = Point(t->dst_x, t->dst_y);
            const auto ext = cardinals(reply(k.extents).get());
            if (ext.size() == 4)
                p.extents = {double(ext[0]), double(ext[1]), double(ext[2]), double(ext[3])};
        }
        if (fields & state)
            p.states = atoms(reply(k.state).get());
        if (fields & type) {
            p.types = atoms(reply(k.type).get());
            auto t = reply(k.transient);
            if (t && t->format == 32 && xcb_get_property_value_length(t.get()) >= 4)
                p.transientFor = *static_cast<const xcb_window_t*>(xcb_get_property_value(t.get()));
        }
        if (fields & title) {
            auto net = reply(k.netName);
            auto plain = reply(k.name);
            if (net && net->type == ewmh.UTF8_STRING)
                p.title = propertyText(net.get());
            else if (plain && plain->type == ewmh.UTF8_STRING)
                p.title = propertyText(plain.get());
            else if (plain && plain->format == 8)
                p.title = latin1ToUtf8(propertyText(plain.get()));
        }
        if (fields & wmClass) {
            const std::string text = propertyText(reply(k.wmClass).get());
            const auto zero = text.find('\0');
            p.instance = text.substr(0, zero);
            if (zero != std::string::npos) {
                std::string rest = text.substr(zero + 1);
                p.className = rest.substr(0, rest.find('\0'));
            }
        }
        if (fields & desktop) {
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
        if (fields & opacity) {
            const auto o = cardinals(reply(k.opacity).get());
            if (!o.empty())
                p.opacity = double(o.front()) / 4294967295.0;
        }
    }
    (void)e;
    return out;
}

xcb_window_t Impl::frameOf(xcb_window_t window) const { return topLevel(c, window); }

xcb_window_t topLevel(xcb_connection_t* c, xcb_window_t window)
{
    xcb_window_t current = window;
    for (int depth = 0; depth < 16; ++depth) {
        XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, current), nullptr));
        if (!tree || tree->parent == XCB_NONE || tree->parent == tree->root)
            return current;
        current = tree->parent;
    }
    return current;
}

std::optional<std::uint32_t> Impl::currentDesktopIndex() const
{
    std::uint32_t desktop = 0;
    auto* e = const_cast<xcb_ewmh_connection_t*>(&ewmh);
    if (xcb_ewmh_get_current_desktop_reply(e, xcb_ewmh_get_current_desktop(e, screenNumber), &desktop, nullptr))
        return desktop;
    return std::nullopt;
}

bool Impl::onShownDesktop(const ClientProps& props, std::optional<std::uint32_t> current) const
{
    return !props.desktop || !current || *props.desktop == 0xFFFFFFFF || *props.desktop == *current;
}

Rect Impl::frameOf(const ClientProps& p) const
{
    const FrameExtents& e = p.extents;
    return Rect(p.client.minX() - e.left - origin.x, p.client.minY() - e.top - origin.y,
                p.client.width() + e.left + e.right, p.client.height() + e.top + e.bottom);
}

// ---------------------------------------------------------------- monitors

std::vector<Impl::Monitor> Impl::monitors() const
{
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
        primary = std::find_if(out.begin(), out.end(), [](const Monitor& m) { return m.frame.contains(Point(0, 0)); });
    if (primary == out.end())
        primary = std::min_element(out.begin(), out.end(), [](const Monitor& a, const Monitor& b) {
            return std::pair(a.frame.minY(), a.frame.minX()) < std::pair(b.frame.minY(), b.frame.minX());
        });
    std::rotate(out.begin(), primary, primary + 1);
    return out;
}

std::vector<Rect> Impl::workAreas() const
{
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
}

void Impl::refreshOrigin()
{
    const auto list = monitors();
    origin = list.empty() ? Point() : list.front().frame.origin;
}

// ---------------------------------------------------------------- writes

void Impl::moveResize(xcb_window_t window, std::optional<Point> frameTopLeft, std::optional<Size> clientSize)
{
    const auto x = frameTopLeft ? std::int32_t(std::lround(frameTopLeft->x + origin.x)) : 0;
    const auto y = frameTopLeft ? std::int32_t(std::lround(frameTopLeft->y + origin.y)) : 0;
    const auto w = clientSize ? std::uint32_t(std::max(1L, std::lround(clientSize->width))) : 0;
    const auto h = clientSize ? std::uint32_t(std::max(1L, std::lround(clientSize->height))) : 0;
    if (wmPresent) {
        int flags = 0;
        if (frameTopLeft)
            flags |= XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y;
        if (clientSize)
            flags |= XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT;
        // North-west gravity: the position names the frame's outer corner.
        xcb_ewmh_request_moveresize_window(&ewmh, screenNumber, window, XCB_GRAVITY_NORTH_WEST,
                                           XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                           xcb_ewmh_moveresize_window_opt_flags_t(flags), std::uint32_t(x),
                                           std::uint32_t(y), w, h);
    } else {
        std::uint16_t mask = 0;
        std::vector<std::uint32_t> values;
        if (frameTopLeft) {
            mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
            values.push_back(std::uint32_t(x));
            values.push_back(std::uint32_t(y));
        }
        if (clientSize) {
            mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
            values.push_back(w);
            values.push_back(h);
        }
        xcb_configure_window(c, window, mask, values.data());
    }
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::changeState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second)
{
    xcb_ewmh_request_change_wm_state(&ewmh, screenNumber, window,
                                     add ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE, first, second,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::iconify(xcb_window_t window)
{
    if (!wmPresent) {
        xcb_unmap_window(c, window);
    } else {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atomWmChangeState;
        message.data.data32[0] = XCB_ICCCM_WM_STATE_ICONIC;
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    }
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::deiconify(xcb_window_t window)
{
    if (wmPresent)
        changeState(window, false, ewmh._NET_WM_STATE_HIDDEN);
    xcb_map_window(c, window);
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::restack(xcb_window_t window)
{
    if (wmPresent) {
        xcb_ewmh_request_restack_window(&ewmh, screenNumber, window, XCB_NONE, XCB_STACK_MODE_ABOVE);
    } else {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::activateWindow(xcb_window_t window)
{
    if (wmPresent) {
        xcb_ewmh_request_change_active_window(&ewmh, screenNumber, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                              XCB_CURRENT_TIME, activeWindow().value_or(XCB_NONE));
    } else {
        restack(window);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::showDesktop(std::uint32_t desktop)
{
    xcb_ewmh_request_change_current_desktop(&ewmh, screenNumber, desktop, XCB_CURRENT_TIME);
    writesOutstanding = true;
    xcb_flush(c);
}

bool Impl::waitForEvent(const std::function<bool(const xcb_generic_event_t*)>& match, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const bool found = match(event);
            handle(event);
            std::free(event);
            if (found)
                return true;
        }
        if (xcb_connection_has_error(c))
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, int(left));
    }
}

// The manager handles its messages in order, so once it has answered a
// frame-extents request sent after our writes, they have all been applied.
void Impl::settleWrites()
{
    if (!writesOutstanding)
        return;
    writesOutstanding = false;
    if (wmPresent && barrierWorks) {
        xcb_ewmh_request_frame_extents(&ewmh, screenNumber, helper);
        xcb_flush(c);
        const bool answered = waitForEvent(
            [&](const xcb_generic_event_t* event) {
                if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                return p->window == helper && p->atom == ewmh._NET_FRAME_EXTENTS;
            },
            500);
        if (answered)
            return;
        barrierWorks = false;
    }
    roundTrip();
}

void Impl::roundTrip() const
{
    XReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// ---------------------------------------------------------------- applications

bool Impl::hiddenByApp(std::int32_t pid, xcb_window_t window) const
{
    auto it = hiddenBy.find(pid);
    return it != hiddenBy.end() && it->second.count(window);
}

std::optional<xcb_window_t> Impl::activeWindow() const
{
    xcb_window_t active = XCB_NONE;
    auto* e = const_cast<xcb_ewmh_connection_t*>(&ewmh);
    if (wmPresent &&
        xcb_ewmh_get_active_window_reply(e, xcb_ewmh_get_active_window(e, screenNumber), &active, nullptr) &&
        active != XCB_NONE)
        return active;
    if (!wmPresent) {
        XReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (focus && focus->focus != XCB_NONE && focus->focus != root && focus->focus != XCB_INPUT_FOCUS_POINTER_ROOT)
            return frameOf(focus->focus);
    }
    return std::nullopt;
}

std::optional<xcb_window_t> Impl::focusedOf(std::int32_t pid)
{
    const auto windows = stacking();
    std::vector<xcb_window_t> own;
    for (xcb_window_t w : windows)
        if (auto k = knownFor(w); k && k->pid == pid)
            own.push_back(w);
    if (own.empty())
        return std::nullopt;
    const auto props = read(own, X11Fields::state | X11Fields::desktop);
    const auto current = currentDesktopIndex();
    const auto focusable = [&](std::size_t i) {
        return props[i].alive && !props[i].hasState(ewmh._NET_WM_STATE_HIDDEN) && onShownDesktop(props[i], current);
    };
    std::optional<xcb_window_t> preferred = activeWindow();
    if (!preferred || !knownFor(*preferred) || knownFor(*preferred)->pid != pid) {
        auto it = lastFocused.find(pid);
        preferred = it == lastFocused.end() ? std::nullopt : std::optional(it->second);
    }
    for (std::size_t i = 0; i < own.size(); ++i)
        if (preferred && own[i] == *preferred && focusable(i))
            return own[i];
    for (std::size_t i = 0; i < own.size(); ++i)
        if (focusable(i))
            return own[i];
    return std::nullopt;
}

std::vector<RunningApp> Impl::runningApps()
{
    // Hiding is settled by the states the manager sets: read them only once
    // it has handled every request sent so far.
    settleWrites();
    const auto windows = stacking();
    const auto props = read(windows, X11Fields::wmClass | X11Fields::type | X11Fields::state);
    struct Seen {
        std::optional<std::string> className;
        std::string instance;
        bool regular = false;
        bool anyHiddenByApp = false;
    };
    std::map<std::int32_t, Seen> seen;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto k = knownFor(windows[i]);
        if (!k || !props[i].alive)
            continue;
        auto& s = seen[k->pid];
        const auto& p = props[i];
        if (!s.className && !p.className.empty())
            s.className = p.className;
        if (s.instance.empty())
            s.instance = p.instance;
        if (p.types.empty() || p.hasType(ewmh._NET_WM_WINDOW_TYPE_NORMAL) || p.hasType(ewmh._NET_WM_WINDOW_TYPE_DIALOG))
            s.regular = true;
        if (hiddenByApp(k->pid, windows[i]) && p.hasState(ewmh._NET_WM_STATE_HIDDEN))
            s.anyHiddenByApp = true;
    }
    // Windows restored by other means no longer count as hidden.
    for (auto it = hiddenBy.begin(); it != hiddenBy.end();) {
        auto s = seen.find(it->first);
        if (s == seen.end() || !s->second.anyHiddenByApp)
            it = hiddenBy.erase(it);
        else
            ++it;
    }
    std::vector<RunningApp> out;
    out.push_back(RunningApp{.pid = ownPid,
                             .bundleID = std::string("io.kavelo.Kavelo"),
                             .name = std::string("Kavelo"),
                             .policy = ActivationPolicy::accessory});
    DesktopEntries& entries = desktopEntries();
    entries.refresh();
    for (std::int32_t pid : appOrder) {
        auto s = seen.find(pid);
        if (pid == ownPid || s == seen.end())
            continue;
        std::optional<std::string> identity = s->second.className;
        std::string command;
        if (!identity && pid > 0) {
            if (auto comm = readFile("/proc/" + std::to_string(pid) + "/comm")) {
                command = *comm;
                while (!command.empty() && (command.back() == '\n' || command.back() == ' '))
                    command.pop_back();
                if (!command.empty())
                    identity = command;
            }
        }
        // The bundle identifier stays the class: stored workflows and settings name programs by it.
        std::string name =
            applicationName(entries, s->second.className.value_or(""), s->second.instance, command);
        out.push_back(RunningApp{.pid = pid,
                                 .bundleID = identity,
                                 .name = name.empty() ? std::nullopt : std::optional(std::move(name)),
                                 .policy = s->second.regular ? ActivationPolicy::regular : ActivationPolicy::accessory,
                                 .hidden = hiddenBy.count(pid) > 0});
    }
    return out;
}

std::optional<RunningApp> Impl::runningApp(std::int32_t pid)
{
    for (auto& app : runningApps())
        if (app.pid == pid)
            return app;
    return std::nullopt;
}

} // namespace kavelo
