#include "core/tidy_layout.h"
#include "core/raw_value.h"

namespace kavelo {

std::string_view rawValue(TidyLayout layout)
{
    switch (layout) {
    case TidyLayout::grid: return "grid";
    case TidyLayout::columns: return "columns";
    case TidyLayout::rows: return "rows";
    case TidyLayout::focus: return "focus";
    case TidyLayout::custom: return "custom";
    }
    return "grid";
}

std::optional<TidyLayout> TidyLayout_from(std::string_view raw)
{
    return caseNamed(allTidyLayouts, raw);
}

std::string_view title(TidyLayout layout)
{
    switch (layout) {
    case TidyLayout::grid: return "Grid";
    case TidyLayout::columns: return "Columns";
    case TidyLayout::rows: return "Rows";
    case TidyLayout::focus: return "Focus";
    case TidyLayout::custom: return "Your grid";
    }
    return "Grid";
}

} // namespace kavelo
