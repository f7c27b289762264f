// The render widget over a player of its own (run under xvfb-run): a
// projection gets each frame as a texture and draws it itself; the widget
// lets go of the player whoever closes it.
#include "views/VideoRenderWidget.h"
#include "../video/VideoTestMedia.h"
#include "views/MpvPlayer.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace
{

bool isRed(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool isGreen(QRgb c)
{
    return qGreen(c) > 180 && qRed(c) < 80 && qBlue(c) < 80;
}
bool isBlue(QRgb c)
{
    return qBlue(c) > 180 && qRed(c) < 80 && qGreen(c) < 80;
}
bool isBlack(QRgb c)
{
    return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16;
}

// Reads two pixels of the frame texture, then paints the target green.
class ProbeProjection final : public VideoProjection
{
public:
    QSize frameSize(QSize) const override { return QSize(160, 120); }
    void draw(unsigned int texture, QSize textureSize, unsigned int fbo, QSize targetPixels) override
    {
        QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
        GLuint reader = 0;
        gl->glGenFramebuffers(1, &reader);
        gl->glBindFramebuffer(GL_FRAMEBUFFER, reader);
        gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        auto read = [&](int y) {
            uchar p[4] = {};
            gl->glReadPixels(textureSize.width() / 2, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
            return qRgb(p[0], p[1], p[2]);
        };
        firstRow = read(5);
        lastRow = read(textureSize.height() - 5);
        if (scribble) { // marks the texture: only mpv drawing a frame into it again clears the mark
            gl->glViewport(0, 0, textureSize.width(), textureSize.height());
            gl->glClearColor(1, 0, 1, 1);
            gl->glClear(GL_COLOR_BUFFER_BIT);
        }
        gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        gl->glDeleteFramebuffers(1, &reader);
        gl->glViewport(0, 0, targetPixels.width(), targetPixels.height());
        gl->glClearColor(0, 1, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        size = textureSize;
        ++draws;
    }
    QRgb firstRow = 0;
    QRgb lastRow = 0;
    QSize size;
    int draws = 0;
    bool scribble = false;
};

bool isMagenta(QRgb c)
{
    return qRed(c) > 180 && qBlue(c) > 180 && qGreen(c) < 80;
}

class VideoRenderWidgetTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        ASSERT_TRUE(videotest::makeHalvesRecording(s_dir->filePath("halves.mp4"), 320, 240, 10, 2));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        if (!qEnvironmentVariableIsSet("DISPLAY") || QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    }

    // A shown widget drawing an open player that is loading the recording.
    bool start(QWidget& window, VideoRenderWidget*& widget, MpvPlayer& player)
    {
        window.resize(320, 240);
        widget = new VideoRenderWidget(&window);
        widget->resize(320, 240);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        MpvPlayer::Settings settings;
        settings.videoOutput = true;
        settings.audioOutput = "null";
        settings.paused = true;
        if (!player.open(settings) || !widget->attach(&player))
            return false;
        player.loadFile(s_dir->filePath("halves.mp4"));
        return QTest::qWaitFor([&] { return widget->renderedFrameCount() > 0; }, 15000);
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* VideoRenderWidgetTest::s_dir = nullptr;

TEST_F(VideoRenderWidgetTest, ProjectionDrawsTheFrameFromATexture)
{
    QWidget window;
    VideoRenderWidget* widget = nullptr;
    MpvPlayer player;
    ASSERT_TRUE(start(window, widget, player));

    auto probe = std::make_unique<ProbeProjection>();
    ProbeProjection* projection = probe.get();
    widget->setProjection(std::move(probe));
    qint64 frames = widget->renderedFrameCount();
    player.seekAbsolute(1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->renderedFrameCount() > frames; }, 10000));
    QTest::qWait(100);
    ASSERT_GT(projection->draws, 0);
    EXPECT_EQ(projection->size, QSize(160, 120));
    // The picture's top row comes first in the texture.
    EXPECT_TRUE(isRed(projection->firstRow)) << std::hex << projection->firstRow;
    EXPECT_TRUE(isBlue(projection->lastRow)) << std::hex << projection->lastRow;
    QImage shown = window.grab().toImage();
    EXPECT_TRUE(isGreen(shown.pixel(160, 60))) << std::hex << shown.pixel(160, 60);
    EXPECT_TRUE(isGreen(shown.pixel(160, 180)));

    // A repaint with no new frame (a turned view) draws from the texture as it
    // is; the next frame is drawn into it again.
    projection->scribble = true;
    for (const bool marked : {false, true}) {
        const int draws = projection->draws;
        widget->update();
        ASSERT_TRUE(QTest::qWaitFor([&] { return projection->draws > draws; }, 10000));
        EXPECT_EQ(isMagenta(projection->firstRow), marked) << std::hex << projection->firstRow;
    }
    projection->scribble = false;
    frames = widget->renderedFrameCount();
    player.seekAbsolute(1.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->renderedFrameCount() > frames; }, 10000));
    EXPECT_TRUE(isRed(projection->firstRow)) << std::hex << projection->firstRow;
    EXPECT_TRUE(isBlue(projection->lastRow)) << std::hex << projection->lastRow;

    // Without a projection the picture is flat again.
    widget->setProjection(nullptr);
    frames = widget->renderedFrameCount();
    player.seekAbsolute(0.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->renderedFrameCount() > frames; }, 10000));
    QTest::qWait(100);
    shown = window.grab().toImage();
    EXPECT_TRUE(isRed(shown.pixel(160, 60))) << std::hex << shown.pixel(160, 60);
    EXPECT_TRUE(isBlue(shown.pixel(160, 180)));
}

// The projection is drawn from frames mpv converts on the CPU, the flat
// picture by mpv's OpenGL renderer; mpv has one renderer at a time, so each
// switch replaces it. The recording has no sound: had mpv dropped its video
// track on the way, the file would have ended.
TEST_F(VideoRenderWidgetTest, SwitchingBetweenFlatAndProjectedReplacesTheRendererAndKeepsTheFile)
{
    QWidget window;
    VideoRenderWidget* widget = nullptr;
    MpvPlayer player;
    ASSERT_TRUE(start(window, widget, player));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.videoSize() == QSize(320, 240); }, 10000));
    QSignalSpy sizes(&player, &MpvPlayer::videoSizeChanged);
    QSignalSpy ends(&player, &MpvPlayer::ended);
    EXPECT_FALSE(widget->isSoftwareRendered());

    // Switched on and off faster than mpv carries it out, ending projected.
    ProbeProjection* projection = nullptr;
    for (int i = 0; i < 7; ++i) {
        auto probe = i % 2 == 0 ? std::make_unique<ProbeProjection>() : nullptr;
        projection = probe.get();
        widget->setProjection(std::move(probe));
        QTest::qWait(i * 15);
    }
    ASSERT_NE(projection, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->isSoftwareRendered(); }, 10000));
    qint64 frames = widget->renderedFrameCount();
    player.seekAbsolute(1.2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->renderedFrameCount() > frames; }, 10000));
    QTest::qWait(100);
    EXPECT_TRUE(isRed(projection->firstRow)) << std::hex << projection->firstRow;
    EXPECT_TRUE(isBlue(projection->lastRow)) << std::hex << projection->lastRow;

    // Back to flat, while playing.
    player.seekAbsolute(0);
    player.setPaused(false);
    widget->setProjection(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget->isSoftwareRendered(); }, 10000));
    frames = widget->renderedFrameCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->renderedFrameCount() > frames + 2; }, 10000));
    const QImage shown = window.grab().toImage();
    EXPECT_TRUE(isRed(shown.pixel(160, 60))) << std::hex << shown.pixel(160, 60);
    EXPECT_TRUE(isBlue(shown.pixel(160, 180))) << std::hex << shown.pixel(160, 180);

    EXPECT_TRUE(player.isFileLoaded());
    EXPECT_EQ(player.stringProperty("current-tracks/video/id").value_or(QString()), QStringLiteral("1"));
    for (const QList<QVariant>& size : sizes)
        EXPECT_EQ(size.at(0).toSize(), QSize(320, 240)); // never forgotten on the way
    EXPECT_EQ(player.videoSize(), QSize(320, 240));
    for (const QList<QVariant>& end : ends)
        EXPECT_EQ(end.at(0).value<MpvPlayer::EndReason>(), MpvPlayer::EndReason::EndOfFile);
    player.close();
}

// The video output goes off and comes back on right after a seek, as when
// the renderer is replaced; mpv has often read the short recording to its
// end by then. Each time a paused player draws its picture again where it
// is, and a playing one goes on.
TEST_F(VideoRenderWidgetTest, VideoOutputSwitchedOffAndOnAfterASeekDrawsAgain)
{
    QWidget window;
    VideoRenderWidget* widget = nullptr;
    MpvPlayer player;
    ASSERT_TRUE(start(window, widget, player));
    for (int round = 0; round < 16; ++round) {
        const bool paused = round < 8;
        SCOPED_TRACE(round);
        player.setPaused(paused);
        const double target = 0.4 + 0.3 * (round % 4);
        player.seekAbsolute(target);
        // Counted from when the output is off: later frames come from the new one.
        qint64 frames = -1;
        player.setVideoOutput(false, [&] {
            frames = widget->renderedFrameCount();
            player.setVideoOutput(true);
        });
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return frames >= 0 && widget->renderedFrameCount() > frames; }, 10000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !player.isSeeking(); }, 10000));
        if (paused) {
            EXPECT_NEAR(player.doubleProperty(MpvProperty::kTimePos).value_or(-1), target, 0.05);
        }
        const QImage shown = window.grab().toImage();
        EXPECT_TRUE(isRed(shown.pixel(160, 60))) << std::hex << shown.pixel(160, 60);
        EXPECT_TRUE(isBlue(shown.pixel(160, 180))) << std::hex << shown.pixel(160, 180);
    }
    EXPECT_TRUE(player.isFileLoaded());
    player.close();
}

TEST_F(VideoRenderWidgetTest, ClosingThePlayerFreesTheRendererFirst)
{
    QWidget window;
    VideoRenderWidget* widget = nullptr;
    MpvPlayer player;
    ASSERT_TRUE(start(window, widget, player));
    EXPECT_TRUE(widget->isAttached());
    player.setPaused(false);
    player.close(); // not through the widget
    EXPECT_FALSE(widget->isAttached());
    widget->update();
    QTest::qWait(100);
    EXPECT_TRUE(isBlack(window.grab().toImage().pixel(160, 60)));
    EXPECT_FALSE(widget->attach(&player)); // closed

    // Open again: the same widget draws the new handle.
    widget->resetRenderedFrameCount();
    MpvPlayer::Settings settings;
    settings.videoOutput = true;
    settings.audioOutput = "null";
    ASSERT_TRUE(player.open(settings));
    ASSERT_TRUE(widget->attach(&player));
    player.loadFile(s_dir->filePath("halves.mp4"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->renderedFrameCount() > 2; }, 10000));
    delete widget; // frees its renderer; the player then closes alone
    player.close();
}

} // namespace
