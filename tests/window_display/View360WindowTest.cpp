// The 360-degree view in the running application (run under xvfb-run): a
// recording that carries spherical-video metadata opens as a sphere with the
// direction pad, whose buttons turn it; a plain one opens flat, and the
// settings menu's "360-degree view" switches it to the sphere and back, for
// that recording only, and the pad leaves the picture visible around its
// buttons. The pictures go to <build>/window_screenshots/view360_*.png.
#include "LibraryBuild.h"
#include "MediaGen.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/DpadView.h"
#include "controls/ToolbarView.h"
#include "views/EyeView.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QOpenGLWidget>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

namespace
{

const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

// A text of the English table, whatever language is in force.
QString english(const char* id)
{
    QTranslator table;
    if (!table.load(QStringLiteral(":/i18n/English.qm")))
        return QString();
    return table.translate(nullptr, id);
}

// Red front, green right, blue back, yellow left (see RecordingSpec::equirect).
QString colourName(QRgb c)
{
    const bool r = qRed(c) > 160, g = qGreen(c) > 160, b = qBlue(c) > 160;
    const bool lr = qRed(c) < 90, lg = qGreen(c) < 90, lb = qBlue(c) < 90;
    if (r && lg && lb)
        return QStringLiteral("red");
    if (g && lr && lb)
        return QStringLiteral("green");
    if (b && lr && lg)
        return QStringLiteral("blue");
    if (r && g && lb)
        return QStringLiteral("yellow");
    return QStringLiteral("other %1").arg(c, 8, 16);
}

class View360Window : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        ASSERT_TRUE(dir.isValid());
        const QString folder = dir.filePath("DCIM/100MEDIA_M");
        QDir().mkpath(folder);
        mediagen::RecordingSpec wanted;
        wanted.equirect = true;
        wanted.width = 960;
        wanted.height = 480;
        wanted.fps = 10;
        wanted.seconds = 4;
        std::string error;
        spherical = folder + "/FILE240601-100000_M.MP4";
        plain = folder + "/FILE240601-090000_M.MP4";
        ASSERT_TRUE(mediagen::writeRecording(spherical.toStdString(), wanted, &error)) << error;
        ASSERT_TRUE(
            mediagen::addSphericalMetadata(spherical.toStdString(), mediagen::SphericalTag::Sv3d, &error))
            << error;
        ASSERT_TRUE(mediagen::writeRecording(plain.toStdString(), wanted, &error)) << error;

        QSettings().clear();
        qputenv("ROVIX_INTERNET", "on");
        pmSetStringSetting(SettingsKeys::mapPageUrl.key(), QStringLiteral("qrc:/map/map.html?tiles=none"));
        pmInstallStringTables();
        QDir().mkpath(shotDir());
    }
    void TearDown() override { qputenv("ROVIX_INTERNET", "off"); }

    static QString shotDir() { return QStringLiteral(ROVIX_BINARY_DIR "/window_screenshots"); }

    static int indexOf(AppDelegate& d, const QString& path)
    {
        for (int i = 0; i < d.playlist().size(); ++i)
            if (QFileInfo(d.getFilePathInPlaylist(i)) == QFileInfo(path))
                return i;
        return -1;
    }

    static void openAndPause(AppDelegate& d, int index)
    {
        d.dblClickFile(index);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return d.videoPlayView() && d.videoPlayView()->getPlayerStatus() == 1 && !d.isVideoLoading();
            },
            20000));
        QTest::qWait(500);
        d.onButtonPause();
        QTest::qWait(300);
    }

    // Colours left, in the middle and right of the picture as drawn now.
    static QStringList view(AppDelegate& d)
    {
        QApplication::processEvents();
        auto* gl = qobject_cast<QOpenGLWidget*>(d.videoPlayView()->normalView);
        const QImage p = gl->grabFramebuffer();
        const int y = p.height() / 5;
        return {colourName(p.pixel(p.width() / 25, y)),
                colourName(p.pixel(p.width() / 2 + p.width() / 25, y)),
                colourName(p.pixel(p.width() - p.width() / 25, y))};
    }

    static void shoot(AppDelegate& d, const char* name)
    {
        QTest::qWait(300);
        MainWindow* w = d.window();
        const QImage shot = w->screen()->grabWindow(w->winId()).toImage();
        EXPECT_TRUE(shot.save(shotDir() + "/view360_" + name + ".png"));
    }

    static void click(QWidget* b) { QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center()); }

    QTemporaryDir dir;
    QString spherical, plain;
};

} // namespace

TEST_F(View360Window, MetadataOpensTheSphereAndThePadTurnsIt)
{
    AppDelegate d;
    pmSetCurrentFolder(dir.path());
    d.launch();
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    MainWindow* w = d.window();
    w->setGeometry(40, 40, 1280, 800);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(1200);
    const int sphere = indexOf(d, spherical);
    ASSERT_GE(sphere, 0);
    openAndPause(d, sphere);

    VideoPlayerView* v = d.videoPlayView();
    ASSERT_TRUE(v->is360Player());
    ASSERT_NE(d.dpadView(), nullptr);
    EXPECT_TRUE(d.dpadView()->isVisible());
    EXPECT_TRUE(d.dpadView()->poDpadRightBtn()->isVisible());
    EXPECT_EQ(view(d), (QStringList{"yellow", "red", "green"}));
    shoot(d, "metadata_front");

    for (int i = 0; i < 3; ++i)
        click(d.dpadView()->poDpadRightBtn());
    EXPECT_EQ(v->leftView->yaw(), -60);
    EXPECT_EQ(view(d).at(1), QStringLiteral("green"));
    shoot(d, "metadata_right3");
    for (int i = 0; i < 4; ++i)
        click(d.dpadView()->poDpadUpBtn());
    EXPECT_EQ(v->leftView->pitch(), 60);
    click(d.dpadView()->poDpadResetBtn());
    EXPECT_EQ(v->leftView->yaw(), 0);
    EXPECT_EQ(v->leftView->pitch(), 0);
    EXPECT_EQ(view(d), (QStringList{"yellow", "red", "green"}));
}

TEST_F(View360Window, SettingsMenuSwitchesAPlainRecording)
{
    AppDelegate d;
    pmSetCurrentFolder(dir.path());
    d.launch();
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    MainWindow* w = d.window();
    w->setGeometry(40, 40, 1280, 800);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(1200);
    const int flat = indexOf(d, plain);
    ASSERT_GE(flat, 0);
    openAndPause(d, flat);
    ASSERT_FALSE(d.videoPlayView()->is360Player());
    EXPECT_FALSE(d.dpadView()->isVisible());
    // Flat: the whole picture, back (blue) at both edges.
    EXPECT_EQ(view(d), (QStringList{"blue", "red", "blue"}));

    auto toggle = [&] {
        click(d.toolbar()->oSettingBtn());
        QMenu* menu = d.toolbar()->settingsMenu();
        ASSERT_NE(menu, nullptr);
        QAction* item = menu->findChild<QAction*>(QStringLiteral("view360Item"));
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isEnabled());
        item->trigger();
        menu->hide();
    };
    toggle();
    ASSERT_TRUE(d.videoPlayView()->is360Player());
    EXPECT_TRUE(d.dpadView()->isVisible());
    EXPECT_EQ(view(d), (QStringList{"yellow", "red", "green"}));
    click(d.dpadView()->poDpadRightBtn());
    shoot(d, "menu_right1");
    click(d.dpadView()->poDpadResetBtn());

    toggle();
    EXPECT_FALSE(d.videoPlayView()->is360Player());
    EXPECT_FALSE(d.dpadView()->isVisible());
    EXPECT_EQ(view(d), (QStringList{"blue", "red", "blue"}));

    // The switch is for the recording it was turned on for: the next flat
    // one opens flat. A recording tagged spherical is a sphere by itself,
    // and the switch (for flat recordings) does not apply to it.
    toggle();
    ASSERT_TRUE(d.videoPlayView()->is360Player());
    openAndPause(d, indexOf(d, spherical));
    EXPECT_TRUE(d.videoPlayView()->is360Player());
    EXPECT_EQ(d.view360State(), -1);
    click(d.toolbar()->oSettingBtn());
    QMenu* menu = d.toolbar()->settingsMenu();
    ASSERT_NE(menu, nullptr);
    QAction* item = menu->findChild<QAction*>(QStringLiteral("view360Item"));
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isEnabled());
    EXPECT_EQ(item->text(), pmLoadString(QStringLiteral("IDS_360_VIEW")));
    menu->hide();
    openAndPause(d, flat);
    EXPECT_FALSE(d.videoPlayView()->is360Player());
    EXPECT_EQ(d.view360State(), 0);
    EXPECT_FALSE(d.dpadView()->isVisible());
}

// The settings menu's switch is for flat recordings and the current
// recording only; the pad leaves the picture visible around its buttons.
TEST_F(View360Window, FlatRecordingsStayFlatAndThePadIsClear)
{
    // A second plain recording, after the first.
    mediagen::RecordingSpec wanted;
    wanted.equirect = true;
    wanted.width = 960;
    wanted.height = 480;
    wanted.fps = 10;
    wanted.seconds = 4;
    std::string error;
    const QString next = QFileInfo(plain).dir().filePath(QStringLiteral("FILE240601-093000_M.MP4"));
    ASSERT_TRUE(mediagen::writeRecording(next.toStdString(), wanted, &error)) << error;
    AppDelegate d;
    pmSetCurrentFolder(dir.path());
    d.launch();
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    MainWindow* w = d.window();
    w->setGeometry(40, 40, 1280, 800);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(800);
    openAndPause(d, indexOf(d, plain));
    EXPECT_FALSE(d.videoPlayView()->is360Player());
    click(d.toolbar()->oSettingBtn());
    QMenu* menu = d.toolbar()->settingsMenu();
    ASSERT_NE(menu, nullptr);
    QAction* item = menu->findChild<QAction*>(QStringLiteral("view360Item"));
    ASSERT_NE(item, nullptr);
    const QString text = item->text();
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    menu->hide();
    EXPECT_TRUE(d.videoPlayView()->is360Player());
    ASSERT_NE(d.dpadView(), nullptr);
    EXPECT_TRUE(d.dpadView()->isVisible());
    shoot(d, "flat_pad");
    EXPECT_EQ(text, pmLoadString(QStringLiteral("IDS_360_VIEW")));
    EXPECT_EQ(english("IDS_360_VIEW"), QStringLiteral("360-degree view for flat recordings"));
    // The pad's box shows the picture between its buttons, not black.
    {
        const QImage shot = w->screen()->grabWindow(w->winId()).toImage();
        const QPoint corner = d.dpadView()->mapTo(w, QPoint(2, 2));
        const QColor c = shot.pixelColor(corner);
        EXPECT_GT(c.red() + c.green() + c.blue(), 60) << "the pad's corner is black";
    }
    // The next recording opens flat again.
    openAndPause(d, indexOf(d, next));
    EXPECT_FALSE(d.videoPlayView()->is360Player());
    EXPECT_FALSE(d.dpadView()->isVisible());
}
