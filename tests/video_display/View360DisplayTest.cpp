// The 360-degree surface with real OpenGL (run under xvfb-run), over a
// generated equirectangular recording: front red in the middle, right green,
// back blue, left yellow. At yaw 0 the front is ahead with the right quadrant
// to the right; the direction pad, drags and head-tracker reports turn the
// view; switching off gives the flat picture back.
#include "MediaGen.h"
#include "base/NotificationCenter.h"
#include "base/PSVRDataVariant.h"
#include "controls/PlayControlView.h"
#include "views/EyeView.h"
#include "views/VideoPlayerView.h"

#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

using Mode = VideoPlayerView::RenderMode;

const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

enum class Colour { Red, Green, Blue, Yellow, Other };

Colour colourOf(QRgb c)
{
    const bool r = qRed(c) > 160, g = qGreen(c) > 160, b = qBlue(c) > 160;
    const bool lr = qRed(c) < 90, lg = qGreen(c) < 90, lb = qBlue(c) < 90;
    if (r && lg && lb)
        return Colour::Red;
    if (g && lr && lb)
        return Colour::Green;
    if (b && lr && lg)
        return Colour::Blue;
    if (r && g && lb)
        return Colour::Yellow;
    return Colour::Other;
}

const char* nameOf(Colour c)
{
    static const char* names[] = {"red", "green", "blue", "yellow", "other"};
    return names[static_cast<int>(c)];
}

class View360Display : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        mediagen::RecordingSpec wanted;
        wanted.equirect = true;
        wanted.width = 960;
        wanted.height = 480;
        wanted.fps = 10;
        wanted.seconds = 3;
        std::string error;
        ASSERT_TRUE(mediagen::writeRecording(s_dir->filePath("equirect.mp4").toStdString(), wanted, &error))
            << error;
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
    }

    // A paused surface showing the recording in a 640 x 480 window.
    VideoPlayerView* open(QWidget& window)
    {
        window.resize(640, 480);
        auto* view = new VideoPlayerView(QRect(0, 0, 640, 480), &window, Mode::OpenGL);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QSignalSpy ready(view, &VideoPlayerView::readyToPlay);
        view->loadURL(QUrl::fromLocalFile(s_dir->filePath("equirect.mp4")));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return ready.count() == 1 && view->renderedFrameCount() >= 2; }, 15000));
        view->onPause();
        view->relayout(QRect(0, 0, 640, 480));
        return view;
    }

    // The picture as drawn now (the fitted 640 x 320 area).
    static QImage picture(VideoPlayerView* view)
    {
        QApplication::processEvents();
        return qobject_cast<QOpenGLWidget*>(view->normalView)->grabFramebuffer();
    }

    static void save(const QImage& image, const char* name)
    {
        const QByteArray dir = qgetenv("ROVIX_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            image.save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }

    // Colours a little off the middle (clear of the grid line and the front
    // cross), near the left edge and near the right edge.
    static void expectView(const QImage& p, Colour left, Colour middle, Colour right, const char* where)
    {
        // 960 x 480 fitted into 640 x 480 rounds to 639 x 320.
        ASSERT_EQ(p.size(), QSize(639, 320)) << where;
        const Colour l = colourOf(p.pixel(24, 60)), m = colourOf(p.pixel(345, 145)),
                     r = colourOf(p.pixel(615, 60));
        EXPECT_EQ(l, left) << where << ": left " << nameOf(l) << " " << std::hex << p.pixel(24, 60);
        EXPECT_EQ(m, middle) << where << ": middle " << nameOf(m) << " " << std::hex << p.pixel(345, 145);
        EXPECT_EQ(r, right) << where << ": right " << nameOf(r) << " " << std::hex << p.pixel(615, 60);
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* View360Display::s_dir = nullptr;

TEST_F(View360Display, PadDragAndTrackerTurnTheSphere)
{
    QWidget window;
    VideoPlayerView* view = open(window);
    ASSERT_FALSE(view->is360Player());
    view->doDpadRotate(PlayControlView::CmdDpadRight); // flat: nothing to turn, nothing happens
    EXPECT_EQ(view->leftView, nullptr);
    expectView(picture(view), Colour::Blue, Colour::Red, Colour::Blue, "flat");

    ASSERT_TRUE(view->set360Player(true));
    ASSERT_TRUE(view->is360Player());
    ASSERT_NE(view->leftView, nullptr);
    ASSERT_NE(view->projectionMethod(), nullptr);
    EXPECT_EQ(view->projectionMethod()->name, QString::fromUtf8("2D 360\u00b0 Regular"));
    QImage p = picture(view);
    save(p, "view360_front");
    // About 57 degrees either side of the middle: the right quadrant on the
    // right, the left one on the left (the picture is not mirrored).
    expectView(p, Colour::Yellow, Colour::Red, Colour::Green, "yaw 0");
    EXPECT_GT(static_cast<EyeView*>(view->leftView)->sphereDraws(), 0);
    EXPECT_EQ(static_cast<EyeView*>(view->leftView)->meshStep(), 2); // 320 pixels tall

    for (int i = 0; i < 3; ++i)
        view->doDpadRotate(PlayControlView::CmdDpadRight); // right: 60 degrees
    EXPECT_DOUBLE_EQ(view->leftView->yaw(), -60);
    p = picture(view);
    save(p, "view360_right3");
    expectView(p, Colour::Red, Colour::Green, Colour::Green, "yaw -60");

    for (int i = 0; i < 4; ++i) {
        view->doDpadRotate(PlayControlView::CmdDpadUp);
        EXPECT_DOUBLE_EQ(view->leftView->pitch(), std::min(60, 20 * (i + 1)));
    }
    view->doDpadRotate(PlayControlView::CmdDpadReset);
    EXPECT_EQ(view->leftView->yaw(), 0);
    EXPECT_EQ(view->leftView->pitch(), 0);
    expectView(picture(view), Colour::Yellow, Colour::Red, Colour::Green, "after reset");

    // Dragging 100 points to the right turns the view 30 degrees to the left.
    const QPointF start(320, 240);
    QMouseEvent press(QEvent::MouseButtonPress, start, view->mapToGlobal(start), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &press);
    for (int step = 1; step <= 4; ++step) {
        const QPointF at = start + QPointF(25 * step, 0);
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
    }
    const QPointF end = start + QPointF(100, 0);
    QMouseEvent release(QEvent::MouseButtonRelease, end, view->mapToGlobal(end), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(view, &release);
    EXPECT_NEAR(view->leftView->yaw(), 30, 1e-9);
    view->mouseDragged(0, 1000);
    EXPECT_EQ(view->leftView->pitch(), 60);
    view->resetRotation();

    // A head-tracker report: 16000 + 16000 units of yaw are one degree.
    uint8_t raw[64] = {};
    raw[20] = raw[36] = 0x80;
    raw[21] = raw[37] = 0x3e; // 16000 each
    QVariantMap info;
    info.insert(kPSVRDataKey, QVariant::fromValue(PSVRData(raw, sizeof raw)));
    NotificationCenter::defaultCenter().post(Notifications::PSVRDataReceived, QVariant(), info);
    EXPECT_NEAR(view->leftView->yaw(), 1.0, 1e-9);
    info.insert(kPSVRDataKey, QVariant::fromValue(PSVRData(raw, 63))); // not a report
    NotificationCenter::defaultCenter().post(Notifications::PSVRDataReceived, QVariant(), info);
    EXPECT_NEAR(view->leftView->yaw(), 1.0, 1e-9);

    // Off again: the flat picture, and the tracker no longer turns anything.
    ASSERT_TRUE(view->set360Player(false));
    EXPECT_EQ(view->leftView, nullptr);
    EXPECT_EQ(view->projectionMethod(), nullptr);
    expectView(picture(view), Colour::Blue, Colour::Red, Colour::Blue, "flat again");
    NotificationCenter::defaultCenter().post(Notifications::PSVRDataReceived, QVariant(), info);
    view->releasePlayer();
}

// A small surface needs fewer texels than the picture has and shows fewer
// triangles: the sphere is drawn from a smaller texture, in larger triangles,
// and shows the same view.
TEST_F(View360Display, SmallSurfaceShowsTheSameViewFromASmallerTexture)
{
    QWidget window;
    VideoPlayerView* view = open(window);
    ASSERT_TRUE(view->set360Player(true));
    view->relayout(QRect(0, 0, 320, 240));
    const QImage p = picture(view);
    save(p, "view360_small");
    // 960 x 480 fitted into 320 x 240; 160 pixels tall at 90 degrees want 503 texels around.
    ASSERT_EQ(p.height(), 160);
    const QSize texture = view->leftView->frameSize(p.size());
    EXPECT_LT(texture.width(), 960);
    EXPECT_GE(texture.width(), 503);
    EXPECT_EQ(texture.width(), 2 * texture.height());
    const int w = p.width();
    EXPECT_EQ(colourOf(p.pixel(w * 24 / 639, 30)), Colour::Yellow);
    EXPECT_EQ(colourOf(p.pixel(w * 345 / 639, 72)), Colour::Red);
    EXPECT_EQ(colourOf(p.pixel(w * 615 / 639, 30)), Colour::Green);
    EXPECT_EQ(static_cast<EyeView*>(view->leftView)->meshStep(), 4); // larger triangles too
    view->releasePlayer();
}

TEST_F(View360Display, OtherProjectionsAndOddSizesDrawWithoutFault)
{
    QWidget window;
    VideoPlayerView* view = open(window);
    const auto& methods = VideoPlayerViewProjectionMethod::allProjectionMethods();
    ASSERT_EQ(methods.size(), 3u);
    EXPECT_EQ(&methods[0], &VideoPlayerViewProjectionMethod::allProjectionMethods()[0]); // made once

    // Stacked: the first eye has the upper half of the surface.
    ASSERT_TRUE(view->set360Player(true, 1));
    EXPECT_EQ(view->leftView->eyeLayerFrame(), QRect(0, 160, 639, 160));
    QImage p = picture(view);
    EXPECT_EQ(colourOf(p.pixel(345, 60)), Colour::Red);
    EXPECT_EQ(qGray(p.pixel(345, 300)), 0); // the lower half is the other eye's
    ASSERT_TRUE(view->set360Player(true, 2));
    EXPECT_EQ(view->leftView->projectionTransform(), [] {
        QMatrix4x4 m;
        m.rotate(90, 0, 1, 0);
        return m;
    }());
    EXPECT_FALSE(view->set360Player(true, 3));

    // A picture of no size and a surface of no size: nothing drawn, nothing breaks.
    view->leftView->setContents(QSize());
    view->normalView->update();
    EXPECT_TRUE(view->leftView->frameSize(QSize(640, 320)).isEmpty());
    qint64 frames = view->renderedFrameCount();
    view->seekToTime(1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->renderedFrameCount() > frames; }, 10000));
    view->normalView->resize(0, 0);
    frames = view->renderedFrameCount();
    view->seekToTime(2.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->renderedFrameCount() > frames; }, 10000));
    view->relayout(QRect(0, 0, 640, 480));
    EXPECT_FALSE(view->leftView->frameSize(QSize(640, 320)).isEmpty());
    view->releasePlayer();
    EXPECT_TRUE(view->set360Player(false));
}

TEST_F(View360Display, WithoutOpenGLTheSurfaceStaysFlat)
{
    QWidget window;
    auto* view = new VideoPlayerView(QRect(0, 0, 320, 240), &window, Mode::Headless);
    EXPECT_FALSE(view->set360Player(true));
    EXPECT_FALSE(view->is360Player());
    EXPECT_EQ(view->leftView, nullptr);
    view->doDpadRotate(PlayControlView::CmdDpadUp);
    view->mouseDragged(10, 10);
}

} // namespace
