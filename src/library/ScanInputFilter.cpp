#include "library/ScanInputFilter.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

ScanInputFilter::ScanInputFilter(QWidget* window, QObject* parent) : QObject(parent), m_window(window)
{
    qApp->installEventFilter(this);
}

ScanInputFilter::~ScanInputFilter()
{
    qApp->removeEventFilter(this);
}

bool ScanInputFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        break;
    default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && m_window && widget->window() == m_window;
}
