#pragma once

// The picture of a fake window that stands in for a thumbnail in the
// screenshots: a light window with a plain title bar, its title on the
// left and the minimize, maximize and close buttons on the right in the
// theme's neutral grey, and the sample lines of its title.

#include "app/platform/image.h"
#include "core/window_entry.h"

#include <QImage>

namespace kavelo::SampleWindow {

inline constexpr int width = 480;
inline constexpr int height = 300;
inline constexpr int titleBarHeight = 34;
inline constexpr int titleInset = 12;
// From one window button's left edge to the next one's.
inline constexpr int buttonPitch = 24;

// `scale` device pixels per point, as a capture on a scaled monitor.
QImage picture(const WindowEntry& window, double scale = 1);
// The same as a toolkit-free image, as thumbnails are kept.
Image image(const WindowEntry& window, double scale = 1);

} // namespace kavelo::SampleWindow
