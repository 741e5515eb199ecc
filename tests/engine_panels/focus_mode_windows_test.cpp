#include "app/engine/clean_space.h"
#include "app/engine/no_peek.h"
#include "app/engine/panels/focus_mode_windows.h"
#include "app/ui/capture.h"
#include "app/ui/theme.h"

#include "services/desktop_fixture.h"
#include "support/ui_app.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class FocusModeWindowsTest : public ::testing::Test, public SimWorld {
protected:
    FocusModeWindowsTest()
    {
        sim.focusWindow(doc);
        clean.start();
        noPeek.start();
    }

    template <class Window>
    std::vector<Window*> windows() const
    {
        std::vector<Window*> out;
        for (FreePanel* panel : host.panels())
            if (auto* w = dynamic_cast<Window*>(panel))
                out.push_back(w);
        return out;
    }
    template <class Window>
    std::vector<Window*> visible() const
    {
        auto all = windows<Window>();
        std::erase_if(all, [](Window* w) { return !w->isVisible(); });
        return all;
    }

    // The primary screen as a user would see it: the simulated windows back
    // to front as plain cards, and this program's panels drawn where they
    // stand in the stacking.
    QImage screen()
    {
        QImage image(1440, 900, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(70, 110, 150));
        QPainter painter(&image);
        auto order = sim.stacking();
        std::reverse(order.begin(), order.end());
        for (WindowID n : order) {
            const auto w = sim.window(n);
            if (!w || !w->visible)
                continue;
            const auto panel = std::find_if(host.panels().begin(), host.panels().end(),
                                            [n](FreePanel* p) { return p->windowNumber() == n; });
            if (panel != host.panels().end()) {
                if ((*panel)->isVisible())
                    painter.drawImage((*panel)->geometry().topLeft(), Capture::render(**panel));
                continue;
            }
            const QRect r = pixelRect(w->frame);
            painter.fillRect(r, QColor(236, 236, 240));
            painter.fillRect(QRect(r.x(), r.y(), r.width(), 28), QColor(200, 200, 210));
            painter.setPen(Qt::black);
            painter.drawText(r.adjusted(10, 4, -10, 0), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(w->title));
            for (int line = 0; line < 6; ++line)
                painter.fillRect(QRect(r.x() + 16, r.y() + 48 + line * 22, r.width() * (line % 3 + 3) / 8, 8),
                                 QColor(150, 150, 160));
        }
        return image;
    }

    void save(const QImage& image, const char* name)
    {
        const std::string path = pictureFolder() + name;
        ASSERT_TRUE(Capture::savePng(image, path)) << path;
    }

    std::int32_t editor = app("com.example.editor", "Editor");
    std::int32_t viewer = app("com.example.viewer", "Viewer");
    WindowID picture = window(viewer, "Picture", Rect(760, 380, 560, 420));
    WindowID doc = window(editor, "Doc", Rect(180, 140, 620, 420));
    PanelHost host{desktop.platform};
    FocusModeWindows panels{host};
    WorkingApp working{sim.workspace()};
    CleanSpace clean{desktop, working, panels};
    NoPeek noPeek{desktop, working, panels};
};

} // namespace

TEST_F(FocusModeWindowsTest, CurtainsStandDirectlyBelowTheFocusedWindowInTheStacking)
{
    prefs.setCleanSpaceOn(true);
    scheduler.advance(CleanSpace::tick);
    ASSERT_TRUE(clean.active());
    const auto curtains = visible<CurtainWindow>();
    ASSERT_EQ(curtains.size(), 2u);
    for (const CurtainWindow* c : curtains) {
        EXPECT_EQ(c->level(), PanelLevel::curtain);
        EXPECT_FALSE(c->clickThrough());
        EXPECT_EQ(c->below(), doc);
        ASSERT_TRUE(c->windowNumber());
    }
    const auto stack = sim.stacking();
    const auto at = std::find(stack.begin(), stack.end(), doc);
    ASSERT_NE(at, stack.end());
    ASSERT_GE(stack.end() - at, 3);
    const std::set<WindowID> below{*(at + 1), *(at + 2)};
    EXPECT_EQ(below, (std::set<WindowID>{*curtains[0]->windowNumber(), *curtains[1]->windowNumber()}));
    EXPECT_EQ(sim.window(*curtains[0]->windowNumber())->layer, 0);

    // Mid-animation: each curtain's inner edge casts a shadow on what it
    // is about to cover, fading out within its width.
    scheduler.advance(0.12);
    const QImage closing = screen();
    save(closing, "clean_space_closing.png");
    const Rect left = curtains[0]->curtainFrame();
    EXPECT_GT(left.width(), 100);
    EXPECT_LT(left.width(), 720);
    const int edge = int(left.maxX());
    const int y = 10;   // above the window Clean Space enlarged
    const QColor backdrop(70, 110, 150);
    EXPECT_LT(QColor(closing.pixel(edge + 1, y)).lightness(), backdrop.lightness() - 15);
    EXPECT_GT(QColor(closing.pixel(edge + 1, y)).lightness(), Theme::night().lightness());
    EXPECT_EQ(QColor(closing.pixel(edge + int(CurtainWindow::shadowWidth) + 1, y)), backdrop);
    const Rect right = curtains[1]->curtainFrame();
    EXPECT_LT(QColor(closing.pixel(int(right.minX()) - 2, y)).lightness(), backdrop.lightness() - 10);

    // Closed: opaque night meeting in the middle, each window with the
    // room of its shadow past its inner edge.
    scheduler.advance(0.3);
    EXPECT_EQ(curtains[0]->curtainFrame(), Rect(0, 0, 720, 900));
    EXPECT_EQ(curtains[1]->curtainFrame(), Rect(720, 0, 720, 900));
    const int m = int(CurtainWindow::shadowWidth);
    EXPECT_EQ(curtains[0]->geometry(), QRect(0, 0, 720 + m, 900));
    EXPECT_EQ(curtains[1]->geometry(), QRect(720 - m, 0, 720 + m, 900));
    const QImage closed = screen();
    save(closed, "clean_space_closed.png");
    // The window is on top of the curtains; around it all is night.
    EXPECT_EQ(closed.pixel(5, 5), Theme::night().rgb());
    EXPECT_EQ(closed.pixel(1435, 895), Theme::night().rgb());
    EXPECT_EQ(closed.pixel(720, 450), QColor(236, 236, 240).rgb());
    const QImage curtain = Capture::render(*curtains[1]);
    EXPECT_EQ(curtain.pixel(360 + m, 450), Theme::night().rgb());

    // Ending: they open, then go from the window list.
    sim.focusWindow(picture);
    scheduler.advance(CleanSpace::tick + 0.1);
    save(screen(), "clean_space_opening.png");
    scheduler.advance(0.3);
    EXPECT_TRUE(windows<CurtainWindow>().empty());
    for (WindowID n : sim.stacking())
        EXPECT_NE(sim.window(n)->pid, sim.workspace().ownPid());
}

TEST_F(FocusModeWindowsTest, NoPeekBandsAreClickThroughShadesAroundTheHole)
{
    prefs.setNoPeekOn(true);
    scheduler.advance(NoPeek::tick);
    auto bands = visible<ShadeBandWindow>();
    ASSERT_EQ(bands.size(), 4u);
    for (const ShadeBandWindow* band : bands) {
        EXPECT_EQ(band->level(), PanelLevel::shade);
        EXPECT_TRUE(band->clickThrough());
        EXPECT_FALSE(band->blur());
    }
    const QImage shaded = screen();
    save(shaded, "no_peek.png");
    // The hole is the window itself; around it the desktop at a quarter.
    EXPECT_EQ(shaded.pixel(700, 500), QColor(236, 236, 240).rgb());
    const QColor dimmed = shaded.pixelColor(20, 870);
    EXPECT_NEAR(dimmed.red(), 70 * 0.25, 1.5);
    EXPECT_NEAR(dimmed.blue(), 150 * 0.25, 1.5);
    // The other window, outside the hole, is shaded too.
    EXPECT_NEAR(shaded.pixelColor(1000, 700).red(), 236 * 0.25, 1.5);

    const QImage band = Capture::render(*bands.front());
    EXPECT_EQ(band.pixelColor(1, 1).alpha(), qRound(0.75 * 255));
    EXPECT_EQ(band.pixelColor(1, 1).red(), 0);
}

TEST_F(FocusModeWindowsTest, BlurAddsTheGlassTintUnderTheDark)
{
    prefs.setNoPeekOn(true);
    prefs.setNoPeekDarkness(0.3);
    prefs.setNoPeekBlur(true);
    scheduler.advance(NoPeek::tick);
    auto bands = visible<ShadeBandWindow>();
    ASSERT_EQ(bands.size(), 4u);
    ASSERT_TRUE(bands.front()->blur());
    ASSERT_NE(bands.front()->glass(), nullptr);
    const QImage image = Capture::render(*bands.front());
    // Tint (alpha 0.82) under black at 0.3: heavier than the black alone.
    const QColor c = image.pixelColor(2, 2);
    EXPECT_NEAR(c.alphaF(), 1 - (1 - 0.82) * (1 - 0.3), 0.01);
    EXPECT_LT(c.red(), Theme::renderingGlass().red());
    save(screen(), "no_peek_blur.png");

    prefs.setNoPeekBlur(false);
    scheduler.advance(NoPeek::tick);
    EXPECT_EQ(bands.front()->glass(), nullptr);
    EXPECT_NEAR(Capture::render(*bands.front()).pixelColor(2, 2).alphaF(), 0.3, 0.01);
}

TEST_F(FocusModeWindowsTest, WithoutBlendingBandsAreOpaqueBlackAndHiddenAtDarknessZero)
{
    sim.setBlendsPanels(false);
    prefs.setNoPeekOn(true);
    prefs.setNoPeekDarkness(0.4);
    scheduler.advance(NoPeek::tick);
    auto bands = visible<ShadeBandWindow>();
    ASSERT_EQ(bands.size(), 4u);
    for (const ShadeBandWindow* band : bands) {
        const QImage image = Capture::render(*const_cast<ShadeBandWindow*>(band));
        EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::black));
    }
    save(screen(), "no_peek_opaque.png");

    prefs.setNoPeekDarkness(0);
    scheduler.advance(NoPeek::tick);
    EXPECT_TRUE(visible<ShadeBandWindow>().empty());
    EXPECT_EQ(windows<ShadeBandWindow>().size(), 4u) << "kept for when the darkness comes back";
    // With the tint asked for there is something to show again.
    prefs.setNoPeekBlur(true);
    scheduler.advance(NoPeek::tick);
    EXPECT_EQ(visible<ShadeBandWindow>().size(), 4u);
    prefs.setNoPeekBlur(false);
    prefs.setNoPeekDarkness(1);
    scheduler.advance(NoPeek::tick);
    EXPECT_EQ(visible<ShadeBandWindow>().size(), 4u);
}

TEST_F(FocusModeWindowsTest, BandsStandAtTheShadeLevelInTheWindowList)
{
    prefs.setNoPeekOn(true);
    scheduler.advance(NoPeek::tick);
    const auto list = sim.windowServer().windowList(WindowListOption::onScreenOnly);
    ASSERT_TRUE(list);
    int bands = 0;
    for (const WindowInfo& w : *list)
        if (w.ownerPid == sim.workspace().ownPid()) {
            EXPECT_EQ(w.layer, PanelLevel::shade);
            ++bands;
        }
    EXPECT_EQ(bands, 4);
    // In front of every ordinary window.
    EXPECT_EQ(list->front().ownerPid, sim.workspace().ownPid());

    prefs.setNoPeekOn(false);
    scheduler.advance(NoPeek::tick);
    const auto after = sim.windowServer().windowList(WindowListOption::all);
    EXPECT_TRUE(std::none_of(after->begin(), after->end(),
                             [&](const WindowInfo& w) { return w.ownerPid == sim.workspace().ownPid(); }));
}
