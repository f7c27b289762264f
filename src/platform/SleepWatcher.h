#pragma once
// Tells the application before the machine sleeps and after it wakes, from
// systemd-logind's PrepareForSleep(bool) signal on the system bus. Without a
// system bus (containers, CI) it simply never signals. Main thread only.
#include <QObject>

class SleepWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SleepWatcher(QObject* parent = nullptr);
    bool isConnected() const { return m_connected; }

Q_SIGNALS:
    void willSleep();
    void didWake();

private Q_SLOTS:
    void onPrepareForSleep(bool start);

private:
    bool m_connected = false;
};
