#include "core/switcher_session.h"

#include "core/text.h"
#include "core/window_search.h"

namespace kavelo {

namespace {

// The quick-switch number a whole typed text stands for: an optional sign
// and ASCII digits worth 1 to 9 ("3", "+3", "03"). Anything else is search text.
std::optional<int> workflowNumber(std::string_view t)
{
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty())
        return std::nullopt;
    for (char c : t)
        if (c < '0' || c > '9')
            return std::nullopt;
    // Leading zeros do not change the value; what is left must be one digit.
    const size_t first = t.find_first_not_of('0');
    if (first == std::string_view::npos || first + 1 != t.size() || negative)
        return std::nullopt;
    return t[first] - '0';
}

int initialIndex(size_t windowCount) { return windowCount >= 2 ? 1 : 0; }

} // namespace

bool operator==(const SwitcherKey& a, const SwitcherKey& b)
{
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case SwitcherKey::Kind::tab: return a.backward == b.backward;
    case SwitcherKey::Kind::text: return text::canonicallyEqual(a.characters, b.characters);
    default: return true;
    }
}

bool operator==(const SwitcherOutcome& a, const SwitcherOutcome& b)
{
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case SwitcherOutcome::Kind::open: return a.window == b.window;
    case SwitcherOutcome::Kind::workflow: return a.number == b.number;
    default: return true;
    }
}

bool operator==(const SwitcherSession& a, const SwitcherSession& b)
{
    return a.index == b.index && a.windows == b.windows && text::canonicallyEqual(a.query, b.query);
}

SwitcherSession::SwitcherSession(std::vector<WindowEntry> windows)
    : windows(std::move(windows)), index(initialIndex(this->windows.size()))
{
}

std::vector<WindowEntry> SwitcherSession::results() const { return WindowSearch::rank(windows, query); }

std::optional<WindowEntry> SwitcherSession::selected() const
{
    // Ranking copies every match; the selection needs only one of them.
    if (index < 0)
        return std::nullopt;
    std::vector<WindowEntry> ranked = results();
    if (static_cast<size_t>(index) >= ranked.size())
        return std::nullopt;
    return std::move(ranked[static_cast<size_t>(index)]);
}

void SwitcherSession::step(int by, size_t count)
{
    if (count == 0)
        return;
    const long long n = static_cast<long long>(count);
    // A floored remainder, so an index set out of range by hand still lands inside.
    index = static_cast<int>(((static_cast<long long>(index) + by) % n + n) % n);
}

bool SwitcherSession::needsResults(const SwitcherKey& key)
{
    return key.kind != SwitcherKey::Kind::text && key.kind != SwitcherKey::Kind::backspace &&
           key.kind != SwitcherKey::Kind::escape;
}

SwitcherOutcome SwitcherSession::apply(const SwitcherKey& key)
{
    std::vector<std::size_t> ranked;
    if (needsResults(key))
        ranked = WindowSearch::Prepared(windows).rank(query);
    return apply(key, ranked);
}

SwitcherOutcome SwitcherSession::apply(const SwitcherKey& key, std::span<const std::size_t> ranked)
{
    using Kind = SwitcherKey::Kind;
    switch (key.kind) {
    case Kind::tab:
        step(key.backward ? -1 : 1, ranked.size());
        return SwitcherOutcome::keep();
    case Kind::right:
        step(1, ranked.size());
        return SwitcherOutcome::keep();
    case Kind::left:
        step(-1, ranked.size());
        return SwitcherOutcome::keep();
    case Kind::text:
        if (query.empty())
            if (const auto n = workflowNumber(key.characters))
                return SwitcherOutcome::workflow(*n);
        query += key.characters;
        index = 0;
        return SwitcherOutcome::keep();
    case Kind::backspace:
        if (!query.empty()) {
            query = text::droppingLastCharacter(query);
            index = query.empty() ? initialIndex(windows.size()) : 0;
        }
        return SwitcherOutcome::keep();
    case Kind::escape:
        return SwitcherOutcome::cancel();
    case Kind::enter:
    case Kind::released:
        if (index >= 0 && static_cast<size_t>(index) < ranked.size() && ranked[static_cast<size_t>(index)] < windows.size())
            return SwitcherOutcome::open(windows[ranked[static_cast<size_t>(index)]]);
        return SwitcherOutcome::cancel();
    }
    return SwitcherOutcome::keep();
}

std::ostream& operator<<(std::ostream& os, const SwitcherKey& key)
{
    using Kind = SwitcherKey::Kind;
    switch (key.kind) {
    case Kind::tab: return os << (key.backward ? "tab(backward)" : "tab");
    case Kind::text: return os << "text(\"" << key.characters << "\")";
    case Kind::left: return os << "left";
    case Kind::right: return os << "right";
    case Kind::escape: return os << "escape";
    case Kind::enter: return os << "enter";
    case Kind::backspace: return os << "backspace";
    case Kind::released: return os << "released";
    }
    return os;
}

std::ostream& operator<<(std::ostream& os, const SwitcherOutcome& outcome)
{
    using Kind = SwitcherOutcome::Kind;
    switch (outcome.kind) {
    case Kind::open: return os << "open(" << outcome.window.id << ")";
    case Kind::workflow: return os << "workflow(" << outcome.number << ")";
    case Kind::keep: return os << "keep";
    case Kind::cancel: return os << "cancel";
    }
    return os;
}

} // namespace kavelo
