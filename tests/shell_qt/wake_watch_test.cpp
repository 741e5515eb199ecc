// logind's wake signals through a private bus: a dbus-daemon of our own
// stands in for the system bus, and a second connection on it owns
// logind's name and sends what logind sends after a sleep.

#include "app/shell/qt/logind_watch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace kavelo::testing {
namespace {

class WakeWatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000)) {
            if (std::getenv("CI"))
                FAIL() << "dbus-daemon did not start";
            GTEST_SKIP() << "dbus-daemon did not start";
        }
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        logind.emplace(QDBusConnection::connectToBus(address, QStringLiteral("fake-logind")));
        ASSERT_TRUE(logind->isConnected());
        ASSERT_TRUE(logind->registerService(QString::fromLatin1(LogindWatch::service)));
    }
    void TearDown() override
    {
        if (logind) {
            logind.reset();
            QDBusConnection::disconnectFromBus(QStringLiteral("fake-logind"));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("watch"));
        daemon.kill();
        daemon.waitForFinished(5000);
    }

    void prepareForSleep(bool starting)
    {
        auto signal = QDBusMessage::createSignal(QString::fromLatin1(LogindWatch::managerPath),
                                                 QString::fromLatin1(LogindWatch::managerInterface),
                                                 QStringLiteral("PrepareForSleep"));
        signal << starting;
        ASSERT_TRUE(logind->send(signal));
    }

    QProcess daemon;
    QString address;
    std::optional<QDBusConnection> logind;
};

TEST_F(WakeWatchTest, TheEndOfASleepWakesAndItsStartDoesNot)
{
    int wakes = 0;
    LogindWatch watch([&] { ++wakes; }, QDBusConnection::connectToBus(address, QStringLiteral("watch")));
    ASSERT_TRUE(watch.isConnected());
    // Let the match rules reach the bus before anything is sent.
    QTest::qWait(100);

    prepareForSleep(true);
    QTest::qWait(200);
    EXPECT_EQ(wakes, 0);

    prepareForSleep(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return wakes == 1; }, 3000));
    QTest::qWait(100);
    EXPECT_EQ(wakes, 1);
}

TEST_F(WakeWatchTest, ASignalFromAnotherSenderIsNotLogind)
{
    int wakes = 0;
    LogindWatch watch([&] { ++wakes; }, QDBusConnection::connectToBus(address, QStringLiteral("watch")));
    QTest::qWait(100);
    auto other = QDBusConnection::connectToBus(address, QStringLiteral("impostor"));
    auto signal = QDBusMessage::createSignal(QString::fromLatin1(LogindWatch::managerPath),
                                             QString::fromLatin1(LogindWatch::managerInterface),
                                             QStringLiteral("PrepareForSleep"));
    signal << false;
    ASSERT_TRUE(other.send(signal));
    QTest::qWait(300);
    EXPECT_EQ(wakes, 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("impostor"));
}

} // namespace
} // namespace kavelo::testing
