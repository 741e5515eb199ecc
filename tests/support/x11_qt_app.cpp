#include "support/x11_qt_app.h"

#include <cstdlib>
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

} // namespace kavelo::test
