// Window cards: their texts, their parts' geometry, their place in the
// grid, the selected card's look, and what fills the picture area.

#include "overview_views_fixture.h"

#include "app/platform/sim/sim_desktop.h"
#include "app/ui/theme.h"

#include <QPainter>

#include <cmath>

namespace kavelo::testing {
namespace {

WindowEntry entry(std::string app, std::string title, WindowState state = WindowState::visible)
{
    return WindowEntry{.id = 7, .pid = 99999, .appName = std::move(app), .bundleID = "b", .title = std::move(title),
                       .frame = Rect(0, 0, 800, 500), .state = state};
}

// The colour the simulated desktop gives its pictures and icons for a seed.
QColor simColour(std::uint32_t seed)
{
    return QColor(int(std::uint8_t(seed * 37)), int(std::uint8_t(seed * 91)), int(std::uint8_t(seed * 53)));
}

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QColor at(const QImage& image, QPointF point)
{
    return image.convertToFormat(QImage::Format_ARGB32).pixelColor(point.toPoint());
}

TEST(WindowCard, TextsNameTheWindowTheApplicationAndAnyStateButVisible)
{
    WindowCard card{.window = entry("Mail", "Inbox")};
    EXPECT_EQ(card.title(), "Inbox");
    EXPECT_EQ(card.detail(), "Mail");
    card.window = entry("Mail", "");
    EXPECT_EQ(card.title(), "Mail");
    EXPECT_EQ(card.detail(), "Mail");
    card.window = entry("Mail", "Inbox", WindowState::minimized);
    EXPECT_EQ(card.detail(), "Mail, Minimized");
    card.window = entry("Mail", "Inbox", WindowState::hidden);
    EXPECT_EQ(card.detail(), "Mail, Hidden");
    card.window = entry("Mail", "Inbox", WindowState::otherSpace);
    EXPECT_EQ(card.detail(), "Mail, Other desktop");
}

TEST(WindowCard, ThePictureAreaIsOnePointSixWideAndTheCaptionSitsBelowIt)
{
    const QImage icon(16, 16, QImage::Format_ARGB32_Premultiplied);
    const QImage picture(480, 300, QImage::Format_ARGB32_Premultiplied);
    const WindowCard card{.window = entry("Mail", "Inbox"), .picture = &picture, .icon = &icon};
    const QRectF cell(100, 50, 320, WindowCard::height(320));
    const auto l = card.layout(cell);
    EXPECT_EQ(l.pictureArea, QRectF(100, 50, 320, 200));
    EXPECT_DOUBLE_EQ(l.pictureArea.width() / l.pictureArea.height(), 1.6);
    // The picture fitted inside, 7 in, its proportions kept.
    EXPECT_DOUBLE_EQ(l.content.height(), 186);
    EXPECT_DOUBLE_EQ(l.content.width(), 186 * 1.6);
    EXPECT_DOUBLE_EQ(l.content.center().x(), l.pictureArea.center().x());
    EXPECT_DOUBLE_EQ(l.content.center().y(), l.pictureArea.center().y());
    // Caption: 3 in, the 22-point icon, 9, then the two lines.
    EXPECT_EQ(l.captionIcon, QRectF(103, 50 + 200 + 11 + (WindowCard::captionHeight() - 22) / 2, 22, 22));
    EXPECT_DOUBLE_EQ(l.title.left(), 103 + 22 + 9);
    EXPECT_DOUBLE_EQ(l.title.right(), 420 - 3);
    EXPECT_DOUBLE_EQ(l.detail.top(), l.title.bottom() + 1);
    EXPECT_GE(l.title.top(), 50 + 200 + 11);

    // Without a picture the icon stands 76 × 76 in the middle; without
    // either, the window symbol, and the caption starts at the text.
    const WindowCard iconOnly{.window = card.window, .icon = &icon};
    EXPECT_EQ(iconOnly.content(), WindowCard::Content::icon);
    EXPECT_EQ(iconOnly.layout(cell).content, QRectF(260 - 38, 150 - 38, 76, 76));
    const WindowCard bare{.window = card.window};
    EXPECT_EQ(bare.content(), WindowCard::Content::symbol);
    EXPECT_TRUE(bare.layout(cell).captionIcon.isEmpty());
    EXPECT_DOUBLE_EQ(bare.layout(cell).title.left(), 103);
}

class WindowCardGridTest : public ::testing::Test, public OverviewViewWorld {};

TEST_F(WindowCardGridTest, CardsStandInColumnsTwentyEightApartAndRowsThirtyApartAtMost1500Wide)
{
    sim.setDisplayFrame(primary(), Rect(0, 0, 2560, 1440));
    for (int i = 0; i < 14; ++i)
        add("App" + std::to_string(i % 3), "Window " + std::to_string(i));
    controller.show();
    settle();
    OverviewGrid& g = grid();
    const int columns = model().columns();
    ASSERT_EQ(columns, 5);   // ceil(sqrt(14 × 2560 / 1220 / 1.6))
    const QRectF first = g.cardFrame(0);
    // Cards stand on whole pixels: each edge within half a pixel of the layout.
    for (int c = 1; c < columns; ++c) {
        EXPECT_NEAR(g.cardFrame(c).left(), g.cardFrame(c - 1).right() + 28, 1);
        EXPECT_DOUBLE_EQ(g.cardFrame(c).top(), first.top());
    }
    EXPECT_DOUBLE_EQ(g.cardFrame(columns).left(), first.left());
    EXPECT_NEAR(g.cardFrame(columns).top(), first.bottom() + 30, 1);
    // 1500 less the padding of 30 each side, centred in the grid.
    EXPECT_NEAR(g.cardFrame(columns - 1).right() - first.left(), 1440, 1);
    EXPECT_NEAR(first.left() - 0, (g.width() - 1440) / 2.0, 0.5);
    EXPECT_DOUBLE_EQ(first.top(), 30);
    EXPECT_DOUBLE_EQ(first.height(), WindowCard::height(first.width()));
}

TEST_F(WindowCardGridTest, TheSelectedCardGrowsWithAnAmberRingAndTheOthersFade)
{
    for (int i = 0; i < 4; ++i)
        add("App", "Window " + std::to_string(i));
    controller.show();
    settle();
    OverviewGrid& g = grid();
    EXPECT_DOUBLE_EQ(g.card(0).scale(), 1.025);
    EXPECT_DOUBLE_EQ(g.card(0).opacity(), 1.0);
    EXPECT_DOUBLE_EQ(g.card(1).scale(), 1.0);
    EXPECT_DOUBLE_EQ(g.card(1).opacity(), 0.8);

    // The ring lies just inside the scaled picture area's left edge.
    const auto ringAt = [&](int index) {
        const QImage image = Capture::render(g);
        const QRectF area = g.card(index).layout(g.cardRect(index)).pictureArea;
        const QPointF centre(area.center().x(), QRectF(g.cardRect(index)).center().y());
        const double left = centre.x() - (centre.x() - area.left()) * 1.025;
        return at(image, QPointF(left + 1.25, area.center().y()));
    };
    EXPECT_TRUE(near(ringAt(0), Theme::lit(), 40)) << ringAt(0).name().toStdString();
    EXPECT_FALSE(near(ringAt(1), Theme::lit(), 80));

    // Moving the selection springs both cards the same way.
    model().setSelection(1);
    scheduler.advance(0.05);
    const double growing = g.card(1).scale(), shrinking = g.card(0).scale();
    EXPECT_GT(growing, 1.0);
    EXPECT_LT(growing, 1.025);
    EXPECT_NEAR(growing - 1, 1.025 - shrinking, 1e-9);
    EXPECT_GT(g.card(0).opacity(), 0.8);
    settle();
    EXPECT_DOUBLE_EQ(g.card(1).scale(), 1.025);
    EXPECT_DOUBLE_EQ(g.card(0).opacity(), 0.8);
}

TEST_F(WindowCardGridTest, PicturesFillTheCardsInTheirCaptureColoursElseTheIcons)
{
    std::vector<WindowID> ids;
    for (int i = 0; i < 3; ++i)
        ids.push_back(add("App" + std::to_string(i), "Window " + std::to_string(i)));
    controller.loadThumbnails = Thumbnails::loadSized;
    controller.show();
    controller.thumbnailTask()->wait();
    scheduler.runPending();
    settle();
    OverviewGrid& g = grid();
    // Each card selected in turn, so that it is drawn fully opaque.
    const auto centreOf = [&](int i) {
        model().setSelection(i);
        settle();
        return at(Capture::render(g), g.card(i).layout(g.cardRect(i)).pictureArea.center());
    };
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(g.card(i).content(), WindowCard::Content::picture) << i;
        const QColor centre = centreOf(i);
        EXPECT_TRUE(near(centre, simColour(g.card(i).window.id), 3)) << i << " " << centre.name().toStdString();
    }

    // Without capture: each application's icon.
    controller.hide();
    sim.setCaptureAllowed(false);
    controller.show();
    settle();
    for (int i = 0; i < 3; ++i) {
        const WindowCard card = g.card(i);
        ASSERT_EQ(card.content(), WindowCard::Content::icon);
        const auto l = card.layout(g.cardRect(i));
        EXPECT_EQ(l.content.size(), QSizeF(76, 76));
        EXPECT_EQ(l.captionIcon.size(), QSizeF(22, 22));
        const QColor centre = centreOf(i);
        EXPECT_TRUE(near(centre, simColour(std::uint32_t(card.window.pid)), 3)) << centre.name().toStdString();
    }
}

TEST(WindowCardDeadProcess, ShowsTheWindowSymbolAndNoIcon)
{
    // A window whose process ended since the catalog read: no icon answers.
    ManualScheduler scheduler;
    SimDesktop sim;
    OverviewModel model;
    model.setWindows({WindowEntry{.id = 5, .pid = 4242, .appName = "Gone", .title = "Left behind",
                                  .frame = Rect(0, 0, 400, 300)}});
    OverviewView view(model,
                      OverviewActions{.pointer = [] { return Point(); },
                                      .icon = [&](std::int32_t pid) { return sim.workspace().icon(pid); }},
                      AnimationTime{scheduler, scheduler.clock()});
    view.resize(1200, 800);
    model.setFocusRequest(1);
    const WindowCard card = view.grid()->card(0);
    EXPECT_EQ(card.content(), WindowCard::Content::symbol);
    EXPECT_EQ(card.icon, nullptr);
    EXPECT_TRUE(card.layout(view.grid()->cardRect(0)).captionIcon.isEmpty());
    EXPECT_EQ(card.detail(), "Gone");
}

} // namespace
} // namespace kavelo::testing
