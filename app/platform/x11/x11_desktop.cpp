#include "app/platform/x11/x11_desktop.h"

#include "app/platform/x11/x11_impl.h"
#include "core/json.h"
#include "core/screen_coordinates.h"

#include <xcb/randr.h>
#include <xcb/xtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

constexpr std::array<std::uint16_t, 4> lockStates{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                  XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

std::uint16_t serverModifiers(std::uint32_t classic)
{
    std::uint16_t mods = 0;
    if (classic & HotKeyModifier::shift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (classic & HotKeyModifier::control)
        mods |= XCB_MOD_MASK_CONTROL;
    if (classic & HotKeyModifier::option)
        mods |= XCB_MOD_MASK_1;
    if (classic & HotKeyModifier::command)
        mods |= XCB_MOD_MASK_4;
    return mods;
}

// Starts a program that outlives us and is not our child to reap.
bool spawnDetached(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return false;
    }
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            execvp(args[0], args.data());
            const char failed = 1;
            [[maybe_unused]] auto n = write(pipefd[1], &failed, 1);
            _exit(127);
        }
        _exit(0);
    }
    close(pipefd[1]);
    int status = 0;
    waitpid(child, &status, 0);
    char failed = 0;
    const bool execFailed = read(pipefd[0], &failed, 1) == 1;
    close(pipefd[0]);
    return !execFailed;
}

std::optional<std::string> executableOf(std::int32_t pid)
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    if (error)
        return std::nullopt;
    return path.string();
}

std::optional<std::string> findInPath(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return std::nullopt;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const auto end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty()) {
            const std::string candidate = dir + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- element

class X11Element : public Element {
public:
    X11Element(std::weak_ptr<Impl> impl, xcb_window_t window, KnownWindow known)
        : impl_(std::move(impl)), window_(window), number_(known.number), pid_(known.pid)
    {
    }

    std::int32_t pid() const override { return pid_; }
    std::optional<WindowID> windowNumber() const override
    {
        return read<WindowID>(0, [&](Impl&, const ClientProps&) { return std::optional(number_); });
    }
    std::optional<std::string> subrole() const override
    {
        return read<std::string>(X11Fields::type | X11Fields::state,
                                 [](Impl& impl, const ClientProps& p) -> std::optional<std::string> {
                                     const auto& e = impl.ewmh;
                                     if (p.hasType(e._NET_WM_WINDOW_TYPE_DIALOG) ||
                                         p.hasState(e._NET_WM_STATE_MODAL) ||
                                         (p.types.empty() && p.transientFor != XCB_NONE))
                                         return std::string(dialogSubrole);
                                     if (p.types.empty() || p.hasType(e._NET_WM_WINDOW_TYPE_NORMAL))
                                         return std::string(standardWindowSubrole);
                                     if (p.hasType(e._NET_WM_WINDOW_TYPE_UTILITY) ||
                                         p.hasType(e._NET_WM_WINDOW_TYPE_TOOLBAR))
                                         return std::string("AXFloatingWindow");
                                     return std::string("AXUnknown");
                                 });
    }
    std::optional<std::string> title() const override
    {
        return read<std::string>(X11Fields::title,
                                 [](Impl&, const ClientProps& p) { return std::optional(p.title.value_or("")); });
    }
    // X windows carry no document address.
    std::optional<std::string> document() const override { return std::nullopt; }
    std::optional<bool> minimized() const override
    {
        return read<bool>(X11Fields::state, [&](Impl& impl, const ClientProps& p) {
            return std::optional(p.hasState(impl.ewmh._NET_WM_STATE_HIDDEN) && !impl.hiddenByApp(pid_, window_));
        });
    }
    std::optional<bool> fullScreen() const override
    {
        return read<bool>(X11Fields::state, [](Impl& impl, const ClientProps& p) {
            return std::optional(p.hasState(impl.ewmh._NET_WM_STATE_FULLSCREEN));
        });
    }
    std::optional<Point> position() const override
    {
        return read<Point>(X11Fields::geometry,
                           [](Impl& impl, const ClientProps& p) { return std::optional(impl.frameOf(p).origin); });
    }
    std::optional<Size> size() const override
    {
        return read<Size>(X11Fields::geometry,
                          [](Impl& impl, const ClientProps& p) { return std::optional(impl.frameOf(p).size); });
    }
    std::optional<bool> sizeSettable() const override
    {
        return read<bool>(X11Fields::state | X11Fields::hints,
                          [](Impl& impl, const ClientProps& p) { return std::optional(settable(impl, p)); });
    }

    bool setPosition(Point topLeft) override
    {
        if (!std::isfinite(topLeft.x) || !std::isfinite(topLeft.y))
            return false;
        return write(X11Fields::state, [&](Impl& impl, const ClientProps& p) {
            if (p.hasState(impl.ewmh._NET_WM_STATE_FULLSCREEN))
                return false;
            unmaximize(impl, p);
            impl.moveResize(window_, topLeft, std::nullopt);
            return true;
        });
    }
    bool setSize(Size size) override
    {
        if (!std::isfinite(size.width) || !std::isfinite(size.height))
            return false;
        return write(X11Fields::state | X11Fields::hints | X11Fields::geometry, [&](Impl& impl, const ClientProps& p) {
            if (!settable(impl, p))
                return false;
            unmaximize(impl, p);
            impl.moveResize(window_, std::nullopt, clientSize(impl, p, size));
            return true;
        });
    }
    bool setMinimized(bool minimized) override
    {
        return write(X11Fields::state, [&](Impl& impl, const ClientProps& p) {
            if (auto it = impl.hiddenBy.find(pid_); it != impl.hiddenBy.end())
                it->second.erase(window_);
            const bool iconic = p.hasState(impl.ewmh._NET_WM_STATE_HIDDEN);
            if (minimized && !iconic)
                impl.iconify(window_);
            else if (!minimized && iconic)
                deiconify(impl, window_);
            return true;
        });
    }
    bool raise() override
    {
        return write(0, [&](Impl& impl, const ClientProps&) {
            impl.restack(window_);
            impl.lastFocused[pid_] = window_;
            return true;
        });
    }

    static void deiconify(Impl& impl, xcb_window_t window)
    {
        if (impl.wmPresent)
            impl.changeState(window, false, impl.ewmh._NET_WM_STATE_HIDDEN);
        xcb_map_window(impl.c, window);
        impl.writesOutstanding = true;
        xcb_flush(impl.c);
    }

private:
    static bool settable(Impl& impl, const ClientProps& p)
    {
        if (p.hasState(impl.ewmh._NET_WM_STATE_FULLSCREEN))
            return false;
        const auto& h = p.hints;
        if (p.hasHints && (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) && (h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) &&
            h.min_width == h.max_width && h.min_height == h.max_height && h.max_width > 0)
            return false;
        if (p.hasAllowedActions &&
            std::find(p.allowedActions.begin(), p.allowedActions.end(), impl.ewmh._NET_WM_ACTION_RESIZE) ==
                p.allowedActions.end())
            return false;
        return true;
    }

    // A maximized window keeps its size against moves; the frame written
    // is the one the user asked for.
    void unmaximize(Impl& impl, const ClientProps& p) const
    {
        if (p.hasState(impl.ewmh._NET_WM_STATE_MAXIMIZED_VERT) || p.hasState(impl.ewmh._NET_WM_STATE_MAXIMIZED_HORZ))
            impl.changeState(window_, false, impl.ewmh._NET_WM_STATE_MAXIMIZED_VERT,
                             impl.ewmh._NET_WM_STATE_MAXIMIZED_HORZ);
    }

    // The client size that gives a frame of `wanted`, as the window takes
    // it: within the visible frame of its display, snapped down to its size
    // increments, within its maximum and never below its minimum.
    static Size clientSize(Impl& impl, const ClientProps& p, Size wanted)
    {
        const FrameExtents& e = p.extents;
        double width = wanted.width;
        double height = wanted.height;
        const Rect frame = impl.frameOf(p);
        const auto monitors = impl.monitors();
        const auto areas = impl.workAreas();
        const auto desktop = impl.currentDesktopIndex().value_or(0);
        const Point corner(frame.minX() + impl.origin.x, frame.minY() + impl.origin.y);
        const Impl::Monitor* under = nullptr;
        for (const auto& m : monitors)
            if (m.frame.contains(corner)) {
                under = &m;
                break;
            }
        if (!under && !monitors.empty())
            under = &monitors.front();
        if (under) {
            Rect visible = under->frame;
            if (desktop < areas.size()) {
                const Rect cut = visible.intersection(areas[desktop]);
                if (!cut.isNull() && !cut.isEmpty())
                    visible = cut;
            }
            width = std::min(width, visible.width());
            height = std::min(height, visible.height());
        }
        width -= e.left + e.right;
        height -= e.top + e.bottom;
        const auto& h = p.hints;
        if (p.hasHints) {
            double baseW = 0, baseH = 0;
            if (h.flags & XCB_ICCCM_SIZE_HINT_BASE_SIZE) {
                baseW = h.base_width;
                baseH = h.base_height;
            } else if (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) {
                baseW = h.min_width;
                baseH = h.min_height;
            }
            if ((h.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC) && h.width_inc > 0 && width > baseW)
                width = baseW + std::floor((width - baseW) / h.width_inc) * h.width_inc;
            if ((h.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC) && h.height_inc > 0 && height > baseH)
                height = baseH + std::floor((height - baseH) / h.height_inc) * h.height_inc;
            if ((h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) && h.max_width > 0)
                width = std::min(width, double(h.max_width));
            if ((h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) && h.max_height > 0)
                height = std::min(height, double(h.max_height));
            if (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) {
                width = std::max(width, double(h.min_width));
                height = std::max(height, double(h.min_height));
            }
        }
        return Size(std::max(width, 1.0), std::max(height, 1.0));
    }

    bool alive(Impl& impl) const
    {
        impl.drainQueued();
        const auto k = impl.knownFor(window_);
        return k && k->number == number_;
    }

    template <class T, class F>
    std::optional<T> read(unsigned fields, F f) const
    {
        auto impl = impl_.lock();
        if (!impl)
            return std::nullopt;
        impl->settleWrites();
        const ClientProps p = impl->read(window_, fields);
        if (!p.alive || !alive(*impl))
            return std::nullopt;
        return f(*impl, p);
    }

    template <class F>
    bool write(unsigned fields, F f)
    {
        auto impl = impl_.lock();
        if (!impl)
            return false;
        if (fields & (X11Fields::geometry | X11Fields::hints))
            impl->settleWrites();
        const ClientProps p = impl->read(window_, fields);
        if (!p.alive || !alive(*impl))
            return false;
        return f(*impl, p);
    }

    std::weak_ptr<Impl> impl_;
    xcb_window_t window_;
    WindowID number_;
    std::int32_t pid_;
};

ElementRef elementFor(Impl& impl, xcb_window_t window)
{
    return std::make_shared<X11Element>(impl.weak_from_this(), window, impl.adopt(window));
}

struct Facade {
    explicit Facade(Impl& impl) : impl(impl) {}
    Impl& impl;
};

// ---------------------------------------------------------------- windows

class X11Accessibility : public Accessibility, Facade {
public:
    using Facade::Facade;
    // The server answers every client; there is no trust to grant.
    bool isTrusted() const override { return true; }
    bool requestTrust() override { return true; }
    std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const override
    {
        impl.settleWrites();
        const auto stack = impl.stacking();
        std::vector<xcb_window_t> own;
        for (xcb_window_t w : stack)
            if (auto k = impl.knownFor(w); k && k->pid == pid)
                own.push_back(w);
        if (own.empty() && !impl.runningApp(pid))
            return std::nullopt;
        const auto props = impl.read(own, X11Fields::desktop);
        const auto current = impl.currentDesktopIndex();
        std::vector<ElementRef> out;
        for (std::size_t i = 0; i < own.size(); ++i)
            if (props[i].alive && impl.onShownDesktop(props[i], current))
                out.push_back(elementFor(impl, own[i]));
        return out;
    }
    ElementRef focusedWindow(std::int32_t pid) const override
    {
        impl.settleWrites();
        const auto w = impl.focusedOf(pid);
        return w ? elementFor(impl, *w) : nullptr;
    }
};

class X11WindowServer : public WindowServer, Facade {
public:
    using Facade::Facade;
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

    static std::vector<Screen> screensOf(Impl& impl);

private:
    void place(WindowID number, const OwnPanel& panel)
    {
        const xcb_window_t window = impl.panels[number];
        if (window == XCB_NONE || !panel.visible)
            return;
        const xcb_window_t top = impl.frameOf(window);
        if (panel.below) {
            if (auto reference = impl.windowFor(*panel.below)) {
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

// ---------------------------------------------------------------- displays

struct Edid {
    std::uint32_t vendor = 0, model = 0, serial = 0;
    std::optional<std::string> name;
};

std::optional<Edid> edidOf(Impl& impl, const std::vector<std::uint32_t>& outputs)
{
    for (std::uint32_t output : outputs) {
        XReply<xcb_randr_get_output_property_reply_t> reply(xcb_randr_get_output_property_reply(
            impl.c, xcb_randr_get_output_property(impl.c, output, impl.atomEdid, XCB_GET_PROPERTY_TYPE_ANY, 0, 64, 0, 0),
            nullptr));
        if (!reply || reply->format != 8 || xcb_randr_get_output_property_data_length(reply.get()) < 128)
            continue;
        const std::uint8_t* b = xcb_randr_get_output_property_data(reply.get());
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

std::vector<Screen> X11WindowServer::screensOf(Impl& impl)
{
    const auto monitors = impl.monitors();
    const auto areas = impl.workAreas();
    const auto desktop = impl.currentDesktopIndex().value_or(0);
    const Rect primary = monitors.front().frame;
    const auto bottomLeft = [&](const Rect& r) {
        return ScreenCoordinates::flip(Rect(r.minX() - primary.minX(), r.minY() - primary.minY(), r.width(), r.height()),
                                       primary.height());
    };
    std::vector<Screen> out;
    for (const auto& m : monitors) {
        Rect visible = m.frame;
        if (desktop < areas.size()) {
            const Rect cut = m.frame.intersection(areas[desktop]);
            if (!cut.isNull() && !cut.isEmpty())
                visible = cut;
        }
        Screen s{.id = displayID(m.rawName), .frame = bottomLeft(m.frame), .visibleFrame = bottomLeft(visible)};
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

class X11Displays : public Displays, Facade {
public:
    using Facade::Facade;
    std::vector<Screen> screens() const override { return X11WindowServer::screensOf(impl); }
    Handle onChange(std::function<void()> handler) override
    {
        return impl.observe(&Impl::displayObservers, std::move(handler));
    }
};

// ---------------------------------------------------------------- workspace

class X11Workspace : public SystemWorkspace, Facade {
public:
    using Facade::Facade;
    std::int32_t ownPid() const override { return impl.ownPid; }
    std::vector<RunningApp> runningApps() const override { return impl.runningApps(); }
    std::optional<RunningApp> frontmostApp() const override
    {
        impl.settleWrites();
        const auto active = impl.activeWindow();
        if (!active)
            return std::nullopt;
        return impl.runningApp(impl.adopt(*active).pid);
    }
    std::optional<Image> icon(std::int32_t pid) const override
    {
        for (xcb_window_t w : impl.stacking()) {
            const auto k = impl.knownFor(w);
            if (!k || k->pid != pid)
                continue;
            xcb_ewmh_get_wm_icon_reply_t reply;
            if (!xcb_ewmh_get_wm_icon_reply(&impl.ewmh, xcb_ewmh_get_wm_icon(&impl.ewmh, w), &reply, nullptr))
                continue;
            // The largest picture up to 128 pixels, else the first.
            std::optional<xcb_ewmh_wm_icon_iterator_t> best;
            for (auto it = xcb_ewmh_get_wm_icon_iterator(&reply); it.rem; xcb_ewmh_get_wm_icon_next(&it))
                if (!best || (it.width <= 128 && it.width > best->width) || best->width > 128)
                    best = it;
            std::optional<Image> image;
            if (best && best->width > 0 && best->height > 0) {
                Image out{.width = int(best->width), .height = int(best->height)};
                out.rgba.reserve(std::size_t(out.width) * out.height * 4);
                for (std::uint32_t i = 0; i < best->width * best->height; ++i) {
                    const std::uint32_t argb = best->data[i];
                    out.rgba.push_back(std::uint8_t(argb >> 16));
                    out.rgba.push_back(std::uint8_t(argb >> 8));
                    out.rgba.push_back(std::uint8_t(argb));
                    out.rgba.push_back(std::uint8_t(argb >> 24));
                }
                image = std::move(out);
            }
            xcb_ewmh_get_wm_icon_reply_wipe(&reply);
            if (image)
                return image;
        }
        return std::nullopt;
    }
    bool activate(std::int32_t pid) override
    {
        if (!impl.runningApp(pid))
            return false;
        unhide(pid);
        impl.settleWrites();
        if (auto w = impl.focusedOf(pid)) {
            impl.activateWindow(*w);
            return true;
        }
        // Nothing of it on the shown desktop: its front window on another
        // one, with that desktop brought up first, as activating an
        // application does elsewhere.
        std::vector<xcb_window_t> own;
        for (xcb_window_t w : impl.stacking())
            if (auto k = impl.knownFor(w); k && k->pid == pid)
                own.push_back(w);
        const auto props = impl.read(own, X11Fields::state | X11Fields::desktop);
        for (std::size_t i = 0; i < own.size(); ++i) {
            if (!props[i].alive || props[i].hasState(impl.ewmh._NET_WM_STATE_HIDDEN))
                continue;
            if (props[i].desktop && *props[i].desktop != 0xFFFFFFFF && impl.wmPresent)
                impl.showDesktop(*props[i].desktop);
            impl.activateWindow(own[i]);
            break;
        }
        return true;
    }
    bool hide(std::int32_t pid) override
    {
        if (!impl.runningApp(pid))
            return false;
        const auto stack = impl.stacking();
        std::vector<xcb_window_t> own;
        for (xcb_window_t w : stack)
            if (auto k = impl.knownFor(w); k && k->pid == pid)
                own.push_back(w);
        const auto props = impl.read(own, X11Fields::state);
        for (std::size_t i = 0; i < own.size(); ++i) {
            if (!props[i].alive || props[i].hasState(impl.ewmh._NET_WM_STATE_HIDDEN))
                continue;
            impl.hiddenBy[pid].insert(own[i]);
            impl.iconify(own[i]);
        }
        return true;
    }
    bool unhide(std::int32_t pid) override
    {
        auto it = impl.hiddenBy.find(pid);
        if (it == impl.hiddenBy.end())
            return impl.runningApp(pid).has_value();
        const auto windows = it->second;
        impl.hiddenBy.erase(it);
        for (xcb_window_t w : windows)
            X11Element::deiconify(impl, w);
        return true;
    }
    std::optional<std::string> applicationLocation(std::string_view bundleID) const override
    {
        for (const auto& app : impl.runningApps())
            if (app.bundleID && *app.bundleID == bundleID && app.pid > 0)
                if (auto exe = executableOf(app.pid))
                    return exe;
        std::string lower(bundleID);
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
        if (auto found = findInPath(lower))
            return found;
        return findInPath(std::string(bundleID));
    }
    bool launch(std::string_view location, bool) override { return spawnDetached({std::string(location)}); }
    bool openURLs(const std::vector<std::string>& urls, std::optional<std::string> appLocation, bool) override
    {
        if (appLocation) {
            std::vector<std::string> argv{*appLocation};
            argv.insert(argv.end(), urls.begin(), urls.end());
            return spawnDetached(argv);
        }
        bool all = true;
        for (const auto& url : urls)
            all = spawnDetached({"xdg-open", url}) && all;
        return all;
    }
    bool reducedMotion() const override { return false; }
    // Other programs' preference domains do not exist here.
    std::optional<nlohmann::json> preference(std::string_view, std::string_view) const override { return std::nullopt; }
    Handle onActivation(std::function<void(const RunningApp&)> handler) override
    {
        return impl.observe(&Impl::activationObservers, std::move(handler));
    }
    Handle onDesktopChange(std::function<void()> handler) override
    {
        return impl.observe(&Impl::desktopObservers, std::move(handler));
    }
    Handle onWake(std::function<void()> handler) override
    {
        return impl.observe(&Impl::wakeObservers, std::move(handler));
    }
};

// ---------------------------------------------------------------- input

class X11HotKeys : public SystemHotKeys, Facade {
public:
    using Facade::Facade;
    void setHandler(std::function<void(std::uint32_t)> handler) override { impl.hotKeyHandler = std::move(handler); }
    std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) override
    {
        if (keyCode > 0xFFFF)
            return std::nullopt;
        const auto key = impl.serverKey(std::uint16_t(keyCode));
        if (!key)
            return std::nullopt;
        const std::uint16_t mods = serverModifiers(modifiers);
        for (const auto& [ref, grab] : impl.hotKeys)
            if (grab.serverKey == *key && grab.serverMods == mods)
                return std::nullopt;
        // Another client holding the combination makes the grab fail.
        std::vector<xcb_void_cookie_t> cookies;
        for (auto locks : lockStates)
            cookies.push_back(xcb_grab_key_checked(impl.c, 1, impl.root, mods | locks, *key, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
        bool refused = false;
        for (auto cookie : cookies)
            if (xcb_generic_error_t* error = xcb_request_check(impl.c, cookie)) {
                refused = true;
                std::free(error);
            }
        if (refused) {
            for (auto locks : lockStates)
                xcb_ungrab_key(impl.c, *key, impl.root, mods | locks);
            xcb_flush(impl.c);
            return std::nullopt;
        }
        const Ref ref = impl.nextHotKeyRef++;
        impl.hotKeys.emplace(ref, HotKeyGrab{keyCode, modifiers, id, *key, mods});
        return ref;
    }
    void unregisterHotKey(Ref ref) override
    {
        auto it = impl.hotKeys.find(ref);
        if (it == impl.hotKeys.end())
            return;
        for (auto locks : lockStates)
            xcb_ungrab_key(impl.c, it->second.serverKey, impl.root, it->second.serverMods | locks);
        xcb_flush(impl.c);
        impl.hotKeys.erase(it);
    }
};

class X11EventTap : public EventTap, Facade {
public:
    using Facade::Facade;
    bool start(std::function<bool(const TapEvent&)> callback) override
    {
        impl.tap = std::move(callback);
        if (impl.tapRunning)
            return true;
        impl.tapRunning = true;
        // Keys held before the start count towards the flags.
        impl.keysDown.clear();
        XReply<xcb_query_keymap_reply_t> keys(xcb_query_keymap_reply(impl.c, xcb_query_keymap(impl.c), nullptr));
        if (keys)
            for (int i = 0; i < 256; ++i)
                if (keys->keys[i / 8] & (1 << (i % 8)))
                    impl.keysDown.insert(xcb_keycode_t(i));
        impl.updateRawSelection();
        impl.grabTapButtons(true);
        // Running once this returns: the server has the grabs.
        impl.roundTrip();
        return true;
    }
    void stop() override
    {
        impl.tap = nullptr;
        if (!impl.tapRunning)
            return;
        impl.tapRunning = false;
        impl.grabTapButtons(false);
        if (impl.keyboardGrabbed) {
            xcb_ungrab_keyboard(impl.c, XCB_CURRENT_TIME);
            impl.keyboardGrabbed = false;
        }
        impl.updateRawSelection();
    }
    bool isRunning() const override { return impl.tapRunning; }
    // The server never switches a listener off.
    void reenable() override {}
};

class X11Mouse : public Mouse, Facade {
public:
    using Facade::Facade;
    Handle monitor(std::uint32_t mask, std::function<void(const MouseEvent&)> handler) override
    {
        const std::uint64_t id = impl.nextObserver++;
        impl.mouseMonitors.emplace(id, std::pair(mask, std::move(handler)));
        impl.updateRawSelection();
        impl.roundTrip();
        return Handle::withCancel([weak = impl.weak_from_this(), id] {
            if (auto i = weak.lock()) {
                i->mouseMonitors.erase(id);
                i->updateRawSelection();
            }
        });
    }
    Point location() const override
    {
        const Point p = impl.pointerTopLeft();
        const auto monitors = impl.monitors();
        return Point(p.x, monitors.front().frame.height() - p.y);
    }
    std::uint32_t pressedButtons() const override
    {
        std::uint16_t mask = 0;
        impl.pointerTopLeft(&mask);
        std::uint32_t out = 0;
        if (mask & XCB_BUTTON_MASK_1)
            out |= 1u << 0;
        if (mask & XCB_BUTTON_MASK_3)
            out |= 1u << 1;
        if (mask & XCB_BUTTON_MASK_2)
            out |= 1u << 2;
        return out;
    }
    void warp(Point topLeft) override
    {
        if (!std::isfinite(topLeft.x) || !std::isfinite(topLeft.y))
            return;
        const auto x = std::int16_t(std::lround(topLeft.x + impl.origin.x));
        const auto y = std::int16_t(std::lround(topLeft.y + impl.origin.y));
        xcb_warp_pointer(impl.c, XCB_NONE, impl.root, 0, 0, 0, 0, x, y);
        xcb_flush(impl.c);
        impl.warpedTo = Point(x - impl.origin.x, y - impl.origin.y);
    }
    std::uint64_t modifierFlags(ModifierSource) const override
    {
        std::uint16_t mask = 0;
        impl.pointerTopLeft(&mask);
        return impl.flagsOfServerState(mask);
    }
};

class X11Keyboard : public Keyboard, Facade {
public:
    using Facade::Facade;
    std::vector<std::string> layouts() const override { return impl.layoutNames(); }
    std::optional<std::string> currentLayout() const override
    {
        const auto names = impl.layoutNames();
        const auto group = impl.currentGroup();
        if (!group || *group >= names.size())
            return std::nullopt;
        return names[*group];
    }
    std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode) const override
    {
        const auto names = impl.layoutNames();
        const auto it = std::find(names.begin(), names.end(), layout);
        if (it == names.end())
            return std::nullopt;
        return impl.characters(keyCode, std::uint32_t(it - names.begin()), false);
    }
};

// No trackpad reaches an X client as raw finger contacts.
class X11Multitouch : public Multitouch {
public:
    int start(std::function<void(const ContactFrame&)>) override { return 0; }
    void stop() override {}
};

class X11Capture : public WindowCapture, Facade {
public:
    using Facade::Facade;
    bool isAllowed() const override { return true; }
    bool requestAccess() override { return true; }
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
        std::vector<xcb_get_geometry_cookie_t> cookies;
        for (const auto& [number, window] : known)
            cookies.push_back(xcb_get_geometry(c, topLevel(c, window)));
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

// ---------------------------------------------------------------- the application

std::filesystem::path autostartFile()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (config && *config == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : "/") / ".config";
    }
    return base / "autostart" / "io.kavelo.Kavelo.desktop";
}

std::string ownExecutable() { return executableOf(std::int32_t(getpid())).value_or("kavelo"); }

// Opening at login is an XDG autostart entry.
class X11LoginItem : public LoginItem {
public:
    LoginItemStatus status() const override
    {
        const auto text = readFile(autostartFile());
        if (!text)
            return LoginItemStatus::notRegistered;
        if (text->find("Hidden=true") != std::string::npos || text->find("X-GNOME-Autostart-enabled=false") != std::string::npos)
            return LoginItemStatus::notRegistered;
        return LoginItemStatus::enabled;
    }
    bool registerItem() override
    {
        const auto path = autostartFile();
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        return !writeFileAtomically(path, "[Desktop Entry]\nType=Application\nName=Kavelo\nExec=" + ownExecutable() +
                                              "\nX-GNOME-Autostart-enabled=true\n");
    }
    bool unregisterItem() override
    {
        std::error_code error;
        std::filesystem::remove(autostartFile(), error);
        return !error;
    }
};

// No browser here takes scripts.
class X11Browsers : public BrowserScripting {
public:
    std::optional<std::vector<std::optional<std::string>>> run(std::string_view) override { return std::nullopt; }
};

class X11AppInfo : public AppInfo {
public:
    std::string bundleID() const override { return "io.kavelo.Kavelo"; }
    std::string bundlePath() const override { return ownExecutable(); }
    std::optional<std::string> infoValue(std::string_view key) const override
    {
        if (key == "CFBundleName")
            return std::string("Kavelo");
        if (key == "CFBundleIdentifier")
            return bundleID();
        return std::nullopt;
    }
};

} // namespace

struct X11Facades {
    explicit X11Facades(Impl& impl)
        : accessibility(impl), windowServer(impl), workspace(impl), displays(impl), hotKeys(impl), eventTap(impl),
          mouse(impl), keyboard(impl), capture(impl)
    {
    }
    X11Accessibility accessibility;
    X11WindowServer windowServer;
    X11Workspace workspace;
    X11Displays displays;
    X11HotKeys hotKeys;
    X11EventTap eventTap;
    X11Mouse mouse;
    X11Keyboard keyboard;
    X11Multitouch multitouch;
    X11Capture capture;
    X11LoginItem loginItem;
    X11Browsers browsers;
    X11AppInfo appInfo;
};

X11Desktop::X11Desktop() = default;

X11Desktop::~X11Desktop()
{
    if (impl_ && impl_->tapRunning)
        facades_->eventTap.stop();
    if (impl_ && impl_->c && !xcb_connection_has_error(impl_->c)) {
        for (const auto& [ref, grab] : std::map(impl_->hotKeys))
            facades_->hotKeys.unregisterHotKey(ref);
        xcb_flush(impl_->c);
    }
    facades_.reset();
}

std::unique_ptr<X11Desktop> X11Desktop::connect(const std::string& display, std::string* error)
{
    auto impl = std::make_shared<Impl>();
    if (!impl->open(display, error))
        return nullptr;
    std::unique_ptr<X11Desktop> desktop(new X11Desktop());
    desktop->impl_ = std::move(impl);
    desktop->facades_ = std::make_unique<X11Facades>(*desktop->impl_);
    return desktop;
}

Accessibility& X11Desktop::accessibility() { return facades_->accessibility; }
WindowServer& X11Desktop::windowServer() { return facades_->windowServer; }
SystemWorkspace& X11Desktop::workspace() { return facades_->workspace; }
Displays& X11Desktop::displays() { return facades_->displays; }
SystemHotKeys& X11Desktop::hotKeys() { return facades_->hotKeys; }
EventTap& X11Desktop::eventTap() { return facades_->eventTap; }
Mouse& X11Desktop::mouse() { return facades_->mouse; }
Keyboard& X11Desktop::keyboard() { return facades_->keyboard; }
Multitouch& X11Desktop::multitouch() { return facades_->multitouch; }
WindowCapture& X11Desktop::capture() { return facades_->capture; }
LoginItem& X11Desktop::loginItem() { return facades_->loginItem; }
BrowserScripting& X11Desktop::browsers() { return facades_->browsers; }
AppInfo& X11Desktop::appInfo() { return facades_->appInfo; }

Platform X11Desktop::platform(Scheduler& scheduler, Clock& clock)
{
    return Platform{.accessibility = accessibility(),
                    .windowServer = windowServer(),
                    .workspace = workspace(),
                    .displays = displays(),
                    .hotKeys = hotKeys(),
                    .eventTap = eventTap(),
                    .mouse = mouse(),
                    .keyboard = keyboard(),
                    .multitouch = multitouch(),
                    .capture = capture(),
                    .loginItem = loginItem(),
                    .browsers = browsers(),
                    .appInfo = appInfo(),
                    .scheduler = scheduler,
                    .clock = clock};
}

int X11Desktop::eventDescriptor() const { return xcb_get_file_descriptor(impl_->c); }
void X11Desktop::processEvents() { impl_->processEvents(); }
void X11Desktop::setWakeup(std::function<void()> wakeup) { impl_->wakeup = std::move(wakeup); }
void X11Desktop::attach(Scheduler* scheduler) { impl_->scheduler = scheduler; }
bool X11Desktop::hasWindowManager() const { return impl_->wmPresent; }
std::optional<std::uint8_t> X11Desktop::serverKeyCode(std::uint16_t keyCode) const { return impl_->serverKey(keyCode); }
std::optional<std::uint32_t> X11Desktop::serverWindow(WindowID number) const { return impl_->windowFor(number); }

} // namespace kavelo
