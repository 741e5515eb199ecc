#pragma once

// The overview cards' pictures, fitted to their cards and rounded. Opening
// the overview waits on the window server for several milliseconds before
// its first paint; making the pictures meanwhile on worker threads leaves
// that paint only copying them.

#include "app/platform/image.h"
#include "core/window_entry.h"

#include <QImage>
#include <QSize>

#include <future>
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
    // Waits for the workers: they may still use Qt's image code.
    ~CardPictures();

    // Starts making these, in this order; what is made or being made
    // already, from the same picture at the same size, is not made again.
    void prepare(const std::vector<Job>& jobs);
    // The window's picture from `source` at `size`: made ahead (waiting for
    // it if it is still being made), or made now.
    const QImage* get(WindowID window, const SharedImage& source, QSize size);
    void erase(WindowID window);
    void clear();
    std::size_t size() const { return entries_.size(); }
    // Workers still running (tests).
    std::size_t running();

private:
    struct Entry {
        SharedImage source;
        QSize size;
        QImage image;
        std::shared_future<QImage> pending;
    };
    std::unordered_map<WindowID, Entry> entries_;
    std::vector<std::future<void>> workers_;
};

} // namespace kavelo
