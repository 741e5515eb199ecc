#include "app/platform/classic_keys.h"

#include <array>
#include <map>

namespace kavelo::ClassicKeys {

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

const std::map<std::uint16_t, Fixed>& fixedKeys()
{
    static const std::map<std::uint16_t, Fixed> table = [] {
        std::map<std::uint16_t, Fixed> t{
            {36, {U'\r', U'\r'}},        {48, {U'\t', U'\t'}},        {49, {U' ', U' '}},
            {51, {0x08, 0x7F}},          {53, {0x1B, 0x1B}},          {71, {0x1B, 0xF739}},
            {76, {0x03, 0x03}},          {117, {0x7F, 0xF728}},       {115, {0x01, 0xF729}},
            {119, {0x04, 0xF72B}},       {116, {0x0B, 0xF72C}},       {121, {0x0C, 0xF72D}},
            {114, {0x05, 0xF746}},       {123, {0x1C, 0xF702}},       {124, {0x1D, 0xF703}},
            {125, {0x1F, 0xF701}},       {126, {0x1E, 0xF700}},
        };
        // F1 to F20 in order.
        constexpr std::array<std::uint16_t, 20> functionKeys{122, 120, 99, 118, 96, 97, 98,  100, 101, 109,
                                                             103, 111, 105, 107, 113, 106, 64, 79,  80,  90};
        for (std::size_t i = 0; i < functionKeys.size(); ++i)
            t[functionKeys[i]] = {0x10, char32_t(0xF704 + i)};
        return t;
    }();
    return table;
}

} // namespace

std::optional<Fixed> fixed(std::uint16_t keyCode)
{
    if (auto it = fixedKeys().find(keyCode); it != fixedKeys().end())
        return it->second;
    return std::nullopt;
}

std::optional<char32_t> usCharacter(std::uint16_t keyCode)
{
    if (auto it = usCharacters().find(keyCode); it != usCharacters().end())
        return it->second;
    return std::nullopt;
}

} // namespace kavelo::ClassicKeys
