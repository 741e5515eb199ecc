#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/ui/capture.h"
#include "app/ui/free_panel.h"
#include "app/ui/glass.h"
#include "app/ui/key_cap.h"
#include "app/ui/menu_bar_icon.h"
#include "app/ui/pill_button.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"
#include "app/ui/toast_panel.h"
#include "app/ui/window_facade.h"

#include "support/ui_app.h"

#include <QApplication>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>

using namespace kavelo;

namespace {

// Widget animations on the manual scheduler for one test.
struct ManualAnimation {
    ManualScheduler scheduler;
    AnimationTime time() { return {scheduler, scheduler.clock()}; }
};

QString picture(const char* name)
{
    return QString::fromStdString(kavelo::testing::pictureFolder() + name);
}

} // namespace

TEST(Theme, ColoursAreTheNamedOnes)
{
    EXPECT_NEAR(Theme::lit().redF(), 1.0, 1e-5);
    EXPECT_NEAR(Theme::lit().greenF(), 0.71, 1e-5);
    EXPECT_NEAR(Theme::lit().blueF(), 0.278, 1e-5);
    EXPECT_NEAR(Theme::night().blueF(), 0.125, 1e-5);
    EXPECT_NEAR(Theme::raised().alphaF(), 0.09, 1e-3);
    EXPECT_NEAR(Theme::withOpacity(Theme::night(), 0.9).alphaF(), 0.9, 1e-3);
}

TEST(Glass, RendersTheFlatRenderingColourWhileRendering)
{
    GlassBackground glass(GlassMaterial::hudWindow);
    glass.resize(40, 30);
    Theme::isRendering = true;
    const QImage rendered = Capture::render(glass);
    Theme::isRendering = false;
    const QColor expected = QColor::fromRgbF(0.11f, 0.125f, 0.16f);
    for (QPoint p : {QPoint(0, 0), QPoint(39, 29), QPoint(20, 15)})
        EXPECT_EQ(rendered.pixelColor(p).rgba(), expected.rgba());

    // Live, it is a translucent tint of the same colour.
    const QImage live = Capture::render(glass);
    EXPECT_LT(live.pixelColor(5, 5).alpha(), 255);
    EXPECT_GT(live.pixelColor(5, 5).alpha(), 150);
    EXPECT_EQ(glass.blending(), GlassBlending::behindWindow);
}

TEST(KeyCap, PaddedPlateAroundItsTextAndNotBlank)
{
    KeyCap cap("Ctrl+Alt+Space");
    KeyCap longer("Ctrl+Alt+Space and more");
    EXPECT_GT(longer.sizeHint().width(), cap.sizeHint().width());
    EXPECT_EQ(longer.sizeHint().height(), cap.sizeHint().height());
    const QImage image = Capture::render(cap);
    EXPECT_EQ(image.size(), cap.sizeHint());
    EXPECT_EQ(image.devicePixelRatio(), 1.0);
    EXPECT_GT(kavelo::testing::opaquePixels(image, 8), image.width() * image.height() / 2);

    // On the dark surface it stands for, for a picture to look at.
    QImage shown(image.size() + QSize(24, 24), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Theme::night());
    QPainter(&shown).drawImage(12, 12, image);
    EXPECT_TRUE(Capture::savePng(shown, picture("keycap.png").toStdString()));
}

TEST(ToastPicture, TheCapsuleWithSymbolAndTextIsNotBlank)
{
    ManualScheduler scheduler;
    SimDesktop sim;
    PanelHost host(nullptr, scheduler, scheduler.clock());
    ToastPanel toast(sim.mouse(), sim.displays(), host);
    toast.show("Windows back where they were", "arrow.uturn.backward.circle.fill");
    const QImage image = Capture::render(*toast.panel());
    ASSERT_EQ(image.size(), toast.panel()->size());
    EXPECT_TRUE(Capture::savePng(image, picture("toast.png").toStdString()));

    // The capsule is opaque, the corners of the panel are not.
    const int m = ToastPanel::shadowMargin;
    const QRect capsule = toast.view()->geometry();
    EXPECT_GT(kavelo::testing::opaquePixels(image.copy(capsule), 200), capsule.width() * capsule.height() * 3 / 4);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    // The icon is amber, the text near white.
    const QImage inside = image.copy(capsule.adjusted(18, 11, -18, -11));
    bool amber = false, white = false;
    for (int y = 0; y < inside.height(); ++y)
        for (int x = 0; x < inside.width(); ++x) {
            const QColor c = inside.pixelColor(x, y);
            amber = amber || (c.red() > 200 && c.green() > 120 && c.green() < 200 && c.blue() < 120);
            white = white || (c.red() > 220 && c.green() > 220 && c.blue() > 220);
        }
    EXPECT_TRUE(amber);
    EXPECT_TRUE(white);
    EXPECT_GT(m, 0);
}

TEST(PillButton, ShrinksWhilePressedAndSpringsBackWithoutOvershoot)
{
    ManualAnimation animation;
    PillButton button("Turn On", animation.time(), true);
    const QSize size = button.sizeHint();
    EXPECT_GT(size.width(), 32);
    EXPECT_EQ(button.scale(), 1.0);

    button.setDown(true);
    emit button.pressed();
    animation.scheduler.advance(1.0);
    EXPECT_NEAR(button.scale(), 0.96, 1e-3);

    button.setDown(false);
    double highest = 0;
    for (int i = 0; i < 60; ++i) {
        animation.scheduler.advance(1.0 / 60);
        highest = std::max(highest, button.scale());
    }
    EXPECT_LE(highest, 1.0);
    emit button.released();
    for (int i = 0; i < 120; ++i) {
        animation.scheduler.advance(1.0 / 60);
        highest = std::max(highest, button.scale());
    }
    EXPECT_LE(highest, 1.0 + 1e-12);
    EXPECT_EQ(button.scale(), 1.0);
    EXPECT_EQ(animation.scheduler.pendingCount(), 0u);

    // Prominent: black text on the accent.
    const QImage prominent = Capture::render(button);
    EXPECT_EQ(prominent.pixelColor(size.width() / 2, 3).rgb(), Theme::lit().rgb());
    PillButton plain("Restart", animation.time(), false);
    const QImage faint = Capture::render(plain);
    EXPECT_LT(faint.pixelColor(faint.width() / 2, 3).alpha(), 40);
}

TEST(MenuBarIcon, FourSquaresTheTopRightOneFilled)
{
    QImage image(18, 18, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    EXPECT_TRUE(MenuBarIcon::draw(painter));
    painter.end();
    // Centres: filled top right, hollow elsewhere; outlines present.
    EXPECT_GT(qAlpha(image.pixel(12, 5)), 200);
    EXPECT_EQ(qAlpha(image.pixel(5, 5)), 0);
    EXPECT_EQ(qAlpha(image.pixel(5, 12)), 0);
    EXPECT_EQ(qAlpha(image.pixel(12, 12)), 0);
    EXPECT_GT(qAlpha(image.pixel(2, 5)), 100);
    EXPECT_EQ(qRed(image.pixel(12, 5)), 0);
    const QIcon icon = MenuBarIcon::icon();
    EXPECT_TRUE(icon.isMask());
    EXPECT_EQ(icon.availableSizes().front(), QSize(18, 18));
}

TEST(Shapes, ContinuousCornersStayInsideAndEaseIn)
{
    const QRectF rect(10, 20, 200, 100);
    const QPainterPath path = Shapes::continuousRoundedRect(rect, 20);
    EXPECT_TRUE(rect.adjusted(-0.001, -0.001, 0.001, 0.001).contains(path.boundingRect()));
    EXPECT_NEAR(path.boundingRect().width(), 200, 1e-9);
    // Mid edges are on the shape, the corner point is cut away further than
    // a circular corner of the same radius would cut it.
    EXPECT_TRUE(path.contains(QPointF(110, 20.5)));
    EXPECT_TRUE(path.contains(QPointF(10.5, 70)));
    // The corners ease into the edges: where a circular corner of the same
    // radius has already met the edge the continuous one still curves, and
    // it meets the edge only about 1.53 radii from the corner.
    const QRectF big(0, 0, 400, 400);
    const QPainterPath smooth = Shapes::continuousRoundedRect(big, 100);
    QPainterPath circular;
    circular.addRoundedRect(big, 100, 100);
    EXPECT_TRUE(circular.contains(QPointF(100, 0.5)));
    EXPECT_FALSE(smooth.contains(QPointF(100, 0.5)));
    EXPECT_TRUE(smooth.contains(QPointF(100, 1.0)));
    EXPECT_TRUE(smooth.contains(QPointF(160, 0.05)));
    // At the diagonal it cuts as deep as the circle, within a point.
    EXPECT_FALSE(smooth.contains(QPointF(28, 28)));
    EXPECT_TRUE(smooth.contains(QPointF(30.5, 30.5)));
    // Symmetric about both axes.
    EXPECT_EQ(path.contains(QPointF(14, 40)), path.contains(QPointF(206, 100)));
    // A radius too large for the sides falls back to round ends.
    const QPainterPath pill = Shapes::continuousRoundedRect(QRectF(0, 0, 100, 20), 30);
    EXPECT_TRUE(pill.contains(QPointF(10, 10)));
    EXPECT_FALSE(pill.contains(QPointF(1, 1)));
    EXPECT_TRUE(Shapes::continuousRoundedRect(QRectF(), 5).isEmpty());
}

TEST(Shadows, BlurredOnceAndThenServedFromTheCache)
{
    Shadows::clearCache();
    const QPainterPath shape = Shapes::continuousRoundedRect(QRectF(0, 0, 60, 40), 10);
    const QImage first = Shadows::silhouette(shape, Qt::black, 10);
    EXPECT_EQ(first.size(), QSize(60 + 2 * Shadows::margin(10), 40 + 2 * Shadows::margin(10)));
    EXPECT_EQ(Shadows::cachedCount(), 1);
    // The same shape elsewhere is the same entry.
    const QImage moved = Shadows::silhouette(shape.translated(300, 200), Qt::black, 10);
    EXPECT_EQ(Shadows::cachedCount(), 1);
    EXPECT_EQ(first, moved);
    // Soft: dense in the middle, fading across the edge, empty at the margin.
    const int m = Shadows::margin(10);
    EXPECT_GT(qAlpha(first.pixel(m + 30, m + 20)), 240);
    const int edge = qAlpha(first.pixel(m, m + 20));
    EXPECT_GT(edge, 60);
    EXPECT_LT(edge, 200);
    EXPECT_LT(qAlpha(first.pixel(0, m + 20)), 8);
    Shadows::silhouette(shape, Qt::red, 10);
    EXPECT_EQ(Shadows::cachedCount(), 2);
}

// Cut from one small silhouette, a rounded rectangle's shadow matches the
// shadow of its whole shape at any size, and all sizes share that one blur.
TEST(Shadows, ARoundedRectanglesShadowInPiecesMatchesItsWholeShadow)
{
    Shadows::clearCache();
    const QColor shade = QColor::fromRgbF(0, 0, 0, 0.3f);
    for (const QRectF rect : {QRectF(40, 30, 220, 130), QRectF(40, 30, 137.4, 301.6), QRectF(40.5, 30, 190, 120)}) {
        const auto drawn = [&](bool pieces) {
            QImage image(420, 420, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            if (pieces)
                Shadows::drawRoundedShadow(painter, rect, 11, shade, 14, QPointF(0, 8));
            else
                Shadows::drawShadow(painter, Shapes::continuousRoundedRect(rect, 11), shade, 14, QPointF(0, 8));
            return image;
        };
        // Drawn again, the size is put together once and copied whole.
        const QImage whole = drawn(false), pieces = drawn(true), assembled = drawn(true), copied = drawn(true);
        int worst = 0;
        for (const QImage& drawing : {pieces, assembled, copied})
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x)
                    worst = std::max(worst, std::abs(qRed(whole.pixel(x, y)) - qRed(drawing.pixel(x, y))));
        EXPECT_LE(worst, 2) << rect.width() << " x " << rect.height();
    }
    // The glow of a line along the edge, likewise.
    const QRectF ring(40, 30, 260.5, 180);
    const auto glowed = [&](bool pieces) {
        QImage image(420, 420, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        if (pieces)
            Shadows::drawRoundedShadow(painter, ring, 10, Qt::black, 12, {}, 2.5);
        else
            Shadows::drawGlow(painter, Shapes::continuousRoundedRect(ring, 10), 2.5, Qt::black, 12);
        return image;
    };
    const QImage whole = glowed(false), pieces = glowed(true);
    int worst = 0;
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x)
            worst = std::max(worst, std::abs(qRed(whole.pixel(x, y)) - qRed(pieces.pixel(x, y))));
    // A half-pixel width lands on a whole pixel: the blur moves by less than one.
    EXPECT_LE(worst, 4);

    Shadows::clearCache();
    QImage image(600, 600, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    for (int i = 0; i < 20; ++i)
        Shadows::drawRoundedShadow(painter, QRectF(10, 10, 150 + 17 * i, 100 + 11 * i), 11, Qt::black, 14);
    EXPECT_EQ(Shadows::cachedCount(), 1);
}

// A glow fading in changes only its alpha, frame after frame: one blur must
// serve every strength, drawn as strong as the colour says.
TEST(Shadows, AGlowOfAnyStrengthSharesOneBlur)
{
    Shadows::clearCache();
    const QPainterPath ring = Shapes::continuousRoundedRect(QRectF(20, 20, 80, 50), 12);
    const auto drawn = [&](double alpha) {
        QImage image(140, 110, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QColor amber(255, 176, 32);
        amber.setAlphaF(float(alpha));
        Shadows::drawGlow(painter, ring, 3, amber, 10);
        return image;
    };
    const QImage full = drawn(1), half = drawn(0.5), faint = drawn(0.1);
    EXPECT_EQ(Shadows::cachedCount(), 1);
    const QPoint onLine(60, 20);
    ASSERT_GT(qAlpha(full.pixel(onLine)), 40);
    EXPECT_NEAR(qAlpha(half.pixel(onLine)), qAlpha(full.pixel(onLine)) / 2.0, 3);
    EXPECT_NEAR(qAlpha(faint.pixel(onLine)), qAlpha(full.pixel(onLine)) / 10.0, 3);
    // Still amber, not darkened by the fade.
    const QColor colour = half.pixelColor(onLine);
    EXPECT_GT(colour.red(), 230);
    EXPECT_NEAR(colour.green(), 176, 20);
}

TEST(WindowFacade, IconTileWithAnAmberShadowBelow)
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::white);
    QApplication::setWindowIcon(QIcon(pixmap));
    QWidget host;
    host.resize(200, 220);
    auto* facade = new WindowFacade(&host);
    facade->move(52, 40);
    EXPECT_EQ(facade->size(), QSize(96, 96));
    const QImage image = Capture::render(host);
    QApplication::setWindowIcon(QIcon());
    EXPECT_EQ(image.pixelColor(100, 88).rgb(), QColor(Qt::white).rgb());
    // Below the tile: the glow, amber and faint.
    const QColor glow = image.pixelColor(100, 140);
    EXPECT_GT(glow.alpha(), 10);
    EXPECT_LT(glow.alpha(), 120);
    EXPECT_GT(glow.red(), glow.blue());
    // Its shadow lies lower than it reaches above.
    EXPECT_GT(image.pixelColor(100, 140).alpha(), image.pixelColor(100, 40 - 4).alpha());
}

TEST(FreePanel, KeepsAnyFrameAndMapsItsLevel)
{
    ManualScheduler scheduler;
    PanelHost host(nullptr, scheduler, scheduler.clock());
    FreePanel curtain(host, PanelLevel::curtain);
    EXPECT_FALSE(curtain.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(curtain.clickThrough());
    FreePanel shade(host, PanelLevel::shade, true);
    EXPECT_TRUE(shade.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(shade.windowFlags().testFlag(Qt::BypassWindowManagerHint));
    EXPECT_TRUE(shade.windowFlags().testFlag(Qt::WindowTransparentForInput));
    shade.setClickThrough(false);
    EXPECT_FALSE(shade.windowFlags().testFlag(Qt::WindowTransparentForInput));

    // Past every screen edge, with fractions: kept as given.
    shade.setFrame(Rect(-300.4, -40.6, 5000.2, 200.5));
    shade.orderFront();
    EXPECT_TRUE(shade.isVisible());
    EXPECT_EQ(shade.frame(), Rect(-300.4, -40.6, 5000.2, 200.5));
    EXPECT_EQ(shade.geometry(), QRect(-300, -41, 5000, 201));
    EXPECT_FALSE(QApplication::activeWindow());
    shade.orderOut();
    EXPECT_FALSE(shade.isVisible());
}

TEST(FreePanel, ShownPanelsAreListedWithTheProgramsPidAtTheirLevel)
{
    ManualScheduler scheduler;
    SimDesktop sim;
    const Platform platform = sim.platform(scheduler, scheduler.clock());
    PanelHost host(platform);
    const std::int32_t own = sim.workspace().ownPid();
    const auto listed = [&](WindowID n) -> std::optional<WindowInfo> {
        const auto list = sim.windowServer().windowList(WindowListOption::all);
        for (const WindowInfo& info : *list)
            if (info.number == n)
                return info;
        return std::nullopt;
    };

    const auto app = sim.addApp(SimApp{.bundleID = "com.example.a", .name = "A"});
    const WindowID below = sim.addWindow(SimWindow{.pid = app, .title = "w", .frame = Rect(0, 0, 400, 300)});
    const WindowID other = sim.addWindow(SimWindow{.pid = app, .title = "v", .frame = Rect(500, 0, 400, 300)});

    FreePanel curtain(host, PanelLevel::curtain);
    curtain.setObjectName("curtain");
    curtain.setFrame(Rect(10, 20, 30, 40));
    EXPECT_FALSE(curtain.windowNumber());
    curtain.setBelow(below);
    curtain.orderFront();
    ASSERT_TRUE(curtain.windowNumber());
    auto info = listed(*curtain.windowNumber());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->ownerPid, own);
    EXPECT_EQ(info->layer, PanelLevel::curtain);
    EXPECT_EQ(info->bounds, Rect(10, 20, 30, 40));
    // Directly below the window it was asked to stand below.
    const auto stack = sim.stacking();
    const auto at = std::find(stack.begin(), stack.end(), below);
    ASSERT_NE(at, stack.end());
    ASSERT_NE(at + 1, stack.end());
    EXPECT_EQ(*(at + 1), *curtain.windowNumber());
    EXPECT_NE(stack.front(), *curtain.windowNumber());
    (void)other;

    FreePanel indicator(host, PanelLevel::overlay);
    indicator.setFrame(Rect(100, 100, 50, 20));
    indicator.orderFront();
    curtain.setFrame(Rect(0, 0, 60, 60));
    EXPECT_EQ(listed(*curtain.windowNumber())->bounds, Rect(0, 0, 60, 60));
    EXPECT_EQ(listed(*indicator.windowNumber())->layer, PanelLevel::overlay);

    const WindowID gone = *indicator.windowNumber();
    indicator.orderOut();
    EXPECT_FALSE(indicator.windowNumber());
    EXPECT_FALSE(listed(gone));

    EXPECT_TRUE(host.blends());
    sim.setBlendsPanels(false);
    EXPECT_FALSE(host.blends());
}
