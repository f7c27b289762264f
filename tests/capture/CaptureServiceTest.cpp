// The capture service on its own: frames of generated recordings taken
// through its hooks (no surface, no controller), the time stamp drawn into
// them, the capture command's ending with a failure and with Cancel, and the
// frames of a command read on workers at the moment it was given.
#include "../app/AppTestSupport.h"
#include "CaptureTestSupport.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BitmapButton.h"
#include "controls/CapturePreviewDlg.h"
#include "export/CaptureService.h"
#include "export/FrameGrabber.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace capturetest;

namespace
{

TEST(CaptureServiceTest, FramesAtThePositionWithTheTimeStampOfThatSecond)
{
    QTemporaryDir dir;
    const QString front = dir.filePath(QStringLiteral("FILE210315-081000_F.MP4"));
    const QString rear = dir.filePath(QStringLiteral("FILE210315-081000_R.MP4"));
    ASSERT_TRUE(makeNumberedRecording(front, mediagen::Container::Mp4, 3, 320, 240, 10));
    ASSERT_TRUE(makeNumberedRecording(rear, mediagen::Container::Mp4, 3, 320, 240, 10, true));
    double position = 1.5;
    bool stamped = true;
    bool two = false;
    QList<double> asked;
    CaptureService capture;
    CaptureService::Hooks hooks;
    hooks.position = [&] { return position; };
    hooks.hasSecondCamera = [&] { return two; };
    hooks.recordingPath = [&](int camera) { return QFile::encodeName(camera == 1 ? front : rear); };
    hooks.timeStampShown = [&] { return stamped; };
    hooks.timeStampTextAt = [&](double at) -> std::optional<QString> {
        asked << at;
        return QStringLiteral("2021/03/15 08:10:%1").arg(int(at), 2, 10, QLatin1Char('0'));
    };
    capture.setHooks(hooks);

    const QImage raw = pmGrabFrame(QFile::encodeName(front), position).image;
    ASSERT_FALSE(raw.isNull());
    const QImage image = capture.getCurrentImage();
    ASSERT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(readFrameNumber(image), 15); // the frame on screen, not the second's first
    EXPECT_EQ(asked, QList<double>{1.5});
    EXPECT_NE(image, raw.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(image, capture.drawTimeStampAt(raw, 1.5));
    EXPECT_NE(image, capture.drawTimeStampAt(raw, 2.0)); // another second, another text

    // The overlay off: camera 1's frame as it is; camera 2's is always stamped.
    stamped = false;
    EXPECT_EQ(capture.getCurrentImage(), raw);
    EXPECT_TRUE(capture.getCurrentImage2().isNull());
    EXPECT_EQ(capture.lastCaptureError(), QStringLiteral("no second camera"));
    two = true;
    const QImage second = capture.getCurrentImage2();
    EXPECT_EQ(readFrameNumber(second), 15);
    EXPECT_EQ(second, capture.drawTimeStampAt(pmGrabFrame(QFile::encodeName(rear), 1.5).image, 1.5));

    // No recording open: nothing, and why.
    hooks.recordingPath = [](int) { return QByteArray(); };
    capture.setHooks(hooks);
    EXPECT_TRUE(capture.getCurrentImage().isNull());
    EXPECT_EQ(capture.lastCaptureError(), QStringLiteral("no recording is open"));
}

TEST(CaptureServiceTest, TheCommandResumesPlaybackAfterAFailureAndAfterCancel)
{
    QTemporaryDir dir;
    const QString front = dir.filePath(QStringLiteral("FILE210315-081000_F.MP4"));
    ASSERT_TRUE(makeNumberedRecording(front, mediagen::Container::Mp4, 2, 160, 120, 10));
    VideoPlayerView::State state = VideoPlayerView::StatePlaying;
    bool ready = false;
    int pauses = 0, resumes = 0, closed = 0;
    CaptureService capture;
    CaptureService::Hooks hooks;
    hooks.playState = [&] { return state; };
    hooks.pauseForFrame = [&] { ++pauses; };
    hooks.resumePlayback = [&] { ++resumes; };
    hooks.surfaceReady = [&] { return ready; };
    hooks.position = [] { return 0.5; };
    hooks.recordingPath = [&](int camera) { return camera == 1 ? QFile::encodeName(front) : QByteArray(); };
    capture.setHooks(hooks);
    QObject::connect(&capture, &CaptureService::captureClosed, [&] { ++closed; });
    apptest::DialogRecorder dialogs;

    // Nothing open: nothing at all.
    state = VideoPlayerView::StateNoPlayer;
    capture.onButtonCapture();
    EXPECT_EQ(pauses, 0);

    // Still opening: a message, and playback goes on.
    state = VideoPlayerView::StatePlaying;
    capture.onButtonCapture();
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].text, pmLoadString(QStringLiteral("IDS_ERR_CAPTURE_FRAME")));
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(resumes, 1);
    EXPECT_EQ(capture.captureDialog(), nullptr);

    // The preview over the frame once it is in; Cancel resumes once it has closed.
    ready = true;
    capture.onButtonCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.captureDialog() != nullptr; }, 10000));
    CapturePreviewDlg* preview = capture.captureDialog();
    EXPECT_EQ(readFrameNumber(preview->videoImage()), 5);
    capture.onButtonCapture(); // one window at a time
    EXPECT_EQ(pauses, 2);
    QTest::mouseClick(preview->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed == 1; }, 10000));
    EXPECT_EQ(resumes, 2);
}

TEST(CaptureServiceTest, AZoomedPictureOffersWhatIsShownAndItsJpegSaysSo)
{
    QTemporaryDir dir;
    const QString front = dir.filePath(QStringLiteral("FILE210315-081000_F.MP4"));
    ASSERT_TRUE(makeNumberedRecording(front, mediagen::Container::Mp4, 2, 320, 240, 10));
    PictureZoom zoom = pmZoomAbout(PictureZoom(), 2.0, 1.0, 0.0); // the top right quarter
    int closed = 0;
    CaptureService capture;
    CaptureService::Hooks hooks;
    hooks.playState = [] { return VideoPlayerView::StatePaused; };
    hooks.surfaceReady = [] { return true; };
    hooks.position = [] { return 0.5; };
    hooks.recordingPath = [&](int camera) { return camera == 1 ? QFile::encodeName(front) : QByteArray(); };
    hooks.zoomOf = [&](int camera) { return camera == 1 ? zoom : PictureZoom(); };
    capture.setHooks(hooks);
    QObject::connect(&capture, &CaptureService::captureClosed, [&] { ++closed; });
    const bool stored = pmReadSetting(SettingsKeys::captureWhatIsShown);
    pmWriteSetting(SettingsKeys::captureWhatIsShown, true);
    const QImage raw = pmGrabFrame(QFile::encodeName(front), 0.5).image;
    ASSERT_EQ(raw.size(), QSize(320, 240));
    auto jpegOf = [](CapturePreviewDlg* preview, const QImage& picture) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPG");
        preview->jpegMetadata(bytes, picture);
        return bytes;
    };

    // The stored choice: the part shown, cut from the frame at its own
    // resolution, and its EXIF describes it.
    capture.onButtonCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.captureDialog() != nullptr; }, 10000));
    CapturePreviewDlg* preview = capture.captureDialog();
    ASSERT_NE(preview->shownPartBox(), nullptr);
    EXPECT_TRUE(preview->shownPartBox()->isChecked());
    EXPECT_EQ(preview->videoImage(), raw.copy(160, 0, 160, 120));
    EXPECT_TRUE(jpegOf(preview, preview->videoImage())
                    .contains("Zoomed view 2.0x: the part 160x120 at (160, 0) of the 320x240 frame"));

    // The whole frame instead: no such description, and the choice is kept.
    preview->shownPartBox()->setChecked(false);
    EXPECT_EQ(preview->videoImage(), raw);
    EXPECT_FALSE(jpegOf(preview, preview->videoImage()).contains("Zoomed view"));
    EXPECT_FALSE(pmReadSetting(SettingsKeys::captureWhatIsShown));
    QTest::mouseClick(preview->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed == 1; }, 10000));

    // A picture at 1x offers nothing more than the frame.
    zoom = PictureZoom();
    capture.onButtonCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.captureDialog() != nullptr; }, 10000));
    preview = capture.captureDialog();
    EXPECT_EQ(preview->shownPartBox(), nullptr);
    EXPECT_EQ(preview->videoImage(), raw);
    QTest::mouseClick(preview->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed == 2; }, 10000));
    pmWriteSetting(SettingsKeys::captureWhatIsShown, stored);
}

TEST(CaptureServiceTest, TheFramesOfThePressAreReadOnWorkersAndAFailedReadIsAFailure)
{
    QTemporaryDir dir;
    const QString front = dir.filePath(QStringLiteral("FILE210315-081000_F.MP4"));
    const QString rear = dir.filePath(QStringLiteral("FILE210315-081000_R.MP4"));
    const QString damaged = dir.filePath(QStringLiteral("FILE210315-081100_F.MP4"));
    ASSERT_TRUE(makeNumberedRecording(front, mediagen::Container::Mp4, 3, 320, 240, 10));
    ASSERT_TRUE(makeNumberedRecording(rear, mediagen::Container::Mp4, 3, 160, 120, 10, true));
    QFile bad(damaged);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(1 << 16, '\x5a'));
    bad.close();
    double position = 1.2;
    QString camera1 = front, camera2 = rear;
    int resumes = 0, closed = 0, printed = 0;
    QStringList failures;
    CaptureService capture;
    CaptureService::Hooks hooks;
    hooks.playState = [] { return VideoPlayerView::StatePlaying; };
    hooks.resumePlayback = [&] { ++resumes; };
    hooks.surfaceReady = [] { return true; };
    hooks.position = [&] { return position; };
    hooks.hasSecondCamera = [] { return true; };
    hooks.recordingPath = [&](int camera) { return QFile::encodeName(camera == 1 ? camera1 : camera2); };
    hooks.timeStampTextAt = [](double at) -> std::optional<QString> {
        return QStringLiteral("2021/03/15 08:10:%1").arg(int(at), 2, 10, QLatin1Char('0'));
    };
    capture.setHooks(hooks);
    QObject::connect(&capture, &CaptureService::captureClosed, [&] { ++closed; });
    QObject::connect(&capture, &CaptureService::printClosed, [&] { ++printed; });
    QObject::connect(&capture, &CaptureService::framesFailed, [&](const QString& why) { failures << why; });
    apptest::DialogRecorder dialogs;
    const QString target = dir.filePath(QStringLiteral("shot.jpg"));
    dialogs.answer.path = target;
    auto previews = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<CapturePreviewDlg*>(w) != nullptr;
        return n;
    };

    // The press takes its moment; the frames are read meanwhile, and the
    // picture is that of the press even when the player has moved on. A
    // second press, or a print, while they are read starts nothing.
    capture.onButtonCapture();
    EXPECT_TRUE(capture.isTakingFrames());
    EXPECT_EQ(capture.captureDialog(), nullptr);
    position = 2.5;
    capture.onButtonCapture();
    capture.onButtonPrint();
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.captureDialog() != nullptr; }, 10000));
    EXPECT_FALSE(capture.isTakingFrames());
    CapturePreviewDlg* preview = capture.captureDialog();
    EXPECT_EQ(readFrameNumber(preview->videoImage()), 12);
    EXPECT_EQ(readFrameNumber(preview->videoSubImage()), 12);
    EXPECT_EQ(preview->videoSubImage(),
              capture.drawTimeStampAt(pmGrabFrame(QFile::encodeName(rear), 1.2).image, 1.2));
    // Saving camera 1 alone writes that frame.
    QTest::mouseClick(preview->oCamera1Btn(), Qt::LeftButton);
    preview->saveAs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed == 1; }, 10000));
    EXPECT_EQ(previews(), 0);
    EXPECT_EQ(printed, 0);
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(resumes, 0); // saved: playback stays paused
    const QImage saved(target);
    EXPECT_EQ(saved.size(), QSize(320, 240));
    EXPECT_EQ(readFrameNumber(saved), 12);

    // A camera's file that cannot be decoded: a failure, told and signalled,
    // never a window; capture resumes playback, print does not.
    for (const bool second : {false, true}) {
        SCOPED_TRACE(second);
        camera1 = second ? front : damaged;
        camera2 = second ? damaged : rear;
        const size_t boxes = dialogs.requests.size();
        const int before = resumes;
        capture.onButtonCapture();
        ASSERT_TRUE(QTest::qWaitFor([&] { return failures.size() == (second ? 3 : 1); }, 10000));
        capture.onButtonPrint();
        ASSERT_TRUE(QTest::qWaitFor([&] { return failures.size() == (second ? 4 : 2); }, 10000));
        EXPECT_TRUE(
            failures.back().startsWith(second ? QStringLiteral("camera 2: ") : QStringLiteral("camera 1: ")))
            << failures.back().toStdString();
        EXPECT_EQ(capture.lastCaptureError(), failures.back());
        ASSERT_EQ(dialogs.requests.size(), boxes + 2);
        EXPECT_EQ(dialogs.requests.back().text, pmLoadString(QStringLiteral("IDS_ERR_CAPTURE_FRAME")));
        EXPECT_EQ(resumes, before + 1);
        EXPECT_FALSE(capture.isTakingFrames());
        EXPECT_EQ(capture.captureDialog(), nullptr);
        EXPECT_EQ(capture.printWindow(), nullptr);
    }
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(printed, 0);
}

} // namespace
