#pragma once

// Keys typed as a person types them, through XTest on a test session: a
// modifier goes down, a pause, the key goes down and stays down for 30 to
// 120 ms, the key comes up, the modifier comes up. Every event leaves on
// its own, flushed and synced with the server, so nothing reaches a client
// in the same batch as the event before it. The times are random within
// the run's seed (KAVELO_KEY_SEED repeats a run's); the first use prints it.
//
// Tests that run the code under test on their own thread pass `pump`, which
// runs between the typist's events instead of a sleep.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace kavelo::test {

class X11Session;

// The seed of this run's key timing: KAVELO_KEY_SEED when set, else one
// drawn once per process.
std::uint32_t keySeed();

// Which comes up first at the end of a chord: the key, or the modifiers.
enum class Release { keyFirst, modifiersFirst };

class Typist {
public:
    // Shortest and longest time a key is held; the pause between two
    // events of one hand.
    static constexpr std::chrono::milliseconds shortestHold{30};
    static constexpr std::chrono::milliseconds longestHold{120};
    static constexpr std::chrono::milliseconds shortestPause{8};
    static constexpr std::chrono::milliseconds longestPause{40};

    explicit Typist(const X11Session& session, std::function<void()> pump = {});

    // One event, on its own: flushed, and handled by the server on return.
    void down(std::uint8_t serverKey);
    void up(std::uint8_t serverKey);
    // Key down, held, key up.
    void stroke(std::uint8_t serverKey);
    // Each modifier down in order with a pause after it, the key held, then
    // the key and the modifiers (the last pressed first) up in `release`
    // order, a pause between each.
    void chord(const std::vector<std::uint8_t>& modifiers, std::uint8_t serverKey, Release release = Release::keyFirst);
    // The key held down until the server has repeated it `repeats` times
    // (its own autorepeat, at its delay and rate), then let go.
    void autorepeat(std::uint8_t serverKey, int repeats);
    // Down and up in one request batch, so that a client sees both at once:
    // zero hold time. Only for a test about exactly that case.
    void zeroHold(std::uint8_t serverKey);

    // A pause between two events of one hand.
    void pause();
    // Waits, pumping.
    void wait(std::chrono::milliseconds span);
    // How long the next key is held.
    std::chrono::milliseconds holdTime();

    std::function<void()> pump;

private:
    void send(std::uint8_t type, std::uint8_t serverKey);
    std::chrono::milliseconds between(std::chrono::milliseconds low, std::chrono::milliseconds high);

    xcb_connection_t* c_;
    std::mt19937 random_;
};

} // namespace kavelo::test
