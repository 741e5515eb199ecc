#pragma once

// The "kavelo" URL scheme: `kavelo://<verb>/<argument>`. Other programs and
// the user's own shortcuts open these to drive us. The verb is the host and
// the argument the path, percent-decoded once and trimmed of "/" at both
// ends; query and fragment are ignored. Scheme and verb compare exactly
// (no case folding), and so do the argument tables.
//
// Parsed by hand: a general URL class lower-cases scheme and host and lets
// bad escapes through, which would accept what must be refused.

#include "core/arrange_mode.h"
#include "core/command.h"
#include "core/tidy_layout.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kavelo {

enum class UrlVerb { run, switchTo, mode, layout };

std::string_view rawValue(UrlVerb verb);
std::optional<UrlVerb> UrlVerb_from(std::string_view raw);

struct KaveloUrl {
    static constexpr std::string_view scheme = "kavelo";
    // Longer texts are refused unread.
    static constexpr std::size_t maxLength = 8 * 1024;

    std::string verb;       // the host as written
    std::string argument;   // decoded and trimmed

    friend bool operator==(const KaveloUrl&, const KaveloUrl&) = default;

    // Why a text is not one of ours.
    enum class Fault { tooLong, otherScheme, noVerb, badEscape };
    // The URL's parts, or why it has none.
    static std::variant<KaveloUrl, Fault> parse(std::string_view text);
};

// What a valid URL asks for.
struct UrlAction {
    struct Run {
        Command command;
        friend bool operator==(const Run&, const Run&) = default;
    };
    struct Switch {
        std::string workflow;
        friend bool operator==(const Switch&, const Switch&) = default;
    };
    struct Mode {
        ArrangeMode mode;
        friend bool operator==(const Mode&, const Mode&) = default;
    };
    struct Layout {
        TidyLayout layout;
        friend bool operator==(const Layout&, const Layout&) = default;
    };
    std::variant<Run, Switch, Mode, Layout> what;
    friend bool operator==(const UrlAction&, const UrlAction&) = default;
};

namespace KaveloUrls {

// The action of a URL text; none when the scheme, verb or argument is not
// in the tables. The running instance acts on these and says nothing.
std::optional<UrlAction> action(std::string_view text);

// For a starting client: what is wrong with the URL, as one line naming it
// ("unknown command \"tidyy\" in kavelo://run/tidyy"), whatever it holds
// echoed as `text::printable`; none when it is good. `workflowExists` decides switches (a workflow that does not load is
// refused here, though the instance would quietly find nothing).
std::optional<std::string> problem(std::string_view text,
                                   const std::function<bool(std::string_view)>& workflowExists);

// Whether a program argument is meant as a URL rather than an option.
bool looksLikeUrl(std::string_view argument);

} // namespace KaveloUrls

} // namespace kavelo
