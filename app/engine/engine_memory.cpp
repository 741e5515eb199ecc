// The strip memory file "Strips.json" and the undo history of arrangements.
//
// The file is one JSON object, layout key to a strip's saved form, written
// compact with sorted keys, atomically, and only when its bytes differ from
// the last ones written or read. A file that is no JSON object is kept
// aside before the first write; an entry that does not decode is dropped
// alone.

#include "app/engine/arrange_engine.h"

#include "app/services/ax.h"
#include "app/services/move_report.h"

namespace kavelo {

namespace {

constexpr std::string_view undoIcon = "arrow.uturn.backward";

// Titles come from other programs and need not be UTF-8: a bad byte is
// saved as U+FFFD rather than stopping every later save.
std::optional<std::string> encoded(const std::map<std::string, StripMemory>& memory)
{
    try {
        Json object = Json::object();
        for (const auto& [key, saved] : memory)
            object[key] = saved.toJson();
        return object.dump(-1, ' ', false, Json::error_handler_t::replace);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

// ---------------------------------------------------------------- memory file

void ArrangeEngine::readMemory()
{
    memory_.clear();
    savedMemory_.reset();
    savedForm_.reset();
    memoryUnreadable_ = false;

    std::error_code ec;
    const auto status = std::filesystem::status(memoryFile_, ec);
    // Nothing saved yet (a dangling link included), or a folder we may not
    // look into: nothing to keep either.
    if (!std::filesystem::exists(status))
        return;
    // A fifo would block the read; a giant file is no memory of ours (a
    // size that cannot be read counts as giant).
    std::optional<std::string> bytes;
    if (std::filesystem::is_regular_file(status) && std::filesystem::file_size(memoryFile_, ec) <= maxMemoryFileBytes)
        bytes = readFile(memoryFile_);
    // It may have grown in between.
    const auto parsed = bytes && bytes->size() <= maxMemoryFileBytes ? json::parse(*bytes) : std::nullopt;
    if (!parsed || !parsed->is_object()) {
        memoryUnreadable_ = true;
        return;
    }
    for (const auto& [key, value] : parsed->items())
        if (auto saved = StripMemory::fromJson(value))
            memory_.emplace(key, std::move(*saved));
    savedMemory_ = std::move(bytes);
    if (encoded(memory_) == savedMemory_)
        savedForm_ = memory_;
}

void ArrangeEngine::saveMemory()
{
    // Every title in one read: asked one by one after the strip's writes,
    // each was a round trip.
    std::vector<WindowID> ids;
    std::vector<ElementRef> elements;
    for (const auto& [key, strip] : strips_)
        for (const auto& column : strip.columns)
            for (WindowID id : column.ids)
                if (const auto element = elements_.find(id); element != elements_.end() && element->second) {
                    ids.push_back(id);
                    elements.push_back(element->second);
                }
    const auto facts = desktop_.platform.accessibility.facts(elements);
    std::map<WindowID, std::string> titles;
    for (std::size_t i = 0; i < ids.size() && i < facts.size(); ++i)
        titles[ids[i]] = facts[i].title.value_or("");

    for (const auto& [key, strip] : strips_) {
        std::map<WindowID, StripMemoryWindow> live;
        for (const auto& column : strip.columns)
            for (WindowID id : column.ids) {
                const auto title = titles.find(id);
                const auto bundle = bundles_.find(id);
                if (title == titles.end() || bundle == bundles_.end())
                    continue;
                StripMemoryWindow window{.id = id, .bundleID = bundle->second, .title = title->second};
                if (const auto height = originalHeights_.find(id); height != originalHeights_.end())
                    window.height = height->second;
                live.emplace(id, std::move(window));
            }
        memory_[key] = strip.memory(live);
    }
    writeMemory();
}

void ArrangeEngine::writeMemory()
{
    if (savedForm_ && *savedForm_ == memory_)
        return;
    std::optional<std::string> bytes = encoded(memory_);
    if (!bytes || bytes == savedMemory_)
        return;

    // A first run has no folder yet; nothing is marked saved until the
    // bytes are on disk, so a failed write is tried again at the next save.
    std::error_code ec;
    std::filesystem::create_directories(linkTarget(memoryFile_).parent_path(), ec);
    if (memoryUnreadable_) {
        if (moveAside(memoryFile_, ".unreadable").error)
            return;
        memoryUnreadable_ = false;
    }
    if (writeFileAtomically(memoryFile_, *bytes))
        return;
    savedMemory_ = std::move(bytes);
    savedForm_ = memory_;
}

// ---------------------------------------------------------------- undo history

ArrangeState ArrangeEngine::currentState() const
{
    ArrangeState state{.order = autoOrder_,
                       .offset = autoOffset_,
                       .layouts = desktop_.preferences.displayLayouts(),
                       .plans = desktop_.preferences.gridPlans(),
                       .strips = strips_};
    // A pan belongs to the gesture that runs now: a strip brought back
    // panning would keep the animation, and with it every pass, waiting
    // for a pan end that never comes.
    for (auto& [key, strip] : state.strips)
        strip.isPanning = false;
    return state;
}

void ArrangeEngine::noteState()
{
    if (restoring_)
        return;
    ArrangeState state = currentState();
    if (!history_.empty() && history_.back() == state)
        return;
    if (history_.size() >= historyLength)
        history_.erase(history_.begin(), history_.begin() + std::ptrdiff_t(history_.size() - historyLength + 1));
    history_.push_back(std::move(state));
}

void ArrangeEngine::undo()
{
    const Handle together = desktop_.platform.windowServer.shareReads();
    // With the mode off no arrangement stands to go back from; bringing one
    // back would lay out and park windows the user has let go of.
    if (history_.size() < 2 || effectiveMode() == ArrangeMode::off) {
        toast_.show("Nothing to undo", std::string(undoIcon));
        return;
    }
    history_.pop_back();
    const ArrangeState state = history_.back();
    lastMoves_ = {};

    restoring_ = true;
    // Each store runs the engine's own settings change before the orders
    // and strips come back.
    Preferences& prefs = desktop_.preferences;
    prefs.setDisplayLayouts(state.layouts);
    prefs.setGridPlans(state.plans);
    autoOrder_ = state.order;
    autoOffset_ = state.offset;
    strips_ = state.strips;
    autoStale_ = true;
    // In strip mode the pass applies the strips itself: applied once more,
    // every window was read and checked again, and an undo under churn took
    // a third of a second.
    arrange();
    restoring_ = false;
    // An undo whose windows all stayed put undid nothing the user sees.
    if (lastMoves_.sent > 0 && lastMoves_.moved == 0) {
        toast_.show(*MoveReport::text(lastMoves_, desktop_.platform.workspace.windowManagerName()), MoveReport::icon);
        return;
    }
    toast_.show("Arrangement undone", std::string(undoIcon));
}

void ArrangeEngine::noteMoves(const WindowActions::Moves& moves)
{
    lastMoves_ = moves;
    // A pass that sent nothing saw no window go, nor stay.
    if (moves.sent == 0)
        return;
    if (moves.allMoved()) {
        toldRefused_ = false;
        return;
    }
    if (!toldRefused_)
        toast_.show(*MoveReport::text(moves, desktop_.platform.workspace.windowManagerName()), MoveReport::icon);
    toldRefused_ = true;
}

} // namespace kavelo
