#pragma once

#include "core/text.h"
#include "core/window_entry.h"

#include <cstddef>
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

// The search texts of one list of windows, lower-cased and split into
// characters once, so that each typed key ranks without redoing that work.
// Ranks exactly as `rank` does over the same list.
class Prepared {
public:
    Prepared() = default;
    explicit Prepared(const std::vector<WindowEntry>& windows);

    // Positions in the prepared list of what `rank` returns, in its order;
    // every position, in order, for an empty query.
    std::vector<std::size_t> rank(std::string_view query) const;

    std::size_t size() const { return texts_.size(); }

private:
    std::vector<text::CharacterSequence> texts_;
};

} // namespace kavelo::WindowSearch
