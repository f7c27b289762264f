#pragma once
// While a scan runs the busy window stands for a modal state: the main window
// takes no clicks, keys, wheel turns or drops, so nothing can open another
// folder, play a recording or change the filter against a library that is
// about to be replaced. The main loop keeps running (players, timers, the
// spinner); only the user's input to the main window is held back.
//
// Installed on the application while it lives; removed when destroyed.
#include <QObject>
#include <QPointer>

class QWidget;

class ScanInputFilter : public QObject
{
public:
    ScanInputFilter(QWidget* window, QObject* parent);
    ~ScanInputFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
};
