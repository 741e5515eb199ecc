#pragma once

// The arrange engine: keeps the windows of every display and desktop
// arranged, tiled as they open (auto mode) or side by side on a scrolling
// strip (strip mode). A 0.4 s poll compares a signature of the on-screen
// windows with the last one and runs an arrange pass only when it changed;
// the pass reads the catalog, groups windows under layout keys (display
// name, "|", desktop identifier), asks the core for frames, and writes only
// the frames that differ. A 1/60 s timer animates strip scrolling.
//
// One object, its concerns in separate sources:
//   arrange_engine.cpp   lifecycle, settings, displays, adoption, release, keys
//   engine_pass.cpp      tick, signature, candidates, tab switches, the pass
//   engine_strip.cpp     strip application, frame writes, animation
//   engine_memory.cpp    strip memory file and undo history
//   engine_auto.cpp      auto-mode application, sliding, size learning
//   engine_commands.cpp  strip commands, panning, wheel and swipes
//   engine_indicator.cpp the strip indicator's feed
//   engine_edges.cpp     edge zones and tab titles
//   engine_drop.cpp      drag to swap, drop on the strip, grid lines
//   engine_windows.cpp   float, swap, layout choice, next display
//   engine_hover.cpp     focus follows mouse, mouse follows focus
//
// Time: every duration and deadline here is on the monotonic clock
// (`Clock::monotonic()`), the pause deadlines included; nothing the engine
// keeps is a wall-clock date. Main thread only.

#include "app/engine/arrange_state.h"
#include "app/engine/panels.h"
#include "app/engine/strip_indicator.h"
#include "app/platform/handle.h"
#include "app/services/desktop.h"
#include "app/services/toast.h"
#include "app/services/window_actions.h"
#include "app/services/trackpad.h"
#include "app/services/working_app.h"
#include "core/arrange_mode.h"
#include "core/command.h"
#include "core/direction.h"
#include "core/geometry.h"
#include "core/grid_plan.h"
#include "core/strip.h"
#include "core/strip_layout.h"
#include "core/strip_memory.h"
#include "core/swipe_tracker.h"
#include "core/tidy_layout.h"
#include "core/window_entry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

// Why arranging waits: each has its own deadline, so that ending one pause
// never ends another.
enum class PauseReason { workflow, display, cleanSpace, fillScreen };
inline constexpr std::array<PauseReason, 4> allPauseReasons{PauseReason::workflow, PauseReason::display,
                                                            PauseReason::cleanSpace, PauseReason::fillScreen};
std::string_view rawValue(PauseReason reason);
std::optional<PauseReason> PauseReason_from(std::string_view raw);

class ArrangeEngine {
public:
    // Seconds between two polls, between two animation steps.
    static constexpr double pollInterval = 0.4;
    static constexpr double stepInterval = 1.0 / 60;
    // A strip application writes a window off by this much or more; an
    // animation step moves one off by this much or more.
    static constexpr double writeTolerance = 2;
    static constexpr double stepTolerance = 0.5;
    // The gap of the grid that released strips are laid out in.
    static constexpr double releaseGap = 10;
    // Auto mode: the size check runs this long after the last application;
    // a window more than this much larger than its tile is oversized; two
    // sizes this close are the same; a window parked on the left is settled
    // again this long after it was parked.
    static constexpr double sizeCheckDelay = 0.7;
    static constexpr double oversizeTolerance = 20;
    static constexpr double sameSizeTolerance = 2;
    static constexpr double settleDelay = 0.6;
    // Other programs that move windows, by identity, with the name shown.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> otherManagers{{
        {"com.knollsoft.Rectangle", "Rectangle"},
        {"com.knollsoft.Hookshot", "Rectangle Pro"},
        {"com.crowdcafe.windowmagnet", "Magnet"},
        {"com.manytricks.Moom", "Moom"},
        {"bobko.aerospace", "AeroSpace"},
        {"com.amethyst.Amethyst", "Amethyst"},
    }};
    // Window managers that tile the windows they manage, by the name they
    // give themselves (any case), with the name shown: running one, they
    // move windows too.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 8> tilingManagers{{
        {"i3", "i3"},
        {"bspwm", "bspwm"},
        {"awesome", "awesome"},
        {"xmonad", "xmonad"},
        {"herbstluftwm", "herbstluftwm"},
        {"qtile", "qtile"},
        {"spectrwm", "spectrwm"},
        {"dwm", "dwm"},
    }};
    static constexpr Seconds distantPast{-std::numeric_limits<double>::infinity()};

    // Windows waiting past the left and right screen edge.
    struct Waiting {
        std::vector<WindowID> left;
        std::vector<WindowID> right;
        bool empty() const { return left.empty() && right.empty(); }
        friend bool operator==(const Waiting&, const Waiting&) = default;
    };

    // Built, not started: nothing observed, no timer. `workingApp`, `toast`
    // and `panels` must outlive the engine.
    ArrangeEngine(Desktop desktop, WorkingApp& workingApp, Toast& toast, EnginePanels& panels);
    ~ArrangeEngine();
    ArrangeEngine(const ArrangeEngine&) = delete;
    ArrangeEngine& operator=(const ArrangeEngine&) = delete;

    // --- What the shell steers (arrange_engine.cpp) ---

    // Reads the strip memory, installs the monitors and observers and starts
    // the poll. A second call does nothing.
    void start();
    bool isStarted() const { return timer_.pending(); }
    // After a change of the arrange settings.
    void settingsChanged();
    // After a change of the connected displays.
    void displaysChanged();
    // After the shell placed windows itself: auto orders take them as they
    // stand, without laying them out again.
    void adoptWindows();
    // Lets go of every strip: animation stopped, panels hidden, each strip's
    // windows laid out as a grid on its display.
    void release();
    // Where each window the engine arranges belongs to the user, for saving
    // it while the mode may have parked it: the last frame the mode laid it
    // out at on its display, else the frame it had when the mode took it.
    std::map<WindowID, Rect> userFrames() const;

    // When set, only this application's windows are arranged.
    std::optional<std::string> onlyApp;
    // When set, replaces the arrange mode of the settings.
    std::optional<ArrangeMode> testMode;
    // The user's pause: no pass runs while it is true.
    bool isPaused = false;
    // The signature of the last pass; empty makes the next tick run one.
    std::string lastSignature;
    // Control and Option are held.
    bool holding = false;

    // No pass runs for `seconds` from now for this reason (0 or less ends
    // that reason's pause at once); also makes the next tick run a pass.
    void pause(PauseReason reason, double seconds);
    // The latest deadline of every reason, monotonic seconds; `distantPast`
    // when nothing pauses.
    Seconds pausedUntil() const;
    Seconds pausedUntil(PauseReason reason) const;

    ArrangeMode effectiveMode() const;

    // The layout keys of the displays as they show now, in display order.
    std::vector<std::string> visibleKeys() const;
    // The display a layout key belongs to; none when it is not connected.
    std::optional<Screen> screen(std::string_view key) const;
    // A key's display and the room its windows have there; none when the
    // display is not connected or has no usable area.
    struct Place {
        Screen display;
        Rect area;
    };
    std::optional<Place> place(std::string_view key) const;
    // The key of a display with the desktop it shows now.
    std::string keyFor(const Screen& screen) const;
    // The name of the first running application that moves windows too,
    // else of the window manager when it tiles.
    static std::optional<std::string> clashingApp(const SystemWorkspace& workspace);
    // The desktop's own setting, not available on every system: off when
    // missing or not a Boolean.
    static bool stageManagerIsOn(const SystemWorkspace& workspace);

    StripIndicator& indicator() { return indicator_; }

    // --- The pass (engine_pass.cpp) ---

    // The poll's work: every gate, then a pass when the signature changed.
    void tick();
    // One pass, without the poll's gates.
    void arrange();
    std::string signature() const;
    // The windows of an on-screen list that show on no display, auto mode's
    // parked ones aside, by number.
    std::vector<WindowID> offEveryDisplay(const std::vector<WindowInfo>& list) const;
    std::optional<WindowID> focusedID() const;

    // --- Strip memory and undo (engine_memory.cpp) ---

    // A memory file larger than this is not read: it is kept aside like one
    // that is no JSON at all.
    static constexpr std::uintmax_t maxMemoryFileBytes = std::uintmax_t(16) << 20;
    // How many arrangements undo keeps, the current one included.
    static constexpr std::size_t historyLength = 30;

    // Goes back to the arrangement before the current one.
    void undo();

    // --- Commands, panning and swipes (engine_commands.cpp) ---

    // Seconds from the last wheel event to the end of a wheel pan.
    static constexpr double wheelSettle = 0.2;
    // Auto mode: one slide per this much wheel travel, in points, and the
    // seconds after a slide in which the wheel is dropped.
    static constexpr double wheelStep = 40;
    static constexpr double wheelPause = 0.35;

    // Commands 16 to 54; true when the engine owns the command.
    bool perform(Command command);
    // A Control-Option wheel step, in points, inside the event tap: true
    // when the engine acts on it (a strip to pan, auto windows to slide),
    // so only then is the scroll kept from the other applications. Cheap:
    // the windows move on the scheduler.
    bool scrolled(double delta);
    // Starts or stops the trackpad reader to match the mode.
    void updateTrackpad();

    // --- Indicator (engine_indicator.cpp) ---

    void showIndicator();

    // --- Edge zones (engine_edges.cpp) ---

    void edgeClicked(const std::string& key, bool onLeft);

    // --- Windows (engine_windows.cpp) ---

    void toggleFloat();
    void sendToNextDisplay();

    // --- Drops (engine_drop.cpp): the command line's test hooks ---

    void testDrag();
    void testResize();

    // --- What the engine holds, for its tests and the shell's read-outs ---

    const std::map<std::string, Strip>& strips() const { return strips_; }
    const std::map<std::string, std::vector<WindowID>>& autoOrder() const { return autoOrder_; }
    const std::map<std::string, int>& autoOffset() const { return autoOffset_; }
    const std::map<std::string, Waiting>& autoWaiting() const { return autoWaiting_; }
    const std::map<std::string, std::vector<WindowID>>& autoShown() const { return autoShown_; }
    const std::map<WindowID, std::string>& homes() const { return homes_; }
    const std::map<WindowID, ElementRef>& elements() const { return elements_; }
    const std::map<WindowID, std::string>& bundles() const { return bundles_; }
    const std::set<WindowID>& floated() const { return floated_; }
    const std::map<WindowID, double>& originalHeights() const { return originalHeights_; }
    const std::map<WindowID, Rect>& stripFrames() const { return stripFrames_; }
    const std::map<WindowID, Rect>& stripSettled() const { return stripSettled_; }
    const std::map<std::string, double>& shown() const { return shown_; }
    const std::map<WindowID, Point>& placed() const { return placed_; }
    const std::map<std::string, StripMemory>& memory() const { return memory_; }
    const std::vector<ArrangeState>& history() const { return history_; }
    const std::optional<std::string>& panning() const { return panning_; }
    bool isAnimating() const { return animator_.pending(); }
    bool autoStale() const { return autoStale_; }
    bool toldStageManager() const { return toldStageManager_; }
    // The windows the last pass sent and those that went.
    const WindowActions::Moves& lastMoves() const { return lastMoves_; }
    ArrangeMode lastMode() const { return lastMode_; }
    const std::filesystem::path& memoryFile() const { return memoryFile_; }

private:
    // Tests reach the private steps through it (tests/engine/engine_probe.h).
    friend struct EngineProbe;

    // --- arrange_engine.cpp ---
    void release(const std::vector<std::string>& keys);
    // Windows the strip parked that left it while parked (minimised), back
    // on the nearest display; `released` were just laid out by the release.
    void unparkStrays(const std::set<WindowID>& released);
    void stopAnimating();
    std::vector<Screen> screens() const;

    // --- engine_pass.cpp ---
    std::map<std::string, std::vector<WindowID>> candidates();
    // A window closed for good: its element goes at once, the rest of what
    // is kept of it once no strip or order holds it (a newcomer of its
    // application may take its place first).
    void forget(WindowID id);
    void forgetClosed();
    // True when a window took another's place in an auto order.
    bool followTabs(const std::map<std::string, std::vector<WindowID>>& candidates);
    bool movedElsewhere(const std::map<std::string, std::vector<WindowID>>& candidates, const std::string& key,
                        WindowID id) const;
    Strip remembered(const std::string& key, const std::vector<WindowID>& ids) const;
    std::map<WindowID, int> slotsOf(const std::vector<WindowID>& ids) const;
    void arrangeStrips(const std::map<std::string, std::vector<WindowID>>& candidates);
    // `renamed`: a window took another's place and must be sent to its tile.
    void arrangeAuto(const std::map<std::string, std::vector<WindowID>>& candidates, bool renamed);

    // --- engine_strip.cpp ---
    void applyStrips();
    // Whether a window `now` stands where it was sent (`target`), or where
    // the window manager put it the last time it was sent there: a write
    // would change nothing.
    bool settled(WindowID id, const Element& element, const Rect& now, const Rect& target);
    // Remembers where the manager put a window written to `target`.
    void noteAnswer(WindowID id, const Rect& target, const std::optional<Rect>& now);
    void animate();
    void step();
    std::map<WindowID, Rect> keptHome(const std::map<WindowID, Rect>& frames, const Screen& screen,
                                      const Rect& area) const;
    void parkOversized(const StripLayout& layout, const Screen& screen);
    void raiseOverParked(const std::vector<WindowID>& shown, const std::vector<WindowID>& parked);
    Waiting parkedWindows(const Strip& strip, const Screen& screen) const;
    void tabSelected(WindowID id);

    // --- engine_memory.cpp ---
    void readMemory();
    void saveMemory();
    void writeMemory();
    void noteState();
    ArrangeState currentState() const;
    // A pass's moves; the first pass whose windows stay put says so.
    void noteMoves(const WindowActions::Moves& moves);

    // --- engine_auto.cpp ---
    void applyAuto();
    // The tab bars of the auto keys shown now; unless `always`, only when
    // they differ from the ones shown last.
    void showAutoBars(bool always);
    void settleParked(const ElementRef& element, const Rect& frame, bool onLeft);
    bool slideAuto(const std::string& key, bool forward);
    void bringIn(WindowID id);
    void bringInFocused();
    std::vector<WindowID> mainFirst(const std::vector<WindowID>& order, const std::string& key);
    std::optional<StripMemoryWindow> described(WindowID id) const;
    GridPlan plan(const Screen& screen, int count) const;
    void autoTabSelected(WindowID id);
    void checkSizesLater();
    void learnSizes();
    // Shown keys without candidates lose their auto state; true when one did.
    bool dropEmptyKeys(const std::map<std::string, std::vector<WindowID>>& candidates);
    // A window that took another's place in the key's order takes its place
    // on screen too: shown, waiting, chosen tab, tile.
    void renameAuto(const std::string& key, WindowID vanished, WindowID next);
    // A stale pass reaches only the keys shown now; the others are laid out
    // when they show again. True when such a key shows now.
    bool staleKeysShown(bool stale);
    // Windows parked under these keys (waiting, or tabs parked below the
    // screen) back inside their display's usable area.
    void unparkAuto(const std::vector<std::string>& keys);
    // The same for every auto key, with the pending settles and size check
    // cancelled: at quit and when arranging stops.
    void releaseAuto();
    // Where a window let go stands: at its frame, grown to the tile floor
    // where it is smaller, moved and shrunk as little as needed into `area`.
    static Rect letGo(const Rect& frame, const Rect& area);

    // --- engine_commands.cpp ---
    std::optional<std::string> activeStrip() const;
    void stripFocus(Direction direction);
    void stripFocusEnd(bool last);
    void stripJump(int number);
    void beginPan();
    void pan(double dx);
    void endPan(double velocity);
    void swipe(const SwipeEvent& event);
    bool scrolledAuto(double delta);
    void editActiveStrip(const std::function<void(Strip&)>& edit);
    void moveStripFocus(const std::function<std::optional<WindowID>(Strip&)>& move);
    // Raises the window and activates its application; the strips keep it
    // focused while the window manager's focus stays where it was.
    void raiseWindow(WindowID id);
    // The usable area of the display of the strip being panned.
    std::optional<Rect> panArea() const;
    // The layout key the auto wheel slides.
    std::optional<std::string> autoWheelKey(bool forward) const;

    // --- engine_indicator.cpp ---
    void showAutoIndicator();
    void indicatorFollowsDesktop();
    // After a pass: the indicator of a desktop that had none to show yet.
    void indicatorFollowsPass();

    // --- engine_edges.cpp ---
    void updateEdges();
    std::vector<TabBars::Bar> titled(const std::vector<TabBar>& bars) const;

    // --- engine_drop.cpp ---
    void dropped(Point at);
    void droppedOnStrip(Point at);
    bool movedGridLine();
    // The window's frame read now through its element; none when it has no
    // element or the frame does not read as a finite one.
    std::optional<Rect> frameNow(WindowID id) const;

    // --- engine_windows.cpp ---
    void swap(int step);
    void setLayout(TidyLayout layout);
    // The display named as the window's home, else the one holding most of
    // `frame`.
    std::optional<Screen> homeScreen(WindowID id, const Rect& frame) const;

    // --- engine_hover.cpp ---
    // Seconds the pointer rests before the window under it takes the focus.
    static constexpr double hoverDelay = 0.15;
    void mouseMoved();
    void focusUnderMouse();
    void warpMouse(WindowID id);

    // --- State ---
    Desktop desktop_;
    WorkingApp& workingApp_;
    Toast& toast_;
    EnginePanels& panels_;

    Handle timer_;
    std::map<std::string, Strip> strips_;
    std::map<std::string, std::vector<WindowID>> autoOrder_;
    std::map<WindowID, std::string> homes_;
    std::map<WindowID, ElementRef> elements_;
    std::map<WindowID, std::string> bundles_;
    std::map<std::string, WindowID> autoTabs_;
    // Each auto key's tab bars from its last application, and the bars the
    // auto mode showed last.
    std::map<std::string, std::vector<TabBar>> autoBars_;
    std::vector<TabBar> autoBarsShown_;
    std::map<WindowID, Rect> autoFrames_;
    std::map<std::string, int> autoOffset_;
    std::map<std::string, Waiting> autoWaiting_;
    std::map<std::string, std::vector<WindowID>> autoShown_;
    bool autoStale_ = false;
    bool toldStageManager_ = false;
    bool toldWaiting_ = false;
    bool toldRefused_ = false;
    WindowActions::Moves lastMoves_;
    std::vector<ArrangeState> history_;
    bool restoring_ = false;
    double wheelTravel_ = 0;
    Seconds wheelSettled_ = distantPast;
    Handle wheelSlide_;
    Handle sizeCheck_;
    std::map<WindowID, Size> sizeSuspects_;
    std::map<WindowID, Rect> autoPlaced_;
    // The pending settle blocks of windows parked on the left.
    std::vector<Handle> settling_;
    // Windows auto mode set off screen (waiting, or background tabs that
    // may be parked below it), with the key they were parked under.
    std::map<WindowID, std::string> autoParked_;
    // Auto keys not shown when the settings changed or undo ran.
    std::set<std::string> autoStaleKeys_;
    Handle mouseUp_;
    Handle mouseMove_;
    Handle hover_;
    std::set<WindowID> floated_;
    std::map<WindowID, double> originalHeights_;
    // The window a strip focus move asked for and the window focused before
    // it: while the window manager keeps that one focused (it had not yet
    // acted, or the asked window takes no input), the strip keeps its own
    // focus, and so its scroll.
    struct AskedFocus {
        WindowID asked = 0;
        std::optional<WindowID> before;
    };
    std::optional<AskedFocus> askedFocus_;
    std::map<WindowID, Rect> stripFrames_;
    std::map<WindowID, Rect> stripSettled_;
    // Where the window manager put a window written to `target` when
    // it placed it elsewhere (a column parked past an edge that the manager
    // keeps partly on screen): settled there until its target changes.
    struct Answer {
        Rect target;
        Point at;
    };
    std::map<WindowID, Answer> answers_;
    // The frame each window was last sent to, and whether the manager had
    // yet to answer earlier writes when the layout being applied began.
    std::map<WindowID, Rect> sent_;
    bool managerBehind_ = false;
    // Whether a layout was applied, or a tick came, while the manager had
    // yet to answer: what was read then may show windows still on their way.
    bool readBehind_ = false;
    // The last frame either mode laid each window out at mostly on its
    // display, and the frame each had on a display when the mode took it.
    std::map<WindowID, Rect> laidOut_;
    std::map<WindowID, Rect> takenFrames_;
    std::unique_ptr<Highlight> border_;
    std::unique_ptr<TabBars> tabBars_;
    std::unique_ptr<EdgeZones> edges_;
    ArrangeMode lastMode_;
    std::map<PauseReason, Seconds> pausedUntil_;
    std::map<std::string, double> shown_;
    std::map<WindowID, Point> placed_;
    Handle animator_;
    Seconds lastStep_{0};
    std::optional<std::string> panning_;
    Handle settle_;
    Trackpad trackpad_;
    StripIndicator indicator_;
    // When a desktop change found nothing for the indicator to show while it
    // was up: the next pass shows what it found.
    std::optional<Seconds> followingDesktop_;
    std::map<std::string, StripMemory> memory_;
    std::optional<std::string> savedMemory_;
    std::filesystem::path memoryFile_;
    // The file at start could not be read as a JSON object: it is moved
    // aside before the first write instead of being replaced.
    bool memoryUnreadable_ = false;
    // The memory `savedMemory_` encodes, when known: an unchanged memory is
    // told without encoding it again after every focus move.
    std::optional<std::map<std::string, StripMemory>> savedForm_;
    Handle desktopChange_;
    Handle wake_;
    Handle closes_;
    std::set<WindowID> closed_;
    // Windows of hidden applications the last catalog read listed, less the
    // floated and left-alone ones: the only ones a strip keeps without their
    // being candidates.
    std::set<WindowID> hiddenListed_;
    // Candidates of the last catalog read that lay on no display.
    std::set<WindowID> strayed_;
};

} // namespace kavelo
