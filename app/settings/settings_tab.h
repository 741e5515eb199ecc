#pragma once

// The pages of the settings window, in sidebar order. Kept free of Qt and
// header-only, so the shell can turn a page word into a tab without the
// widgets.

#include "core/raw_value.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kavelo {

enum class SettingsTab { general, workflows, arrange, shortcuts, permissions };

inline constexpr std::array<SettingsTab, 5> allSettingsTabs{SettingsTab::general, SettingsTab::workflows,
                                                           SettingsTab::arrange, SettingsTab::shortcuts,
                                                           SettingsTab::permissions};

constexpr std::string_view rawValue(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general: return "general";
    case SettingsTab::workflows: return "workflows";
    case SettingsTab::arrange: return "arrange";
    case SettingsTab::shortcuts: return "shortcuts";
    case SettingsTab::permissions: return "permissions";
    }
    return "general";
}

// Exact and case-sensitive: "Shortcuts" names no tab.
inline std::optional<SettingsTab> SettingsTab_from(std::string_view raw)
{
    return caseNamed(allSettingsTabs, raw);
}

// The raw value with its first letter in upper case.
inline std::string title(SettingsTab tab)
{
    std::string text(rawValue(tab));
    text[0] = char(text[0] - 'a' + 'A');
    return text;
}

// The sidebar's symbol name.
constexpr std::string_view symbol(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general: return "gearshape.fill";
    case SettingsTab::workflows: return "square.stack.3d.up.fill";
    case SettingsTab::arrange: return "rectangle.split.3x1.fill";
    case SettingsTab::shortcuts: return "keyboard";
    case SettingsTab::permissions: return "lock.fill";
    }
    return "gearshape.fill";
}

// The sidebar tile's fill and the symbol's colour on it.
enum class TileColor { gray, indigo, accent, blue, green };
enum class SymbolColor { white, black };

constexpr TileColor tileColor(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general: return TileColor::gray;
    case SettingsTab::workflows: return TileColor::indigo;
    case SettingsTab::arrange: return TileColor::accent;
    case SettingsTab::shortcuts: return TileColor::blue;
    case SettingsTab::permissions: return TileColor::green;
    }
    return TileColor::gray;
}

constexpr SymbolColor symbolColor(SettingsTab tab)
{
    return tab == SettingsTab::arrange ? SymbolColor::black : SymbolColor::white;
}

} // namespace kavelo
