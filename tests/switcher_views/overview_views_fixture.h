#pragma once

// The overview as the program runs it, offscreen: the real controller on
// the simulated desktop with a hand-driven scheduler, its panel and view.

#include "app/switcher/overview_controller.h"
#include "app/switcher/views/overview_key_panel.h"
#include "app/ui/capture.h"
#include "services/desktop_fixture.h"
#include "support/ui_app.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <string>

namespace kavelo::testing {

struct OverviewViewWorld : SimWorld {
    OverviewViewWorld()
        : host(desktop.platform), controller(desktop, OverviewKeyPanel::factory(host, desktop.platform))
    {
        // Thumbnails off unless a test turns them on.
        controller.loadThumbnails = nullptr;
    }

    std::int32_t appNamed(const std::string& name)
    {
        for (const auto& [n, pid] : apps)
            if (n == name)
                return pid;
        const std::int32_t pid = app("com.example." + name, name);
        apps.emplace_back(name, pid);
        return pid;
    }

    WindowID add(const std::string& appName, const std::string& title, std::function<void(SimWindow&)> more = {})
    {
        const double n = double(++added);
        return window(appNamed(appName), title, Rect(40 + 10 * n, 60 + 10 * n, 500, 300), std::move(more));
    }

    std::uint32_t primary() const { return sim.displayList().front().id; }

    OverviewKeyPanel& panel() { return *static_cast<OverviewKeyPanel*>(controller.panel()); }
    OverviewView& view() { return panel().view(); }
    OverviewGrid& grid() { return *view().grid(); }
    OverviewModel& model() { return controller.model(); }

    // Lets springs and fades finish.
    void settle() { scheduler.advance(2); }

    QImage picture()
    {
        settle();
        return Capture::render(panel().panel());
    }

    void save(const QImage& image, const std::string& name)
    {
        Capture::savePng(image, pictureFolder() + name + ".png");
    }

    // A key as the toolkit delivers it to the panel's search field.
    void key(int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString& text = {}, quint32 scanCode = 0)
    {
        QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, scanCode, 0, 0, text);
        QApplication::sendEvent(view().searchField(), &event);
    }

    // A press and release of the left button on a widget.
    static void click(QWidget* widget, QPointF at)
    {
        const QPointF global = widget->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(widget, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(widget, &release);
    }

    static void hover(QWidget* widget, QPointF at)
    {
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(widget, &move);
    }

    PanelHost host;
    OverviewController controller;
    std::vector<std::pair<std::string, std::int32_t>> apps;
    int added = 0;
};

} // namespace kavelo::testing
