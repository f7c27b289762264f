#pragma once
// Helpers for the calendar, combo box, check box and file list tests: a
// recorder of notifications and mouse events with chosen time stamps.
#include "ControlTestSupport.h"
#include "base/NotificationCenter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStringList>
#include <QWheelEvent>
#include <QWidget>
#include <vector>

// The panels' tests record notifications the same way as the control kit's.
using PanelRecorder = NotificationRecorder;

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
