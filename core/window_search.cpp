#include "core/window_search.h"

#include "core/text.h"

#include <algorithm>
#include <utility>

namespace kavelo::WindowSearch {

namespace {

struct Word {
    explicit Word(std::string_view w) : word(w), afterBlank(" " + std::string(w)) {}
    text::CharacterSequence word;
    text::CharacterSequence afterBlank;
};

std::optional<int> score(const Word& w, const text::CharacterSequence& t)
{
    if (t.hasPrefix(w.word) || t.contains(w.afterBlank))
        return 300;
    if (t.contains(w.word))
        return 200;
    if (t.containsInOrder(w.word))
        return 100;
    return std::nullopt;
}

} // namespace

std::optional<int> score(std::string_view word, std::string_view text)
{
    return score(Word(word), text::CharacterSequence(text));
}

std::vector<WindowEntry> rank(const std::vector<WindowEntry>& windows, std::string_view query)
{
    const std::vector<std::string> pieces = text::splitOnWhitespace(text::lowercased(query));
    if (pieces.empty())
        return windows;

    std::vector<Word> words;
    words.reserve(pieces.size());
    for (const auto& p : pieces)
        words.emplace_back(p);

    std::vector<std::pair<int, size_t>> kept; // (score, input position)
    std::string searchText;
    for (size_t i = 0; i < windows.size(); ++i) {
        searchText.assign(windows[i].appName);
        searchText += ' ';
        searchText += windows[i].title;
        const text::CharacterSequence t(text::lowercased(searchText));
        int total = 0;
        bool matched = true;
        for (const Word& w : words) {
            const auto s = score(w, t);
            if (!s) {
                matched = false;
                break;
            }
            total += *s;
        }
        if (matched)
            kept.emplace_back(total, i);
    }

    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<WindowEntry> out;
    out.reserve(kept.size());
    for (const auto& [s, i] : kept)
        out.push_back(windows[i]);
    return out;
}

} // namespace kavelo::WindowSearch
