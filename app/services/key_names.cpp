#include "app/services/key_names.h"

#include "core/text.h"

#include <algorithm>

namespace kavelo::KeyNames {

namespace {

// Function keys, arrows and the like type characters from here up.
constexpr char32_t firstFunctionKeyCharacter = 0xF700;

} // namespace

std::optional<InputSource> source(const Keyboard& keyboard, std::string_view identifier)
{
    const auto installed = keyboard.layouts();
    if (std::find(installed.begin(), installed.end(), identifier) == installed.end())
        return std::nullopt;
    return InputSource{std::string(identifier)};
}

std::optional<std::string> name(const Keyboard& keyboard, int code, const InputSource& source)
{
    if (code < 0 || code > 0xFFFF)
        return std::nullopt;
    const auto typed = keyboard.translate(source.identifier, static_cast<std::uint16_t>(code));
    if (!typed || typed->empty())
        return std::nullopt;
    const std::string trimmed = text::trimmingWhitespace(*typed);
    if (trimmed.empty())
        return std::nullopt;
    const char32_t first = text::firstScalar(trimmed);
    if (text::isControl(first) || first >= firstFunctionKeyCharacter)
        return std::nullopt;
    // "ß" would become "SS": keep such keys as they are.
    std::string upper = text::uppercased(trimmed);
    if (text::characterCount(upper) == text::characterCount(trimmed))
        return upper;
    return trimmed;
}

Shortcut::KeyNameResolver resolver(const Keyboard& keyboard)
{
    return [&keyboard](int keyCode) -> std::optional<std::string> {
        const auto layout = keyboard.currentLayout();
        if (!layout)
            return std::nullopt;
        const auto current = source(keyboard, *layout);
        if (!current)
            return std::nullopt;
        return name(keyboard, keyCode, *current);
    };
}

} // namespace kavelo::KeyNames
