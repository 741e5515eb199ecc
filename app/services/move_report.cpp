#include "app/services/move_report.h"

namespace kavelo::MoveReport {

std::optional<std::string> text(const WindowActions::Moves& moves, const std::optional<std::string>& manager)
{
    if (moves.allMoved())
        return std::nullopt;
    if (moves.moved == 0)
        return (manager && !manager->empty() ? *manager : std::string("The window manager")) + " kept " +
               (moves.sent == 1 ? "the window" : "the windows") + " in place";
    return std::to_string(moves.moved) + " of " + std::to_string(moves.sent) + " windows moved";
}

} // namespace kavelo::MoveReport
