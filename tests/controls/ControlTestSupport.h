#pragma once
// Helpers for the control kit, play bar and toolbar tests: a recorder of
// notifications and solid-colour pixmaps of exact sizes.
#include "base/NotificationCenter.h"

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QStringList>
#include <vector>

class NotificationRecorder : public QObject
{
public:
    explicit NotificationRecorder(const QStringList& names)
    {
        for (const QString& name : names)
            NotificationCenter::defaultCenter().addObserver(
                this, name, [this](const Notification& n) { received.push_back(n); });
    }
    ~NotificationRecorder() override { NotificationCenter::defaultCenter().removeObserver(this); }

    std::vector<Notification> received;

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
};

inline QPixmap solidPixmap(int w, int h, const QColor& c)
{
    QPixmap p(w, h);
    p.fill(c);
    return p;
}
