#pragma once

// The screenshot renderer: the program's main screens, filled with sample
// windows and workflows, drawn offscreen into PNG files. Each view is the
// program's own; only its inputs are made here. Animations run on a
// scheduler of our own, advanced until they rest, so the same settings give
// the same bytes. Needs a QApplication (offscreen is enough).

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace kavelo {
class Multitouch;
}

namespace kavelo::Previews {

struct Screen {
    std::string file;   // begins with "/"
    int width = 0;      // points
    int height = 0;     // 0: as tall as the view needs at that width
    double scale = 1;   // pixels per point
};

// The fifteen pictures, in the order they are made.
const std::vector<Screen>& screens();

// Hears each view once it has settled, just before its picture is taken.
using Inspector = std::function<void(const Screen& screen, QWidget& view)>;

// Writes every picture into `directory` (which it never creates), with
// every setting it does not sample read from the defaults file
// `userDefaults`. The Arrange page asks `trackpads`, those of the desktop
// the program runs on, whether swipes reach it, as it does live. The paths
// of the pictures it could not write; the others are written all the same.
std::vector<std::string> render(const std::string& directory, const std::filesystem::path& userDefaults,
                                const Multitouch& trackpads, const Inspector& inspect = {});

} // namespace kavelo::Previews
