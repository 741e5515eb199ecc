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
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace kavelo::Thumbnails {

// Pictures are at most this many pixels wide.
inline constexpr double maximumWidth = 480;
// Captures running at once for one task.
inline constexpr std::size_t workers = 4;

// Pixel size of the picture of a window `frameSize` points large: the
// window's proportions, at most `maximumWidth` wide, never enlarged, never
// below 1 × 1. No value for a size that is not finite.
std::optional<std::pair<int, int>> pixelSize(Size frameSize);

using ImageHandler = std::function<void(WindowID, const Image&)>;

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
    friend std::unique_ptr<Task> load(const Desktop&, std::vector<WindowID>, ImageHandler);
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

} // namespace kavelo::Thumbnails
