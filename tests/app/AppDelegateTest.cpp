// The controller's life cycle and library: start-up order and log, state
// reset, library scan, queries, Browse, busy window, sleep and termination.
#include "AppTestSupport.h"
#include "LibraryBuild.h"

#include "MediaGen.h"
#include "WaitingWindow/WaitingWindow.h"
#include "app/AboutDialog.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "controls/BitmapButton.h"
#include "controls/ToolbarView.h"
#include "playback/PlaybackSession.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

using apptest::logMessages;

namespace
{

// Asserts that `expected` occurs in `lines` in this order (other lines may come between).
::testing::AssertionResult inOrder(const QStringList& lines, const QStringList& expected)
{
    int at = 0;
    for (const QString& want : expected) {
        while (at < lines.size() && lines[at] != want)
            ++at;
        if (at == lines.size())
            return ::testing::AssertionFailure()
                   << "missing or out of order: " << want.toStdString() << "\nlog:\n"
                   << lines.join('\n').toStdString();
        ++at;
    }
    return ::testing::AssertionSuccess();
}

int waitingWindowCount()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int n = 0;
    for (QWidget* w : QApplication::allWidgets())
        n += qobject_cast<WaitingWindow*>(w) ? 1 : 0;
    return n;
}

QDateTime day(int y, int m, int d, int hour = 12)
{
    return QDateTime(QDate(y, m, d), QTime(hour, 0));
}

bool setModified(const QString& path, const QDateTime& when)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

class AppDelegateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        AppDelegate::getSkinId();
        pmInstallStringTables(); // the language in force, as at start-up
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override
    {
        QSettings().clear();
        pmInstallStringTables();
    }

    // A card: three recordings on three days (one in a sub-folder), and files
    // that must never enter the library.
    QString makeCard()
    {
        const QString card = dir.filePath("DCIM/MOVIE");
        EXPECT_TRUE(apptest::writeAvi(card + "/FILE200101-120000F.AVI"));
        EXPECT_TRUE(apptest::writeAvi(card + "/sub/FILE200102-080000F.AVI"));
        EXPECT_TRUE(apptest::writeAvi(card + "/FILE200103-090000F.AVI"));
        EXPECT_TRUE(apptest::writeAvi(card + "/.hidden/FILE200104-090000F.AVI"));
        EXPECT_TRUE(apptest::writeAvi(card + "/.FILE200105-090000F.AVI"));
        EXPECT_TRUE(apptest::writeAvi(card + "/CLIP.MKV"));
        EXPECT_TRUE(apptest::writeAvi(card + "/FILE200106-090000F"));
        EXPECT_TRUE(apptest::writeFile(card + "/FILE200107-090000F.AVI", QByteArray(512, 'x'))); // not H.264
        EXPECT_TRUE(setModified(card + "/FILE200101-120000F.AVI", day(2020, 1, 1)));
        EXPECT_TRUE(setModified(card + "/sub/FILE200102-080000F.AVI", day(2020, 1, 2)));
        EXPECT_TRUE(setModified(card + "/FILE200103-090000F.AVI", day(2020, 1, 3)));
        // The camera's description two levels above the chosen folder.
        EXPECT_TRUE(apptest::writeFile(dir.filePath("DEVICE.XML"),
                                       "<Device><ProductName>RX-900 Dual</ProductName></Device>"));
        return card;
    }

    QTemporaryDir dir;
};

TEST_F(AppDelegateTest, StartUpWritesItsLogInOrderAndASecondLaunchStartsAFreshLog)
{
    apptest::LogToDocuments log;
    const QStringList expected{
        "-- Start Video Player! - AppDelegate.",
        QStringLiteral("Version : %1").arg(pmGetVersionString()),
        QSysInfo::prettyProductName(),
        "applicationDidFinishLaunching - pmIsInternetConnected() - FALSE",
        QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(pmGetMoviesFolder()),
    };
    for (int launch = 0; launch < 2; ++launch) {
        AppDelegate delegate;
        EXPECT_EQ(AppDelegate::instance(), &delegate);
        delegate.launch();
        ASSERT_TRUE(librarytest::waitForLibrary(delegate));
        const QStringList lines = logMessages();
        ASSERT_GE(lines.size(), expected.size());
        EXPECT_EQ(lines.mid(0, expected.size()), expected) << "launch " << launch;
        EXPECT_TRUE(inOrder(lines, {"pmStartWait()",
                                    "AppDelegate::buildVideoLibrary - found video count = 0, bOK = 1",
                                    "WaitingWindow will be closed!", "pmEndWait()",
                                    "AppDelegate::buildVideoLibrary - End !"}));
        EXPECT_EQ(lines.count("-- Start Video Player! - AppDelegate."), 1);
        EXPECT_EQ(delegate.window()->minimumSize(), QSize(980, 660));
        EXPECT_EQ(delegate.currentFolder(), pmGetMoviesFolder());
        EXPECT_FALSE(pmIsWaiting());
    }
    EXPECT_EQ(AppDelegate::instance(), nullptr);
}

TEST_F(AppDelegateTest, InitialDataResetsTheStateAndRegistersEachObserverOnce)
{
    pmSetIntSetting("Volume", 5);
    AppDelegate d;
    d.onButtonMute();
    d.setPlaySpeed(2.0f);
    d.windows()->setScreenMode(AppDelegate::ScreenFullMap);
    d.windows()->setNormalFrame(QRectF(1, 2, 3, 4));
    d.enable2VideoWindow(true);
    d.switchVideoWindow(true);
    d.playback()->overlay().setMode(2);
    _SYSTEMTIME start{};
    start.wYear = 2020;
    d.playback()->overlay().setStart(start);
    d.windows()->setWindowSize(QSizeF(5, 5));
    d.initialData();
    d.initialData();
    EXPECT_EQ(d.getCurPlayIndex(), -1);
    EXPECT_EQ(d.playState(), VideoPlayerView::StateNoPlayer);
    EXPECT_FALSE(d.isMuted());
    EXPECT_EQ(d.volume(), 5);
    EXPECT_FLOAT_EQ(d.playSpeed(), 1.0f);
    EXPECT_EQ(d.playback()->transport().duration(), 0.0);
    EXPECT_EQ(d.playback()->transport().currentTime(), 0.0);
    EXPECT_EQ(d.playback()->track().eventTime(), -1);
    EXPECT_EQ(d.playback()->track().sensorY(), 0);
    EXPECT_EQ(d.screenMode(), AppDelegate::ScreenNormal);
    EXPECT_TRUE(d.windows()->normalFrame().isNull());
    EXPECT_FALSE(d.isVideoLoading() || d.isDualCameraMode() || d.isSwitchVideo() ||
                 d.playback()->view360().padEnabled());
    EXPECT_EQ(d.timeStampMode(), 0);
    EXPECT_EQ(d.timeStampMode(), 0);
    EXPECT_EQ(d.playback()->overlay().start().wYear, 0);
    EXPECT_EQ(d.windowSize(), QSizeF(0, 0));
    for (const QString& name : {Notifications::PlayBarButtonClicked, Notifications::DoSliderChanged,
                                Notifications::FileListViewCheckBox, Notifications::MapViewReady,
                                Notifications::CalendarSelChanged})
        EXPECT_EQ(NotificationCenter::defaultCenter().observerCount(name), 1) << name.toStdString();
}

// The shell's own lines: the playlist and playback steps that a scan or a
// termination runs write lines of their own, checked in tests/playback, and
// so do the track reads of the card's clock measurement after a build.
QStringList shellLogMessages()
{
    static const char* const kPlaybackPrefixes[] = {"AppDelegate::rebuildPlaylist",
                                                    "setCurPlaylistIndex()",
                                                    "Set movie to movie view",
                                                    "AppDelegate - setCurPlaylistIndex",
                                                    "AppDelegate::enable2VideoWindow",
                                                    "AppDelegate - onButtonPause",
                                                    "pmGetGpsLogFile()",
                                                    "OnOpenGpsFile()",
                                                    "AppDelegate - camera clock of the card"};
    QStringList out;
    for (const QString& line : logMessages()) {
        bool playback = line.endsWith(QLatin1String(".NMEA")); // the log looked for and missing
        for (const char* prefix : kPlaybackPrefixes)
            playback = playback || line.startsWith(QLatin1String(prefix));
        if (!playback)
            out << line;
    }
    return out;
}

TEST_F(AppDelegateTest, BuildVideoLibraryScansLogsAndAnswersTheCalendar)
{
    apptest::LogToDocuments log;
    const QString card = makeCard();
    AppDelegate d;
    QSignalSpy ready(&d, &AppDelegate::videoLibIsReady);
    QSignalSpy activate(&d, &AppDelegate::activateDayRequested);
    EXPECT_TRUE(librarytest::buildLibrary(d, card));

    EXPECT_EQ(shellLogMessages(),
              (QStringList{
                  QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(card), "pmStartWait()",
                  QStringLiteral("AppDelegate::startMonitorFolder() - %1").arg(card),
                  "AppDelegate::buildVideoLibrary - found video count = 3, bOK = 1",
                  "WaitingWindow will be closed!", "pmEndWait()", "AppDelegate::buildVideoLibrary - End !"}));
    EXPECT_FALSE(pmIsWaiting());
    EXPECT_EQ(d.library()->curFolderLevel(), 0);
    EXPECT_EQ(d.library()->modelName(), "RX-900 Dual");
    ASSERT_EQ(d.videoLib().size(), 3);
    QStringList playlist;
    for (const AMediaFile& f : d.playlist())
        playlist << f.localizedName();
    EXPECT_EQ(playlist,
              (QStringList{"FILE200101-120000F.AVI", "FILE200102-080000F.AVI", "FILE200103-090000F.AVI"}));
    EXPECT_EQ(ready.count(), 1);
    ASSERT_EQ(activate.count(), 1);
    EXPECT_EQ(activate.at(0), (QList<QVariant>{2020, 1, 3}));

    EXPECT_TRUE(d.isMediaExistByDate(2020, 1, 2));
    EXPECT_FALSE(d.isMediaExistByDate(2020, 1, 4));
    EXPECT_FALSE(d.isMediaExistByDate(-1, 1, 2));
    EXPECT_EQ(d.getFilePathInPlaylist(0), card + "/FILE200101-120000F.AVI");
    EXPECT_EQ(d.getFilePathInPlaylist(2), card + "/FILE200103-090000F.AVI");
    EXPECT_TRUE(d.getFilePathInPlaylist(3).isNull());
    EXPECT_TRUE(d.getFilePathInPlaylist(-1).isNull());
    EXPECT_TRUE(d.isAllMediaExist());

    // The newest recording disappears: the calendar goes to the newest one left,
    // and with none left it stays where it is.
    ASSERT_TRUE(QFile::remove(card + "/FILE200103-090000F.AVI"));
    EXPECT_FALSE(d.isAllMediaExist());
    EXPECT_TRUE(d.isMediaExistByDate(2020, 1, 3)); // the day test does not look at the disk
    d.checkLastVideoDate();
    ASSERT_EQ(activate.count(), 2);
    EXPECT_EQ(activate.at(1), (QList<QVariant>{2020, 1, 2}));
    ASSERT_TRUE(QFile::remove(card + "/FILE200101-120000F.AVI"));
    ASSERT_TRUE(QFile::remove(card + "/sub/FILE200102-080000F.AVI"));
    d.checkLastVideoDate();
    EXPECT_EQ(activate.count(), 2);

    // A rebuild starts from an empty library; an empty playlist is never "all present".
    // Without a DEVICE.XML there is no model name: not the previous card's.
    QTemporaryDir elsewhere;
    EXPECT_TRUE(librarytest::buildLibrary(d, elsewhere.filePath("nothing-here")));
    EXPECT_TRUE(d.videoLib().isEmpty());
    EXPECT_FALSE(d.isAllMediaExist());
    EXPECT_FALSE(d.isMediaExistByDate(2020, 1, 2));
    EXPECT_TRUE(d.library()->modelName().isEmpty());
}

TEST_F(AppDelegateTest, AddVideoFileAdmitsOnlyPlayableRecordings)
{
    AppDelegate d;
    const QString good = dir.filePath("FILE200101-120000F.AVI");
    ASSERT_TRUE(apptest::writeAvi(good));
    ASSERT_TRUE(apptest::writeFile(dir.filePath("FILE200101-120001F.AVI"), QByteArray(300, 'x')));
    ASSERT_TRUE(apptest::writeAvi(dir.filePath("CLIP.MKV")));
    EXPECT_TRUE(d.addVideoFile(good));
    EXPECT_FALSE(d.addVideoFile(dir.filePath("FILE200101-120001F.AVI")));
    EXPECT_FALSE(d.addVideoFile(dir.filePath("CLIP.MKV")));
    EXPECT_FALSE(d.addVideoFile(dir.filePath("GONE.AVI")));
    ASSERT_EQ(d.videoLib().size(), 1);
    EXPECT_EQ(d.videoLib().first().URL(), QUrl::fromLocalFile(good));
    EXPECT_EQ(d.videoLib().first().fileDate(), QFileInfo(good).lastModified());
    d.clearVideoLibrary();
    EXPECT_TRUE(d.videoLib().isEmpty());
}

TEST_F(AppDelegateTest, BrowseCancelLeavesEverythingAndConfirmRebuildsAndRemembers)
{
    const QString card = makeCard();
    AppDelegate d;
    d.awakeFromNib();
    d.initialData();
    ASSERT_TRUE(librarytest::buildLibrary(d, card));
    const QList<AMediaFile> before = d.playlist();
    const QString folderBefore = d.currentFolder();

    apptest::LogToDocuments log;
    apptest::DialogRecorder recorder; // answers "cancel"
    d.onButtonBrowse();
    ASSERT_EQ(recorder.requests.size(), 1u);
    EXPECT_EQ(recorder.requests[0].kind, DialogRequest::Kind::ChooseFolder);
    EXPECT_EQ(recorder.requests[0].directory, pmGetCurrentFolder());
    EXPECT_EQ(d.videoLib().size(), 3);
    EXPECT_EQ(d.playlist().size(), before.size());
    EXPECT_EQ(d.currentFolder(), folderBefore);
    EXPECT_FALSE(pmHasSetting("CurrentFolder"));
    EXPECT_EQ(logMessages(), QStringList{"AppDelegate - onButtonBrowse()"});

    recorder.answer.path = card + "/sub";
    d.onButtonBrowse();
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    EXPECT_EQ(d.currentFolder(), card + "/sub");
    EXPECT_EQ(d.videoLib().size(), 1);
    EXPECT_EQ(pmGetStringSetting("CurrentFolder", ""), card + "/sub");
    EXPECT_EQ(pmGetCurrentFolder(), card + "/sub");
}

TEST_F(AppDelegateTest, BusyWindowDoesNotNest)
{
    apptest::LogToDocuments log;
    AppDelegate d;
    d.awakeFromNib();
    pmStartWait();
    pmStartWait();
    EXPECT_TRUE(pmIsWaiting());
    EXPECT_EQ(waitingWindowCount(), 1);
    pmWaitTick();
    pmEndWait();
    EXPECT_FALSE(pmIsWaiting());
    EXPECT_EQ(waitingWindowCount(), 0);
    pmEndWait();
    EXPECT_EQ(logMessages(), (QStringList{"pmStartWait()", "pmStartWait()", "WaitingWindow will be closed!",
                                          "pmEndWait()", "pmEndWait()"}));
}

// The log without the lines the layout's overlay placement writes.
QStringList logWithoutOverlayLines()
{
    QStringList lines = logMessages();
    lines.removeIf([](const QString& l) { return l.startsWith("AppDelegate - moveTimeStamp"); });
    return lines;
}

TEST_F(AppDelegateTest, ActivationRemembersTheSizeOnceAndLaysOut)
{
    apptest::LogToDocuments log;
    AppDelegate d;
    d.awakeFromNib();
    d.window()->resize(1200, 800);
    d.initialData();
    d.applicationDidBecomeActive();
    const QSize content = d.window()->contentSize();
    EXPECT_EQ(d.windowSize(), QSizeF(content.width(), content.height() + 22));
    d.applicationDidBecomeActive();
    const QString done = QString::asprintf("AppDelegate::relayoutContents () %fx%f OK!",
                                           d.windowSize().width(), d.windowSize().height());
    EXPECT_TRUE(QTest::qWaitFor([] { return logWithoutOverlayLines().size() >= 5; }, 2000));
    EXPECT_EQ(
        logWithoutOverlayLines(),
        (QStringList{"Application DidBecomeActive !",
                     "AppDelegate::applicationDidBecomeActive, bFirstTimeActive = 1, isDualCameraMode = 0",
                     "Application DidBecomeActive !",
                     "AppDelegate::applicationDidBecomeActive, bFirstTimeActive = 0, isDualCameraMode = 0",
                     done}));

    // Before any size is known the layout uses 977 x 642.
    apptest::LogToDocuments fresh;
    d.windows()->setWindowSize(QSizeF(0, 0));
    d.relayoutContents();
    EXPECT_EQ(logWithoutOverlayLines(),
              (QStringList{"AppDelegate::relayoutContents () frame size is 0",
                           "AppDelegate::relayoutContents () 977.000000x642.000000 OK!"}));
    EXPECT_EQ(d.windowSize(), QSizeF(977, 642));
}

TEST_F(AppDelegateTest, SleepWakeCloseAndTerminationLog)
{
    // Sleep pauses what the player is doing at that moment: nothing at first,
    // then a recording that plays.
    const QString file = dir.filePath(QStringLiteral("FILE240517-081200.MP4"));
    mediagen::RecordingSpec recording;
    recording.seconds = 20;
    ASSERT_TRUE(mediagen::writeRecording(QFile::encodeName(file).toStdString(), recording));
    apptest::LogToDocuments log;
    AppDelegate d;
    d.awakeFromNib();
    d.initialData();
    d.makeSleep();
    d.setVideoLib(
        {AMediaFile::mediaFileWithNativePath(QFile::encodeName(file), QFileInfo(file).lastModified())});
    d.rebuildPlaylist();
    d.setCurPlaylistIndex(0, true);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !d.isVideoLoading() && d.playState() == VideoPlayerView::StatePlaying; }, 15000));
    d.makeSleep();
    EXPECT_EQ(d.playState(), VideoPlayerView::StatePaused);
    d.makeWake();
    d.setCurPlaylistIndex(-1, false);
    d.windowWillClose();
    d.applicationWillTerminate();
    d.applicationWillTerminate();
    EXPECT_EQ(d.getCurPlayIndex(), -1);
    QStringList lines;
    for (const QString& line : shellLogMessages())
        if (line.startsWith(QLatin1String("AppDelegate::make")) ||
            line == QLatin1String("Window will be closed!!") ||
            line == QLatin1String("Application will be closed!"))
            lines << line;
    EXPECT_EQ(lines, (QStringList{"AppDelegate::makeSleep - MAC will make sleep!",
                                  "AppDelegate::makeSleep - MAC will make sleep!",
                                  "AppDelegate::makeSleep - paused playback before sleep!",
                                  "AppDelegate::makeWake - MAC will wake up!", "Window will be closed!!",
                                  "Application will be closed!"}));
}

TEST_F(AppDelegateTest, MenusStoreTheChoiceAndTheAboutBoxShowsTheVersion)
{
    apptest::LogToDocuments log;
    AppDelegate d;
    d.skinMenuItemClicked(0);
    EXPECT_EQ(AppDelegate::cachedSkinId(), 0);
    EXPECT_EQ(QSettings().value("SKIN_ID").toInt(), 0);
    d.skinMenuItemClicked(0); // the skin in force: nothing changes
    EXPECT_EQ(AppDelegate::cachedSkinId(), 0);

    d.languageMenuItemClicked(1);
    EXPECT_EQ(QSettings().value("LANGUAGE_ID").toInt(), 7);
    EXPECT_FALSE(d.windows()->rightToLeft());
    EXPECT_TRUE(logMessages().isEmpty());
    EXPECT_EQ(AppDelegate::getLanguageId(), 7);                  // in force at once
    EXPECT_EQ(pmLoadString("IDS_PLAY"), QStringLiteral("Play")); // French has no table: English
    d.languageMenuItemClicked(3);
    EXPECT_EQ(QSettings().value("LANGUAGE_ID").toInt(), 19);
    EXPECT_EQ(pmLoadString("IDS_PLAY"), QString::fromUtf8("再生"));

    AboutDialog about;
    EXPECT_EQ(about.windowTitle(), pmLoadString("IDS_ABOUT"));
    EXPECT_EQ(about.text(), pmLoadString("IDS_VERSION_COPYRIGHT").arg(pmGetVersionString()).arg(2020));
    EXPECT_TRUE(about.text().contains("2020"));
}

} // namespace

namespace
{
TEST_F(AppDelegateTest, NamesThatAreNotUtf8StayFindable)
{
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray odd = folder + "/FILE200101-120000F\xff\xfe.AVI";
    ASSERT_TRUE(apptest::writeAvi(dir.filePath("plain.tmp")));
    ASSERT_EQ(::rename((folder + "/plain.tmp").constData(), odd.constData()), 0);
    AppDelegate d;
    ASSERT_TRUE(librarytest::buildLibrary(d, dir.path()));
    ASSERT_EQ(d.videoLib().size(), 1);
    EXPECT_EQ(d.videoLib().first().nativePath(), odd);
    EXPECT_TRUE(d.isAllMediaExist()); // a lossy name would read as "removed"
    EXPECT_TRUE(d.videoLib().first().fileDate().isValid());
    EXPECT_TRUE(d.videoLib().first().localizedName().startsWith("FILE200101-120000F"));
}
} // namespace

namespace
{
// The walk runs on a worker: the call returns at once with the old library
// still in place and the busy window up, the main window takes no input until
// the build has ended, a build asked for meanwhile follows it, and a
// controller destroyed in the middle of a scan waits for its worker.
TEST_F(AppDelegateTest, TheScanRunsBesideTheMainLoopAndKeepsTheWindowStill)
{
    const QString card = makeCard();
    const QString other = dir.filePath("other");
    ASSERT_TRUE(apptest::writeAvi(other + "/FILE210101-120000F.AVI"));
    AppDelegate d;
    d.awakeFromNib();
    d.createPanels();
    d.initialData();
    d.window()->show();
    ASSERT_TRUE(librarytest::buildLibrary(d, other));
    ASSERT_EQ(d.videoLib().size(), 1);

    apptest::LogToDocuments log;
    apptest::DialogRecorder recorder;
    QSignalSpy built(&d, &AppDelegate::videoLibraryBuilt);
    EXPECT_TRUE(d.buildVideoLibrary(card));
    EXPECT_TRUE(d.isBuildingLibrary());
    EXPECT_TRUE(pmIsWaiting());
    EXPECT_EQ(d.videoLib().size(), 1); // the old library until the new one is whole
    EXPECT_EQ(d.playlist().size(), 1);
    // Clicks and keys to the main window are held back: no chooser opens.
    QTest::mouseClick(d.toolbar()->oBrowseBtn(), Qt::LeftButton);
    QTest::keyClick(d.window(), Qt::Key_Space);
    d.onButtonBrowse();
    EXPECT_TRUE(recorder.requests.empty());
    // Asked for meanwhile: built after the running scan, the last one asked winning.
    d.buildVideoLibrary(dir.filePath("nothing-here"));
    d.buildVideoLibrary(other);
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    EXPECT_EQ(built.count(), 2);
    EXPECT_EQ(d.videoLib().size(), 1);
    EXPECT_EQ(d.playlist().first().localizedName(), "FILE210101-120000F.AVI");
    EXPECT_FALSE(pmIsWaiting());
    const QStringList lines = shellLogMessages();
    EXPECT_TRUE(inOrder(lines, {QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(card),
                                "AppDelegate::buildVideoLibrary - found video count = 3, bOK = 1",
                                "AppDelegate::buildVideoLibrary - End !",
                                QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(other),
                                "AppDelegate::buildVideoLibrary - found video count = 1, bOK = 1",
                                "AppDelegate::buildVideoLibrary - End !"}));
    EXPECT_EQ(
        lines.count(
            QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(dir.filePath("nothing-here"))),
        0);
    // With the scan over the window takes input again.
    QTest::mouseClick(d.toolbar()->oBrowseBtn(), Qt::LeftButton);
    EXPECT_EQ(recorder.requests.size(), 1u);

    // Gone while its worker walks: the worker is waited for.
    {
        AppDelegate gone;
        gone.buildVideoLibrary(card);
    }
    EXPECT_FALSE(pmIsWaiting());
}
} // namespace
