// The window list, the current desktop and the program's own panels on an X
// server.

#include "app/platform/x11/x11_impl.h"

#include <algorithm>
#include <map>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

// The root's children bottom to top: the real stacking, panels that
// bypass the manager included.
std::vector<xcb_window_t> rootChildren(const Impl& impl)
{
    XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(impl.c, xcb_query_tree(impl.c, impl.root), nullptr));
    if (!tree)
        return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(tree.get()));
}

class X11WindowServer : public WindowServer, X11Facade {
public:
    using X11Facade::X11Facade;
    std::optional<std::vector<WindowInfo>> windowList(WindowListOption option) const override
    {
        impl.settleWrites();
        const auto stack = impl.stacking();
        const auto props = impl.read(stack, X11Fields::all & ~X11Fields::hints);
        const auto current = impl.currentDesktopIndex();
        std::map<xcb_window_t, const Impl::Panel*> ours;
        for (const auto& [number, panel] : impl.panels)
            if (panel.window != XCB_NONE)
                ours.emplace(panel.window, &panel);
        std::vector<WindowInfo> out = bypassingPanels(option);
        std::erase_if(impl.withdrawnPanels,
                      [&](xcb_window_t w) { return std::find(stack.begin(), stack.end(), w) == stack.end(); });
        for (std::size_t i = 0; i < stack.size(); ++i) {
            auto info = entry(stack[i], props[i], current, ours);
            if (info && (option == WindowListOption::all || info->onScreen))
                out.push_back(std::move(*info));
        }
        return out;
    }
    bool managerBehind() const override
    {
        // Known only of a manager that answers frame-extents requests in
        // order: one still unanswered was sent after writes it has yet to
        // handle. Its answers that came meanwhile are taken in first.
        if (!impl.extentsRequestAnswered || impl.extentsUnanswered.empty())
            return false;
        return !impl.awaitExtentsAnswers(std::chrono::milliseconds(0));
    }
    std::optional<WindowInfo> windowInfo(WindowID number) const override
    {
        const auto window = impl.windowFor(number);
        // Panels are listed apart.
        if (!window || impl.panels.count(number))
            return WindowServer::windowInfo(number);
        impl.settleWrites();
        const auto stack = impl.stacking();
        if (std::find(stack.begin(), stack.end(), *window) == stack.end())
            return std::nullopt;
        const ClientProps props = impl.read(*window, X11Fields::all & ~X11Fields::hints);
        return entry(*window, props, impl.currentDesktopIndex(), {});
    }
    std::optional<std::uint64_t> currentDesktop(std::uint32_t displayID) const override
    {
        bool found = false;
        for (const auto& s : screensOf(impl))
            found = found || s.id == displayID;
        if (!found)
            return std::nullopt;
        return std::uint64_t(impl.currentDesktopIndex().value_or(0)) + 1;
    }
    WindowID showPanel(const OwnPanel& panel) override
    {
        const auto window = xcb_window_t(panel.nativeHandle);
        WindowID number = 0;
        bool managed = false;
        if (window != XCB_NONE) {
            number = impl.adopt(window).number;
            // The toolkit's flag, not a question to the server: asked right
            // after a full-screen panel moved, the server answers only once
            // it has clipped every window below it.
            managed = !panel.bypassesManager && impl.wmPresent;
        } else {
            std::lock_guard guard(impl.numbersMutex);
            number = impl.nextNumber++;
        }
        impl.withdrawnPanels.erase(window);
        impl.panels[number] = Impl::Panel{.window = window, .shown = panel, .managed = managed};
        impl.placePanel(number, false);
        return number;
    }
    void updatePanel(WindowID number, const OwnPanel& panel) override
    {
        auto it = impl.panels.find(number);
        if (it == impl.panels.end())
            return;
        it->second.shown = panel;
        impl.placePanel(number, false);
    }
    void removePanel(WindowID number) override
    {
        auto it = impl.panels.find(number);
        if (it == impl.panels.end())
            return;
        // The toolkit unmaps it on its own connection; the manager may list
        // it a moment longer.
        if (it->second.managed)
            impl.withdrawnPanels.insert(it->second.window);
        impl.panels.erase(it);
    }
    Rect toolkitFrame(const Rect& frame) const override { return impl.map.toToolkit(frame); }
    Rect frameOfToolkit(const Rect& toolkit) const override { return impl.map.fromToolkit(toolkit); }
    // In points by the monitor it lies on: the toolkit may count a window
    // embedded in another program's at the scale of another monitor.
    std::optional<NativePlace> placeOfNativeWindow(std::uint64_t handle) const override
    {
        const auto window = xcb_window_t(handle);
        const auto size = xcb_get_geometry(impl.c, window);
        const auto corner = xcb_translate_coordinates(impl.c, window, impl.root, 0, 0);
        XReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(impl.c, size, nullptr));
        XReply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(impl.c, corner, nullptr));
        if (!g || !at || g->width == 0 || g->height == 0)
            return std::nullopt;
        const Rect device(at->dst_x, at->dst_y, g->width, g->height);
        const double scale = impl.map.count() ? impl.map.screen(impl.map.screenOfDevice(device.center())).scale : 1;
        return NativePlace{impl.map.toPoints(device), scale};
    }
    // A compositing manager owns the screen's _NET_WM_CM_S<n> selection.
    bool blendsPanels() const override
    {
        const auto cookie = xcb_get_selection_owner(impl.c, impl.ewmh._NET_WM_CM_Sn[impl.screenNumber]);
        XReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(impl.c, cookie, nullptr));
        return reply && reply->owner != XCB_NONE;
    }
    Handle shareReads() const override
    {
        if (impl.sharingReads++ == 0) {
            impl.shared = {};
            impl.actionWaited = {};
        }
        return Handle::withCancel([&impl = impl] {
            if (--impl.sharingReads == 0)
                impl.shared = {};
        });
    }
    Handle onWindowActivated(std::function<void(WindowID)> handler) override
    {
        return impl.observe(&Impl::windowActivationObservers, std::move(handler));
    }
    Handle onWindowClosed(std::function<void(WindowID)> handler) override
    {
        return impl.observe(&Impl::closeObservers, std::move(handler));
    }
    Handle onLongWait(MainWaits::Listener listener) override
    {
        impl.waits.setListener(std::move(listener));
        return Handle::withCancel([weak = impl.weak_from_this()] {
            if (auto alive = weak.lock())
                alive->waits.setListener({});
        });
    }

private:
    // A managed window's entry; none for a desktop, a closed window or a
    // panel taken back.
    std::optional<WindowInfo> entry(xcb_window_t window, const ClientProps& p, std::optional<std::uint32_t> current,
                                    const std::map<xcb_window_t, const Impl::Panel*>& ours) const
    {
        const auto& e = impl.ewmh;
        const auto k = impl.knownFor(window);
        if (!p.alive || !k || p.hasType(e._NET_WM_WINDOW_TYPE_DESKTOP) || impl.withdrawnPanels.count(window))
            return std::nullopt;
        std::int32_t layer = 0;
        if (p.hasType(e._NET_WM_WINDOW_TYPE_DOCK))
            layer = 20;
        else if (p.hasState(e._NET_WM_STATE_ABOVE))
            layer = 3;
        else if (p.hasState(e._NET_WM_STATE_BELOW))
            layer = -1;
        WindowInfo info{
            .number = k->number,
            .layer = layer,
            .ownerPid = k->pid,
            .ownerName = p.className.empty() ? std::nullopt : std::optional(p.className),
            .bounds = impl.frameOf(p),
            .onScreen = p.viewable && !p.hasState(e._NET_WM_STATE_HIDDEN) && impl.onShownDesktop(p, current),
            .name = p.title.value_or(""),
            .alpha = p.opacity,
        };
        if (auto panel = ours.find(window); panel != ours.end()) {
            info.layer = panel->second->shown.level;
            info.name = panel->second->shown.name;
            info.alpha = panel->second->shown.alpha;
        }
        return info;
    }

    // Panels the manager does not list stand above every managed window:
    // in front, as the server stacks them.
    std::vector<WindowInfo> bypassingPanels(WindowListOption option) const
    {
        std::vector<WindowInfo> out;
        std::map<xcb_window_t, WindowID> bypassing;
        for (const auto& [number, panel] : impl.panels)
            if (!panel.managed && (panel.shown.visible || option == WindowListOption::all))
                bypassing.emplace(panel.window, number);
        if (bypassing.empty())
            return out;
        std::vector<WindowID> order;
        const auto children = rootChildren(impl);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (auto found = bypassing.find(*it); found != bypassing.end())
                order.push_back(found->second);
        // Panels without a window of their own (none on a real display) last.
        for (const auto& [window, number] : bypassing)
            if (window == XCB_NONE)
                order.push_back(number);
        for (WindowID number : order) {
            const OwnPanel& shown = impl.panels.at(number).shown;
            out.push_back(WindowInfo{.number = number,
                                     .layer = shown.level,
                                     .ownerPid = impl.ownPid,
                                     .ownerName = std::string("Kavelo"),
                                     .bounds = shown.frame,
                                     .onScreen = shown.visible,
                                     .name = shown.name,
                                     .alpha = shown.alpha});
        }
        std::stable_sort(out.begin(), out.end(),
                         [](const WindowInfo& a, const WindowInfo& b) { return a.layer > b.layer; });
        return out;
    }
};

} // namespace

// A managed panel is restacked by the manager, which must list it first (a
// panel shown a moment ago may not be managed yet, and the manager or the
// toolkit may still raise it once it is): placed again whenever the
// manager's stacking changes, within a few tries. One that bypasses the
// manager is restacked directly.
void Impl::placePanel(WindowID number, bool again)
{
    auto it = panels.find(number);
    if (it == panels.end())
        return;
    Panel& panel = it->second;
    if (!again)
        panel.tries = 0;
    if (panel.window == XCB_NONE || !panel.shown.visible)
        return;
    xcb_window_t reference = XCB_NONE;
    if (panel.shown.below)
        reference = windowFor(*panel.shown.below).value_or(XCB_NONE);
    if (!panel.managed) {
        // In front of its level: below the lowest shown panel of a higher one.
        const xcb_window_t sibling =
            reference != XCB_NONE ? frameOf(reference) : lowestPanelAbove(panel.shown.level);
        if (sibling != XCB_NONE) {
            const std::uint32_t values[] = {sibling, XCB_STACK_MODE_BELOW};
            xcb_configure_window(c, panel.window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
        } else {
            const std::uint32_t above = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(c, panel.window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
        xcb_flush(c);
        return;
    }
    // The manager's own order, once it has handled what we asked before.
    settleWrites();
    std::vector<xcb_window_t> order;   // bottom to top
    xcb_ewmh_get_windows_reply_t list;
    if (xcb_ewmh_get_client_list_stacking_reply(&ewmh, xcb_ewmh_get_client_list_stacking(&ewmh, screenNumber), &list,
                                                nullptr)) {
        order.assign(list.windows, list.windows + list.windows_len);
        xcb_ewmh_get_windows_reply_wipe(&list);
    }
    const auto at = std::find(order.begin(), order.end(), panel.window);
    if (at == order.end())
        return;   // not managed yet
    if (reference == XCB_NONE) {
        // In front of its level when shown or updated, not kept there.
        if (!again)
            restack(panel.window);
        return;
    }
    const auto above = std::find(order.begin(), order.end(), reference);
    // Panels held below one window (Clean Space's two curtains) stand
    // together: each counts as in place when only its siblings come between,
    // or each would raise the window again to pass the other.
    const auto sibling = [&](xcb_window_t w) {
        return std::any_of(panels.begin(), panels.end(), [&](const auto& entry) {
            const Panel& p = entry.second;
            return p.window == w && p.shown.visible && p.shown.below == panel.shown.below;
        });
    };
    if (above == order.end() || (at < above && std::all_of(at + 1, above, sibling))) {
        panel.tries = 0;
        return;
    }
    if (panel.tries >= Panel::maxTries)
        return;
    ++panel.tries;
    // Managers may honour a raise alone (some lower or raise within a layer
    // whatever sibling they are given): raise the panel, then the window and
    // everything above it in their order, which leaves the panel directly
    // below the window and every other window where it was.
    restack(panel.window);
    for (auto w = above; w != order.end(); ++w)
        if (*w != panel.window)
            restack(*w);
}

xcb_window_t Impl::lowestPanelAbove(int level) const
{
    std::vector<xcb_window_t> higher;
    for (const auto& [number, p] : panels)
        if (p.shown.visible && p.shown.level > level && p.window != XCB_NONE)
            higher.push_back(p.window);
    if (higher.empty())
        return XCB_NONE;
    const auto tops = topLevels(c, higher);
    if (tops.size() == 1)
        return tops.front();
    XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree)
        return XCB_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)   // bottom to top
        if (std::find(tops.begin(), tops.end(), children[i]) != tops.end())
            return children[i];
    return XCB_NONE;
}

void Impl::placePanelsAgain()
{
    std::vector<WindowID> managed;
    for (const auto& [number, panel] : panels)
        if (panel.managed && panel.shown.visible)
            managed.push_back(number);
    for (WindowID number : managed)
        placePanel(number, true);
}

std::unique_ptr<WindowServer> makeX11WindowServer(Impl& impl) { return std::make_unique<X11WindowServer>(impl); }

} // namespace kavelo
