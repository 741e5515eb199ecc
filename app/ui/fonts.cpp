#include "app/ui/fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace kavelo::Fonts {

namespace {

struct Families {
    QString text;
    QString symbols;
};

// The first file of `paths` that loads gives the family; every file that
// loads adds its face to it.
QString load(const QStringList& paths)
{
    QString family;
    for (const QString& path : paths) {
        if (!QFile::exists(path))
            continue;
        const int id = QFontDatabase::addApplicationFont(path);
        if (id < 0)
            continue;
        const QStringList names = QFontDatabase::applicationFontFamilies(id);
        if (family.isEmpty() && !names.isEmpty())
            family = names.front();
    }
    return family;
}

const Families& families()
{
    static const Families loaded = [] {
        Families f;
        const QString inter = QStringLiteral("/usr/share/fonts/opentype/inter/");
        f.text = load({inter + "Inter-Regular.otf", inter + "Inter-Light.otf", inter + "Inter-Medium.otf",
                       inter + "Inter-SemiBold.otf", inter + "Inter-Bold.otf"});
        if (f.text.isEmpty()) {
            const QString dejavu = QStringLiteral("/usr/share/fonts/truetype/dejavu/");
            f.text = load({dejavu + "DejaVuSans.ttf", dejavu + "DejaVuSans-Bold.ttf",
                           dejavu + "DejaVuSans-ExtraLight.ttf"});
        }
        f.symbols = load({QStringLiteral(
            "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf")});
        return f;
    }();
    return loaded;
}

QFont::Weight qtWeight(Weight weight)
{
    switch (weight) {
    case Weight::light:
        return QFont::Light;
    case Weight::regular:
        return QFont::Normal;
    case Weight::medium:
        return QFont::Medium;
    case Weight::semibold:
        return QFont::DemiBold;
    case Weight::bold:
        return QFont::Bold;
    }
    return QFont::Normal;
}

} // namespace

int pixelSize(double size)
{
    return std::max(1, int(std::lround(size)));
}

QFont system(double size, Weight weight)
{
    QFont font(families().text.isEmpty() ? QStringLiteral("sans-serif") : families().text);
    font.setPixelSize(pixelSize(size));
    font.setWeight(qtWeight(weight));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont windowText(double size, Weight weight)
{
    QFont font = system(size, weight);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QFont symbols(double size)
{
    QFont font(families().symbols);
    font.setPixelSize(pixelSize(size * 1.2));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QString textFamily()
{
    return families().text;
}

QString symbolFamily()
{
    return families().symbols;
}

namespace {

double digitWidth(const QFontMetricsF& metrics)
{
    double widest = 0;
    for (char d = '0'; d <= '9'; ++d)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(d)));
    return widest;
}

} // namespace

double monospacedWidth(const QString& text, const QFontMetricsF& metrics)
{
    const double digit = digitWidth(metrics);
    double width = 0;
    for (QChar c : text)
        width += c.isDigit() ? digit : metrics.horizontalAdvance(c);
    return width;
}

void drawMonospaced(QPainter& painter, const QString& text, double left, const QRectF& line,
                    const QFontMetricsF& metrics)
{
    const double digit = digitWidth(metrics);
    double x = left;
    for (QChar c : text) {
        const double advance = c.isDigit() ? digit : metrics.horizontalAdvance(c);
        painter.drawText(QRectF(x, line.top(), advance, line.height()), Qt::AlignHCenter | Qt::AlignVCenter, QString(c));
        x += advance;
    }
}

} // namespace kavelo::Fonts
