// Desktop entries: parsing, the program line, and the folder cache.

#include "app/platform/desktop_entries.h"
#include "services/temp_home.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace kavelo {
namespace {

using ::testing::ElementsAre;

std::string entry(std::string_view body) { return "[Desktop Entry]\nType=Application\n" + std::string(body); }

std::optional<DesktopEntry> parsed(std::string_view text, std::string_view locale = "C")
{
    return DesktopEntry::parse(text, "x.desktop", "/x.desktop", locale);
}

TEST(DesktopEntry, NamesFollowTheLocaleFallbacks)
{
    const std::string text = entry("Name=Calculator\nName[de]=Rechner\nName[de_AT]=Taschenrechner\n"
                                   "Name[sr@latin]=Kalkulator\nIcon=accessories-calculator\n");
    EXPECT_EQ(parsed(text, "de_AT.UTF-8")->name, "Taschenrechner");
    EXPECT_EQ(parsed(text, "de_DE.UTF-8")->name, "Rechner");
    EXPECT_EQ(parsed(text, "de")->name, "Rechner");
    EXPECT_EQ(parsed(text, "sr_RS@latin")->name, "Kalkulator");
    EXPECT_EQ(parsed(text, "fr_FR.UTF-8")->name, "Calculator");
    EXPECT_EQ(parsed(text, "C")->name, "Calculator");
    EXPECT_THAT(localeKeys("de_DE.UTF-8@euro"), ElementsAre("de_DE@euro", "de_DE", "de@euro", "de"));
    EXPECT_THAT(localeKeys("POSIX"), ElementsAre());
}

TEST(DesktopEntry, ReadsItsKeysAndUnescapesValues)
{
    const auto e = parsed("# comment\n\n[Desktop Entry]\nType = Application\nName=My\\sApp\nExec=app %U\n"
                          "TryExec=app\nStartupWMClass=MyApp\nHidden=true\nNoDisplay=true\nIcon=/opt/app.png\n"
                          "[Desktop Action new]\nName=Other\nExec=evil\n");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "My App");
    EXPECT_EQ(e->exec, "app %U");
    EXPECT_EQ(e->tryExec, "app");
    EXPECT_EQ(e->startupWMClass, "MyApp");
    EXPECT_TRUE(e->hidden);
    EXPECT_TRUE(e->noDisplay);
    EXPECT_EQ(e->icon, "/opt/app.png");
}

TEST(DesktopEntry, MalformedEntriesAreNoEntries)
{
    EXPECT_FALSE(parsed("Name=No group\nType=Application\n"));
    EXPECT_FALSE(parsed("[Other Group]\nName=x\n[Desktop Entry]\nType=Application\nName=Late\n"));
    EXPECT_FALSE(parsed(entry("Name=Bad \xff\xfe bytes\n")));
    EXPECT_FALSE(parsed(entry("Name=Over\xc0\xaflong\n")));
    EXPECT_FALSE(parsed(entry("Name=Bell\\n ringer\n")));
    EXPECT_FALSE(parsed(entry("Name=Tab\x07\n")));
    EXPECT_FALSE(parsed(entry("Name=C1 \xc2\x85 control\n")));
    EXPECT_FALSE(parsed(entry("Exec=nameless\n")));
    EXPECT_FALSE(parsed("[Desktop Entry]\nType=Link\nName=Web\nURL=https://x\n"));
    EXPECT_FALSE(parsed("[Desktop Entry\nType=Application\nName=x\n"));
    EXPECT_TRUE(parsed(entry("Name=Ünïcödé ✓\n")));
}

TEST(DesktopExec, SplitsQuotesAndFieldCodes)
{
    using DesktopExec::arguments;
    const std::vector<std::string> urls{"https://a.example/", "https://b.example/"};
    EXPECT_EQ(arguments("firefox %u", urls), (std::vector<std::string>{"firefox", "https://a.example/", "https://b.example/"}));
    EXPECT_EQ(arguments("browser --new %U --flag", urls),
              (std::vector<std::string>{"browser", "--new", "https://a.example/", "https://b.example/", "--flag"}));
    EXPECT_EQ(arguments("app %F"), (std::vector<std::string>{"app"}));
    EXPECT_EQ(arguments("app %i %c %k -x"), (std::vector<std::string>{"app", "-x"}));
    EXPECT_EQ(arguments(R"("/opt/My App/run" "a \"b\" \\ \$c" 100%%)"),
              (std::vector<std::string>{"/opt/My App/run", R"(a "b" \ $c)", "100%"}));
    EXPECT_EQ(arguments(R"(app "" x)"), (std::vector<std::string>{"app", "", "x"}));
    // No shell: these stay plain words.
    EXPECT_EQ(arguments("sh;rm -rf $HOME |x"), (std::vector<std::string>{"sh;rm", "-rf", "$HOME", "|x"}));
    EXPECT_EQ(arguments("app \"unclosed"), std::nullopt);
    EXPECT_EQ(arguments("   "), std::nullopt);
    EXPECT_EQ(arguments("%U", {}), std::nullopt);
}

// ---------------------------------------------------------------- folders

class DesktopEntriesTest : public ::testing::Test {
protected:
    std::filesystem::path user() const { return home.root() / "data"; }
    std::filesystem::path system() const { return home.root() / "system"; }
    std::filesystem::path other() const { return home.root() / "other"; }

    void write(const std::filesystem::path& dir, const std::string& file, const std::string& text)
    {
        std::filesystem::create_directories((dir / "applications" / file).parent_path());
        std::ofstream(dir / "applications" / file, std::ios::binary) << text;
    }
    DesktopEntries make(std::string locale = "C") { return DesktopEntries({user(), system(), other()}, std::move(locale)); }
    static std::string nameOf(const DesktopEntries& entries, std::string_view wmClass)
    {
        const DesktopEntry* e = entries.forClass(wmClass);
        return e ? e->name : std::string("-");
    }

    test::TempHome home;
};

TEST_F(DesktopEntriesTest, EnvironmentGivesUserFolderFirstThenTheDataDirs)
{
    ::setenv("XDG_DATA_DIRS", (system().string() + ":relative:" + other().string()).c_str(), 1);
    EXPECT_THAT(DesktopEntries::dataDirsFromEnvironment(), ElementsAre(user(), system(), other()));
    ::unsetenv("XDG_DATA_DIRS");
    EXPECT_THAT(DesktopEntries::dataDirsFromEnvironment(),
                ElementsAre(user(), std::filesystem::path("/usr/local/share"), std::filesystem::path("/usr/share")));
}

TEST_F(DesktopEntriesTest, ClassFindsStartupWMClassOrAnIdOfAnyCase)
{
    write(system(), "org.gnome.Calculator.desktop", entry("Name=Calculator\nStartupWMClass=gnome-calculator\n"));
    write(system(), "mousepad.desktop", entry("Name=Mousepad\n"));
    write(system(), "kde4/okular.desktop", entry("Name=Okular\n"));
    const auto entries = make();
    EXPECT_EQ(nameOf(entries, "gnome-calculator"), "Calculator");
    EXPECT_EQ(nameOf(entries, "Mousepad"), "Mousepad");
    EXPECT_EQ(nameOf(entries, "kde4-okular"), "Okular");
    EXPECT_EQ(entries.forClass("kde4-okular")->id, "kde4-okular.desktop");
    // StartupWMClass is the class exactly.
    EXPECT_EQ(nameOf(entries, "Gnome-calculator"), "-");
    EXPECT_EQ(nameOf(entries, ""), "-");
    EXPECT_EQ(nameOf(entries, "XCalc"), "-");
}

// As the programs people run name themselves: GTK by its application id,
// KDE by its desktop file, others by a class that is the last part of a
// reverse-DNS id, or a reverse-DNS class whose last part is the id.
TEST_F(DesktopEntriesTest, WindowsNamedIdsComeFirstThenStartupWMClassThenTheClassWithOrWithoutItsPrefix)
{
    write(system(), "org.gnome.gedit.desktop", entry("Name=gedit\n"));
    write(system(), "org.gnome.Calculator.desktop", entry("Name=Calculator\n"));
    write(system(), "org.kde.kcalc.desktop", entry("Name=KCalc\nExec=kcalc\n"));
    write(system(), "org.xfce.mousepad.desktop", entry("Name=Mousepad\n"));
    write(system(), "debian-xterm.desktop", entry("Name=XTerm\nStartupWMClass=XTerm\n"));
    write(system(), "xterm.desktop", entry("Name=Plain xterm\n"));
    write(system(), "nautilus.desktop", entry("Name=Files\n"));
    write(system(), "display-im6.q16.desktop", entry("Name=ImageMagick\n"));
    const auto entries = make();
    const auto name = [&](ProgramIdentity program) {
        const DesktopEntry* e = entries.forProgram(program);
        return e ? e->name : std::string("-");
    };
    EXPECT_EQ(name({.applicationId = "org.gnome.gedit", .wmClass = "Gedit"}), "gedit");
    EXPECT_EQ(name({.applicationId = "org.gnome.Calculator", .wmClass = "gnome-calculator"}), "Calculator");
    EXPECT_EQ(name({.desktopFile = "org.kde.kcalc", .wmClass = "Something"}), "KCalc");
    EXPECT_EQ(name({.desktopFile = "/usr/share/applications/org.kde.kcalc.desktop"}), "KCalc");
    // The window's own id wins over its class.
    EXPECT_EQ(name({.applicationId = "org.xfce.mousepad", .wmClass = "XTerm"}), "Mousepad");
    // An id naming no entry leaves the class to decide.
    EXPECT_EQ(name({.applicationId = "org.example.Gone", .wmClass = "Gedit"}), "gedit");
    EXPECT_EQ(name({.wmClass = "kcalc"}), "KCalc");
    EXPECT_EQ(name({.wmClass = "Mousepad"}), "Mousepad");
    EXPECT_EQ(name({.wmClass = "org.gnome.Nautilus"}), "Files");
    // StartupWMClass before an id equal to the class.
    EXPECT_EQ(name({.wmClass = "XTerm"}), "XTerm");
    EXPECT_EQ(name({.wmClass = "xterm"}), "Plain xterm");
    // Two dots are no reverse-DNS name; the last part alone names nothing.
    EXPECT_EQ(name({.wmClass = "q16"}), "-");
    EXPECT_EQ(name({.wmClass = "calc"}), "-");
    EXPECT_EQ(name({}), "-");
    // Launching follows the same match.
    ASSERT_NE(entries.toLaunch("kcalc"), nullptr);
    EXPECT_EQ(entries.toLaunch("kcalc")->id, "org.kde.kcalc.desktop");
}

TEST_F(DesktopEntriesTest, TwoClaimsOnOneClassGoToTheMatchingIdElseTheFirstFolder)
{
    write(user(), "zz-terminal.desktop", entry("Name=User Terminal\nStartupWMClass=Term\n"));
    write(system(), "aa-terminal.desktop", entry("Name=System Terminal\nStartupWMClass=Term\n"));
    write(system(), "term.desktop", entry("Name=The Term\nStartupWMClass=Term\n"));
    write(system(), "shell.desktop", entry("Name=Shell\nStartupWMClass=Shell\n"));
    write(other(), "a-shell.desktop", entry("Name=Other Shell\nStartupWMClass=Shell\n"));
    const auto entries = make();
    EXPECT_EQ(nameOf(entries, "Term"), "The Term");
    EXPECT_EQ(nameOf(entries, "Shell"), "Shell");
}

TEST_F(DesktopEntriesTest, AnEarlierFolderHidesTheSameIdAndHiddenEntriesStillName)
{
    write(user(), "calc.desktop", entry("Name=My Calc\nHidden=true\nExec=calc\n"));
    write(system(), "calc.desktop", entry("Name=Calc\nExec=calc\n"));
    write(system(), "tool.desktop", entry("Name=Tool\nNoDisplay=true\nOnlyShowIn=KDE;\nExec=tool\n"));
    const auto entries = make();
    EXPECT_EQ(nameOf(entries, "calc"), "My Calc");
    EXPECT_EQ(nameOf(entries, "tool"), "Tool");
    // Nothing to start a deleted entry from; a menu-less one is fine.
    EXPECT_EQ(entries.toLaunch("calc"), nullptr);
    ASSERT_NE(entries.toLaunch("tool"), nullptr);
}

TEST_F(DesktopEntriesTest, TryExecMustFindItsProgram)
{
    write(system(), "there.desktop", entry("Name=There\nTryExec=sh\nExec=sh\n"));
    write(system(), "gone.desktop", entry("Name=Gone\nTryExec=/nonexistent/kavelo-nothing\nExec=x\n"));
    const auto entries = make();
    EXPECT_NE(entries.toLaunch("there"), nullptr);
    EXPECT_EQ(entries.toLaunch("gone"), nullptr);
    EXPECT_EQ(nameOf(entries, "gone"), "Gone");
}

TEST_F(DesktopEntriesTest, MalformedFilesAreSkippedAndNameNothingElse)
{
    write(system(), "broken.desktop", "garbage\x01\xff\n[Desktop Entry]\nName=Broken\n");
    write(system(), "nogroup.desktop", "Name=Nogroup\nStartupWMClass=Victim\n");
    write(system(), "victim.desktop", entry("Name=Victim\n"));
    write(system(), "notes.txt", entry("Name=Not an entry\n"));
    const auto entries = make();
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(nameOf(entries, "broken"), "-");
    EXPECT_EQ(nameOf(entries, "Victim"), "Victim");
    EXPECT_EQ(nameOf(entries, "notes"), "-");
}

TEST_F(DesktopEntriesTest, LocalizedNamesFromTheGivenLocale)
{
    write(system(), "files.desktop", entry("Name=Files\nName[fr]=Fichiers\n"));
    EXPECT_EQ(nameOf(make("fr_CA.UTF-8"), "files"), "Fichiers");
    EXPECT_EQ(nameOf(make("C"), "files"), "Files");
}

TEST_F(DesktopEntriesTest, FollowsInstallsAndRemovalsWhileRunning)
{
    write(system(), "old.desktop", entry("Name=Old\n"));
    std::filesystem::create_directories(other());
    auto entries = make();
    EXPECT_EQ(entries.reads(), 1);
    entries.refresh();
    EXPECT_EQ(entries.reads(), 1);
    EXPECT_EQ(nameOf(entries, "new"), "-");

    write(system(), "new.desktop", entry("Name=New\n"));
    entries.refresh();
    EXPECT_EQ(nameOf(entries, "new"), "New");
    // A new subfolder, and an applications folder where there was none.
    write(system(), "vendor/deep.desktop", entry("Name=Deep\n"));
    entries.refresh();
    EXPECT_EQ(nameOf(entries, "vendor-deep"), "Deep");
    write(other(), "late.desktop", entry("Name=Late\n"));
    entries.refresh();
    EXPECT_EQ(nameOf(entries, "late"), "Late");
    // Rewritten in place, then removed.
    write(system(), "new.desktop", entry("Name=Newer\n"));
    entries.refresh();
    EXPECT_EQ(nameOf(entries, "new"), "Newer");
    std::filesystem::remove(system() / "applications/old.desktop");
    entries.refresh();
    EXPECT_EQ(nameOf(entries, "old"), "-");
    const int reads = entries.reads();
    entries.refresh();
    EXPECT_EQ(entries.reads(), reads);
}

TEST_F(DesktopEntriesTest, ApplicationNamesFallBackToClassInstanceThenCommand)
{
    write(system(), "org.gnome.Calculator.desktop", entry("Name=Calculator\nName[de]=Rechner\nStartupWMClass=gnome-calculator\n"));
    write(system(), "xev.desktop", entry("Name=Event Tester\n"));
    const auto entries = make("de_DE.UTF-8");
    const auto named = [&](std::string wmClass, std::string instance, std::string_view command) {
        return applicationName(entries, ProgramIdentity{.wmClass = std::move(wmClass), .instance = std::move(instance)},
                               command);
    };
    EXPECT_EQ(named("gnome-calculator", "gnome-calculator", ""), "Rechner");
    EXPECT_EQ(named("XCalc", "xcalc", "xcalc"), "XCalc");
    // No class: the instance finds the entry, else names the program.
    EXPECT_EQ(named("", "xev", "xev"), "Event Tester");
    EXPECT_EQ(named("", "thing", "thing-bin"), "thing");
    EXPECT_EQ(named("", "", "thing-bin"), "thing-bin");
}

} // namespace
} // namespace kavelo
