#pragma once

// Builders the core's tests share: strips from columns of ids, and the
// grid presets by name, the ids of window entries.

#include "core/grid_plan.h"
#include "core/strip.h"
#include "core/window_entry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace kavelo::testing {

using Column = Strip::Column;
// A strip's windows, column by column.
using Ids = std::vector<std::vector<WindowID>>;

inline Column column(std::vector<WindowID> ids, double width = 0.5, std::optional<Strip::Pin> pin = std::nullopt)
{
    return Column{.ids = ids, .width = width, .active = ids.front(), .pin = pin};
}

inline Strip strip(std::vector<Column> columns, std::optional<WindowID> focused, double gap = 10)
{
    Strip s;
    s.gap = gap;
    s.columns = std::move(columns);
    s.focused = focused;
    return s;
}

inline Ids layoutOf(const Strip& s)
{
    Ids out;
    for (const auto& c : s.columns)
        out.push_back(c.ids);
    return out;
}

inline const GridPlan& preset(std::string_view name)
{
    for (const NamedGridPlan& p : GridPlan::presets())
        if (p.name == name)
            return p.plan;
    ADD_FAILURE() << "no preset " << name;
    return GridPlan::presets().front().plan;
}

inline std::vector<WindowID> ids(const std::vector<WindowEntry>& windows)
{
    std::vector<WindowID> out;
    for (const auto& w : windows)
        out.push_back(w.id);
    return out;
}

} // namespace kavelo::testing
