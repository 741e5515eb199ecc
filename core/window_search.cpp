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

namespace {

std::vector<Word> queryWords(std::string_view query)
{
    const std::vector<std::string> pieces = text::splitOnWhitespace(text::lowercased(query));
    std::vector<Word> words;
    words.reserve(pieces.size());
    for (const auto& p : pieces)
        words.emplace_back(p);
    return words;
}

// The summed score of every word, none when one of them misses.
std::optional<int> total(const std::vector<Word>& words, const text::CharacterSequence& t)
{
    int sum = 0;
    for (const Word& w : words) {
        const auto s = score(w, t);
        if (!s)
            return std::nullopt;
        sum += *s;
    }
    return sum;
}

std::string searchText(const WindowEntry& window)
{
    std::string t = window.appName;
    t += ' ';
    t += window.title;
    return text::lowercased(t);
}

// Best score first; equal scores keep their input order.
void sortByScore(std::vector<std::pair<int, size_t>>& kept)
{
    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
}

} // namespace

std::vector<WindowEntry> rank(const std::vector<WindowEntry>& windows, std::string_view query)
{
    const std::vector<Word> words = queryWords(query);
    if (words.empty())
        return windows;

    std::vector<std::pair<int, size_t>> kept; // (score, input position)
    for (size_t i = 0; i < windows.size(); ++i)
        if (const auto s = total(words, text::CharacterSequence(searchText(windows[i]))))
            kept.emplace_back(*s, i);

    sortByScore(kept);
    std::vector<WindowEntry> out;
    out.reserve(kept.size());
    for (const auto& [s, i] : kept)
        out.push_back(windows[i]);
    return out;
}

Prepared::Prepared(const std::vector<WindowEntry>& windows)
{
    texts_.reserve(windows.size());
    for (const WindowEntry& w : windows)
        texts_.emplace_back(searchText(w));
}

std::vector<std::size_t> Prepared::rank(std::string_view query) const
{
    const std::vector<Word> words = queryWords(query);
    std::vector<std::size_t> out;
    if (words.empty()) {
        out.resize(texts_.size());
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = i;
        return out;
    }
    std::vector<std::pair<int, size_t>> kept;
    for (size_t i = 0; i < texts_.size(); ++i)
        if (const auto s = total(words, texts_[i]))
            kept.emplace_back(*s, i);
    sortByScore(kept);
    out.reserve(kept.size());
    for (const auto& [s, i] : kept)
        out.push_back(i);
    return out;
}

} // namespace kavelo::WindowSearch
