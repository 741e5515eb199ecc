// The connection to the X server: opening it with the extensions the
// backend uses, and the window numbers that are never reused within a run.

#include "app/platform/x11/x11_impl.h"

#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/res.h>
#include "app/platform/x11/x11_xkb.h"
#include <xcb/xinput.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <unistd.h>

#include <algorithm>
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
    atomGtkFrameExtents = intern("_GTK_FRAME_EXTENTS");
    atomGtkApplicationId = intern("_GTK_APPLICATION_ID");
    atomKdeDesktopFile = intern("_KDE_NET_WM_DESKTOP_FILE");

    // A window manager that follows EWMH names its check window on the root.
    xcb_window_t check = XCB_NONE;
    if (xcb_ewmh_get_supporting_wm_check_reply(&ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, root), &check,
                                               nullptr))
        wmPresent = check != XCB_NONE;

    if (wmPresent) {
        xcb_ewmh_get_atoms_reply_t supported;
        if (xcb_ewmh_get_supported_reply(&ewmh, xcb_ewmh_get_supported(&ewmh, screenNumber), &supported, nullptr)) {
            const xcb_atom_t* first = supported.atoms;
            const xcb_atom_t* last = supported.atoms + supported.atoms_len;
            extentsRequestListed = std::find(first, last, ewmh._NET_REQUEST_FRAME_EXTENTS) != last;
            extentsPublished = std::find(first, last, ewmh._NET_FRAME_EXTENTS) != last;
            xcb_ewmh_get_atoms_reply_wipe(&supported);
        }
    }

    // The frames' own changes (the root's children) tell that the manager
    // is answering a write.
    // Structure events bring the announcement of a new settings manager.
    const std::uint32_t rootEvents =
        XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &rootEvents);

    helper = xcb_generate_id(c);
    const std::uint32_t helperEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, helper, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &helperEvents);
    // Whether the manager answers the request it lists shows in the events;
    // nothing waits for it here.
    if (extentsRequestListed) {
        xcb_ewmh_request_frame_extents(&ewmh, screenNumber, helper);
        extentsProbePending = true;
        extentsProbeSent = std::chrono::steady_clock::now();
        extentsUnanswered.push_back(extentsProbeSent);
    }

    if (const auto* ext = xcb_get_extension_data(c, &xcb_input_id); ext && ext->present) {
        XReply<xcb_input_xi_query_version_reply_t> v(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 4), nullptr));
        hasXInput = v && (v->major_version > 2 || (v->major_version == 2 && v->minor_version >= 1));
        hasGestures = v && (v->major_version > 2 || (v->major_version == 2 && v->minor_version >= 4));
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
    watchXSettings();
    refreshMap();
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
    const auto selected = xcb_change_window_attributes_checked(c, window, XCB_CW_EVENT_MASK, &events);
    std::lock_guard guard(numbersMutex);
    selecting.emplace_back(window, selected);
    KnownWindow k{.number = nextNumber++, .pid = pid};
    known.emplace(window, k);
    windowOf.emplace(k.number, window);
    if (std::find(appOrder.begin(), appOrder.end(), pid) == appOrder.end())
        appOrder.push_back(pid);
    return k;
}

void Impl::confirmAdopted(std::size_t count)
{
    std::vector<std::pair<xcb_window_t, xcb_void_cookie_t>> asked;
    {
        std::lock_guard guard(numbersMutex);
        count = std::min(count, selecting.size());
        asked.assign(selecting.begin(), selecting.begin() + std::ptrdiff_t(count));
        selecting.erase(selecting.begin(), selecting.begin() + std::ptrdiff_t(count));
    }
    for (const auto& [window, cookie] : asked)
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            std::free(error);
            forget(window);
        }
}

void Impl::forget(xcb_window_t window)
{
    remembered.erase(window);
    windowIcons.erase(window);
    sent.erase(window);
    WindowID number = 0;
    {
        std::lock_guard guard(numbersMutex);
        auto it = known.find(window);
        if (it == known.end())
            return;
        number = it->second.number;
        windowOf.erase(number);
        known.erase(it);
        for (auto& [pid, windows] : hiddenBy)
            windows.erase(window);
    }
    if (closeObservers.empty())
        return;
    // Told from the loop, never from inside a read that met the destruction.
    queue([this, number] {
        std::vector<std::uint64_t> ids;
        for (const auto& [id, f] : closeObservers)
            ids.push_back(id);
        for (auto id : ids)
            if (const auto it = closeObservers.find(id); it != closeObservers.end()) {
                const auto f = it->second;
                f(number);
            }
    });
}

std::optional<xcb_window_t> Impl::windowFor(WindowID number) const
{
    std::lock_guard guard(numbersMutex);
    auto it = windowOf.find(number);
    if (it == windowOf.end())
        return std::nullopt;
    return it->second;
}

std::vector<xcb_window_t> Impl::windowsOfPid(std::int32_t pid) const
{
    std::vector<std::pair<WindowID, xcb_window_t>> found;
    {
        std::lock_guard guard(numbersMutex);
        for (const auto& [window, k] : known)
            if (k.pid == pid && window != helper)
                found.emplace_back(k.number, window);
    }
    std::sort(found.begin(), found.end());
    std::vector<xcb_window_t> out;
    for (const auto& [number, window] : found)
        out.push_back(window);
    return out;
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

} // namespace kavelo
