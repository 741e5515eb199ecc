#include "app/ui/symbols.h"

#include "app/ui/fonts.h"

#include <QFontMetricsF>
#include <QPainter>

#include <array>
#include <cmath>

namespace kavelo::Symbols {

namespace {

struct Entry {
    std::string_view name;       // as the program names it
    std::string_view material;   // the Material Icons glyph drawn for it
    char32_t codepoint;
};

// Every symbol the program draws, once.
constexpr std::array table{
    // Messages.
    Entry{"checkmark.circle.fill", "check_circle", 0xE86C},
    Entry{"exclamationmark.triangle.fill", "warning", 0xE002},
    Entry{"exclamationmark.circle.fill", "error", 0xE000},
    Entry{"pause.circle.fill", "pause_circle_filled", 0xE035},
    Entry{"play.circle.fill", "play_circle_filled", 0xE038},
    Entry{"hand.raised.fill", "back_hand", 0xE764},
    Entry{"hand.raised", "front_hand", 0xE769},
    Entry{"arrow.uturn.backward", "undo", 0xE166},
    Entry{"arrow.uturn.backward.circle.fill", "replay_circle_filled", 0xE9D8},
    Entry{"arrow.left.and.right", "swap_horiz", 0xE8D4},
    Entry{"lock.fill", "lock", 0xE897},
    Entry{"keyboard", "keyboard", 0xE312},
    // Navigation and controls.
    Entry{"chevron.left", "chevron_left", 0xE5CB},
    Entry{"chevron.right", "chevron_right", 0xE5CC},
    Entry{"magnifyingglass", "search", 0xE8B6},
    Entry{"plus", "add", 0xE145},
    Entry{"plus.circle", "add_circle_outline", 0xE148},
    Entry{"minus.circle", "remove_circle_outline", 0xE15D},
    Entry{"trash", "delete", 0xE872},
    Entry{"sparkles", "auto_awesome", 0xE65F},
    Entry{"eye.slash", "visibility_off", 0xE8F5},
    Entry{"command", "keyboard_command_key", 0xEAE7},
    Entry{"gearshape.fill", "settings", 0xE8B8},
    // Windows and workflows.
    Entry{"macwindow", "web_asset", 0xE069},
    Entry{"macwindow.on.rectangle", "filter_none", 0xE3E0},
    Entry{"square.stack.3d.up", "layers", 0xE53B},
    Entry{"square.stack.3d.up.fill", "layers", 0xE53B},
    // Layouts and modes.
    Entry{"square", "check_box_outline_blank", 0xE835},
    Entry{"square.grid.2x2", "grid_view", 0xE9B0},
    Entry{"square.grid.3x3.square", "grid_on", 0xE3EC},
    Entry{"rectangle.split.3x1", "view_column", 0xE8EC},
    Entry{"rectangle.split.3x1.fill", "view_week", 0xE8F3},
    Entry{"rectangle.split.1x2", "view_agenda", 0xE8E9},
    Entry{"rectangle.lefthalf.inset.filled", "space_dashboard", 0xE66B},
    Entry{"rectangle.inset.filled", "fit_screen", 0xEA10},
};

const Entry* find(std::string_view name)
{
    for (const Entry& e : table)
        if (e.name == name)
            return &e;
    return nullptr;
}

} // namespace

const std::vector<std::string_view>& names()
{
    static const std::vector<std::string_view> all = [] {
        std::vector<std::string_view> v;
        for (const Entry& e : table)
            v.push_back(e.name);
        return v;
    }();
    return all;
}

std::optional<char32_t> codepoint(std::string_view name)
{
    if (const Entry* e = find(name))
        return e->codepoint;
    return std::nullopt;
}

std::string_view materialName(std::string_view name)
{
    if (const Entry* e = find(name))
        return e->material;
    return "help_outline";
}

QString glyph(std::string_view name)
{
    const char32_t c = codepoint(name).value_or(fallback);
    return QString::fromUcs4(&c, 1);
}

double extent(double size)
{
    return Fonts::pixelSize(size * 1.2);
}

void draw(QPainter& painter, const QRectF& rect, std::string_view name, double size, const QColor& color)
{
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(Fonts::symbols(size));
    painter.setPen(color);
    painter.drawText(rect, Qt::AlignCenter, glyph(name));
    painter.restore();
}

QImage image(std::string_view name, double size, const QColor& color, double ratio)
{
    const int side = int(extent(size));
    const int pixels = int(std::ceil(side * ratio));
    QImage out(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(ratio);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    draw(painter, QRectF(0, 0, side, side), name, size, color);
    return out;
}

} // namespace kavelo::Symbols
