#include "WaitingWindow/WaitingWindow.h"

#include "WaitingWindow/YRKSpinningProgressIndicator.h"
#include "base/EventHold.h"
#include "controls/StandardDialogs.h"
#include "core/Log.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

WaitingWindow::WaitingWindow(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("WaitingWindow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(96, 96);
    m_indicator = new YRKSpinningProgressIndicator(this);
    m_indicator->setObjectName(QStringLiteral("WaitingIndicator"));
    m_indicator->setColor(Qt::white);
    m_indicator->setGeometry(16, 16, 64, 64);
}

void WaitingWindow::showCentered()
{
    QRect area;
    if (m_mainWindow && m_mainWindow->isVisible())
        area = m_mainWindow->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - rect().center());
    show();
    m_indicator->startAnimation();
    // Let the window system map the window once; the caller usually blocks the
    // event loop next, and an unmapped window could not show the spinner.
    // Only window-system work runs here: no input, timers or socket
    // notifiers, and the program's own queued work (player events, monitor
    // batches) is held until the caller is back in the event loop, so none
    // of the controller's handlers runs in the middle of the caller's work.
    EventHold hold;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
}

void WaitingWindow::stopAnimation()
{
    m_indicator->stopAnimation();
}

void WaitingWindow::tick()
{
    m_indicator->advanceIfDue();
}

void WaitingWindow::closeEvent(QCloseEvent* event)
{
    pmWriteLog("WaitingWindow will be closed!");
    m_indicator->stopAnimation();
    QWidget::closeEvent(event);
}

// ---------------------------------------------------------------- busy window

namespace
{
QPointer<WaitingWindow>& waitingWindow()
{
    static QPointer<WaitingWindow> w;
    return w;
}
} // namespace

void pmStartWait()
{
    pmWriteLog("pmStartWait()");
    if (waitingWindow())
        return;
    auto* w = new WaitingWindow(pmDialogParent());
    waitingWindow() = w;
    w->showCentered();
}

void pmEndWait()
{
    if (WaitingWindow* w = waitingWindow()) {
        w->stopAnimation();
        w->close(); // deletes itself on close
        waitingWindow() = nullptr;
    }
    pmWriteLog("pmEndWait()");
}

bool pmIsWaiting()
{
    return !waitingWindow().isNull();
}

void pmWaitTick()
{
    if (WaitingWindow* w = waitingWindow())
        w->tick();
}
