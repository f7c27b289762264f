#include "platform/SleepWatcher.h"

#include <QDBusConnection>

SleepWatcher::SleepWatcher(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    // D-Bus signals can only be bound by slot signature; this is the one
    // place the string form of connect is needed.
    m_connected =
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(onPrepareForSleep(bool)));
}

void SleepWatcher::onPrepareForSleep(bool start)
{
    if (start)
        Q_EMIT willSleep();
    else
        Q_EMIT didWake();
}
