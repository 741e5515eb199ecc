#pragma once

// The pictures the switcher's views draw, each made once per session: a
// window's thumbnail scaled to each size a view draws it at, straight from
// the model's shared picture (no full-size copy is kept), and an
// application's icon read the first time a view needs it. `reset` lets go
// of them all.

#include "app/platform/image.h"
#include "app/switcher/switcher_model.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>
#include <map>
#include <tuple>
#include <optional>
#include <unordered_map>

namespace kavelo {

class SwitcherPictures {
public:
    // The icon of the running application with a process id, none without one.
    using IconSource = std::function<std::optional<Image>(std::int32_t pid)>;

    SwitcherPictures(const SwitcherModel& model, IconSource icons);

    // A new session, or the panel went away: every picture goes.
    void reset();
    // The model holds a new picture of `window`, or none any more.
    void thumbnailArrived(WindowID window);

    // The size of the model's picture; none when there is none (yet).
    std::optional<QSize> thumbnailSize(WindowID window) const;
    // The thumbnail scaled to `size` once, so painting copies it rather
    // than filtering a large picture on every paint. Null without one.
    const QImage* thumbnail(WindowID window, QSize size);
    // The application's icon scaled to `side` × `side` once, so painting
    // never scales it.
    const QImage* icon(std::int32_t pid, double side);
    // The icon as the application gives it.
    const QImage* icon(std::int32_t pid);

    static QImage toQImage(const Image& image);
    // `image` scaled to `size` in the form the painter draws fastest.
    static QImage scaledPicture(const Image& image, QSize size);

    // How many icons were read from the system this session.
    int iconReads() const { return iconReads_; }

private:
    const SwitcherModel& model_;
    IconSource icons_;
    std::map<std::tuple<WindowID, int, int>, QImage> scaledThumbnails_;
    std::unordered_map<std::int32_t, std::optional<QImage>> iconCache_;
    std::map<std::pair<std::int32_t, int>, QImage> scaledIcons_;
    int iconReads_ = 0;
};

// A window's caption: its title, or its application's name when untitled.
QString caption(const WindowEntry& window);

} // namespace kavelo
