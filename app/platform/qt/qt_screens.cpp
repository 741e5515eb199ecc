#include "app/platform/qt/qt_screens.h"

#include <QGuiApplication>
#include <QScreen>

namespace kavelo {

void QtScreens::useFractionalScales()
{
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

std::vector<ToolkitScreen> QtScreens::read()
{
    std::vector<ToolkitScreen> out;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QPoint corner = screen->geometry().topLeft();
        out.push_back(ToolkitScreen{.name = screen->name().toStdString(),
                                    .origin = Point(corner.x(), corner.y()),
                                    .scale = screen->devicePixelRatio()});
    }
    return out;
}

QtScreens::QtScreens(std::function<void()> changed) : changed_(std::move(changed))
{
    auto* app = qGuiApp;
    if (!app)
        return;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        changed_();
    });
    connect(app, &QGuiApplication::screenRemoved, this, [this] { changed_(); });
    connect(app, &QGuiApplication::primaryScreenChanged, this, [this] { changed_(); });
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

void QtScreens::watch(QScreen* screen)
{
    // A new DPI changes the ratio and, with it, the geometry.
    connect(screen, &QScreen::geometryChanged, this, [this] { changed_(); });
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, [this] { changed_(); });
}

} // namespace kavelo
