#pragma once
// Helpers for the calendar, combo box, check box and file list tests: a
// recorder of notifications and mouse events with chosen time stamps.
#include "app/NotificationCenter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStringList>
#include <QWheelEvent>
#include <QWidget>
#include <vector>

class PanelRecorder : public QObject
{
public:
    explicit PanelRecorder(const QStringList& names)
    {
        for (const QString& name : names)
            NotificationCenter::defaultCenter().addObserver(
                this, name, [this](const Notification& n) { received.push_back(n); });
    }
    ~PanelRecorder() override { NotificationCenter::defaultCenter().removeObserver(this); }

    int count(const QString& name) const
    {
        int n = 0;
        for (const Notification& r : received)
            n += r.name == name ? 1 : 0;
        return n;
    }
    const Notification* last(const QString& name) const
    {
        for (auto it = received.rbegin(); it != received.rend(); ++it)
            if (it->name == name)
                return &*it;
        return nullptr;
    }
    QStringList names() const
    {
        QStringList out;
        for (const Notification& r : received)
            out << r.name;
        return out;
    }
    void clear() { received.clear(); }

    std::vector<Notification> received;
};

// Sends one mouse event as the platform would, with an explicit time stamp.
inline void sendMouse(QWidget* w, QEvent::Type type, const QPoint& pos, ulong timestamp,
                      Qt::MouseButtons buttons = Qt::LeftButton, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    e.setTimestamp(timestamp);
    QApplication::sendEvent(w, &e);
}

inline void sendWheel(QWidget* w, const QPoint& pos, int angleY)
{
    QWheelEvent e(QPointF(pos), QPointF(w->mapToGlobal(pos)), QPoint(), QPoint(0, angleY), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}
