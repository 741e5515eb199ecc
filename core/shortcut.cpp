#include "core/shortcut.h"

#include <string_view>
#include <utility>

namespace kavelo {

namespace {

using KeyName = std::pair<int, std::string_view>;

// US-layout names of the keys a shortcut may use.
constexpr KeyName keys[] = {
    {0, "A"},  {11, "B"}, {8, "C"},  {2, "D"},  {14, "E"}, {3, "F"},  {5, "G"},  {4, "H"},  {34, "I"},
    {38, "J"}, {40, "K"}, {37, "L"}, {46, "M"}, {45, "N"}, {31, "O"}, {35, "P"}, {12, "Q"}, {15, "R"},
    {1, "S"},  {17, "T"}, {32, "U"}, {9, "V"},  {13, "W"}, {7, "X"},  {16, "Y"}, {6, "Z"},

    {29, "0"}, {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {23, "5"}, {22, "6"}, {26, "7"}, {28, "8"},
    {25, "9"},

    {49, "Space"}, {48, "Tab"}, {36, "Return"}, {51, "Backspace"}, {50, "`"}, {24, "="}, {27, "-"},
    {33, "["},     {30, "]"},

    {123, "\u2190"}, {124, "\u2192"}, {125, "\u2193"}, {126, "\u2191"},
};

constexpr KeyName functionKeys[] = {
    {122, "F1"}, {120, "F2"}, {99, "F3"},   {118, "F4"},  {96, "F5"},   {97, "F6"},
    {98, "F7"},  {100, "F8"}, {101, "F9"},  {109, "F10"}, {103, "F11"}, {111, "F12"},
};

template <std::size_t N>
std::optional<std::string_view> lookUp(const KeyName (&table)[N], int keyCode)
{
    for (const auto& [code, name] : table)
        if (code == keyCode)
            return name;
    return std::nullopt;
}

} // namespace

std::string Shortcut::modifierLabel(int modifiers)
{
    std::string text;
    const auto add = [&text](const char* name) { text += text.empty() ? name : std::string("+") + name; };
    if (modifiers & control)
        add("Ctrl");
    if (modifiers & option)
        add("Alt");
    if (modifiers & shift)
        add("Shift");
    if (modifiers & command)
        add("Super");
    return text;
}

std::string Shortcut::keyLabel(int keyCode)
{
    if (localName) {
        if (std::optional<std::string> name = localName(keyCode))
            return *name;
    }
    if (auto name = lookUp(keys, keyCode))
        return std::string(*name);
    if (auto name = lookUp(functionKeys, keyCode))
        return std::string(*name);
    return "Key " + std::to_string(keyCode);
}

std::string Shortcut::label() const
{
    const std::string mods = modifierLabel(modifiers);
    return mods.empty() ? keyLabel(keyCode) : mods + "+" + keyLabel(keyCode);
}

bool Shortcut::isUsable() const
{
    if (lookUp(functionKeys, keyCode))
        return true;
    if (!lookUp(keys, keyCode))
        return false;
    // Shift alone would take the key away from ordinary typing.
    return (modifiers & (control | option | command)) != 0;
}

namespace json {

Json encode(const Shortcut& shortcut)
{
    Json j = Json::object();
    j["keyCode"] = shortcut.keyCode;
    j["modifiers"] = shortcut.modifiers;
    return j;
}

Shortcut shortcut(const Json& j)
{
    return Shortcut{
        .keyCode = integer<int>(member(j, "keyCode")),
        .modifiers = integer<int>(member(j, "modifiers")),
    };
}

Json encode(const std::vector<Shortcut>& shortcuts)
{
    Json j = Json::array();
    for (const Shortcut& s : shortcuts)
        j.push_back(encode(s));
    return j;
}

std::vector<Shortcut> shortcuts(const Json& j)
{
    std::vector<Shortcut> result;
    for (const Json& element : array(j))
        result.push_back(shortcut(element));
    return result;
}

} // namespace json

} // namespace kavelo
