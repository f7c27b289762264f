// The digital zoom drawn for real (run under xvfb-run): a picture in four
// coloured quadrants, zoomed about a point by the wheel and the keys on the
// surface itself, checked region by region in the framebuffer.
#include "../video/VideoTestMedia.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QOpenGLWidget>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace
{

const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

enum class Colour { Red, Green, Blue, White, Other };

Colour colourOf(QRgb c)
{
    const bool r = qRed(c) > 180, g = qGreen(c) > 180, b = qBlue(c) > 180;
    const bool r0 = qRed(c) < 80, g0 = qGreen(c) < 80, b0 = qBlue(c) < 80;
    if (r && g && b)
        return Colour::White;
    if (r && g0 && b0)
        return Colour::Red;
    if (g && r0 && b0)
        return Colour::Green;
    if (b && r0 && g0)
        return Colour::Blue;
    return Colour::Other;
}

// Every pixel of the region (inset from its edges, where scaling blends the
// colours) has the colour; the first that has not is named.
::testing::AssertionResult regionIs(const QImage& picture, QRect region, Colour want)
{
    region = region.adjusted(6, 6, -6, -6);
    for (int y = region.top(); y <= region.bottom(); y += 3) {
        for (int x = region.left(); x <= region.right(); x += 3) {
            if (colourOf(picture.pixel(x, y)) != want)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << std::hex << picture.pixel(x, y);
        }
    }
    return ::testing::AssertionSuccess();
}

void sendWheel(QWidget* target, QPointF at, int notches)
{
    QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
}

class VideoZoomDisplayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(videotest::makeQuadrantsRecording(m_dir.filePath("quad.mp4"), 640, 480, 10, 3));
    }

    // Waits (up to 5 s: mpv takes the three values one by one, and draws
    // in between) until the surface's picture shows the colours in the
    // regions; the failure names the first region that does not.
    static ::testing::AssertionResult shows(VideoPlayerView* view,
                                            const std::vector<std::pair<QRect, Colour>>& regions)
    {
        ::testing::AssertionResult last = ::testing::AssertionSuccess();
        const bool matched = QTest::qWaitFor(
            [&] {
                const QImage picture = qobject_cast<QOpenGLWidget*>(view->normalView)->grabFramebuffer();
                if (picture.size() != view->normalView->size() * view->devicePixelRatio()) {
                    last = ::testing::AssertionFailure() << "picture size";
                    return false;
                }
                for (const auto& [region, colour] : regions) {
                    last = regionIs(picture, region, colour);
                    if (!last)
                        return false;
                }
                return true;
            },
            5000);
        return matched ? ::testing::AssertionSuccess() : last;
    }

    QTemporaryDir m_dir;
};

TEST_F(VideoZoomDisplayTest, WheelKeysDragAndDoubleClickZoomThePictureAboutThePoint)
{
    QWidget window;
    window.resize(640, 480);
    auto* view = new VideoPlayerView(QRect(0, 0, 640, 480), &window, VideoPlayerView::RenderMode::OpenGL);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy ready(view, &VideoPlayerView::readyToPlay);
    view->setRate(0); // paused on the first frame
    view->loadURL(QUrl::fromLocalFile(m_dir.filePath("quad.mp4")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 1; }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->renderedFrameCount() >= 1; }, 10000));
    ASSERT_EQ(view->pictureRect(), QRect(0, 0, 640, 480));

    // Four wheel notches (2x) about (480, 360), the middle of the white
    // quadrant: the picture's x 0.375 .. 0.875 is shown, so the blue/white and
    // red/green borders move to a quarter of the view.
    const std::vector<std::pair<QRect, Colour>> zoomed = {{QRect(0, 0, 160, 120), Colour::Red},
                                                          {QRect(160, 0, 480, 120), Colour::Green},
                                                          {QRect(0, 120, 160, 360), Colour::Blue},
                                                          {QRect(160, 120, 480, 360), Colour::White}};
    const std::vector<std::pair<QRect, Colour>> whole = {{QRect(0, 0, 320, 240), Colour::Red},
                                                         {QRect(320, 0, 320, 240), Colour::Green},
                                                         {QRect(0, 240, 320, 240), Colour::Blue},
                                                         {QRect(320, 240, 320, 240), Colour::White}};
    sendWheel(view, QPointF(480, 360), 4);
    EXPECT_NEAR(view->zoom().factor, 2.0, 1e-9);
    EXPECT_TRUE(shows(view, zoomed));

    // A frame step keeps the zoom.
    const qint64 frames = view->renderedFrameCount();
    view->stepFrame(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->renderedFrameCount() > frames; }, 5000));
    EXPECT_TRUE(shows(view, zoomed));

    // A drag far to the right and down stops with the picture's top left
    // corner on the view's: the red quadrant fills the view.
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseMove(view, QPoint(630, 470));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(630, 470));
    EXPECT_TRUE(shows(view, {{QRect(0, 0, 640, 480), Colour::Red}}));

    // '-' twice steps back out to 1x: the four quadrants as recorded.
    QTest::keyClick(view, Qt::Key_Minus);
    QTest::keyClick(view, Qt::Key_Minus);
    EXPECT_FALSE(view->isZoomed());
    EXPECT_TRUE(shows(view, whole));
    QTest::keyClick(view, Qt::Key_Plus, Qt::ShiftModifier);
    EXPECT_TRUE(view->isZoomed());
    QTest::keyClick(view, Qt::Key_0);
    EXPECT_FALSE(view->isZoomed());
    EXPECT_TRUE(shows(view, whole));

    // Many notches about the top left corner stop at 8x, and a double-click
    // goes back to the whole picture.
    sendWheel(view, QPointF(0, 0), 20);
    EXPECT_DOUBLE_EQ(view->zoom().factor, kPictureZoomMax);
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(320, 240));
    EXPECT_FALSE(view->isZoomed());

    // In 360-degree mode the wheel and the keys leave the flat zoom alone.
    ASSERT_TRUE(view->set360Player(true));
    sendWheel(view, QPointF(320, 240), 2);
    QTest::keyClick(view, Qt::Key_Plus);
    EXPECT_FALSE(view->isZoomed());
    view->releasePlayer();
}

} // namespace
