#include "WaitingWindow/WaitingWindow.h"

#include "WaitingWindow/YRKSpinningProgressIndicator.h"
#include "controls/StandardDialogs.h"
#include "core/Log.h"

#include <QCloseEvent>
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
    // The indicator turns on the main thread's timer: the window is drawn by
    // the main loop, which keeps running while the long work goes on
    // elsewhere (a library scan runs on a worker thread). Nothing is pumped
    // here, so no handler of the program runs inside the caller.
    m_indicator->startAnimation();
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
