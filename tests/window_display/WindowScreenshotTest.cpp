// Screenshots of the running application (run under xvfb-run): the generated
// demo card in the library, a recording open and paused, every skin chosen
// from the running window, in the normal and two-camera arrangements and in
// both full screens. The pictures go to <build>/window_screenshots/ for a
// person to look at; the test checks what a machine can: the window fills
// the picture, the panels sit where the arrangement puts them, each skin
// changes the chrome, and full screen comes back to the same frame.
#include "LibraryBuild.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/Services.h"
#include "controls/CalendarView.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "controls/ToolbarView.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include "MediaGen.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace
{

// The window needs a real X server (OpenGL video, web map).
const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

constexpr int kSkins = 4;

QString shotDir()
{
    return QStringLiteral(ROVIX_BINARY_DIR "/window_screenshots");
}

bool copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString dst = to + src.mid(from.size());
        QDir().mkpath(QFileInfo(dst).absolutePath());
        if (!QFile::copy(src, dst))
            return false;
        // The calendar files recordings by their dates: keep them.
        QFile copy(dst);
        if (!copy.open(QIODevice::ReadWrite) ||
            !copy.setFileTime(QFileInfo(src).lastModified(), QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}

class WindowScreenshotTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!qEnvironmentVariableIsSet("DISPLAY"))
            return;
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        // Card A: the demo card, front and rear cameras.
        const QString dual = s_dir->filePath("dual");
        std::string error;
        ASSERT_TRUE(mediagen::makeDemoCard(dual.toStdString(), &error)) << error;
        // Card B: the same card with the rear camera's recordings removed.
        const QString single = s_dir->filePath("single");
        ASSERT_TRUE(copyTree(dual, single));
        std::vector<mediagen::ManifestEntry> manifest;
        ASSERT_TRUE(mediagen::readManifest((dual + "/" + mediagen::kManifestName).toStdString(), manifest));
        for (const auto& e : manifest)
            if (e.camera == 2)
                QFile::remove(single + "/" + QString::fromStdString(e.path));
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
        // The map page shipped in the resources, without tiles: it draws the
        // route on a blank map and nothing reaches the internet.
        qputenv("ROVIX_INTERNET", "on");
        pmSetStringSetting(SettingsKeys::mapPageUrl.key(), QStringLiteral("qrc:/map/map.html?tiles=none"));
        pmInstallStringTables();
        // As the application does: a face with Japanese glyphs.
        const QString family = QStringLiteral("Noto Sans CJK JP");
        if (QFontDatabase::families().contains(family)) {
            QFont font = QApplication::font();
            font.setFamily(family);
            QApplication::setFont(font);
        }
        QDir().mkpath(shotDir());
    }

    void TearDown() override { qputenv("ROVIX_INTERNET", "off"); }

    static QImage grab(AppDelegate& d)
    {
        QTest::qWait(400); // the relayout timers, the paused frame and the map page settle
        QApplication::processEvents();
        MainWindow* w = d.window();
        return w->screen()->grabWindow(w->winId()).toImage();
    }

    static QString save(const QImage& image, int skin, const char* arrangement)
    {
        const QString path = QStringLiteral("%1/skin_%2_%3.png")
                                 .arg(shotDir())
                                 .arg(skin + 1, 2, 10, QLatin1Char('0'))
                                 .arg(arrangement);
        EXPECT_TRUE(image.save(path)) << path.toStdString();
        return path;
    }

    // Opens the first recording of the playlist, lets it play a moment and pauses it.
    static void openAndPause(AppDelegate& d)
    {
        ASSERT_FALSE(d.playlist().isEmpty());
        d.dblClickFile(0);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const bool first =
                    d.videoPlayView() && d.videoPlayView()->getPlayerStatus() == 1 && !d.isVideoLoading();
                const bool second = !d.has2Videos() || d.videoPlayView2()->getPlayerStatus() == 1;
                return first && second;
            },
            20000));
        QTest::qWait(2500);
        d.playBar()->onPlayButtonPressed(); // as a click: the button turns to "play" and posts the pause
        QTest::qWait(300);
        ASSERT_EQ(d.getState(), VideoPlayerView::StatePaused);
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* WindowScreenshotTest::s_dir = nullptr;

// The colour of the toolbar's background, a few points right of its last button.
QRgb toolbarColour(const QImage& shot)
{
    return shot.pixel(shot.width() - 300, 20);
}

TEST_F(WindowScreenshotTest, EverySkinInEveryArrangement)
{
    AppDelegate d;
    pmSetCurrentFolder(s_dir->filePath("single"));
    d.launch();
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    MainWindow* w = d.window();
    w->setGeometry(40, 40, 1280, 800);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(1200); // the first activation's layout
    ASSERT_TRUE(d.calendar() && d.fileList() && d.playBar() && d.toolbar() && d.mapView() && d.gsensorView());
    ASSERT_FALSE(d.isDualCameraMode());
    // The newest recording's day is chosen and listed.
    short y = 0, m = 0, day = 0;
    d.calendar()->GetSelectDay(y, m, day);
    EXPECT_EQ(QDate(y, m, day), QDate(2024, 5, 19));
    openAndPause(d);

    const QRect normalFrame = w->geometry();
    QRgb previousToolbar = 0;
    for (int skin = 0; skin < kSkins; ++skin) {
        d.skinMenuItemClicked(skin);
        EXPECT_EQ(AppDelegate::getSkinId(), skin);
        const QImage normal = grab(d);
        save(normal, skin, "1_normal");
        ASSERT_EQ(normal.size(), w->size());
        if (skin > 0) {
            EXPECT_NE(toolbarColour(normal), previousToolbar)
                << "skin " << skin << " left the toolbar as it was";
        }
        previousToolbar = toolbarColour(normal);

        // The play bar's and the map's own full-screen buttons, as clicked.
        d.playBar()->onFullscreenButtonPressed();
        EXPECT_EQ(d.screenMode(), AppDelegate::ScreenFullVideo);
        save(grab(d), skin, "3_fullscreen_video");
        d.playBar()->onFullscreenButtonPressed();
        QTest::qWait(200);
        EXPECT_EQ(w->geometry(), normalFrame);

        d.mapView()->OnButtonFullMap();
        EXPECT_EQ(d.screenMode(), AppDelegate::ScreenFullMap);
        save(grab(d), skin, "4_fullscreen_map");
        d.mapView()->OnButtonFullMap();
        QTest::qWait(200);
        EXPECT_EQ(w->geometry(), normalFrame);
        EXPECT_TRUE(d.fileList()->isVisible());
    }

    // Card A: pairs of front and rear recordings, so two-camera mode.
    ASSERT_TRUE(librarytest::buildLibrary(d, s_dir->filePath("dual")));
    ASSERT_TRUE(d.isDualCameraMode());
    openAndPause(d);
    ASSERT_TRUE(d.has2Videos());
    for (int skin = 0; skin < kSkins; ++skin) {
        d.skinMenuItemClicked(skin);
        const QImage dual = grab(d);
        save(dual, skin, "2_two_cameras");
        // The small second window sits under the toolbar at the right.
        EXPECT_TRUE(w->playerView2()->isVisible());
        EXPECT_EQ(w->playerView2()->geometry().right(), w->contentView()->width() - 1);
    }
    // The rear camera large, once, in the default skin.
    d.onButtonWindowSwitch();
    EXPECT_TRUE(d.isSwitchVideo());
    save(grab(d), 3, "5_two_cameras_switched");
    d.applicationWillTerminate();
}

} // namespace
