#pragma once
// The running main window under xvfb-run, for the suites of this folder: two
// fixtures (the generated demo card shared by a suite, or recordings a test
// writes into a folder of its own), and pictures of what a test checks, saved
// as <name>-<ROVIX_SHOT_PHASE, "after" by default>.png in ROVIX_SHOT_DIR
// (<build>/window_screenshots by default).
#include "LibraryBuild.h"
#include "MediaGen.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <ctime>
#include <memory>

namespace windowtest
{

inline const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

inline QString shotPath(const QString& name)
{
    QString dir = qEnvironmentVariable("ROVIX_SHOT_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(ROVIX_BINARY_DIR "/window_screenshots");
    QDir().mkpath(dir);
    QString phase = qEnvironmentVariable("ROVIX_SHOT_PHASE");
    if (phase.isEmpty())
        phase = QStringLiteral("after");
    return QStringLiteral("%1/%2-%3.png").arg(dir, name, phase);
}

inline void saveShot(const QImage& image, const QString& name)
{
    EXPECT_TRUE(image.save(shotPath(name))) << shotPath(name).toStdString();
}

// The whole screen: tooltips and message boxes are windows of their own.
inline QImage screenShot()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// A window as the screen shows it, once it has settled.
inline void shoot(QWidget* w, const QString& name)
{
    QTest::qWait(400);
    saveShot(w->screen()->grabWindow(w->winId()).toImage(), name);
}

// The whole screen once it has settled: a message box over the window is in
// the picture too.
inline void shootScreen(const QString& name)
{
    QTest::qWait(400);
    saveShot(screenShot(), name);
}

inline QImage enlarged(const QImage& image, int factor)
{
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// A text of the English table, whatever language is in force.
inline QString english(const char* id)
{
    QTranslator table;
    if (!table.load(QStringLiteral(":/i18n/English.qm")))
        return QString();
    return table.translate(nullptr, id);
}

inline bool ready(VideoPlayerView* v)
{
    return v && v->getPlayerStatus() == VideoPlayerView::StatusReadyToPlay;
}

// The application on the generated demo card, made once per suite; its
// window shown (and not activated: under a bare X server nothing activates
// it, as when another window has the focus).
class DemoCardWindow : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!qEnvironmentVariableIsSet("DISPLAY"))
            return;
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        std::string error;
        ASSERT_TRUE(mediagen::makeDemoCard(s_dir->filePath("card").toStdString(), &error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        QSettings().clear();
        qputenv("ROVIX_INTERNET", "on");
        pmSetStringSetting(SettingsKeys::mapPageUrl.key(), QStringLiteral("qrc:/map/map.html?tiles=none"));
        pmInstallStringTables();
        const QString family = QStringLiteral("Noto Sans CJK JP");
        if (QFontDatabase::families().contains(family)) {
            QFont font = QApplication::font();
            font.setFamily(family);
            QApplication::setFont(font);
        }
    }
    void TearDown() override
    {
        pmSetDialogHook({});
        qputenv("ROVIX_INTERNET", "off");
    }

    std::unique_ptr<AppDelegate> launch()
    {
        auto d = std::make_unique<AppDelegate>();
        pmSetCurrentFolder(s_dir->filePath("card"));
        d->launch();
        EXPECT_TRUE(librarytest::waitForLibrary(*d));
        d->window()->setGeometry(40, 40, 1280, 800);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(d->window()));
        QTest::qWait(1200);
        return d;
    }

    static void openAndPause(AppDelegate& d)
    {
        ASSERT_FALSE(d.playlist().isEmpty());
        d.dblClickFile(0);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return d.videoPlayView() && d.videoPlayView()->getPlayerStatus() == 1 && !d.isVideoLoading();
            },
            20000));
        QTest::qWait(2500);
        d.playBar()->onPlayButtonPressed();
        QTest::qWait(400);
    }

    inline static QTemporaryDir* s_dir = nullptr;
};

inline mediagen::StartTime startAt(int hour, int minute)
{
    mediagen::StartTime t;
    t.year = 2021;
    t.month = 3;
    t.day = 15;
    t.hour = hour;
    t.minute = minute;
    return t;
}

// The application on recordings the test writes into a folder of its own.
class OwnFolderWindow : public ::testing::Test
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

} // namespace windowtest
