// The real `kavelo` over time: Xvfb 1920 × 1080 with openbox (Alt-Tab left
// free), stock clients churned at about ten events a second (opened,
// closed, moved, resized, minimized and brought back; 5 to 60 alive) and
// Kavelo's own actions mixed in every few seconds (arrange modes, strip
// keys, tidy and undo, layouts, the switcher, the overview, monitor
// changes), all as a user makes them: keys through XTest, URLs through a
// second `kavelo`.
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
//   kavelo_soak MINUTES [KAVELO]

#include "app/platform/x11/x11_desktop.h"
#include "services/temp_home.h"
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
constexpr int fewestClients = 5;
constexpr int mostClients = 60;

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

class Soak {
public:
    Soak(test::X11Session& session, X11Desktop& x11, std::string kavelo)
        : session_(session), x11_(x11), kavelo_(std::move(kavelo)), random_(20240611)
    {
    }

    void openClient()
    {
        static const char* const programs[] = {"xterm", "xclock", "xeyes"};
        clients_.push_back(session_.launch({programs[pick(3)]}));
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
        if (roll < 65) {
            const std::uint32_t at[] = {std::uint32_t(pick(1500)), std::uint32_t(pick(800))};
            xcb_configure_window(c, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, at);
        } else if (roll < 85) {
            const std::uint32_t size[] = {std::uint32_t(120 + pick(900)), std::uint32_t(100 + pick(700))};
            xcb_configure_window(c, w, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
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
        else
            url();
    }

    int clientCount() const { return int(clients_.size()); }
    int actions() const { return actions_; }

private:
    int pick(int below) { return below <= 1 ? 0 : std::uniform_int_distribution<int>(0, below - 1)(random_); }

    std::vector<xcb_window_t> managed()
    {
        std::vector<xcb_window_t> out;
        for (const char* name : {"XTerm", "XClock", "XEyes"})
            for (auto w : session_.windowsOfClass(name))
                out.push_back(w);
        return out;
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
    void press(std::uint16_t classic) { session_.key(code(classic), true); }
    void lift(std::uint16_t classic) { session_.key(code(classic), false); }
    void tap(std::uint16_t classic)
    {
        press(classic);
        std::this_thread::sleep_for(20ms);
        lift(classic);
    }
    void typeLetters(int count)
    {
        static const std::uint16_t letters[] = {14, 15, 17, 8, 0, 31, 7};   // e r t c a o x
        for (int i = 0; i < count; ++i) {
            tap(letters[pick(7)]);
            std::this_thread::sleep_for(60ms);
        }
    }

    void switcher()
    {
        constexpr std::uint16_t option = 58, tab = 48, escape = 53;
        press(option);
        std::this_thread::sleep_for(30ms);
        tap(tab);
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + pick(400)));
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
        tap(space);
        lift(option);
        lift(control);
        std::this_thread::sleep_for(std::chrono::milliseconds(200 + pick(400)));
        if (pick(2))
            typeLetters(1 + pick(3));
        if (pick(2))
            tap(right);
        std::this_thread::sleep_for(200ms);
        tap(pick(3) == 0 ? returnKey : escape);
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
        session_.run({kavelo_, urls[pick(int(std::size(urls)))]});
    }

    test::X11Session& session_;
    X11Desktop& x11_;
    std::string kavelo_;
    std::mt19937 random_;
    std::vector<pid_t> clients_;
    int actions_ = 0;
    bool split_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kavelo_soak MINUTES [KAVELO]\n");
        return 2;
    }
    const double minutes = std::atof(argv[1]);
    const std::string binary = argc > 2 ? argv[2] : KAVELO_BINARY;

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
    const pid_t kavelo = session.launch({binary});
    std::this_thread::sleep_for(2s);

    Soak soak(session, *x11, binary);
    for (int i = 0; i < 10; ++i)
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
            }
            nextSample += sampleEvery;
            if (nextSample <= now)
                nextSample = now + sampleEvery;
        }
        if (now >= nextAction) {
            soak.action();
            lastAction = Steady::now();
            nextAction = Steady::now() + std::chrono::milliseconds(2000 + std::uniform_int_distribution<int>(0, 4000)(timing));
            continue;
        }
        soak.clientEvent();
        ++events;
        std::this_thread::sleep_for(clientEventEvery);
    }
    session.terminate(kavelo);
    if (samples.empty()) {
        std::printf("soak: FAIL no samples\n");
        return 1;
    }
    const auto highest = std::max_element(samples.begin(), samples.end(),
                                          [](const Sample& a, const Sample& b) { return a.rss < b.rss; });
    std::printf("soak: %s  %.0f min, %ld client events, %d actions; rss first %.1f, the first stretch after warm-up "
                "%.1f, the last %.1f, highest %.1f MB\n",
                failed ? "FAIL" : "PASS", minutes, events, soak.actions(), samples.front().rss,
                settled.value_or(-1.0), recent.empty() ? -1.0 : median(recent), highest->rss);
    return failed ? 1 : 0;
}
