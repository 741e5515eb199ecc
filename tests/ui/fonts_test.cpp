// Text from other programs is drawn as written: the text font's contextual
// forms turn "->" into an arrow, which a window title must not show.

#include "app/ui/fonts.h"
#include "support/ui_app.h"

#include <QTextLayout>

#include <gtest/gtest.h>

namespace kavelo::testing {
namespace {

int glyphs(const QFont& font, const QString& text)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int count = 0;
    for (const QGlyphRun& run : layout.glyphRuns())
        count += int(run.glyphIndexes().size());
    return count;
}

TEST(Fonts, WindowTextKeepsEveryCharacterAsWritten)
{
    const QString title = QStringLiteral("func windows() -> [Window] <= != ===");
    for (const auto weight : {Fonts::Weight::regular, Fonts::Weight::semibold, Fonts::Weight::bold})
        EXPECT_EQ(glyphs(Fonts::windowText(13.5, weight), title), title.size());
    // Scripts that need shaping still get it: Arabic letters join.
    const QString arabic = QString::fromUtf8("\u0643\u0627\u0641\u064a\u0644\u0648");
    EXPECT_EQ(glyphs(Fonts::windowText(13.5), arabic), glyphs(Fonts::system(13.5), arabic));
}

} // namespace
} // namespace kavelo::testing
