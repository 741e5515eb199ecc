#pragma once

// The look the settings and welcome windows share: the system colours the
// pages name, text labels in fixed colours, and the dark palette the
// windows keep whatever the desktop's theme.

#include "app/settings/settings_tab.h"
#include "app/ui/fonts.h"
#include "app/ui/theme.h"

#include <QColor>
#include <QPalette>
#include <QString>

class QLabel;
class QWidget;

namespace kavelo::SettingsStyle {

// The dark scheme's system colours.
const QColor& green();
const QColor& gray();
const QColor& indigo();
const QColor& blue();
// Warnings.
const QColor& orange();

QColor tileFill(TileColor color);
QColor symbolFill(SymbolColor color);

// Behind every page: one fixed dark colour, so pictures match everywhere.
const QColor& windowBackground();

// The palette of the dark scheme, with the accent as highlight.
QPalette darkPalette();
// The same for either scheme; the light one is for pictures of views that
// also come light.
QPalette palette(ColorScheme scheme);
const QColor& windowBackground(ColorScheme scheme);

// Plain text (never rich text) in `font` and `color`, the colour set on
// the label itself so that no application palette changes it.
QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
// The same, wrapping at word boundaries and growing downwards.
QLabel* wrappingLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
void setLabelColor(QLabel& label, const QColor& color);

// A font with letter spacing `tracking` points (negative: tighter).
QFont tracked(QFont font, double tracking);

} // namespace kavelo::SettingsStyle
