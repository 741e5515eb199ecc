#include "app/platform/sim/sim_keyboard.h"

#include "core/text.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

namespace kavelo::sim {

namespace {

const std::map<std::uint16_t, char32_t>& usCharacters()
{
    static const std::map<std::uint16_t, char32_t> table{
        {0, U'a'},  {1, U's'},  {2, U'd'},  {3, U'f'},  {4, U'h'},  {5, U'g'},  {6, U'z'},  {7, U'x'},
        {8, U'c'},  {9, U'v'},  {10, U'§'}, {11, U'b'}, {12, U'q'}, {13, U'w'}, {14, U'e'}, {15, U'r'},
        {16, U'y'}, {17, U't'}, {18, U'1'}, {19, U'2'}, {20, U'3'}, {21, U'4'}, {22, U'6'}, {23, U'5'},
        {24, U'='}, {25, U'9'}, {26, U'7'}, {27, U'-'}, {28, U'8'}, {29, U'0'}, {30, U']'}, {31, U'o'},
        {32, U'u'}, {33, U'['}, {34, U'i'}, {35, U'p'}, {37, U'l'}, {38, U'j'}, {39, U'\''}, {40, U'k'},
        {41, U';'}, {42, U'\\'}, {43, U','}, {44, U'/'}, {45, U'n'}, {46, U'm'}, {47, U'.'}, {50, U'`'},
        {65, U'.'}, {67, U'*'}, {69, U'+'}, {75, U'/'}, {78, U'-'}, {81, U'='}, {82, U'0'}, {83, U'1'},
        {84, U'2'}, {85, U'3'}, {86, U'4'}, {87, U'5'}, {88, U'6'}, {89, U'7'}, {91, U'8'}, {92, U'9'},
    };
    return table;
}

const std::map<std::uint16_t, char32_t>& germanOverrides()
{
    static const std::map<std::uint16_t, char32_t> table{
        {6, U'y'},  {16, U'z'}, {10, U'^'}, {50, U'<'}, {24, U'´'}, {27, U'ß'}, {30, U'+'},
        {33, U'ü'}, {39, U'ä'}, {41, U'ö'}, {42, U'#'}, {44, U'-'}, {43, U','}, {47, U'.'},
    };
    return table;
}

// Keys whose character is the same in every layout: translation gives a
// control character, the event a private-use character for function keys.
struct Special {
    char32_t translated;
    char32_t event;
};

const std::map<std::uint16_t, Special>& specials()
{
    static const std::map<std::uint16_t, Special> table = [] {
        std::map<std::uint16_t, Special> t{
            {36, {U'\r', U'\r'}},        {48, {U'\t', U'\t'}},        {49, {U' ', U' '}},
            {51, {0x08, 0x7F}},          {53, {0x1B, 0x1B}},          {71, {0x1B, 0xF739}},
            {76, {0x03, 0x03}},          {117, {0x7F, 0xF728}},       {115, {0x01, 0xF729}},
            {119, {0x04, 0xF72B}},       {116, {0x0B, 0xF72C}},       {121, {0x0C, 0xF72D}},
            {114, {0x05, 0xF746}},       {123, {0x1C, 0xF702}},       {124, {0x1D, 0xF703}},
            {125, {0x1F, 0xF701}},       {126, {0x1E, 0xF700}},
        };
        constexpr std::array<std::uint16_t, 20> functionKeys{122, 120, 99, 118, 96, 97, 98,  100, 101, 109,
                                                             103, 111, 105, 107, 113, 106, 64, 79,  80,  90};
        for (std::size_t i = 0; i < functionKeys.size(); ++i)
            t[functionKeys[i]] = {0x10, char32_t(0xF704 + i)};
        return t;
    }();
    return table;
}

std::optional<char32_t> character(std::string_view layout, std::uint16_t keyCode)
{
    if (layout == "de") {
        if (auto it = germanOverrides().find(keyCode); it != germanOverrides().end())
            return it->second;
    }
    if (auto it = usCharacters().find(keyCode); it != usCharacters().end())
        return it->second;
    return std::nullopt;
}

} // namespace

std::vector<std::string> layouts() { return {"us", "de"}; }

bool hasLayout(std::string_view layout) { return layout == "us" || layout == "de"; }

std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode)
{
    if (!hasLayout(layout))
        return std::nullopt;
    if (auto it = specials().find(keyCode); it != specials().end())
        return text::utf8(it->second.translated);
    if (auto c = character(layout, keyCode))
        return text::utf8(*c);
    return std::nullopt;
}

std::string eventCharacters(std::string_view layout, std::uint16_t keyCode)
{
    if (auto it = specials().find(keyCode); it != specials().end())
        return text::utf8(it->second.event);
    if (auto c = character(hasLayout(layout) ? layout : "us", keyCode))
        return text::utf8(*c);
    return {};
}

} // namespace kavelo::sim
