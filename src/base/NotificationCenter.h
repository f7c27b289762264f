#pragma once
// Process-wide, main-thread, synchronous notifications between panels and the
// controller. Observers are keyed by a QObject; an observer that is destroyed
// is dropped automatically, so a late post never reaches a dead panel.
// Must run on the main thread.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <vector>

struct Notification {
    QString name;
    QVariant object; // an integer, a bool, an index set, or a QObject*
    QVariantMap userInfo;
};

class NotificationCenter
{
public:
    using Callback = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    void addObserver(QObject* observer, const QString& name, Callback callback);
    void removeObserver(QObject* observer);
    void removeObserver(QObject* observer, const QString& name);
    void post(const QString& name, const QVariant& object = QVariant(),
              const QVariantMap& userInfo = QVariantMap());

    int observerCount(const QString& name) const;

private:
    struct Entry {
        QPointer<QObject> observer;
        const QObject* key = nullptr;
        QString name;
        Callback callback;
        quint64 serial = 0;
    };
    std::vector<Entry> m_entries;
    quint64 m_nextSerial = 1;
};

// The text form of an object, unique per live instance: class name and address.
QString pmIdentityString(const QObject* object);

// Notification names.
namespace Notifications
{
inline const QString PlayBarButtonClicked =
    QStringLiteral("com.varno.rovixmanager:PlayBarButtonClickedNotification");
inline const QString DoSliderChanged = QStringLiteral("com.varno.rovixmanager:DoSliderChangedNotification");
inline const QString SliderChanged = QStringLiteral("com.varno.rovixmanager:SliderChangedNotification");
inline const QString FileListViewCheckBox =
    QStringLiteral("com.varno.rovixmanager:FileListViewCheckBoxNotification");
inline const QString CalendarSelChanged =
    QStringLiteral("com.varno.rovixmanager:CalendarSelChangedNotification");
inline const QString MapViewReady = QStringLiteral("com.varno.rovixmanager:MapViewReadyNotification");
inline const QString ComboBoxChanged = QStringLiteral("com.varno.rovixmanager:ComboBoxChangedNotification");
inline const QString ListBoxChanged = QStringLiteral("com.varno.rovixmanager:ListBoxChangedNotification");
inline const QString CheckBoxChanged = QStringLiteral("com.varno.rovixmanager:CheckBoxChangedNotification");
inline const QString PSVRDataReceived = QStringLiteral("PSVRDataReceivedNotification");
} // namespace Notifications
