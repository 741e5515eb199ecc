#include "app/switcher/switcher_controller.h"

#include "app/services/window_actions.h"
#include "app/switcher/card_sizes.h"
#include "app/switcher/switcher_placement.h"
#include "core/screen_coordinates.h"
#include "core/shortcut.h"
#include "core/text.h"

#include <algorithm>
#include <unordered_set>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace kavelo {

namespace {

constexpr std::uint16_t returnKey = 36;
constexpr std::uint16_t enterKey = 76;
constexpr std::uint16_t deleteKey = 51;
constexpr std::uint16_t escapeKey = 53;
constexpr std::uint16_t leftKey = 123;
constexpr std::uint16_t rightKey = 124;

// The toolkit's private-use characters for function keys (arrows, F-keys,
// Home ...): no text to search for.
bool isFunctionKeyCharacter(char32_t c) { return c >= 0xF700 && c <= 0xF8FF; }

std::string inQuotes(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

const char* boolText(bool value) { return value ? "true" : "false"; }

std::vector<Rect> displayFrames(const std::vector<Screen>& screens)
{
    std::vector<Rect> out;
    if (screens.empty())
        return out;
    const double primaryHeight = screens.front().frame.height();
    out.reserve(screens.size());
    for (const Screen& s : screens)
        out.push_back(ScreenCoordinates::flip(s.frame, primaryHeight));
    return out;
}

} // namespace

SwitcherController::SwitcherController(const Desktop& desktop, SwitcherPanelFactory makePanel,
                                       ThumbnailCache* thumbnails)
    : desktop_(desktop), makePanel_(std::move(makePanel)),
      ownCache_(thumbnails ? nullptr : std::make_unique<ThumbnailCache>(desktop.platform.windowServer)),
      cache_(thumbnails ? thumbnails : ownCache_.get())
{
    // A picture the cache let go of leaves the model too.
    dropped_ = cache_->dropped.connect([this](WindowID window) { model_.removeThumbnail(window); });
}

SwitcherController::~SwitcherController()
{
    showTask_.cancel();
    watchdog_.cancel();
    raise_.cancel();
    letGoOfKeyboard();
    if (claimed_) {
        desktop_.platform.eventTap.unclaim(tabKey, EventFlag::option);
        desktop_.platform.eventTap.unclaim(tabKey, EventFlag::option | EventFlag::shift);
    }
    // Waits for captures still running; nothing of them reaches the model.
    thumbnailTask_.reset();
    retired_.clear();
    panel_.reset();
}

// ---------------------------------------------------------------- the tap

bool SwitcherController::handle(TapEventType type, const TapEvent& event)
{
    switch (type) {
    case TapEventType::keyDown: {
        if (active_) {
            // Every key of a session is kept from the other applications.
            if (auto k = key(event))
                desktop_.platform.scheduler.post(
                    liveness_.guard([this, g = generation_, k = std::move(*k)] { sendFor(g, k); }));
            return true;
        }
        if (event.keyCode != tabKey || (event.flags & startMask) != EventFlag::option || event.autorepeat)
            return false;
        // Asked last, and the claim follows the answer.
        const bool enabled = isEnabled();
        // Held by another application until now, this press was its own
        // (a window manager's switcher lets go of the combination while it
        // runs): taken back, the claim serves the next press.
        const bool heldElsewhere = refusalLogged_;
        updateClaimFor(enabled);
        if (!enabled || !claimed_ || heldElsewhere)
            return false;
        // Another client holding the keyboard (a locked screen): nothing shows over it.
        if (!desktop_.platform.eventTap.holdKeyboard(true))
            return false;
        holdsKeyboard_ = true;
        begin(true);
        return true;
    }
    case TapEventType::keyUp:
        if (event.keyCode == tabKey && swallowTabUp_) {
            swallowTabUp_ = false;
            return true;
        }
        return active_;
    case TapEventType::flagsChanged:
        if (active_ && !(event.flags & EventFlag::option))
            release();
        return false;
    default:
        return false;
    }
}

void SwitcherController::updateClaim() { updateClaimFor(isEnabled()); }

void SwitcherController::dropClaim()
{
    if (!claimed_ || active_)
        return;
    desktop_.platform.eventTap.unclaim(tabKey, EventFlag::option);
    desktop_.platform.eventTap.unclaim(tabKey, EventFlag::option | EventFlag::shift);
    claimed_ = false;
}

void SwitcherController::updateClaimFor(bool enabled)
{
    EventTap& tap = desktop_.platform.eventTap;
    constexpr std::uint64_t forward = EventFlag::option;
    constexpr std::uint64_t backward = EventFlag::option | EventFlag::shift;
    if (!enabled) {
        if (claimed_) {
            tap.unclaim(tabKey, forward);
            tap.unclaim(tabKey, backward);
        }
        claimed_ = false;
        refusalLogged_ = false;
        return;
    }
    // Asked every time: claiming what is held costs nothing, and a claim the
    // system dropped comes back.
    const bool both = tap.claim(tabKey, forward) && tap.claim(tabKey, backward);
    if (both) {
        claimed_ = true;
        refusalLogged_ = false;
        return;
    }
    tap.unclaim(tabKey, forward);
    tap.unclaim(tabKey, backward);
    claimed_ = false;
    // Two switchers on one key would fight: this one stands aside, once said.
    if (!refusalLogged_) {
        const Shortcut shortcut{tabKey, Shortcut::option};
        log("shortcut " + shortcut.label() + " for " + logName + " is held by another app");
        refusalLogged_ = true;
    }
}

// ---------------------------------------------------------------- sessions

void SwitcherController::begin(bool watchKeys)
{
    ++generation_;
    active_ = true;
    swallowTabUp_ = true;
    raise_.cancel();
    const Generation g = generation_;
    Scheduler& scheduler = desktop_.platform.scheduler;
    scheduler.post(liveness_.guard([this, g] { loadFor(g, WindowCatalog::read(desktop_)); }));
    const double delay = desktop_.platform.workspace.reducedMotion() ? reducedMotionShowDelay : showDelay;
    // Replacing the handle cancels an earlier session's delayed show.
    showTask_ = scheduler.after(delay, [this, g] {
        if (g == generation_)
            show();
    });
    if (watchKeys)
        watchdog_ = scheduler.every(watchInterval, [this] { watch(); });
    else
        watchdog_.cancel();
}

void SwitcherController::watch()
{
    const Mouse& mouse = desktop_.platform.mouse;
    const bool session = mouse.modifierFlags(ModifierSource::combinedSession) & EventFlag::option;
    const bool hardware = mouse.modifierFlags(ModifierSource::hidSystem) & EventFlag::option;
    if (tracing())
        trace(std::string("watchdog session=") + boolText(session) + " hardware=" + boolText(hardware));
    if (!session && !hardware)
        release();
}

void SwitcherController::release()
{
    if (!active_)
        return;
    active_ = false;
    watchdog_.cancel();
    letGoOfKeyboard();
    desktop_.platform.scheduler.post(
        liveness_.guard([this, g = generation_] { sendFor(g, SwitcherKey::released()); }));
}

void SwitcherController::send(const SwitcherKey& key) { sendFor(generation_, key); }

void SwitcherController::sendFor(Generation generation, const SwitcherKey& key)
{
    // A key whose session ended, or was never loaded, is dropped.
    if (generation != loaded_ || loadedEnded_)
        return;
    if (tracing()) {
        std::string line = "send " + describe(key) + " windows=[";
        const auto& windows = model_.session().windows;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (i > 0)
                line += ", ";
            line += inQuotes(windows[i].title);
        }
        line += "] index=" + std::to_string(model_.session().index);
        trace(line);
    }
    const SwitcherOutcome outcome = model_.apply(key);
    switch (outcome.kind) {
    case SwitcherOutcome::Kind::open: {
        if (tracing())
            trace("open " + outcome.window.title + " element=" + boolText(elements_.count(outcome.window.id) > 0));
        conclude(generation);
        raise(outcome.window);
        break;
    }
    case SwitcherOutcome::Kind::workflow:
        conclude(generation);
        switchWorkflow(outcome.number);
        break;
    case SwitcherOutcome::Kind::keep:
        if (key.kind != SwitcherKey::Kind::released && generation == generation_)
            show();
        break;
    case SwitcherOutcome::Kind::cancel:
        conclude(generation);
        break;
    }
}

// The end of the model's session: the running one ends in full; an earlier
// one, still finishing after a new one began, leaves the new one alone.
void SwitcherController::conclude(Generation generation)
{
    if (generation == generation_) {
        finish();
        return;
    }
    loadedEnded_ = true;
    if (panel_ && shown_ != generation_)
        panel_->orderOut();
}

void SwitcherController::finish()
{
    active_ = false;
    watchdog_.cancel();
    showTask_.cancel();
    retireThumbnails();
    letGoOfKeyboard();
    if (panel_)
        panel_->orderOut();
    ended_ = generation_;
    if (loaded_ == generation_)
        loadedEnded_ = true;
}

void SwitcherController::open(const WindowEntry& entry)
{
    finish();
    raise(entry);
}

void SwitcherController::letGoOfKeyboard()
{
    if (!holdsKeyboard_)
        return;
    desktop_.platform.eventTap.holdKeyboard(false);
    holdsKeyboard_ = false;
}

// ---------------------------------------------------------------- loading

void SwitcherController::load() { loadFor(generation_, WindowCatalog::read(desktop_)); }

void SwitcherController::load(Snapshot snapshot) { loadFor(generation_, std::move(snapshot)); }

void SwitcherController::loadFor(Generation generation, Snapshot snapshot)
{
    elements_ = std::move(snapshot.elements);
    if (recentWindows)
        snapshot.windows = recentWindows->ordered(std::move(snapshot.windows));
    model_.reset(std::move(snapshot.windows), displayFrames(desktop_.platform.displays.screens()));
    loaded_ = generation;
    loadedEnded_ = generation <= ended_;
    retireThumbnails();
    std::erase_if(retired_, [](const auto& task) { return task->isFinished(); });

    // An earlier session loads only for the release still queued behind it.
    if (generation != generation_ || loadedEnded_)
        return;
    startThumbnails(generation);
    // The search texts are ready before the first letter, after the panel.
    desktop_.platform.scheduler.post(liveness_.guard([this, generation] {
        if (generation == loaded_)
            model_.prepareSearch();
    }));
}

void SwitcherController::startThumbnails(Generation generation)
{
    // Pictures taken while capture was allowed are not shown after.
    if (!desktop_.platform.capture.isAllowed()) {
        cache_->clear();
        return;
    }
    const auto& windows = model_.session().windows;
    // What the catalog no longer lists has closed: its picture goes.
    std::unordered_set<WindowID> live;
    for (const WindowEntry& w : windows)
        live.insert(w.id);
    cache_->keepOnly(live);
    const std::size_t count = std::min(windows.size(), thumbnailLimit);
    // Each picture is captured for the largest place this panel draws it:
    // its card while searching, its tile on the map or on the shelf.
    std::unordered_map<WindowID, Size> boxes;
    for (std::size_t i = 0; i < count; ++i)
        boxes.emplace(windows[i].id, CardSizes::switcherCardPicture());
    const auto grow = [&](WindowID id, Size size) {
        if (const auto it = boxes.find(id); it != boxes.end())
            it->second = Size(std::max(it->second.width, size.width), std::max(it->second.height, size.height));
    };
    const SwitcherMap& map = model_.map();
    for (const MapScreen& screen : map.screens)
        for (const MapTile& tile : screen.tiles)
            grow(tile.window.id, CardSizes::switcherTile(tile.frame.size));
    for (const WindowEntry& window : map.underneath)
        grow(window.id, CardSizes::shelfTile());
    std::vector<Thumbnails::Request> requests;
    requests.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        requests.push_back({.id = windows[i].id, .box = boxes.at(windows[i].id)});
    // The panel may open on any screen, and its map spans them all: pictures
    // for the sharpest.
    double scale = 1;
    for (const Screen& screen : desktop_.platform.displays.screens())
        scale = std::max(scale, screen.scale);
    cache_->setScale(scale);
    requests = cache_->show(requests, ThumbnailCache::Panel::switcher);
    // Pictures kept from before show at once; fresh ones replace them.
    for (const auto& request : requests)
        if (SharedImage picture = cache_->find(request.id))
            model_.addThumbnail(request.id, std::move(picture));
    thumbnailTask_ = Thumbnails::loadSized(desktop_, std::move(requests), scale,
                                           [this, generation](WindowID id, Image image) {
                                               if (generation != loaded_ || loadedEnded_)
                                                   return;
                                               if (SharedImage picture = cache_->store(id, std::move(image)))
                                                   model_.addThumbnail(id, std::move(picture));
                                           });
}

void SwitcherController::retireThumbnails()
{
    if (!thumbnailTask_)
        return;
    // Destroying a task waits for its captures: that happens later, off the key path.
    thumbnailTask_->cancel();
    retired_.push_back(std::move(thumbnailTask_));
}

// ---------------------------------------------------------------- the panel

void SwitcherController::prepare()
{
    if (panel_ || !makePanel_)
        return;
    panel_ = makePanel_(model_, [this](const WindowEntry& entry) { open(entry); });
    if (!panel_)
        return;
    panel_->prepare();
    // The applications' icons come from their desktop entries, read and
    // decoded on first use.
    std::set<std::int32_t> asked;
    for (const WindowEntry& w : WindowCatalog::read(desktop_).windows)
        if (asked.insert(w.pid).second)
            (void)desktop_.platform.workspace.icon(w.pid);
}

void SwitcherController::show()
{
    showTask_.cancel();
    const std::vector<Screen> screens = desktop_.platform.displays.screens();
    // A display may have come or gone since the catalog read.
    model_.setDisplays(displayFrames(screens));
    const bool searching = !model_.session().query.empty();
    static const SwitcherMap noMap;
    const auto frame = SwitcherPlacement::frame(screens, desktop_.platform.mouse.location(),
                                                model_.session().windows.size(), searching,
                                                searching ? noMap : model_.map());
    if (!frame) {
        if (panel_)
            panel_->orderOut();
        return;
    }
    if (!panel_) {
        if (!makePanel_)
            return;
        panel_ = makePanel_(model_, [this](const WindowEntry& entry) { open(entry); });
        if (!panel_)
            return;
    }
    panel_->show(*frame);
    shown_ = generation_;
}

// ---------------------------------------------------------------- raising

void SwitcherController::raise(const WindowEntry& entry)
{
    const auto it = elements_.find(entry.id);
    const ElementRef element = it == elements_.end() ? nullptr : it->second;
    if (!stillOpen(entry, element))
        return;
    if (recentWindows)
        recentWindows->used(entry.id);
    raise_ = WindowActions::raise(desktop_, entry, element);
}

// A window closed since the catalog read is neither raised nor its
// application activated.
bool SwitcherController::stillOpen(const WindowEntry& entry, const ElementRef& element) const
{
    if (element)
        return element->windowNumber().has_value();
    if (entry.id >= syntheticWindowIDBase)
        return true;
    const auto list = desktop_.platform.windowServer.windowList(WindowListOption::all);
    return list && std::any_of(list->begin(), list->end(), [&](const WindowInfo& w) { return w.number == entry.id; });
}

// ---------------------------------------------------------------- keys and trace

std::optional<SwitcherKey> SwitcherController::key(const TapEvent& event)
{
    switch (event.keyCode) {
    case returnKey:
    case enterKey: return SwitcherKey::enter();
    case tabKey: return SwitcherKey::tab((event.flags & EventFlag::shift) != 0);
    case deleteKey: return SwitcherKey::backspace();
    case escapeKey: return SwitcherKey::escape();
    case leftKey: return SwitcherKey::left();
    case rightKey: return SwitcherKey::right();
    default: break;
    }
    const std::string& characters = event.charactersIgnoringModifiers;
    if (characters.empty())
        return std::nullopt;
    for (char32_t c : text::scalars(characters))
        if (text::isControl(c) || isFunctionKeyCharacter(c))
            return std::nullopt;
    return SwitcherKey::text(text::lowercased(characters));
}

std::string SwitcherController::describe(const SwitcherKey& key)
{
    using Kind = SwitcherKey::Kind;
    switch (key.kind) {
    case Kind::tab: return std::string("tab(backward: ") + boolText(key.backward) + ")";
    case Kind::text: return "text(" + inQuotes(key.characters) + ")";
    case Kind::left: return "left";
    case Kind::right: return "right";
    case Kind::escape: return "escape";
    case Kind::enter: return "enter";
    case Kind::backspace: return "backspace";
    case Kind::released: return "released";
    }
    return {};
}

bool SwitcherController::tracing() { return std::getenv(traceVariable) != nullptr; }

void SwitcherController::trace(std::string_view line)
{
    if (!tracing())
        return;
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace kavelo
