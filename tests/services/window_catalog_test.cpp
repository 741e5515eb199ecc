#include "app/services/ax.h"
#include "app/services/window_catalog.h"
#include "services/desktop_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

using namespace kavelo;
using kavelo::testing::DesktopTest;
using ::testing::ElementsAre;

namespace {

struct Listed {
    WindowID id;
    WindowState state;
    bool hasElement;
    friend bool operator==(const Listed&, const Listed&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Listed& l)
    {
        return os << l.id << ' ' << rawValue(l.state) << (l.hasElement ? " +element" : "");
    }
};

std::vector<Listed> listed(const Snapshot& s)
{
    std::vector<Listed> out;
    for (const auto& w : s.windows)
        out.push_back({w.id, w.state, s.element(w.id) != nullptr});
    return out;
}

std::vector<WindowID> ids(const Snapshot& s)
{
    std::vector<WindowID> out;
    for (const auto& w : s.windows)
        out.push_back(w.id);
    return out;
}

class CatalogTest : public DesktopTest {};

} // namespace

TEST_F(CatalogTest, OrdersOnScreenWindowsFirstThenTheRestAndNamesTheirStates)
{
    const std::uint64_t otherDesktop = sim.addDesktop(1);
    const auto mail = app("com.example.mail", "Mail");
    const auto notes = app("com.example.notes", "Notes", true);
    const auto tool = sim.addApp(SimApp{.bundleID = "com.example.tool", .policy = ActivationPolicy::accessory});

    const WindowID inbox = window(mail, "Inbox", {100, 100, 800, 600});
    const WindowID draft = window(mail, "Draft", {120, 120, 500, 400}, [](SimWindow& w) { w.minimized = true; });
    const WindowID archive = window(mail, "Archive", {0, 30, 120, 80}, [&](SimWindow& w) { w.desktop = otherDesktop; });
    window(mail, "Narrow", {0, 30, 119, 400}, [&](SimWindow& w) { w.desktop = otherDesktop; });
    const WindowID note = window(notes, "Note", {200, 200, 400, 300});
    const WindowID oldNote = window(notes, "Old note", {210, 210, 400, 300}, [](SimWindow& w) { w.minimized = true; });
    window(tool, "Palette", {10, 40, 300, 300});
    sim.windowServer().showPanel(OwnPanel{.frame = {0, 0, 400, 400}, .level = 4, .name = "highlight"});
    const WindowID front = window(mail, "Front", {50, 50, 700, 500});

    const Snapshot s = WindowCatalog::read(desktop);
    EXPECT_THAT(listed(s), ElementsAre(Listed{front, WindowState::visible, true},
                                       Listed{inbox, WindowState::visible, true},
                                       // Off screen, in the full list's order.
                                       Listed{oldNote, WindowState::minimized, true},
                                       Listed{note, WindowState::hidden, true},
                                       Listed{archive, WindowState::otherSpace, false},
                                       Listed{draft, WindowState::minimized, true}));
    EXPECT_EQ(s.elements.size(), 5u);
    const WindowEntry& first = s.windows.front();
    EXPECT_EQ(first.pid, mail);
    EXPECT_EQ(first.appName, "Mail");
    EXPECT_EQ(first.bundleID, "com.example.mail");
    EXPECT_EQ(first.title, "Front");
    EXPECT_EQ(first.frame, Rect(50, 50, 700, 500));
    EXPECT_EQ(s.windows[4].title, "Archive");
    EXPECT_EQ(s.windows[4].frame, Rect(0, 30, 120, 80));

    // Other desktops are named only while capture is allowed; nameless
    // off-screen windows are not listed.
    sim.setCaptureAllowed(false);
    EXPECT_THAT(ids(WindowCatalog::read(desktop)), ElementsAre(front, inbox, oldNote, note, draft));

    // Without trust: what is on screen, by its window-list name, no elements.
    sim.setCaptureAllowed(true);
    sim.setTrusted(false);
    const Snapshot untrusted = WindowCatalog::read(desktop);
    EXPECT_THAT(listed(untrusted), ElementsAre(Listed{front, WindowState::visible, false},
                                               Listed{inbox, WindowState::visible, false}));
    EXPECT_EQ(untrusted.windows[0].title, "Front");
    EXPECT_TRUE(untrusted.elements.empty());
}

TEST_F(CatalogTest, AppsWithoutNamesOrIdentifiersStillListWithPlaceholders)
{
    const auto anon = sim.addApp(SimApp{});
    const WindowID w = window(anon, "", {0, 30, 400, 300});
    const Snapshot s = WindowCatalog::read(desktop);
    ASSERT_EQ(s.windows.size(), 1u);
    EXPECT_EQ(s.windows[0].id, w);
    EXPECT_EQ(s.windows[0].appName, "App");
    EXPECT_EQ(s.windows[0].bundleID, "");
    EXPECT_TRUE(WindowCatalog::read(desktop).windows[0] == s.windows[0]);
}

TEST_F(CatalogTest, UnnumberedWindowsGetSyntheticIdentitiesThatRestartEveryRead)
{
    const auto a = app("com.example.a", "A");
    const auto b = app("com.example.b", "B");
    const auto unnumbered = [](SimWindow& w) { w.numberReadable = false; };

    // Alone, the first two qualifying windows take base + 1 and base + 2,
    // front-most window of the application first.
    const WindowID back = window(b, "back", {0, 30, 400, 300}, unnumbered);
    const WindowID frontB = window(b, "front", {10, 40, 400, 300}, unnumbered);
    Snapshot s = WindowCatalog::read(desktop);
    ASSERT_EQ(s.windows.size(), 2u);
    EXPECT_EQ(s.windows[0].id, syntheticWindowIDBase + 1);
    EXPECT_EQ(s.windows[0].title, "front");
    EXPECT_EQ(s.windows[1].id, syntheticWindowIDBase + 2);
    EXPECT_EQ(s.windows[1].title, "back");
    EXPECT_EQ(s.element(syntheticWindowIDBase + 1)->pid(), b);
    (void)back;
    (void)frontB;

    // Three numbered windows of an application read first push them to +4
    // and +5; synthetic windows sort after every window the list places.
    const WindowID a1 = window(a, "a1", {0, 30, 400, 300});
    const WindowID a2 = window(a, "a2", {0, 30, 400, 300});
    const WindowID a3 = window(a, "a3", {0, 30, 400, 300}, [](SimWindow& w) { w.minimized = true; });
    s = WindowCatalog::read(desktop);
    EXPECT_THAT(ids(s), ElementsAre(a2, a1, a3, syntheticWindowIDBase + 4, syntheticWindowIDBase + 5));
    // The counter restarts: a second read gives the same identities.
    EXPECT_EQ(ids(WindowCatalog::read(desktop)), ids(s));
}

TEST_F(CatalogTest, OnlyStandardWindowsAndDialogsAreListedThroughAccessibility)
{
    const auto a = app("com.example.a", "A");
    const WindowID dialog = window(a, "Save", {0, 30, 400, 300}, [](SimWindow& w) { w.subrole = dialogSubrole; });
    window(a, "Floating", {0, 30, 400, 300}, [](SimWindow& w) { w.subrole = "AXFloatingWindow"; });
    window(a, "Unreadable", {0, 30, 400, 300}, [](SimWindow& w) { w.subrole.reset(); });
    window(a, "Menu", {0, 30, 400, 300}, [](SimWindow& w) {
        w.layer = 3;
        w.subrole.reset();
    });
    // With trust, an on-screen window that accessibility skipped stays out.
    EXPECT_THAT(ids(WindowCatalog::read(desktop)), ElementsAre(dialog));
    // Without trust every on-screen normal-layer window is listed.
    sim.setTrusted(false);
    EXPECT_EQ(WindowCatalog::read(desktop).windows.size(), 3u);
}

TEST_F(CatalogTest, SilentApplicationsShowOnlyThroughTheWindowList)
{
    const std::uint64_t otherDesktop = sim.addDesktop(1);
    const auto a = app("com.example.a", "A");
    const WindowID here = window(a, "Here", {0, 30, 400, 300});
    const WindowID away = window(a, "Away", {0, 30, 400, 300}, [&](SimWindow& w) { w.desktop = otherDesktop; });
    sim.setAppAnswers(a, false);
    EXPECT_THAT(listed(WindowCatalog::read(desktop)), ElementsAre(Listed{away, WindowState::otherSpace, false}));
    sim.setTrusted(false);
    EXPECT_THAT(listed(WindowCatalog::read(desktop)), ElementsAre(Listed{here, WindowState::visible, false}));
}

namespace {

// Trust answers from a script, one per question; the rest is the sim's.
class ScriptedTrust : public Accessibility {
public:
    explicit ScriptedTrust(Accessibility& real) : real_(real) {}
    mutable std::deque<bool> answers;
    mutable int asked = 0;
    bool isTrusted() const override
    {
        ++asked;
        if (answers.empty())
            return real_.isTrusted();
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    bool requestTrust() override { return real_.requestTrust(); }
    std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const override { return real_.windows(pid); }
    ElementRef focusedWindow(std::int32_t pid) const override { return real_.focusedWindow(pid); }

private:
    Accessibility& real_;
};

} // namespace

TEST_F(CatalogTest, TrustIsAskedOncePerReadSoAGrantMidReadCannotEmptyTheSnapshot)
{
    const auto a = app("com.example.a", "A");
    const WindowID w1 = window(a, "one", {0, 30, 400, 300});
    const WindowID w2 = window(a, "two", {0, 30, 400, 300});
    ScriptedTrust trust(sim.accessibility());
    Desktop scripted{kavelo::testing::replacing(desktop.platform, &trust, nullptr), prefs};
    // Untrusted when the read starts, trusted a moment later: asking again
    // per window would drop every on-screen window as "hidden from us".
    trust.answers = {false, true, true, true};
    const Snapshot s = WindowCatalog::read(scripted);
    EXPECT_EQ(trust.asked, 1);
    EXPECT_THAT(listed(s), ElementsAre(Listed{w2, WindowState::visible, false}, Listed{w1, WindowState::visible, false}));
}

// ---------------------------------------------------------------- AX

namespace {

struct FakeElement : Element {
    std::optional<Point> pos = Point(1, 2);
    std::optional<Size> sz = Size(3, 4);
    std::vector<std::string> calls;
    std::int32_t pid() const override { return 1; }
    std::optional<WindowID> windowNumber() const override { return 7; }
    std::optional<std::string> subrole() const override { return std::string(standardWindowSubrole); }
    std::optional<std::string> title() const override { return std::string("T"); }
    std::optional<std::string> document() const override { return std::nullopt; }
    std::optional<bool> minimized() const override { return true; }
    std::optional<bool> fullScreen() const override { return std::nullopt; }
    std::optional<Point> position() const override { return pos; }
    std::optional<Size> size() const override { return sz; }
    std::optional<bool> sizeSettable() const override { return true; }
    bool setPosition(Point p) override
    {
        calls.push_back("position " + std::to_string(int(p.x)) + "," + std::to_string(int(p.y)));
        return true;
    }
    bool setSize(Size s) override
    {
        calls.push_back("size " + std::to_string(int(s.width)) + "," + std::to_string(int(s.height)));
        return true;
    }
    bool setMinimized(bool) override { return true; }
    bool raise() override { return true; }
};

} // namespace

TEST(AX, ValuesHaveTheirOwnTypeOrNone)
{
    FakeElement e;
    EXPECT_EQ(AX::value<std::string>(&e, AX::titleAttribute), "T");
    EXPECT_EQ(AX::value<std::string>(&e, AX::subroleAttribute), standardWindowSubrole);
    EXPECT_EQ(AX::value<std::string>(&e, AX::documentAttribute), std::nullopt);
    EXPECT_EQ(AX::value<bool>(&e, AX::minimizedAttribute), true);
    EXPECT_EQ(AX::value<bool>(&e, AX::fullScreenAttribute), std::nullopt);
    // The wrong type, an unknown attribute or no element: no value.
    EXPECT_EQ(AX::value<bool>(&e, AX::titleAttribute), std::nullopt);
    EXPECT_EQ(AX::value<std::string>(&e, AX::minimizedAttribute), std::nullopt);
    EXPECT_EQ(AX::value<std::string>(&e, "AXRole"), std::nullopt);
    EXPECT_EQ(AX::value<std::string>(static_cast<const Element*>(nullptr), AX::titleAttribute), std::nullopt);
}

TEST(AX, RectNeedsBothPositionAndSize)
{
    FakeElement e;
    EXPECT_EQ(AX::rect(e), Rect(1, 2, 3, 4));
    e.sz.reset();
    EXPECT_EQ(AX::rect(e), std::nullopt);
    e.sz = Size(3, 4);
    e.pos.reset();
    EXPECT_EQ(AX::rect(e), std::nullopt);
}

TEST(AX, SetFrameWritesSizePositionSizeAndNothingItCannotExpress)
{
    FakeElement e;
    AX::setFrame(e, Rect(10, 20, 300, 400));
    EXPECT_THAT(e.calls, ElementsAre("size 300,400", "position 10,20", "size 300,400"));
    e.calls.clear();
    AX::setFrame(e, Rect(std::nan(""), 0, 10, 10));
    AX::setFrame(e, Rect(0, 0, std::numeric_limits<double>::infinity(), 10));
    AX::setFrame(e, Rect::null());
    EXPECT_TRUE(e.calls.empty());
}
