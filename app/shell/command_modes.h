#pragma once

// The automation and test modes of the command line ("--snap right",
// "--arrange-test strip" and the rest). Each either ends the process at
// once with its status, or schedules timed steps and ends it from the last.
// Offsets count from the moment the mode starts.
//
// Output goes to the delegate's standard output, one line per result, its
// items joined by one blank.

#include "app/platform/handle.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

class AppDelegate;
class ArrangeEngine;
class SwitcherController;
class Trackpad;

// A finite decimal number filling the whole text; none otherwise ("inf",
// "nan", "4s" and "" are none).
std::optional<double> finiteNumber(std::string_view text);
// A decimal integer filling the whole text.
std::optional<int> integerNumber(std::string_view text);

// Splits at "," and drops the empty pieces.
std::vector<std::string> modeSteps(std::string_view value);

class CommandModes {
public:
    // Seconds of the timed modes.
    static constexpr double switcherFirstStep = 0.5;
    static constexpr double switcherStepGap = 0.25;
    static constexpr double switcherEndAfterSteps = 1.5;
    static constexpr double arrangeFirstStep = 3.0;
    static constexpr double arrangeStepGap = 1.5;
    static constexpr double arrangeSeconds = 8.0;
    static constexpr double swipeSeconds = 20.0;
    static constexpr int swipeFingers = 3;
    static constexpr double noPeekSeconds = 4.0;
    static constexpr double tabsFirstWait = 2.5;
    static constexpr double tabsSecondWait = 2.0;
    // Workflows a refusal names before it only counts the rest.
    static constexpr std::size_t namedWorkflows = 8;

    static constexpr std::string_view tabsBrowser = "com.google.Chrome";
    static constexpr std::string_view tabsAddress = "https://example.com/?kavelo-test";
    static constexpr std::string_view tabsWorkflow = "kavelo-tabs-test";

    // Steering variables of "--tidy" and "--arrange-test".
    static constexpr const char* onlyAppVariable = "KAVELO_ONLY_APP";
    static constexpr const char* stepsVariable = "KAVELO_STRIP_STEPS";
    static constexpr const char* secondsVariable = "KAVELO_SECONDS";

    explicit CommandModes(AppDelegate& delegate);
    ~CommandModes();
    CommandModes(const CommandModes&) = delete;
    CommandModes& operator=(const CommandModes&) = delete;

    // Runs the mode named by `flag`; false for a flag that names none.
    bool run(std::string_view flag, const std::string& value);

    // Immediate modes.
    void snap(const std::string& value);
    void save(const std::string& value);
    // The save of "--save", also asked of the running Kavelo by another
    // start's: the desktop stored as the named workflow, each window where
    // it belongs (the running engine's frames, when it runs); why it could
    // not be, if so.
    std::optional<std::string> saveWorkflow(const std::string& name);
    void restore(const std::string& value);
    void tidy(const std::string& value);
    void keyNames(const std::string& value);
    // Timed modes.
    void switchTo(const std::string& value);
    void tabsTest(const std::string& ignored);
    void switcherTest(const std::string& value);
    void arrangeTest(const std::string& value);
    void swipeTest(const std::string& value);
    void noPeekTest(const std::string& value);
    void render(const std::string& value);
    void selfTest(const std::string& value);

    // The private switcher of "--switcher-test", while it runs.
    SwitcherController* switcher() const { return switcher_.get(); }
    Trackpad* trackpad() const { return trackpad_.get(); }

private:
    void line(const std::string& text);
    void exit(int status);
    // A value the mode cannot use: one line on standard error, status 2.
    void refuse(const std::string& message);
    // Names the workflows there are.
    std::string noWorkflow(const std::string& name) const;
    std::optional<std::string> variable(std::string_view name) const;
    void arrangeStep(ArrangeEngine& engine, const std::string& step);
    void tabsRound(int round);

    AppDelegate& delegate_;
    std::unique_ptr<SwitcherController> switcher_;
    std::unique_ptr<Trackpad> trackpad_;
    std::vector<Handle> timers_;
    bool exited_ = false;
};

} // namespace kavelo
