#include "support/x11_qt_app.h"

#include <QImage>
#include <QString>

#include <cstdlib>
#include <memory>
#include <utility>

// Qt's X11 plugin keeps a D-Bus message buffer until the process ends; it
// is not ours to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

namespace kavelo::test {

X11QtApp::X11QtApp(std::string programName, Options options)
    : programName_(std::move(programName)), options_(std::move(options))
{
}

void X11QtApp::SetUp()
{
    session = std::make_unique<X11Session>();
    if (!session->start(options_.clients, &error)) {
        session.reset();
        return;
    }
    if (options_.started)
        options_.started(*session);
    ::setenv("DISPLAY", session->display().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    argv_[0] = programName_.data();
    app = std::make_unique<QApplication>(argc_, argv_);
    if (!options_.quitOnLastWindowClosed)
        QApplication::setQuitOnLastWindowClosed(false);
}

void X11QtApp::TearDown()
{
    app.reset();
    session.reset();
}

::testing::Environment* addX11QtApp(std::string programName, X11QtApp::Options options)
{
    return ::testing::AddGlobalTestEnvironment(new X11QtApp(std::move(programName), std::move(options)));
}

void saveScreen(const X11Session& session, const std::string& fileName)
{
    constexpr int width = 1920, height = 1080;   // the session's screen
    xcb_connection_t* c = session.connection();
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
        xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, session.root(), 0, 0, width, height, ~0u), nullptr),
        &std::free);
    if (!image || xcb_get_image_data_length(image.get()) < width * height * 4)
        return;
    const QImage picture(xcb_get_image_data(image.get()), width, height, QImage::Format_RGB32);
    const char* dir = std::getenv("KAVELO_PNG_DIR");
    const std::string folder = dir && *dir ? std::string(dir) + "/" : ::testing::TempDir();
    picture.save(QString::fromStdString(folder + fileName));
}

} // namespace kavelo::test
