// The real `kavelo` on a private Xvfb with openbox, in a random walk of
// what a person does at a desktop: programs opened and closed, windows
// moved, minimised, restored and focused, monitors split and joined,
// desktops switched, and Kavelo's keys, wheel and URLs in every arrange
// mode. After every step, once the windows have come to rest, every
// visible window of those programs must still show on a monitor.
//
// The seed and the length come from KAVELO_SOAK_SEED, KAVELO_SOAK_STEPS and
// KAVELO_SOAK_MINUTES (which wins over the steps); by default a short walk
// of a fixed seed. KAVELO_SOAK_PROGRAM names another build of the program
// (a long walk runs a copy while the tree is rebuilt).

#include "app/platform/x11/x11_desktop.h"
#include "app/shell/single_instance.h"
#include "services/temp_home.h"
#include "support/person_keys.h"
#include "support/running_kavelo.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint16_t controlKey = 59, optionKey = 58, shiftKey = 56;
constexpr std::uint16_t leftArrow = 123, rightArrow = 124, downArrow = 125, upArrow = 126;

template <class T>
struct Freed {
    T* p;
    ~Freed() { std::free(p); }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// A monitor layout of the 1920 × 1080 screen; some leave parts of it on
// no monitor, as a smaller monitor would.
struct MonitorLayout {
    std::string name;
    std::vector<std::pair<std::string, Rect>> monitors;   // the first is primary
};

const std::vector<MonitorLayout>& layouts()
{
    static const std::vector<MonitorLayout> all{
        {"one", {{"screen", Rect(0, 0, 1920, 1080)}}},
        {"left|right", {{"Left", Rect(0, 0, 960, 1080)}, {"Right", Rect(960, 0, 960, 1080)}}},
        {"right|left", {{"Right", Rect(960, 0, 960, 1080)}, {"Left", Rect(0, 0, 960, 1080)}}},
        {"top/bottom", {{"Top", Rect(0, 0, 1920, 540)}, {"Bottom", Rect(0, 540, 1920, 540)}}},
        {"bottom/top", {{"Bottom", Rect(0, 540, 1920, 540)}, {"Top", Rect(0, 0, 1920, 540)}}},
        {"narrow|wide", {{"Narrow", Rect(1280, 0, 640, 1080)}, {"Wide", Rect(0, 0, 1280, 1080)}}},
        {"small", {{"Small", Rect(0, 0, 1280, 720)}}},
        {"tall|short", {{"Tall", Rect(0, 0, 960, 1080)}, {"Short", Rect(960, 0, 960, 600)}}},
        {"wide|narrow", {{"Wide", Rect(0, 0, 1280, 1080)}, {"Narrow", Rect(1280, 0, 640, 1080)}}},
    };
    return all;
}

// The programs a step opens, by the class their windows carry.
struct Program {
    std::vector<std::string> argv;
    std::string windowClass;
};

std::vector<Program> programs()
{
    return {
        {{"xterm"}, "XTerm"},
        {{"xterm", "-geometry", "120x40"}, "XTerm"},
        {{"xclock"}, "XClock"},
        {{"xeyes"}, "XEyes"},
        // Larger than half the screen at its smallest.
        {{KAVELO_X11_TEST_CLIENT, "--size", "1100x700", "--min", "1000x650", "--class", "Wide"}, "Wide"},
        {{KAVELO_X11_TEST_CLIENT, "--class", "Plain"}, "Plain"},
    };
}

const std::vector<std::string> ourClasses{"XTerm", "XClock", "XEyes", "Wide", "Plain"};

const std::vector<std::string> commandUrls{
    "kavelo://run/tidy",        "kavelo://run/fillScreen",  "kavelo://run/nextDisplay", "kavelo://run/floatWindow",
    "kavelo://run/cleanSpace",  "kavelo://run/undoArrange", "kavelo://run/snapLeft",    "kavelo://run/snapRight",
    "kavelo://run/snapMaximize", "kavelo://run/snapCenter", "kavelo://run/thirdRight",  "kavelo://run/swapLeft",
    "kavelo://run/swapRight",   "kavelo://run/focusLeft",   "kavelo://run/focusRight",  "kavelo://run/focusUp",
    "kavelo://run/focusDown",   "kavelo://run/focusFirst",  "kavelo://run/focusLast",   "kavelo://run/moveLeft",
    "kavelo://run/moveRight",   "kavelo://run/cycleWidth",  "kavelo://run/fullWidth",   "kavelo://run/center",
    "kavelo://run/wider",       "kavelo://run/narrower",    "kavelo://run/taller",      "kavelo://run/shorter",
    "kavelo://run/equalize",    "kavelo://run/pinLeft",     "kavelo://run/stackLeft",   "kavelo://run/stackRight",
    "kavelo://run/popLeft",     "kavelo://run/popRight",    "kavelo://run/tabs",        "kavelo://run/jump1",
    "kavelo://run/jump3",       "kavelo://layout/grid",     "kavelo://layout/columns",  "kavelo://layout/rows",
    "kavelo://layout/focus",    "kavelo://run/clearDesktop", "kavelo://run/pause",     "kavelo://run/noPeek",
};

const std::vector<std::string> modeUrls{"kavelo://mode/auto", "kavelo://mode/strip", "kavelo://mode/off"};

std::string program()
{
    const char* other = std::getenv("KAVELO_SOAK_PROGRAM");
    return other && *other ? other : KAVELO_BINARY;
}

std::optional<std::uint64_t> number(const char* name)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return std::nullopt;
    return std::strtoull(text, nullptr, 10);
}

class ArrangePropertyX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({}, &startError, test::WindowManager::openboxKeysFree))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X server for the arrange property: " << startError;
            GTEST_SKIP() << "no X server for the arrange property: " << startError;
        }
        home = std::make_unique<test::TempHome>();
        runtime = test::privateRuntime(*home);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::unsetenv("KAVELO_BACKEND");
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        current = &layouts().front();
    }

    void TearDown() override
    {
        if (kavelo > 0)
            session->terminate(kavelo);
        for (const auto& [pid, cls] : opened)
            session->terminate(pid);
        for (const auto& [name, frame] : current->monitors)
            if (name != "screen")
                session->run({"xrandr", "--delmonitor", name});
        x11.reset();
        home.reset();
        ::unsetenv("XDG_RUNTIME_DIR");
    }

    // The program as a person starts it: its panels on the display.
    void startKavelo(const std::string& mode, int maxTiles)
    {
        const auto file = home->paths().userDefaults;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << R"({"welcomed": true, "arrangeMode": ")" << mode << R"(", "maxTiles": )" << maxTiles
                            << "}";
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        const std::optional<std::string> saved = platform ? std::optional<std::string>(platform) : std::nullopt;
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        kavelo = session->launch({program()});
        if (saved)
            ::setenv("QT_QPA_PLATFORM", saved->c_str(), 1);
        else
            ::unsetenv("QT_QPA_PLATFORM");
        ASSERT_TRUE(test::waitFor([&] { return accepts(); }, test::answerDeadline)) << "kavelo never listened";
    }

    bool accepts() const
    {
        return test::listens(runtime / "kavelo" / (InstancePaths::fileName(session->display()) + ".socket"));
    }

    std::string log() const
    {
        std::ifstream in(home->paths().logs / "engine.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // ------------------------------------------------------------ the server

    xcb_connection_t* c() const { return session->connection(); }

    std::vector<std::uint32_t> atoms(xcb_window_t window, const char* property) const
    {
        Freed<xcb_get_property_reply_t> r{xcb_get_property_reply(
            c(), xcb_get_property(c(), 0, window, session->atom(property), XCB_ATOM_ATOM, 0, 64), nullptr)};
        if (!r || r->format != 32)
            return {};
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(r.p));
        return std::vector<std::uint32_t>(data, data + xcb_get_property_value_length(r.p) / 4);
    }

    bool minimised(xcb_window_t window) const
    {
        const auto states = atoms(window, "_NET_WM_STATE");
        return std::find(states.begin(), states.end(), session->atom("_NET_WM_STATE_HIDDEN")) != states.end();
    }

    bool viewable(xcb_window_t window) const
    {
        Freed<xcb_get_window_attributes_reply_t> a{
            xcb_get_window_attributes_reply(c(), xcb_get_window_attributes(c(), window), nullptr)};
        return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    bool onShownDesktop(xcb_window_t window) const
    {
        const auto desktop = session->cardinals(window, "_NET_WM_DESKTOP");
        const auto shown = session->currentDesktop();
        return desktop.empty() || desktop.front() == 0xFFFFFFFF || !shown || desktop.front() == *shown;
    }

    // The managed windows of the programs the walk opened.
    std::vector<xcb_window_t> ours() const
    {
        std::vector<xcb_window_t> out;
        for (xcb_window_t w : session->clientList()) {
            const auto cls = session->wmClass(w);
            if (cls && std::find(ourClasses.begin(), ourClasses.end(), *cls) != ourClasses.end())
                out.push_back(w);
        }
        return out;
    }

    std::vector<xcb_window_t> visibleOurs() const
    {
        std::vector<xcb_window_t> out;
        for (xcb_window_t w : ours())
            if (!minimised(w) && onShownDesktop(w) && viewable(w))
                out.push_back(w);
        return out;
    }

    // The windows of this desktop, shown or minimised: a minimised one
    // shows where it is once restored.
    std::vector<xcb_window_t> checked() const
    {
        std::vector<xcb_window_t> out;
        for (xcb_window_t w : ours())
            if (onShownDesktop(w) && (minimised(w) || viewable(w)))
                out.push_back(w);
        return out;
    }

    bool onAMonitor(const Rect& frame) const
    {
        for (const auto& [name, monitor] : current->monitors) {
            const Rect cut = monitor.intersection(frame);
            if (!cut.isNull() && cut.width() > 0 && cut.height() > 0)
                return true;
        }
        return false;
    }

    // The windows that show (or would show, restored) on no monitor.
    std::string lost() const
    {
        std::ostringstream out;
        for (xcb_window_t w : checked()) {
            const auto frame = session->frame(w);
            if (frame && !onAMonitor(*frame))
                out << "\n  " << session->wmClass(w).value_or("?") << " 0x" << std::hex << w << std::dec << " at "
                    << *frame << (minimised(w) ? " minimised" : "");
        }
        return out.str();
    }

    std::string everyWindow() const
    {
        std::ostringstream out;
        for (xcb_window_t w : ours()) {
            out << "\n  " << session->wmClass(w).value_or("?") << " 0x" << std::hex << w << std::dec;
            if (const auto frame = session->frame(w))
                out << " at " << *frame;
            out << (minimised(w) ? " minimised" : "") << (viewable(w) ? "" : " unmapped")
                << (onShownDesktop(w) ? "" : " other desktop");
        }
        return out.str();
    }

    std::map<xcb_window_t, Rect> frames() const
    {
        std::map<xcb_window_t, Rect> out;
        for (xcb_window_t w : ours())
            if (const auto frame = session->frame(w))
                out[w] = *frame;
        return out;
    }

    // Until the windows stop moving for a while (or `limit` passes).
    void rest(std::chrono::milliseconds limit)
    {
        const auto deadline = Clock::now() + limit;
        auto last = frames();
        int still = 0;
        while (Clock::now() < deadline && still < 4) {
            std::this_thread::sleep_for(120ms);
            auto now = frames();
            still = now == last ? still + 1 : 0;
            last = std::move(now);
        }
    }

    void sendToManager(xcb_window_t window, const char* type, std::vector<std::uint32_t> data)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = session->atom(type);
        for (std::size_t i = 0; i < data.size() && i < 5; ++i)
            message.data.data32[i] = data[i];
        xcb_send_event(c(), 0, session->root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        session->sync();
    }

    // ------------------------------------------------------------ a person

    std::uint8_t server(std::uint16_t classic) const { return x11->serverKeyCode(classic).value(); }

    // Modifiers first, the key held a moment, as a person types.
    void type(const std::vector<std::uint16_t>& modifiers, std::uint16_t key)
    {
        std::vector<std::uint8_t> held;
        for (auto m : modifiers)
            held.push_back(server(m));
        test::Typist(*session).chord(held, server(key));
    }

    void wheel(bool down, int clicks)
    {
        test::Typist hand(*session);
        hand.down(server(controlKey));
        hand.pause();
        hand.down(server(optionKey));
        hand.pause();
        for (int i = 0; i < clicks; ++i) {
            session->button(down ? 5 : 4, true);
            session->button(down ? 5 : 4, false);
            hand.wait(std::chrono::milliseconds(25));
        }
        hand.up(server(optionKey));
        hand.pause();
        hand.up(server(controlKey));
    }

    void url(const std::string& text) { session->run({program(), text}); }

    void setMonitors(const MonitorLayout& next)
    {
        for (const auto& [name, frame] : current->monitors)
            if (name != "screen")
                session->run({"xrandr", "--delmonitor", name});
        bool first = true;
        for (const auto& [name, frame] : next.monitors) {
            if (name == "screen")
                continue;
            std::ostringstream geometry;
            geometry << int(frame.width()) << "/254x" << int(frame.height()) << "/286+" << int(frame.minX()) << "+"
                     << int(frame.minY());
            session->run({"xrandr", "--setmonitor", name, geometry.str(), first ? "screen" : "none"});
            first = false;
        }
        current = &next;
    }

    // ------------------------------------------------------------ the walk

    // One random step; what it did, for the report.
    std::string step(std::mt19937& random)
    {
        const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
        const auto coin = [&](double p) { return std::bernoulli_distribution(p)(random); };
        const auto windows = ours();
        const auto shown = visibleOurs();
        std::ostringstream what;

        enum Kind { open, close, move, minimise, restore, focus, monitors, desktop, command, mode, keys, scroll };
        const std::vector<std::pair<Kind, int>> weights{
            {open, windows.size() < 3 ? 8 : windows.size() < 9 ? 3 : 0},
            {close, windows.empty() ? 0 : 2},
            {move, shown.empty() ? 0 : 2},
            {minimise, shown.empty() ? 0 : 1},
            {restore, windows.size() > shown.size() ? 2 : 0},
            {focus, shown.empty() ? 0 : 2},
            {monitors, 1},
            {desktop, 1},
            {command, 6},
            {mode, 1},
            {keys, 2},
            {scroll, 1},
        };
        int total = 0;
        for (const auto& [k, w] : weights)
            total += w;
        int roll = int(pick(std::size_t(total)));
        Kind kind = command;
        for (const auto& [k, w] : weights) {
            if (roll < w) {
                kind = k;
                break;
            }
            roll -= w;
        }

        switch (kind) {
        case open: {
            const auto all = programs();
            const Program& program = all[pick(all.size())];
            opened.emplace_back(session->launch(program.argv), program.windowClass);
            what << "open " << program.windowClass;
            const auto before = windows.size();
            test::waitFor([&] { return ours().size() > before; }, test::answerDeadline);
            break;
        }
        case close: {
            const std::size_t i = pick(opened.size());
            what << "close " << opened[i].second;
            session->terminate(opened[i].first);
            opened.erase(opened.begin() + std::ptrdiff_t(i));
            break;
        }
        case move: {
            // As a pager asks, anywhere, also off the screen (the window
            // manager keeps some of it on a monitor).
            const xcb_window_t w = shown[pick(shown.size())];
            const int x = int(pick(3200)) - 800, y = int(pick(2100)) - 400;
            what << "move 0x" << std::hex << w << std::dec << " to " << x << "," << y;
            sendToManager(w, "_NET_MOVERESIZE_WINDOW", {(1u << 8) | (1u << 9) | (2u << 12), std::uint32_t(x),
                                                         std::uint32_t(y), 0, 0});
            break;
        }
        case minimise: {
            const xcb_window_t w = shown[pick(shown.size())];
            what << "minimise 0x" << std::hex << w;
            session->iconify(w);
            break;
        }
        case restore: {
            std::vector<xcb_window_t> hidden;
            for (xcb_window_t w : windows)
                if (std::find(shown.begin(), shown.end(), w) == shown.end())
                    hidden.push_back(w);
            const xcb_window_t w = hidden[pick(hidden.size())];
            what << "restore 0x" << std::hex << w;
            session->activate(w);
            break;
        }
        case focus: {
            const xcb_window_t w = shown[pick(shown.size())];
            what << "focus 0x" << std::hex << w;
            session->activate(w);
            break;
        }
        case monitors: {
            const MonitorLayout& next = layouts()[pick(layouts().size())];
            what << "monitors " << next.name;
            setMonitors(next);
            break;
        }
        case desktop: {
            const auto shownDesktop = session->currentDesktop().value_or(0);
            if (!shown.empty() && coin(0.5)) {
                const xcb_window_t w = shown[pick(shown.size())];
                what << "window 0x" << std::hex << w << std::dec << " to desktop " << (shownDesktop == 0 ? 1 : 0);
                session->moveToDesktop(w, shownDesktop == 0 ? 1 : 0);
            } else {
                what << "show desktop " << (shownDesktop == 0 ? 1 : 0);
                session->switchToDesktop(shownDesktop == 0 ? 1 : 0);
            }
            break;
        }
        case command: {
            const std::string& u = commandUrls[pick(commandUrls.size())];
            what << u;
            url(u);
            break;
        }
        case mode: {
            const std::string& u = modeUrls[pick(modeUrls.size())];
            what << u;
            url(u);
            break;
        }
        case keys: {
            const std::vector<std::pair<std::vector<std::uint16_t>, std::uint16_t>> combos{
                {{controlKey, optionKey}, leftArrow},          {{controlKey, optionKey}, rightArrow},
                {{controlKey, optionKey}, upArrow},            {{controlKey, optionKey}, downArrow},
                {{controlKey, optionKey, shiftKey}, leftArrow}, {{controlKey, optionKey, shiftKey}, rightArrow},
            };
            const auto& [mods, key] = combos[pick(combos.size())];
            what << "keys " << mods.size() << "+" << key;
            type(mods, key);
            break;
        }
        case scroll: {
            const bool down = coin(0.5);
            const int clicks = 1 + int(pick(6));
            what << "wheel " << (down ? "down " : "up ") << clicks;
            wheel(down, clicks);
            break;
        }
        }
        return what.str();
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;
    std::unique_ptr<test::TempHome> home;
    std::filesystem::path runtime;
    std::unique_ptr<X11Desktop> x11;
    pid_t kavelo = -1;
    std::vector<std::pair<pid_t, std::string>> opened;
    const MonitorLayout* current = nullptr;
};

TEST_F(ArrangePropertyX11, EveryVisibleWindowStaysOnAMonitor)
{
    const std::uint64_t seed = number("KAVELO_SOAK_SEED").value_or(4801);
    const auto minutes = number("KAVELO_SOAK_MINUTES");
    const std::uint64_t steps = minutes ? ~std::uint64_t(0) : number("KAVELO_SOAK_STEPS").value_or(24);
    const auto end = Clock::now() + std::chrono::minutes(minutes.value_or(0));
    std::mt19937 random(std::uint32_t(seed & 0xFFFFFFFF));
    const int maxTiles = std::vector<int>{0, 0, 2, 3}[std::uniform_int_distribution(0, 3)(random)];
    startKavelo(std::bernoulli_distribution(0.5)(random) ? "auto" : "strip", maxTiles);

    std::deque<std::string> recent;
    std::uint64_t done = 0;
    for (; done < steps && (!minutes || Clock::now() < end); ++done) {
        // Now and then a few steps in quick succession, as a busy person
        // makes them.
        const int burst = std::bernoulli_distribution(0.3)(random) ? std::uniform_int_distribution(2, 5)(random) : 1;
        for (int i = 0; i < burst; ++i) {
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution(20, 150)(random)));
            recent.push_back(std::to_string(done) + (i > 0 ? "+: " : ": ") + step(random));
            if (recent.size() > 30)
                recent.pop_front();
        }
        rest(4s);
        ASSERT_EQ(::waitpid(kavelo, nullptr, WNOHANG), 0) << "kavelo ended at step " << done;
        if (minutes && done % 100 == 99) {
            std::printf("arrange property: %llu steps\n", static_cast<unsigned long long>(done + 1));
            std::fflush(stdout);
        }
        // A window may be lost for a moment (an animation, a pause after a
        // monitor change), not for good.
        if (lost().empty())
            continue;
        test::waitFor([&] { return lost().empty(); }, test::answerDeadline);
        const std::string missing = lost();
        if (!missing.empty()) {
            std::ostringstream steps;
            for (const auto& s : recent)
                steps << "\n  " << s;
            FAIL() << "seed " << seed << ", after step " << done << ": windows on no monitor (" << current->name
                   << "):" << missing << "\nevery window:" << everyWindow() << "\nlast steps:" << steps.str()
                   << "\nengine log:\n"
                   << log();
        }
    }
    std::printf("arrange property: seed %llu, %llu steps\n", static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(done));
}

} // namespace
} // namespace kavelo::testing
