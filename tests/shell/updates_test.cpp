// The updater: a controller only with a framework and both information
// keys; without one nothing offers an update and a check does nothing.

#include "app/shell/updates.h"
#include "shell/delegate_world.h"

#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class UpdatesTest : public DelegateTest {};

TEST_F(UpdatesTest, AFeedWithoutItsKeyMakesNoController)
{
    sim.setInfoValue(Updates::feedKey, "https://example.org/appcast.xml");
    Updates updates(sim.appInfo(), &updater);
    EXPECT_FALSE(updates.canUpdate());
    updates.checkForUpdates();
    EXPECT_EQ(updater.record().controllers, 0);
    EXPECT_EQ(updater.record().checks, 0);
}

TEST_F(UpdatesTest, BothKeysAndAFrameworkMakeAStartedController)
{
    sim.setInfoValue(Updates::feedKey, "https://example.org/appcast.xml");
    sim.setInfoValue(Updates::signingKey, "key");
    Updates updates(sim.appInfo(), &updater);
    EXPECT_TRUE(updates.canUpdate());
    EXPECT_EQ(updater.record().started, 1);
    updates.checkForUpdates();
    EXPECT_EQ(updater.record().checks, 1);
}

TEST_F(UpdatesTest, NoFrameworkNoControllerWhateverTheKeys)
{
    sim.setInfoValue(Updates::feedKey, "https://example.org/appcast.xml");
    sim.setInfoValue(Updates::signingKey, "key");
    Updates updates(sim.appInfo(), nullptr);
    EXPECT_FALSE(updates.canUpdate());
    updates.checkForUpdates();
}

TEST_F(UpdatesTest, ThePanelOffersUpdatesOnlyWithAController)
{
    launch();
    views.item->clicked();
    EXPECT_FALSE(views.popover->panel->canUpdate);
    views.popover->panel->update();
    EXPECT_EQ(updater.record().checks, 0);
}

TEST_F(UpdatesTest, ThePanelsUpdateButtonChecksOnce)
{
    sim.setInfoValue(Updates::feedKey, "https://example.org/appcast.xml");
    sim.setInfoValue(Updates::signingKey, "key");
    updaterOn = true;
    auto& d = launch();
    EXPECT_EQ(updater.record().controllers, 1) << "made once at launch";
    views.item->clicked();
    ASSERT_TRUE(views.popover->panel->canUpdate);
    views.popover->panel->update();
    EXPECT_FALSE(d.popover().isOpen());
    EXPECT_EQ(updater.record().checks, 1);
    d.checkForUpdates();
    EXPECT_EQ(updater.record().checks, 2);
    EXPECT_EQ(updater.record().controllers, 1);
}

} // namespace
