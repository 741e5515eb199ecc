// The window list, the current desktop and the program's own panels on an X
// server.

#include "app/platform/x11/x11_impl.h"

#include <algorithm>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

class X11WindowServer : public WindowServer, X11Facade {
public:
    using X11Facade::X11Facade;
    std::optional<std::vector<WindowInfo>> windowList(WindowListOption option) const override
    {
        impl.settleWrites();
        const auto stack = impl.stacking();
        const auto props = impl.read(stack, X11Fields::all);
        const auto current = impl.currentDesktopIndex();
        const auto& e = impl.ewmh;
        std::vector<WindowInfo> out;
        for (std::size_t i = 0; i < stack.size(); ++i) {
            const auto& p = props[i];
            const auto k = impl.knownFor(stack[i]);
            if (!p.alive || !k || p.hasType(e._NET_WM_WINDOW_TYPE_DESKTOP))
                continue;
            const bool onScreen = p.viewable && !p.hasState(e._NET_WM_STATE_HIDDEN) && impl.onShownDesktop(p, current);
            if (option == WindowListOption::onScreenOnly && !onScreen)
                continue;
            std::int32_t layer = 0;
            if (p.hasType(e._NET_WM_WINDOW_TYPE_DOCK))
                layer = 20;
            else if (p.hasState(e._NET_WM_STATE_ABOVE))
                layer = 3;
            else if (p.hasState(e._NET_WM_STATE_BELOW))
                layer = -1;
            out.push_back(WindowInfo{
                .number = k->number,
                .layer = layer,
                .ownerPid = k->pid,
                .ownerName = p.className.empty() ? std::nullopt : std::optional(p.className),
                .bounds = impl.frameOf(p),
                .onScreen = onScreen,
                .name = p.title.value_or(""),
                .alpha = p.opacity,
            });
        }
        return out;
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
        WindowID number = 0;
        if (panel.nativeHandle) {
            number = impl.adopt(xcb_window_t(panel.nativeHandle)).number;
        } else {
            std::lock_guard guard(impl.numbersMutex);
            number = impl.nextNumber++;
        }
        impl.panels[number] = xcb_window_t(panel.nativeHandle);
        place(number, panel);
        return number;
    }
    void updatePanel(WindowID number, const OwnPanel& panel) override
    {
        if (impl.panels.count(number))
            place(number, panel);
    }
    void removePanel(WindowID number) override { impl.panels.erase(number); }
    // A compositing manager owns the screen's _NET_WM_CM_S<n> selection.
    bool blendsPanels() const override
    {
        const auto cookie = xcb_get_selection_owner(impl.c, impl.ewmh._NET_WM_CM_Sn[impl.screenNumber]);
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(impl.c, cookie, nullptr);
        const bool owned = reply && reply->owner != XCB_NONE;
        free(reply);
        return owned;
    }

private:
    // Whether `window` stands below `reference` in the manager's stacking
    // with nothing but our own panels between them.
    bool standsBelow(xcb_window_t window, xcb_window_t reference) const
    {
        const auto stack = impl.stacking();   // front to back
        auto it = std::find(stack.begin(), stack.end(), reference);
        if (it == stack.end())
            return false;
        for (++it; it != stack.end(); ++it) {
            if (*it == window)
                return true;
            const bool ours = std::any_of(impl.panels.begin(), impl.panels.end(),
                                          [&](const auto& panel) { return panel.second == *it; });
            if (!ours)
                return false;
        }
        return false;
    }

    void place(WindowID number, const OwnPanel& panel)
    {
        const xcb_window_t window = impl.panels[number];
        if (window == XCB_NONE || !panel.visible)
            return;
        const xcb_window_t top = impl.frameOf(window);
        if (panel.below) {
            const auto reference = impl.windowFor(*panel.below);
            if (!reference) {
                // Gone: nothing to stand below.
            } else if (panel.level <= 0 && impl.wmPresent) {
                // A managed panel's frame belongs to the manager, and openbox
                // takes "below a sibling" as "to the bottom": raise the panel,
                // then the window, so that the panel stands right below it.
                // Only when it does not already, so that a window the user
                // has raised since stays where it is.
                if (!standsBelow(window, *reference)) {
                    impl.restack(window);
                    impl.restack(*reference);
                }
            } else {
                const std::uint32_t values[] = {impl.frameOf(*reference), XCB_STACK_MODE_BELOW};
                xcb_configure_window(impl.c, top, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
            }
        } else {
            const std::uint32_t above = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(impl.c, top, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
        xcb_flush(impl.c);
    }
};

} // namespace

std::unique_ptr<WindowServer> makeX11WindowServer(Impl& impl) { return std::make_unique<X11WindowServer>(impl); }

} // namespace kavelo
