// The platform's answers the features ask for: whether the internet can be
// reached (forced by tests, logged when it can) and the sleep and wake signals.
#include "../app/AppTestSupport.h"

#include "platform/Reachability.h"
#include "platform/SleepWatcher.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace
{

TEST(Reachability, ForcedAnswersWinAndLogTheCheck)
{
    apptest::LogToDocuments log;
    Reachability::setForced(false);
    EXPECT_FALSE(pmIsInternetConnected());
    EXPECT_TRUE(apptest::logMessages().isEmpty());
    Reachability::setForced(true);
    EXPECT_TRUE(pmIsInternetConnected());
    EXPECT_EQ(apptest::logMessages(), (QStringList{"pmIsInternetConnected() - check website - start !",
                                                   "pmIsInternetConnected() - check website - end !"}));
    Reachability::setForced(std::nullopt);
    // The test environment forces the network off.
    EXPECT_FALSE(Reachability::isInternetReachable());
}

TEST(SleepWatcher, PrepareForSleepMapsToSleepAndWake)
{
    SleepWatcher watcher; // without a system bus it just never hears anything
    QSignalSpy sleep(&watcher, &SleepWatcher::willSleep);
    QSignalSpy wake(&watcher, &SleepWatcher::didWake);
    // The slot logind's signal is bound to: true before sleeping, false after waking.
    ASSERT_TRUE(QMetaObject::invokeMethod(&watcher, "onPrepareForSleep", Q_ARG(bool, true)));
    ASSERT_TRUE(QMetaObject::invokeMethod(&watcher, "onPrepareForSleep", Q_ARG(bool, false)));
    EXPECT_EQ(sleep.count(), 1);
    EXPECT_EQ(wake.count(), 1);
}
} // namespace
