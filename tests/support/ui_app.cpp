#include "support/ui_app.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>

namespace kavelo::testing {

int opaquePixels(const QImage& image, int threshold)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(argb.pixel(x, y)) > threshold;
    return count;
}

std::string pictureFolder()
{
    if (const char* dir = std::getenv("KAVELO_PNG_DIR"); dir && *dir)
        return std::string(dir) + "/";
    return ::testing::TempDir();
}

namespace {

std::mutex heardLock;
std::vector<std::string> heard;

} // namespace

std::vector<std::string> takeQtWarnings()
{
    const std::lock_guard guard(heardLock);
    return std::exchange(heard, {});
}

namespace {

// Offscreen windows cannot be raised, faded, masked nor grab the keyboard; the
// panels and the shortcut recorder ask anyway, as they must on a real
// display.
QtMessageHandler standardHandler = nullptr;

void quietRaise(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("does not support raise()")) ||
        message.contains(QLatin1String("does not support setting window opacity")) ||
        message.contains(QLatin1String("does not support grabbing the keyboard")) ||
        message.contains(QLatin1String("does not support setting window masks")))
        return;
    if (type != QtDebugMsg && type != QtInfoMsg) {
        const std::lock_guard guard(heardLock);
        heard.push_back(message.toStdString());
    }
    if (standardHandler)
        standardHandler(type, context, message);
}

class QtApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        standardHandler = qInstallMessageHandler(quietRaise);
        static int argc = 1;
        static char name[] = "kavelo_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace

} // namespace kavelo::testing
