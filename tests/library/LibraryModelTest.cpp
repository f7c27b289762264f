// The library on its own, with no controller around it: a generated card
// built on the worker while the window is held, the day table and what
// invalidates it, the playlist the panels choose, and the monitor's
// follow-up when recordings arrive and vanish.
#include "../app/AppTestSupport.h"
#include "LibraryBuild.h"
#include "MediaGen.h"

#include "WaitingWindow/WaitingWindow.h"
#include "app/LibraryPanels.h"
#include "base/NotificationCenter.h"
#include "base/SettingsKeys.h"
#include "controls/CalendarView.h"
#include "controls/CheckBox.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "core/FileRules.h"
#include "library/LibraryModel.h"
#include "platform/SCEvents.h"

#include <QDateTime>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

bool dated(const QString& path, const QDateTime& when)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

// A small recording the scan admits, with this modification time.
bool recording(const QString& path, const QDateTime& when)
{
    return apptest::writeAvi(path) && dated(path, when);
}

QStringList names(const QList<AMediaFile>& list)
{
    QStringList out;
    for (const AMediaFile& f : list)
        out << f.localizedName();
    return out;
}

TEST(LibraryModel, BuildsAGeneratedCardOnAWorkerWhileTheWindowTakesNoInput)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath("card");
    std::vector<mediagen::ManifestEntry> manifest;
    ASSERT_TRUE(mediagen::makeCard(card.toStdString(), mediagen::CardSpec{}, &manifest));

    QWidget window;
    auto* button = new QPushButton(QStringLiteral("Play"), &window);
    window.show();
    LibraryModel lib;
    lib.setInputWindow(&window);
    QSignalSpy built(&lib, &LibraryModel::libraryBuilt);
    QSignalSpy ready(&lib, &LibraryModel::videoLibIsReady);
    QSignalSpy rebuilt(&lib, &LibraryModel::playlistRebuilt);
    QSignalSpy clicked(button, &QPushButton::clicked);

    ASSERT_TRUE(lib.buildVideoLibrary(dir.filePath("elsewhere")));
    EXPECT_TRUE(lib.isScanning());
    EXPECT_TRUE(pmIsWaiting());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 0) << "a click reached the window during the scan";
    // Two more folders asked for while it runs: only the last one follows.
    lib.buildVideoLibrary(dir.filePath("also-elsewhere"));
    lib.buildVideoLibrary(card);
    ASSERT_TRUE(librarytest::waitForLibrary(lib));
    EXPECT_EQ(built.count(), 2);
    EXPECT_EQ(ready.count(), 2);
    EXPECT_EQ(rebuilt.count(), 2);
    EXPECT_FALSE(pmIsWaiting());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    // Exactly the recordings the card was made to have admitted.
    QSet<QString> expected;
    for (const mediagen::ManifestEntry& e : manifest)
        if (e.admitted == 1)
            expected.insert(card + "/" + QString::fromStdString(e.path));
    QSet<QString> found;
    for (const AMediaFile& f : lib.videoLib())
        found.insert(f.path());
    EXPECT_EQ(found, expected);
    EXPECT_EQ(lib.modelName(), QStringLiteral("DRC-2000W"));
    EXPECT_EQ(lib.curFolderLevel(), 0);
    EXPECT_EQ(lib.monitoredFolder(), card);
    ASSERT_TRUE(lib.folderWatcher() && lib.folderWatcher()->isWatchingPaths());

    // Without panels the playlist is the whole library in playlist order, and
    // each front/rear pair of admitted recordings is found in neighbouring rows.
    EXPECT_EQ(names(lib.playlist()), names(lib.sortByFileDate()));
    EXPECT_TRUE(lib.isAllMediaExist());
    int pairs = 0;
    for (int i = 0; i < lib.playlist().size(); ++i) {
        const QString path = lib.playlist().at(i).path();
        for (const mediagen::ManifestEntry& e : manifest) {
            const QString other = card + "/" + QString::fromStdString(e.partner);
            if (card + "/" + QString::fromStdString(e.path) != path || !expected.contains(other))
                continue; // not this row, or its partner is not a recording of the library
            const int partner = lib.getAnotherCameraFile(i);
            ASSERT_GE(partner, 0) << path.toStdString();
            EXPECT_EQ(lib.getFilePathInPlaylist(partner), other);
            ++pairs;
        }
    }
    EXPECT_GT(pairs, 0);
    EXPECT_TRUE(lib.hasCameraPair());
}

// Every naming family's pairs, in the same folder or in sibling folders, stand
// next to each other in the playlist and are found there; interior cameras
// and names without time have no partner.
TEST(LibraryModel, EveryFamilysPairsAreFoundInThePlaylist)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath("card");
    std::vector<mediagen::ManifestEntry> manifest;
    ASSERT_TRUE(mediagen::makeFamilyCard(card.toStdString(), &manifest));
    LibraryModel lib;
    lib.searchFolder(card);
    ASSERT_EQ(lib.videoLib().size(), static_cast<int>(manifest.size()));
    lib.setPlaylist(lib.sortByFileDate());
    int pairs = 0, expectedPairs = 0;
    for (const mediagen::ManifestEntry& e : manifest)
        expectedPairs += !e.partner.empty();
    for (int i = 0; i < lib.playlist().size(); ++i) {
        const QString path = lib.playlist().at(i).path();
        for (const mediagen::ManifestEntry& e : manifest) {
            if (card + "/" + QString::fromStdString(e.path) != path)
                continue;
            SCOPED_TRACE(e.path);
            EXPECT_EQ(lib.checkDualCameraFileType(i), e.camera);
            const int partner = lib.getAnotherCameraFile(i);
            if (e.partner.empty()) {
                EXPECT_EQ(partner, -1);
            } else {
                EXPECT_EQ(lib.getFilePathInPlaylist(partner), card + "/" + QString::fromStdString(e.partner));
                ++pairs;
            }
        }
    }
    EXPECT_EQ(pairs, expectedPairs);
    EXPECT_GE(pairs, 10);
    EXPECT_TRUE(lib.hasCameraPair());
}

TEST(LibraryModel, TheDayTableIsBuiltOnceAndAgainAfterEveryChange)
{
    QSettings().clear();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Named for March 5, copied on March 9.
    ASSERT_TRUE(
        recording(dir.filePath("FILE240305-080000F.AVI"), QDateTime(QDate(2024, 3, 9), QTime(12, 0))));
    ASSERT_TRUE(recording(dir.filePath("FILE240301-080000F.AVI"), QDateTime(QDate(2024, 3, 1), QTime(8, 0))));
    QTemporaryDir elsewhere;
    const QString later = elsewhere.filePath("FILE240320-080000F.AVI");
    ASSERT_TRUE(recording(later, QDateTime(QDate(2024, 3, 20), QTime(8, 0))));

    LibraryModel lib;
    lib.searchFolder(dir.path());
    ASSERT_EQ(lib.videoLib().size(), 2);
    int marked = 0;
    for (int day = 1; day <= 31; ++day) // a month the calendar shows
        marked += lib.isMediaExistByDate(2024, 3, static_cast<qint16>(day));
    EXPECT_EQ(marked, 2);
    EXPECT_EQ(lib.mediaDaysBuilds(), 1);
    EXPECT_FALSE(lib.isMediaExistByDate(0, 3, 1));

    EXPECT_TRUE(lib.addVideoFile(later));
    EXPECT_TRUE(lib.isMediaExistByDate(2024, 3, 20));
    EXPECT_EQ(lib.mediaDaysBuilds(), 2);

    // Placed by the names: the copy's day loses its mark, the name's day gains one.
    QSignalSpy ready(&lib, &LibraryModel::videoLibIsReady);
    lib.setPlaceByNameTime(true);
    EXPECT_EQ(ready.count(), 1);
    EXPECT_TRUE(lib.isMediaExistByDate(2024, 3, 5));
    EXPECT_FALSE(lib.isMediaExistByDate(2024, 3, 9));
    EXPECT_EQ(lib.mediaDaysBuilds(), 3);
    EXPECT_EQ(QSettings().value(SettingsKeys::placeByNameTime.key()).toInt(), 1);
    lib.setPlaceByNameTime(true); // no change: nothing marked again
    EXPECT_EQ(ready.count(), 1);
    EXPECT_TRUE(lib.isMediaExistByDate(2024, 3, 5));
    EXPECT_EQ(lib.mediaDaysBuilds(), 3);

    lib.setVideoLib(lib.videoLib().mid(0, 1));
    EXPECT_FALSE(lib.isMediaExistByDate(2024, 3, 20));
    lib.clearVideoLibrary();
    EXPECT_FALSE(lib.isMediaExistByDate(2024, 3, 5));
    EXPECT_EQ(lib.mediaDaysBuilds(), 5);
    QSettings().clear();
}

TEST(LibraryModel, ThePlaylistIsTheCalendarsDayAndTheTickedTypes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime may17(QDate(2024, 5, 17), QTime(8, 0));
    ASSERT_TRUE(recording(dir.filePath("FILE240517-081200_M.AVI"), may17));
    ASSERT_TRUE(recording(dir.filePath("EMER240517-090000_M.AVI"), may17.addSecs(3600)));
    ASSERT_TRUE(
        recording(dir.filePath("PARK240518-065500_M.AVI"), QDateTime(QDate(2024, 5, 18), QTime(6, 55))));

    QWidget host;
    auto* list = new FileListView(&host);
    auto* calendar = new CalendarView(&host);
    LibraryModel lib;
    connectLibraryPanels(lib, list, calendar);
    lib.searchFolder(dir.path());
    // Nothing may stay selected while the list is being replaced.
    qsizetype listedWhileClearing = -1;
    QObject::connect(&lib, &LibraryModel::playlistClearing,
                     [&] { listedWhileClearing = lib.playlist().size(); });

    calendar->SetActivateDay(2024, 5, 17);
    lib.rebuildPlaylist();
    EXPECT_EQ(listedWhileClearing, 0);
    EXPECT_EQ(names(lib.playlist()), (QStringList{"FILE240517-081200_M.AVI", "EMER240517-090000_M.AVI"}));
    EXPECT_EQ(list->fileListBox()->getCount(), 2);

    lib.setAllFiles(true);
    EXPECT_EQ(lib.playlist().size(), 3);
    NotificationCenter::defaultCenter().post(
        Notifications::CheckBoxChanged, QVariant(0),
        QVariantMap{{QStringLiteral("CHECKBOX_WINDOW"), pmIdentityString(list->normalCheckBox())}});
    ASSERT_FALSE(list->isShowNormalFile());
    lib.rebuildPlaylist();
    EXPECT_EQ(names(lib.playlist()), (QStringList{"EMER240517-090000_M.AVI", "PARK240518-065500_M.AVI"}));
    EXPECT_EQ(list->fileListBox()->getCount(), 2);
    EXPECT_EQ(lib.checkDualCameraFileType(0), kCameraMain);
    EXPECT_EQ(lib.checkDualCameraFileType(5), kCameraNone);
    EXPECT_FALSE(lib.hasCameraPair());
}

TEST(LibraryModel, TheMonitorTakesInArrivalsKeepingThePlayingRowAndDropsVanishedOnes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("Videos");
    const QDate day(2024, 6, 1);
    ASSERT_TRUE(recording(folder + "/FILE240601-100000F.AVI", QDateTime(day, QTime(10, 0))));
    ASSERT_TRUE(recording(folder + "/FILE240601-110000F.AVI", QDateTime(day, QTime(11, 0))));

    LibraryModel lib;
    // The owner's play position: row 1 plays; a rebuild deselects it.
    int playing = 1;
    lib.setPlayRowsSource([&] { return LibraryModel::PlayRows(playing, -1); });
    QObject::connect(&lib, &LibraryModel::playRowsMoved, [&](int front, int) { playing = front; });
    QObject::connect(&lib, &LibraryModel::playlistClearing, [&] { playing = -1; });
    ASSERT_TRUE(librarytest::buildLibrary(lib, folder));
    playing = 1;
    ASSERT_EQ(lib.playlist().size(), 2);
    QSignalSpy clearing(&lib, &LibraryModel::playlistClearing);
    QSignalSpy changed(&lib, &LibraryModel::playlistChanged);
    QSignalSpy vanished(&lib, &LibraryModel::recordingsVanished);

    // One recording from before the playing one moved in, one hidden.
    const QString staging = dir.filePath("staging");
    ASSERT_TRUE(recording(staging + "/FILE240601-090000F.AVI", QDateTime(day, QTime(9, 0))));
    ASSERT_TRUE(QFile::rename(staging + "/FILE240601-090000F.AVI", folder + "/FILE240601-090000F.AVI"));
    ASSERT_TRUE(recording(folder + "/.hidden/FILE240601-120000F.AVI", QDateTime(day, QTime(12, 0))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lib.playlist().size() == 3; }, 5000));
    QTest::qWait(200); // any follow-up of the hidden one has run
    EXPECT_EQ(lib.videoLib().size(), 3);
    EXPECT_EQ(playing, 2);
    EXPECT_EQ(lib.playlist().at(2).localizedName(), QStringLiteral("FILE240601-110000F.AVI"));
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(clearing.count(), 0) << "an arrival deselected what plays";
    EXPECT_EQ(vanished.count(), 0);

    // The playing recording deleted: playback is told first, the entry leaves
    // the library and the playlist is rebuilt.
    ASSERT_TRUE(QFile::remove(folder + "/FILE240601-110000F.AVI"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lib.playlist().size() == 2; }, 5000));
    EXPECT_EQ(vanished.count(), 1);
    EXPECT_EQ(clearing.count(), 1);
    EXPECT_EQ(playing, -1);
    EXPECT_EQ(lib.videoLib().size(), 2);
    EXPECT_TRUE(lib.isAllMediaExist());
    EXPECT_FALSE(pmIsWaiting());
    lib.stopMonitorFolder();
}

} // namespace
