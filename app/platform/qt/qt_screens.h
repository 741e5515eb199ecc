#pragma once

// The monitors as Qt draws on them, for a backend's scales: each screen's
// name, the corner of its geometry and its device pixel ratio, which
// follows QT_SCALE_FACTOR and QT_SCREEN_SCALE_FACTORS, else the desktop's
// DPI (Xft.dpi, and its live XSETTINGS form). Watches for screens coming,
// going and changing, and tells its owner. Needs a QGuiApplication made
// after `useFractionalScales()`.

#include "app/platform/desktop_backend.h"

#include <QObject>

#include <functional>
#include <vector>

class QScreen;

namespace kavelo {

class QtScreens : public QObject {
public:
    // Before the application object: 1.5 stays 1.5.
    static void useFractionalScales();
    static std::vector<ToolkitScreen> read();

    explicit QtScreens(std::function<void()> changed);

private:
    void watch(QScreen* screen);
    std::function<void()> changed_;
};

} // namespace kavelo
