#include "core/strip.h"
#include "core/raw_value.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace kavelo {

std::string_view rawValue(Strip::Pin pin)
{
    switch (pin) {
    case Strip::Pin::left: return "left";
    case Strip::Pin::right: return "right";
    }
    return "left";
}

std::string_view rawValue(Strip::CenterMode mode)
{
    switch (mode) {
    case Strip::CenterMode::never: return "never";
    case Strip::CenterMode::overflow: return "overflow";
    case Strip::CenterMode::always: return "always";
    }
    return "never";
}

std::string_view title(Strip::CenterMode mode)
{
    switch (mode) {
    case Strip::CenterMode::never: return "Never";
    case Strip::CenterMode::overflow: return "When the strip overflows";
    case Strip::CenterMode::always: return "Always";
    }
    return "Never";
}

std::optional<Strip::Pin> Strip::Pin_from(std::string_view raw)
{
    return caseNamed(std::initializer_list<Pin>{Pin::left, Pin::right}, raw);
}

std::optional<Strip::CenterMode> Strip::CenterMode_from(std::string_view raw)
{
    return caseNamed(allCenterModes, raw);
}

namespace {

bool holds(const Strip::Column& column, WindowID id)
{
    return std::find(column.ids.begin(), column.ids.end(), id) != column.ids.end();
}

Strip::Column newColumn(WindowID id, double width)
{
    return Strip::Column{.ids = {id}, .width = width, .active = id};
}

} // namespace

std::optional<std::size_t> Strip::focusedIndex() const
{
    if (!focused)
        return std::nullopt;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (holds(columns[i], *focused))
            return i;
    return std::nullopt;
}

void Strip::setFocus(WindowID id)
{
    focused = id;
    for (Column& column : columns) {
        if (holds(column, id)) {
            if (column.tabbed)
                column.active = id;
            return;
        }
    }
}

void Strip::sync(const std::vector<WindowID>& ids, std::optional<WindowID> focusedWindow,
                 const std::map<WindowID, int>& slots)
{
    const std::unordered_set<WindowID> live(ids.begin(), ids.end());
    std::unordered_set<WindowID> held;
    held.reserve(ids.size());

    for (Column& column : columns) {
        std::erase_if(column.ids, [&](WindowID id) { return !live.contains(id); });
        if (!column.ids.empty() && !holds(column, column.active))
            column.active = column.ids.front();
        held.insert(column.ids.begin(), column.ids.end());
    }
    std::erase_if(columns, [](const Column& c) { return c.ids.empty(); });

    // Where the focused column is; each new window becomes the focused one,
    // so the next lands right after it without searching again.
    std::optional<std::size_t> focusedAt = focusedIndex();
    for (WindowID id : ids) {
        if (!held.insert(id).second)
            continue;
        std::size_t index = columns.size();
        const auto slot = slots.empty() ? slots.end() : slots.find(id);
        if (slot != slots.end())
            index = std::size_t(std::clamp<long long>((long long)slot->second - 1, 0, (long long)columns.size()));
        else if (focusedAt)
            index = *focusedAt + 1;
        columns.insert(columns.begin() + std::ptrdiff_t(index), newColumn(id, 0.5));
        focused = id;
        focusedAt = index;
    }

    const bool argumentLive = focusedWindow && live.contains(*focusedWindow);
    if (argumentLive)
        setFocus(*focusedWindow);
    if (focused && live.contains(*focused))
        return;
    focused = columns.empty() ? std::nullopt : std::optional<WindowID>(columns.front().active);
}

void Strip::select(WindowID id) { setFocus(id); }

void Strip::rename(WindowID from, WindowID to)
{
    // A window already in the strip keeps its one place; the old identity
    // stays behind as a dead window for the next sync to drop.
    const bool placed = std::any_of(columns.begin(), columns.end(), [&](const Column& c) { return holds(c, to); });
    for (Column& column : columns) {
        if (placed)
            break;
        if (!holds(column, from))
            continue;
        std::replace(column.ids.begin(), column.ids.end(), from, to);
        if (column.active == from)
            column.active = to;
        if (auto weight = column.weights.find(from); weight != column.weights.end()) {
            const double value = weight->second;
            column.weights.erase(weight);
            column.weights[to] = value;
        }
    }
    if (focused == from)
        focused = to;
}

std::optional<Strip::Column> Strip::focusedColumn() const
{
    if (auto index = focusedIndex())
        return columns[*index];
    return std::nullopt;
}

std::optional<WindowID> Strip::moveFocus(Direction direction)
{
    const auto index = focusedIndex();
    if (!index)
        return std::nullopt;
    centering = false;
    switch (direction) {
    case Direction::left:
    case Direction::right: {
        const bool left = direction == Direction::left;
        if (left ? *index == 0 : *index + 1 >= columns.size())
            return std::nullopt;
        const Column& next = columns[left ? *index - 1 : *index + 1];
        setFocus(next.tabbed ? next.active : next.ids.front());
        break;
    }
    case Direction::up:
    case Direction::down: {
        const auto& ids = columns[*index].ids;
        const auto at = std::size_t(std::find(ids.begin(), ids.end(), *focused) - ids.begin());
        const bool up = direction == Direction::up;
        if (up ? at == 0 : at + 1 >= ids.size())
            return std::nullopt;
        setFocus(ids[up ? at - 1 : at + 1]);
        break;
    }
    }
    return focused;
}

std::optional<WindowID> Strip::focusColumn(int number)
{
    if (number < 1 || std::size_t(number) > columns.size())
        return std::nullopt;
    centering = false;
    setFocus(columns[std::size_t(number) - 1].active);
    return focused;
}

std::optional<WindowID> Strip::focusEnd(bool last)
{
    if (columns.empty())
        return std::nullopt;
    centering = false;
    setFocus(last ? columns.back().active : columns.front().active);
    return focused;
}

void Strip::moveColumn(Direction direction)
{
    const auto index = focusedIndex();
    if (!index)
        return;
    if (direction == Direction::left) {
        if (*index > 0)
            std::swap(columns[*index], columns[*index - 1]);
    } else if (*index + 1 < columns.size()) {
        std::swap(columns[*index], columns[*index + 1]);
    }
}

void Strip::moveColumn(WindowID containing, int to)
{
    const auto it = std::find_if(columns.begin(), columns.end(), [&](const Column& c) { return holds(c, containing); });
    if (it == columns.end())
        return;
    Column column = std::move(*it);
    columns.erase(it);
    const auto index = std::clamp<long long>(to, 0, (long long)columns.size());
    columns.insert(columns.begin() + std::ptrdiff_t(index), std::move(column));
}

void Strip::stack(Direction into)
{
    const auto index = focusedIndex();
    if (!index)
        return;
    const bool left = into == Direction::left;
    if (left ? *index == 0 : *index + 1 >= columns.size())
        return;
    const WindowID window = *focused;
    Column& target = columns[left ? *index - 1 : *index + 1];
    target.ids.push_back(window);
    target.active = window;

    Column& old = columns[*index];
    std::erase(old.ids, window);
    if (old.ids.empty())
        columns.erase(columns.begin() + std::ptrdiff_t(*index));
    else if (old.active == window)
        old.active = old.ids.front();
}

void Strip::popOut(Direction to)
{
    const auto index = focusedIndex();
    if (!index || columns[*index].ids.size() < 2)
        return;
    const WindowID window = *focused;
    Column& old = columns[*index];
    std::erase(old.ids, window);
    if (old.active == window)
        old.active = old.ids.front();
    if (old.ids.size() == 1)
        old.tabbed = false;
    const std::size_t at = to == Direction::left ? *index : *index + 1;
    columns.insert(columns.begin() + std::ptrdiff_t(at), newColumn(window, old.width));
}

void Strip::toggleTabbed()
{
    const auto index = focusedIndex();
    if (!index || columns[*index].ids.size() < 2)
        return;
    columns[*index].tabbed = !columns[*index].tabbed;
    columns[*index].active = *focused;
}

void Strip::togglePin(Pin pin)
{
    const auto index = focusedIndex();
    if (!index)
        return;
    const std::optional<Pin> next = columns[*index].pin == pin ? std::nullopt : std::optional<Pin>(pin);
    for (Column& column : columns)
        if (column.pin == pin)
            column.pin.reset();
    columns[*index].pin = next;
}

void Strip::cycleWidth()
{
    const auto index = focusedIndex();
    if (!index)
        return;
    double& width = columns[*index].width;
    // A hair of slack so that 0.74 counts as within 0.01 of 0.75 in binary.
    std::size_t preset = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (std::abs(widths[i] - width) <= 0.01 + 1e-9) {
            preset = i;
            break;
        }
    }
    width = widths[(preset + 1) % 5];
}

void Strip::toggleFullWidth()
{
    if (const auto index = focusedIndex())
        columns[*index].width = columns[*index].width >= 1.0 ? 0.5 : 1.0;
}

void Strip::adjustWidth(double by)
{
    const auto index = focusedIndex();
    if (!index || !std::isfinite(by))
        return;
    columns[*index].width = std::clamp(columns[*index].width + by, minWidth, maxWidth);
}

void Strip::adjustHeight(double by)
{
    const auto index = focusedIndex();
    if (!index || columns[*index].ids.size() < 2 || !std::isfinite(by))
        return;
    auto& weights = columns[*index].weights;
    const auto it = weights.find(*focused);
    const double weight = it == weights.end() ? 1.0 : it->second;
    weights[*focused] = std::clamp(weight + by, minWeight, maxWeight);
}

void Strip::equalizeHeights()
{
    if (const auto index = focusedIndex())
        columns[*index].weights.clear();
}

void Strip::center() { centering = true; }

} // namespace kavelo
