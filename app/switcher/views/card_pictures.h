#pragma once

// The overview cards' pictures, fitted to their cards and rounded. Opening
// the overview waits on the window server for several milliseconds before
// its first paint; making the pictures meanwhile on worker threads leaves
// that paint only copying them.

#include "app/platform/image.h"
#include "core/window_entry.h"

#include <QImage>
#include <QSize>

#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kavelo {

class CardPictures {
public:
    struct Job {
        WindowID window = 0;
        SharedImage source;
        QSize size;
    };

    CardPictures() = default;
    CardPictures(const CardPictures&) = delete;
    CardPictures& operator=(const CardPictures&) = delete;
    // Stops the workers once the picture each is making is made.
    ~CardPictures();

    // Queues these, in this order; what is made or queued already, from the
    // same picture at the same size, is not made again.
    void prepare(const std::vector<Job>& jobs);
    // The window's picture from `source` at `size`: made ahead (waiting for
    // it if it is still being made), or made now.
    const QImage* get(WindowID window, const SharedImage& source, QSize size);
    // Forgets pictures; those still queued for them are not made.
    void erase(WindowID window);
    void clear();
    std::size_t size() const { return entries_.size(); }
    // Pictures queued and not yet started (tests).
    std::size_t queued() const;

private:
    struct Work {
        Job job;
        std::promise<QImage> made;
    };
    struct Entry {
        SharedImage source;
        QSize size;
        QImage image;
        std::shared_future<QImage> pending;
    };
    void run();
    // Drops queued work that no entry waits for any more.
    void dropUnwanted();

    std::unordered_map<WindowID, Entry> entries_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::unique_ptr<Work>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace kavelo
