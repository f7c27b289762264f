// The capture and print commands over the real controller, headless surfaces
// and generated recordings: the toolbar buttons open the preview, the frames
// are the ones at camera 1's time with the time stamp where it belongs, Save
// As proposes names from the moment of saving and writes JPEGs, playback
// resumes only when it was playing and nothing was saved, and what cannot be
// taken or written is reported with nothing left behind.
#include "../playback/PlaybackTestSupport.h"
#include "CaptureTestSupport.h"
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BitmapButton.h"
#include "controls/CapturePreviewDlg.h"
#include "controls/ToolbarView.h"
#include "core/Clock.h"
#include "export/CaptureService.h"
#include "export/FrameGrabber.h"
#include "views/PrintWindowController.h"

#include "controls/StandardDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <ctime>

using namespace capturetest;
using namespace playtest;

namespace
{

// Fixes the clock at a local moment for the lifetime of the object.
struct FixedClock {
    FixedClock(int year, int month, int day, int hour, int minute, int second)
    {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_sec = second;
        local.tm_isdst = -1;
        const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
        pmSetClock([when] { return when; });
    }
    ~FixedClock() { pmSetClock({}); }
};

// Answers every dialog of the seam: save panels with the next prepared path
// (cancelled when none is left), message boxes with their button.
struct Answers {
    std::vector<DialogRequest> requests;
    QStringList savePaths;
    Answers()
    {
        pmSetDialogHook([this](const DialogRequest& r) {
            requests.push_back(r);
            DialogAnswer a;
            if (r.kind == DialogRequest::Kind::SaveFile && !savePaths.isEmpty())
                a.path = savePaths.takeFirst();
            return a;
        });
    }
    ~Answers() { pmSetDialogHook({}); }
    std::vector<DialogRequest> of(DialogRequest::Kind kind) const
    {
        std::vector<DialogRequest> out;
        for (const auto& r : requests)
            if (r.kind == kind)
                out.push_back(r);
        return out;
    }
};

// Runs `act` on the modal window of type T as soon as it shows; closes any
// modal window left open after a generous time so a failing test cannot hang.
template <typename T> QTimer* whenModal(std::function<void(T*)> act, bool* seen = nullptr)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, seen] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            if (seen)
                *seen = true;
            act(window);
        }
    });
    timer->start();
    QTimer::singleShot(60000, timer, [timer] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
        timer->deleteLater();
    });
    return timer;
}

// Runs a capture or print command and waits until its window has closed and
// what follows the closing has run, or its frames could not be taken.
bool runCommand(Controller& c, const std::function<void()>& command)
{
    int closed = 0;
    bool failed = false;
    QObject context;
    QObject::connect(c.app.get(), &AppDelegate::captureClosed, &context, [&] { ++closed; });
    QObject::connect(c.app.get(), &AppDelegate::printClosed, &context, [&] { ++closed; });
    QObject::connect(c->captureService(), &CaptureService::framesFailed, &context, [&] { failed = true; });
    command();
    return waitFor([&] { return closed > 0 || failed; }, 60000);
}

bool seekAndPause(Controller& c, int second)
{
    c.slider(QStringLiteral("time"), second);
    c.playBar(PlayControlView::CmdPause);
    return waitFor([&] {
        return c->getState() == VideoPlayerView::StatePaused &&
               std::fabs(c->videoPlayView()->getitemTime() - second) < 1e-3;
    });
}

// Mean absolute difference of the grey levels of two pictures over a rectangle.
double meanDifference(const QImage& a, const QImage& b, const QRect& r)
{
    double sum = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (r.width() * r.height());
}

} // namespace

TEST(CaptureFlow, OneCameraPausedSavesTheStampedFrameUnderTheMomentsName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString rear = dir.filePath(QStringLiteral("FILE240305-070000_2.MP4"));
    ASSERT_TRUE(makeNumberedRecording(rear, mediagen::Container::Mp4, 6.0, 640, 480, 10, true));
    Controller c({rear});
    c->createPanels();
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_TRUE(seekAndPause(c, 3));
    ASSERT_EQ(c->timeStampMode(), 1);

    FixedClock clock(2024, 3, 5, 7, 8, 9);
    Answers answers;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("shots")));
    const QString target = dir.filePath(QStringLiteral("shots/chosen.jpg"));
    answers.savePaths << target;
    bool seen = false;
    whenModal<CapturePreviewDlg>(
        [](CapturePreviewDlg* d) {
            EXPECT_EQ(d->windowTitle(), pmLoadString(QStringLiteral("IDS_CAPTURE_PREVIEW")));
            EXPECT_EQ(d->okButton()->text(), pmLoadString(QStringLiteral("IDS_SAVE_AS")));
            EXPECT_EQ(d->cancelButton()->text(), pmLoadString(QStringLiteral("IDS_CANCEL")));
            EXPECT_TRUE(d->okButton()->isDefault());
            EXPECT_EQ(d->captureOptions(), CapturePreviewDlg::SingleCamera);
            EXPECT_EQ(d->oCamera1Btn(), nullptr);
            EXPECT_EQ(d->shownImage().size(), QSize(640, 480));
            // Return saves.
            QTest::keyClick(d, Qt::Key_Return);
        },
        &seen);
    ASSERT_TRUE(runCommand(c, [&] { c->toolbar()->onCaptureButtonPressed(); }));
    EXPECT_TRUE(seen);

    const auto saves = answers.of(DialogRequest::Kind::SaveFile);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].directory,
              QDir(pmGetDocumentsFolder()).filePath(QStringLiteral("20240305-070809.jpg")));
    QImage saved(target);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(640, 480));
    EXPECT_EQ(readFrameNumber(saved), 30);
    // The picture says when it was taken: the recording's start plus the frame's second.
    QProcess exiv2;
    exiv2.start(QStringLiteral("exiv2"), {QStringLiteral("-pa"), target});
    ASSERT_TRUE(exiv2.waitForFinished(30000));
    const QString tags = QString::fromUtf8(exiv2.readAllStandardOutput());
    EXPECT_TRUE(
        tags.contains(QRegularExpression(QStringLiteral("DateTimeOriginal +Ascii +20 +2024:03:05 07:00:03"))))
        << tags.toStdString();
    EXPECT_TRUE(
        tags.contains(QRegularExpression(QStringLiteral("Exif.Image.Software +Ascii +\\d+ +Rovix Manager "))))
        << tags.toStdString();
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("shots"))).entryList(QDir::Files) ==
                QStringList{"chosen.jpg"});
    EXPECT_EQ(pmGetStringSetting(SettingsKeys::captureFolder.key(), QString()),
              dir.filePath(QStringLiteral("shots")));
    // The stamp is in the lower right (x from 440, 12-point lines ending 10
    // above the bottom); the rest of the picture is the frame as it is.
    const QImage raw = pmGrabFrame(QFile::encodeName(rear), 3.0).image;
    EXPECT_GT(meanDifference(saved, raw, QRect(440, 480 - 10 - 50, 180, 50)), 8.0);
    EXPECT_LT(meanDifference(saved, raw, QRect(0, 0, 640, 380)), 4.0);
    // Paused before, paused after.
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);

    // The next capture proposes the folder of the last one.
    answers.savePaths.clear();
    whenModal<CapturePreviewDlg>([](CapturePreviewDlg* d) { d->saveAs(); });
    ASSERT_TRUE(runCommand(c, [&] { c->onButtonCapture(); }));
    ASSERT_EQ(answers.of(DialogRequest::Kind::SaveFile).size(), 2u);
    EXPECT_EQ(answers.of(DialogRequest::Kind::SaveFile)[1].directory,
              dir.filePath(QStringLiteral("shots/20240305-070809.jpg")));
}

TEST(CaptureFlow, TwoCamerasChooseAndSaveBothFramesOfOneMoment)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString front = dir.filePath(QStringLiteral("FILE240305-070000_M.MP4"));
    const QString rear = dir.filePath(QStringLiteral("FILE240305-070000_2.MP4"));
    ASSERT_TRUE(makeNumberedRecording(front, mediagen::Container::Mp4, 6.0, 640, 360, 10, false));
    ASSERT_TRUE(makeNumberedRecording(rear, mediagen::Container::Mp4, 6.0, 320, 180, 10, true));
    Controller c({front, rear});
    c->createPanels();
    ASSERT_TRUE(c->isDualCameraMode());
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_TRUE(c->has2Videos());
    ASSERT_EQ(c->getState(), VideoPlayerView::StatePlaying);

    FixedClock clock(2024, 3, 5, 7, 8, 9);
    Answers answers;
    answers.savePaths << dir.filePath(QStringLiteral("a.jpg")) << dir.filePath(QStringLiteral("b.jpg"));
    whenModal<CapturePreviewDlg>([](CapturePreviewDlg* d) {
        EXPECT_EQ(d->captureOptions(), CapturePreviewDlg::BothCameras);
        // Camera 2 scaled to camera 1's width below it.
        EXPECT_EQ(d->videoCombinedImage().size(), QSize(640, 720));
        EXPECT_EQ(d->shownImage().size(), QSize(640, 720));
        EXPECT_EQ(readFrameNumber(d->videoImage()), readFrameNumber(d->videoSubImage()));
        ASSERT_NE(d->oCamera1Btn(), nullptr);
        // Three 76 x 35 buttons, a 228-wide row centred 4 points above the picture.
        EXPECT_EQ(d->oCamera1Btn()->geometry(), QRect((d->width() - 228) / 2, 20, 76, 35));
        EXPECT_EQ(d->oCamera2Btn()->geometry().left(), d->oCamera1Btn()->geometry().right() + 1);
        EXPECT_EQ(d->imageView()->geometry().top(), d->oCamera1Btn()->geometry().bottom() + 1 + 4);
        EXPECT_TRUE(d->oCamera12Btn()->isButtonChecked());
        EXPECT_EQ(d->oCamera1Btn()->imageName(SkinnedButton::Normal),
                  QStringLiteral("button_print_camera1.png"));
        EXPECT_TRUE(d->oCamera2Btn()->hasImage(SkinnedButton::Pressed));
        EXPECT_TRUE(d->oCamera12Btn()->hasImage(SkinnedButton::Rollover));

        QTest::mouseClick(d->oCamera2Btn(), Qt::LeftButton);
        EXPECT_EQ(d->captureOptions(), CapturePreviewDlg::Camera2);
        EXPECT_EQ(d->shownImage().size(), QSize(320, 180));
        EXPECT_TRUE(d->oCamera2Btn()->isButtonChecked());
        EXPECT_FALSE(d->oCamera12Btn()->isButtonChecked());
        QTest::mouseClick(d->oCamera12Btn(), Qt::LeftButton);
        EXPECT_EQ(d->captureOptions(), CapturePreviewDlg::BothCameras);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(runCommand(c, [&] { c->toolbar()->onCaptureButtonPressed(); }));

    const auto saves = answers.of(DialogRequest::Kind::SaveFile);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_TRUE(saves[0].directory.endsWith(QStringLiteral("/20240305-070809-1.jpg")));
    EXPECT_TRUE(saves[1].directory.endsWith(QStringLiteral("/20240305-070809-2.jpg")));
    const QImage one(dir.filePath(QStringLiteral("a.jpg")));
    const QImage two(dir.filePath(QStringLiteral("b.jpg")));
    EXPECT_EQ(one.size(), QSize(640, 360));
    EXPECT_EQ(two.size(), QSize(320, 180));
    EXPECT_GE(readFrameNumber(one), 0);
    EXPECT_EQ(readFrameNumber(one), readFrameNumber(two));
    // Saved: playback stays paused.
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);
}

TEST(CaptureFlow, CancelOrAFailedWriteResumesPlaybackAndLeavesNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString rec = dir.filePath(QStringLiteral("FILE240305-070000_M.MP4"));
    ASSERT_TRUE(makeNumberedRecording(rec, mediagen::Container::Mp4, 8.0, 320, 240, 10, false));
    Controller c({rec});
    c->createPanels();
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_EQ(c->getState(), VideoPlayerView::StatePlaying);
    Answers answers;

    whenModal<CapturePreviewDlg>([&](CapturePreviewDlg* d) {
        // Paused while the preview is open.
        EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);
        QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(runCommand(c, [&] { c->onButtonCapture(); }));
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePlaying);

    // The chosen folder vanished: a message, no file, and nothing counts as saved.
    const QString gone = dir.filePath(QStringLiteral("gone/shot.jpg"));
    answers.savePaths << gone;
    whenModal<CapturePreviewDlg>([](CapturePreviewDlg* d) { d->saveAs(); });
    ASSERT_TRUE(runCommand(c, [&] { c->onButtonCapture(); }));
    const auto boxes = answers.of(DialogRequest::Kind::MessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(pmLoadString(QStringLiteral("IDS_ERR_SAVE_PICTURE"))));
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePlaying);

    // A target that is a folder: refused, and the folder is left as it was.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("taken.jpg")));
    answers.savePaths << dir.filePath(QStringLiteral("taken.jpg"));
    whenModal<CapturePreviewDlg>([](CapturePreviewDlg* d) { d->saveAs(); });
    ASSERT_TRUE(runCommand(c, [&] { c->onButtonCapture(); }));
    EXPECT_EQ(answers.of(DialogRequest::Kind::MessageBox).size(), 2u);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("taken.jpg"))).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QStringList{"*.jpg"}, QDir::Files).size(), 0);
}

TEST(CaptureFlow, NothingToTakeIsReportedAndNoWindowOpens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString front = dir.filePath(QStringLiteral("FILE240305-070000_M.MP4"));
    const QString rear = dir.filePath(QStringLiteral("FILE240305-070000_2.MP4"));
    ASSERT_TRUE(makeNumberedRecording(front, mediagen::Container::Mp4, 6.0, 320, 240, 10, false));
    ASSERT_TRUE(makeNumberedRecording(rear, mediagen::Container::Mp4, 6.0, 320, 240, 10, true));
    Controller c({front, rear});
    c->createPanels();
    Answers answers;

    // Nothing open: the commands do nothing.
    c->onButtonCapture();
    c->onButtonPrint();
    EXPECT_TRUE(answers.requests.empty());

    // Still opening: a message, no window.
    bool opened = false;
    QPointer<QTimer> watch = whenModal<QDialog>([&](QDialog* d) {
        opened = true;
        d->reject();
    });
    c.doubleClick(0);
    // The player opens once the recording's duration is in (a moment later).
    waitFor([&] { return c->getState() != VideoPlayerView::StateNoPlayer || !c->isVideoLoading(); });
    if (c->isVideoLoading()) {
        c->onButtonCapture();
        EXPECT_EQ(answers.of(DialogRequest::Kind::MessageBox).size(), 1u);
    }
    ASSERT_TRUE(c.waitOpened());
    ASSERT_TRUE(c->has2Videos());
    ASSERT_TRUE(seekAndPause(c, 2));
    const size_t before = answers.of(DialogRequest::Kind::MessageBox).size();

    // The rear file vanished under the open pair.
    ASSERT_TRUE(QFile::remove(rear));
    auto boxesAre = [&](size_t n) {
        return waitFor([&] { return answers.of(DialogRequest::Kind::MessageBox).size() == n; });
    };
    c->onButtonCapture();
    ASSERT_TRUE(boxesAre(before + 1));
    c->onButtonPrint();
    ASSERT_TRUE(boxesAre(before + 2));
    auto boxes = answers.of(DialogRequest::Kind::MessageBox);
    EXPECT_EQ(boxes.back().text, pmLoadString(QStringLiteral("IDS_ERR_CAPTURE_FRAME")));
    EXPECT_FALSE(c->captureService()->lastCaptureError().isEmpty());

    // The front file damaged under the open player: the same.
    QFile f(front);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(1 << 16, '\0'));
    f.close();
    c->onButtonCapture();
    EXPECT_TRUE(boxesAre(before + 3));
    EXPECT_FALSE(opened);
    EXPECT_TRUE(answers.of(DialogRequest::Kind::SaveFile).empty());
    EXPECT_EQ(QDir(pmGetDocumentsFolder()).entryList(QStringList{"*.jpg"}, QDir::Files).size(), 0);
    delete watch.data();
}

TEST(CaptureFlow, PrintFromTheToolbarKeepsPlaybackPausedAndPrintsEachChoice)
{
    if (QProcess::execute(QStringLiteral("pdftotext"), {QStringLiteral("-v")}) < 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString front = dir.filePath(QStringLiteral("FILE240305-070000_M.MP4"));
    const QString rear = dir.filePath(QStringLiteral("FILE240305-070000_2.MP4"));
    ASSERT_TRUE(makeNumberedRecording(front, mediagen::Container::Mp4, 6.0, 640, 360, 10, false));
    ASSERT_TRUE(makeNumberedRecording(rear, mediagen::Container::Mp4, 6.0, 640, 360, 10, true));
    Controller c({front, rear});
    c->createPanels();
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_EQ(c->getState(), VideoPlayerView::StatePlaying);
    FixedClock clock(2024, 3, 5, 7, 8, 9);

    QStringList printed;
    PrintWindowController::setPrintDialogHook([&](QPrinter& printer) {
        const QString out = dir.filePath(QStringLiteral("page%1.pdf").arg(printed.size()));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out);
        printed << out;
        return true;
    });
    whenModal<PrintWindowController>([](PrintWindowController* w) {
        EXPECT_EQ(w->windowTitle(), pmLoadString(QStringLiteral("IDS_PRINT_PREVIEW")));
        EXPECT_EQ(w->okButton()->text(), pmLoadString(QStringLiteral("IDS_PRINT")));
        EXPECT_TRUE(w->okButton()->isDefault());
        EXPECT_EQ(w->captureOptions(), PrintBothCameras);
        ASSERT_NE(w->oCamera12Btn(), nullptr);
        EXPECT_TRUE(w->oCamera12Btn()->isButtonChecked());
        EXPECT_EQ(w->oCamera1Btn()->geometry().bottom() + 1 + 4, w->canvasView()->geometry().top());
        QTest::keyClick(w, Qt::Key_Return); // prints; the window stays open
        EXPECT_TRUE(w->isVisible());
        QTest::mouseClick(w->oCamera2Btn(), Qt::LeftButton);
        EXPECT_EQ(w->canvasView()->printOptions(), PrintCamera2);
        QTest::mouseClick(w->okButton(), Qt::LeftButton);
        QTest::mouseClick(w->cancelButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(runCommand(c, [&] { c->toolbar()->onPrintButtonPressed(); }));
    PrintWindowController::setPrintDialogHook({});
    EXPECT_EQ(c->getState(), VideoPlayerView::StatePaused);
    ASSERT_EQ(printed.size(), 2);
    for (const QString& pdf : printed) {
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(30000));
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        EXPECT_TRUE(words.contains(QStringLiteral("2024/03/05"))) << words.toStdString();
        EXPECT_TRUE(words.contains(pmLoadString(QStringLiteral("IDS_SPEED")))) << words.toStdString();
    }
}

TEST(CaptureFlow, BothCamerasThroughTheRealSavePanels)
{
    // The real panels, one opened as the other finishes, each accepting the
    // name it proposes.
    pmInstallStandardDialogs(nullptr);
    FixedClock clock(2024, 3, 5, 7, 8, 9);
    QImage front(320, 240, QImage::Format_RGB32), rear(160, 120, QImage::Format_RGB32);
    front.fill(Qt::blue);
    rear.fill(Qt::red);
    CapturePreviewDlg dialog(front, rear);
    int panels = 0;
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [&] {
        auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!panel || !panel->isVisible() || panel->property("answered").toBool())
            return;
        panel->setProperty("answered", true);
        ++panels;
        QMetaObject::invokeMethod(panel, "accept", Qt::QueuedConnection);
    });
    poll->start();
    QTimer::singleShot(0, &dialog, [&] { dialog.saveAs(); });
    dialog.exec();
    delete poll;
    pmSetDialogPresenter({});
    EXPECT_EQ(panels, 2);
    EXPECT_TRUE(dialog.isOK());
    const QDir documents(pmGetDocumentsFolder());
    EXPECT_EQ(QImage(documents.filePath(QStringLiteral("20240305-070809-1.jpg"))).size(), QSize(320, 240));
    EXPECT_EQ(QImage(documents.filePath(QStringLiteral("20240305-070809-2.jpg"))).size(), QSize(160, 120));
    QFile::remove(documents.filePath(QStringLiteral("20240305-070809-1.jpg")));
    QFile::remove(documents.filePath(QStringLiteral("20240305-070809-2.jpg")));
}
