#include "app/settings/settings_style.h"

#include "app/ui/theme.h"

#include <QLabel>

namespace kavelo::SettingsStyle {

namespace {
QColor srgb(double r, double g, double b)
{
    return QColor::fromRgbF(float(r), float(g), float(b));
}
} // namespace

const QColor& green()
{
    static const QColor c = srgb(0.188, 0.820, 0.345);
    return c;
}

const QColor& gray()
{
    static const QColor c = srgb(0.557, 0.557, 0.576);
    return c;
}

const QColor& indigo()
{
    static const QColor c = srgb(0.369, 0.361, 0.902);
    return c;
}

const QColor& blue()
{
    static const QColor c = srgb(0.039, 0.518, 1.0);
    return c;
}

const QColor& orange()
{
    static const QColor c = srgb(1.0, 0.624, 0.039);
    return c;
}

QColor tileFill(TileColor color)
{
    switch (color) {
    case TileColor::gray: return gray();
    case TileColor::indigo: return indigo();
    case TileColor::accent: return Theme::lit();
    case TileColor::blue: return blue();
    case TileColor::green: return green();
    }
    return gray();
}

QColor symbolFill(SymbolColor color)
{
    return color == SymbolColor::black ? QColor(Qt::black) : QColor(Qt::white);
}

const QColor& windowBackground()
{
    return Theme::night();
}

QPalette darkPalette()
{
    return palette(ColorScheme::dark);
}

const QColor& windowBackground(ColorScheme scheme)
{
    static const QColor light = srgb(0.925, 0.925, 0.925);
    return scheme == ColorScheme::light ? light : windowBackground();
}

QPalette palette(ColorScheme scheme)
{
    const QColor& primary = Theme::primary(scheme);
    const QColor& secondary = Theme::secondary(scheme);
    // Stock controls (pop-up pickers, steppers, push buttons) draw their
    // faces with this; a translucent one comes out white, so it is the
    // raised colour laid over the window once.
    const QColor& base = windowBackground(scheme);
    const QColor raised = scheme == ColorScheme::light ? QColor(Qt::white) : [&] {
        const QColor top = Theme::raised();
        const auto mix = [&](float t, float b) { return float(t * top.alphaF() + b * (1 - top.alphaF())); };
        return QColor::fromRgbF(mix(top.redF(), base.redF()), mix(top.greenF(), base.greenF()),
                                mix(top.blueF(), base.blueF()));
    }();
    QPalette p;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Window, windowBackground(scheme));
        p.setColor(group, QPalette::Base, windowBackground(scheme));
        p.setColor(group, QPalette::AlternateBase, raised);
        p.setColor(group, QPalette::Button, raised);
        p.setColor(group, QPalette::WindowText, primary);
        p.setColor(group, QPalette::Text, primary);
        p.setColor(group, QPalette::ButtonText, primary);
        p.setColor(group, QPalette::BrightText, primary);
        p.setColor(group, QPalette::PlaceholderText, secondary);
        p.setColor(group, QPalette::Highlight, Theme::lit());
        p.setColor(group, QPalette::HighlightedText, Qt::black);
        p.setColor(group, QPalette::ToolTipBase, windowBackground(scheme));
        p.setColor(group, QPalette::ToolTipText, primary);
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, secondary);
    p.setColor(QPalette::Disabled, QPalette::Text, secondary);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, secondary);
    return p;
}

void setLabelColor(QLabel& label, const QColor& color)
{
    QPalette p = label.palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::WindowText, color);
    label.setPalette(p);
}

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    l->setAutoFillBackground(false);
    l->setAttribute(Qt::WA_TranslucentBackground);
    setLabelColor(*l, color);
    return l;
}

QLabel* wrappingLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    QLabel* l = label(text, font, color, parent);
    // Word wrap also marks the label's height as depending on its width.
    l->setWordWrap(true);
    return l;
}

QFont tracked(QFont font, double tracking)
{
    font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return font;
}

} // namespace kavelo::SettingsStyle
