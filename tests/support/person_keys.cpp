#include "support/person_keys.h"

#include "support/x11_session.h"

// The XKB protocol header names a field `explicit`, which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xcb/xtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace kavelo::test {

namespace {

// The server's autorepeat: the delay before the first repeat and the
// interval between repeats. The core defaults when XKB does not say.
struct Repeat {
    std::chrono::milliseconds delay{660};
    std::chrono::milliseconds interval{40};
};

Repeat repeatOf(xcb_connection_t* c)
{
    Repeat out;
    std::free(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
    auto* controls = xcb_xkb_get_controls_reply(c, xcb_xkb_get_controls(c, XCB_XKB_ID_USE_CORE_KBD), nullptr);
    if (controls) {
        if (controls->repeatDelay > 0)
            out.delay = std::chrono::milliseconds(controls->repeatDelay);
        if (controls->repeatInterval > 0)
            out.interval = std::chrono::milliseconds(controls->repeatInterval);
        std::free(controls);
    }
    return out;
}

} // namespace

std::uint32_t keySeed()
{
    static const std::uint32_t seed = [] {
        std::uint32_t value = 0;
        if (const char* given = std::getenv("KAVELO_KEY_SEED"); given && *given)
            value = std::uint32_t(std::strtoul(given, nullptr, 10));
        else
            value = std::random_device{}();
        std::fprintf(stderr, "person-timed keys: KAVELO_KEY_SEED=%u\n", value);
        return value;
    }();
    return seed;
}

Typist::Typist(const X11Session& session, std::function<void()> pump)
    : pump(std::move(pump)), c_(session.connection())
{
    // Each typist of a run its own sequence, the same in every run of that seed.
    static std::uint32_t made = 0;
    random_.seed(keySeed() + made++);
}

void Typist::send(std::uint8_t type, std::uint8_t serverKey)
{
    xcb_test_fake_input(c_, type, serverKey, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c_);
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

void Typist::down(std::uint8_t serverKey) { send(XCB_KEY_PRESS, serverKey); }

void Typist::up(std::uint8_t serverKey) { send(XCB_KEY_RELEASE, serverKey); }

std::chrono::milliseconds Typist::between(std::chrono::milliseconds low, std::chrono::milliseconds high)
{
    std::uniform_int_distribution<long> pick(low.count(), high.count());
    return std::chrono::milliseconds(pick(random_));
}

std::chrono::milliseconds Typist::holdTime() { return between(shortestHold, longestHold); }

void Typist::wait(std::chrono::milliseconds span)
{
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        if (pump)
            pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void Typist::pause() { wait(between(shortestPause, longestPause)); }

void Typist::stroke(std::uint8_t serverKey)
{
    down(serverKey);
    wait(holdTime());
    up(serverKey);
}

void Typist::chord(const std::vector<std::uint8_t>& modifiers, std::uint8_t serverKey, Release release)
{
    for (std::uint8_t m : modifiers) {
        down(m);
        pause();
    }
    down(serverKey);
    wait(holdTime());
    const auto modifiersUp = [&] {
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
            up(*it);
            pause();
        }
    };
    if (release == Release::keyFirst) {
        up(serverKey);
        pause();
        modifiersUp();
    } else {
        modifiersUp();
        up(serverKey);
        pause();
    }
}

void Typist::autorepeat(std::uint8_t serverKey, int repeats)
{
    const Repeat repeat = repeatOf(c_);
    down(serverKey);
    // Halfway between the last repeat wanted and the one after it.
    wait(repeat.delay + repeat.interval * (repeats - 1) + repeat.interval / 2);
    up(serverKey);
}

void Typist::zeroHold(std::uint8_t serverKey)
{
    xcb_test_fake_input(c_, XCB_KEY_PRESS, serverKey, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c_, XCB_KEY_RELEASE, serverKey, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c_);
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

} // namespace kavelo::test
