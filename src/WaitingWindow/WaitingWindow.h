#pragma once
// The busy window: a frameless, see-through window with a white spinning
// indicator, shown over the main window while a long operation runs. It never
// runs the event loop itself: work long enough to need the spinner runs on a
// worker thread while the main loop draws it. Created by pmStartWait and
// closed by pmEndWait (below); it deletes itself when closed. Main thread only.
#include <QWidget>

class YRKSpinningProgressIndicator;

class WaitingWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WaitingWindow(QWidget* mainWindow = nullptr);

    // Centres on the main window when it is visible, else on the primary screen, and shows.
    void showCentered();
    void stopAnimation();
    // Turns the spinner when a frame is due, for callers that block the event loop.
    void tick();
    YRKSpinningProgressIndicator* indicator() const { return m_indicator; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* m_mainWindow = nullptr;
    YRKSpinningProgressIndicator* m_indicator = nullptr;
};

// The busy window. Calls do not nest: one pmEndWait closes it.
void pmStartWait();
void pmEndWait();
bool pmIsWaiting();
// Repaints the spinner when a frame is due, for short synchronous work that
// holds the main thread (cheap to call often; no event processing).
void pmWaitTick();
