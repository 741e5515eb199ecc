#pragma once

// The overview cards' pictures, fitted to their cards and rounded, and
// cards at rest drawn whole around them. Opening the overview lays out and
// paints its panel before the grid; making these meanwhile on worker
// threads leaves the grid's first paint only copying them.

#include "app/platform/image.h"
#include "app/switcher/views/window_card.h"
#include "core/window_entry.h"

#include <QImage>
#include <QSize>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kavelo {

class CardPictures {
public:
    // A card at rest, drawn into an image of `pixels` with `card.paint` in
    // `cell`; its picture is the job's, its icon the one given here.
    struct Resting {
        WindowCard card;
        QImage icon;
        QRectF cell;
        QSize pixels;
        double ratio = 1;
        // The card around `picture`, as the grid draws one at rest.
        QImage drawn(const QImage& picture) const;
        // Whether `other` draws the same card.
        bool same(const Resting& other) const;
    };
    struct Job {
        WindowID window = 0;
        SharedImage source;
        QSize size;          // device pixels
        double ratio = 1;    // device pixels per point of the picture
        std::optional<Resting> resting;
    };

    CardPictures() = default;
    CardPictures(const CardPictures&) = delete;
    CardPictures& operator=(const CardPictures&) = delete;
    // Stops the workers once the picture each is making is made.
    ~CardPictures();

    // Queues these, in this order; what is made or queued already, from the
    // same picture at the same size, is not made again.
    void prepare(const std::vector<Job>& jobs);
    // The window's picture from `source` at `size` for `ratio`: made ahead
    // (waiting for it if it is still being made), or made now.
    const QImage* get(WindowID window, const SharedImage& source, QSize size, double ratio = 1);
    // The card drawn ahead around that picture (at the card's ratio), when
    // one was asked for the same card (waiting for it if it is still being
    // drawn), handed over once: the grid keeps it while the card is built.
    // A null image else.
    QImage takeResting(WindowID window, const SharedImage& source, QSize size, const Resting& card);
    // Forgets pictures; those still queued for them are not made.
    void erase(WindowID window);
    void clear();
    // Returns once no worker is drawing: what one draws fills the shared
    // shadow and plate caches.
    void waitForDrawing();
    std::size_t size() const { return entries_.size(); }
    // Pictures queued and not yet started (tests).
    std::size_t queued() const;

private:
    struct Made {
        QImage picture;
        QImage resting;
    };
    struct Work {
        Job job;
        QImage picture;   // made already: only the card is drawn
        std::uint64_t serial = 0;
        std::promise<Made> made;
    };
    struct Entry {
        SharedImage source;
        QSize size;
        double ratio = 1;
        std::optional<Resting> resting;
        Made images;
        std::shared_future<Made> pending;
        std::uint64_t work = 0;   // the serial of the work it waits for
    };
    void run();
    static Made perform(const Work& work);
    // Takes what was made for `entry`: waits for a worker that started it,
    // makes it here if none has.
    void finish(Entry& entry);
    // Drops queued work that no entry waits for any more.
    void dropUnwanted();

    std::unordered_map<WindowID, Entry> entries_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    int running_ = 0;
    std::deque<std::unique_ptr<Work>> queue_;
    std::uint64_t serial_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace kavelo
