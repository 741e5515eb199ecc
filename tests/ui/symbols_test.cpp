#include "app/ui/fonts.h"
#include "app/ui/symbols.h"

#include "support/ui_app.h"

#include <QFontMetricsF>
#include <QRawFont>

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace kavelo;

TEST(Symbols, FontsComeFromTheInstalledFiles)
{
    EXPECT_EQ(Fonts::symbolFamily(), "Material Icons");
    EXPECT_FALSE(Fonts::textFamily().isEmpty());
    EXPECT_EQ(Fonts::system(13.5).pixelSize(), 14);
    EXPECT_EQ(Fonts::system(12).pixelSize(), 12);
}

TEST(Symbols, EveryNameMapsToAGlyphTheFontHasAndDraws)
{
    const QRawFont raw = QRawFont::fromFont(Fonts::symbols(20));
    ASSERT_TRUE(raw.isValid());
    std::set<std::string_view> seen;
    for (std::string_view name : Symbols::names()) {
        SCOPED_TRACE(std::string(name));
        EXPECT_TRUE(seen.insert(name).second) << "listed twice";
        const auto point = Symbols::codepoint(name);
        ASSERT_TRUE(point.has_value());
        EXPECT_NE(*point, Symbols::fallback);
        EXPECT_TRUE(raw.supportsCharacter(char32_t(*point)));
        EXPECT_EQ(Symbols::glyph(name), QString::fromUcs4(&*point, 1));
        const QImage image = Symbols::image(name, 20, Qt::white);
        EXPECT_EQ(image.width(), 24);
        EXPECT_GT(kavelo::testing::opaquePixels(image), 20);
    }
}

TEST(Symbols, NamesLookedUpExactly)
{
    EXPECT_EQ(Symbols::codepoint("checkmark.circle.fill"), char32_t(0xE86C));
    EXPECT_EQ(Symbols::materialName("pause.circle.fill"), "pause_circle_filled");
    // Near misses are unknown, not guessed.
    EXPECT_FALSE(Symbols::codepoint("checkmark.circle"));
    EXPECT_FALSE(Symbols::codepoint("Checkmark.Circle.Fill"));
    EXPECT_FALSE(Symbols::codepoint(""));
}

TEST(Symbols, AnUnknownNameDrawsTheVisibleFallback)
{
    const char32_t fallback = Symbols::fallback;
    EXPECT_EQ(Symbols::glyph("no.such.symbol"), QString::fromUcs4(&fallback, 1));
    EXPECT_EQ(Symbols::materialName("no.such.symbol"), "help_outline");
    EXPECT_TRUE(QRawFont::fromFont(Fonts::symbols(20)).supportsCharacter(fallback));
    const QImage unknown = Symbols::image("no.such.symbol", 20, Qt::white);
    EXPECT_GT(kavelo::testing::opaquePixels(unknown), 20);
    EXPECT_NE(unknown, Symbols::image("checkmark.circle.fill", 20, Qt::white));
}
