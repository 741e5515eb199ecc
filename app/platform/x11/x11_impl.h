#pragma once

// Inside the X11 backend: the connection, the window numbers, the window
// properties read from the server, and the event dispatch. Main thread only,
// except the number tables (guarded) and the connection itself, which xcb
// makes safe for the capture workers.

#include "app/platform/desktop_entries.h"
#include "app/platform/device_map.h"
#include "app/platform/main_waits.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/platform/x11/x11_gestures.h"

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kavelo {

// Frees an xcb reply.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using XReply = std::unique_ptr<T, FreeDeleter>;

namespace X11Fields {
inline constexpr unsigned geometry = 1u << 0;   // frame: geometry, root position, extents
inline constexpr unsigned state = 1u << 1;      // _NET_WM_STATE
inline constexpr unsigned type = 1u << 2;       // _NET_WM_WINDOW_TYPE and WM_TRANSIENT_FOR
inline constexpr unsigned title = 1u << 3;
inline constexpr unsigned wmClass = 1u << 4;
inline constexpr unsigned desktop = 1u << 5;
inline constexpr unsigned hints = 1u << 6;      // WM_NORMAL_HINTS and _NET_WM_ALLOWED_ACTIONS
inline constexpr unsigned mapState = 1u << 7;
inline constexpr unsigned opacity = 1u << 8;
inline constexpr unsigned all = 0x1FF;
// _GTK_APPLICATION_ID and _KDE_NET_WM_DESKTOP_FILE; outside `all`: only
// naming a program needs them.
inline constexpr unsigned appIds = 1u << 9;
} // namespace X11Fields

struct FrameExtents {
    double left = 0, right = 0, top = 0, bottom = 0;
    friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

// One window's part of a batched frame write, in the backend's terms.
struct FrameTarget {
    xcb_window_t window = XCB_NONE;
    WindowID number = 0;
    Rect frame;            // the visible frame, in device pixels, root coordinates
    bool sizeToo = true;   // false: the position alone
};

// The requests a frame write is made of: the size, the position, or both in
// one request.
enum class WriteStep { size, position, frame };

// Whether a manager applied a write, from the frames before and after it.
namespace FrameCheck {
// What a manager's own rounding may move a window by.
inline constexpr double tolerance = 2;
// Whether two frames are the same but for that rounding.
bool unchanged(const Rect& a, const Rect& b);
} // namespace FrameCheck

// What one read of a client window found.
struct ClientProps {
    bool alive = false;
    // Client area in root coordinates, the decorations the manager draws
    // around it, and the invisible margins (shadows) a window that draws its
    // own decorations keeps inside it.
    Rect client;
    FrameExtents extents;
    FrameExtents margins;
    std::vector<xcb_atom_t> states;
    std::vector<xcb_atom_t> types;
    xcb_window_t transientFor = XCB_NONE;
    std::optional<std::string> title;
    std::string instance;
    std::string className;
    std::string applicationId;
    std::string desktopFile;
    std::optional<std::uint32_t> desktop;
    bool hasHints = false;
    xcb_size_hints_t hints{};
    bool hasAllowedActions = false;
    std::vector<xcb_atom_t> allowedActions;
    bool viewable = false;
    double opacity = 1;

    bool hasState(xcb_atom_t atom) const;
    bool hasType(xcb_atom_t atom) const;
};

struct KnownWindow {
    WindowID number = 0;
    std::int32_t pid = 0;
};

struct HotKeyGrab {
    std::uint32_t keyCode = 0;     // classic code
    std::uint32_t modifiers = 0;   // classic mask
    std::uint32_t id = 0;
    xcb_keycode_t serverKey = 0;
    std::uint16_t serverMods = 0;
};

struct X11Desktop::Impl : std::enable_shared_from_this<Impl> {
    Impl() = default;
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Connection.
    xcb_connection_t* c = nullptr;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    int screenNumber = 0;
    xcb_screen_t* screen = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_window_t helper = XCB_NONE;   // our own unmapped window
    std::uint32_t resourceMask = 0;
    bool wmPresent = false;
    bool writesOutstanding = false;
    std::uint64_t writesSent = 0;
    // A barrier was given up and the manager has not answered one since:
    // writes may still be on their way, so what is read is not where a
    // window will stand.
    bool managerBehind = false;
    // The main thread's long waits on the server and the manager.
    MainWaits waits;
    struct Monitor {
        std::string rawName;
        xcb_atom_t nameAtom = XCB_NONE;
        Rect frame;          // root coordinates
        bool primary = false;
        std::vector<std::uint32_t> outputs;
    };
    // Answers shared by the reads of one batch: a catalog asks the same
    // windows three or four times in one call, and each read of 100 windows
    // costs the server 1500 requests.
    struct SharedReads {
        std::optional<std::vector<xcb_window_t>> stacking;
        std::unordered_map<xcb_window_t, ClientProps> props;
        std::optional<std::optional<std::uint32_t>> desktop;
        std::optional<std::vector<Monitor>> monitors;
        std::optional<std::vector<Rect>> workAreas;
        // The windows whose props above hold their hints too.
        std::unordered_set<xcb_window_t> hinted;
        // The write these reads came after.
        std::uint64_t afterWrite = 0;
    };
    int sharingReads = 0;
    std::uint64_t propertyBatches = 0;
    mutable SharedReads shared;
    // What the barriers of the action that shares its reads have waited.
    std::chrono::steady_clock::duration actionWaited{};
    // What each adopted window's properties said when last read. Adopted
    // windows report every property change, so a value holds until its
    // change arrives; geometry and map state are read every time.
    struct Remembered {
        unsigned fields = 0;   // X11Fields whose values below are current
        bool extentsListed = false;
        ClientProps props;
    };
    std::unordered_map<xcb_window_t, Remembered> remembered;
    // The best _NET_WM_ICON of each adopted window, kept until it changes:
    // the switcher asks for every application's icon each time it opens.
    std::unordered_map<xcb_window_t, std::optional<Image>> windowIcons;
    void forgetProperty(xcb_window_t window, xcb_atom_t atom);
    // What a write changed is read afresh, once: the reads after it share
    // their answers again. (An animation frame is never waited for, and
    // every read after one went to the server, a round trip each.)
    void forgetSharedAfterWrites() const
    {
        if (writesOutstanding && shared.afterWrite != writesSent)
            forgetWindowReads();
    }
    // Monitors and work areas are no write's to change: their own events
    // forget them.
    void forgetWindowReads() const
    {
        shared.stacking.reset();
        shared.props.clear();
        shared.hinted.clear();
        shared.desktop.reset();
        shared.afterWrite = writesSent;
    }
    // A request the window manager handles went out.
    void wrote()
    {
        writesOutstanding = true;
        ++writesSent;
    }
    // What `read` answers, or while reads are shared the answer it gave
    // before.
    template <class T, class Read>
    T sharedAnswer(std::optional<T> SharedReads::*slot, const Read& read) const
    {
        forgetSharedAfterWrites();
        if (sharingReads > 0 && shared.*slot)
            return *(shared.*slot);
        T answer = read();
        if (sharingReads > 0)
            shared.*slot = answer;
        return answer;
    }
    // What the manager lists in _NET_SUPPORTED: the frame-extents request
    // (our barrier, once it has been seen to answer one) and the extents
    // themselves (without them a frame is read from the frame window).
    bool extentsRequestListed = false;
    bool extentsRequestAnswered = false;
    // Asked at connection time and not yet answered: the first batch waits
    // out what is left of the answer's bound before choosing its barrier.
    bool extentsProbePending = false;
    std::chrono::steady_clock::time_point extentsProbeSent;
    // When each frame-extents request not yet answered was sent, oldest
    // first; the manager answers them in order.
    std::deque<std::chrono::steady_clock::time_point> extentsUnanswered;
    // The barriers' recent waits, oldest first.
    struct BarrierWait {
        std::chrono::steady_clock::time_point start;
        std::chrono::steady_clock::duration length;
        bool answered = true;
    };
    std::deque<BarrierWait> barrierWaits;
    bool extentsPublished = false;
    std::uint8_t xinputOpcode = 0;
    bool hasXInput = false;
    bool hasGestures = false;   // XInput 2.4
    std::uint8_t randrEventBase = 0;
    bool hasRandr = false;
    std::uint8_t xkbEventBase = 0;
    bool hasComposite = false;
    bool hasRes = false;
    bool hasXTest = false;
    xcb_atom_t atomWmChangeState = XCB_NONE;
    xcb_atom_t atomEdid = XCB_NONE;
    // Each output's EDID as last read (empty: it has none), until RandR
    // tells of a change: the displays are asked for many times a pass,
    // and under load each read is a round trip of several milliseconds.
    std::unordered_map<std::uint32_t, std::vector<std::uint8_t>> edids;
    xcb_atom_t atomRulesNames = XCB_NONE;
    xcb_atom_t atomOpacity = XCB_NONE;
    xcb_atom_t atomGtkFrameExtents = XCB_NONE;
    xcb_atom_t atomGtkApplicationId = XCB_NONE;
    xcb_atom_t atomKdeDesktopFile = XCB_NONE;
    std::int32_t ownPid = 0;

    bool open(const std::string& display, std::string* error);
    xcb_atom_t intern(const char* name) const;

    // Window numbers: never reused within a run, even when the server
    // reuses an id.
    mutable std::mutex numbersMutex;
    std::unordered_map<xcb_window_t, KnownWindow> known;
    std::unordered_map<WindowID, xcb_window_t> windowOf;
    WindowID nextNumber = 1;
    KnownWindow adopt(xcb_window_t window);
    void forget(xcb_window_t window);
    // Adoptions (under numbersMutex) whose event selection the server has
    // not yet been seen to take: a window the manager still listed may be
    // gone, and its id reused by a new window that would report nothing.
    std::vector<std::pair<xcb_window_t, xcb_void_cookie_t>> selecting;
    // Forgets the windows of those that the server refused; call only once
    // a reply to a later request has come, so that no check waits.
    void confirmAdopted(std::size_t count);
    std::optional<xcb_window_t> windowFor(WindowID number) const;
    std::optional<KnownWindow> knownFor(xcb_window_t window) const;
    // The windows of a process this backend has met and not seen destroyed,
    // oldest first; no round trip.
    std::vector<xcb_window_t> windowsOfPid(std::int32_t pid) const;
    // The owning process: _NET_WM_PID, else what the server knows of the
    // client, else a stand-in per client connection (negative).
    std::int32_t readPid(xcb_window_t window) const;

    // The managed windows, front to back, each adopted.
    std::vector<xcb_window_t> stacking();
    // Current properties of several windows, requested together (what is
    // remembered is not asked again); while reads are shared, each window's
    // once (every field but the hints).
    std::vector<ClientProps> read(const std::vector<xcb_window_t>& windows, unsigned fields);
    std::vector<ClientProps> readFresh(const std::vector<xcb_window_t>& windows, unsigned fields);
    ClientProps read(xcb_window_t window, unsigned fields) { return read(std::vector{window}, fields).front(); }
    // What is remembered of a window's `fields`, with no round trip: none
    // unless every one of them is.
    std::optional<ClientProps> rememberedOnly(xcb_window_t window, unsigned fields);
    void readFrameWindows(const std::vector<xcb_window_t>& windows, const std::vector<std::size_t>& which,
                          std::vector<ClientProps>& props) const;
    xcb_window_t frameOf(xcb_window_t window) const;
    std::optional<std::uint32_t> currentDesktopIndex() const;
    bool onShownDesktop(const ClientProps& props, std::optional<std::uint32_t> current) const;

    // Geometry. Inside, device pixels in root coordinates; at the
    // interfaces, points (`map`). A frame is what the user sees: the client
    // with the manager's decorations, without the margins it keeps for its
    // own shadows.
    DeviceMap map;
    ToolkitScreens toolkitScreens;
    Rect rootFrameOf(const ClientProps& props) const;
    Rect frameOf(const ClientProps& props) const { return map.toPoints(rootFrameOf(props)); }
    std::vector<Monitor> monitors() const;
    std::vector<Rect> workAreas() const;   // per desktop, root coordinates
    // The map for the monitors and scales now; whether it changed.
    bool refreshMap();
    double primaryHeight() const { return map.count() ? map.pointFrame(0).height() : 0; }

    // Frame writes: one step's request for every target still there, then
    // (for a batch) one barrier for the first size and the position, one for
    // the last size, and none for a step that found nothing to change. `ok` holds one answer per target;
    // a target that is gone or refuses turns false, a gone one is skipped by
    // later steps; a batch also turns false a window the manager ignored.
    struct Bounds {
        std::vector<Monitor> monitors;
        std::vector<Rect> workAreas;
        std::uint32_t desktop = 0;
    };
    Bounds bounds() const;
    // The client size that gives a visible frame of `wanted`, as the window
    // takes it: within the visible frame of its display, snapped down to its
    // size increments, within its maximum and never below its minimum.
    // `corner`: where its visible frame will stand, when not where it stands.
    Size clientSize(const Bounds& bounds, const ClientProps& props, Size wanted,
                    std::optional<Point> corner = std::nullopt) const;
    bool sizeSettable(const ClientProps& props) const;
    bool maximized(const ClientProps& props) const;
    void unmaximize(xcb_window_t window, const ClientProps& props);
    // `skipUnchanged`: leave out requests for what a window already has;
    // `known`: the displays' bounds when the caller has read them.
    // `current`: every target's window as the caller read it (the fields
    // of `stepFields`), with nothing sent since; else it is read.
    void sendStep(std::span<const FrameTarget> targets, WriteStep step, std::vector<bool>& ok,
                  std::vector<bool>& gone, bool skipUnchanged = false, const Bounds* known = nullptr,
                  const std::vector<ClientProps>* current = nullptr);
    // The size to ask of a window in a batch; none when it has it already or
    // the manager answered it with its own.
    std::optional<Size> sizeToSend(const Bounds& limits, const FrameTarget& target, const ClientProps& props,
                                   bool settled, std::optional<Point> corner) const;
    static constexpr unsigned stepFields = X11Fields::state | X11Fields::hints | X11Fields::geometry;
    // `landed`: where each window stands afterwards, in points; none for a
    // window gone; for one the manager has not answered within the bound,
    // the frame it was asked to take.
    std::vector<bool> writeFrames(std::span<const FrameTarget> targets,
                                  std::vector<std::optional<Rect>>* landed = nullptr);
    // Positions sent with no barrier, then a frame-extents request that
    // tells, without a wait, when the manager has handled them; false, and
    // nothing sent, while the one before is unanswered. A manager that
    // does not answer those requests is written as `writeFrames` does.
    bool glideFrames(std::span<const FrameTarget> targets);

    // Writes. They go through the window manager and settle later; the next
    // read waits for the manager to have handled them.
    // Leaves the flush to its caller, so that a batch leaves in one piece.
    // Device pixels, root coordinates.
    // `extents`: the decorations the manager will put around the client,
    // so that the notification of the move can be told apart.
    void moveResize(xcb_window_t window, std::optional<Point> frameTopLeft, std::optional<Size> clientSize,
                    const FrameExtents& extents = {});
    void changeState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second = XCB_NONE);
    void iconify(xcb_window_t window);
    void deiconify(xcb_window_t window);
    void restack(xcb_window_t window);
    void activateWindow(xcb_window_t window);
    void showDesktop(std::uint32_t desktop);
    // Waits, within `MainWaits::managerBound`, until the manager has handled the writes
    // sent so far (x11_settle.cpp); false when it gave up first, so that
    // what is read next may not show them yet.
    bool settleWrites();
    // One barrier for the writes outstanding.
    bool settleOnce();
    // The barrier itself, given up at `deadline`.
    bool settleBy(std::chrono::steady_clock::time_point deadline);
    // What the barriers may still wait within `MainWaits::waitBudget`.
    std::chrono::milliseconds barrierAllowance();
    // Whether a compositing manager runs: it owns _NET_WM_CM_S<n>.
    bool compositing() const;
    // What a write should bring, told by the written window's own
    // notifications: its client size, its client's corner in root
    // coordinates, or any change at all.
    struct Awaited {
        std::optional<std::pair<int, int>> size;
        std::optional<std::pair<int, int>> corner;
        bool anyChange = false;
    };
    std::map<xcb_window_t, Awaited> awaited;
    std::set<xcb_atom_t> awaitedRoot;   // root properties a request should change
    // Sizes the manager answered with another size of its own, in the batch
    // being written.
    std::map<xcb_window_t, std::pair<int, int>> constrained;
    // The last frame each window was sent, with the client size it took
    // and the decorations it had: decorations the manager adds or drops
    // later change the frame around that client, and the frame is sent
    // again (x11_frames.cpp). Any other request for the window drops it.
    struct Sent {
        FrameTarget target;
        Size client;
        FrameExtents extents;
        // Where the manager put it in answer, when it had answered.
        std::optional<Point> answered;
    };
    std::map<xcb_window_t, Sent> sent;
    // A position alone sent: the size and decorations sent before stand.
    void positionSent(xcb_window_t window, Sent had, Point origin, std::optional<Point> answered);
    void redecorated(xcb_window_t window);
    void await(xcb_window_t window, const Awaited& what);
    bool askFrameExtents(std::chrono::milliseconds allowance);
    // Until every frame-extents request sent is answered, or `allowance` ends.
    bool awaitExtentsAnswers(std::chrono::milliseconds allowance);
    // Waits, until `deadline` at most, for the written windows' own
    // notifications; `answered` when the manager has already been heard
    // from. False when the deadline cut it short.
    bool awaitNotifications(std::chrono::steady_clock::time_point deadline, bool answered = false);
    bool noteAnswer(const xcb_generic_event_t* event);
    // Returns once the server has handled everything sent so far.
    void roundTrip() const;
    // The running manager's name, as its check window tells it.
    std::optional<std::string> managerName() const;

    // Applications.
    std::vector<std::int32_t> appOrder;
    std::map<std::int32_t, std::set<xcb_window_t>> hiddenBy;   // windows iconified by hiding their app
    std::map<std::int32_t, xcb_window_t> lastFocused;
    std::optional<std::int32_t> notifiedFront;
    bool hiddenByApp(std::int32_t pid, xcb_window_t window) const;
    std::optional<xcb_window_t> activeWindow() const;
    std::optional<xcb_window_t> focusedOf(std::int32_t pid);
    std::optional<RunningApp> runningApp(std::int32_t pid);
    std::vector<RunningApp> runningApps();
    // Every program with windows, or only `only`'s entry.
    std::vector<RunningApp> apps(std::optional<std::int32_t> only);
    // The installed applications' desktop entries, read at first use.
    std::unique_ptr<DesktopEntries> entries;
    DesktopEntries& desktopEntries();
    // Entry icons through the toolkit, decoded once per icon name while the
    // entries stay as they were read.
    IconResolver iconResolver;
    std::map<std::string, std::optional<Image>> entryIcons;
    int entryIconsRead = 0;
    // The icon of the entry for `window`'s class.
    std::optional<Image> entryIcon(xcb_window_t window);

    // The XSETTINGS manager's "Gtk/EnableAnimations": none without a
    // manager, a readable property or that setting.
    xcb_atom_t atomXSettingsSelection = XCB_NONE;
    xcb_atom_t atomXSettings = XCB_NONE;
    xcb_atom_t atomManager = XCB_NONE;
    xcb_window_t xsettingsOwner = XCB_NONE;
    std::optional<std::int32_t> enableAnimations;
    void watchXSettings();
    void readXSettings();
    // True when the event was only the manager's.
    bool handleXSettingsEvent(const xcb_generic_event_t* event);

    // Grabbed swipes, as contact frames.
    std::function<void(const ContactFrame&)> onGestureFrame;
    GestureFrames gestureFrames;
    void handleGesture(const xcb_ge_generic_event_t* event);

    // Events.
    std::vector<std::function<void()>> pendingWork;
    std::function<void()> wakeup;
    Scheduler* scheduler = nullptr;
    bool dispatching = false;
    void handle(xcb_generic_event_t* event);
    void drainQueued();
    // Handles the events the server has sent, waiting for none.
    void takeSentEvents();
    void processEvents();
    void queue(std::function<void()> work);
    double lastSleepGap = 0;

    std::uint64_t nextObserver = 1;
    std::map<std::uint64_t, std::function<void(const RunningApp&)>> activationObservers;
    std::map<std::uint64_t, std::function<void()>> desktopObservers;
    std::map<std::uint64_t, std::function<void()>> wakeObservers;
    std::map<std::uint64_t, std::function<void()>> managerObservers;
    std::map<std::uint64_t, std::function<void()>> displayObservers;
    std::map<std::uint64_t, std::function<void(WindowID)>> closeObservers;
    std::map<std::uint64_t, std::function<void(WindowID)>> windowActivationObservers;
    // The active window as last told to those observers.
    std::optional<xcb_window_t> toldActive;
    void noteActiveWindow();
    std::map<std::uint64_t, std::pair<std::uint32_t, std::function<void(const MouseEvent&)>>> mouseMonitors;
    template <class Map>
    Handle observe(Map Impl::*observers, typename Map::mapped_type handler);
    void notifyAll(std::map<std::uint64_t, std::function<void()>> Impl::*observers);

    // Keyboard.
    xkb_context* xkbContext = nullptr;
    xkb_keymap* keymap = nullptr;
    std::int32_t keyboardDevice = -1;
    std::array<int, 256> classicOf{};   // server key code -> classic code, -1 none
    void loadKeymap();
    std::optional<xcb_keycode_t> serverKey(std::uint16_t classic) const;
    std::vector<std::string> layoutNames() const;
    std::optional<std::uint32_t> currentGroup() const;
    std::uint64_t flagsOfServerState(std::uint16_t state) const;
    std::optional<std::string> characters(std::uint16_t classic, std::uint32_t layout, bool forEvent) const;

    // Hot keys.
    std::function<void(std::uint32_t)> hotKeyHandler;
    std::map<SystemHotKeys::Ref, HotKeyGrab> hotKeys;
    SystemHotKeys::Ref nextHotKeyRef = 1;
    std::set<xcb_keycode_t> grabbedKeysDown;
    void handleKeyPress(const xcb_key_press_event_t* event);

    // The event tap.
    std::function<bool(const TapEvent&)> tap;
    bool tapRunning = false;
    bool keyboardGrabbed = false;
    std::set<xcb_keycode_t> keysDown;
    std::set<xcb_keycode_t> replayed;   // keys we typed again after passing them
    std::set<xcb_keycode_t> droppedKeys;   // hot-key presses the tap dropped
    std::set<std::uint8_t> buttonsDropped;
    std::uint32_t rawMask = 0;
    // Claimed combinations and the whole-keyboard hold (x11_keyboard_claims.cpp).
    std::map<std::pair<std::uint16_t, std::uint64_t>, HotKeyGrab> claims;
    bool keyboardHeld = false;
    // A combination in every state of the lock keys, grabbed whole or not
    // at all: refused while another client holds it by either protocol.
    bool grabCombination(xcb_keycode_t key, std::uint16_t mods);
    void ungrabCombination(xcb_keycode_t key, std::uint16_t mods);
    bool claimKey(std::uint16_t keyCode, std::uint64_t flags);
    void unclaimKey(std::uint16_t keyCode, std::uint64_t flags);
    bool holdKeyboard(bool hold);
    void handleGrabbedKey(xcb_keycode_t key, bool press, xcb_timestamp_t time);
    // The server time of each key's last raw press, and of its last press
    // that was no repeat: a core press at another time is a repeat.
    std::map<xcb_keycode_t, xcb_timestamp_t> rawPressedAt;
    std::map<xcb_keycode_t, xcb_timestamp_t> freshPressAt;
    bool motionPending = false;
    std::optional<Point> warpedTo;   // root coordinates
    void updateRawSelection();
    void grabTapButtons(bool grab);
    // `fromServer`: a raw event as the server sent it, not one made of a
    // core event.
    void handleRaw(const xcb_ge_generic_event_t* event, bool fromServer = true);
    void handleButton(const xcb_button_press_event_t* event, bool press);
    bool sendToTap(const TapEvent& event);
    std::uint64_t heldFlags() const;
    void deliverMouse(MouseEventType type);
    Point pointerTopLeft(std::uint16_t* mask = nullptr) const { return map.toPoints(pointerRoot(mask)); }
    Point pointerRoot(std::uint16_t* mask = nullptr) const;

    // Captures run on their own connection, so that workers never read the
    // main connection's events.
    std::string displayName;
    mutable std::mutex captureMutex;
    mutable xcb_connection_t* captureConn = nullptr;
    xcb_connection_t* captureConnection() const;
    // `map` for the capture workers.
    DeviceMap sharedMap;
    DeviceMap workerMap() const
    {
        std::lock_guard guard(captureMutex);
        return sharedMap;
    }
    std::optional<Image> captureWindow(xcb_window_t window, int width, int height) const;
    // The most a capture reads of a window at once, and the largest window
    // it reads at all (beyond any screen: 8192 × 8192 pixels).
    static constexpr std::int64_t captureBandBytes = 1 << 20;
    static constexpr std::int64_t captureLimitPixels = std::int64_t(8192) * 8192;

    // The program's own panels. Those at level 0 are managed windows, which
    // the manager restacks (once it manages them); the others bypass it.
    struct Panel {
        static constexpr int maxTries = 3;
        xcb_window_t window = XCB_NONE;   // none: nothing to restack (no native window)
        OwnPanel shown;
        bool managed = false;
        int tries = 0;                    // restacks since it was last in place
    };
    std::map<WindowID, Panel> panels;
    // Managed panels ordered out, until the manager lets them go.
    std::set<xcb_window_t> withdrawnPanels;
    // `again`: after the manager's stacking changed, not at the program's
    // request.
    void placePanel(WindowID number, bool again);
    // The top-level window of the lowest-stacked shown panel above `level`.
    xcb_window_t lowestPanelAbove(int level) const;
    void placePanelsAgain();
    // Whether the pointer is over a window of this process.
    bool pointerOnOwnWindow() const;
    std::set<std::uint32_t> ownClicks;   // buttons pressed over our own windows
};

template <class Map>
Handle X11Desktop::Impl::observe(Map Impl::*observers, typename Map::mapped_type handler)
{
    const std::uint64_t id = nextObserver++;
    (this->*observers).emplace(id, std::move(handler));
    return Handle::withCancel([weak = weak_from_this(), observers, id] {
        if (auto impl = weak.lock())
            ((*impl).*observers).erase(id);
    });
}

// What every interface of the backend holds: the inside it answers from.
struct X11Facade {
    explicit X11Facade(X11Desktop::Impl& impl) : impl(impl) {}
    X11Desktop::Impl& impl;
};

// The interfaces, each made in the file of its facility.
std::unique_ptr<Accessibility> makeX11Accessibility(X11Desktop::Impl& impl);
std::unique_ptr<WindowServer> makeX11WindowServer(X11Desktop::Impl& impl);
std::unique_ptr<SystemWorkspace> makeX11Workspace(X11Desktop::Impl& impl);
std::unique_ptr<Displays> makeX11Displays(X11Desktop::Impl& impl);
std::unique_ptr<SystemHotKeys> makeX11HotKeys(X11Desktop::Impl& impl);
std::unique_ptr<EventTap> makeX11EventTap(X11Desktop::Impl& impl);
std::unique_ptr<Mouse> makeX11Mouse(X11Desktop::Impl& impl);
std::unique_ptr<Keyboard> makeX11Keyboard(X11Desktop::Impl& impl);
std::unique_ptr<Multitouch> makeX11Multitouch(X11Desktop::Impl& impl);
std::unique_ptr<WindowCapture> makeX11Capture(X11Desktop::Impl& impl);
std::unique_ptr<LoginItem> makeX11LoginItem();
std::unique_ptr<BrowserScripting> makeX11Browsers();
std::unique_ptr<AppInfo> makeX11AppInfo();

// The displays: the monitors in order, primary first, with unique names.
std::vector<Screen> screensOf(X11Desktop::Impl& impl);

// The program file of a running process.
std::optional<std::string> executableOf(std::int32_t pid);

// The four states of the lock keys a grab must cover.
inline constexpr std::array<std::uint16_t, 4> lockCombinations{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                               XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

// The child of the root that holds `window` (its frame under a reparenting
// manager).
xcb_window_t topLevel(xcb_connection_t* c, xcb_window_t window);
// The same for many windows, in as many round trips as the deepest needs.
std::vector<xcb_window_t> topLevels(xcb_connection_t* c, const std::vector<xcb_window_t>& windows);

// Classic virtual key codes and the XKB names of the keys in their places.
namespace X11Keys {
std::optional<std::string_view> keyName(std::uint16_t classic);
const std::vector<std::pair<std::uint16_t, std::string_view>>& table();
} // namespace X11Keys

// Scales an RGBA picture by averaging the source pixels under each target pixel.
Image scaled(const Image& source, int width, int height);

} // namespace kavelo
