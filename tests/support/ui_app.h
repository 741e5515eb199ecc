#pragma once

// Widgets need one QApplication for the whole test binary; it is made before
// the first test and torn down after the last.

#include <QImage>

#include <string>

namespace kavelo::testing {

// Pixels whose alpha is above `threshold`.
int opaquePixels(const QImage& image, int threshold = 16);

// Where the tests leave their pictures: $KAVELO_PNG_DIR, else the test
// temporary folder.
std::string pictureFolder();

} // namespace kavelo::testing
