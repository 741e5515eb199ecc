// The Arrange page over the X11 backend: a private Xvfb with openbox, three
// stock clients and two RandR monitors; the widgets themselves offscreen.

#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/settings/app_row.h"
#include "app/settings/arrange_settings.h"
#include "app/settings/grid_chooser.h"
#include "app/settings/bound_picker.h"
#include "app/settings/setting_group.h"
#include "app/settings/setting_rows.h"
#include "services/temp_home.h"
#include "support/x11_session.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

using namespace std::chrono_literals;

// The suite carries the name of the class it tests.
namespace k = kavelo;

namespace {

class TwoMonitors {
public:
    explicit TwoMonitors(k::test::X11Session& session) : session_(session)
    {
        ok_ = session.run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"}) &&
              session.run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"});
    }
    ~TwoMonitors()
    {
        session_.run({"xrandr", "--delmonitor", "Left"});
        session_.run({"xrandr", "--delmonitor", "Right"});
    }
    bool ok() const { return ok_; }

private:
    k::test::X11Session& session_;
    bool ok_ = false;
};

std::vector<QString> rowTitles(k::SettingGroup* group)
{
    std::vector<QString> out;
    for (QWidget* row : group->rows()->rows())
        out.push_back(static_cast<k::SettingRow*>(row)->titleLabel()->text());
    return out;
}

} // namespace

class ArrangeSettings : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<k::test::X11Session>();
        if (!session->start({"xclock", "xeyes", "xterm"}, &startError))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            // On the build machines the X server is part of the test.
            if (std::getenv("CI"))
                FAIL() << "no X server for the X11 settings tests: " << startError;
            GTEST_SKIP() << "no X server for the X11 settings tests: " << startError;
        }
        home = std::make_unique<k::test::TempHome>();
        std::string error;
        x11 = k::X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        x11->attach(&scheduler);
        defaults = std::make_unique<k::UserDefaults>(home->paths().userDefaults);
        preferences = std::make_unique<k::Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
    }

    void TearDown() override
    {
        page.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        home.reset();
    }

    void pump()
    {
        x11->processEvents();
        scheduler.runPending();
        QApplication::processEvents();
    }
    k::test::Waited until(const std::function<bool()>& done)
    {
        return k::test::waitFor(done, k::test::answerDeadline, [&] { pump(); });
    }

    k::ArrangeSettings* open()
    {
        auto* settings = new k::ArrangeSettings(
            *preferences, k::ArrangeSources{x11->displays(), x11->workspace(), x11->appInfo().bundleID(), {}},
            {scheduler, scheduler.clock()});
        page = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(page.get());
        layout->addWidget(settings);
        layout->addStretch(1);
        page->setFixedSize(496, 2400);
        page->show();
        pump();
        return settings;
    }

    static inline std::unique_ptr<k::test::X11Session> session;
    static inline std::string startError;

    std::unique_ptr<k::test::TempHome> home;
    k::ManualScheduler scheduler;
    std::unique_ptr<k::X11Desktop> x11;
    std::unique_ptr<k::UserDefaults> defaults;
    std::unique_ptr<k::Preferences> preferences;
    std::unique_ptr<QWidget> page;
};

TEST_F(ArrangeSettings, ListsBothMonitorsAddsAGridEditorAndTheRunningClientsByName)
{
    TwoMonitors monitors(*session);
    ASSERT_TRUE(monitors.ok());
    ASSERT_TRUE(until([&] { return x11->displays().screens().size() == 2; }));

    preferences->setArrangeMode(k::ArrangeMode::auto_);
    k::ArrangeSettings* settings = open();
    ASSERT_NE(settings->layoutGroup(), nullptr);
    EXPECT_EQ(rowTitles(settings->layoutGroup()),
              (std::vector<QString>{"Main window", "When the screen is full", "Left", "Right"}));

    auto* right = dynamic_cast<k::BoundPicker*>(settings->row("Right")->control());
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->currentText(), "Grid");
    ASSERT_TRUE(right->choose("Your grid"));
    EXPECT_EQ(preferences->displayLayouts().at("Right"), k::TidyLayout::custom);
    const auto editors = settings->gridChoosers();
    ASSERT_EQ(editors.size(), 1u);
    EXPECT_EQ(editors[0]->group()->titleLabel()->text(), "Your grid: Right");
    EXPECT_FALSE(preferences->gridPlans().count("Right"));

    // The clients by name, sorted; never this program.
    std::vector<std::string> names;
    for (k::AppRow* row : settings->appRows())
        names.push_back(row->nameLabel()->text().toStdString());
    EXPECT_EQ(names, (std::vector<std::string>{"XClock", "XEyes", "XTerm"}));
    for (k::AppRow* row : settings->appRows())
        EXPECT_NE(row->app().pid, x11->workspace().ownPid());

    // The position of a client is stored under its identifier.
    ASSERT_NE(settings->appRows()[2]->positionPicker(), nullptr);
    ASSERT_TRUE(settings->appRows()[2]->positionPicker()->choose("Main"));
    EXPECT_EQ(preferences->stripSlots(), (std::map<std::string, int>{{"XTerm", 1}}));
}
