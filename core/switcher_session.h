#pragma once

// The switcher's key handling: the windows captured when it opened, the typed
// search text and the selection among the ranked results.

#include "core/window_entry.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace kavelo {

// One key event of the switcher panel.
struct SwitcherKey {
    enum class Kind { tab, text, left, right, escape, enter, backspace, released };

    Kind kind = Kind::escape;
    bool backward = false;  // tab: Shift was held
    std::string characters; // text: what was typed, normally one character

    static SwitcherKey tab(bool backward) { return {.kind = Kind::tab, .backward = backward}; }
    static SwitcherKey text(std::string characters)
    {
        return {.kind = Kind::text, .characters = std::move(characters)};
    }
    static SwitcherKey left() { return {.kind = Kind::left}; }
    static SwitcherKey right() { return {.kind = Kind::right}; }
    static SwitcherKey escape() { return {.kind = Kind::escape}; }
    static SwitcherKey enter() { return {.kind = Kind::enter}; }
    static SwitcherKey backspace() { return {.kind = Kind::backspace}; }
    // The switcher's modifier key was let go.
    static SwitcherKey released() { return {.kind = Kind::released}; }

    // Only the payload of the key's own kind counts; texts compare canonically.
    friend bool operator==(const SwitcherKey& a, const SwitcherKey& b);
};

// What the panel does after a key.
struct SwitcherOutcome {
    enum class Kind { open, workflow, keep, cancel };

    Kind kind = Kind::keep;
    WindowEntry window; // open: the window to raise and focus
    int number = 0;     // workflow: the quick-switch number, 1 to 9

    static SwitcherOutcome open(WindowEntry window) { return {.kind = Kind::open, .window = std::move(window)}; }
    static SwitcherOutcome workflow(int number) { return {.kind = Kind::workflow, .number = number}; }
    static SwitcherOutcome keep() { return {.kind = Kind::keep}; }
    static SwitcherOutcome cancel() { return {.kind = Kind::cancel}; }

    friend bool operator==(const SwitcherOutcome& a, const SwitcherOutcome& b);
};

struct SwitcherSession {
    std::vector<WindowEntry> windows; // front to back, as captured at opening
    std::string query;
    int index = 0; // the selection's position in `results()`

    SwitcherSession() = default;
    // Preselects the window behind the frontmost one when there is one.
    explicit SwitcherSession(std::vector<WindowEntry> windows);

    SwitcherOutcome apply(const SwitcherKey& key);
    // The same for a caller that keeps the ranking: `ranked` holds the
    // positions in `windows` of `results()` for the current query. Ranks
    // nothing itself.
    SwitcherOutcome apply(const SwitcherKey& key, std::span<const std::size_t> ranked);

    // The windows ranked by the query; all of them, in order, for an empty query.
    std::vector<WindowEntry> results() const;
    // The result at `index`, none when `index` is outside the results.
    std::optional<WindowEntry> selected() const;

    // The query compares canonically.
    friend bool operator==(const SwitcherSession& a, const SwitcherSession& b);

private:
    void step(int by, size_t count);
    // Text and Backspace change the query; every other key needs the results.
    static bool needsResults(const SwitcherKey& key);
};

std::ostream& operator<<(std::ostream& os, const SwitcherKey& key);
std::ostream& operator<<(std::ostream& os, const SwitcherOutcome& outcome);

} // namespace kavelo
