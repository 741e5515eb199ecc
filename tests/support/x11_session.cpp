#include "support/x11_session.h"

#include "support/seen.h"

#include <xcb/xcb_icccm.h>
#include <xcb/xtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace kavelo::test {

namespace {

template <class T>
struct Freed {
    T* p;
    ~Freed() { std::free(p); }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// A test killed on its timeout (CTest sends SIGKILL) would leave its X
// servers, managers and clients running, each in a group of its own, for
// the rest of the run. A guard process learns every group as it starts and
// ends them all once this process is gone, however it went.
class GroupGuard {
public:
    static void watch(pid_t group) { tell(group); }
    // Ended by the session itself: its number may soon be another's.
    static void forget(pid_t group) { tell(-group); }

private:
    GroupGuard()
    {
        // A socket rather than a pipe: a guard gone must not end the test
        // with SIGPIPE.
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            return;
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Only async-signal-safe calls from here: the test may have threads.
            ::setpgid(0, 0);
            ::dup2(fds[0], 3);
            // Holding the test's output open would keep its runner waiting.
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::close_range(4, ~0U, 0);
            static pid_t groups[4096];
            std::size_t count = 0;
            pid_t message = 0;
            while (::read(3, &message, sizeof message) == sizeof message) {
                if (message > 0 && count < std::size(groups))
                    groups[count++] = message;
                for (std::size_t i = 0; message < 0 && i < count; ++i)
                    if (groups[i] == -message)
                        groups[i] = groups[--count];
            }
            for (std::size_t i = 0; i < count; ++i)
                ::kill(-groups[i], SIGKILL);
            ::_exit(0);
        }
        ::close(fds[0]);
        fd_ = pid > 0 ? fds[1] : -1;
        if (pid < 0)
            ::close(fds[1]);
    }

    static void tell(pid_t message)
    {
        static GroupGuard guard;
        if (guard.fd_ >= 0)
            (void)!::send(guard.fd_, &message, sizeof message, MSG_NOSIGNAL);
    }

    int fd_ = -1;
};

pid_t spawn(const std::vector<std::string>& argv, const std::string& display, int keepFd = -1,
            const std::vector<std::string>& extraEnv = {})
{
    // The caller's variables win over the inherited ones of the same name.
    const auto overridden = [&](const char* entry) {
        const std::string_view text(entry);
        const std::string_view name = text.substr(0, text.find('='));
        if (name == "DISPLAY")
            return true;
        return std::any_of(extraEnv.begin(), extraEnv.end(), [&](const std::string& extra) {
            return std::string_view(extra).substr(0, extra.find('=')) == name;
        });
    };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (!overridden(*e))
            env.emplace_back(*e);
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Quiet children: their complaints about fonts are not ours.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    (void)keepFd;
    // A group of its own, so that ending it ends whatever it started too.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    GroupGuard::watch(pid);
    return pid;
}

std::optional<std::string> readText(const char* path)
{
    std::FILE* f = std::fopen(path, "r");
    if (!f)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, f))
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

// Whether a process of the group still runs (zombies waiting for a parent
// that never reaps them do not count).
bool groupRuns(pid_t group)
{
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto stat = readText((entry.path() / "stat").c_str());
        if (!stat)
            continue;
        // pid (comm) state ppid pgrp ...; the name may hold spaces.
        const auto close = stat->rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int parent = 0, pgrp = 0;
        if (std::sscanf(stat->c_str() + close + 1, " %c %d %d", &state, &parent, &pgrp) == 3 && pgrp == group &&
            state != 'Z')
            return true;
    }
    return false;
}

void endGroup(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(-pid, SIGTERM);
    kill(pid, SIGTERM);
    GroupGuard::forget(pid);
}

// A list of 32-bit values (windows, atoms) on a window.
std::vector<xcb_window_t> windowsOf(xcb_connection_t* c, xcb_window_t root, xcb_atom_t property,
                                    xcb_atom_t type = XCB_ATOM_WINDOW)
{
    Freed<xcb_get_property_reply_t> r{
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, property, type, 0, 4096), nullptr)};
    if (!r || r->format != 32)
        return {};
    const auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(r.p));
    return std::vector<xcb_window_t>(data, data + xcb_get_property_value_length(r.p) / 4);
}

} // namespace

bool x11Required()
{
    const char* ci = std::getenv("CI");
    return ci && *ci;
}

bool X11Session::start(const std::vector<std::string>& clients, std::string* error, WindowManager manager)
{
    // The server picks a free display itself and writes its number to us.
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "no pipe";
        return false;
    }
    std::vector<std::string> argv{"Xvfb",   "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                  screenSize_ + "x24", "+extension", "RANDR", "-nolisten", "tcp", "-noreset"};
    server_ = spawn(argv, "", fds[1]);
    close(fds[1]);
    if (server_ < 0) {
        close(fds[0]);
        *error = "Xvfb cannot be started (is the xvfb package installed?)";
        return false;
    }
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + answerDeadline;
    while (number.empty() || number.back() != '\n') {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, int(left)) <= 0)
            break;
        char ch = 0;
        if (read(fds[0], &ch, 1) != 1)
            break;
        number += ch;
    }
    close(fds[0]);
    if (number.empty() || number.back() != '\n') {
        *error = "Xvfb did not start: " + describeProcess(server_);
        stop();
        return false;
    }
    number.pop_back();
    display_ = ":" + number;

    c_ = xcb_connect(display_.c_str(), nullptr);
    if (!c_ || xcb_connection_has_error(c_)) {
        *error = "cannot connect to " + display_;
        stop();
        return false;
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    witness_.emplace("the X session", [this] { return describe(); });

    if (!startManager(manager, error)) {
        *error += "; " + describe();
        stop();
        return false;
    }
    for (const auto& client : clients)
        launch({client});
    if (!waitFor([&] { return clientList().size() >= clients.size(); }, answerDeadline)) {
        *error = "the clients were not managed in time; " + describe();
        stop();
        return false;
    }
    return true;
}

std::string_view rawValue(WindowManager manager)
{
    switch (manager) {
    case WindowManager::openbox: return "openbox";
    case WindowManager::openboxKeysFree: return "openboxKeysFree";
    case WindowManager::xfwm4: return "xfwm4";
    case WindowManager::mutter: return "mutter";
    case WindowManager::kwin: return "kwin";
    case WindowManager::i3: return "i3";
    }
    return "openbox";
}

std::optional<WindowManager> WindowManager_from(std::string_view raw)
{
    for (auto m : {WindowManager::openbox, WindowManager::openboxKeysFree, WindowManager::xfwm4, WindowManager::mutter,
                   WindowManager::kwin, WindowManager::i3})
        if (rawValue(m) == raw)
            return m;
    return std::nullopt;
}

namespace {

bool writeText(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return true;
}

} // namespace

bool X11Session::startManager(WindowManager manager, std::string* error)
{
    const std::string name(rawValue(manager));
    char folder[] = "/tmp/kavelo-wm-XXXXXX";
    if (!mkdtemp(folder)) {
        *error = "no settings folder for " + name;
        return false;
    }
    settings_ = folder;
    // Desktop managers keep their settings, caches and data in the folder.
    const std::vector<std::string> ownFolders{"XDG_CONFIG_HOME=" + settings_, "XDG_DATA_HOME=" + settings_,
                                              "XDG_CACHE_HOME=" + settings_, "NO_AT_BRIDGE=1"};
    const auto with = [&](std::vector<std::string> more) {
        more.insert(more.end(), ownFolders.begin(), ownFolders.end());
        return more;
    };
    switch (manager) {
    case WindowManager::openbox:
    case WindowManager::openboxKeysFree: {
        // The stock configuration, without the iconify animation: a window
        // restored would otherwise glide into place while the next test reads it.
        std::vector<std::string> argv{"openbox"};
        if (auto stock = readText("/etc/xdg/openbox/rc.xml")) {
            const std::string on = "<animateIconify>yes</animateIconify>";
            if (const auto at = stock->find(on); at != std::string::npos)
                stock->replace(at, on.size(), "<animateIconify>no</animateIconify>");
            if (manager == WindowManager::openboxKeysFree) {
                // Its own switcher off Alt-Tab, as a user who runs ours sets it.
                const auto from = stock->find("<keyboard>");
                const auto to = stock->find("</keyboard>");
                if (from != std::string::npos && to != std::string::npos && to > from)
                    stock->replace(from, to - from, "<keyboard>");
            }
            std::string bound;
            for (const auto& [key, action] : bindings_)
                bound += "<keybind key=\"" + key + "\">" + action + "</keybind>";
            if (const auto at = stock->find("<keyboard>"); at != std::string::npos)
                stock->insert(at + std::string_view("<keyboard>").size(), bound);
            const std::string path = settings_ + "/rc.xml";
            if (writeText(path, *stock))
                argv.insert(argv.end(), {"--config-file", path});
        }
        children_.push_back({spawn(argv, display_), name});
        break;
    }
    case WindowManager::xfwm4:
        children_.push_back({spawn({"dbus-run-session", "--", "xfwm4", "--compositor=off", "--sm-client-disable"},
                                   display_, -1, with({})),
                             name});
        break;
    case WindowManager::mutter:
        // Settings in memory, so that nothing is written to the user's.
        children_.push_back({spawn({"dbus-run-session", "--", "mutter", "--x11", "--replace", "--sm-disable"},
                                   display_, -1, with({"GSETTINGS_BACKEND=memory"})),
                             name});
        break;
    case WindowManager::kwin:
        // A Qt program: on the display, whatever platform the tests run on.
        children_.push_back({spawn({"dbus-run-session", "--", "kwin_x11", "--replace"}, display_, -1,
                                   with({"QT_QPA_PLATFORM=xcb", "KWIN_COMPOSE=N"})),
                             name});
        break;
    case WindowManager::i3: {
        const std::string path = settings_ + "/i3.conf";
        // Marked as today's format: an unmarked file is converted as an old
        // one, which adds a bar that docks late and takes the windows' room.
        if (!writeText(path, "# i3 config file (v4)\nfont pango:DejaVu Sans 8\ndefault_border normal 2\n"
                             "focus_follows_mouse no\n")) {
            *error = "no i3 configuration";
            return false;
        }
        children_.push_back({spawn({"i3", "-c", path}, display_, -1, with({})), name});
        break;
    }
    }
    if (children_.back().pid < 0) {
        *error = name + " cannot be started (is it installed?)";
        return false;
    }
    const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    const bool managed = waitFor(
        [&] {
            Freed<xcb_get_property_reply_t> r{
                xcb_get_property_reply(c_, xcb_get_property(c_, 0, root_, check, XCB_ATOM_WINDOW, 0, 1), nullptr)};
            return r && xcb_get_property_value_length(r.p) == 4;
        },
        startDeadline);
    if (!managed) {
        *error = name + " did not start on " + display_;
        return false;
    }
    if (!answering()) {
        *error = name + " does not answer on " + display_;
        return false;
    }
    return true;
}

// A manager names its check window before its event loop runs, and a
// window mapped in between can wait for a later event to be managed: wait
// until the manager answers. One that lists the frame-extents request
// answers that; any manager takes a window it is shown into its list.
bool X11Session::answering()
{
    const xcb_window_t probe = xcb_generate_id(c_);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, probe, root_, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t request = atom("_NET_REQUEST_FRAME_EXTENTS");
    const auto supported = windowsOf(c_, root_, atom("_NET_SUPPORTED"), XCB_ATOM_ATOM);
    bool answered = false;
    if (std::find(supported.begin(), supported.end(), request) != supported.end()) {
        const xcb_atom_t extents = atom("_NET_FRAME_EXTENTS");
        answered = waitFor(
            [&] {
                xcb_client_message_event_t message{};
                message.response_type = XCB_CLIENT_MESSAGE;
                message.format = 32;
                message.window = probe;
                message.type = request;
                xcb_send_event(c_, 0, root_,
                               XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                               reinterpret_cast<const char*>(&message));
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                Freed<xcb_get_property_reply_t> r{xcb_get_property_reply(
                    c_, xcb_get_property(c_, 0, probe, extents, XCB_ATOM_CARDINAL, 0, 4), nullptr)};
                return r && xcb_get_property_value_length(r.p) == 16;
            },
            // Not a give-up: a manager silent this long is asked the other way.
            std::chrono::seconds(10));
    }
    if (!answered) {
        xcb_map_window(c_, probe);
        xcb_flush(c_);
        answered = waitFor(
            [&] {
                const auto list = clientList();
                return std::find(list.begin(), list.end(), probe) != list.end();
            },
            answerDeadline);
    }
    xcb_destroy_window(c_, probe);
    xcb_flush(c_);
    // Gone from the manager's list too, so that no test meets it.
    return answered && waitFor(
                           [&] {
                               const auto list = clientList();
                               return std::find(list.begin(), list.end(), probe) == list.end();
                           },
                           answerDeadline);
}

void X11Session::stop()
{
    if (c_) {
        xcb_disconnect(c_);
        c_ = nullptr;
    }
    witness_.reset();
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        endGroup(it->pid);
    for (const auto& [pid, name] : children_)
        if (pid > 0) {
            waitpid(pid, nullptr, 0);
            // What the program started (a settings daemon saving on its way
            // out) ends too before its folder goes.
            for (int tries = 0; tries < 200 && groupRuns(pid); ++tries)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    children_.clear();
    if (!settings_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(settings_, ignored);
        settings_.clear();
    }
    if (server_ > 0) {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
        GroupGuard::forget(server_);
        server_ = -1;
    }
}

pid_t X11Session::launch(const std::vector<std::string>& argv)
{
    const pid_t pid = spawn(argv, display_);
    children_.push_back({pid, argv.empty() ? std::string() : argv.front()});
    return pid;
}

pid_t X11Session::launchTray()
{
    const pid_t tray = launch({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                               "28", "--SetDockType", "true", "--SetPartialStrut", "false", "--transparent",
                               "false"});
    const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
    const bool owned = waitFor(
        [&] {
            Freed<xcb_get_selection_owner_reply_t> owner{
                xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, selection), nullptr)};
            return owner && owner->owner != XCB_NONE;
        },
        answerDeadline);
    return owned ? tray : -1;
}

void X11Session::terminate(pid_t pid)
{
    const auto it = std::find_if(children_.begin(), children_.end(), [&](const Child& c) { return c.pid == pid; });
    if (it == children_.end() || pid <= 0)
        return;
    children_.erase(it);
    endGroup(pid);
    waitpid(pid, nullptr, 0);
}

std::string X11Session::describe() const
{
    std::string out = "server " + display_ + ": " + describeProcess(server_);
    for (std::size_t i = 0; i < children_.size(); ++i)
        out += (i == 0 ? "; manager " : "; launched ") + children_[i].name + ": " + describeProcess(children_[i].pid);
    if (!c_ || xcb_connection_has_error(c_))
        return out + "; the connection to the server is broken";
    return out + "; " + describeWindows();
}

std::string X11Session::describeWindows() const
{
    const auto list = clientList();
    std::string out = std::to_string(list.size()) + " managed windows";
    constexpr std::size_t shown = 12;
    for (std::size_t i = 0; i < list.size() && i < shown; ++i) {
        const xcb_window_t w = list[i];
        char id[16];
        std::snprintf(id, sizeof id, "0x%x", w);
        out += std::string(i == 0 ? ": " : ", ") + id + " " + wmClass(w).value_or("(no class)");
        for (const xcb_atom_t property : {atom("_NET_WM_NAME"), xcb_atom_t(XCB_ATOM_WM_NAME)}) {
            Freed<xcb_get_property_reply_t> name{xcb_get_property_reply(
                c_, xcb_get_property(c_, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr)};
            if (name && name->format == 8 && xcb_get_property_value_length(name.p) > 0) {
                out += " \"" +
                       std::string(static_cast<const char*>(xcb_get_property_value(name.p)),
                                   std::size_t(xcb_get_property_value_length(name.p))) +
                       "\"";
                break;
            }
        }
        Freed<xcb_get_window_attributes_reply_t> a{
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr)};
        out += !a ? " gone" : a->map_state == XCB_MAP_STATE_VIEWABLE ? " mapped" : " unmapped";
        if (const auto f = frame(w))
            out += " at " + std::to_string(int(f->minX())) + "," + std::to_string(int(f->minY())) + " " +
                   std::to_string(int(f->width())) + "x" + std::to_string(int(f->height()));
    }
    if (list.size() > shown)
        out += ", and " + std::to_string(list.size() - shown) + " more";
    if (const auto active = activeWindow()) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%x", *active);
        out += "; active " + std::string(id);
    } else {
        out += "; none active";
    }
    return out;
}

void X11Session::sync() const
{
    Freed<xcb_get_input_focus_reply_t> r{xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)};
}

bool X11Session::run(const std::vector<std::string>& argv)
{
    const pid_t pid = spawn(argv, display_);
    if (pid < 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    GroupGuard::forget(pid);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

xcb_atom_t X11Session::atom(const char* name) const
{
    Freed<xcb_intern_atom_reply_t> r{
        xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::uint16_t(std::strlen(name)), name), nullptr)};
    return r ? r->atom : XCB_NONE;
}

std::vector<xcb_window_t> X11Session::clientList() const { return windowsOf(c_, root_, atom("_NET_CLIENT_LIST")); }

std::vector<xcb_window_t> X11Session::stackingList() const
{
    return windowsOf(c_, root_, atom("_NET_CLIENT_LIST_STACKING"));
}

std::optional<Rect> X11Session::frame(xcb_window_t window) const
{
    Freed<xcb_get_geometry_reply_t> g{xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window), nullptr)};
    Freed<xcb_translate_coordinates_reply_t> t{
        xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, window, root_, 0, 0), nullptr)};
    const xcb_atom_t extentsAtom = atom("_NET_FRAME_EXTENTS");
    Freed<xcb_get_property_reply_t> e{xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, window, extentsAtom, XCB_ATOM_CARDINAL, 0, 4), nullptr)};
    if (!g || !t)
        return std::nullopt;
    double l = 0, r = 0, top = 0, b = 0;
    if (e && xcb_get_property_value_length(e.p) == 16) {
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(e.p));
        l = v[0];
        r = v[1];
        top = v[2];
        b = v[3];
    }
    return Rect(t->dst_x - l, t->dst_y - top, g->width + l + r, g->height + top + b);
}

std::optional<Rect> X11Session::clientArea(xcb_window_t window) const
{
    Freed<xcb_get_geometry_reply_t> g{xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window), nullptr)};
    Freed<xcb_translate_coordinates_reply_t> t{
        xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, window, root_, 0, 0), nullptr)};
    if (!g || !t)
        return std::nullopt;
    return Rect(t->dst_x, t->dst_y, g->width, g->height);
}

std::vector<std::uint32_t> X11Session::cardinals(xcb_window_t window, const char* property) const
{
    Freed<xcb_get_property_reply_t> r{xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, window, atom(property), XCB_ATOM_CARDINAL, 0, 64), nullptr)};
    if (!r || r->format != 32)
        return {};
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(r.p));
    return std::vector<std::uint32_t>(data, data + xcb_get_property_value_length(r.p) / 4);
}

void X11Session::setCardinals(xcb_window_t window, const char* property, const std::vector<std::uint32_t>& values)
{
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, atom(property), XCB_ATOM_CARDINAL, 32,
                        std::uint32_t(values.size()), values.data());
    sync();
}

std::vector<xcb_window_t> X11Session::mappedWindows(int levels) const
{
    std::vector<xcb_window_t> out;
    std::vector<xcb_window_t> level{root_};
    for (int depth = 0; depth < levels; ++depth) {
        std::vector<xcb_window_t> next;
        for (xcb_window_t parent : level) {
            Freed<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(c_, xcb_query_tree(c_, parent), nullptr)};
            if (!tree)
                continue;
            const xcb_window_t* children = xcb_query_tree_children(tree.p);
            for (int i = 0; i < xcb_query_tree_children_length(tree.p); ++i) {
                Freed<xcb_get_window_attributes_reply_t> attributes{
                    xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, children[i]), nullptr)};
                if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                    next.push_back(children[i]);
            }
        }
        out.insert(out.end(), next.begin(), next.end());
        level = std::move(next);
    }
    return out;
}

std::string X11Session::pixels(const Rect& area) const
{
    Freed<xcb_get_image_reply_t> image{xcb_get_image_reply(
        c_,
        xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, std::int16_t(area.minX()), std::int16_t(area.minY()),
                      std::uint16_t(area.width()), std::uint16_t(area.height()), ~0u),
        nullptr)};
    if (!image)
        return {};
    return std::string(reinterpret_cast<const char*>(xcb_get_image_data(image.p)),
                       std::size_t(xcb_get_image_data_length(image.p)));
}

std::vector<xcb_window_t> X11Session::windowsOfClass(const std::string& name) const
{
    std::vector<xcb_window_t> out;
    for (xcb_window_t w : clientList())
        if (wmClass(w) == name)
            out.push_back(w);
    return out;
}

std::optional<std::string> X11Session::wmClass(xcb_window_t window) const
{
    Freed<xcb_get_property_reply_t> r{
        xcb_get_property_reply(c_, xcb_get_property(c_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr)};
    if (!r || r->format != 8)
        return std::nullopt;
    std::string text(static_cast<const char*>(xcb_get_property_value(r.p)), std::size_t(xcb_get_property_value_length(r.p)));
    const auto zero = text.find('\0');
    if (zero == std::string::npos)
        return text;
    std::string cls = text.substr(zero + 1);
    return cls.substr(0, cls.find('\0'));
}

Size X11Session::resizeIncrements(xcb_window_t window) const
{
    xcb_size_hints_t hints{};
    if (!xcb_icccm_get_wm_normal_hints_reply(c_, xcb_icccm_get_wm_normal_hints(c_, window), &hints, nullptr) ||
        !(hints.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC))
        return Size();
    return Size(hints.width_inc, hints.height_inc);
}

std::optional<std::uint32_t> X11Session::currentDesktop() const
{
    Freed<xcb_get_property_reply_t> r{xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, root_, atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 0, 1), nullptr)};
    if (!r || xcb_get_property_value_length(r.p) != 4)
        return std::nullopt;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(r.p));
}

std::optional<xcb_window_t> X11Session::activeWindow() const
{
    const auto list = windowsOf(c_, root_, atom("_NET_ACTIVE_WINDOW"));
    if (list.empty() || list.front() == XCB_NONE)
        return std::nullopt;
    return list.front();
}

namespace {

void sendToManager(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                   std::uint32_t first, std::uint32_t second = 0)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    message.data.data32[0] = first;
    message.data.data32[1] = second;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    // Handled by the server before anything sent after this returns, so the
    // manager reads it before a later barrier.
    Freed<xcb_get_input_focus_reply_t> sync{xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)};
}

} // namespace

void X11Session::activate(xcb_window_t window)
{
    sendToManager(c_, root_, window, atom("_NET_ACTIVE_WINDOW"), 2, XCB_CURRENT_TIME);
}

void X11Session::iconify(xcb_window_t window)
{
    sendToManager(c_, root_, window, atom("WM_CHANGE_STATE"), XCB_ICCCM_WM_STATE_ICONIC);
}

void X11Session::closeWindow(xcb_window_t window)
{
    sendToManager(c_, root_, window, atom("_NET_CLOSE_WINDOW"), XCB_CURRENT_TIME, 2);
}

// Source 2: a pager, which the manager obeys without second thoughts.
void X11Session::moveToDesktop(xcb_window_t window, std::uint32_t desktop)
{
    sendToManager(c_, root_, window, atom("_NET_WM_DESKTOP"), desktop, 2);
}

void X11Session::switchToDesktop(std::uint32_t desktop)
{
    sendToManager(c_, root_, root_, atom("_NET_CURRENT_DESKTOP"), desktop, XCB_CURRENT_TIME);
}

void X11Session::key(std::uint8_t keycode, bool press)
{
    xcb_test_fake_input(c_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c_);
}

void X11Session::button(std::uint8_t button, bool press)
{
    xcb_test_fake_input(c_, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c_);
}

void X11Session::movePointer(int x, int y)
{
    xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, std::int16_t(x), std::int16_t(y), 0);
    xcb_flush(c_);
}

} // namespace kavelo::test
