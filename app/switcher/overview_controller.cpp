#include "app/switcher/overview_controller.h"

#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "app/switcher/card_sizes.h"
#include "core/grid_navigation.h"
#include "core/screen_coordinates.h"

#include <algorithm>
#include <unordered_set>

namespace kavelo {

namespace {

namespace Key {
inline constexpr std::uint16_t one = 18;
inline constexpr std::uint16_t four = 21;
inline constexpr std::uint16_t returnKey = 36;
inline constexpr std::uint16_t tab = 48;
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t keypadEnter = 76;
inline constexpr std::uint16_t left = 123;
inline constexpr std::uint16_t right = 124;
inline constexpr std::uint16_t down = 125;
inline constexpr std::uint16_t up = 126;
} // namespace Key

// The display under the pointer (the maximum edges belong to the
// neighbour), else the first.
const Screen& screenUnder(const std::vector<Screen>& screens, Point pointer)
{
    const auto under =
        std::find_if(screens.begin(), screens.end(), [&](const Screen& s) { return s.frame.contains(pointer); });
    return under != screens.end() ? *under : screens.front();
}

// Whether a window of the catalog read is still there: its element still
// answers, or, without one, the window list still holds it.
bool stillOpen(const Desktop& desktop, const WindowEntry& entry, const ElementRef& element)
{
    if (element)
        return element->position().has_value();
    if (entry.id >= syntheticWindowIDBase)
        return true;
    const auto list = desktop.platform.windowServer.windowList(WindowListOption::all);
    if (!list)
        return true;
    return std::any_of(list->begin(), list->end(), [&](const WindowInfo& w) { return w.number == entry.id; });
}

} // namespace

OverviewController::OverviewController(const Desktop& desktop, PanelFactory makePanel, ThumbnailCache* thumbnails)
    : desktop_(desktop), makePanel_(std::move(makePanel)),
      ownCache_(thumbnails ? nullptr : std::make_unique<ThumbnailCache>(desktop.platform.windowServer)),
      cache_(thumbnails ? thumbnails : ownCache_.get())
{
    // A picture the cache let go of (its window closed, or room was needed)
    // leaves the model too, so nothing outlives the cache's budget.
    dropped_ = cache_->dropped.connect([this](WindowID window) { model_.removeThumbnail(window); });
}

OverviewController::~OverviewController()
{
    hide();
}

void OverviewController::show()
{
    // Without a display there is nowhere to stand.
    if (desktop_.platform.displays.screens().empty())
        return;
    if (!panel_)
        panel_ = makePanel_(*this);
    if (open_) {
        present();
        return;
    }
    if (waiting_.pending())
        return;
    if (panel_->holdKeyboard()) {
        present();
        return;
    }
    Clock& clock = desktop_.platform.clock;
    const Seconds deadline = clock.monotonic() + Seconds(keyboardWait);
    waiting_ = desktop_.platform.scheduler.every(keyboardRetry, [this, &clock, deadline] {
        if (panel_->holdKeyboard()) {
            waiting_.cancel();
            present();
        } else if (clock.monotonic() >= deadline) {
            waiting_.cancel();
            log(keyboardHeldMessage);
        }
    });
}

void OverviewController::present()
{
    ahead_.cancel();
    const Platform& platform = desktop_.platform;
    const std::vector<Screen> screens = platform.displays.screens();
    if (screens.empty()) {
        hide();
        return;
    }

    Snapshot snapshot = WindowCatalog::read(desktop_);
    elements_ = std::move(snapshot.elements);
    // What the catalog no longer lists has closed: its picture goes.
    std::unordered_set<WindowID> live;
    for (const WindowEntry& w : snapshot.windows)
        live.insert(w.id);
    cache_->keepOnly(live);
    // Last opening's pictures go first, so that nothing is made of them for
    // the new cards.
    model_.setThumbnails({});
    if (recentWindows)
        snapshot.windows = recentWindows->ordered(std::move(snapshot.windows));
    model_.setWindows(std::move(snapshot.windows));
    model_.setQuery("");
    model_.setScope(WindowScope::all);
    model_.setSelection(0);

    // Capture is only asked about once windows can be read at all.
    model_.setMissingPermission(!platform.accessibility.isTrusted() || !platform.capture.isAllowed());
    const Point pointer = platform.mouse.location();
    model_.setPointerAtOpen(pointer);
    model_.setFocusRequest(model_.focusRequest() + 1);
    model_.setWorkflows(loadWorkflows());

    const Screen& screen = screenUnder(screens, pointer);
    displayID_ = screen.id;
    screenWidth_ = screen.frame.width();
    screenScale_ = screen.scale;
    const int count = int(model_.windows().size());
    model_.setColumns(std::clamp(GridNavigation::columns(count, screen.frame.width(),
                                                         screen.frame.height() - reservedHeight),
                                 minimumColumns, maximumColumns));

    // Without a compositor a translucent step shows as opaque anyway.
    const bool instant = platform.workspace.reducedMotion() || !platform.windowServer.blendsPanels();
    frame_ = ScreenCoordinates::flip(screen.frame, screens.front().frame.height());
    // The kept pictures go to the cards before the panel moves in front, so
    // that they are made ready while the server places it.
    std::vector<Thumbnails::Request> requests = showKeptThumbnails();
    panel_->present(frame_, instant ? 1.0 : 0.0);
    open_ = true;
    fade_.cancel();
    if (!instant) {
        fadeStart_ = platform.clock.monotonic();
        fade_ = platform.scheduler.every(1.0 / 60, [this] { stepFade(); });
    }

    startMonitors();
    startThumbnails(std::move(requests));
}

void OverviewController::stepFade()
{
    const double t = (desktop_.platform.clock.monotonic() - fadeStart_).count() / fadeDuration;
    panel_->setOpacity(std::clamp(t, 0.0, 1.0));
    if (t >= 1)
        fade_.cancel();
}

void OverviewController::startMonitors()
{
    if (keyMonitor_.pending())
        return;
    keyMonitor_ = panel_->monitorKeys([this](std::uint16_t keyCode, std::uint64_t flags) {
        return handle(keyCode, flags);
    });
    clickMonitor_ = desktop_.platform.mouse.monitor(MouseEventMask::leftDown | MouseEventMask::rightDown,
                                                    [this](const MouseEvent& e) { clicked(e.location); });
    displayWatch_ = desktop_.platform.displays.onChange([this] { displaysChanged(); });
}

std::vector<Thumbnails::Request> OverviewController::showKeptThumbnails()
{
    // Pictures taken while capture was allowed are not shown after.
    if (!desktop_.platform.capture.isAllowed())
        cache_->clear();
    // Every card is the same size; the cards in view come first.
    const Size box = CardSizes::overviewPictureOnScreen(screenWidth_, model_.columns());
    std::vector<Thumbnails::Request> requests;
    requests.reserve(model_.windows().size());
    for (const WindowEntry& w : model_.windows())
        requests.push_back({.id = w.id, .box = box});
    cache_->setScale(screenScale_);
    requests = cache_->show(requests, ThumbnailCache::Panel::overview);
    // The pictures kept from before show at once; fresh ones replace them.
    std::unordered_map<WindowID, SharedImage> held;
    for (const auto& request : requests)
        if (SharedImage picture = cache_->find(request.id))
            held.emplace(request.id, std::move(picture));
    if (!held.empty())
        model_.setThumbnails(std::move(held));
    return requests;
}

void OverviewController::startThumbnails(std::vector<Thumbnails::Request> requests)
{
    // Letting go of a task waits for the captures it still runs: an earlier
    // task is kept, cancelled, until it has finished.
    std::erase_if(retiredTasks_, [](const auto& task) { return task->isFinished(); });
    if (thumbnailTask_) {
        thumbnailTask_->cancel();
        retiredTasks_.push_back(std::move(thumbnailTask_));
    }
    const int opening = ++opening_;
    if (!loadThumbnails)
        return;
    thumbnailTask_ = loadThumbnails(desktop_, std::move(requests), screenScale_,
                                    [this, opening](WindowID id, Image image) {
                                        // A picture of an earlier opening, or one after closing,
                                        // stays out of the reset model.
                                        if (opening != opening_ || !open_)
                                            return;
                                        if (SharedImage picture = cache_->store(id, std::move(image)))
                                            model_.setThumbnail(id, std::move(picture));
                                    });
}

void OverviewController::hide()
{
    waiting_.cancel();
    if (thumbnailTask_)
        thumbnailTask_->cancel();
    fade_.cancel();
    if (panel_ && open_) {
        panel_->orderOut();
        panel_->releaseKeyboard();
    }
    keyMonitor_.cancel();
    clickMonitor_.cancel();
    displayWatch_.cancel();
    const bool wasOpen = open_;
    open_ = false;
    // After a search the next opening would paint most of the panel anew;
    // it is painted now, out of sight, while nothing waits for it.
    const bool searched = !model_.query().empty() || model_.scope() != WindowScope::all || model_.selection() != 0;
    if (panel_ && wasOpen && searched)
        ahead_ = desktop_.platform.scheduler.after(paintAheadDelay, [this] { paintAhead(); });
}

void OverviewController::paintAhead()
{
    if (open_ || !panel_)
        return;
    model_.setQuery("");
    model_.setScope(WindowScope::all);
    model_.setSelection(0);
    model_.setFocusRequest(model_.focusRequest() + 1);
    panel_->paintAhead();
}

bool OverviewController::handle(std::uint16_t keyCode, std::uint64_t flags)
{
    // While the panel holds the keyboard its own shortcut reaches only it.
    const Shortcut& own = desktop_.preferences.shortcut();
    if (keyCode == own.keyCode && int(hotKeyModifiers(flags)) == own.modifiers) {
        hide();
        return true;
    }
    // The scope keys go by position: the keys where 1 to 4 are on a US
    // keyboard, whatever the layout types there.
    if ((flags & EventFlag::command) && keyCode >= Key::one && keyCode <= Key::four) {
        model_.setScope(allWindowScopes[std::size_t(keyCode - Key::one)]);
        return true;
    }
    switch (keyCode) {
    case Key::returnKey:
    case Key::keypadEnter: {
        const auto& results = model_.results();
        const int selection = model_.selection();
        if (selection >= 0 && selection < int(results.size())) {
            const WindowEntry entry = results[std::size_t(selection)];
            open(entry);
        }
        return true;
    }
    case Key::escape: hide(); return true;
    case Key::tab: move((flags & EventFlag::shift) ? Direction::left : Direction::right); return true;
    case Key::left: move(Direction::left); return true;
    case Key::right: move(Direction::right); return true;
    case Key::down: move(Direction::down); return true;
    case Key::up: move(Direction::up); return true;
    default: return false;
    }
}

void OverviewController::move(Direction direction)
{
    const int count = int(model_.results().size());
    model_.setSelection(GridNavigation::move(model_.selection(), direction, count, model_.columns()));
}

void OverviewController::open(const WindowEntry& entry)
{
    hide();
    const auto it = elements_.find(entry.id);
    const ElementRef element = it == elements_.end() ? nullptr : it->second;
    // A window closed since the catalog read is not brought back, nor its
    // application activated.
    if (!stillOpen(desktop_, entry, element))
        return;
    if (recentWindows)
        recentWindows->used(entry.id);
    raise_ = WindowActions::raise(desktop_, entry, element);
}

void OverviewController::fixPermissions()
{
    hide();
    showPermissions();
}

void OverviewController::chooseWorkflow(const std::string& name)
{
    hide();
    switchWorkflow(name);
}

void OverviewController::clicked(Point bottomLeft)
{
    if (!open_)
        return;
    // A real server also reports presses on the panel itself; those are the
    // panel's own (cards, buttons, the backdrop).
    const auto screens = desktop_.platform.displays.screens();
    const double primaryHeight = screens.empty() ? 0 : screens.front().frame.height();
    const Point topLeft(bottomLeft.x, primaryHeight - bottomLeft.y);
    if (frame_.contains(topLeft))
        return;
    hide();
}

void OverviewController::displaysChanged()
{
    if (!open_)
        return;
    // The panel would stay where nobody sees it, holding the keyboard.
    const auto screens = desktop_.platform.displays.screens();
    const bool stands = std::any_of(screens.begin(), screens.end(), [&](const Screen& s) { return s.id == displayID_; });
    if (!stands)
        hide();
}

} // namespace kavelo
