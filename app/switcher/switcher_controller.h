#pragma once

// The Option-Tab switcher, driven from the event tap. Option-Tab starts a
// session: the catalog is read, the panel shows after a short delay (so a
// quick Option-Tab switches without drawing anything), Tab, Shift-Tab and
// the arrows move the selection, typed characters search, a digit typed
// first switches to a workflow, Return or letting go of Option opens the
// selection and Escape cancels. The keys themselves mean what the core
// session says; this is their timing, the catalog and pictures, the raise.
//
// `handle` decides at once whether the tap drops an event; everything slow
// is queued on the main thread, each piece for its own session only.
//
// On a real desktop the starting Tab must not reach the focused window: the
// controller claims Option-Tab and Option-Shift-Tab from the tap while it is
// enabled, and holds the whole keyboard from a session's start until Option
// is let go or the session ends.

#include "app/platform/handle.h"
#include "app/platform/input.h"
#include "app/services/desktop.h"
#include "app/services/recent_windows.h"
#include "app/services/thumbnail_cache.h"
#include "app/services/thumbnails.h"
#include "app/services/window_catalog.h"
#include "app/switcher/switcher_model.h"
#include "app/switcher/switcher_panel.h"
#include "core/switcher_session.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kavelo {

class SwitcherController {
public:
    static constexpr double showDelay = 0.14;
    static constexpr double reducedMotionShowDelay = 0.05;
    static constexpr double watchInterval = 0.2;
    static constexpr std::size_t thumbnailLimit = 24;

    static constexpr std::uint16_t tabKey = 48;
    static constexpr std::uint64_t startMask = EventFlag::command | EventFlag::option | EventFlag::control;
    // Turns on the trace lines on standard output (any value, also empty).
    static constexpr const char* traceVariable = "KAVELO_TRACE";
    // The name the engine log gives the switcher's claim.
    static constexpr const char* logName = "switcher";

    // Without a factory no panel is ever made (keys still work). Pictures go
    // into `thumbnails`, shared with the overview; without one it keeps its own.
    explicit SwitcherController(const Desktop& desktop, SwitcherPanelFactory makePanel = {},
                                ThumbnailCache* thumbnails = nullptr);
    // Nothing it queued runs afterwards; its claims and the keyboard go back.
    ~SwitcherController();
    SwitcherController(const SwitcherController&) = delete;
    SwitcherController& operator=(const SwitcherController&) = delete;

    // Asked before a session starts and whenever the claim is brought up to date.
    std::function<bool()> isEnabled = [] { return true; };
    // A digit typed first: the workflow slot 1 to 9.
    std::function<void(int slot)> switchWorkflow = [](int) {};
    // One line for the engine log.
    std::function<void(std::string_view line)> log = [](std::string_view) {};
    // The order the windows were used in; without it the catalog's.
    RecentWindows* recentWindows = nullptr;

    SwitcherModel& model() { return model_; }
    const SwitcherModel& model() const { return model_; }

    // The tap's question for every key down, key up and modifier change:
    // true drops the event.
    bool handle(TapEventType type, const TapEvent& event);

    // Claims Option-Tab and Option-Shift-Tab from the tap exactly while
    // `isEnabled()` holds. A refusal (another program switches windows on
    // these keys) is logged once; no session starts while it lasts.
    void updateClaim();
    bool claimed() const { return claimed_; }
    // Lets go of the claim outside a session, so that the next
    // `updateClaim` asks the system afresh whether another program holds it.
    void dropClaim();

    // Starts a session; with `watchKeys`, the modifier watch runs too.
    void begin(bool watchKeys);
    // Shows or re-lays out the panel on the screen under the pointer.
    void show();
    // Makes the panel ahead of the first session, so that its first show
    // costs what every later one does.
    void prepare();
    // Applies a key to the running session and acts on the outcome.
    void send(const SwitcherKey& key);
    // Option was let go: the session opens its selection.
    void release();
    // A click on a window in the panel: ends the session, raises the window.
    void open(const WindowEntry& entry);

    // Reads the catalog into the model now (what the queued load does).
    void load();
    // The same from a catalog read elsewhere.
    void load(Snapshot snapshot);

    bool isActive() const { return active_; }
    bool swallowsTabUp() const { return swallowTabUp_; }
    bool holdsKeyboard() const { return holdsKeyboard_; }
    SwitcherPanel* panel() const { return panel_.get(); }
    ThumbnailCache& thumbnailCache() const { return *cache_; }

    // The key an event stands for in a session, none for a key the switcher
    // has no use for.
    static std::optional<SwitcherKey> key(const TapEvent& event);
    // The trace form of a key: `tab(backward: true)`, `text("a")`, `escape`.
    static std::string describe(const SwitcherKey& key);
    static bool tracing();
    // One trace line on standard output while tracing.
    static void trace(std::string_view line);

private:
    using Generation = std::uint64_t;

    void updateClaimFor(bool enabled);
    void loadFor(Generation generation, Snapshot snapshot);
    void sendFor(Generation generation, const SwitcherKey& key);
    void conclude(Generation generation);
    void finish();
    void raise(const WindowEntry& entry);
    bool stillOpen(const WindowEntry& entry, const ElementRef& element) const;
    void letGoOfKeyboard();
    void watch();
    void retireThumbnails();
    void startThumbnails(Generation generation);

    Desktop desktop_;
    SwitcherPanelFactory makePanel_;
    std::unique_ptr<ThumbnailCache> ownCache_;
    ThumbnailCache* cache_;
    Handle dropped_;
    SwitcherModel model_;
    std::unique_ptr<SwitcherPanel> panel_;
    std::unordered_map<WindowID, ElementRef> elements_;

    bool active_ = false;
    bool swallowTabUp_ = false;
    bool claimed_ = false;
    bool refusalLogged_ = false;
    bool holdsKeyboard_ = false;

    // Sessions are numbered; queued work carries the number of its own.
    Generation generation_ = 0;
    Generation ended_ = 0;        // the last session that finished
    Generation loaded_ = 0;       // whose session the model holds
    bool loadedEnded_ = true;     // that session has ended
    Generation shown_ = 0;        // whose session the panel last showed

    Handle showTask_;
    Handle watchdog_;
    Handle raise_;   // a raise's retry, kept until the next session begins
    std::unique_ptr<Thumbnails::Task> thumbnailTask_;
    // Cancelled loads, let go once their captures have ended.
    std::vector<std::unique_ptr<Thumbnails::Task>> retired_;
    Liveness liveness_;
};

} // namespace kavelo
