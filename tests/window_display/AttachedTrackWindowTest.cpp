// A recording from a camera without GPS, played in the real window (run under
// xvfb-run), given a phone's GPX (written by gpsbabel from one of our logs)
// through the settings menu: the map and the info bar follow the attached
// track, the offset slider lines it up live, the info bar's tooltip tells the
// camera clock against the track's time, OK stores the choice in the
// application's data folder, and the menu removes it again. A file that holds
// no usable track is refused with a message and attaches nothing.
#include "WindowTestSupport.h"

#include "app/TrackAttachController.h"
#include "controls/AttachTrackDlg.h"
#include "controls/ToolbarView.h"
#include "core/CameraClock.h"
#include "core/TrackAttachments.h"
#include "playback/PlaybackSession.h"

#include <QAction>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QStandardPaths>

#include <cmath>
#include <cstdlib>

using namespace windowtest;

namespace
{

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

// The settings menu's item, triggered as a click would.
void chooseMenuItem(AppDelegate& d, const char* name)
{
    d.toolbar()->onSettingButtonPressed();
    QMenu* menu = d.toolbar()->settingsMenu();
    ASSERT_NE(menu, nullptr);
    auto* item = menu->findChild<QAction*>(QLatin1String(name));
    ASSERT_NE(item, nullptr) << name;
    ASSERT_TRUE(item->isEnabled()) << name;
    item->trigger();
    menu->close();
}

bool markerNear(AppDelegate& d, double lat, double lon)
{
    const QJsonArray marker = mapState(d).value("marker").toArray();
    return marker.size() == 2 && std::fabs(marker.at(0).toDouble() - lat) < 1e-4 &&
           std::fabs(marker.at(1).toDouble() - lon) < 1e-4;
}

} // namespace

TEST(AttachedTrackWindow, PhoneTrackLinedUpWithTheSliderServesTheMapAndTheClock)
{
    if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    if (std::system("command -v gpsbabel >/dev/null") != 0)
        GTEST_SKIP() << "gpsbabel is not installed (scripts/deps.sh)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings().clear();
    qputenv("ROVIX_INTERNET", "on");
    pmSetStringSetting(SettingsKeys::mapPageUrl.key(), QStringLiteral("qrc:/map/map.html?tiles=none"));
    pmInstallStringTables();

    // The camera's recording (08:30:00 local, no log) and a phone whose track
    // starts 10 s before it, written in UTC as phones write it.
    const mediagen::StartTime start{2021, 3, 15, 8, 30, 0};
    QDir().mkpath(dir.filePath("card"));
    const QString recording =
        dir.filePath("card/FILE" + QString::fromStdString(start.nameStamp()) + "_M.MP4");
    mediagen::RecordingSpec video;
    video.seconds = 10;
    video.width = 320;
    video.height = 192;
    ASSERT_TRUE(mediagen::writeRecording(recording.toStdString(), video));
    mediagen::setFileTime(recording.toStdString(), start.toLocalEpoch());
    const std::time_t phoneStart = start.plusSeconds(-10).toLocalEpoch();
    std::tm utc{};
    gmtime_r(&phoneStart, &utc);
    mediagen::NmeaSpec phone;
    phone.start = {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec};
    phone.drive.seconds = 60;
    phone.drive.constantKmh = 70;
    phone.withGSensor = false;
    const std::vector<mediagen::TrackSample> truth = mediagen::nmeaSamples(phone);
    const std::string log = dir.filePath("phone.nmea").toStdString();
    ASSERT_TRUE(mediagen::writeNmeaLog(log, phone));
    const QString gpx = dir.filePath("phone.gpx");
    ASSERT_EQ(std::system(("grep RMC '" + log + "' >'" + log + ".rmc' && gpsbabel -i nmea -f '" + log +
                           ".rmc' -o gpx -F '" + gpx.toStdString() + "'")
                              .c_str()),
              0);
    // Cut short and with a NaN: no track in it.
    const QString bad = dir.filePath("broken.gpx");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "<?xml version=\"1.0\"?><gpx><trk><trkseg><trkpt lat=\"NaN\" lon=\"139.1\"><time>2021-03-15T");
    }

    QStringList messages;
    QString answer;
    pmSetDialogHook([&](const DialogRequest& r) {
        DialogAnswer a;
        if (r.kind == DialogRequest::Kind::MessageBox)
            messages << r.text;

        if (r.kind == DialogRequest::Kind::OpenFile)
            a.path = answer;
        return a;
    });

    AppDelegate d;
    pmSetCurrentFolder(dir.filePath("card"));
    d.launch();
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    MainWindow* w = d.window();
    w->setGeometry(40, 40, 1280, 800);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    ASSERT_EQ(d.playlist().size(), 1);
    d.dblClickFile(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready(d.videoPlayView()) && !d.isVideoLoading(); }, 15000));
    d.onButtonPause();
    EXPECT_FALSE(d.gpsList().IsGPSReady());
    EXPECT_EQ(d.mapView()->infoBarToolTip(), QString());

    // The broken file: a message naming it, no window, no track.
    answer = bad;
    chooseMenuItem(d, "attachTrackItem");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.at(0).contains(QStringLiteral("broken.gpx"))) << messages.at(0).toStdString();
    EXPECT_EQ(d.trackAttachments()->dialog(), nullptr);
    EXPECT_FALSE(d.gpsList().IsGPSReady());

    // The phone's track: at offset 0 the recording's second i is the phone's second 10 + i.
    answer = gpx;
    chooseMenuItem(d, "attachTrackItem");
    AttachTrackDlg* dlg = d.trackAttachments()->dialog();
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.gpsList().IsGPSReady(); }, 5000));
    ASSERT_EQ(d.gpsList().GetDataCount(), 10);
    EXPECT_NEAR(d.gpsList().GetGpsData(0)->fLatitude(), truth[10].lat, 2e-5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(d).value("routePoints").toInt() >= 10; }, 10000));
    const int second = static_cast<int>(d.playback()->transport().currentTime());
    EXPECT_TRUE(QTest::qWaitFor([&] { return markerNear(d, truth[10 + second].lat, truth[10 + second].lon); },
                                10000));
    EXPECT_TRUE(dlg->statusLabel()->text().contains(QStringLiteral("10")))
        << dlg->statusLabel()->text().toStdString();

    // A phone 5 s behind the camera: the map follows the slider while the window is open.
    dlg->offsetSlider()->setValue(-5);
    EXPECT_EQ(dlg->offsetLabel()->text(),
              pmLoadString(QStringLiteral("IDS_ATTACH_OFFSET_VALUE")).arg("-5 s"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::fabs(d.gpsList().GetGpsData(0)->fLatitude() - truth[5].lat) < 2e-5; }, 5000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return markerNear(d, truth[5 + second].lat, truth[5 + second].lon); }, 10000));
    // The camera clock against the track's time: 5 s ahead, in this computer's zone.
    std::tm local{};
    const std::time_t cameraStart = start.toLocalEpoch();
    localtime_r(&cameraStart, &local);
    const QString zone = QString::fromStdString(pmUtcZoneText(static_cast<int>(local.tm_gmtoff / 60)));
    EXPECT_EQ(d.mapView()->infoBarToolTip(),
              QStringLiteral("camera clock 5 s ahead of GPS time; camera time zone %1").arg(zone));

    // OK keeps it, in the data folder (not on the card).
    dlg->accept();
    TrackAttachmentStore stored(
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).toStdString());
    std::string error;
    ASSERT_TRUE(stored.load(error)) << error;
    const auto kept = stored.find(QFile::encodeName(recording).toStdString());
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->offsetSeconds, -5);
    EXPECT_EQ(kept->trackFile, QFile::encodeName(gpx).toStdString());
    EXPECT_EQ(QDir(dir.filePath("card")).entryList(QDir::Files).size(), 1) << "nothing written to the card";

    // Removed: the recording is back to no track and no clock.
    chooseMenuItem(d, "removeTrackItem");
    EXPECT_FALSE(d.gpsList().IsGPSReady());
    EXPECT_EQ(d.mapView()->infoBarToolTip(), QString());
    ASSERT_TRUE(stored.load(error));
    EXPECT_TRUE(stored.all().empty());
    EXPECT_EQ(messages.size(), 1);

    pmSetDialogHook({});
    qputenv("ROVIX_INTERNET", "off");
}
