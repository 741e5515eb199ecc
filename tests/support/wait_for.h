#pragma once

// Waiting on other programs (the X server, window managers, clients, the
// built `kavelo`, Firefox) as a test must on a loaded two-core machine: poll
// for the event itself, with a deadline long enough for that machine, and
// when the deadline passes, say what was seen.
//
// What was seen comes from the witnesses alive at that moment: each
// X11Session describes its server, manager, windows and programs; a test
// adds its own (a file it waits for, a process it started).

#include <chrono>
#include <functional>
#include <list>
#include <string>
#include <utility>

namespace testing {
class AssertionResult;
}

namespace kavelo::test {

// How long another program may take to do what a test waits for, on a
// loaded machine. A wait for something that should happen costs this only
// when it fails.
inline constexpr std::chrono::seconds answerDeadline{30};
// How long a large program may take to start from nothing on that machine
// (a browser making its profile, a compositing window manager).
inline constexpr std::chrono::seconds startDeadline{120};

// A wait's outcome: true when the event came. As a GoogleTest assertion
// (ASSERT_TRUE(waitFor(...))) a give-up prints how long it waited and what
// every witness saw then.
class Waited {
public:
    Waited(bool happened, std::string report) : happened_(happened), report_(std::move(report)) {}
    operator bool() const { return happened_; }
    operator ::testing::AssertionResult() const;
    // Empty when it happened.
    const std::string& report() const { return report_; }

private:
    bool happened_;
    std::string report_;
};

// Polls `done` until it holds or `timeout` passes, running `pump` between
// tries.
Waited waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               const std::function<void()>& pump = {});

// Runs `pump` for `span` of real time: for a test that lets time pass on
// purpose (to see that something does not happen), never to wait for
// another program.
void pumpFor(std::chrono::milliseconds span, const std::function<void()>& pump);

// Something a give-up describes, for as long as it lives.
class Witness {
public:
    Witness(std::string name, std::function<std::string()> describe);
    ~Witness();
    Witness(const Witness&) = delete;
    Witness& operator=(const Witness&) = delete;

    struct Entry {
        std::string name;
        std::function<std::string()> describe;
    };

private:
    std::list<Entry>::iterator entry_;
};

// What every live witness sees now, one per line; and the machine's load.
std::string witnessed();

} // namespace kavelo::test
