// The video surface with real OpenGL rendering (run under xvfb-run): the
// picture reaches the framebuffer, upright, at the fitted place; hidden
// surfaces keep playing; the renderer is torn down cleanly.
#include "../video/VideoTestMedia.h"
#include "views/MpvPlayer.h"
#include "views/VideoPlayerView.h"

#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLWidget>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace
{

using Mode = VideoPlayerView::RenderMode;

// An OpenGL widget cannot be composed on the offscreen platform that the test
// runner selects; this suite runs under xvfb-run, so use its X server.
const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

bool isRed(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool isBlue(QRgb c)
{
    return qBlue(c) > 180 && qRed(c) < 80 && qGreen(c) < 80;
}
bool isBlack(QRgb c)
{
    return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16;
}

class VideoDisplayTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        ASSERT_TRUE(videotest::makeHalvesRecording(s_dir->filePath("hd.mp4"), 1920, 1080, 5, 2));
        ASSERT_TRUE(videotest::makeHalvesRecording(s_dir->filePath("small.mp4"), 320, 240, 5, 2));
        videotest::RecordingOptions moving;
        moving.seconds = 1;
        ASSERT_TRUE(videotest::makeRecording(s_dir->filePath("moving.mp4"), moving));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QUrl url(const QString& name) { return QUrl::fromLocalFile(s_dir->filePath(name)); }

    void SetUp() override
    {
        if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    }

    // A window with one surface filling it, shown and exposed.
    VideoPlayerView* showSurface(QWidget& window)
    {
        window.resize(640, 480);
        auto* view = new VideoPlayerView(QRect(0, 0, 640, 480), &window, Mode::OpenGL);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        return view;
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* VideoDisplayTest::s_dir = nullptr;

TEST_F(VideoDisplayTest, LargePictureIsShrunkCentredAndUpright)
{
    QWidget window;
    VideoPlayerView* view = showSurface(window);
    ASSERT_FALSE(view->isHeadless());
    QSignalSpy ready(view, &VideoPlayerView::readyToPlay);
    view->loadURL(url("hd.mp4"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 1; }, 15000));
    view->relayout(QRect(0, 0, 640, 480));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->renderedFrameCount() >= 2; }, 15000));
    view->onPause();

    EXPECT_EQ(view->normalView->geometry(), QRect(0, 60, 639, 360));
    auto* gl = qobject_cast<QOpenGLWidget*>(view->normalView);
    ASSERT_NE(gl, nullptr);
    const QImage picture = gl->grabFramebuffer();
    ASSERT_EQ(picture.size(), QSize(639, 360));
    EXPECT_TRUE(isRed(picture.pixel(320, 40))) << std::hex << picture.pixel(320, 40);
    EXPECT_TRUE(isBlue(picture.pixel(320, 320))) << std::hex << picture.pixel(320, 320);

    // Letterbox above and below, one black column at the right.
    const QImage shown = window.grab().toImage();
    EXPECT_TRUE(isBlack(shown.pixel(320, 30)));
    EXPECT_TRUE(isBlack(shown.pixel(320, 450)));
    EXPECT_TRUE(isRed(shown.pixel(320, 100)));
    EXPECT_TRUE(isBlue(shown.pixel(320, 380)));
    EXPECT_TRUE(isBlack(shown.pixel(639, 240)));
    EXPECT_TRUE(isRed(shown.pixel(1, 100)));
}

TEST_F(VideoDisplayTest, SmallPictureKeepsItsSizeInTheMiddle)
{
    QWidget window;
    VideoPlayerView* view = showSurface(window);
    QSignalSpy ready(view, &VideoPlayerView::readyToPlay);
    view->loadURL(url("small.mp4"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ready.count() == 1 && view->renderedFrameCount() >= 2; }, 15000));
    view->onPause();
    EXPECT_EQ(view->normalView->geometry(), QRect(160, 120, 320, 240));
    const QImage shown = window.grab().toImage();
    EXPECT_TRUE(isBlack(shown.pixel(100, 240)));
    EXPECT_TRUE(isBlack(shown.pixel(540, 240)));
    EXPECT_TRUE(isBlack(shown.pixel(320, 100)));
    EXPECT_TRUE(isRed(shown.pixel(320, 150)));
    EXPECT_TRUE(isBlue(shown.pixel(320, 330)));

    // The window grows: the picture stays at its own size, centred again.
    window.resize(800, 600);
    view->resize(800, 600);
    EXPECT_EQ(view->normalView->geometry(), QRect(240, 180, 320, 240));
}

TEST_F(VideoDisplayTest, HiddenSurfaceStillDrawsEveryFrameAndPlaysThrough)
{
    // Never shown, and one of no size at all: mpv would stall on each frame nobody drew.
    for (QRect frame : {QRect(0, 0, 320, 240), QRect(0, 0, 0, 0)}) {
        VideoPlayerView view(frame, nullptr, Mode::OpenGL);
        QSignalSpy ended(&view, &VideoPlayerView::ended);
        QElapsedTimer clock;
        clock.start();
        view.loadURL(url("moving.mp4"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 10000));
        EXPECT_LT(clock.elapsed(), 1900); // a 1-second recording of 10 frames
        // A stalled surface neither draws a frame nor lets mpv drop one; on a
        // busy machine mpv drops the frames that came too late to draw, so
        // both count as the surface keeping pace.
        MpvPlayer* player = view.player();
        ASSERT_NE(player, nullptr);
        EXPECT_GE(view.renderedFrameCount() + player->frameDropCount() + player->decoderFrameDropCount(), 8);
        EXPECT_GE(view.renderedFrameCount(), 1);
        EXPECT_FALSE(view.isHeadless());
    }
}

TEST_F(VideoDisplayTest, MovingToAnotherWindowKeepsThePicture)
{
    // Qt gives the GL widget a new context in another top-level window.
    QWidget first;
    VideoPlayerView* view = showSurface(first);
    view->loadURL(url("small.mp4"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return view->getPlayerStatus() == 1 && view->renderedFrameCount() > 0; }, 15000));
    view->onPause();
    QWidget second;
    second.resize(640, 480);
    view->setParent(&second);
    view->show();
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    const qint64 before = view->renderedFrameCount();
    view->seekToTime(1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->renderedFrameCount() > before; }, 10000));
    QTest::qWait(100);
    const QImage shown = second.grab().toImage();
    EXPECT_TRUE(isRed(shown.pixel(320, 150))) << std::hex << shown.pixel(320, 150);
    EXPECT_TRUE(isBlue(shown.pixel(320, 330)));
}

TEST_F(VideoDisplayTest, RendererTornDownWhilePlayingAndOverAndOver)
{
    QWidget window;
    VideoPlayerView* view = showSurface(window);
    for (int i = 0; i < 10; ++i) {
        view->loadURL(url(i % 2 ? "moving.mp4" : "small.mp4"));
        if (i % 3 == 0) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return view->renderedFrameCount() > 0; }, 5000));
        }
        view->releasePlayer();
    }
    view->loadURL(url("moving.mp4"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->renderedFrameCount() > 2; }, 10000));
    delete view; // with frames still coming
    QTest::qWait(200);
}

} // namespace
