#pragma once

// The picture of a fake window that stands in for a thumbnail in the
// screenshots: a light window with its title bar, three window buttons,
// its title and the sample lines of its title.

#include "app/platform/image.h"
#include "core/window_entry.h"

#include <QImage>

namespace kavelo::SampleWindow {

inline constexpr int width = 480;
inline constexpr int height = 300;

// `scale` device pixels per point, as a capture on a scaled monitor.
QImage picture(const WindowEntry& window, double scale = 1);
// The same as a toolkit-free image, as thumbnails are kept.
Image image(const WindowEntry& window, double scale = 1);

} // namespace kavelo::SampleWindow
