// Browser tabs through the platform's scripting.

#include "app/workflows/browser_tabs.h"
#include "services/desktop_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kavelo::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

// Records every script and answers with a fixed list.
struct RecordingScripting : BrowserScripting {
    std::optional<std::vector<std::optional<std::string>>> run(std::string_view source) override
    {
        scripts.emplace_back(source);
        return answer;
    }
    std::vector<std::string> scripts;
    std::optional<std::vector<std::optional<std::string>>> answer;
};

class BrowserTabsTest : public ::testing::Test, public SimWorld {
protected:
    Platform with(BrowserScripting& browsers)
    {
        Platform p = desktop.platform;
        return Platform{p.accessibility, p.windowServer, p.workspace, p.displays, p.hotKeys, p.eventTap, p.mouse,
                        p.keyboard, p.multitouch, p.capture, p.loginItem, browsers, p.appInfo, p.scheduler, p.clock};
    }
};

TEST_F(BrowserTabsTest, ScriptIsTheExactTextWithThePrivateWindowTestOutsideSafari)
{
    EXPECT_EQ(BrowserTabs::script("com.google.Chrome"),
              "tell application id \"com.google.Chrome\"\n"
              "    set found to {}\n"
              "    repeat with w in windows\n"
              "        try\n"
              "            if (mode of w) is \"incognito\" then error number 1\n"
              "\n"
              "            repeat with t in tabs of w\n"
              "                set end of found to URL of t\n"
              "            end repeat\n"
              "        end try\n"
              "    end repeat\n"
              "    return found\n"
              "end tell");
    EXPECT_EQ(BrowserTabs::script("com.apple.Safari"),
              "tell application id \"com.apple.Safari\"\n"
              "    set found to {}\n"
              "    repeat with w in windows\n"
              "        try\n"
              "            \n"
              "            repeat with t in tabs of w\n"
              "                set end of found to URL of t\n"
              "            end repeat\n"
              "        end try\n"
              "    end repeat\n"
              "    return found\n"
              "end tell");
}

TEST_F(BrowserTabsTest, ReadKeepsTextItemsAndRefusesIdentifiersThatAreNotPlain)
{
    RecordingScripting scripting;
    scripting.answer = std::vector<std::optional<std::string>>{"https://a/", std::nullopt, "chrome://newtab"};
    EXPECT_EQ(BrowserTabs::read(scripting, "com.brave.Browser"),
              (std::vector<std::string>{"https://a/", "chrome://newtab"}));
    for (const char* bad : {"", "com.x\" to do shell script \"rm", "com x", "com.x\nend tell", "cöm.x"})
        EXPECT_EQ(BrowserTabs::read(scripting, bad), std::nullopt) << bad;
    EXPECT_EQ(scripting.scripts.size(), 1u);
    scripting.answer = std::nullopt;
    EXPECT_EQ(BrowserTabs::read(scripting, "com.brave.Browser"), std::nullopt);
}

TEST_F(BrowserTabsTest, CaptureAsksOnlyRunningBrowsersAndSafariOnlyWhenAsked)
{
    RecordingScripting scripting;
    scripting.answer = std::vector<std::optional<std::string>>{"https://x/"};
    app("com.apple.Safari", "Safari");
    app("com.microsoft.edgemac", "Edge");
    const Platform platform = with(scripting);

    EXPECT_THAT(BrowserTabs::captureRunning(platform, false), ElementsAre(Pair("com.microsoft.edgemac", ElementsAre("https://x/"))));
    ASSERT_EQ(scripting.scripts.size(), 1u);
    EXPECT_THAT(scripting.scripts[0], ::testing::StartsWith("tell application id \"com.microsoft.edgemac\""));

    scripting.scripts.clear();
    EXPECT_EQ(BrowserTabs::captureRunning(platform, true).size(), 2u);
    ASSERT_EQ(scripting.scripts.size(), 2u);
    EXPECT_THAT(scripting.scripts[0], ::testing::StartsWith("tell application id \"com.apple.Safari\""));
}

TEST_F(BrowserTabsTest, PrivateOnlyAndNonWebBrowsersAreLeftOut)
{
    app("com.google.Chrome", "Chrome");
    app("com.brave.Browser", "Brave");
    app("company.thebrowser.Browser", "Arc");
    sim.setBrowser("com.google.Chrome", SimBrowser{.windows = {{.isPrivate = true, .tabs = {"https://p/"}}}});
    sim.setBrowser("com.brave.Browser", SimBrowser{.windows = {{.tabs = {"about:blank", "brave://settings"}}}});
    sim.setBrowser("company.thebrowser.Browser",
                   SimBrowser{.windows = {{.tabs = {"https://one/", "ftp://two/"}}, {.tabs = {"http://three/"}}}});
    EXPECT_THAT(BrowserTabs::read(desktop.platform.browsers, "com.google.Chrome").value(), IsEmpty());
    EXPECT_THAT(BrowserTabs::captureRunning(desktop.platform, true),
                ElementsAre(Pair("company.thebrowser.Browser", ElementsAre("https://one/", "http://three/"))));
}

} // namespace
} // namespace kavelo::testing
