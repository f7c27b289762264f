// The folder monitor through the controller, on real folders and real mounts:
// a card pulled while a recording plays, the folder put back, removed,
// renamed, files deleted, recordings arriving while one plays; and the two
// faults found beside it (the camera model of another card, a recording that
// breaks after it started).
#include "../app/AppTestSupport.h"
#include "../playback/PlaybackTestSupport.h"
#include "LibraryApp.h"
#include "LibraryBuild.h"
#include "MountSupport.h"

#include "WaitingWindow/WaitingWindow.h"
#include "controls/CalendarView.h"
#include "controls/FileListView.h"
#include "platform/SCEvents.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <cstdio>
#include <unistd.h>

using namespace playtest;

namespace
{

const QDate kDayA(2024, 6, 1);
const QDate kDayB(2024, 6, 2);

bool setDate(const QString& path, const QDate& day, const QTime& time)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) &&
           f.setFileTime(QDateTime(day, time), QFileDevice::FileModificationTime);
}

// A recording that plays (or a small one the scan admits, when `playable` is
// off), named and dated for that day and time.
bool recording(const QString& folder, const QDate& day, const QTime& time, bool playable = true,
               double seconds = 8)
{
    QDir().mkpath(folder);
    const QString path = QStringLiteral("%1/FILE%2-%3_M.%4")
                             .arg(folder, day.toString("yyMMdd"), time.toString("HHmmss"),
                                  playable ? QStringLiteral("MP4") : QStringLiteral("AVI"));
    const bool made = playable ? makeRecording(path, seconds) : apptest::writeAvi(path);
    return made && setDate(path, day, time);
}

QDate focusDay(AppDelegate& app)
{
    const calendar::Date d = app.calendar()->focusDate();
    return QDate(d.year, d.month, d.day);
}

QStringList playlistNames(AppDelegate& app)
{
    QStringList names;
    for (const AMediaFile& f : app.playlist())
        names << f.localizedName();
    return names;
}

// The controller as the application runs it: window, panels (calendar, file
// list) and observers; headless surfaces on the offscreen platform.
struct App : LibraryApp {
    App()
        : LibraryApp(true, [](AppDelegate& d) {
              d.window()->playerView()->setGeometry(0, 0, 640, 480);
              d.window()->playerView2()->setGeometry(650, 0, 320, 240);
          })
    {
    }
    void doubleClick(int row) { app->dblClickFile(row); }
    bool waitPlaying()
    {
        return waitFor([this] {
            return app->videoPlayView() && app->videoPlayView()->getPlayerStatus() == 1 &&
                   !app->isVideoLoading() && app->getState() == VideoPlayerView::StatePlaying;
        });
    }
};

int countLines(const QStringList& lines, const QString& prefix)
{
    int n = 0;
    for (const QString& l : lines)
        n += l.startsWith(prefix);
    return n;
}

} // namespace

TEST(FolderMonitor, APulledCardStopsPlaybackAndLeavesWhatRemains)
{
    apptest::LogToDocuments log;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("Videos");
    ASSERT_TRUE(recording(folder, kDayA, QTime(10, 0)));
    mounttest::Tmpfs card(folder + "/card");
    if (!card.mounted)
        GTEST_SKIP() << card.skipReason();
    ASSERT_TRUE(recording(folder + "/card/DCIM", kDayB, QTime(10, 0), true, 12));
    ASSERT_TRUE(recording(folder + "/card/DCIM", kDayB, QTime(11, 0), true, 12));

    App a;
    ASSERT_TRUE(librarytest::buildLibrary(*a.app, folder));
    ASSERT_EQ(a->videoLib().size(), 3);
    EXPECT_EQ(focusDay(*a.app), kDayB); // the newest day
    ASSERT_EQ(a->playlist().size(), 2);
    ASSERT_TRUE(a->folderWatcher() && a->folderWatcher()->isWatchingPaths());
    a.doubleClick(0);
    ASSERT_TRUE(a.waitPlaying());

    // Pulled while its recording is open in the player.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(card.pull());
    const bool handled = waitFor(
        [&] { return a->playlist().size() == 1 && focusDay(*a.app) == kDayA && a->getCurPlayIndex() == -1; },
        2000);
    std::printf("card pulled during playback: playlist rebuilt after %lld ms\n",
                static_cast<long long>(clock.elapsed()));
    ASSERT_TRUE(handled) << playlistNames(*a.app).join(",").toStdString();
    EXPECT_EQ(a->playlist().at(0).localizedName(), QStringLiteral("FILE240601-100000_M.MP4"));
    EXPECT_NE(a->getState(), VideoPlayerView::StatePlaying);
    // The calendar no longer marks the day that went with the card.
    EXPECT_EQ(a->videoLib().size(), 1);
    EXPECT_FALSE(a->isMediaExistByDate(2024, 6, 2));
    EXPECT_TRUE(a->isMediaExistByDate(2024, 6, 1));
    EXPECT_FALSE(pmIsWaiting());

    const QStringList lines = apptest::logMessages();
    const QStringList steps{"Folder is removed or unmounted - " + folder + "/card",
                            "AppDelegate::OnMonitorFolder() - start",
                            "AppDelegate::OnMonitorFolder() - Ready to VideoLibIsReady()",
                            "AppDelegate::OnMonitorFolder() - Ready to CheckLastVideoDate",
                            "AppDelegate::OnMonitorFolder() - Ready to RebuildPlayList",
                            "pmStartWait()",
                            "AppDelegate::rebuildPlaylist - video count = 1",
                            "pmEndWait()",
                            "AppDelegate::OnMonitorFolder() - end"};
    int at = 0;
    for (const QString& step : steps) {
        const int found = lines.indexOf(step, at);
        ASSERT_GE(found, 0) << "missing or out of order: " << step.toStdString() << "\n"
                            << lines.join("\n").toStdString();
        at = found + 1;
    }
    EXPECT_EQ(countLines(lines, "AppDelegate::pathWatcher() - <SCEvent { eventId = "), 1);

    // The card put in again: its recordings join the library and the
    // calendar marks their day, without touching the day shown.
    ASSERT_TRUE(card.mount());
    ASSERT_TRUE(recording(folder + "/card/DCIM", kDayB, QTime(10, 0), false));
    ASSERT_TRUE(recording(folder + "/card/DCIM", kDayB, QTime(11, 0), false));
    ASSERT_TRUE(waitFor([&] { return a->videoLib().size() == 3; }, 5000));
    EXPECT_TRUE(a->isMediaExistByDate(2024, 6, 2));
    EXPECT_EQ(focusDay(*a.app), kDayA);
    EXPECT_EQ(a->playlist().size(), 1);
}

TEST(FolderMonitor, TheFolderOnAPulledCardIsBuiltAgainWhenTheCardComesBack)
{
    apptest::LogToDocuments log;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString point = dir.filePath("media/CARD");
    mounttest::Tmpfs card(point);
    if (!card.mounted)
        GTEST_SKIP() << card.skipReason();
    const QString folder = point + "/DCIM";
    auto fill = [&] {
        return recording(folder, kDayA, QTime(9, 0), false) && recording(folder, kDayB, QTime(9, 0), false) &&
               recording(folder, kDayB, QTime(9, 30), false);
    };
    ASSERT_TRUE(fill());

    App a;
    ASSERT_TRUE(librarytest::buildLibrary(*a.app, folder));
    // The card's own root is watched beside the folder.
    EXPECT_EQ(a->folderWatcher()->watchedPaths(), (QStringList{folder, point}));
    ASSERT_EQ(a->playlist().size(), 2);

    ASSERT_TRUE(card.pull());
    ASSERT_TRUE(waitFor([&] { return a->playlist().isEmpty(); }, 3000));
    EXPECT_TRUE(a->videoLib().isEmpty());
    EXPECT_EQ(focusDay(*a.app), kDayB); // nothing left to move to

    ASSERT_TRUE(card.mount());
    ASSERT_TRUE(fill());
    ASSERT_TRUE(waitFor([&] { return a->videoLib().size() == 3 && a->playlist().size() == 2; }, 5000));
    EXPECT_EQ(focusDay(*a.app), kDayB);
    EXPECT_TRUE(a->folderWatcher()->isWatchingPaths());
    const QStringList lines = apptest::logMessages();
    EXPECT_GE(lines.indexOf("AppDelegate::pathWatcher() - the folder is back, building the library again - " +
                            folder),
              0);
    EXPECT_EQ(countLines(lines, "AppDelegate::buildVideoLibrary - Start! - "), 2);
}

TEST(FolderMonitor, DeletedFilesARenamedFolderAndARemovedFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("Videos");
    ASSERT_TRUE(recording(folder + "/old", kDayA, QTime(8, 0), false));
    ASSERT_TRUE(recording(folder + "/new", kDayB, QTime(8, 0), false));
    ASSERT_TRUE(recording(folder + "/new", kDayB, QTime(9, 0), false));
    ASSERT_TRUE(recording(folder + "/new", kDayB, QTime(10, 0), false));

    App a;
    ASSERT_TRUE(librarytest::buildLibrary(*a.app, folder));
    ASSERT_EQ(a->playlist().size(), 3);

    // One file deleted: the playlist is rebuilt without it.
    ASSERT_TRUE(QFile::remove(folder + "/new/FILE240602-090000_M.AVI"));
    ASSERT_TRUE(waitFor([&] { return a->playlist().size() == 2; }, 3000));
    EXPECT_EQ(a->videoLib().size(), 3);

    // A deleted file that is not listed (another day) changes nothing shown,
    // but its day loses its mark.
    ASSERT_TRUE(QFile::remove(folder + "/old/FILE240601-080000_M.AVI"));
    ASSERT_TRUE(waitFor([&] { return !a->isMediaExistByDate(2024, 6, 1); }, 3000));
    EXPECT_EQ(a->playlist().size(), 2);
    ASSERT_TRUE(recording(folder + "/old", kDayA, QTime(8, 0), false)); // back for the next step
    ASSERT_TRUE(waitFor([&] { return a->isMediaExistByDate(2024, 6, 1); }, 3000));

    // The folder of the shown day renamed: what remains is the other day.
    ASSERT_TRUE(QDir().rename(folder + "/new", dir.filePath("elsewhere")));
    ASSERT_TRUE(waitFor([&] { return focusDay(*a.app) == kDayA && a->playlist().size() == 1; }, 3000));

    // The watched folder removed: nothing is left.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(waitFor([&] { return a->playlist().isEmpty() && a->videoLib().isEmpty(); }, 3000));
    EXPECT_EQ(focusDay(*a.app), kDayA);
}

// The opened folder removed and made again, replaced by a link, and that
// link re-pointed: each time the library is built again from what the path
// now holds, and the watch goes on. Recordings linked into the folder (a
// symbolic link, a hard link) join as copied ones do.
TEST(FolderMonitor, TheFolderMadeAgainOrRelinkedIsBuiltAgainAndLinkedRecordingsJoin)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("Videos");
    ASSERT_TRUE(recording(folder, kDayA, QTime(8, 0), false));
    const QString store = dir.filePath("store");
    ASSERT_TRUE(recording(store, kDayA, QTime(9, 0), false));
    ASSERT_TRUE(recording(store, kDayA, QTime(10, 0), false));

    App a;
    ASSERT_TRUE(librarytest::buildLibrary(*a.app, folder));
    ASSERT_TRUE(waitFor([&] { return a->videoLib().size() == 1; }, 5000));

    auto names = [&] {
        QStringList list;
        for (const AMediaFile& f : a->videoLib())
            list << f.path();
        list.sort();
        return list;
    };
    ASSERT_TRUE(QFile::link(store + "/FILE240601-090000_M.AVI", folder + "/FILE240601-090000_M.AVI"));
    ASSERT_EQ(::link(QFile::encodeName(store + "/FILE240601-100000_M.AVI").constData(),
                     QFile::encodeName(folder + "/FILE240601-100000_M.AVI").constData()),
              0);
    ASSERT_TRUE(waitFor([&] { return a->videoLib().size() == 3; }, 5000)) << names().join(",").toStdString();
    EXPECT_EQ(names(), (QStringList{folder + "/FILE240601-080000_M.AVI", folder + "/FILE240601-090000_M.AVI",
                                    folder + "/FILE240601-100000_M.AVI"}));

    // Removed: nothing left. Made again with a recording: built again.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(waitFor([&] { return a->videoLib().isEmpty(); }, 5000));
    ASSERT_TRUE(recording(folder, kDayB, QTime(8, 0), false));
    ASSERT_TRUE(waitFor([&] { return a->videoLib().size() == 1; }, 5000));
    ASSERT_TRUE(recording(folder, kDayB, QTime(9, 0), false)); // and watched again
    ASSERT_TRUE(waitFor([&] { return a->videoLib().size() == 2; }, 5000));

    // Replaced by a link to another card's copy.
    const QString other = dir.filePath("other");
    ASSERT_TRUE(recording(other, kDayA, QTime(11, 0), false));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QFile::link(other, folder));
    ASSERT_TRUE(waitFor([&] { return names() == QStringList{folder + "/FILE240601-110000_M.AVI"}; }, 5000))
        << names().join(",").toStdString();

    // The link re-pointed at once to a third folder.
    const QString third = dir.filePath("third");
    ASSERT_TRUE(recording(third, kDayB, QTime(12, 0), false));
    ASSERT_TRUE(recording(third, kDayB, QTime(13, 0), false));
    ASSERT_TRUE(QFile::link(third, folder + ".new"));
    ASSERT_EQ(::rename(QFile::encodeName(folder + ".new").constData(), QFile::encodeName(folder).constData()),
              0);
    ASSERT_TRUE(waitFor(
        [&] {
            return names() ==
                   QStringList{folder + "/FILE240602-120000_M.AVI", folder + "/FILE240602-130000_M.AVI"};
        },
        5000))
        << names().join(",").toStdString();
    ASSERT_TRUE(recording(third, kDayB, QTime(14, 0), false));
    ASSERT_TRUE(waitFor([&] { return a->videoLib().size() == 3; }, 5000));
    EXPECT_TRUE(a->folderWatcher()->isWatchingPaths());
}

TEST(FolderMonitor, RecordingsArrivingJoinWithoutInterruptingPlayback)
{
    apptest::LogToDocuments log;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("Videos");
    ASSERT_TRUE(recording(folder, kDayA, QTime(10, 0), true, 20));
    ASSERT_TRUE(recording(folder, kDayA, QTime(11, 0), true, 20));

    App a;
    ASSERT_TRUE(librarytest::buildLibrary(*a.app, folder));
    ASSERT_EQ(a->playlist().size(), 2);
    a.doubleClick(1); // 11:00
    ASSERT_TRUE(a.waitPlaying());
    a->fileList()->setCurSel(1, false); // the row the user clicked
    VideoPlayerView* surface = a->videoPlayView();

    // Three recordings of the shown day arriving at once (made elsewhere and
    // dated), one of them before the one playing; one more written today; a
    // hidden one and a file that is no recording.
    const QString staging = dir.filePath("staging");
    ASSERT_TRUE(recording(staging, kDayA, QTime(9, 0), false));
    ASSERT_TRUE(recording(staging, kDayA, QTime(12, 0), false));
    ASSERT_TRUE(recording(staging, kDayA, QTime(13, 0), false));
    // Two moved in, one copied in (and given its day back, as a copy that
    // keeps its time does).
    for (const QString& name :
         {QStringLiteral("FILE240601-090000_M.AVI"), QStringLiteral("FILE240601-120000_M.AVI")})
        ASSERT_TRUE(QFile::rename(staging + "/" + name, folder + "/" + name));
    ASSERT_TRUE(QFile::copy(staging + "/FILE240601-130000_M.AVI", folder + "/FILE240601-130000_M.AVI"));
    ASSERT_TRUE(setDate(folder + "/FILE240601-130000_M.AVI", kDayA, QTime(13, 0)));
    ASSERT_TRUE(QDir().mkpath(folder + "/sub"));
    ASSERT_TRUE(apptest::writeAvi(folder + "/sub/FILE240603-100000_M.AVI")); // dated now
    ASSERT_TRUE(apptest::writeAvi(folder + "/.hidden/FILE240601-140000_M.AVI"));
    ASSERT_TRUE(apptest::writeFile(folder + "/notes.txt", "not a recording"));

    ASSERT_TRUE(waitFor([&] { return a->playlist().size() == 5 && a->videoLib().size() == 6; }, 5000))
        << playlistNames(*a.app).join(",").toStdString();
    // Still the same surface, still playing, its row moved down by one.
    EXPECT_EQ(a->videoPlayView(), surface);
    EXPECT_EQ(a->getState(), VideoPlayerView::StatePlaying);
    EXPECT_EQ(a->getCurPlayIndex(), 2);
    EXPECT_EQ(a->playlist().at(2).localizedName(), QStringLiteral("FILE240601-110000_M.MP4"));
    EXPECT_EQ(a->fileList()->getCurSel(), 2); // the selection stayed on it too
    EXPECT_TRUE(a->isMediaExistByDate(static_cast<qint16>(QDate::currentDate().year()),
                                      static_cast<qint16>(QDate::currentDate().month()),
                                      static_cast<qint16>(QDate::currentDate().day())));
    const QStringList lines = apptest::logMessages();
    EXPECT_EQ(countLines(lines, "AppDelegate::pathWatcher() - new video - "), 4);
    // One library update per batch of events.
    EXPECT_LE(countLines(lines, "AppDelegate::pathWatcher() - playlist updated"), 2);
    EXPECT_EQ(countLines(lines, "AppDelegate::rebuildPlaylist - Start"), 1); // only the build's own
}

TEST(FolderMonitor, ARecordingThatBreaksWhilePlayingIsReportedAndPlaybackMovesOn)
{
    apptest::LogToDocuments log;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("Videos");
    ASSERT_TRUE(recording(folder, kDayA, QTime(10, 0), true, 20));
    ASSERT_TRUE(recording(folder, kDayA, QTime(11, 0), true, 20));
    ASSERT_TRUE(recording(folder, kDayA, QTime(12, 0), true, 20));

    App a;
    ASSERT_TRUE(librarytest::buildLibrary(*a.app, folder));
    a.doubleClick(0);
    ASSERT_TRUE(a.waitPlaying());

    // mpv reports an error on the playing file (a read error, say): the file
    // is still there, so playback goes on with the next recording.
    VideoPlayerView* broken = a->videoPlayView();
    QSignalSpy failed(broken, &VideoPlayerView::playbackFailed);
    Q_EMIT broken->player()->ended(MpvPlayer::EndReason::Error, QStringLiteral("read error"));
    EXPECT_EQ(failed.count(), 1);
    ASSERT_TRUE(waitFor([&] { return a->getCurPlayIndex() == 1; }, 3000));
    ASSERT_TRUE(a.waitPlaying());
    EXPECT_GE(apptest::logMessages().indexOf(QRegularExpression("^AppDelegate - video failed while playing : "
                                                                "read error - .*FILE240601-100000_M.MP4$")),
              0);

    // The same with the file gone: the check rebuilds the playlist without it.
    a->stopMonitorFolder(); // this time the failure alone finds the file gone
    ASSERT_TRUE(QFile::remove(folder + "/FILE240601-110000_M.MP4"));
    Q_EMIT a->videoPlayView()->player()->ended(MpvPlayer::EndReason::Error, QStringLiteral("read error"));
    ASSERT_TRUE(waitFor([&] { return a->playlist().size() == 2 && a->getCurPlayIndex() == -1; }, 3000));
    EXPECT_NE(a->getState(), VideoPlayerView::StatePlaying);
}

TEST(FolderMonitor, TheCameraModelBelongsToTheFolderItCameFrom)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString cardA = dir.filePath("A");
    const QString cardB = dir.filePath("B");
    ASSERT_TRUE(recording(cardA + "/DCIM", kDayA, QTime(8, 0), false));
    ASSERT_TRUE(recording(cardB + "/DCIM", kDayA, QTime(8, 0), false));
    ASSERT_TRUE(
        apptest::writeFile(cardA + "/DEVICE.XML", "<Device><ProductName>CAM-ALPHA</ProductName></Device>"));

    App a;
    auto modelAfterTrackLoad = [&](const QString& folder) {
        EXPECT_TRUE(librarytest::buildLibrary(*a.app, folder + "/DCIM"));
        a->playback()->setPlayRows(0, -1); // the recording made current; its track loads
        a->playback()->onOpenGPSFile();
        a->playback()->setPlayRows(-1, -1);
        return a->gpsList().getModelName();
    };
    EXPECT_EQ(modelAfterTrackLoad(cardA), "CAM-ALPHA");
    EXPECT_EQ(modelAfterTrackLoad(cardB), ""); // not the first card's model
    EXPECT_EQ(modelAfterTrackLoad(cardA), "CAM-ALPHA");
}
