// A front/rear pair of another camera family (Novatek-style names in the
// sibling folders F/ and R/) whose only track is the one the camera wrote
// inside the recordings (no companion log), played in the real window (run
// under xvfb-run): both cameras play in step and the front's route is drawn on
// the map from its embedded track, one sample per second.
#include "LibraryBuild.h"
#include "MediaGen.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/Services.h"
#include "playback/PlaybackSession.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <cmath>
#include <gtest/gtest.h>

namespace
{

const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

QJsonObject mapState(AppDelegate& d)
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

bool ready(VideoPlayerView* v)
{
    return v && v->getPlayerStatus() == VideoPlayerView::StatusReadyToPlay;
}

} // namespace

TEST(EmbeddedRoute, PairWithATrackInsideTheRecordingsDrawsItsRoute)
{
    if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings().clear();
    qputenv("ROVIX_INTERNET", "on");
    pmSetStringSetting(SettingsKeys::mapPageUrl.key(), QStringLiteral("qrc:/map/map.html?tiles=none"));
    pmInstallStringTables();

    const int seconds = 5;
    mediagen::StartTime start;
    start.year = 2021;
    start.month = 3;
    start.day = 15;
    start.hour = 8;
    start.minute = 30;
    QDir().mkpath(dir.filePath("Movie/F"));
    QDir().mkpath(dir.filePath("Movie/R"));
    mediagen::DriveSpec drive;
    drive.seconds = seconds;
    drive.constantKmh = 50;
    drive.profile = mediagen::SpeedProfile::Constant;
    std::string error;
    for (bool rear : {false, true}) {
        mediagen::RecordingSpec recording;
        recording.seconds = seconds;
        recording.width = 320;
        recording.height = 192;
        recording.rear = rear;
        mediagen::EmbeddedSpec track;
        // The front's blocks are listed by an index; the rear's must be found
        // in the media data.
        track.layout =
            rear ? mediagen::EmbeddedLayout::NovatekUnindexed : mediagen::EmbeddedLayout::NovatekIndexed;
        drive.originLat = rear ? 35.70 : 35.60;
        track.samples = mediagen::makeDrive(drive);
        track.utc = start;
        const std::string path =
            dir.filePath(rear ? "Movie/R/2021_0315_083000_0001R.MP4" : "Movie/F/2021_0315_083000_0001F.MP4")
                .toStdString();
        ASSERT_TRUE(mediagen::writeRecordingWithEmbeddedTrack(path, recording, track, &error)) << error;
        mediagen::setFileTime(path, start.toLocalEpoch());
    }

    AppDelegate d;
    pmSetCurrentFolder(dir.path());
    d.launch();
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    MainWindow* w = d.window();
    w->setGeometry(40, 40, 1280, 800);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    ASSERT_EQ(d.playlist().size(), 2);

    d.dblClickFile(0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ready(d.videoPlayView()) && ready(d.videoPlayView2()) && !d.isVideoLoading(); }, 15000));
    EXPECT_EQ(d.gpsList().GetDataCount(), seconds);
    EXPECT_TRUE(d.gpsList().IsGPSReady());
    EXPECT_NEAR(d.gpsList().GetGpsData(0)->fLatitude(), 35.60, 1e-3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(d).value("routePoints").toInt() >= seconds; }, 10000));
    // In step: once both have played a while, the rear stands where the front does.
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.videoPlayView()->getitemTime() >= 2.0; }, 10000));
    EXPECT_NEAR(d.videoPlayView2()->getitemTime(), d.videoPlayView()->getitemTime(), 1.0);

    d.onButtonPause();
    qputenv("ROVIX_INTERNET", "off");
}
