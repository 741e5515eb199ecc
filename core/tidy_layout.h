#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kavelo {

// The layouts of tidy and auto arrange. `custom` is the display's own grid
// plan, laid out like `grid` where no plan is used.
enum class TidyLayout { grid, columns, rows, focus, custom };

inline constexpr std::array<TidyLayout, 5> allTidyLayouts{TidyLayout::grid, TidyLayout::columns, TidyLayout::rows,
                                                          TidyLayout::focus, TidyLayout::custom};

std::string_view rawValue(TidyLayout layout);
std::optional<TidyLayout> TidyLayout_from(std::string_view raw);
std::string_view title(TidyLayout layout);

} // namespace kavelo
