#pragma once

#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

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

// "a, b or c": the choices a message offers, in order.
inline std::string choiceList(const std::vector<std::string>& choices)
{
    std::string out;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0)
            out += i + 1 == choices.size() ? " or " : ", ";
        out += choices[i];
    }
    return out;
}

// The raw texts of every case, as `choiceList` says them.
template <class Cases>
std::string caseChoices(const Cases& cases)
{
    std::vector<std::string> raw;
    for (auto c : cases)
        raw.emplace_back(rawValue(c));
    return choiceList(raw);
}

} // namespace kavelo
