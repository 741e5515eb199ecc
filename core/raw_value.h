#pragma once

#include <iterator>
#include <optional>
#include <type_traits>
#include <string_view>

namespace kavelo {

// The case of an enumeration whose raw text is `raw`, for the `X_from`
// parsers: exact and case-sensitive, no value for any other text.
template <class Cases>
auto caseNamed(const Cases& cases, std::string_view raw) -> std::optional<std::decay_t<decltype(*std::begin(cases))>>
{
    for (auto c : cases)
        if (rawValue(c) == raw)
            return c;
    return std::nullopt;
}

} // namespace kavelo
