#pragma once

// The program's arguments and the two entries of the command-line modes
// that the launch asks first: the diagnostic listing ("--list") and the
// automation and test modes (two arguments, "--render DIR" and the like).
// A normal start may carry "kavelo:" URLs (the desktop entry's `%u`),
// which go to the running instance or are handled once launched.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

class AppDelegate;

class CommandLine {
public:
    // The words of the automation and test modes, each followed by one value.
    static constexpr std::array<std::string_view, 13> modes{
        "--render", "--snap", "--save", "--restore", "--tabs-test", "--self-test", "--switcher-test",
        "--arrange-test", "--key-names", "--swipe-test", "--nopeek-test", "--tidy", "--switch"};

    CommandLine() = default;
    // The arguments after the program's path.
    explicit CommandLine(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}
    static CommandLine from(int argc, const char* const* argv);

    const std::vector<std::string>& arguments() const { return arguments_; }
    bool has(std::string_view argument) const;

    // What the session manager adds to restart us, with its value.
    static constexpr std::string_view sessionOption = "-session";

    // "--help" or "-h" first: the usage, printed before anything starts.
    bool isHelp() const { return !arguments_.empty() && (arguments_[0] == "--help" || arguments_[0] == "-h"); }
    bool isList() const { return has("--list"); }
    bool isShow() const { return has("--show"); }
    // The word after the first "--show"; none when it is the last argument.
    std::optional<std::string> showValue() const;
    // "--show" with its value: one screen shown for a moment, beside the
    // running instance if there is one. A "--show" without one is a
    // `problem`.
    bool isPreview() const { return showValue().has_value(); }
    // Exactly two arguments, the first a mode word: that mode.
    std::optional<std::string> mode() const;
    // No listing, no mode and no preview: the start that becomes the one
    // running instance.
    bool isNormalStart() const { return !isHelp() && !isList() && !isPreview() && !mode(); }
    // On a normal start, the arguments meant as URLs, in order.
    std::vector<std::string> urls() const;
    // What cannot be made sense of, as one line naming it (an unknown
    // option, a mode without its value, a stray word); none when the
    // arguments are good. A start with a problem starts nothing. The
    // listing and the help take any company; a mode's value is the mode's
    // to judge.
    std::optional<std::string> problem() const;

    // The command-line modes, one line each.
    static std::string usage();

    // Step 2 of the launch: prints the listing and ends the process;
    // answers whether it did.
    bool listAndExit(AppDelegate& delegate) const;
    // Step 4: runs the mode, which ends the process itself; answers whether
    // there was one to run.
    bool runCommandAndExit(AppDelegate& delegate) const;

private:
    std::vector<std::string> arguments_;
};

} // namespace kavelo
