// Drag to swap, drops on the strip and moves of a custom grid's lines. The
// engine never follows a drag: at the mouse-up it compares where the
// windows are with where it last put them and works out what the user did.

#include "app/engine/arrange_engine.h"

#include "app/services/ax.h"
#include "app/services/window_actions.h"
#include "core/drag_swap.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

// A window that moved an edge by no more than this was not resized there.
constexpr double lineTolerance = 12;
// How far the test drag puts the dragged window inside its target's tile.
constexpr double testDragInset = 40;
constexpr double testResizeGrowth = 300;

bool isShown(const std::vector<std::string>& keys, const std::string& key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

} // namespace

std::optional<Rect> ArrangeEngine::frameNow(WindowID id) const
{
    auto element = elements_.find(id);
    if (element == elements_.end() || !element->second)
        return std::nullopt;
    const auto frame = AX::rect(*element->second);
    if (!frame || !frame->isFinite())
        return std::nullopt;
    return frame;
}

// ---------------------------------------------------------------- mouse-up

void ArrangeEngine::dropped(Point at)
{
    if (!std::isfinite(at.x) || !std::isfinite(at.y))
        return;
    const ArrangeMode mode = effectiveMode();
    if (mode == ArrangeMode::strip) {
        droppedOnStrip(at);
        return;
    }
    if (mode != ArrangeMode::auto_ || autoFrames_.empty())
        return;
    if (movedGridLine())
        return;

    // Only arranged windows that are still there: one that left the layout
    // (floated, sent to another display) keeps its last tile, and standing
    // away from it would pass for the dragged window; a closed one would
    // pass for the target. Both can linger in the order of a display left
    // without windows to arrange.
    std::set<WindowID> ordered;
    for (const auto& [key, order] : autoOrder_)
        for (WindowID id : order)
            if (!floated_.count(id))
                ordered.insert(id);
    std::map<WindowID, Rect> tiles;
    std::map<WindowID, Rect> actual;
    for (const auto& [id, tile] : autoFrames_) {
        if (!ordered.count(id))
            continue;
        if (const auto frame = frameNow(id)) {
            tiles.emplace(id, tile);
            actual.emplace(id, *frame);
        }
    }
    const auto pair = DragSwap::pair(tiles, autoPlaced_, actual, at);
    if (!pair)
        return;

    // Both windows must be in one order: a drop across displays swaps nothing.
    for (auto& [key, order] : autoOrder_) {
        const auto i = std::find(order.begin(), order.end(), pair->dragged);
        if (i == order.end())
            continue;
        const auto j = std::find(order.begin(), order.end(), pair->target);
        if (j == order.end())
            continue;
        std::iter_swap(i, j);
        applyAuto();
        return;
    }
}

void ArrangeEngine::droppedOnStrip(Point at)
{
    if (animator_.pending() || panning_)
        return;
    const auto shownNow = visibleKeys();
    for (auto& [key, strip] : strips_) {
        if (!isShown(shownNow, key))
            continue;
        std::map<WindowID, Rect> tiles;
        std::map<WindowID, Rect> actual;
        for (const auto& column : strip.columns)
            for (WindowID id : column.ids) {
                if (auto tile = stripFrames_.find(id); tile != stripFrames_.end())
                    tiles.emplace(id, tile->second);
                if (const auto frame = frameNow(id))
                    actual.emplace(id, *frame);
            }
        const auto pair = DragSwap::pair(tiles, stripSettled_, actual, at);
        if (!pair)
            continue;
        const auto target = std::find_if(strip.columns.begin(), strip.columns.end(), [&](const Strip::Column& c) {
            return std::find(c.ids.begin(), c.ids.end(), pair->target) != c.ids.end();
        });
        if (target == strip.columns.end())
            continue;
        strip.moveColumn(pair->dragged, int(target - strip.columns.begin()));
        applyStrips();
        return;
    }
}

// ---------------------------------------------------------------- grid lines

bool ArrangeEngine::movedGridLine()
{
    Preferences& prefs = desktop_.preferences;
    if (prefs.gridFollowsCount())
        return false;
    const auto shownNow = visibleKeys();
    for (const auto& [key, shown] : autoShown_) {
        if (!isShown(shownNow, key))
            continue;
        const auto display = screen(key);
        if (!display)
            continue;
        const std::string& name = display->name;
        const auto kind = prefs.displayLayouts().find(name);
        if (kind == prefs.displayLayouts().end() || kind->second != TidyLayout::custom)
            continue;
        // No fraction of a display without room.
        const auto area = WindowActions::area(desktop_, *display);
        if (!area || !area->isFinite() || !(area->width() > 0) || !(area->height() > 0))
            continue;

        GridPlan plan = prefs.plan(name);
        const auto cells = plan.cellsForCount(int(shown.size()));
        for (std::size_t i = 0; i < shown.size() && i < cells.size(); ++i) {
            const WindowID id = shown[i];
            const GridCell& cell = cells[i];
            const auto placed = autoPlaced_.find(id);
            if (placed == autoPlaced_.end() || !placed->second.isFinite())
                continue;
            const auto actual = frameNow(id);
            if (!actual)
                continue;
            const Rect& was = placed->second;
            if (std::abs(actual->width() - was.width()) <= lineTolerance &&
                std::abs(actual->height() - was.height()) <= lineTolerance)
                continue;

            // The far edge wins when both edges of an axis moved.
            if (std::abs(actual->maxX() - was.maxX()) > lineTolerance)
                plan.moveColumnLine(cell.column + cell.columnSpan - 1, (actual->maxX() - area->minX()) / area->width());
            else if (std::abs(actual->minX() - was.minX()) > lineTolerance)
                plan.moveColumnLine(cell.column - 1, (actual->minX() - area->minX()) / area->width());
            if (std::abs(actual->maxY() - was.maxY()) > lineTolerance)
                plan.moveRowLine(cell.row + cell.rowSpan - 1, (actual->maxY() - area->minY()) / area->height());
            else if (std::abs(actual->minY() - was.minY()) > lineTolerance)
                plan.moveRowLine(cell.row - 1, (actual->minY() - area->minY()) / area->height());

            // Stored even when no line could move, so that the window snaps
            // back into its cell instead of being taken for a swap.
            auto plans = prefs.gridPlans();
            plans[name] = std::move(plan);
            prefs.setGridPlans(std::move(plans));
            applyAuto();
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- self-test hooks

void ArrangeEngine::testDrag()
{
    const auto dragOnto = [this](WindowID dragged, const Rect& target) {
        auto element = elements_.find(dragged);
        if (element == elements_.end() || !element->second)
            return;
        element->second->setPosition(Point(target.minX() + testDragInset, target.minY() + testDragInset));
        dropped(target.center());
    };

    if (effectiveMode() == ArrangeMode::strip) {
        const auto shownNow = visibleKeys();
        for (const auto& [key, strip] : strips_) {
            if (!isShown(shownNow, key))
                continue;
            if (strip.columns.size() < 2)
                return;
            const auto target = stripFrames_.find(strip.columns[1].active);
            if (target == stripFrames_.end())
                return;
            dragOnto(strip.columns[0].active, target->second);
            return;
        }
        return;
    }
    for (const auto& [key, order] : autoOrder_) {
        if (order.size() < 2)
            continue;
        const auto target = autoFrames_.find(order[1]);
        if (target == autoFrames_.end())
            return;
        dragOnto(order[0], target->second);
        return;
    }
}

void ArrangeEngine::testResize()
{
    for (const auto& [key, shown] : autoShown_) {
        if (shown.empty())
            continue;
        auto element = elements_.find(shown.front());
        const auto frame = frameNow(shown.front());
        if (element == elements_.end() || !frame)
            return;
        AX::setFrame(*element->second,
                     Rect(frame->origin, Size(frame->width() + testResizeGrowth, frame->height())));
        // No tile holds the corner: only a grid-line move can answer.
        dropped(Point(0, 0));
        return;
    }
}

} // namespace kavelo
