#include "soak/server_watch.h"

#include <xcb/record.h>
#include <xcb/res.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

namespace kavelo::soak {

namespace {

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <class T>
Reply<T> reply(T* r)
{
    return Reply<T>(r, &std::free);
}

constexpr std::uint8_t configureWindow = 12;
constexpr std::uint8_t sendEvent = 25;
constexpr std::uint8_t reparentNotify = 21;
constexpr std::uint8_t configureNotify = 22;
constexpr std::uint8_t clientMessage = 33;
// What a RECORD reply carries.
enum Category : std::uint8_t { fromServer = 0, fromClient = 1, clientStarted = 2, clientDied = 3, startOfData = 4, endOfData = 5 };
constexpr auto askMemory = std::chrono::seconds(3);
constexpr auto askWindow = std::chrono::seconds(1);

template <class T>
T at(const std::uint8_t* p, std::size_t offset)
{
    T value;
    std::memcpy(&value, p + offset, sizeof value);
    return value;
}

std::string rect(double x, double y, double w, double h)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%.0f, %.0f, %.0f × %.0f)", x, y, w, h);
    return text;
}

Rect intersection(const Rect& a, const Rect& b)
{
    const Rect cut = a.intersection(b);
    return cut.isNull() ? Rect() : cut;
}

} // namespace

ServerWatch::ServerWatch(const std::string& display, pid_t kavelo, std::string* error) : display_(display), kavelo_(kavelo)
{
    events_ = xcb_connect(display.c_str(), nullptr);
    control_ = xcb_connect(display.c_str(), nullptr);
    data_ = xcb_connect(display.c_str(), nullptr);
    asking_ = xcb_connect(display.c_str(), nullptr);
    for (auto* c : {events_, control_, data_, asking_})
        if (xcb_connection_has_error(c)) {
            *error = "cannot connect to " + display;
            return;
        }
    const xcb_setup_t* setup = xcb_get_setup(events_);
    root_ = xcb_setup_roots_iterator(setup).data->root;
    idMask_ = setup->resource_id_mask;
    for (const char* name : {"_NET_MOVERESIZE_WINDOW", "_NET_WM_STATE", "WM_CHANGE_STATE", "_NET_ACTIVE_WINDOW",
                             "_NET_WM_MOVERESIZE", "_NET_RESTACK_WINDOW", "_NET_REQUEST_FRAME_EXTENTS"}) {
        auto r = reply(xcb_intern_atom_reply(events_, xcb_intern_atom(events_, 0, std::uint16_t(std::strlen(name)), name),
                                             nullptr));
        if (r) {
            atoms_[name] = r->atom;
            atomNames_[r->atom] = name;
        }
    }

    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(events_, root_, XCB_CW_EVENT_MASK, &mask);
    if (auto tree = reply(xcb_query_tree_reply(events_, xcb_query_tree(events_, root_), nullptr))) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            noteTopLevel(children[i]);
    }

    auto version = reply(xcb_record_query_version_reply(control_, xcb_record_query_version(control_, 1, 13), nullptr));
    if (!version) {
        *error = "the server has no RECORD extension";
        return;
    }
    context_ = xcb_generate_id(control_);
    xcb_record_range_t ranges[2]{};
    ranges[0].core_requests = {configureWindow, configureWindow};
    ranges[0].delivered_events = {reparentNotify, configureNotify};
    ranges[0].client_died = 1;
    ranges[1].core_requests = {sendEvent, sendEvent};
    const xcb_record_client_spec_t all = XCB_RECORD_CS_ALL_CLIENTS;
    if (auto e = reply(xcb_request_check(
            control_, xcb_record_create_context_checked(control_, context_, 0, 1, 2, &all, ranges)))) {
        *error = "cannot make a RECORD context";
        return;
    }
    ok_ = true;
    eventThread_ = std::thread([this] { watchEvents(); });
    recordThread_ = std::thread([this] { watchRequests(); });
}

ServerWatch::~ServerWatch()
{
    stop_ = true;
    if (recordThread_.joinable()) {
        // The data connection's endless reply ends with this.
        xcb_record_disable_context(control_, context_);
        xcb_flush(control_);
        recordThread_.join();
        xcb_record_free_context(control_, context_);
        xcb_flush(control_);
    }
    if (eventThread_.joinable())
        eventThread_.join();
    for (auto* c : {events_, control_, data_, asking_})
        if (c)
            xcb_disconnect(c);
}

// ---------------------------------------------------------------- panels

pid_t ServerWatch::pidOf(xcb_connection_t* c, xcb_window_t window) const
{
    xcb_res_client_id_spec_t ask{.client = window, .mask = XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto r = reply(xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &ask), nullptr));
    if (!r)
        return -1;
    for (auto it = xcb_res_query_client_ids_ids_iterator(r.get()); it.rem; xcb_res_client_id_value_next(&it))
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) && it.data->length >= 4)
            return pid_t(*xcb_res_client_id_value_value(it.data));
    return -1;
}

void ServerWatch::noteTopLevel(xcb_window_t window)
{
    auto geometry = reply(xcb_get_geometry_reply(events_, xcb_get_geometry(events_, window), nullptr));
    auto attributes =
        reply(xcb_get_window_attributes_reply(events_, xcb_get_window_attributes(events_, window), nullptr));
    if (!geometry || !attributes)
        return;
    TopLevel& t = tops_[window];
    t.frame = Rect(geometry->x, geometry->y, geometry->width, geometry->height);
    t.mapped = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    t.overrideRedirect = attributes->override_redirect;
}

void ServerWatch::watchEvents()
{
    const xcb_setup_t* setup = xcb_get_setup(events_);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    const Rect screenRect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    const auto check = [&](xcb_window_t window) {
        auto it = tops_.find(window);
        if (it == tops_.end())
            return;
        TopLevel& t = it->second;
        if (!t.kavelo)
            t.kavelo = pidOf(events_, window) == kavelo_;
        const Rect in = intersection(t.frame, screenRect);
        const bool shown = t.mapped && *t.kavelo && !t.frame.isEmpty() &&
                           in.width() * in.height() * 2 >= t.frame.width() * t.frame.height();
        // A panel may come into view small and grow: each size it shows at
        // counts.
        if (shown && (!t.shown || t.shownSize != t.frame.size)) {
            std::lock_guard guard(shownMutex_);
            shown_.emplace_back(Steady::now(), t.frame.size);
            shownChanged_.notify_all();
        }
        t.shown = shown;
        t.shownSize = t.frame.size;
    };
    while (!stop_) {
        pollfd fd{xcb_get_file_descriptor(events_), POLLIN, 0};
        poll(&fd, 1, 100);
        while (xcb_generic_event_t* event = xcb_poll_for_event(events_)) {
            switch (event->response_type & 0x7F) {
            case XCB_CREATE_NOTIFY: {
                const auto* e = reinterpret_cast<xcb_create_notify_event_t*>(event);
                if (e->parent == root_)
                    tops_[e->window] = TopLevel{.frame = Rect(e->x, e->y, e->width, e->height),
                                                .overrideRedirect = bool(e->override_redirect)};
                break;
            }
            case XCB_DESTROY_NOTIFY:
                tops_.erase(reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window);
                break;
            case XCB_REPARENT_NOTIFY: {
                const auto* e = reinterpret_cast<xcb_reparent_notify_event_t*>(event);
                if (e->parent == root_)
                    noteTopLevel(e->window);
                else
                    tops_.erase(e->window);
                break;
            }
            case XCB_MAP_NOTIFY: {
                const auto* e = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (auto it = tops_.find(e->window); it != tops_.end()) {
                    it->second.mapped = true;
                    check(e->window);
                }
                break;
            }
            case XCB_UNMAP_NOTIFY: {
                const auto* e = reinterpret_cast<xcb_unmap_notify_event_t*>(event);
                if (auto it = tops_.find(e->window); it != tops_.end()) {
                    it->second.mapped = false;
                    it->second.shown = false;
                }
                break;
            }
            case XCB_CONFIGURE_NOTIFY: {
                const auto* e = reinterpret_cast<xcb_configure_notify_event_t*>(event);
                if (e->event != root_)
                    break;
                if (auto it = tops_.find(e->window); it != tops_.end()) {
                    it->second.frame = Rect(e->x, e->y, e->width, e->height);
                    check(e->window);
                }
                break;
            }
            default:
                break;
            }
            std::free(event);
        }
        std::string text;
        std::vector<Size> inView;
        for (const auto& [w, t] : tops_)
            if (t.shown)
                inView.push_back(t.frame.size);
        for (const auto& [w, t] : tops_)
            if (t.mapped && t.kavelo && *t.kavelo) {
                char line[128];
                std::snprintf(line, sizeof line, " 0x%x %s%s", w,
                              rect(t.frame.minX(), t.frame.minY(), t.frame.width(), t.frame.height()).c_str(),
                              t.shown ? " shown" : "");
                text += line;
            }
        {
            std::lock_guard guard(shownMutex_);
            kaveloWindows_ = text.empty() ? " none" : text;
            inView_ = std::move(inView);
        }
        if (xcb_connection_has_error(events_))
            return;
    }
}

std::optional<Steady::time_point> ServerWatch::panelShown(Steady::time_point since, Size least,
                                                          std::chrono::milliseconds timeout)
{
    std::unique_lock lock(shownMutex_);
    std::optional<Steady::time_point> found;
    shownChanged_.wait_for(lock, timeout, [&] {
        for (const auto& [at, size] : shown_)
            if (at >= since && size.width >= least.width && size.height >= least.height) {
                found = at;
                return true;
            }
        return false;
    });
    std::erase_if(shown_, [&](const auto& entry) { return entry.first < since; });
    return found;
}

bool ServerWatch::panelInView(Size least)
{
    std::lock_guard guard(shownMutex_);
    return std::any_of(inView_.begin(), inView_.end(),
                       [&](Size s) { return s.width >= least.width && s.height >= least.height; });
}

std::string ServerWatch::kaveloWindows()
{
    std::lock_guard guard(shownMutex_);
    return kaveloWindows_;
}

// ---------------------------------------------------------------- requests

std::string ServerWatch::nameOf(std::uint32_t base) const
{
    base &= ~idMask_;
    if (auto it = names_.find(base); it != names_.end())
        return it->second;
    const pid_t pid = pidOf(asking_, base);
    std::string name = "client " + std::to_string(base);
    if (pid == kavelo_) {
        name = "kavelo";
    } else if (pid == ::getpid()) {
        name = "soak";
    } else if (pid > 0) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string text;
        if (std::getline(comm, text) && !text.empty())
            name = text + " (" + std::to_string(pid) + ")";
    }
    names_[base] = name;
    return name;
}

void ServerWatch::noteAsk(xcb_window_t window, Ask ask)
{
    auto& list = asks_[window];
    list.push_back(std::move(ask));
    while (!list.empty() && (list.size() > 16 || list.back().at - list.front().at > askMemory))
        list.pop_front();
}

void ServerWatch::parse(const std::uint8_t* data, std::size_t size, std::uint8_t category, std::uint32_t base,
                        Steady::time_point now)
{
    if (category == fromClient) {
        for (std::size_t offset = 0; offset + 4 <= size;) {
            const std::uint8_t* p = data + offset;
            const std::size_t length = std::size_t(at<std::uint16_t>(p, 2)) * 4;
            if (length == 0 || offset + length > size)
                break;
            if (p[0] == configureWindow && length >= 12) {
                const auto window = at<std::uint32_t>(p, 4);
                const auto mask = at<std::uint16_t>(p, 8);
                std::string what = "ConfigureWindow";
                std::size_t v = 12;
                const auto value = [&] {
                    const auto n = v + 4 <= length ? at<std::int32_t>(p, v) : 0;
                    v += 4;
                    return n;
                };
                if (mask & XCB_CONFIG_WINDOW_X)
                    what += " x " + std::to_string(std::int16_t(value()));
                if (mask & XCB_CONFIG_WINDOW_Y)
                    what += " y " + std::to_string(std::int16_t(value()));
                if (mask & XCB_CONFIG_WINDOW_WIDTH)
                    what += " w " + std::to_string(value());
                if (mask & XCB_CONFIG_WINDOW_HEIGHT)
                    what += " h " + std::to_string(value());
                if (mask & (XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                            XCB_CONFIG_WINDOW_HEIGHT))
                    noteAsk(window, Ask{now, nameOf(base), window, what});
            } else if (p[0] == sendEvent && length >= 44 && (p[12] & 0x7F) == clientMessage) {
                const std::uint8_t* e = p + 12;
                const auto window = at<std::uint32_t>(e, 4);
                const auto type = at<std::uint32_t>(e, 8);
                const auto word = [&](int i) { return at<std::int32_t>(e, 12 + 4 * std::size_t(i)); };
                const auto name = atomNames_.find(type);
                std::string what = name == atomNames_.end() ? "ClientMessage " + std::to_string(type) : name->second;
                if (what == "_NET_MOVERESIZE_WINDOW") {
                    const auto flags = std::uint32_t(word(0));
                    if (flags & (1u << 8))
                        what += " x " + std::to_string(word(1));
                    if (flags & (1u << 9))
                        what += " y " + std::to_string(word(2));
                    if (flags & (1u << 10))
                        what += " w " + std::to_string(word(3));
                    if (flags & (1u << 11))
                        what += " h " + std::to_string(word(4));
                } else {
                    what += " " + std::to_string(word(0));
                }
                noteAsk(window, Ask{now, nameOf(base), window, what});
            }
            offset += length;
        }
        return;
    }
    if (category == clientDied) {
        names_.erase(base & ~idMask_);
        return;
    }
    if (category != fromServer)
        return;
    for (std::size_t offset = 0; offset + 32 <= size; offset += 32) {
        const std::uint8_t* e = data + offset;
        const std::uint8_t type = e[0] & 0x7F;
        if (type == reparentNotify) {
            const auto window = at<std::uint32_t>(e, 8);
            const auto parent = at<std::uint32_t>(e, 12);
            if (parent == root_)
                frameOf_.erase(window);
            else
                frameOf_[window] = parent;
        } else if (type == configureNotify && !(e[0] & 0x80)) {
            const auto event = at<std::uint32_t>(e, 4);
            const auto window = at<std::uint32_t>(e, 8);
            if (event != root_)
                continue;
            const Rect frame(at<std::int16_t>(e, 16), at<std::int16_t>(e, 18), at<std::uint16_t>(e, 20),
                             at<std::uint16_t>(e, 22));
            auto& placed = placed_[window];
            if (placed.frame == frame && placed.at != Steady::time_point())
                continue;
            placed.at = now;
            placed.frame = frame;
            placed.asks.clear();
            std::vector<xcb_window_t> about{window};
            for (const auto& [client, frameOf] : frameOf_)
                if (frameOf == window)
                    about.push_back(client);
            for (xcb_window_t w : about)
                if (auto it = asks_.find(w); it != asks_.end())
                    for (const Ask& ask : it->second)
                        if (now - ask.at <= askWindow)
                            placed.asks.push_back(ask);
            std::sort(placed.asks.begin(), placed.asks.end(), [](const Ask& a, const Ask& b) { return a.at < b.at; });
        }
    }
}

void ServerWatch::watchRequests()
{
    const auto cookie = xcb_record_enable_context(data_, context_);
    xcb_flush(data_);
    for (;;) {
        auto r = reply(xcb_record_enable_context_reply(data_, cookie, nullptr));
        if (!r)
            return;
        if (r->category == endOfData)
            return;
        const auto now = Steady::now();
        std::lock_guard guard(recordMutex_);
        parse(xcb_record_enable_context_data(r.get()), std::size_t(xcb_record_enable_context_data_length(r.get())),
              r->category, r->xid_base, now);
    }
}

std::string ServerWatch::placedBy(xcb_window_t client) const
{
    std::lock_guard guard(recordMutex_);
    xcb_window_t frame = client;
    if (auto it = frameOf_.find(client); it != frameOf_.end())
        frame = it->second;
    const auto placed = placed_.find(frame);
    if (placed == placed_.end())
        return "no configure of it was recorded";
    const auto& p = placed->second;
    const double ago = std::chrono::duration<double>(Steady::now() - p.at).count();
    std::string out = "configured to " + rect(p.frame.minX(), p.frame.minY(), p.frame.width(), p.frame.height()) +
                      " " + std::to_string(int(ago)) + " s ago";
    if (p.asks.empty())
        return out + "; no client asked for it in the second before";
    out += "; asked in the second before:";
    for (const Ask& ask : p.asks) {
        const auto before = std::chrono::duration_cast<std::chrono::milliseconds>(p.at - ask.at).count();
        out += " [" + std::to_string(before) + " ms before] " + ask.who + ": " + ask.what +
               (ask.window == frame && frame != client ? " of its frame;" : ";");
    }
    return out;
}

} // namespace kavelo::soak
