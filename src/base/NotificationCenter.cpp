#include "base/NotificationCenter.h"

#include <algorithm>

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(QObject* observer, const QString& name, Callback callback)
{
    if (!observer || !callback)
        return;
    Entry e;
    e.observer = observer;
    e.key = observer;
    e.name = name;
    e.callback = std::move(callback);
    e.serial = m_nextSerial++;
    m_entries.push_back(std::move(e));
}

void NotificationCenter::removeObserver(QObject* observer)
{
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [observer](const Entry& e) { return e.key == observer; }),
                    m_entries.end());
}

void NotificationCenter::removeObserver(QObject* observer, const QString& name)
{
    m_entries.erase(
        std::remove_if(m_entries.begin(), m_entries.end(),
                       [observer, &name](const Entry& e) { return e.key == observer && e.name == name; }),
        m_entries.end());
}

void NotificationCenter::post(const QString& name, const QVariant& object, const QVariantMap& userInfo)
{
    const Notification n{name, object, userInfo};
    // Observers may add or remove observers (or be destroyed) while handling a
    // notification: deliver to a snapshot of serials and re-check each one.
    std::vector<quint64> serials;
    for (const Entry& e : m_entries) {
        if (e.name == name)
            serials.push_back(e.serial);
    }
    for (quint64 serial : serials) {
        auto it = std::find_if(m_entries.begin(), m_entries.end(),
                               [serial](const Entry& e) { return e.serial == serial; });
        if (it == m_entries.end())
            continue;
        if (it->observer.isNull()) {
            m_entries.erase(it);
            continue;
        }
        Callback cb = it->callback; // copy: the entry may go away during the call
        cb(n);
    }
}

int NotificationCenter::observerCount(const QString& name) const
{
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(), [&name](const Entry& e) {
        return e.name == name && !e.observer.isNull();
    }));
}

QString pmIdentityString(const QObject* object)
{
    if (!object)
        return QStringLiteral("(null)");
    return QStringLiteral("<%1: 0x%2>")
        .arg(QString::fromLatin1(object->metaObject()->className()))
        .arg(reinterpret_cast<quintptr>(object), 0, 16);
}
