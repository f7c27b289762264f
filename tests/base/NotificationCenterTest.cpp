// The process-wide notification centre: delivery order, observers that go away
// before or during a post, and identity strings.
#include "base/NotificationCenter.h"

#include <QObject>
#include <QSet>
#include <gtest/gtest.h>
#include <memory>

namespace
{
const QString kName = QStringLiteral("com.varno.rovixmanager:TestNotification");

TEST(NotificationCenter, DeliversInRegistrationOrderWithObjectAndUserInfo)
{
    NotificationCenter& nc = NotificationCenter::defaultCenter();
    QObject a, b;
    QStringList seen;
    nc.addObserver(&a, kName, [&](const Notification& n) {
        seen << QStringLiteral("a%1%2").arg(n.object.toInt()).arg(n.userInfo.value("SLIDER_TYPE").toString());
    });
    nc.addObserver(&b, kName, [&](const Notification&) { seen << "b"; });
    nc.addObserver(&b, QStringLiteral("other"), [&](const Notification&) { seen << "other"; });
    nc.post(kName, 7, {{"SLIDER_TYPE", "time"}});
    EXPECT_EQ(seen, (QStringList{"a7time", "b"}));

    nc.removeObserver(&b, kName);
    seen.clear();
    nc.post(kName, 1);
    nc.post(QStringLiteral("other"));
    EXPECT_EQ(seen, (QStringList{"a1", "other"}));
    nc.removeObserver(&a);
    nc.removeObserver(&b);
    EXPECT_EQ(nc.observerCount(kName), 0);
}

TEST(NotificationCenter, DestroyedObserversAreNeverCalled)
{
    NotificationCenter& nc = NotificationCenter::defaultCenter();
    int calls = 0;
    {
        auto gone = std::make_unique<QObject>();
        nc.addObserver(gone.get(), kName, [&](const Notification&) { ++calls; });
        EXPECT_EQ(nc.observerCount(kName), 1);
    }
    EXPECT_EQ(nc.observerCount(kName), 0);
    nc.post(kName);
    EXPECT_EQ(calls, 0);
}

TEST(NotificationCenter, ObserversMayRemoveOrDestroyOthersWhilePosting)
{
    NotificationCenter& nc = NotificationCenter::defaultCenter();
    QObject first;
    auto second = std::make_unique<QObject>();
    QObject third;
    QStringList seen;
    nc.addObserver(&first, kName, [&](const Notification&) {
        seen << "first";
        second.reset();            // destroyed mid-post
        nc.removeObserver(&third); // removed mid-post
        nc.removeObserver(&first); // removes itself
        nc.addObserver(&third, kName, [&](const Notification&) { seen << "late"; });
    });
    nc.addObserver(second.get(), kName, [&](const Notification&) { seen << "second"; });
    nc.addObserver(&third, kName, [&](const Notification&) { seen << "third"; });
    nc.post(kName);
    // Nobody removed or destroyed runs; an observer added during the post waits for the next one.
    EXPECT_EQ(seen, (QStringList{"first"}));
    seen.clear();
    nc.post(kName);
    EXPECT_EQ(seen, (QStringList{"late"}));
    nc.removeObserver(&third);
}

TEST(NotificationCenter, IdentityStringsAreUniquePerLiveObject)
{
    QObject a, b;
    QSet<QString> ids{pmIdentityString(&a), pmIdentityString(&b)};
    EXPECT_EQ(ids.size(), 2);
    EXPECT_EQ(pmIdentityString(&a), pmIdentityString(&a));
    EXPECT_TRUE(pmIdentityString(&a).contains("QObject"));
    EXPECT_FALSE(pmIdentityString(nullptr).isEmpty());
}
} // namespace
