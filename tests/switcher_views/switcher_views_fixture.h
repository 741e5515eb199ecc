#pragma once

// The real switcher controller and its panel on the simulated desktop,
// offscreen, fed through the event tap, with a hand-driven scheduler.

#include "app/services/mouse_button_trigger.h"
#include "app/switcher/switcher_controller.h"
#include "app/switcher/views/switcher_free_panel.h"
#include "app/ui/capture.h"
#include "app/ui/theme.h"
#include "services/desktop_fixture.h"
#include "support/ui_app.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace kavelo::testing {

class SwitcherViewsTest : public ::testing::Test, public SimWorld {
protected:
    static constexpr std::uint16_t tabKey = 48;
    static constexpr std::uint64_t option = EventFlag::option;

    SwitcherViewsTest() : host(desktop.platform), trigger(sim.eventTap(), scheduler, [] { return true; })
    {
        Theme::isRendering = true;
        makeController(SwitcherFreePanel::factory(host, sim.workspace()));
        trigger.onKey = [this](TapEventType type, const TapEvent& event) {
            return controller ? controller->handle(type, event) : false;
        };
        trigger.start();
    }
    ~SwitcherViewsTest() override
    {
        controller.reset();
        Theme::isRendering = false;
    }

    void makeController(SwitcherPanelFactory factory)
    {
        controller.reset();
        controller = std::make_unique<SwitcherController>(desktop, std::move(factory));
        controller->updateClaim();
    }

    void optionTab()
    {
        sim.changeFlags(option);
        sim.pressKey(tabKey, option);
        sim.releaseKey(tabKey, option);
        scheduler.runPending();
    }
    void optionUp()
    {
        sim.changeFlags(0);
        scheduler.runPending();
    }
    void type(std::uint16_t key)
    {
        sim.pressKey(key, option);
        scheduler.runPending();
    }
    // Option-Tab, held until the panel shows.
    SwitcherFreePanel& openPanel()
    {
        optionTab();
        scheduler.advance(SwitcherController::showDelay);
        auto* panel = dynamic_cast<SwitcherFreePanel*>(controller->panel());
        EXPECT_NE(panel, nullptr);
        return *panel;
    }
    SwitcherFreePanel* panel() { return dynamic_cast<SwitcherFreePanel*>(controller->panel()); }
    SwitcherView& view() { return panel()->view(); }

    bool pumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            scheduler.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // The view as drawn, and where a child's point lands in that picture.
    QImage picture() { return Capture::render(view()); }
    static QPoint inView(QWidget* child, QPointF point) { return child->mapToParent(point.toPoint()); }

    // The colour the simulated capture gives a window, and an application's icon.
    QColor captured(WindowID id)
    {
        const auto image = sim.capture().capture(id, 1, 1);
        return image ? QColor(image->rgba[0], image->rgba[1], image->rgba[2]) : QColor();
    }
    QColor iconColour(std::int32_t pid)
    {
        const auto image = sim.workspace().icon(pid);
        return image ? QColor(image->rgba[0], image->rgba[1], image->rgba[2]) : QColor();
    }
    // A window's picture of one colour, as a capture gives it.
    static Image solid(QColor colour)
    {
        Image image{.width = 2, .height = 2};
        for (int i = 0; i < 4; ++i)
            image.rgba.insert(image.rgba.end(), {std::uint8_t(colour.red()), std::uint8_t(colour.green()),
                                                 std::uint8_t(colour.blue()), 255});
        return image;
    }
    static bool near(QColor a, QColor b, int tolerance = 3)
    {
        return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
               std::abs(a.blue() - b.blue()) <= tolerance;
    }

    void save(const QImage& image, const std::string& name)
    {
        Capture::savePng(image, pictureFolder() + name + ".png");
    }

    PanelHost host;
    MouseButtonTrigger trigger;
    std::unique_ptr<SwitcherController> controller;
};

} // namespace kavelo::testing
