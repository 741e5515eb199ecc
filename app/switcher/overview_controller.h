#pragma once

// The window overview: a full-screen panel on the display under the
// pointer with every window as a card, four scopes, search, keyboard
// navigation and the first saved workflows. The controller opens it with a
// fresh catalog, keeps the model, turns key presses into model changes,
// closes it and raises the window the user picks.
//
// The front window keeps the input focus: while the overview is open its
// panel holds the keyboard instead. Nothing shows before that hold is
// taken; a hold refused for `keyboardWait` seconds (another client keeps
// the keyboard, the overview's own hot key until its release, a screen
// locker) leaves the overview closed and says so in the log.

#include "app/platform/handle.h"
#include "app/services/desktop.h"
#include "app/services/recent_windows.h"
#include "app/services/thumbnail_cache.h"
#include "app/services/thumbnails.h"
#include "app/switcher/overview_model.h"
#include "app/switcher/overview_panel.h"
#include "core/direction.h"
#include "core/window_entry.h"
#include "core/workspace.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kavelo {

class OverviewController {
public:
    // Makes the panel on the first opening; the panel lives as long as the
    // controller.
    using PanelFactory = std::function<std::unique_ptr<OverviewPanel>(OverviewController&)>;
    // Starts loading the pictures of the windows, sized for their cards on
    // a screen of the given scale; nothing when thumbnails are off.
    using ThumbnailLoader = std::function<std::unique_ptr<Thumbnails::Task>(
        const Desktop&, std::vector<Thumbnails::Request>, double scale, Thumbnails::ImageHandler)>;

    static constexpr double fadeDuration = 0.12;     // seconds, the fade-in
    static constexpr double keyboardWait = 0.5;      // seconds a refused hold is retried
    static constexpr double keyboardRetry = 0.05;    // seconds between tries
    static constexpr double paintAheadDelay = 0.1;   // seconds after closing
    static constexpr double reservedHeight = 220;    // points of the screen not given to cards
    static constexpr int minimumColumns = 3;
    static constexpr int maximumColumns = 6;
    static constexpr const char* keyboardHeldMessage = "overview did not open: the keyboard is held by another app";

    // The pictures go into `thumbnails`, shared with the switcher; without
    // one the controller keeps its own.
    OverviewController(const Desktop& desktop, PanelFactory makePanel, ThumbnailCache* thumbnails = nullptr);
    ~OverviewController();
    OverviewController(const OverviewController&) = delete;
    OverviewController& operator=(const OverviewController&) = delete;

    OverviewModel& model() { return model_; }
    const OverviewModel& model() const { return model_; }
    // Absent until the first opening.
    OverviewPanel* panel() const { return panel_.get(); }
    // Shown, with the keyboard held.
    bool isOpen() const { return open_; }
    // Waiting for the keyboard before showing.
    bool isWaitingForKeyboard() const { return waiting_.pending(); }
    // The display it stands on while open.
    std::optional<std::uint32_t> displayID() const { return open_ ? std::optional(displayID_) : std::nullopt; }

    // Opens the overview, or re-opens it afresh while open.
    void show();
    // Closes it at once; safe when it never opened.
    void hide();

    // A key press as a classic key code and event flags; true when taken.
    bool handle(std::uint16_t keyCode, std::uint64_t flags);
    void move(Direction direction);
    // Closes the overview, then raises the window.
    void open(const WindowEntry& entry);
    // The view's permission button: closes, then `showPermissions`.
    void fixPermissions();
    // The view's workflow buttons: closes, then `switchWorkflow`.
    void chooseWorkflow(const std::string& name);

    // Set by the shell.
    std::function<void()> showPermissions = [] {};
    std::function<std::vector<Workspace>()> loadWorkflows = [] { return std::vector<Workspace>{}; };
    std::function<void(const std::string& name)> switchWorkflow = [](const std::string&) {};
    std::function<void(const std::string& line)> log = [](const std::string&) {};
    // The order the windows were used in; without it the catalog's.
    RecentWindows* recentWindows = nullptr;
    ThumbnailLoader loadThumbnails = Thumbnails::loadSized;

    // The pictures of the current opening are being loaded (tests).
    Thumbnails::Task* thumbnailTask() const { return thumbnailTask_.get(); }
    ThumbnailCache& thumbnailCache() const { return *cache_; }

private:
    void present();
    // The closed panel made ready, out of sight, for the next opening:
    // every window, no search, the first selected.
    void paintAhead();
    void startMonitors();
    // The cache's pictures of the cards, shown at once; returns what to capture.
    std::vector<Thumbnails::Request> showKeptThumbnails();
    void startThumbnails(std::vector<Thumbnails::Request> requests);
    void stepFade();
    void clicked(Point bottomLeft);
    void displaysChanged();

    Desktop desktop_;
    PanelFactory makePanel_;
    std::unique_ptr<ThumbnailCache> ownCache_;
    ThumbnailCache* cache_;
    // Device pixels per point of the screen the overview opened on.
    double screenScale_ = 1;
    Handle dropped_;
    OverviewModel model_;
    std::unique_ptr<OverviewPanel> panel_;
    std::unordered_map<WindowID, ElementRef> elements_;
    std::unique_ptr<Thumbnails::Task> thumbnailTask_;
    std::vector<std::unique_ptr<Thumbnails::Task>> retiredTasks_;
    int opening_ = 0;
    bool open_ = false;
    std::uint32_t displayID_ = 0;
    double screenWidth_ = 0;
    Rect frame_;
    Seconds fadeStart_{0};
    Handle waiting_;
    Handle fade_;
    Handle keyMonitor_;
    Handle clickMonitor_;
    Handle displayWatch_;
    Handle raise_;
    Handle ahead_;
};

} // namespace kavelo
