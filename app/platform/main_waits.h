#pragma once

// The main thread's waits on other programs (the window manager's answer to
// writes, the X server's replies), timed where they happen. A wait long
// enough to be felt is told to the listener with what it waited for, so the
// program's log says where its time went.

#include <chrono>
#include <functional>
#include <string_view>

namespace kavelo {

class MainWaits {
public:
    using Listener = std::function<void(std::string_view what, std::chrono::milliseconds waited)>;
    static constexpr std::chrono::milliseconds worthTelling{50};
    // The most one wait on the window manager's answer may last.
    static constexpr std::chrono::milliseconds managerBound{100};
    // The most the waits of one action (a pass, a command) on the window
    // manager may last together: its barriers come one after another.
    static constexpr std::chrono::milliseconds actionBound{150};
    // Once a wait on the window manager was given up, or while the manager
    // is behind, the most its waits may last together within any
    // `budgetWindow`, whichever actions they belong to: a pass and the URL
    // that came during it, each near its own bound, kept the URL's answer
    // for a quarter of a second and more.
    static constexpr std::chrono::milliseconds waitBudget{100};
    static constexpr std::chrono::milliseconds budgetWindow{500};

    void setListener(Listener listener) { listener_ = std::move(listener); }
    // Tells the listener of a wait over `worthTelling`.
    void waited(std::string_view what, std::chrono::steady_clock::duration length) const;

    // Times one wait, from its making to its end. `what` outlives it.
    class Timed {
    public:
        Timed(const MainWaits& waits, std::string_view what)
            : waits_(waits), what_(what), start_(std::chrono::steady_clock::now())
        {
        }
        ~Timed() { waits_.waited(what_, std::chrono::steady_clock::now() - start_); }
        // What it turned out to be, once it ended otherwise than hoped.
        void rename(std::string_view what) { what_ = what; }
        Timed(const Timed&) = delete;
        Timed& operator=(const Timed&) = delete;

    private:
        const MainWaits& waits_;
        std::string_view what_;
        std::chrono::steady_clock::time_point start_;
    };

private:
    Listener listener_;
};

} // namespace kavelo
