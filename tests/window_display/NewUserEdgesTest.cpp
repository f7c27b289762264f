// Screens a new user meets in the first minutes (run under xvfb-run): a single
// click on a recording previews it, the map says when its tiles cannot load,
// the 360-degree switch is for flat recordings only, a card copied without
// dates is offered placement by the names, and the last recording of a pair
// ends on both last frames. Each test saves its picture as
// item<N>-<ROVIX_SHOT_PHASE, "after" by default>.png in ROVIX_SHOT_DIR
// (<build>/window_screenshots by default).
#include "LibraryBuild.h"
#include "MediaGen.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/DpadView.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/ToolbarView.h"
#include "playback/PlaybackSession.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <ctime>

namespace
{

const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

QString shotPath(int item)
{
    QString dir = qEnvironmentVariable("ROVIX_SHOT_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(ROVIX_BINARY_DIR "/window_screenshots");
    QDir().mkpath(dir);
    QString phase = qEnvironmentVariable("ROVIX_SHOT_PHASE");
    if (phase.isEmpty())
        phase = QStringLiteral("after");
    return QStringLiteral("%1/item%2-%3.png").arg(dir).arg(item).arg(phase);
}

void shoot(QWidget* w, int item)
{
    QTest::qWait(400);
    const QImage shot = w->screen()->grabWindow(w->winId()).toImage();
    EXPECT_TRUE(shot.save(shotPath(item)));
}

// The whole screen: a message box over the window is in the picture too.
void shootScreen(int item)
{
    QTest::qWait(400);
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    EXPECT_TRUE(shot.save(shotPath(item)));
}

// A text of the English table, whatever language is in force.
QString english(const char* id)
{
    QTranslator table;
    if (!table.load(QStringLiteral(":/i18n/English.qm")))
        return QString();
    return table.translate(nullptr, id);
}

mediagen::StartTime startAt(int hour, int minute)
{
    mediagen::StartTime t;
    t.year = 2021;
    t.month = 3;
    t.day = 15;
    t.hour = hour;
    t.minute = minute;
    return t;
}

class NewUserEdges : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        ASSERT_TRUE(dir.isValid());
        QSettings().clear();
        qputenv("ROVIX_INTERNET", "on");
        pmSetStringSetting(SettingsKeys::mapPageUrl.key(), QStringLiteral("qrc:/map/map.html?tiles=none"));
        pmInstallStringTables();
    }
    void TearDown() override
    {
        qputenv("ROVIX_INTERNET", "off");
        pmSetDialogHook({});
    }

    // A front/rear pair of one moment with its track log, dated as named
    // unless `fileTime` says otherwise.
    void writePair(const QString& folder, const mediagen::StartTime& start, double seconds,
                   std::time_t fileTime = 0)
    {
        QDir().mkpath(folder);
        const QString stem = folder + "/FILE" + QString::fromStdString(start.nameStamp());
        mediagen::RecordingSpec recording;
        recording.seconds = seconds;
        recording.width = 320;
        recording.height = 192;
        std::string error;
        for (bool rear : {false, true}) {
            recording.rear = rear;
            const std::string path = (stem + (rear ? "_2.MP4" : "_M.MP4")).toStdString();
            ASSERT_TRUE(mediagen::writeRecording(path, recording, &error)) << error;
            mediagen::setFileTime(path, fileTime ? fileTime : start.toLocalEpoch());
        }
        mediagen::NmeaSpec log;
        log.start = start;
        log.drive.seconds = static_cast<int>(seconds) + 1;
        const std::string logPath = (stem + "_M.NMEA").toStdString();
        ASSERT_TRUE(mediagen::writeNmeaLog(logPath, log, &error)) << error;
        mediagen::setFileTime(logPath, fileTime ? fileTime : start.toLocalEpoch());
    }

    void launch(AppDelegate& d)
    {
        pmSetCurrentFolder(dir.path());
        d.launch();
        ASSERT_TRUE(librarytest::waitForLibrary(d));
        MainWindow* w = d.window();
        w->setGeometry(40, 40, 1280, 800);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        QTest::qWait(800);
    }

    static void clickRow(AppDelegate& d, int row, bool twice = false)
    {
        FileListBox* list = d.fileList()->fileListBox();
        const QPoint at = list->rowQtRect(row - list->firstVisibleRow()).center();
        if (twice)
            QTest::mouseDClick(list, Qt::LeftButton, {}, at);
        else
            QTest::mouseClick(list, Qt::LeftButton, {}, at);
    }

    static bool ready(VideoPlayerView* v)
    {
        return v && v->getPlayerStatus() == VideoPlayerView::StatusReadyToPlay;
    }

    static QJsonObject mapState(AppDelegate& d)
    {
        QJsonObject out;
        bool done = false;
        d.mapView()->webView()->page()->runJavaScript(
            QStringLiteral("window.__rovixState()"), [&](const QVariant& v) {
                out = QJsonDocument::fromJson(v.toString().toUtf8()).object();
                done = true;
            });
        (void)QTest::qWaitFor([&] { return done; }, 5000);
        return out;
    }

    QTemporaryDir dir;
};

} // namespace

// Item 4: a single click shows the recording's first frames, paused, with its
// track on the map and the graph; Play then plays it; a click while another
// recording plays only selects; a double click plays.
TEST_F(NewUserEdges, Item4SingleClickPreviewsTheRecording)
{
    const QString folder = dir.filePath("DCIM/100MEDIA");
    writePair(folder, startAt(8, 30), 4);
    writePair(folder, startAt(9, 0), 4);
    AppDelegate d;
    launch(d);
    ASSERT_EQ(d.playlist().size(), 4);

    clickRow(d, 2); // the second pair's front
    const bool previewed = QTest::qWaitFor(
        [&] { return ready(d.videoPlayView()) && ready(d.videoPlayView2()) && !d.isVideoLoading(); }, 15000);
    QTest::qWait(600);
    shoot(d.window(), 4);
    ASSERT_TRUE(previewed);
    PlaybackSession* s = d.playback();
    EXPECT_EQ(s->curPlayIndex(), 2);
    EXPECT_EQ(s->curPlayIndex2(), 3);
    EXPECT_EQ(s->state(), VideoPlayerView::StatePaused);
    EXPECT_EQ(d.videoPlayView2()->getState(), VideoPlayerView::StatePaused);
    EXPECT_LT(d.videoPlayView()->getitemTime(), 0.15);
    EXPECT_LT(d.videoPlayView2()->getitemTime(), 0.15);
    EXPECT_GT(d.gpsList().GetDataCount(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(d).value("routePoints").toInt() > 0; }, 10000));

    // Play plays the previewed pair from its start.
    NotificationCenter::defaultCenter().post(Notifications::PlayBarButtonClicked, QVariant(1));
    EXPECT_EQ(s->state(), VideoPlayerView::StatePlaying);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.videoPlayView()->getitemTime() > 0.5; }, 5000));
    EXPECT_EQ(d.videoPlayView2()->getState(), VideoPlayerView::StatePlaying);

    // While it plays, a click on another recording selects it and nothing else.
    VideoPlayerView* playing = d.videoPlayView();
    clickRow(d, 0);
    QTest::qWait(300);
    EXPECT_EQ(d.fileList()->getCurSel(), 0);
    EXPECT_EQ(d.videoPlayView(), playing);
    EXPECT_EQ(s->curPlayIndex(), 2);
    EXPECT_EQ(s->state(), VideoPlayerView::StatePlaying);

    // A double click plays the clicked one.
    clickRow(d, 0, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s->curPlayIndex() == 0 && ready(d.videoPlayView()); }, 15000));
    EXPECT_EQ(s->state(), VideoPlayerView::StatePlaying);
}

// Item 5: with the tile server unreachable the map area says so, in the
// language in force, and the route is still drawn.
TEST_F(NewUserEdges, Item5OfflineTilesAreNamedAndTheRouteStays)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close(); // nothing listens there any more: every tile is refused
    pmSetStringSetting(
        SettingsKeys::mapPageUrl.key(),
        QStringLiteral("qrc:/map/map.html?tiles=http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port));
    writePair(dir.filePath("DCIM/100MEDIA"), startAt(8, 30), 3);
    AppDelegate d;
    launch(d);
    NotificationCenter::defaultCenter().post(Notifications::FileListViewDoubleClick, QVariant(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready(d.videoPlayView()) && !d.isVideoLoading(); }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(d).value("routePoints").toInt() > 0; }, 10000));
    const bool noticed =
        QTest::qWaitFor([&] { return !mapState(d).value("tilesNotice").toString().isEmpty(); }, 10000);
    d.onButtonPause();
    shoot(d.window(), 5);
    ASSERT_TRUE(noticed);
    EXPECT_EQ(mapState(d).value("tilesNotice").toString(),
              pmLoadString(QStringLiteral("IDS_MAP_TILES_OFFLINE")));
    EXPECT_EQ(english("IDS_MAP_TILES_OFFLINE"),
              QStringLiteral("Map tiles unavailable offline: the route and position are still drawn"));
    EXPECT_GT(mapState(d).value("routePoints").toInt(), 0);
}

// Item 8: the settings menu's switch is for flat recordings and the current
// recording only; the pad leaves the picture visible around its buttons.
TEST_F(NewUserEdges, Item8FlatRecordingsStayFlatAndThePadIsClear)
{
    const QString folder = dir.filePath("DCIM/100MEDIA_M");
    QDir().mkpath(folder);
    mediagen::RecordingSpec wanted;
    wanted.equirect = true;
    wanted.width = 960;
    wanted.height = 480;
    wanted.fps = 10;
    wanted.seconds = 4;
    std::string error;
    const QString first = folder + "/FILE240601-090000_M.MP4";
    const QString second = folder + "/FILE240601-093000_M.MP4";
    ASSERT_TRUE(mediagen::writeRecording(first.toStdString(), wanted, &error)) << error;
    ASSERT_TRUE(mediagen::writeRecording(second.toStdString(), wanted, &error)) << error;
    AppDelegate d;
    launch(d);
    auto open = [&](int row) {
        NotificationCenter::defaultCenter().post(Notifications::FileListViewDoubleClick, QVariant(row));
        ASSERT_TRUE(QTest::qWaitFor([&] { return ready(d.videoPlayView()) && !d.isVideoLoading(); }, 20000));
        QTest::qWait(400);
        d.onButtonPause();
    };
    open(0);
    EXPECT_FALSE(d.videoPlayView()->is360Player());
    QAction* item = nullptr;
    QTest::mouseClick(d.toolbar()->oSettingBtn(), Qt::LeftButton);
    QMenu* menu = d.toolbar()->settingsMenu();
    ASSERT_NE(menu, nullptr);
    item = menu->findChild<QAction*>(QStringLiteral("view360Item"));
    ASSERT_NE(item, nullptr);
    const QString text = item->text();
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    menu->hide();
    EXPECT_TRUE(d.videoPlayView()->is360Player());
    ASSERT_NE(d.dpadView(), nullptr);
    EXPECT_TRUE(d.dpadView()->isVisible());
    shoot(d.window(), 8);
    EXPECT_EQ(text, pmLoadString(QStringLiteral("IDS_360_VIEW")));
    EXPECT_EQ(english("IDS_360_VIEW"), QStringLiteral("360-degree view for flat recordings"));
    // The pad's box shows the picture between its buttons, not black.
    {
        const QImage shot = d.window()->screen()->grabWindow(d.window()->winId()).toImage();
        const QPoint corner = d.dpadView()->mapTo(d.window(), QPoint(2, 2));
        const QColor c = shot.pixelColor(corner);
        EXPECT_GT(c.red() + c.green() + c.blue(), 60) << "the pad's corner is black";
    }
    // The next recording opens flat again.
    open(1);
    EXPECT_FALSE(d.videoPlayView()->is360Player());
    EXPECT_FALSE(d.dpadView()->isVisible());
}

// Item 9: recordings whose names and file dates are days apart (a copy that
// kept no dates) bring one offer to place them by their names.
TEST_F(NewUserEdges, Item9CopiedCardIsOfferedPlacementByNames)
{
    const QString folder = dir.filePath("DCIM/100MEDIA");
    const std::time_t copied = std::time(nullptr) - 3600;
    writePair(folder, startAt(8, 30), 2, copied);
    writePair(folder, startAt(9, 0), 2, copied);
    AppDelegate d;
    launch(d);
    QMessageBox* box = nullptr;
    const bool asked = QTest::qWaitFor(
        [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                    box = b;
            return box != nullptr;
        },
        5000);
    shootScreen(9);
    ASSERT_TRUE(asked);
    EXPECT_EQ(box->text(), pmLoadString(QStringLiteral("IDS_OFFER_PLACE_BY_NAME_TIME")));
    QPushButton* yes = nullptr;
    for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QMessageBox::YesRole || box->buttonRole(b) == QMessageBox::AcceptRole)
            yes = qobject_cast<QPushButton*>(b);
    ASSERT_NE(yes, nullptr);
    QTest::mouseClick(yes, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.isPlaceByNameTime() && !d.isBuildingLibrary(); }, 10000));
    EXPECT_TRUE(pmReadSetting(SettingsKeys::placeByNameTime));
    EXPECT_EQ(d.placementDate(d.videoLib().first()).date(), QDate(2021, 3, 15));
}

// Item 12: at the end of the last pair both cameras stay on their last frames.
TEST_F(NewUserEdges, Item12LastPairEndsOnBothLastFrames)
{
    writePair(dir.filePath("DCIM/100MEDIA"), startAt(8, 30), 2);
    AppDelegate d;
    launch(d);
    int ends = 0;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(&observer, Notifications::VideoEnd,
                                                    [&](const Notification&) { ++ends; });
    NotificationCenter::defaultCenter().post(Notifications::FileListViewDoubleClick, QVariant(0));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ready(d.videoPlayView()) && ready(d.videoPlayView2()); }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends > 0; }, 15000));
    QTest::qWait(800);
    shoot(d.window(), 12);
    EXPECT_EQ(d.playback()->state(), VideoPlayerView::StatePaused);
    EXPECT_GT(d.videoPlayView()->getitemTime(), 1.7);
    EXPECT_GT(d.videoPlayView2()->getitemTime(), 1.7);
}
