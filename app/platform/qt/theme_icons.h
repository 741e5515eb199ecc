#pragma once

// Desktop-entry icons through Qt: an absolute file is read as it is; a name
// is looked up in the icon theme (the desktop's theme, else "hicolor") in
// the XDG icon folders, then among the data folders' "pixmaps". Needs a
// QGuiApplication. SVG icons need Qt's SVG plugin (libqt6svg6); without it
// they are not found, and the window's own icon is shown instead.

#include "app/platform/desktop_backend.h"

#include <optional>
#include <string_view>

namespace kavelo::ThemeIcons {

// The icon at its own size, no larger than `size` pixels square.
std::optional<Image> resolve(std::string_view icon, int size);

// `resolve` for a backend.
IconResolver resolver();

} // namespace kavelo::ThemeIcons
