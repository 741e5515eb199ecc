#pragma once

#include "core/window_entry.h"

#include <optional>
#include <string_view>
#include <vector>

// Typed-query search over windows for the switcher and the overview.
namespace kavelo::WindowSearch {

// How well one lower-case query word matches one lower-case text: 300 at the
// start of the text or of a later word, 200 anywhere inside, 100 when its
// characters appear in order, no value otherwise.
std::optional<int> score(std::string_view word, std::string_view text);

// The windows matching every word of the query, best total score first;
// equal scores keep their input order. An empty query returns the input.
std::vector<WindowEntry> rank(const std::vector<WindowEntry>& windows, std::string_view query);

} // namespace kavelo::WindowSearch
