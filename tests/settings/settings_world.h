#pragma once

// The settings windows' surroundings in one place: a simulated desktop, a
// hand-driven scheduler for animations and the permission poll, settings and
// saved workflows in a fresh home folder, and a launcher that records the
// relaunch.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/permissions.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/settings/permission_actions.h"
#include "app/ui/spring.h"
#include "core/json.h"
#include "services/fake_launcher.h"
#include "services/temp_home.h"
#include "shell/shell_fixture.h"
#include "support/ui_app.h"

#include <QApplication>
#include <QImage>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace kavelo::testing {

struct SettingsWorld {
    SettingsWorld()
        : store(home.paths().userDefaults),
          prefs(store, sim.loginItem(), [](int) { return false; }),
          watcher(sim.accessibility(), sim.capture(), scheduler),
          actions{sim.accessibility(), Permissions{sim.capture(), sim.workspace(), launcher,
                                                   OwnProcess{4242, "/opt/kavelo/kavelo"}, [this] { ++quits; }}},
          workflows(Desktop{sim.platform(scheduler, scheduler.clock()), prefs}, toast, panels,
                    Workflows::folder(home.paths()))
    {
    }
    SettingsWorld(const SettingsWorld&) = delete;
    SettingsWorld& operator=(const SettingsWorld&) = delete;

    AnimationTime time() { return {scheduler, scheduler.clock()}; }

    // Both permissions as the system answers from now on; the watcher sees
    // them at its next poll.
    void permissions(bool trusted, bool capture)
    {
        sim.setTrusted(trusted);
        sim.setCaptureAllowed(capture);
        scheduler.advance(PermissionWatcher::interval);
    }

    // The defaults file's bytes, none while it does not exist.
    std::optional<std::string> defaultsFile() const
    {
        std::ifstream in(store.file(), std::ios::binary);
        if (!in)
            return std::nullopt;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    test::TempHome home;
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store;
    Preferences prefs;
    PermissionWatcher watcher;
    test::FakeLauncher launcher;
    int quits = 0;
    PermissionActions actions;
    RecordingToast toast;
    ScriptedPanels panels;
    Workflows workflows;
};

inline std::string picturePath(const std::string& name)
{
    return pictureFolder() + name;
}

// A wheel turn over `target` at `at`, as the mouse would send it.
inline void wheel(QWidget* target, QPoint at, int steps)
{
    const QPointF global = target->mapToGlobal(QPointF(at));
    QWheelEvent event(QPointF(at), global, QPoint(), QPoint(0, -120 * steps), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

// Pixels of `area` within `tolerance` of `color` in every channel.
inline int pixelsNear(const QImage& image, QRect area, QColor color, int tolerance = 12)
{
    int count = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::abs(c.red() - color.red()) <= tolerance && std::abs(c.green() - color.green()) <= tolerance &&
                     std::abs(c.blue() - color.blue()) <= tolerance;
        }
    return count;
}

// Lets layouts settle: a nested layout's change takes a round of posted
// events per level it climbs.
inline void settleLayouts()
{
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
}

// Shows a widget offscreen and lets its layouts settle.
inline void showSettled(QWidget& widget)
{
    widget.show();
    settleLayouts();
}

// A widget at the top of a column `width` wide, as a page would hold it.
class Column : public QWidget {
public:
    Column(QWidget* child, int width, int height = 900)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(child);
        layout->addStretch(1);
        setFixedSize(width, height);
        showSettled(*this);
    }
};

} // namespace kavelo::testing
