// Firefox's tabs from its session file, written here the way Firefox writes
// it: the profile a running Firefox holds, malformed and hostile files, and
// reopening through Firefox's own command line.

#include "app/services/firefox_profiles.h"
#include "app/services/firefox_session.h"
#include "app/services/moz_lz4.h"
#include "app/workflows/browser_tabs.h"
#include "shell/shell_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <fstream>
#include <unistd.h>

namespace kavelo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::Pair;
using Json = nlohmann::json;

Json tab(std::vector<std::string> history, int index, bool pinned = false)
{
    Json entries = Json::array();
    for (auto& url : history)
        entries.push_back({{"url", url}, {"title", "t"}, {"ID", 1}});
    Json t = {{"entries", entries}, {"index", index}, {"lastAccessed", 1}, {"hidden", false}};
    if (pinned)
        t["pinned"] = true;
    return t;
}

Json session(std::vector<Json> windows)
{
    Json ws = Json::array();
    for (auto& tabs : windows)
        ws.push_back({{"tabs", tabs}, {"selected", 1}, {"width", 800}});
    return {{"version", {"sessionrestore", 1}}, {"windows", ws}, {"selectedWindow", 1}, {"_closedWindows", Json::array()}};
}

void writeFile(const fs::path& file, std::string_view bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

struct RecordingLauncher : ProcessLauncher {
    bool launch(const std::string& program, const std::vector<std::string>& arguments) override
    {
        std::vector<std::string> line{program};
        line.insert(line.end(), arguments.begin(), arguments.end());
        lines.push_back(line);
        return true;
    }
    std::vector<std::vector<std::string>> lines;
};

class FirefoxTabsTest : public ShellTest {
protected:
    fs::path base() const { return home.root() / ".mozilla" / "firefox"; }

    // A profile of Firefox ESR, as the installs' default, held by `pid`.
    fs::path profile(std::string name, std::optional<std::int32_t> pid, const Json& state)
    {
        const fs::path folder = base() / name;
        fs::create_directories(folder);
        writeFile(FirefoxSession::recoveryFile(folder), MozLz4::encode(state.dump()));
        if (pid)
            fs::create_symlink("127.0.1.1:+" + std::to_string(*pid), folder / "lock");
        return folder;
    }
    void profilesIni(std::string_view text) { writeFile(base() / "profiles.ini", text); }
    // Firefox ESR installed from its desktop entry, started through `launcher`.
    void installFirefox(RecordingLauncher& launcher)
    {
        workflows.launcher = &launcher;
        const fs::path entry = home.root() / "firefox-esr.desktop";
        writeFile(entry,
                  "[Desktop Entry]\nType=Application\nName=Firefox ESR\nExec=/usr/lib/firefox-esr/firefox-esr %u\n");
        sim.install("firefox-esr", SimInstalledApp{.location = entry.string()});
    }
    // What the reader found, handed to the main loop.
    void tabsRead()
    {
        workflows.waitForTabs();
        scheduler.runPending();
    }
};

TEST_F(FirefoxTabsTest, TheShownPageOfEveryTabWindowByWindowWithoutPrivateWindows)
{
    Json state = session({{tab({"https://pinned.example/"}, 1, true), tab({"https://a/", "https://b/"}, 1)},
                          {tab({"about:home", "https://c/"}, 2), tab({"https://d/"}, 9), {{"entries", Json::array()}}}});
    state["windows"].push_back({{"isPrivate", true}, {"tabs", {tab({"https://secret/"}, 1)}}});
    const auto windows = FirefoxSession::parse(state.dump());
    ASSERT_TRUE(windows);
    ASSERT_EQ(windows->size(), 2u);
    EXPECT_EQ((*windows)[0].tabs, (std::vector<FirefoxSession::Tab>{{"https://pinned.example/", true}, {"https://a/", false}}));
    // Out of range: the last entry; no entries: no tab.
    EXPECT_EQ(FirefoxSession::addresses(*windows),
              (std::vector<std::string>{"https://pinned.example/", "https://a/", "https://c/", "https://d/"}));
}

TEST_F(FirefoxTabsTest, MalformedAndHostileFilesGiveNoTabsAndAReason)
{
    const fs::path file = home.root() / "recovery.jsonlz4";
    const std::string good = MozLz4::encode(session({{tab({"https://a/"}, 1)}}).dump());
    std::string problem;
    const auto fails = [&](std::string_view bytes) {
        writeFile(file, bytes);
        problem.clear();
        return !FirefoxSession::read(file, &problem) && !problem.empty();
    };
    EXPECT_TRUE(FirefoxSession::read(file.parent_path() / "missing", &problem) == std::nullopt && !problem.empty());
    for (std::size_t n : {0ul, 5ul, 12ul, good.size() / 2, good.size() - 1})
        EXPECT_TRUE(fails(good.substr(0, n))) << n;
    std::string wrongMagic = good;
    wrongMagic[3] = 'X';
    EXPECT_TRUE(fails(wrongMagic));
    // A size beyond what the block can hold is refused before allocating.
    std::string huge = good;
    huge[11] = '\x7f';
    EXPECT_TRUE(fails(huge));
    EXPECT_THAT(problem, ::testing::HasSubstr("more than it can hold"));
    std::string damaged = good;
    damaged[14] = '\xff', damaged[15] = '\xff';
    EXPECT_TRUE(fails(damaged));
    EXPECT_TRUE(fails(MozLz4::encode("{\"windows\": 3}")));
    EXPECT_TRUE(fails(MozLz4::encode("not json")));
    EXPECT_TRUE(fails(MozLz4::encode("{\"windows\":" + std::string(100000, '[') + std::string(100000, ']') + "}")));
    EXPECT_THAT(problem, ::testing::HasSubstr("deeply"));
    // Odd but readable: tabs and entries of the wrong kinds are skipped.
    writeFile(file, MozLz4::encode(R"({"windows":[3,{"tabs":[1,{"entries":[2]},{"entries":[{"url":4}]}]}]})"));
    EXPECT_EQ(FirefoxSession::read(file).value(), std::vector<FirefoxSession::Window>{{}});
    // Larger than any session: not read at all.
    fs::resize_file(file, FirefoxSession::largestFile + 1);
    EXPECT_TRUE(!FirefoxSession::read(file, &problem) && problem.find("too large") != std::string::npos);
}

// What a session means, from the whole parsed text: the plain reading the
// one-pass reader must agree with.
std::vector<FirefoxSession::Window> meaning(const Json& root)
{
    std::vector<FirefoxSession::Window> out;
    const auto flag = [](const Json& o, const char* name) {
        return o.contains(name) && o[name].is_boolean() && o[name].get<bool>();
    };
    for (const Json& w : root["windows"]) {
        if (!w.is_object() || flag(w, "isPrivate"))
            continue;
        FirefoxSession::Window window;
        if (w.contains("tabs") && w["tabs"].is_array())
            for (const Json& t : w["tabs"]) {
                if (!t.is_object() || !t.contains("entries") || !t["entries"].is_array() || t["entries"].empty())
                    continue;
                const Json& entries = t["entries"];
                std::size_t at = entries.size() - 1;
                if (t.contains("index") && t["index"].is_number_integer()) {
                    const auto i = t["index"].get<std::int64_t>();
                    if (i >= 1 && std::uint64_t(i) <= entries.size())
                        at = std::size_t(i - 1);
                }
                const Json& e = entries[at];
                if (e.is_object() && e.contains("url") && e["url"].is_string())
                    window.tabs.push_back({e["url"].get<std::string>(), flag(t, "pinned")});
            }
        out.push_back(std::move(window));
    }
    return out;
}

// Any value, often under the names the reader looks for at other levels.
Json anyValue(int depth)
{
    switch (*rc::gen::inRange(0, depth > 0 ? 8 : 6)) {
    case 0:
        return nullptr;
    case 1:
        return *rc::gen::arbitrary<bool>();
    case 2:
        return *rc::gen::inRange(-2, 4);
    case 3:
        return *rc::gen::element(1.5, 1e3, -0.0);
    case 4:
    case 5:
        return *rc::gen::element<std::string>("https://a/", "x", "é \"\\ /\n\u0001", "https://b/?q=😀", "");
    case 6: {
        Json a = Json::array();
        for (int n = *rc::gen::inRange(0, 3); n > 0; --n)
            a.push_back(anyValue(depth - 1));
        return a;
    }
    default: {
        Json o = Json::object();
        for (int n = *rc::gen::inRange(0, 3); n > 0; --n)
            o[*rc::gen::element<std::string>("url", "tabs", "entries", "index", "pinned", "isPrivate", "windows",
                                             "title")] = anyValue(depth - 1);
        return o;
    }
    }
}

// A session of the shape Firefox writes, with odd values here and there.
Json anySession()
{
    const auto sometimes = [](Json usual, int depth) { return *rc::gen::inRange(0, 5) ? usual : anyValue(depth); };
    Json windows = Json::array();
    for (int w = *rc::gen::inRange(0, 4); w > 0; --w) {
        Json tabs = Json::array();
        for (int t = *rc::gen::inRange(0, 4); t > 0; --t) {
            Json entries = Json::array();
            for (int e = *rc::gen::inRange(0, 4); e > 0; --e)
                entries.push_back(sometimes({{"url", anyValue(0)}, {"title", "t"}}, 1));
            Json tab{{"entries", sometimes(entries, 1)}, {"index", anyValue(0)}, {"pinned", anyValue(0)}};
            tabs.push_back(sometimes(tab, 2));
        }
        const Json window{{"tabs", sometimes(tabs, 2)}, {"isPrivate", anyValue(0)}, {"extra", anyValue(2)}};
        windows.push_back(sometimes(window, 2));
    }
    return {{"version", anyValue(1)}, {"windows", windows}, {"_closedWindows", anyValue(3)}};
}

RC_GTEST_PROP(FirefoxSessionProperty, TheOnePassReaderMeansWhatTheWholeTextMeans, ())
{
    const Json root = anySession();
    const std::string text = root.dump(*rc::gen::element(-1, 1));
    const auto expected = meaning(root);
    RC_ASSERT(FirefoxSession::parse(text) == std::optional(expected));
    // Pieces of any size, down to single bytes: every token may be split.
    const auto piece = *rc::gen::inRange<std::size_t>(1, 40);
    RC_ASSERT(FirefoxSession::decode(MozLz4::encode(text), nullptr, piece) == std::optional(expected));
}

TEST_F(FirefoxTabsTest, HostileSessionsStopAtTheReadersBounds)
{
    const auto tabs = [](std::size_t n, std::string_view url = "https://a/") {
        std::string out = R"({"windows":[{"tabs":[)";
        for (std::size_t i = 0; i < n; ++i)
            out += std::string(i ? "," : "") + R"({"entries":[{"url":")" + std::string(url) + R"("}]})";
        return out + "]}]}";
    };
    std::string windows = R"({"windows":[{})", entries = R"({"windows":[{"tabs":[{"entries":[{})";
    for (std::size_t i = 0; i < FirefoxSession::mostWindows; ++i)
        windows += ",{}";
    for (std::size_t i = 0; i < FirefoxSession::mostEntries; ++i)
        entries += ",{}";
    const struct {
        std::string text;
        std::optional<std::size_t> tabs; // none: refused
        std::string reason;
    } cases[] = {
        {tabs(FirefoxSession::mostTabs), FirefoxSession::mostTabs, ""},
        {tabs(FirefoxSession::mostTabs + 1), std::nullopt, "more than 100000 tabs"},
        {windows + "]}", std::nullopt, "more than 1000 windows"},
        {entries + "]}]}]}", std::nullopt, "more than 1000 history entries"},
        {tabs(2, std::string(FirefoxSession::longestAddress, 'a')), 2, ""},
        // An address too long to keep is none.
        {tabs(2, std::string(FirefoxSession::longestAddress + 1, 'a')), 0, ""},
    };
    for (const auto& c : cases) {
        std::string problem;
        const auto read = FirefoxSession::decode(MozLz4::encode(c.text), &problem);
        EXPECT_EQ(read ? std::optional(FirefoxSession::addresses(*read).size()) : std::nullopt, c.tabs) << problem;
        EXPECT_THAT(problem, ::testing::HasSubstr(c.reason));
    }
}

TEST_F(FirefoxTabsTest, SavingReadsFirefoxsTabsOffTheMainThread)
{
    const auto firefox = app("firefox-esr", "Firefox ESR");
    profile("x.default-esr", firefox, session({{tab({"https://a/"}, 1)}}));
    profilesIni("[Profile0]\nPath=x.default-esr\nIsRelative=1\n");
    workflows.save("Web", "fp");
    // The windows are taken at once; the workflow is stored when the tabs
    // arrive through the main loop.
    EXPECT_EQ(workflows.store().load("Web"), std::nullopt);
    workflows.waitForTabs();
    EXPECT_EQ(workflows.store().load("Web"), std::nullopt);
    scheduler.runPending();
    const auto saved = workflows.store().load("Web");
    ASSERT_TRUE(saved);
    EXPECT_THAT(saved->tabs, ElementsAre(Pair("firefox-esr", ElementsAre("https://a/"))));
}

TEST_F(FirefoxTabsTest, ProfilesIniNamesTheInstallsDefaultFirst)
{
    const auto listed = FirefoxProfiles::parse("[Profile1]\nName=old\nIsRelative=1\nPath=x.old\nDefault=1\n\n"
                                               "[Profile0]\nName=abs\nIsRelative=0\nPath=/elsewhere/p\n\n"
                                               "[Install3B6073811A6ABF12]\r\nDefault=y.default-esr\r\nLocked=1\r\n",
                                               "/b");
    EXPECT_EQ(listed.defaults, (std::vector<fs::path>{"/b/y.default-esr", "/b/x.old"}));
    EXPECT_EQ(listed.all, (std::vector<fs::path>{"/b/x.old", "/elsewhere/p"}));

    // More sections than any real file has: the first ones only.
    std::string many;
    for (std::size_t i = 0; i <= FirefoxProfiles::mostSections; ++i)
        many += "[Profile" + std::to_string(i) + "]\nPath=p" + std::to_string(i) + "\n";
    EXPECT_EQ(FirefoxProfiles::parse(many, "/b").all.size(), FirefoxProfiles::mostSections);
}

TEST_F(FirefoxTabsTest, CaptureReadsTheProfileTheRunningFirefoxHolds)
{
    const auto firefox = app("firefox-esr", "Firefox ESR");
    profile("stale.default", std::nullopt, session({{tab({"https://stale/"}, 1)}}));
    profile("other.default", firefox + 1000, session({{tab({"https://other-process/"}, 1)}}));
    profile("y.default-esr", firefox,
            session({{tab({"https://pinned/"}, 1, true), tab({"about:preferences"}, 1)}, {tab({"http://two/"}, 1)}}));
    profilesIni("[Profile0]\nPath=stale.default\nIsRelative=1\nDefault=1\n[Profile1]\nPath=other.default\n"
                "IsRelative=1\n[Profile2]\nPath=y.default-esr\nIsRelative=1\n[Install1]\nDefault=stale.default\n");
    std::vector<std::string> logged;
    const auto log = [&](const std::string& s) { logged.push_back(s); };
    EXPECT_THAT(BrowserTabs::captureRunning(desktop.platform, false, log),
                ElementsAre(Pair("firefox-esr", ElementsAre("https://pinned/", "http://two/"))));
    EXPECT_TRUE(logged.empty());

    // Held by nothing we know (another process namespace): the default
    // profile, if something holds it.
    fs::remove(base() / "y.default-esr" / "lock");
    EXPECT_TRUE(BrowserTabs::captureRunning(desktop.platform, false, log).empty());
    fs::create_symlink("127.0.1.1:+999999", base() / "stale.default" / "lock");
    EXPECT_THAT(BrowserTabs::captureRunning(desktop.platform, false, log),
                ElementsAre(Pair("firefox-esr", ElementsAre("https://stale/"))));

    // A broken file: no tabs, a logged reason.
    writeFile(FirefoxSession::recoveryFile(base() / "stale.default"), "mozLz40\0garbage");
    logged.clear();
    EXPECT_EQ(BrowserTabs::read(desktop.platform, "firefox-esr", log), std::nullopt);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_THAT(logged[0], ::testing::HasSubstr("recovery.jsonlz4"));
}

TEST_F(FirefoxTabsTest, AProfileLinkedToSomeoneElsesFolderIsNotRead)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "making a folder of another user needs root";
    const auto firefox = app("firefox", "Firefox");
    const fs::path elsewhere = home.root() / "elsewhere";
    const Json state = session({{tab({"https://theirs/"}, 1)}});
    writeFile(FirefoxSession::recoveryFile(elsewhere), MozLz4::encode(state.dump()));
    fs::create_directories(base());
    fs::create_directory_symlink(elsewhere, base() / "p.default");
    fs::create_symlink("127.0.1.1:+" + std::to_string(firefox), elsewhere / "lock");
    profilesIni("[Profile0]\nPath=p.default\nIsRelative=1\n");
    EXPECT_THAT(BrowserTabs::captureRunning(desktop.platform, false, [](const std::string&) {}),
                ElementsAre(Pair("firefox", ElementsAre("https://theirs/"))));
    ASSERT_EQ(::chown(elsewhere.c_str(), 4242, 4242), 0);
    EXPECT_TRUE(BrowserTabs::captureRunning(desktop.platform, false, [](const std::string&) {}).empty());
}

TEST_F(FirefoxTabsTest, ReopeningStartsFirefoxWithTheMissingTabsInANewWindow)
{
    RecordingLauncher launcher;
    installFirefox(launcher);
    stored("Web", {}, [](Workspace& w) {
        w.tabs = {{"firefox-esr", {"https://a/", "https://b/", "https://c/", "about:config"}}};
    });
    // Not running: every saved web tab, in one new window.
    workflows.switchTo("Web");
    ASSERT_EQ(launcher.lines.size(), 1u);
    EXPECT_EQ(launcher.lines[0],
              (std::vector<std::string>{"/usr/lib/firefox-esr/firefox-esr", "https://a/", "https://b/", "https://c/"}));

    // Running with two of them open: the third alone, still a new window.
    const auto firefox = app("firefox-esr", "Firefox ESR");
    profile("x.default-esr", firefox, session({{tab({"https://a/"}, 1), tab({"https://b/"}, 1)}}));
    profilesIni("[Profile0]\nPath=x.default-esr\nIsRelative=1\n");
    launcher.lines.clear();
    scheduler.advance(10.0);
    workflows.switchTo("Web");
    tabsRead();
    EXPECT_EQ(launcher.lines,
              (std::vector<std::vector<std::string>>{{"/usr/lib/firefox-esr/firefox-esr", "--new-window", "https://c/"}}));

    // Running but unreadable: nothing reopened, as with a browser that
    // does not answer.
    writeFile(FirefoxSession::recoveryFile(base() / "x.default-esr"), "broken");
    launcher.lines.clear();
    scheduler.advance(10.0);
    workflows.switchTo("Web");
    tabsRead();
    EXPECT_TRUE(launcher.lines.empty());
}

// A large session takes its reader a second: the switch answers and places
// the windows meanwhile, and the missing tabs open once the read is in.
TEST_F(FirefoxTabsTest, ASwitchPlacesTheWindowsAtOnceAndReadsFirefoxsTabsOffTheMainThread)
{
    RecordingLauncher launcher;
    installFirefox(launcher);
    const auto firefox = app("firefox-esr", "Firefox ESR");
    const WindowID browser = window(firefox, "Mozilla Firefox", Rect(0, 0, 400, 300));
    profile("x.default-esr", firefox, session({{tab({"https://a/"}, 1)}}));
    profilesIni("[Profile0]\nPath=x.default-esr\nIsRelative=1\n");
    stored("Web", {{"firefox-esr", "Mozilla Firefox", Rect(100, 50, 800, 600)}},
           [](Workspace& w) { w.tabs = {{"firefox-esr", {"https://a/", "https://b/"}}}; });
    std::optional<int> placed;
    workflows.switchTo("Web", [&](int n) { placed = n; });
    EXPECT_EQ(placed, 1);
    EXPECT_EQ(frameOf(browser), Rect(100, 50, 800, 600));
    EXPECT_TRUE(launcher.lines.empty());
    tabsRead();
    EXPECT_EQ(launcher.lines,
              (std::vector<std::vector<std::string>>{{"/usr/lib/firefox-esr/firefox-esr", "--new-window", "https://b/"}}));
}

// Its window saved too, and Firefox not running: started once, by the line
// with the tabs. Started from its entry as well, the second Firefox finds the
// first holding the profile before it answers, and says it is not responding.
TEST_F(FirefoxTabsTest, AWorkflowWithFirefoxsWindowAndTabsStartsFirefoxOnce)
{
    RecordingLauncher launcher;
    installFirefox(launcher);
    stored("Web", {{"firefox-esr", "Mozilla Firefox", Rect(0, 0, 800, 600)}},
           [](Workspace& w) { w.tabs = {{"firefox-esr", {"https://a/", "https://b/"}}}; });
    workflows.switchTo("Web");
    EXPECT_EQ(launcher.lines,
              (std::vector<std::vector<std::string>>{{"/usr/lib/firefox-esr/firefox-esr", "https://a/", "https://b/"}}));
    for (const SimRequest& request : sim.requests())
        EXPECT_NE(request.kind, "launch") << request.location.value_or("");
    EXPECT_EQ(workflows.message(), std::nullopt);
}

} // namespace
} // namespace kavelo::testing
