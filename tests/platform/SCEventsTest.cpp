// The event watcher on real folders and real mounts: what it reports for
// removals, renames, the watched folder's own fate, a pulled card and one put
// in again, new folders and files; how it coalesces and bounds bursts; and
// its start/stop rules.
#include "platform/SCEvents.h"
#include "../library/MountSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{

struct Recorder : SCEventListenerProtocol {
    std::vector<SCEvent> events;
    void pathWatcher(SCEvents*, const SCEvent& event) override { events.push_back(event); }
    int count(const QString& path, uint32_t flags) const
    {
        int n = 0;
        for (const SCEvent& e : events)
            n += e.eventPath() == path && e.eventFlags() == flags;
        return n;
    }
    bool waitFor(const QString& path, uint32_t flags, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return count(path, flags) > 0; }, ms);
    }
};

bool writeFile(const QString& path, const QByteArray& data = "x")
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

constexpr uint32_t kFile = WatchFlag::ItemIsFile;
constexpr uint32_t kDir = WatchFlag::ItemIsDir;

} // namespace

TEST(SCEvents, StartStopFlushAndDescriptions)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SCEvents watcher;
    EXPECT_FALSE(watcher.isWatchingPaths());
    EXPECT_EQ(watcher.notificationLatency(), 1.0);
    EXPECT_EQ(watcher.resumeFromEventId(), ~uint64_t(0));
    EXPECT_TRUE(watcher.ignoreEventsFromSubDirs());
    EXPECT_FALSE(watcher.lastEvent().has_value());
    EXPECT_TRUE(watcher.streamDescription().isNull());

    EXPECT_FALSE(watcher.startWatchingPaths({})); // nothing to watch: stays idle
    EXPECT_FALSE(watcher.isWatchingPaths());
    EXPECT_FALSE(watcher.stopWatchingPaths());
    EXPECT_FALSE(watcher.flushEventStreamSync());
    EXPECT_FALSE(watcher.flushEventStreamAsync());

    EXPECT_TRUE(watcher.startWatchingPaths({dir.path()}));
    EXPECT_FALSE(watcher.startWatchingPaths({dir.path()})); // already watching
    EXPECT_TRUE(watcher.isWatchingPaths());
    EXPECT_EQ(watcher.watchedPaths(), QStringList{dir.path()});
    EXPECT_FALSE(watcher.streamDescription().isEmpty());
    EXPECT_EQ(watcher.description(),
              QStringLiteral("<SCEvents { watchedPaths = (%1), excludedPaths = () } >").arg(dir.path()));
    EXPECT_TRUE(watcher.flushEventStreamSync());
    EXPECT_TRUE(watcher.stopWatchingPaths());
    EXPECT_FALSE(watcher.stopWatchingPaths());
    EXPECT_FALSE(watcher.isWatchingPaths());
    EXPECT_EQ(watcher.watchCount(), 0);

    const SCEvent e(7, QDateTime(), QStringLiteral("/Volumes/CARD"), 0x80);
    EXPECT_EQ(e.description(),
              QStringLiteral("<SCEvent { eventId = 7, eventPath = /Volumes/CARD, eventFlags = 128 } >"));

    // A path that is not a folder is logged and left out; the rest works.
    EXPECT_TRUE(watcher.startWatchingPaths({dir.filePath("missing"), dir.path()}));
    EXPECT_EQ(watcher.watchCount(), 1);
}

TEST(SCEvents, ReportsRemovalsRenamesAndNewItemsInTheWholeTree)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.filePath("card");
    ASSERT_TRUE(QDir().mkpath(root + "/DCIM/Movie"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("outside")));
    ASSERT_TRUE(writeFile(root + "/DCIM/Movie/A.MP4"));
    ASSERT_TRUE(writeFile(root + "/DCIM/Movie/B.MP4"));

    Recorder rec;
    SCEvents watcher;
    watcher.setDelegate(&rec);
    watcher.setNotificationLatency(0.2);
    ASSERT_TRUE(watcher.startWatchingPaths({root + "/"})); // a trailing slash is not part of event paths
    EXPECT_EQ(watcher.watchCount(), 3);

    ASSERT_TRUE(QFile::remove(root + "/DCIM/Movie/A.MP4"));
    ASSERT_TRUE(QFile::rename(root + "/DCIM/Movie/B.MP4", root + "/DCIM/Movie/C.MP4"));
    ASSERT_TRUE(writeFile(dir.filePath("outside/X.MP4"))); // outside the tree: never reported
    ASSERT_TRUE(rec.waitFor(root + "/DCIM/Movie/C.MP4", WatchFlag::ItemRenamed | kFile));
    EXPECT_EQ(rec.count(root + "/DCIM/Movie/A.MP4", WatchFlag::ItemRemoved | kFile), 1);
    EXPECT_EQ(rec.count(root + "/DCIM/Movie/B.MP4", WatchFlag::ItemRenamed | kFile), 1);
    for (const SCEvent& e : rec.events)
        EXPECT_FALSE(e.eventPath().contains("outside")) << e.description().toStdString();
    // Ids grow, and the last event of the batch is kept.
    for (std::size_t i = 1; i < rec.events.size(); ++i)
        EXPECT_GT(rec.events[i].eventId(), rec.events[i - 1].eventId());
    ASSERT_TRUE(watcher.lastEvent().has_value());
    EXPECT_EQ(watcher.lastEvent()->eventId(), rec.events.back().eventId());

    // A folder made later is watched too, and a file closed after writing in
    // it is reported once however often it was written.
    rec.events.clear();
    ASSERT_TRUE(QDir().mkpath(root + "/DCIM/New"));
    ASSERT_TRUE(rec.waitFor(root + "/DCIM/New", WatchFlag::ItemCreated | kDir));
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(writeFile(root + "/DCIM/New/D.MP4", QByteArray(100 + i, 'd')));
    ASSERT_TRUE(rec.waitFor(root + "/DCIM/New/D.MP4", WatchFlag::ItemModified | kFile));
    QTest::qWait(400);
    EXPECT_EQ(rec.count(root + "/DCIM/New/D.MP4", WatchFlag::ItemModified | kFile), 1);

    // A folder moved in is watched as well; one moved out no longer is.
    rec.events.clear();
    ASSERT_TRUE(QDir().mkpath(dir.filePath("outside/Sub")));
    ASSERT_TRUE(QDir().rename(dir.filePath("outside/Sub"), root + "/Sub"));
    ASSERT_TRUE(rec.waitFor(root + "/Sub", WatchFlag::ItemRenamed | kDir));
    ASSERT_TRUE(writeFile(root + "/Sub/E.MP4"));
    ASSERT_TRUE(rec.waitFor(root + "/Sub/E.MP4", WatchFlag::ItemModified | kFile));
    rec.events.clear();
    ASSERT_TRUE(QDir().rename(root + "/Sub", dir.filePath("outside/Sub2")));
    ASSERT_TRUE(rec.waitFor(root + "/Sub", WatchFlag::ItemRenamed | kDir));
    rec.events.clear();
    ASSERT_TRUE(writeFile(dir.filePath("outside/Sub2/F.MP4")));
    QTest::qWait(500);
    for (const SCEvent& e : rec.events)
        ADD_FAILURE() << "outside the tree: " << e.description().toStdString();

    // A folder replaced by a file of the same name: the folder is removed,
    // the file written, and the watch goes on.
    rec.events.clear();
    ASSERT_TRUE(QDir().mkpath(root + "/Swap"));
    ASSERT_TRUE(rec.waitFor(root + "/Swap", WatchFlag::ItemCreated | kDir));
    ASSERT_TRUE(QDir().rmdir(root + "/Swap"));
    ASSERT_TRUE(writeFile(root + "/Swap"));
    ASSERT_TRUE(rec.waitFor(root + "/Swap", WatchFlag::ItemModified | kFile));
    EXPECT_EQ(rec.count(root + "/Swap", WatchFlag::ItemRemoved | kDir), 1);

    // A removed folder with its contents: every item is reported removed.
    ASSERT_TRUE(QDir(root + "/DCIM/New").removeRecursively());
    ASSERT_TRUE(rec.waitFor(root + "/DCIM/New", WatchFlag::ItemRemoved | kDir));
    EXPECT_EQ(rec.count(root + "/DCIM/New/D.MP4", WatchFlag::ItemRemoved | kFile), 1);
}

TEST(SCEvents, TheWatchedFolderRemovedOrRenamedIsARootChange)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"renamed", "removed"}) {
        SCOPED_TRACE(name);
        const QString root = dir.filePath(QStringLiteral("card-") + name);
        ASSERT_TRUE(QDir().mkpath(root + "/DCIM"));
        ASSERT_TRUE(writeFile(root + "/DCIM/A.MP4"));
        Recorder rec;
        SCEvents watcher;
        watcher.setDelegate(&rec);
        watcher.setNotificationLatency(0.2);
        ASSERT_TRUE(watcher.startWatchingPaths({root}));
        if (QByteArray(name) == "renamed")
            ASSERT_TRUE(QDir().rename(root, root + "-old"));
        else
            ASSERT_TRUE(QDir(root).removeRecursively());
        ASSERT_TRUE(rec.waitFor(root, WatchFlag::RootChanged)); // exactly 0x20
        QTest::qWait(300);
        EXPECT_EQ(rec.count(root, WatchFlag::RootChanged), 1);
        EXPECT_EQ(watcher.watchCount(), 0); // nothing left to watch under a gone root
        EXPECT_TRUE(watcher.isWatchingPaths());
    }
}

// inotify holds on to folders, not names: a watched path made again,
// replaced by a link, or reached through a link that is re-pointed (here to
// another file system) is watched anew and reported as back; links made in
// the tree are reported at once, as they are never written through.
TEST(SCEvents, AWatchedPathMadeAgainOrRelinkedIsBackAndLinksArriveAtOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.filePath("card");
    ASSERT_TRUE(QDir().mkpath(root + "/DCIM"));
    Recorder rec;
    SCEvents watcher;
    watcher.setDelegate(&rec);
    watcher.setNotificationLatency(0.2);
    ASSERT_TRUE(watcher.startWatchingPaths({root}));

    // Removed, then made again: back, and its new sub-folders are watched.
    ASSERT_TRUE(QDir(root).removeRecursively());
    ASSERT_TRUE(rec.waitFor(root, WatchFlag::RootChanged));
    ASSERT_TRUE(QDir().mkpath(root + "/DCIM"));
    ASSERT_TRUE(rec.waitFor(root, WatchFlag::Mount));
    EXPECT_EQ(watcher.watchCount(), 2);
    ASSERT_TRUE(writeFile(root + "/DCIM/A.MP4"));
    ASSERT_TRUE(rec.waitFor(root + "/DCIM/A.MP4", WatchFlag::ItemModified | kFile));

    // Links made in the tree: a symbolic link to a recording kept elsewhere,
    // a hard link, a link to a folder. A file merely created is reported once
    // written, as before.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("store/Sub")));
    ASSERT_TRUE(writeFile(dir.filePath("store/B.MP4")));
    ASSERT_TRUE(writeFile(dir.filePath("store/C.MP4")));
    rec.events.clear();
    ASSERT_TRUE(QFile::link(dir.filePath("store/B.MP4"), root + "/DCIM/B.MP4"));
    ASSERT_EQ(::link(QFile::encodeName(dir.filePath("store/C.MP4")).constData(),
                     QFile::encodeName(root + "/DCIM/C.MP4").constData()),
              0);
    ASSERT_TRUE(QFile::link(dir.filePath("store/Sub"), root + "/DCIM/Sub"));
    ASSERT_TRUE(rec.waitFor(root + "/DCIM/Sub", WatchFlag::ItemCreated | WatchFlag::ItemIsSymlink));
    EXPECT_EQ(rec.count(root + "/DCIM/B.MP4", WatchFlag::ItemCreated | WatchFlag::ItemIsSymlink), 1);
    EXPECT_EQ(rec.count(root + "/DCIM/C.MP4", WatchFlag::ItemCreated | kFile | WatchFlag::ItemIsHardlink), 1);
    for (const SCEvent& e : rec.events)
        EXPECT_TRUE(pmWatchMayAddFiles(e.eventFlags())) << e.description().toStdString();

    // Removed, and a link to another folder put in its place.
    const QString other = dir.filePath("other");
    ASSERT_TRUE(QDir().mkpath(other));
    rec.events.clear();
    ASSERT_TRUE(QDir(root).removeRecursively());
    ASSERT_TRUE(rec.waitFor(root, WatchFlag::RootChanged));
    ASSERT_TRUE(QFile::link(other, root));
    ASSERT_TRUE(rec.waitFor(root, WatchFlag::Mount));
    ASSERT_TRUE(writeFile(other + "/D.MP4"));
    ASSERT_TRUE(rec.waitFor(root + "/D.MP4", WatchFlag::ItemModified | kFile));

    // Watched through a link that is then re-pointed at once (a new link
    // renamed over it), to a card of its own when one can be mounted.
    const QString third = dir.filePath("third");
    mounttest::Tmpfs card(third);
    if (!card.mounted)
        std::printf("no tmpfs (%s): the link is re-pointed to a plain folder\n", card.error.c_str());
    rec.events.clear();
    ASSERT_TRUE(QFile::link(third, root + ".new"));
    ASSERT_EQ(::rename(QFile::encodeName(root + ".new").constData(), QFile::encodeName(root).constData()), 0);
    ASSERT_TRUE(rec.waitFor(root, WatchFlag::Mount));
    EXPECT_EQ(rec.count(root, WatchFlag::RootChanged), 1);
    ASSERT_TRUE(writeFile(other + "/E.MP4")); // where it led before: no longer watched
    ASSERT_TRUE(writeFile(third + "/F.MP4"));
    ASSERT_TRUE(rec.waitFor(root + "/F.MP4", WatchFlag::ItemModified | kFile));
    QTest::qWait(300);
    EXPECT_EQ(rec.count(root + "/E.MP4", WatchFlag::ItemModified | kFile), 0);

    // The link removed: gone, and nothing comes back while nothing is there.
    rec.events.clear();
    ASSERT_TRUE(QFile::remove(root));
    ASSERT_TRUE(rec.waitFor(root, WatchFlag::RootChanged));
    QTest::qWait(800);
    EXPECT_EQ(rec.count(root, WatchFlag::Mount), 0);
    EXPECT_EQ(watcher.watchCount(), 0);
}

TEST(SCEvents, APulledCardIsAnUnmountAndTheSameCardBackIsAMount)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString cardPoint = dir.filePath("media/CARD");
    mounttest::Tmpfs card(cardPoint);
    if (!card.mounted)
        GTEST_SKIP() << card.skipReason();
    const QString folder = cardPoint + "/DCIM";
    ASSERT_TRUE(QDir().mkpath(folder + "/Movie"));
    ASSERT_TRUE(writeFile(folder + "/Movie/A.MP4"));

    Recorder rec;
    SCEvents watcher;
    watcher.setDelegate(&rec);
    watcher.setNotificationLatency(0.2);
    // As the controller watches a folder on a card: the folder and the card's root.
    ASSERT_TRUE(watcher.startWatchingPaths({folder, cardPoint}));

    // 1. Pulled while a player still holds a recording open: the file system
    //    lives on out of reach, and only the mount table tells.
    const int fd = ::open(QFile::encodeName(folder + "/Movie/A.MP4").constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(card.pull());
    ASSERT_TRUE(rec.waitFor(folder, WatchFlag::Unmount, 3000));
    std::printf("lazy unmount with an open file noticed after %lld ms (latency 0.2 s)\n",
                static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(rec.count(cardPoint, WatchFlag::Unmount), 1);
    ::close(fd);
    QTest::qWait(500);
    EXPECT_EQ(rec.count(folder, WatchFlag::Unmount), 1); // once, not again when the file closes

    // 2. Put in again at the same place: the folder is back.
    ASSERT_TRUE(card.mount());
    ASSERT_TRUE(rec.waitFor(cardPoint, WatchFlag::Mount, 3000));
    // The folder may appear a moment after its card: a later look finds it.
    ASSERT_TRUE(QDir().mkpath(folder + "/Movie"));
    ASSERT_TRUE(rec.waitFor(folder, WatchFlag::Mount, 3000));
    ASSERT_TRUE(writeFile(folder + "/Movie/B.MP4"));
    ASSERT_TRUE(rec.waitFor(folder + "/Movie/B.MP4", WatchFlag::ItemModified | kFile));

    // 3. Pulled with nothing open: the kernel's own unmount notice.
    rec.events.clear();
    clock.restart();
    ASSERT_TRUE(card.pull());
    ASSERT_TRUE(rec.waitFor(folder, WatchFlag::Unmount, 3000));
    std::printf("lazy unmount with nothing open noticed after %lld ms\n",
                static_cast<long long>(clock.elapsed()));
    QTest::qWait(400);
    EXPECT_EQ(rec.count(folder, WatchFlag::Unmount), 1);
}

TEST(SCEvents, ACardMountedInsideTheWatchedTreeComesAndGoes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.filePath("library");
    ASSERT_TRUE(QDir().mkpath(root + "/card"));
    Recorder rec;
    SCEvents watcher;
    watcher.setDelegate(&rec);
    watcher.setNotificationLatency(0.2);
    ASSERT_TRUE(watcher.startWatchingPaths({root}));
    mounttest::Tmpfs card(root + "/card");
    if (!card.mounted)
        GTEST_SKIP() << card.skipReason();
    ASSERT_TRUE(rec.waitFor(root + "/card", WatchFlag::Mount | kDir, 3000));
    ASSERT_TRUE(writeFile(root + "/card/A.MP4"));
    ASSERT_TRUE(rec.waitFor(root + "/card/A.MP4", WatchFlag::ItemModified | kFile));
    ASSERT_TRUE(card.pull());
    ASSERT_TRUE(rec.waitFor(root + "/card", WatchFlag::Unmount, 3000));
    EXPECT_EQ(rec.count(root, WatchFlag::Unmount), 0); // the library folder itself is still there
}

TEST(SCEvents, AFloodBecomesOneLookAgainPerRootAndABigTreeIsWatchedWhole)
{
    // In memory where the system offers it: removing 10,000 folders from a
    // disk takes longer than everything else here.
    const bool shm = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir dir(shm ? QStringLiteral("/dev/shm/rovix-watch-XXXXXX") : QString());
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.filePath("card");
    // 10,000 folders, 100 per parent.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            ASSERT_TRUE(QDir().mkpath(QStringLiteral("%1/%2/%3").arg(root).arg(i).arg(j)));
    std::printf("10,000 folders made in %lld ms\n", static_cast<long long>(clock.elapsed()));
    Recorder rec;
    SCEvents watcher;
    watcher.setDelegate(&rec);
    watcher.setNotificationLatency(0.3);
    watcher.setBatchLimit(1000);
    clock.start();
    ASSERT_TRUE(watcher.startWatchingPaths({root}));
    const qint64 startMs = clock.elapsed();
    std::printf("watching a tree of 10,101 folders took %lld ms\n", static_cast<long long>(startMs));
    EXPECT_EQ(watcher.watchCount(), 10101);

    // 5,000 new files in one burst: far more than a batch holds.
    for (int i = 0; i < 5000; ++i)
        ASSERT_TRUE(
            writeFile(QStringLiteral("%1/%2/%3/f%4.MP4").arg(root).arg(i % 100).arg(i / 100 % 100).arg(i)));
    std::printf("5,000 files written in %lld ms\n", static_cast<long long>(clock.elapsed() - startMs));
    ASSERT_TRUE(rec.waitFor(root, WatchFlag::MustScanSubDirs, 5000));
    QTest::qWait(800);
    EXPECT_EQ(rec.events.size(), 1u) << "the flood became " << rec.events.size() << " events";
}

TEST(SCEvents, ReleasingTheWatcherStopsItAndAListenerMayStopItMidBatch)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Stopper : SCEventListenerProtocol {
        int calls = 0;
        void pathWatcher(SCEvents* w, const SCEvent&) override
        {
            ++calls;
            w->stopWatchingPaths();
        }
    } stopper;
    SCEvents watcher;
    watcher.setDelegate(&stopper);
    watcher.setNotificationLatency(0.1);
    ASSERT_TRUE(watcher.startWatchingPaths({dir.path()}));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("f%1").arg(i))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopper.calls > 0; }, 3000));
    QTest::qWait(300);
    EXPECT_EQ(stopper.calls, 1); // the rest of the batch is not delivered after a stop
    EXPECT_FALSE(watcher.isWatchingPaths());

    auto released = std::make_unique<SCEvents>();
    Recorder rec;
    released->setDelegate(&rec);
    released->setNotificationLatency(0.1);
    ASSERT_TRUE(released->startWatchingPaths({dir.path()}));
    ASSERT_TRUE(writeFile(dir.filePath("g")));
    released.reset(); // with an event pending
    QTest::qWait(300);
    EXPECT_TRUE(rec.events.empty());
}
