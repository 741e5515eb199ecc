#pragma once

// A deterministic desktop that tests and headless runs drive: displays with
// their desktops, applications, windows with their quirks, input, and the
// program's own panels. It implements every platform interface; the driving
// calls below change it the way a user or another application would.
//
// Coordinates: window frames and the pointer are kept top-left; display
// frames bottom-left, primary first, as the interfaces give them.
//
// Threads: everything is meant for the main thread except
// `deliverTouches` and the window-capture calls, which are safe anywhere.

#include "app/platform/platform.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kavelo {

enum class DockEdge { none, bottom, left, right };
std::string_view rawValue(DockEdge edge);
std::optional<DockEdge> DockEdge_from(std::string_view raw);

struct SimDisplay {
    std::uint32_t id = 0;           // 0: the next free one
    std::string name;               // made unique with a " (2)" suffix
    Rect frame;                     // bottom-left form
    double menuBar = 25;            // kept free at the top
    DockEdge dock = DockEdge::none;
    double dockSize = 0;
    std::uint32_t vendor = 0;
    std::uint32_t model = 0;
    std::uint32_t serial = 0;
    std::vector<std::uint64_t> desktops;   // empty: one new desktop
    std::uint64_t currentDesktop = 0;      // 0: the first one
    double scale = 1;                      // device pixels per point

    Rect visibleFrame() const;
    friend bool operator==(const SimDisplay&, const SimDisplay&) = default;
};

struct SimApp {
    std::int32_t pid = 0;           // 0: the next free one
    std::optional<std::string> bundleID;
    std::optional<std::string> name;
    ActivationPolicy policy = ActivationPolicy::regular;
    bool hidden = false;
    bool answers = true;            // answers accessibility requests
    std::optional<WindowID> focused;
    friend bool operator==(const SimApp&, const SimApp&) = default;
};

struct SimWrite {
    enum class Kind { position, size } kind = Kind::position;
    double a = 0;   // x or width
    double b = 0;   // y or height
    friend bool operator==(const SimWrite&, const SimWrite&) = default;
};

struct SimWindow {
    WindowID number = 0;            // 0: the next number; numbers are never reused
    std::int32_t pid = 0;
    std::string title;
    std::optional<std::string> subrole = std::string(standardWindowSubrole);
    std::optional<std::string> document;
    Rect frame;                     // top-left form
    Size minSize;
    std::optional<Size> maxSize;
    Size sizeIncrement;             // 0: any size
    bool refusesMoves = false;
    // Takes no input (an X clock): activating its application raises it,
    // but the application does not come to the front.
    bool declinesFocus = false;
    bool sizeSettable = true;
    // Writes wait until `settle()`, or `deferSeconds` on an attached scheduler.
    bool defersWrites = false;
    double deferSeconds = 0;
    bool minimized = false;
    bool fullScreen = false;
    bool numberReadable = true;
    bool accessible = true;         // reachable through accessibility
    std::uint64_t desktop = 0;      // 0: the shown desktop of the display under the frame
    bool allDesktops = false;
    std::int32_t layer = 0;
    double alpha = 1;
    bool visible = true;            // false: ordered out (panels)
    std::vector<SimWrite> pending;
    friend bool operator==(const SimWindow&, const SimWindow&) = default;
};

struct SimCounters {
    int reads = 0;
    int writes = 0;          // every write request, refused ones included
    int positionWrites = 0;
    int sizeWrites = 0;
    int minimizedWrites = 0;
    int raises = 0;
    friend bool operator==(const SimCounters&, const SimCounters&) = default;
};

struct SimInstalledApp {
    std::string location;
    std::optional<std::string> name;
    friend bool operator==(const SimInstalledApp&, const SimInstalledApp&) = default;
};

struct SimBrowserWindow {
    bool isPrivate = false;
    std::vector<std::string> tabs;
    friend bool operator==(const SimBrowserWindow&, const SimBrowserWindow&) = default;
};

struct SimBrowser {
    bool scriptable = true;
    std::vector<SimBrowserWindow> windows;
    friend bool operator==(const SimBrowser&, const SimBrowser&) = default;
};

// What the program asked the workspace to open.
struct SimRequest {
    std::string kind;               // "launch" or "openURLs"
    std::vector<std::string> urls;
    std::optional<std::string> location;
    bool activates = false;
    friend bool operator==(const SimRequest&, const SimRequest&) = default;
};

struct SimHotKey {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;
    std::uint32_t id = 0;
    friend bool operator==(const SimHotKey&, const SimHotKey&) = default;
};


class SimDesktop : public OwnedInterfaces {
public:
    // One 1440 × 900 display, this program (an accessory application) and
    // nothing else; trusted, capture allowed.
    SimDesktop();
    ~SimDesktop();
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    Platform platform(Scheduler& scheduler, Clock& clock);

    // Deferred writes with `deferSeconds` use it; without one they wait for
    // `settle()`.
    void attach(Scheduler* scheduler);

    // The whole state. `load` replaces it and fails (changing nothing) when
    // the JSON does not describe a desktop.
    nlohmann::json dump() const;
    bool load(const nlohmann::json& state);
    static constexpr const char* stateVariable = "KAVELO_SIM_STATE";
    static std::optional<std::filesystem::path> stateFileFromEnvironment();
    bool loadFile(const std::filesystem::path& path);
    std::error_code saveFile(const std::filesystem::path& path) const;
    // For a headless run: loads the state file named by the environment.
    // Without the variable, or while the file does not exist yet, the
    // desktop stays as it is; false only for a file that cannot be loaded.
    bool loadFromEnvironment();
    // Writes the state back to that file; nothing without the variable.
    std::error_code saveToEnvironment() const;

    // Numbers (display ids, desktops, pids, window numbers) never wrap: the
    // add calls answer 0 and add nothing once a counter reached its type's
    // last value, and `load` refuses a state holding such a number.

    // Displays. Adding, removing and resizing tell the change observers.
    std::uint32_t addDisplay(SimDisplay display);
    // Windows of its desktops move to the primary's shown desktop.
    bool removeDisplay(std::uint32_t id);
    bool setDisplayFrame(std::uint32_t id, Rect frame);
    bool setReservations(std::uint32_t id, double menuBar, DockEdge dock, double dockSize);
    std::optional<SimDisplay> display(std::uint32_t id) const;
    std::vector<SimDisplay> displayList() const;
    std::uint64_t addDesktop(std::uint32_t displayID);
    // Tells the desktop-change observers.
    bool switchDesktop(std::uint32_t displayID, std::uint64_t desktop);

    // Applications.
    std::int32_t addApp(SimApp app);
    // Quits it: its windows close.
    bool removeApp(std::int32_t pid);
    std::optional<SimApp> app(std::int32_t pid) const;
    std::optional<std::int32_t> frontmost() const;
    bool setAppAnswers(std::int32_t pid, bool answers);
    void install(std::string bundleID, SimInstalledApp app);

    // Windows. A new window goes to the front and becomes its application's
    // focused window.
    WindowID addWindow(SimWindow window);
    bool closeWindow(WindowID number);
    std::optional<SimWindow> window(WindowID number) const;
    // Edits a window in place (frame, title, document, quirks ...).
    bool modifyWindow(WindowID number, const std::function<void(SimWindow&)>& change);
    bool moveToDesktop(WindowID number, std::uint64_t desktop);
    // As a click would: focuses the window, raises it, activates its app.
    bool focusWindow(WindowID number);
    // Every window, panels included, front to back (by layer, then stacking).
    std::vector<WindowID> stacking() const;
    // Applies every pending write.
    void settle();
    SimCounters counters(WindowID number) const;
    void resetCounters();

    // System settings.
    void setTrusted(bool trusted);
    void setCaptureAllowed(bool allowed);
    // Whether the user grants trust and capture at all (as on the other
    // platform), or every program has them (as on X11); asked at first.
    void setAsksPermissions(bool asks);
    // What answering the capture request does.
    void setCaptureGrantedOnRequest(bool granted);
    void setReducedMotion(bool on);
    // Whether a compositing manager blends translucent panels; on at first.
    void setBlendsPanels(bool on);
    void setPreference(std::string domain, std::string key, nlohmann::json value);
    // The name the window manager gives itself; none at first.
    // Tells the window-manager observers, as a new manager taking over would.
    void setWindowManagerName(std::optional<std::string> name);
    void setInfoValue(std::string key, std::string value);
    void setLoginItem(LoginItemStatus status, bool refusesChanges = false);
    void setBrowser(std::string bundleID, SimBrowser browser);
    std::optional<SimBrowser> browser(std::string_view bundleID) const;
    std::vector<SimRequest> requests() const;
    int trustRequests() const;
    // How often the running applications were read.
    int appListReads() const;

    // Input. Keys, flags, scrolls and other mouse buttons go through the
    // event tap first; each returns whether the tap dropped the event. A key
    // down that passes and matches a registered hot key runs its handler.
    bool pressKey(std::uint16_t keyCode, std::uint64_t flags = 0, bool autorepeat = false);
    bool releaseKey(std::uint16_t keyCode, std::uint64_t flags = 0);
    // Sets both modifier states.
    bool changeFlags(std::uint64_t flags);
    bool scroll(double deltaX, double deltaY, bool continuous, std::uint64_t flags);
    // Button 0 left, 1 right (global monitors), 2 and up through the tap.
    bool pressButton(int button);
    bool releaseButton(int button);
    void movePointer(Point topLeft);
    Point pointer() const;   // top-left
    void setModifierState(ModifierSource source, std::uint64_t flags);
    // The system switches the tap off and tells it so.
    void disableTap(TapEventType why);
    bool tapEnabled() const;
    void setCurrentLayout(std::optional<std::string> layout);
    // Another application holds the combination.
    void takeHotKey(std::uint32_t keyCode, std::uint32_t modifiers);
    // The other application lets the combination go.
    void releaseHotKey(std::uint32_t keyCode, std::uint32_t modifiers);
    std::vector<SimHotKey> registeredHotKeys() const;
    // What the tap claimed (key code, event flags) and whether this program
    // holds the keyboard.
    std::vector<std::pair<std::uint16_t, std::uint64_t>> claims() const;
    bool keyboardHeld() const;
    // Another client (a screen locker) holds the keyboard: a hold is refused.
    void holdKeyboardElsewhere(bool held);
    void setTrackpads(int count);
    bool multitouchRunning() const;
    // From any thread; runs the frame callback on this thread. False when
    // nothing is listening.
    bool deliverTouches(const ContactFrame& frame);
    // The machine woke.
    void wake();

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace kavelo
