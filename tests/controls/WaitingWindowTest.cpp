// The busy window shows itself without running the program's own work in the
// middle of the operation that opened it: timers and queued work wait until
// that operation is back in the event loop.
#include "WaitingWindow/WaitingWindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(WaitingWindow, OpeningItRunsNoTimerAndNoQueuedWorkInsideTheCaller)
{
    QObject context;
    int timerRuns = 0;
    int queuedRuns = 0;
    // What a player or the folder monitor queues: a timer already due (the
    // playback tick), and queued work (as the player's event draining is).
    QTimer::singleShot(1, &context, [&] { ++timerRuns; });
    QMetaObject::invokeMethod(
        &context, [&] { ++queuedRuns; }, Qt::QueuedConnection);
    QTest::qSleep(20);

    pmStartWait(); // shows and lets the window system map it
    EXPECT_TRUE(pmIsWaiting());
    EXPECT_EQ(timerRuns, 0);
    EXPECT_EQ(queuedRuns, 0);
    pmWaitTick();
    pmEndWait();
    EXPECT_FALSE(pmIsWaiting());

    // Back in the event loop, everything runs, once.
    EXPECT_TRUE(QTest::qWaitFor([&] { return timerRuns == 1 && queuedRuns == 1; }, 2000));
}
