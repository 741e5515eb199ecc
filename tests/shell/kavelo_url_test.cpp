// The "kavelo:" URL tables: what each text asks for, what a client names
// as wrong, and the instance acting on a batch in order.

#include "app/shell/kavelo_url.h"
#include "app/shell/single_instance.h"
#include "app/shell/url_forwarding.h"
#include "core/text.h"
#include "shell/delegate_world.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <sstream>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

std::optional<UrlAction> act(std::string_view text) { return KaveloUrls::action(text); }

UrlAction run(Command c) { return UrlAction{UrlAction::Run{c}}; }

std::optional<std::string> problem(std::string_view text)
{
    return KaveloUrls::problem(text, [](std::string_view name) { return name == "Work" || name == "My Work"; });
}

std::string percentEncoded(std::string_view s)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

} // namespace

TEST(KaveloUrlTable, EveryCommandWordRunsItsCommandAndOnlyExactly)
{
    ASSERT_EQ(allCommands.size(), 55u);
    for (Command command : allCommands) {
        const std::string word(rawValue(command));
        EXPECT_EQ(act("kavelo://run/" + word), run(command)) << word;
        EXPECT_EQ(problem("kavelo://run/" + word), std::nullopt) << word;
        std::string upper = word;
        upper[0] = static_cast<char>(std::toupper(upper[0]));
        EXPECT_EQ(act("kavelo://run/" + upper), std::nullopt) << upper;
    }
}

TEST(KaveloUrlTable, VerbsModesAndLayouts)
{
    EXPECT_EQ(act("kavelo://switch/Work"), UrlAction{UrlAction::Switch{"Work"}});
    for (ArrangeMode mode : {ArrangeMode::off, ArrangeMode::auto_, ArrangeMode::strip})
        EXPECT_EQ(act("kavelo://mode/" + std::string(rawValue(mode))), UrlAction{UrlAction::Mode{mode}});
    for (TidyLayout layout :
         {TidyLayout::grid, TidyLayout::columns, TidyLayout::rows, TidyLayout::focus, TidyLayout::custom})
        EXPECT_EQ(act("kavelo://layout/" + std::string(rawValue(layout))), UrlAction{UrlAction::Layout{layout}});

    // Case counts everywhere: scheme, verb and argument.
    for (const char* text : {"kavelo://mode/Strip", "Kavelo://run/tidy", "KAVELO://run/tidy", "kavelo://Run/tidy",
                             "kavelo://layout/Grid", "kavelo://mode/", "kavelo://layout", "kavelo://run"})
        EXPECT_EQ(act(text), std::nullopt) << text;
}

TEST(KaveloUrlTable, SlashesQueryAndFragment)
{
    for (const char* text : {"kavelo://run/tidy", "kavelo://run/tidy/", "kavelo://run///tidy//",
                             "kavelo://run/tidy?x=1", "kavelo://run/tidy#top", "kavelo://run/tidy/?a#b"})
        EXPECT_EQ(act(text), run(Command::tidy)) << text;
    // Inner slashes stay: a workflow name may hold one.
    EXPECT_EQ(act("kavelo://switch//A/B/"), UrlAction{UrlAction::Switch{"A/B"}});
}

TEST(KaveloUrlTable, EscapesDecodeOnceAndBrokenOnesAreRefused)
{
    EXPECT_EQ(act("kavelo://switch/My%20Work"), UrlAction{UrlAction::Switch{"My Work"}});
    EXPECT_EQ(act("kavelo://run/%74idy"), run(Command::tidy));
    EXPECT_EQ(act("kavelo://switch/a%252Fb"), UrlAction{UrlAction::Switch{"a%2Fb"}});
    EXPECT_EQ(act("kavelo://switch/%C3%A9t%C3%A9"), UrlAction{UrlAction::Switch{"\xC3\xA9t\xC3\xA9"}});
    for (const char* text : {"kavelo://switch/a%zz", "kavelo://switch/a%", "kavelo://switch/a%2",
                             "kavelo://switch/a%00b", "kavelo://switch/%C3%28", "kavelo://switch/%ED%A0%80",
                             "kavelo://switch/%C0%AF", "kavelo://switch/\xFF"}) {
        EXPECT_EQ(act(text), std::nullopt) << text;
        EXPECT_EQ(problem(text), "malformed URL " + text::printable(text));
    }
    EXPECT_EQ(problem("kavelo://switch/\xFF"), "malformed URL kavelo://switch/\\xff");
}

TEST(KaveloUrlTable, NoVerbOtherSchemeAndLength)
{
    for (const char* text : {"kavelo:run/tidy", "kavelo:///run/tidy", "kavelo:", "kavelo:/tidy"}) {
        EXPECT_EQ(act(text), std::nullopt) << text;
        EXPECT_EQ(problem(text), "no verb in " + std::string(text));
    }
    for (const char* text : {"http://run/tidy", "kavelo2://run/tidy", "run/tidy", ""})
        EXPECT_EQ(problem(text), "not a kavelo URL: " + std::string(text));

    const std::string prefix = "kavelo://switch/";
    const std::string fits = prefix + std::string(KaveloUrl::maxLength - prefix.size(), 'a');
    EXPECT_TRUE(act(fits));
    EXPECT_EQ(act(fits + "a"), std::nullopt);
    EXPECT_EQ(problem(fits + "a"), "URL of 8193 bytes is longer than 8192");
}

TEST(KaveloUrlTable, ProblemsNameWhatIsWrong)
{
    EXPECT_EQ(problem("kavelo://run/tidyy"), "unknown command \"tidyy\" in kavelo://run/tidyy");
    EXPECT_EQ(problem("kavelo://jump/tidy"), "unknown verb \"jump\" in kavelo://jump/tidy");
    EXPECT_EQ(problem("kavelo://mode/Strip"), "unknown mode \"Strip\" in kavelo://mode/Strip");
    EXPECT_EQ(problem("kavelo://layout/diagonal"), "unknown layout \"diagonal\" in kavelo://layout/diagonal");
    EXPECT_EQ(problem("kavelo://switch/Play"), "no workflow named \"Play\" in kavelo://switch/Play");
    EXPECT_EQ(problem("kavelo://switch/"), "no workflow named \"\" in kavelo://switch/");
    EXPECT_EQ(problem("kavelo://switch/My%20Work"), std::nullopt);
}

TEST(KaveloUrlTable, ProblemsEchoNothingThatActsOnTheTerminal)
{
    // Decoded, a line break would print a second, fake "kavelo:" line and an
    // escape would reach the terminal.
    EXPECT_EQ(problem("kavelo://run/tidy%0akavelo: all done%1b[2J"),
              "unknown command \"tidy\\nkavelo: all done\\x1b[2J\" in kavelo://run/tidy%0akavelo: all done%1b[2J");
    EXPECT_EQ(problem("kavelo://run/\x1b]0;owned\x07"),
              "unknown command \"\\x1b]0;owned\\x07\" in kavelo://run/\\x1b]0;owned\\x07");
    EXPECT_EQ(problem("kavelo://switch/a%E2%80%AEb%5C"), "no workflow named \"a\\u202eb\\\\\" in kavelo://switch/a%E2%80%AEb%5C");
    EXPECT_EQ(problem("kavelo://mode/%C2%85"), "unknown mode \"\\u0085\" in kavelo://mode/%C2%85");
}

// Any verb and argument survive encoding: the action is exactly what was
// encoded (trimmed of slashes), and a client finds fault with no URL the
// instance acts on.
RC_GTEST_PROP(KaveloUrlProperty, EncodedArgumentsComeBackAndClientAgreesWithInstance, ())
{
    const auto verb = *rc::gen::element<std::string>("run", "switch", "mode", "layout", "jump");
    const auto argument = *rc::gen::oneOf(
        rc::gen::element<std::string>("tidy", "strip", "grid", "Work", "/tidy/", "Strip"),
        rc::gen::map(rc::gen::container<std::string>(rc::gen::inRange<char>(1, 127)), [](std::string s) { return s; }));
    const bool encode = *rc::gen::arbitrary<bool>();
    const std::string text = "kavelo://" + verb + "/" + (encode ? percentEncoded(argument) : argument);
    const auto parsed = KaveloUrl::parse(text);
    const bool plain = argument.find_first_of("?#%") == std::string::npos;
    if (encode || plain) {
        RC_ASSERT(std::holds_alternative<KaveloUrl>(parsed));
        std::string_view trimmed = argument;
        while (!trimmed.empty() && trimmed.front() == '/')
            trimmed.remove_prefix(1);
        while (!trimmed.empty() && trimmed.back() == '/')
            trimmed.remove_suffix(1);
        RC_ASSERT(std::get<KaveloUrl>(parsed).argument == trimmed);
    }
    const auto found = KaveloUrls::action(text);
    const auto complaint = KaveloUrls::problem(text, [](std::string_view) { return true; });
    RC_ASSERT(found.has_value() == !complaint.has_value());
}

// Whatever bytes arrive, the parser answers, and an action's argument is
// UTF-8 without NUL.
RC_GTEST_PROP(KaveloUrlProperty, AnyBytesParseSafely, (const std::string& tail))
{
    const auto parsed = KaveloUrl::parse("kavelo://switch/" + tail);
    if (const auto* url = std::get_if<KaveloUrl>(&parsed))
        RC_ASSERT(url->argument.find('\0') == std::string::npos);
    const auto complaint = KaveloUrls::problem("kavelo://switch/" + tail, [](std::string_view) { return false; });
    RC_ASSERT(complaint.has_value());
    for (const char c : *complaint)
        RC_ASSERT(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
}

TEST(KaveloUrlForwarding, ACommandLineGoesAsOneRequestOrNotAtAll)
{
    const std::vector<std::string> urls{"kavelo://run/tidy", "kavelo://switch/a%20b", "kavelo://mode/strip"};
    std::vector<InstanceRequest> sent;
    std::ostringstream err;
    const auto send = [&](const InstanceRequest& request) -> std::optional<std::string> {
        sent.push_back(request);
        return std::nullopt;
    };
    EXPECT_EQ(UrlForwarding::forward({.valid = urls}, err, send), 0);
    EXPECT_EQ(sent, std::vector{InstanceRequest::opening(urls)});
    // Too many, or too long, to go at once: nothing goes, and it says so.
    for (const auto& many : {std::vector<std::string>(InstanceRequest::maxUrls + 1, "kavelo://run/tidy"),
                             std::vector<std::string>(20, "kavelo://switch/" + std::string(8000, 'x'))}) {
        EXPECT_EQ(UrlForwarding::forward({.valid = many}, err, send), 2);
        EXPECT_TRUE(err.str().ends_with("; nothing was done\n")) << err.str();
    }
    EXPECT_EQ(sent.size(), 1u);

    for (const auto& request : {sent[0], InstanceRequest::saving("Desk \"1\"")})
        EXPECT_EQ(InstanceRequest::decode(request.encode()), request);
    for (const char* bad : {R"({"request":"open"})", R"({"request":"open","urls":[]})",
                            R"({"request":"open","urls":[1]})", R"({"request":"open","urls":"x"})",
                            R"({"request":"open","urls":["a"],"x":1})", R"({"request":"reopen","urls":["a"]})",
                            R"({"request":"save","name":1})", R"({"request":"save","name":"a","urls":["b"]})"})
        EXPECT_EQ(InstanceRequest::decode(bad), std::nullopt) << bad;
}

class KaveloUrlOpenTest : public DelegateTest {};

TEST_F(KaveloUrlOpenTest, ABatchActsInOrderAndBadUrlsDoNothing)
{
    const auto second = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1280, 800)});
    ASSERT_NE(second, 0u);
    auto& d = launch();
    const auto before = d.preferences().displayLayouts();
    sim.movePointer(Point(1500, 300));
    d.open({"kavelo://mode/Strip", "kavelo://layout/columns", "kavelo://mode/strip", "kavelo://mode/auto",
            "kavelo:layout/rows", "http://layout/rows", "kavelo://layout/Rows"});
    EXPECT_EQ(d.preferences().arrangeMode(), ArrangeMode::auto_);
    auto expected = before;
    expected["Side"] = TidyLayout::columns;
    EXPECT_EQ(d.preferences().displayLayouts(), expected);

    // Off every display: the primary's.
    sim.movePointer(Point(-4000, -4000));
    d.open({"kavelo://layout/rows"});
    expected[sim.displayList().front().name] = TidyLayout::rows;
    EXPECT_EQ(d.preferences().displayLayouts(), expected);
    EXPECT_TRUE(views.toasts.shown.empty());
}

TEST_F(KaveloUrlOpenTest, RunGoesThroughTheAccessibilityCheck)
{
    auto& d = launch();
    sim.setTrusted(false);
    d.open({"kavelo://run/tidy", "kavelo://run/tidyy", "kavelo://switch/Nowhere"});
    sim.settle();
    ASSERT_EQ(views.toasts.shown.size(), 1u);
    EXPECT_EQ(lastToast(), "Turn on Accessibility to move windows");
    ASSERT_TRUE(views.windows);
    EXPECT_EQ(views.windows->tabs, std::vector<SettingsTab>{SettingsTab::permissions});
}

TEST_F(KaveloUrlOpenTest, ModeStripRegistersTheStripShortcuts)
{
    auto& d = launch();
    const auto before = sim.registeredHotKeys().size();
    d.open({"kavelo://mode/strip"});
    sim.settle();
    EXPECT_EQ(d.preferences().arrangeMode(), ArrangeMode::strip);
    EXPECT_GT(sim.registeredHotKeys().size(), before);
}
