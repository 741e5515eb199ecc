#pragma once

// Widgets need one QApplication for the whole test binary; it is made before
// the first test and torn down after the last.

#include <QImage>

#include <string>
#include <vector>

namespace kavelo::testing {

// Pixels whose alpha is above `threshold`.
int opaquePixels(const QImage& image, int threshold = 16);

// Where the tests leave their pictures: $KAVELO_PNG_DIR, else the test
// temporary folder.
std::string pictureFolder();

// Qt's warnings since the last call, less the offscreen platform's own.
std::vector<std::string> takeQtWarnings();

} // namespace kavelo::testing
