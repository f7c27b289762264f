// The busy window shows itself without running the program's own work in the
// middle of the operation that opened it: timers and queued work wait until
// that operation is back in the event loop.
#include "WaitingWindow/WaitingWindow.h"
#include "base/EventHold.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(WaitingWindow, OpeningItRunsNoTimerAndNoQueuedWorkInsideTheCaller)
{
    QObject context;
    int timerRuns = 0;
    int queuedRuns = 0;
    int heldRuns = 0;
    // What a player or the folder monitor queues: a timer already due (the
    // playback tick), and work queued through the hold (as the player's event
    // draining is).
    QTimer::singleShot(1, &context, [&] { ++timerRuns; });
    QMetaObject::invokeMethod(
        &context, [&] { pmRunUnlessHeld(&context, [&] { ++queuedRuns; }); }, Qt::QueuedConnection);
    QTest::qSleep(20);

    pmStartWait(); // shows and lets the window system map it
    EXPECT_TRUE(pmIsWaiting());
    EXPECT_EQ(timerRuns, 0);
    EXPECT_EQ(queuedRuns, 0);
    EXPECT_FALSE(pmEventsHeld()); // the hold ended with the pump
    pmWaitTick();
    pmEndWait();
    EXPECT_FALSE(pmIsWaiting());

    // Back in the event loop, everything runs, once.
    EXPECT_TRUE(QTest::qWaitFor([&] { return timerRuns == 1 && queuedRuns == 1; }, 2000));

    // Work asked for while a hold is on runs after it, never inside it; work
    // whose object is gone by then is dropped.
    {
        EventHold hold;
        pmRunUnlessHeld(&context, [&] { ++heldRuns; });
        auto gone = std::make_unique<QObject>();
        pmRunUnlessHeld(gone.get(), [&] { heldRuns += 100; });
        gone.reset();
        EXPECT_EQ(heldRuns, 0);
    }
    EXPECT_EQ(heldRuns, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return heldRuns == 1; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(heldRuns, 1);
    pmRunUnlessHeld(&context, [&] { ++heldRuns; }); // no hold: at once
    EXPECT_EQ(heldRuns, 2);
}
