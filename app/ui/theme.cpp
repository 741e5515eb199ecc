#include "app/ui/theme.h"

#include "app/services/preferences.h"

namespace kavelo {

std::string_view rawValue(ColorScheme scheme)
{
    switch (scheme) {
    case ColorScheme::dark: return "dark";
    case ColorScheme::light: return "light";
    }
    return "dark";
}

std::optional<ColorScheme> ColorScheme_from(std::string_view raw)
{
    for (ColorScheme scheme : {ColorScheme::dark, ColorScheme::light})
        if (rawValue(scheme) == raw)
            return scheme;
    return std::nullopt;
}

} // namespace kavelo

namespace kavelo::Theme {

namespace {
QColor srgb(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}
} // namespace

const QColor& night()
{
    static const QColor c = srgb(0.055, 0.078, 0.125);
    return c;
}

const QColor& raised()
{
    static const QColor c = srgb(1, 1, 1, 0.09);
    return c;
}

const QColor& moon()
{
    static const QColor c = srgb(0.95, 0.96, 0.98);
    return c;
}

const QColor& dusk()
{
    static const QColor c = srgb(0.68, 0.72, 0.79);
    return c;
}

const QColor& lit()
{
    // The highlight's default colour is this accent; the settings keep it without Qt.
    static const QColor c = [] {
        const Color amber = Preferences::defaultHighlightColor;
        return srgb(amber.red, amber.green, amber.blue, amber.opacity);
    }();
    return c;
}

const QColor& primary()
{
    static const QColor c = srgb(1, 1, 1);
    return c;
}

const QColor& secondary()
{
    // The dark scheme's secondary label: a cool white at 60 %.
    static const QColor c = srgb(235 / 255.0, 235 / 255.0, 245 / 255.0, 0.6);
    return c;
}

const QColor& primary(ColorScheme scheme)
{
    static const QColor black = srgb(0, 0, 0);
    return scheme == ColorScheme::light ? black : primary();
}

const QColor& secondary(ColorScheme scheme)
{
    // The light scheme's secondary label: a dark grey-blue at 60 %.
    static const QColor light = srgb(60 / 255.0, 60 / 255.0, 67 / 255.0, 0.6);
    return scheme == ColorScheme::light ? light : secondary();
}

const QColor& renderingGlass()
{
    static const QColor c = srgb(0.11, 0.125, 0.16);
    return c;
}

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

} // namespace kavelo::Theme
