// Pictures of the capture preview with two cameras and of the print window,
// taken from the running main window, for a person to look at. Runs only when
// ROVIX_CAPTURE_SHOT_DIR names a folder (under xvfb-run with the xcb platform
// they show exactly what a user sees).
#include "../playback/PlaybackTestSupport.h"
#include "CaptureTestSupport.h"
#include "controls/BitmapButton.h"
#include "controls/CapturePreviewDlg.h"
#include "controls/ToolbarView.h"
#include "export/CaptureService.h"
#include "views/PrintWindowController.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

using namespace capturetest;
using namespace playtest;

TEST(CaptureScreens, PreviewWithTwoCamerasAndThePrintWindow)
{
    const QString out = qEnvironmentVariable("ROVIX_CAPTURE_SHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "set ROVIX_CAPTURE_SHOT_DIR to write the pictures";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString front = dir.filePath(QStringLiteral("FILE240305-070000_M.MP4"));
    const QString rear = dir.filePath(QStringLiteral("FILE240305-070000_2.MP4"));
    ASSERT_TRUE(makeNumberedRecording(front, mediagen::Container::Mp4, 6.0, 1280, 720, 10, false));
    ASSERT_TRUE(makeNumberedRecording(rear, mediagen::Container::Mp4, 6.0, 640, 360, 10, true));
    Controller c({front, rear});
    c->createPanels();
    c->window()->show();
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    c.slider(QStringLiteral("time"), 3);
    QTest::qWait(1500);

    auto shoot = [&](QWidget* w, const QString& name) {
        QTest::qWait(300);
        w->grab().save(QDir(out).filePath(name));
    };
    auto* poll = new QTimer;
    poll->setInterval(20);
    int step = 0;
    QObject::connect(poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* d = qobject_cast<CapturePreviewDlg*>(modal); d && step == 0) {
            step = 1;
            shoot(d, QStringLiteral("capture_preview_two_cameras.png"));
            QTest::mouseClick(d->oCamera2Btn(), Qt::LeftButton);
            shoot(d, QStringLiteral("capture_preview_camera2.png"));
            d->reject();
        } else if (auto* w = qobject_cast<PrintWindowController*>(modal); w && step == 1) {
            step = 2;
            shoot(w, QStringLiteral("print_window_two_cameras.png"));
            QTest::mouseClick(w->oCamera1Btn(), Qt::LeftButton);
            shoot(w, QStringLiteral("print_window_camera1.png"));
            w->reject();
        }
    });
    poll->start();
    c->toolbar()->onCaptureButtonPressed();
    EXPECT_TRUE(QTest::qWaitFor([&] { return step == 1 && !c->captureService()->captureDialog(); }, 60000));
    c->toolbar()->onPrintButtonPressed();
    EXPECT_TRUE(QTest::qWaitFor([&] { return step == 2 && !c->captureService()->printWindow(); }, 60000));
    delete poll;
    EXPECT_EQ(step, 2);
    shoot(c->window(), QStringLiteral("main_window_after.png"));
}
