#pragma once

// Small pictures of windows for the switcher's and the overview's cards.
// Captures run on a pool of worker threads; each picture is handed to the
// main thread as soon as it is ready, so they arrive in the order the
// captures finish. Nothing is captured without the capture permission.

#include "app/platform/image.h"
#include "app/services/desktop.h"
#include "core/window_entry.h"

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace kavelo::Thumbnails {

// Pictures are at most this many pixels wide.
inline constexpr double maximumWidth = 480;
// Captures running at once for one task.
inline constexpr std::size_t workers = 4;

// Pixel size of the picture of a window `frameSize` points large, for a
// card whose picture area is `box` points, on a screen of `scale` device
// pixels per point: the window's proportions, fitted inside the box, at
// most `maximumWidth` points wide, never larger than the window itself,
// never below 1 × 1. No value for a size that is not finite. Every picture's
// size is decided here.
std::optional<std::pair<int, int>> pixelSize(Size frameSize, Size box, double scale);
// Without a card: at most `maximumWidth` pixels wide, at scale 1.
std::optional<std::pair<int, int>> pixelSize(Size frameSize);

// A window and the picture area (points) of the largest card to show it.
struct Request {
    WindowID id = 0;
    Size box{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    friend bool operator==(const Request&, const Request&) = default;
};

using ImageHandler = std::function<void(WindowID, Image)>;

// One run of `load`. Its owner keeps it while the pictures are wanted;
// `cancel()` stops further captures and drops pictures still on their way
// to the main thread, and destroying the task cancels it and waits for the
// captures in flight (each worker finishes at most the one it holds).
class Task {
public:
    ~Task();
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;

    // Main thread. Idempotent; no picture reaches the handler afterwards.
    void cancel();
    bool isCancelled() const;
    // Every capture has ended (its picture may still be queued).
    bool isFinished() const;
    // Blocks until every capture has ended; pictures are still delivered
    // through the main thread's queue.
    void wait();

private:
    friend std::unique_ptr<Task> loadSized(const Desktop&, std::vector<Request>, double, ImageHandler);
    struct State;
    explicit Task(std::shared_ptr<State> state);

    std::shared_ptr<State> state_;
    std::thread runner_;
};

// Starts capturing the windows `ids` (window-list numbers as the catalog
// gives them, in the caller's order); `onImage` runs on the main thread once
// per picture. Identities the capture service does not know (synthetic
// ones, closed windows) are skipped; failed captures give nothing.
[[nodiscard]] std::unique_ptr<Task> load(const Desktop& desktop, std::vector<WindowID> ids, ImageHandler onImage);
// The same with each picture sized for its card on a screen of `scale`;
// captures start in the order of `requests` (the order on screen).
[[nodiscard]] std::unique_ptr<Task> loadSized(const Desktop& desktop, std::vector<Request> requests, double scale,
                                              ImageHandler onImage);

} // namespace kavelo::Thumbnails
