#include "core/strip_memory.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

Json StripMemoryWindow::toJson() const
{
    Json j = {{"id", id}, {"bundleID", bundleID}, {"title", title}};
    if (weight)
        j["weight"] = *weight;
    if (height)
        j["height"] = *height;
    return j;
}

StripMemoryWindow StripMemoryWindow::read(const Json& j)
{
    StripMemoryWindow w;
    w.id = json::integer<WindowID>(json::member(j, "id"));
    w.bundleID = json::text(json::member(j, "bundleID"));
    w.title = json::text(json::member(j, "title"));
    if (const Json* weight = json::optionalMember(j, "weight"))
        w.weight = json::number(*weight);
    if (const Json* height = json::optionalMember(j, "height"))
        w.height = json::number(*height);
    return w;
}

Json StripMemory::Column::toJson() const
{
    Json list = Json::array();
    for (const Window& w : windows)
        list.push_back(w.toJson());
    Json j = {{"windows", std::move(list)}, {"width", width}, {"tabbed", tabbed}};
    if (pin)
        j["pin"] = rawValue(*pin);
    return j;
}

StripMemory::Column StripMemory::Column::read(const Json& j)
{
    Column c;
    for (const Json& w : json::array(json::member(j, "windows")))
        c.windows.push_back(Window::read(w));
    c.width = json::number(json::member(j, "width"));
    c.tabbed = json::boolean(json::member(j, "tabbed"));
    if (const Json* pin = json::optionalMember(j, "pin"))
        c.pin = json::enumeration<Strip::Pin>(*pin, Strip::Pin_from);
    return c;
}

Json StripMemory::toJson() const
{
    Json list = Json::array();
    for (const Column& c : columns)
        list.push_back(c.toJson());
    return Json{{"columns", std::move(list)}};
}

StripMemory StripMemory::read(const Json& j)
{
    StripMemory m;
    for (const Json& c : json::array(json::member(j, "columns")))
        m.columns.push_back(Column::read(c));
    return m;
}

std::optional<StripMemory> StripMemory::fromJson(const Json& j) noexcept
{
    return json::decode([&] { return read(j); });
}

StripMemory Strip::memory(const std::map<WindowID, StripMemoryWindow>& windows) const
{
    StripMemory memory;
    memory.columns.reserve(columns.size());
    for (const Column& column : columns) {
        StripMemory::Column saved{.width = column.width, .tabbed = column.tabbed, .pin = column.pin};
        for (WindowID id : column.ids) {
            const auto entry = windows.find(id);
            if (entry == windows.end())
                continue;
            StripMemoryWindow w = entry->second;
            const auto weight = column.weights.find(id);
            w.weight = weight == column.weights.end() ? std::nullopt : std::optional<double>(weight->second);
            saved.windows.push_back(std::move(w));
        }
        memory.columns.push_back(std::move(saved));
    }
    return memory;
}

namespace {

// A damaged file must not bring back a width, weight or height the strip's
// own commands could never produce.
double savedWidth(double width) { return std::isnan(width) ? 0.5 : std::clamp(width, Strip::minWidth, Strip::maxWidth); }

std::optional<double> savedWeight(std::optional<double> weight)
{
    if (!weight || std::isnan(*weight))
        return std::nullopt;
    return std::clamp(*weight, Strip::minWeight, Strip::maxWeight);
}

std::optional<double> savedHeight(std::optional<double> height)
{
    if (!height || !std::isfinite(*height) || *height <= 0)
        return std::nullopt;
    return height;
}

} // namespace

Strip::Strip(const StripMemory& memory, const std::vector<StripMemoryWindow>& live)
{
    // matches[c][w]: the index in `live` of saved window w of column c.
    std::vector<std::vector<std::optional<std::size_t>>> matches(memory.columns.size());
    for (std::size_t c = 0; c < memory.columns.size(); ++c)
        matches[c].resize(memory.columns[c].windows.size());
    std::vector<bool> taken(live.size(), false);

    using Rule = bool (*)(const StripMemoryWindow& saved, const StripMemoryWindow& now);
    const Rule rules[] = {
        [](const StripMemoryWindow& s, const StripMemoryWindow& n) { return s.id == n.id && s.bundleID == n.bundleID; },
        [](const StripMemoryWindow& s, const StripMemoryWindow& n) {
            return s.bundleID == n.bundleID && s.title == n.title;
        },
        [](const StripMemoryWindow& s, const StripMemoryWindow& n) { return s.bundleID == n.bundleID; },
    };
    for (Rule fits : rules) {
        for (std::size_t c = 0; c < memory.columns.size(); ++c) {
            const auto& saved = memory.columns[c].windows;
            for (std::size_t w = 0; w < saved.size(); ++w) {
                if (matches[c][w])
                    continue;
                for (std::size_t l = 0; l < live.size(); ++l) {
                    if (!taken[l] && fits(saved[w], live[l])) {
                        taken[l] = true;
                        matches[c][w] = l;
                        break;
                    }
                }
            }
        }
    }

    for (std::size_t c = 0; c < memory.columns.size(); ++c) {
        const StripMemory::Column& saved = memory.columns[c];
        Column column{.width = savedWidth(saved.width), .pin = saved.pin};
        for (std::size_t w = 0; w < saved.windows.size(); ++w) {
            if (!matches[c][w])
                continue;
            const WindowID id = live[*matches[c][w]].id;
            column.ids.push_back(id);
            if (const auto weight = savedWeight(saved.windows[w].weight))
                column.weights[id] = *weight;
            if (const auto height = savedHeight(saved.windows[w].height))
                originalHeights[id] = *height;
        }
        if (column.ids.empty())
            continue;
        column.tabbed = saved.tabbed && column.ids.size() >= 2;
        column.active = column.ids.front();
        columns.push_back(std::move(column));
    }
}

} // namespace kavelo
