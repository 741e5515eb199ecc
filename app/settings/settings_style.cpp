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
    QPalette p;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Window, windowBackground());
        p.setColor(group, QPalette::Base, windowBackground());
        p.setColor(group, QPalette::AlternateBase, Theme::raised());
        p.setColor(group, QPalette::Button, Theme::raised());
        p.setColor(group, QPalette::WindowText, Theme::primary());
        p.setColor(group, QPalette::Text, Theme::primary());
        p.setColor(group, QPalette::ButtonText, Theme::primary());
        p.setColor(group, QPalette::BrightText, Theme::primary());
        p.setColor(group, QPalette::PlaceholderText, Theme::secondary());
        p.setColor(group, QPalette::Highlight, Theme::lit());
        p.setColor(group, QPalette::HighlightedText, Qt::black);
        p.setColor(group, QPalette::ToolTipBase, Theme::night());
        p.setColor(group, QPalette::ToolTipText, Theme::primary());
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, Theme::secondary());
    p.setColor(QPalette::Disabled, QPalette::Text, Theme::secondary());
    p.setColor(QPalette::Disabled, QPalette::ButtonText, Theme::secondary());
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
