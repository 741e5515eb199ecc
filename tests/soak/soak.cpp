// The real `kavelo` over time: Xvfb 1920 × 1080 with openbox (Alt-Tab left
// free), stock clients churned at about ten events a second (opened,
// closed, moved, resized, minimized and brought back; 5 to 60 alive) and
// Kavelo's own actions mixed in every few seconds (arrange modes, strip
// keys, tidy and undo, layouts, the switcher, the overview, the menu panel,
// monitor changes), all as a user makes them: keys through XTest, URLs handed to
// the running instance as a second `kavelo` hands them (a quarter through
// a second `kavelo` itself).
//
// The churn keeps every window it moves or sizes on the screen and at
// least the layout floor, so that a window found elsewhere is Kavelo's or
// the window manager's doing.
//
// Its resident memory is sampled every 10 s, each time between two of its
// actions (what an open panel holds while it is open is not growth). The
// run fails when the program dies, when any sample passes `ceilingMB`, or
// when memory after the first `warmUp` rises more than `riseMB`: the median
// of each stretch of `stretch` minutes against that of the first stretch
// after the warm-up. A panel keeps its pixels (8 MB for a full screen) for
// 20 s after it closes and the pictures stay within their budget, so a
// single minute's median flips with the panels opened last; ten minutes'
// follow growth, not the panels and pictures of the moment.
//
// Every action is also a sample of how quickly the program answers: a
// forwarded URL from the request to its answer, a key to the panel it
// opens in view (the switcher's designed delay left out). Any sample over
// `slowestAnswer` fails the run.
//
// At the end, the churn stopped and settled, the program must rest: over
// `restMeasured` it may take at most `restingShare` of a core.
//
// Every memory sample also checks the windows (not while a monitor change
// settles): none under the layout floor of its monitor while a layout mode
// is on, none mostly outside every monitor (in a layout mode, one kept
// beside a monitor, within its height, is the strip's or auto mode's). A failure names the window and who asked
// for the configure that put it there.
//
//   kavelo_soak MINUTES [KAVELO]

#include "app/platform/x11/x11_desktop.h"
#include "app/shell/single_instance.h"
#include "app/switcher/switcher_controller.h"
#include "services/temp_home.h"
#include "soak/server_watch.h"
#include "support/cpu_use.h"
#include "support/memory_use.h"
#include "support/running_kavelo.h"
#include "support/x11_session.h"

#include <sys/wait.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace kavelo;
using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr double ceilingMB = 100;
constexpr double riseMB = 10;
constexpr auto warmUp = 5min;
constexpr std::size_t samplesPerMinute = 6;
constexpr double stretch = 10;   // minutes; half of what follows the warm-up in a shorter run
constexpr auto sampleEvery = 10s;
constexpr auto clientEventEvery = 100ms;
constexpr auto quietBeforeSample = 1500ms;
// Kavelo lays the windows out for new monitors once they have stayed put
// 2.5 s (they come in bursts); the windows are judged after that and a pass.
constexpr auto monitorsSettle = 4s;
// KAVELO_SOAK_FEWEST raises it, to hold the churn among many windows.
int fewestClients = 5;
constexpr int mostClients = 60;
constexpr double slowestAnswer = 250;   // ms
constexpr double feltAnswer = 100;      // ms; counted, not failed
constexpr auto panelTimeout = 2s;
// The least a panel must be to count as the overview, as the switcher.
constexpr Size overviewSize(800, 400);
constexpr Size switcherSize(240, 100);
// Past the layout floor, what a window's own size steps and the gap around
// the usable area may take off it.
constexpr double floorSlack = 4;
// How far beside a monitor the strip and auto mode keep the windows out of
// view.
constexpr double besideSlack = 16;
// Past the last action's own delays (a monitor change settles in 2.5 s).
constexpr auto restSettle = 5s;
constexpr auto restMeasured = 3s;
constexpr double restingShare = 0.05;

struct Sample {
    double seconds = 0;
    double rss = 0, pss = 0;   // MB
    int threads = 0, files = 0;
    double heap = 0, shared = 0, anon = 0, files_ = 0;   // MB resident, by kind of mapping
};

// Resident memory by kind of mapping: the malloc heap, shared memory (Qt's
// backing stores and the X server's shm images), other anonymous maps
// (large blocks, arenas, thread stacks) and mapped files.
void addMappings(pid_t pid, Sample& s)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
    double* kind = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.empty())
            continue;
        if (std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < 16) {
            // "start-end perms offset dev inode   path"
            std::size_t field = 0, i = 0;
            while (field < 5 && i < line.size()) {
                i = line.find(' ', i);
                if (i == std::string::npos)
                    break;
                while (i < line.size() && line[i] == ' ')
                    ++i;
                ++field;
            }
            const std::string path = i < line.size() ? line.substr(i) : std::string();
            if (path == "[heap]")
                kind = &s.heap;
            else if (path.starts_with("/memfd:") || path.starts_with("/SYSV") || path.starts_with("/dev/shm"))
                kind = &s.shared;
            else if (path.empty() || path.starts_with("["))
                kind = &s.anon;
            else
                kind = &s.files_;
        } else if (kind && line.starts_with("Rss:")) {
            *kind += std::atof(line.c_str() + 4) / 1024;
        }
    }
}

// What /proc says of a process; no value once it is gone.
std::optional<Sample> sample(pid_t pid)
{
    const auto use = test::memoryUse(std::to_string(pid));
    if (!use)
        return std::nullopt;
    Sample s{.rss = use->rss, .pss = use->pss};
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Threads:"))
            s.threads = std::atoi(line.c_str() + 8);
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++s.files;
    addMappings(pid, s);
    return s;
}

bool alive(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

double ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string rectText(const Rect& r)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%.0f, %.0f, %.0f × %.0f)", r.minX(), r.minY(), r.width(), r.height());
    return text;
}

double area(const Rect& r) { return r.isNull() || r.isEmpty() ? 0 : r.width() * r.height(); }

// The layout floor of a side: an eighth, at least 120 points, at most the side.
double floorOf(double side) { return std::min(side, std::max(side / 8, 120.0)); }

// How long each kind of request took to be answered, in ms.
class Answers {
public:
    void add(const std::string& kind, double ms) { byKind_[kind].push_back(ms); }
    // "kind: count, median, max" per kind.
    void print() const
    {
        for (const auto& [kind, values] : byKind_) {
            auto sorted = values;
            std::sort(sorted.begin(), sorted.end());
            const auto over = [&](double limit) {
                return std::size_t(std::count_if(sorted.begin(), sorted.end(), [&](double v) { return v > limit; }));
            };
            std::printf("soak: %-28s %4zu samples, median %6.1f ms, max %7.1f ms, over %.0f ms: %zu, over %.0f ms: "
                        "%zu\n",
                        kind.c_str(), sorted.size(), sorted[sorted.size() / 2], sorted.back(), feltAnswer,
                        over(feltAnswer), slowestAnswer, over(slowestAnswer));
        }
    }

private:
    std::map<std::string, std::vector<double>> byKind_;
};

class Soak {
public:
    Soak(test::X11Session& session, X11Desktop& x11, soak::ServerWatch& watch, std::string kavelo,
         std::filesystem::path socket)
        : session_(session), x11_(x11), watch_(watch), kavelo_(std::move(kavelo)), socket_(std::move(socket)),
          random_(20240611)
    {
    }

    void openClient()
    {
        // Each at least the layout floor from its start.
        static const std::vector<std::string> programs[] = {
            {"xterm"}, {"xclock", "-geometry", "300x300"}, {"xeyes", "-geometry", "320x200"}};
        clients_.push_back(session_.launch(programs[pick(3)]));
    }

    // One event of the desktop's own life.
    void clientEvent()
    {
        const int alive = int(clients_.size());
        const int roll = pick(100);
        if (alive < fewestClients || (roll < 22 && alive < mostClients)) {
            openClient();
            return;
        }
        if (roll < 40 || alive >= mostClients) {
            const std::size_t i = std::size_t(pick(alive));
            session_.terminate(clients_[i]);
            clients_.erase(clients_.begin() + std::ptrdiff_t(i));
            return;
        }
        const auto windows = managed();
        if (windows.empty())
            return;
        const xcb_window_t w = windows[std::size_t(pick(int(windows.size())))];
        xcb_connection_t* c = session_.connection();
        if (roll < 85) {
            // Moved, or sized and moved as needed, always whole on the
            // screen: the client's corner leaves room for the decorations.
            const auto frame = session_.frame(w);
            const auto client = session_.clientArea(w);
            if (!frame || !client)
                return;
            const double extraW = frame->width() - client->width(), extraH = frame->height() - client->height();
            double width = client->width(), height = client->height();
            if (roll >= 65) {
                width = 260 + pick(740);
                height = 160 + pick(640);
            }
            const int room = std::max(1, int(screen_.width() - width - extraW));
            const int roomY = std::max(1, int(screen_.height() - height - extraH));
            const std::uint32_t values[] = {std::uint32_t(pick(room)), std::uint32_t(int(extraH) + pick(roomY)),
                                            std::uint32_t(width), std::uint32_t(height)};
            const std::uint16_t mask = XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y |
                                       (roll >= 65 ? XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT : 0);
            xcb_configure_window(c, w, mask, values);
        } else if (roll < 93) {
            session_.iconify(w);
        } else {
            activate(w);
        }
        xcb_flush(c);
    }

    // One thing the user asks of Kavelo.
    void action()
    {
        ++actions_;
        const int roll = pick(100);
        if (roll < 22)
            switcher();
        else if (roll < 42)
            overview();
        else if (roll < 47)
            monitors();
        else if (roll < 55)
            panel();
        else
            url();
    }

    // Whether every window stands as it should; names each that does not.
    bool checkWindows(double seconds)
    {
        if (Steady::now() - monitorsChanged_ < monitorsSettle)
            return true;
        bool good = true;
        const auto shows = monitorFrames();
        for (const xcb_window_t w : managed()) {
            xcb_get_window_attributes_cookie_t cookie = xcb_get_window_attributes(session_.connection(), w);
            auto* attributes = xcb_get_window_attributes_reply(session_.connection(), cookie, nullptr);
            const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            std::free(attributes);
            const auto frame = session_.frame(w);
            if (!viewable || !frame || frame->isEmpty())
                continue;
            const std::string name = session_.wmClass(w).value_or("?");
            double inside = 0;
            const Rect* home = &shows.front();
            for (const Rect& m : shows) {
                const double a = area(m.intersection(*frame));
                inside += a;
                if (a > area(home->intersection(*frame)))
                    home = &m;
            }
            char id[16];
            std::snprintf(id, sizeof id, "0x%x", w);
            if (inside * 2 < area(*frame) && !(mode_ != "off" && beside(*frame, shows))) {
                std::printf("soak: FAIL at %.0f s (mode %s): %s %s at %s is mostly outside every monitor; %s\n",
                            seconds, mode_.c_str(), name.c_str(), id, rectText(*frame).c_str(),
                            (watch_.placedBy(w) + lastActions()).c_str());
                good = false;
                continue;
            }
            // A fill holds arranging until it ends: the windows stand as
            // they were, laid out by no mode.
            if (mode_ == "off" || filling_)
                continue;
            const Size floor(floorOf(home->width()), floorOf(home->height()));
            const Size steps = session_.resizeIncrements(w);
            if (frame->width() + floorSlack + steps.width < floor.width ||
                frame->height() + floorSlack + steps.height < floor.height) {
                std::printf("soak: FAIL at %.0f s (mode %s): %s %s at %s is under the floor (%.0f × %.0f) of its "
                            "monitor %s; %s\n",
                            seconds, mode_.c_str(), name.c_str(), id, rectText(*frame).c_str(), floor.width,
                            floor.height, rectText(*home).c_str(), (watch_.placedBy(w) + lastActions()).c_str());
                good = false;
            }
        }
        return good;
    }

    int clientCount() const { return int(clients_.size()); }
    int actions() const { return actions_; }
    const Answers& answers() const { return answers_; }
    // Samples over `slowestAnswer`, and panels that never came.
    int slow() const { return slow_; }

private:
    // The user's last few requests, for a failure to say what came before it.
    void noteAction(std::string what)
    {
        recent_.emplace_back(Steady::now(), std::move(what));
        if (recent_.size() > 6)
            recent_.pop_front();
    }
    std::string lastActions() const
    {
        std::string out = "; before it:";
        for (auto it = recent_.rbegin(); it != recent_.rend(); ++it)
            out += " [" + std::to_string(int(std::chrono::duration<double>(Steady::now() - it->first).count())) +
                   " s ago] " + it->second + ";";
        return out;
    }

    int pick(int below) { return below <= 1 ? 0 : std::uniform_int_distribution<int>(0, below - 1)(random_); }

    std::vector<xcb_window_t> managed()
    {
        std::vector<xcb_window_t> out;
        for (const char* name : {"XTerm", "XClock", "XEyes"})
            for (auto w : session_.windowsOfClass(name))
                out.push_back(w);
        return out;
    }

    std::vector<Rect> monitorFrames() const
    {
        if (split_)
            return {Rect(0, 0, screen_.width() / 2, screen_.height()),
                    Rect(screen_.width() / 2, 0, screen_.width() / 2, screen_.height())};
        return {screen_};
    }

    // Kept beside a monitor, within its height: waiting or scrolled out of
    // view by a layout.
    static bool beside(const Rect& frame, const std::vector<Rect>& shows)
    {
        return std::any_of(shows.begin(), shows.end(), [&](const Rect& m) {
            const double tall = std::min(frame.maxY(), m.maxY()) - std::max(frame.minY(), m.minY());
            const double apart = std::max(frame.minX() - m.maxX(), m.minX() - frame.maxX());
            return tall * 2 >= frame.height() && apart <= besideSlack;
        });
    }

    void answered(const std::string& kind, double ms, const std::string& what)
    {
        answers_.add(kind, ms);
        if (ms > slowestAnswer) {
            ++slow_;
            std::printf("soak: FAIL %s took %.0f ms (%s, %d clients, mode %s)\n", kind.c_str(), ms, what.c_str(),
                        clientCount(), mode_.c_str());
        }
    }

    // As a pager brings a window forward, minimized or not.
    void activate(xcb_window_t window)
    {
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = window;
        e.type = session_.atom("_NET_ACTIVE_WINDOW");
        e.data.data32[0] = 2;
        xcb_send_event(session_.connection(), 0, session_.root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&e));
    }

    std::uint8_t code(std::uint16_t classic) { return x11_.serverKeyCode(classic).value_or(0); }
    // Each key event reaches the server before its time is taken.
    Steady::time_point press(std::uint16_t classic)
    {
        session_.key(code(classic), true);
        session_.sync();
        return Steady::now();
    }
    void lift(std::uint16_t classic) { session_.key(code(classic), false); }
    Steady::time_point tap(std::uint16_t classic)
    {
        const auto at = press(classic);
        std::this_thread::sleep_for(20ms);
        lift(classic);
        return at;
    }
    void typeLetters(int count)
    {
        static const std::uint16_t letters[] = {14, 15, 17, 8, 0, 31, 7};   // e r t c a o x
        for (int i = 0; i < count; ++i) {
            tap(letters[pick(7)]);
            std::this_thread::sleep_for(60ms);
        }
    }

    // The key that opens a panel to the panel in view, `delay` of it by design.
    void timePanel(const std::string& kind, Steady::time_point keyAt, Size least, double delay)
    {
        const auto shown = watch_.panelShown(keyAt, least, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                               panelTimeout - (Steady::now() - keyAt)));
        if (!shown) {
            answered(kind, ms(panelTimeout), "no panel came; Kavelo's mapped windows:" + watch_.kaveloWindows());
            return;
        }
        answered(kind, ms(*shown - keyAt) - delay * 1000, "to the panel in view");
    }

    void switcher()
    {
        constexpr std::uint16_t option = 58, tab = 48, escape = 53;
        press(option);
        std::this_thread::sleep_for(30ms);
        const auto tabAt = tap(tab);
        std::this_thread::sleep_for(std::chrono::milliseconds(250 + pick(250)));
        timePanel("switcher key → panel", tabAt, switcherSize, SwitcherController::showDelay);
        if (pick(2))
            tap(tab);
        if (pick(3) == 0)
            typeLetters(1 + pick(2));
        std::this_thread::sleep_for(150ms);
        if (pick(3) == 0)
            tap(escape);
        lift(option);
    }

    void overview()
    {
        constexpr std::uint16_t control = 59, option = 58, space = 49, escape = 53, right = 124, returnKey = 36;
        press(control);
        press(option);
        const auto spaceAt = tap(space);
        lift(option);
        lift(control);
        timePanel("overview key → panel", spaceAt, overviewSize, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + pick(300)));
        if (pick(2))
            typeLetters(1 + pick(3));
        if (pick(2))
            tap(right);
        std::this_thread::sleep_for(200ms);
        tap(pick(3) == 0 ? returnKey : escape);
        // Return with no window found leaves it open, as a person sees and
        // closes it.
        std::this_thread::sleep_for(300ms);
        if (watch_.panelInView(overviewSize))
            tap(escape);
    }

    void monitors()
    {
        if (split_) {
            session_.run({"xrandr", "--delmonitor", "Left"});
            session_.run({"xrandr", "--delmonitor", "Right"});
        } else {
            session_.run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"});
            session_.run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"});
        }
        split_ = !split_;
        monitorsChanged_ = Steady::now();
        // Under a layout mode the change ends a fill.
        if (mode_ != "off")
            filling_ = false;
        noteAction(split_ ? "monitors split" : "monitors joined");
    }

    // The menu panel, opened and closed again by a second start, as from a
    // launcher.
    void panel()
    {
        noteAction("menu panel");
        session_.run({kavelo_});
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + pick(700)));
        session_.run({kavelo_});
    }

    void url()
    {
        static const char* const urls[] = {
            "kavelo://mode/strip",        "kavelo://mode/auto",         "kavelo://mode/off",
            "kavelo://run/tidy",          "kavelo://run/undoArrange",   "kavelo://run/focusRight",
            "kavelo://run/focusLeft",     "kavelo://run/moveLeft",      "kavelo://run/moveRight",
            "kavelo://run/cycleWidth",    "kavelo://run/center",        "kavelo://run/wider",
            "kavelo://run/stackLeft",     "kavelo://run/popRight",      "kavelo://run/snapLeft",
            "kavelo://run/snapMaximize",  "kavelo://layout/grid",       "kavelo://layout/columns",
            "kavelo://run/fillScreen",    "kavelo://run/noPeek",        "kavelo://run/cleanSpace",
            "kavelo://run/layoutFocus",   "kavelo://run/jump2",         "kavelo://run/equalize",
        };
        const std::string url = urls[pick(int(std::size(urls)))];
        noteAction(url);
        const auto start = Steady::now();
        if (pick(4) == 0) {
            // The whole second start, as the desktop runs it for a link.
            session_.run({kavelo_, url});
            answers_.add("url by a second kavelo", ms(Steady::now() - start));
        } else {
            bool reached = false;
            const auto answer = sendToRunningInstance(socket_, InstanceRequest{.kind = InstanceRequest::Kind::open,
                                                                               .urls = {url}},
                                                      2.0, 20.0, &reached);
            if (!answer)
                std::printf("soak: %s was not answered (%s)\n", url.c_str(), reached ? "no answer" : "not reached");
            answered("url answer", ms(Steady::now() - start), url);
        }
        if (url.starts_with("kavelo://mode/"))
            mode_ = url.substr(std::string_view("kavelo://mode/").size());
        if (url == "kavelo://run/fillScreen")
            filling_ = !filling_;
    }

    test::X11Session& session_;
    X11Desktop& x11_;
    soak::ServerWatch& watch_;
    std::string kavelo_;
    std::filesystem::path socket_;
    std::mt19937 random_;
    std::vector<pid_t> clients_;
    int actions_ = 0;
    bool split_ = false;
    Steady::time_point monitorsChanged_;
    std::string mode_ = "off";
    // Whether a fill holds arranging, as the soak asked for it: there is
    // nearly always a focused window to fill.
    bool filling_ = false;
    std::deque<std::pair<Steady::time_point, std::string>> recent_;
    Rect screen_{0, 0, 1920, 1080};
    Answers answers_;
    int slow_ = 0;
};

// The main thread's long waits the program logged, by what it waited for.
void printWaits(const std::filesystem::path& log)
{
    std::ifstream in(log);
    std::map<std::string, std::pair<int, int>> kinds;   // count, longest ms
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find(" waited ");
        if (at == std::string::npos)
            continue;
        const int waited = std::atoi(line.c_str() + at + 8);
        const auto what = line.find(" for ", at);
        auto& k = kinds[what == std::string::npos ? "?" : line.substr(what + 5)];
        ++k.first;
        k.second = std::max(k.second, waited);
    }
    if (kinds.empty())
        std::printf("soak: no main-thread waits logged\n");
    for (const auto& [what, k] : kinds)
        std::printf("soak: waits logged for %s: %d, longest %d ms\n", what.c_str(), k.first, k.second);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kavelo_soak MINUTES [KAVELO]\n");
        return 2;
    }
    const double minutes = std::atof(argv[1]);
    const std::string binary = argc > 2 ? argv[2] : KAVELO_BINARY;
    if (const char* fewest = std::getenv("KAVELO_SOAK_FEWEST"))
        fewestClients = std::clamp(std::atoi(fewest), 1, mostClients);

    test::TempHome home;
    test::privateRuntime(home);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    test::writeDefaults(home, R"({"welcomed": true})");

    test::X11Session session;
    std::string error;
    if (!session.start({"xterm", "xclock", "xeyes"}, &error, test::WindowManager::openboxKeysFree)) {
        std::fprintf(stderr, "soak: no X session: %s\n", error.c_str());
        return 1;
    }
    auto x11 = X11Desktop::connect(session.display(), &error);
    if (!x11) {
        std::fprintf(stderr, "soak: cannot connect: %s\n", error.c_str());
        return 1;
    }
    const auto instance = InstancePaths::make([](std::string_view name) -> std::optional<std::string> {
        const char* value = std::getenv(std::string(name).c_str());
        return value ? std::optional<std::string>(value) : std::nullopt;
    }, ::getuid(), session.display(), &error);
    if (!instance) {
        std::fprintf(stderr, "soak: no runtime folder: %s\n", error.c_str());
        return 1;
    }
    const pid_t kavelo = session.launch({binary});
    soak::ServerWatch watch(session.display(), kavelo, &error);
    if (!watch.ok()) {
        std::fprintf(stderr, "soak: cannot watch the server: %s\n", error.c_str());
        return 1;
    }
    if (!test::waitFor([&] { return test::listens(instance->socket); }, 20s)) {
        std::fprintf(stderr, "soak: kavelo did not listen at %s within 20 s (%s)\n", instance->socket.c_str(),
                     alive(kavelo) ? "still running" : "ended");
        return 1;
    }

    Soak soak(session, *x11, watch, binary, instance->socket);
    for (int i = 0; i < std::max(10, fewestClients); ++i)
        soak.openClient();

    const auto start = Steady::now();
    const auto end = start + std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(minutes * 60));
    auto nextSample = start;
    auto nextAction = start + 2s;
    auto lastAction = start - quietBeforeSample;
    std::mt19937 timing(7);
    std::vector<Sample> samples;
    long events = 0;
    bool failed = false;
    int strayChecks = 0, badChecks = 0;
    const double warmUpMinutes = std::chrono::duration<double>(warmUp).count() / 60;
    const std::size_t window = std::size_t(
        std::max(1.0, std::min(stretch, (minutes - warmUpMinutes) / 2)) * double(samplesPerMinute));
    std::optional<double> settled;   // the median of the first stretch after the warm-up
    std::vector<double> recent;      // the last stretch's samples, after the warm-up
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    while (Steady::now() < end) {
        const auto now = Steady::now();
        if (!alive(kavelo)) {
            std::printf("soak: FAIL kavelo ended after %.0f s\n", std::chrono::duration<double>(now - start).count());
            return 1;
        }
        if (now >= nextSample && now - lastAction >= quietBeforeSample) {
            auto s = sample(kavelo);
            if (s) {
                s->seconds = std::chrono::duration<double>(now - start).count();
                samples.push_back(*s);
                std::printf("soak: %6.0f s  rss %6.1f MB  pss %6.1f MB  (heap %5.1f shm %5.1f anon %5.1f files %5.1f)  "
                            "threads %d  files %d  clients %d  events %ld  actions %d\n",
                            s->seconds, s->rss, s->pss, s->heap, s->shared, s->anon, s->files_, s->threads, s->files,
                            soak.clientCount(), events, soak.actions());
                std::fflush(stdout);
                if (s->rss > ceilingMB) {
                    std::printf("soak: FAIL %.1f MB is above %.0f MB\n", s->rss, ceilingMB);
                    failed = true;
                }
                if (now - start >= warmUp) {
                    recent.push_back(s->rss);
                    if (recent.size() > window)
                        recent.erase(recent.begin());
                    if (!settled && recent.size() == window)
                        settled = median(recent);
                    else if (settled && recent.size() == window && median(recent) - *settled > riseMB) {
                        std::printf("soak: FAIL the median of %.0f minutes rose %.1f MB above the first after warm-up\n",
                                    double(window) / samplesPerMinute, median(recent) - *settled);
                        failed = true;
                    }
                }
                ++strayChecks;
                if (!soak.checkWindows(s->seconds)) {
                    ++badChecks;
                    failed = true;
                }
                std::fflush(stdout);
            }
            nextSample += sampleEvery;
            if (nextSample <= now)
                nextSample = now + sampleEvery;
        }
        if (now >= nextAction) {
            soak.action();
            std::fflush(stdout);
            lastAction = Steady::now();
            nextAction = Steady::now() + std::chrono::milliseconds(2000 + std::uniform_int_distribution<int>(0, 4000)(timing));
            continue;
        }
        soak.clientEvent();
        ++events;
        std::this_thread::sleep_for(clientEventEvery);
    }
    // The desktop stands still: Kavelo too.
    std::this_thread::sleep_for(restSettle);
    const auto atRest = test::cpuShare(kavelo, restMeasured);
    if (!atRest) {
        std::printf("soak: FAIL kavelo ended at the end\n");
        return 1;
    }
    std::printf("soak: cpu at rest %.1f %% of a core (%d clients)\n", *atRest * 100, soak.clientCount());
    if (*atRest > restingShare) {
        std::printf("soak: FAIL at rest it took more than %.0f %% of a core\n", restingShare * 100);
        failed = true;
    }
    session.terminate(kavelo);
    if (samples.empty()) {
        std::printf("soak: FAIL no samples\n");
        return 1;
    }
    if (soak.slow() > 0)
        failed = true;
    soak.answers().print();
    printWaits(home.paths().logs / "engine.log");
    const auto highest = std::max_element(samples.begin(), samples.end(),
                                          [](const Sample& a, const Sample& b) { return a.rss < b.rss; });
    std::printf("soak: window checks %d, failed %d; answers over %.0f ms: %d\n", strayChecks, badChecks,
                slowestAnswer, soak.slow());
    std::printf("soak: %s  %.0f min, %ld client events, %d actions; rss first %.1f, the first stretch after warm-up "
                "%.1f, the last %.1f, highest %.1f MB\n",
                failed ? "FAIL" : "PASS", minutes, events, soak.actions(), samples.front().rss,
                settled.value_or(-1.0), recent.empty() ? -1.0 : median(recent), highest->rss);
    return failed ? 1 : 0;
}
