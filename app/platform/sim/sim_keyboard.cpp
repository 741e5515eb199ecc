#include "app/platform/sim/sim_keyboard.h"

#include "app/platform/classic_keys.h"
#include "core/text.h"

#include <map>

namespace kavelo::sim {

namespace {

const std::map<std::uint16_t, char32_t>& germanOverrides()
{
    static const std::map<std::uint16_t, char32_t> table{
        {6, U'y'},  {16, U'z'}, {10, U'^'}, {50, U'<'}, {24, U'´'}, {27, U'ß'}, {30, U'+'},
        {33, U'ü'}, {39, U'ä'}, {41, U'ö'}, {42, U'#'}, {44, U'-'}, {43, U','}, {47, U'.'},
    };
    return table;
}

std::optional<char32_t> character(std::string_view layout, std::uint16_t keyCode)
{
    if (layout == "de") {
        if (auto it = germanOverrides().find(keyCode); it != germanOverrides().end())
            return it->second;
    }
    return ClassicKeys::usCharacter(keyCode);
}

} // namespace

std::vector<std::string> layouts() { return {"us", "de"}; }

bool hasLayout(std::string_view layout) { return layout == "us" || layout == "de"; }

std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode)
{
    if (!hasLayout(layout))
        return std::nullopt;
    if (auto f = ClassicKeys::fixed(keyCode))
        return text::utf8(f->translated);
    if (auto c = character(layout, keyCode))
        return text::utf8(*c);
    return std::nullopt;
}

std::string eventCharacters(std::string_view layout, std::uint16_t keyCode)
{
    if (auto f = ClassicKeys::fixed(keyCode))
        return text::utf8(f->event);
    if (auto c = character(hasLayout(layout) ? layout : "us", keyCode))
        return text::utf8(*c);
    return {};
}

} // namespace kavelo::sim
