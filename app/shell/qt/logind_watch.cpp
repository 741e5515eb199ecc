#include "app/shell/qt/logind_watch.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <unistd.h>

namespace kavelo {

LogindWatch::LogindWatch(std::function<void()> woke, QDBusConnection bus) : woke_(std::move(woke)), bus_(bus)
{
    if (!bus_.isConnected())
        return;
    bus_.connect(service, managerPath, managerInterface, QStringLiteral("PrepareForSleep"), this,
                 SLOT(prepareForSleep(bool)));
    findSession();
}

LogindWatch::~LogindWatch()
{
    if (!bus_.isConnected())
        return;
    bus_.disconnect(service, managerPath, managerInterface, QStringLiteral("PrepareForSleep"), this,
                    SLOT(prepareForSleep(bool)));
    if (!session_.isEmpty()) {
        bus_.disconnect(service, session_, sessionInterface, QStringLiteral("Unlock"), this, SLOT(unlocked()));
        bus_.disconnect(service, session_, QStringLiteral("org.freedesktop.DBus.Properties"),
                        QStringLiteral("PropertiesChanged"), this,
                        SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    }
}

void LogindWatch::findSession()
{
    // The session the desktop started us in, else the one holding our process.
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    QDBusMessage call =
        id.isEmpty()
            ? QDBusMessage::createMethodCall(service, managerPath, managerInterface, QStringLiteral("GetSessionByPID"))
            : QDBusMessage::createMethodCall(service, managerPath, managerInterface, QStringLiteral("GetSession"));
    if (id.isEmpty())
        call << quint32(::getpid());
    else
        call << id;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* watcher) {
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        watcher->deleteLater();
        if (!reply.isError())
            watchSession(reply.value().path());
    });
}

void LogindWatch::watchSession(const QString& path)
{
    if (path.isEmpty() || !session_.isEmpty())
        return;
    session_ = path;
    bus_.connect(service, session_, sessionInterface, QStringLiteral("Unlock"), this, SLOT(unlocked()));
    bus_.connect(service, session_, QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("PropertiesChanged"), this,
                 SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
}

void LogindWatch::prepareForSleep(bool starting)
{
    if (!starting && woke_)
        woke_();
}

void LogindWatch::unlocked()
{
    if (woke_)
        woke_();
}

void LogindWatch::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated)
{
    if (interface != QLatin1String(sessionInterface))
        return;
    if (const auto active = changed.find(QStringLiteral("Active")); active != changed.end()) {
        if (active->toBool() && woke_)
            woke_();
        return;
    }
    if (invalidated.contains(QStringLiteral("Active")))
        askActive();
}

void LogindWatch::askActive()
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, session_, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << QString::fromLatin1(sessionInterface) << QStringLiteral("Active");
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* watcher) {
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        watcher->deleteLater();
        if (!reply.isError() && reply.value().variant().toBool() && woke_)
            woke_();
    });
}

} // namespace kavelo
