#pragma once

// The session manager's word that the machine woke or the user came back,
// from logind on the system bus: `PrepareForSleep(false)` after a sleep,
// and this session's `Unlock` or its `Active` turning true. Without a
// system bus or logind (Xvfb, containers) it hears nothing.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace kavelo {

class LogindWatch : public QObject {
    Q_OBJECT

public:
    static constexpr const char* service = "org.freedesktop.login1";
    static constexpr const char* managerPath = "/org/freedesktop/login1";
    static constexpr const char* managerInterface = "org.freedesktop.login1.Manager";
    static constexpr const char* sessionInterface = "org.freedesktop.login1.Session";

    LogindWatch(std::function<void()> woke, QDBusConnection bus = QDBusConnection::systemBus());
    ~LogindWatch() override;

    // This session's object path, once logind told it.
    const QString& sessionPath() const { return session_; }
    bool isConnected() const { return bus_.isConnected(); }

private slots:
    void prepareForSleep(bool starting);
    void unlocked();
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void findSession();
    void watchSession(const QString& path);
    void askActive();

    std::function<void()> woke_;
    QDBusConnection bus_;
    QString session_;
};

} // namespace kavelo
