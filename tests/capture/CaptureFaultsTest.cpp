// What capture and printing do when the disk fills up under them (a real,
// small tmpfs mounted by the test), and which second a frame is stamped and
// printed with: the whole second it is in, with that second's track sample,
// never the next one.
#include "../app/AppTestSupport.h"
#include "../playback/PlaybackTestSupport.h"
#include "CaptureTestSupport.h"
#include "app/LanguageSwitch.h"
#include "controls/CapturePreviewDlg.h"
#include "export/CaptureService.h"
#include "export/FrameGrabber.h"
#include "views/PrintWindowController.h"

#include <QApplication>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

using namespace capturetest;
using namespace playtest;

namespace
{

// A tmpfs of a few hundred kilobytes, unmounted when the test ends.
struct SmallDisk {
    QString dir;
    bool mounted = false;
    std::string error;
    explicit SmallDisk(const QString& where, const char* size = "size=512k")
    {
        QDir().mkpath(where);
        dir = where;
        const QByteArray options = QByteArray(size) + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options.constData()) == 0)
            mounted = true;
        else
            error = std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    }
    qint64 freeBytes() const
    {
        struct statvfs s {
        };
        if (::statvfs(QFile::encodeName(dir).constData(), &s) != 0)
            return -1;
        return static_cast<qint64>(s.f_bavail) * static_cast<qint64>(s.f_frsize);
    }
    // Fills the disk until about `left` bytes remain free.
    bool fillLeaving(qint64 left)
    {
        QFile filler(dir + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
        const qint64 toWrite = freeBytes() - left;
        if (toWrite > 0 && filler.write(QByteArray(static_cast<int>(toWrite), 'x')) != toWrite)
            return false;
        filler.close();
        return freeBytes() <= left + 4096;
    }
    bool unfill() { return QFile::remove(dir + QStringLiteral("/filler")); }
    std::string skipReason() const
    {
        return "cannot mount a tmpfs here (" + error + "): these tests need root";
    }
};

// A picture that does not compress: its JPEG and its page are far larger
// than the room left on the disk.
QImage noise(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, random.generate() | 0xff000000u);
    return image;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Recorder {
    std::vector<DialogRequest> requests;
    QString savePath;
    Recorder()
    {
        pmSetDialogHook([this](const DialogRequest& r) {
            requests.push_back(r);
            DialogAnswer a;
            if (r.kind == DialogRequest::Kind::SaveFile)
                a.path = savePath;
            return a;
        });
    }
    ~Recorder() { pmSetDialogHook({}); }
    int boxes() const
    {
        int n = 0;
        for (const auto& r : requests)
            n += r.kind == DialogRequest::Kind::MessageBox;
        return n;
    }
};

// Saves the preview's picture through its Save As button and waits until the
// dialog has finished.
bool saveThroughPreview(CapturePreviewDlg& dialog)
{
    bool finished = false;
    QObject::connect(&dialog, &QDialog::finished, &dialog, [&] { finished = true; });
    dialog.open();
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    return waitFor([&] { return finished; });
}

} // namespace

TEST(CaptureFaults, APictureSavedOverAnOldOneOnAFullDiskLeavesTheOldOneAndSaysSo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SmallDisk disk(dir.filePath(QStringLiteral("card")));
    if (!disk.mounted)
        GTEST_SKIP() << disk.skipReason();
    apptest::LogToDocuments log;
    const QString target = disk.dir + QStringLiteral("/shot.jpg");
    ASSERT_TRUE(CapturePreviewDlg::writeJpeg(noise(40, 30), target));
    const QByteArray before = readAll(target);
    ASSERT_FALSE(before.isEmpty());
    ASSERT_TRUE(disk.fillLeaving(20 * 1024));

    Recorder recorder;
    recorder.savePath = target;
    {
        CapturePreviewDlg dialog(noise(640, 480), QImage());
        ASSERT_TRUE(saveThroughPreview(dialog));
        EXPECT_FALSE(dialog.isOK());
    }
    EXPECT_EQ(recorder.boxes(), 1);
    ASSERT_FALSE(recorder.requests.empty());
    EXPECT_TRUE(
        recorder.requests.back().text.startsWith(pmLoadString(QStringLiteral("IDS_ERR_SAVE_PICTURE"))));
    EXPECT_EQ(readAll(target), before);                                       // the old picture, whole
    EXPECT_EQ(QDir(disk.dir).entryList(QDir::Files | QDir::Hidden).size(), 2) // it and the filler
        << QDir(disk.dir).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
    EXPECT_FALSE(apptest::logMessages().join('\n').contains(QStringLiteral("saved")));
    EXPECT_TRUE(apptest::logMessages().join('\n').contains(QStringLiteral("cannot write ") + target));

    // With room again the same save replaces it, and the log says so.
    ASSERT_TRUE(disk.unfill());
    {
        CapturePreviewDlg dialog(noise(640, 480), QImage());
        ASSERT_TRUE(saveThroughPreview(dialog));
        EXPECT_TRUE(dialog.isOK());
    }
    EXPECT_EQ(recorder.boxes(), 1);
    EXPECT_EQ(QImage(target).size(), QSize(640, 480));
    EXPECT_TRUE(apptest::logMessages().contains(QStringLiteral("CapturePreviewDlg - saved ") + target));
}

TEST(CaptureFaults, APagePrintedToAPdfOnAFullDiskLeavesNoCutFileAndSaysSo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SmallDisk disk(dir.filePath(QStringLiteral("card")), "size=2m");
    if (!disk.mounted)
        GTEST_SKIP() << disk.skipReason();
    apptest::LogToDocuments log;
    Recorder recorder;
    PrintPageData page;
    page.videoImage = noise(480, 270);
    page.gsensorImage = noise(120, 70);
    page.directionText = QStringLiteral("N");
    page.printDate = QDate(2024, 3, 5);
    const QString old = disk.dir + QStringLiteral("/page.pdf");
    const QString fresh = disk.dir + QStringLiteral("/new.pdf");
    QString output = old;
    PrintWindowController::setPrintDialogHook([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(output);
        return true;
    });
    PrintWindowController window(page);
    window.open();
    // A page printed while there is room: a whole PDF.
    QTest::mouseClick(window.okButton(), Qt::LeftButton);
    const QByteArray before = readAll(old);
    ASSERT_TRUE(before.startsWith("%PDF-"));
    ASSERT_TRUE(before.trimmed().endsWith("%%EOF"));
    ASSERT_GT(before.size(), 40 * 1024);
    EXPECT_TRUE(apptest::logMessages().contains(QStringLiteral("PrintWindowController - printed to ") + old));

    ASSERT_TRUE(disk.fillLeaving(20 * 1024));
    // Over the old file and to a new name: each refused with a message and
    // a log line; the old file stays whole and no cut file is left.
    for (const QString& path : {old, fresh}) {
        output = path;
        QTest::mouseClick(window.okButton(), Qt::LeftButton);
        EXPECT_TRUE(apptest::logMessages().join('\n').contains(
            QStringLiteral("PrintWindowController - cannot write ") + path));
    }
    EXPECT_EQ(recorder.boxes(), 2);
    EXPECT_EQ(recorder.requests.back().text,
              pmLoadString(QStringLiteral("IDS_ERR_EXPORT_FAILED")).arg(QDir::toNativeSeparators(fresh)));
    EXPECT_EQ(readAll(old), before);
    EXPECT_FALSE(QFileInfo::exists(fresh));
    EXPECT_EQ(QDir(disk.dir).entryList(QDir::Files | QDir::Hidden).size(), 2);
    EXPECT_TRUE(window.isVisible()); // the window stays for another try
    PrintWindowController::setPrintDialogHook({});
    window.reject();
}

TEST(CaptureFaults, AFrameIsStampedAndPrintedWithTheSecondItIsIn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("EVENT_2")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("EVENT_M")));
    // 30 frames a second: frame 56 is shown from 1.867 s, in the recording's second 1.
    const QString rear = dir.filePath(QStringLiteral("EVENT_2/EMER240601-081202_2.MP4"));
    ASSERT_TRUE(makeNumberedRecording(rear, mediagen::Container::Mp4, 4.0, 320, 240, 30, true));
    mediagen::NmeaSpec nmea;
    nmea.start = {2024, 6, 1, 8, 12, 2};
    nmea.drive.seconds = 4;
    nmea.drive.profile = mediagen::SpeedProfile::Drive;
    nmea.drive.constantKmh = 60;
    ASSERT_TRUE(mediagen::writeNmeaLog(
        QFile::encodeName(dir.filePath(QStringLiteral("EVENT_M/EMER240601-081202_M.NMEA"))).toStdString(),
        nmea));

    Controller c({rear}, true);
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_EQ(c->timeStampMode(), 1);
    ASSERT_TRUE(c->gpsList().IsGPSReady());
    auto shownSpeed = [&](int second) {
        return static_cast<int>(c->gpsList().GetGpsData(second)->fSpeed() + 0.5f);
    };
    // The seconds around the frames looked at must tell apart.
    ASSERT_NE(shownSpeed(1), shownSpeed(2));
    ASSERT_NE(shownSpeed(2), shownSpeed(3));

    c.playBar(PlayControlView::CmdPause); // pause
    struct Case {
        int frame;
        const char* clock; // camera clock of the frame's second
        int second;
    };
    for (const Case& k : {Case{56, "2024/06/01 08:12:03 ", 1}, Case{119, "2024/06/01 08:12:05 ", 3}}) {
        SCOPED_TRACE(k.frame);
        // An exact seek shows the first frame at or after its target.
        c->videoPlayView()->seekToTime((k.frame - 0.25) / 30.0);
        ASSERT_TRUE(waitFor([&] {
            const MpvPlayer* p = c->videoPlayView()->player();
            return !p->isSeeking() && std::fabs(p->timePos() - k.frame / 30.0) < 0.005;
        })) << c->videoPlayView()->player()->timePos();
        // The surface's own clock rounds to the nearest second: let it tick.
        QTest::qWait(700);
        c->drawTime();
        const QString speed = QStringLiteral("%1 km/h").arg(shownSpeed(k.second));
        const QString overlay = c->timeStamp()->text();
        EXPECT_TRUE(overlay.contains(QLatin1String(k.clock) + speed)) << overlay.toStdString();

        // The capture: the frame's picture stamped with the same second.
        bool checked = false;
        QObject context;
        auto* poll = new QTimer(&context);
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, [&] {
            auto* d = qobject_cast<CapturePreviewDlg*>(QApplication::activeModalWidget());
            if (!d || checked)
                return;
            checked = true;
            const QImage raw = pmGrabFrame(QFile::encodeName(rear), c->videoPlayView()->getitemTime()).image;
            EXPECT_EQ(readFrameNumber(raw), k.frame);
            EXPECT_EQ(d->videoImage(), c->drawTimeStampAt(raw, k.second));
            EXPECT_NE(d->videoImage(), c->drawTimeStampAt(raw, k.second + 1));
            d->reject();
        });
        poll->start();
        bool closed = false;
        QObject::connect(c.app.get(), &AppDelegate::captureClosed, &context, [&] { closed = true; });
        c->onButtonCapture();
        ASSERT_TRUE(waitFor([&] { return closed; }));
        EXPECT_TRUE(checked);

        // The print page: that second's speed.
        c->onButtonPrint();
        ASSERT_TRUE(waitFor([&] { return c->captureService()->printWindow() != nullptr; }));
        EXPECT_EQ(
            c->captureService()->printWindow()->canvasView()->strSpeed,
            QString::asprintf("%.0f km/h", static_cast<double>(c->gpsList().GetGpsData(k.second)->fSpeed())));
        QPointer<PrintWindowController> print = c->captureService()->printWindow();
        print->reject();
        ASSERT_TRUE(waitFor([&] { return print.isNull(); }));
    }

    // Miles per hour chosen while paused: the overlay follows at once, and the print page too.
    const float kmh = c->gpsList().GetGpsData(3)->fSpeed();
    c->languageSwitch()->chooseSpeedUnit(1);
    const QString mph =
        QStringLiteral("2024/06/01 08:12:05 %1 mph").arg(static_cast<int>(kmh * 0.62137f + 0.5f));
    EXPECT_TRUE(c->timeStamp()->text().contains(mph)) << c->timeStamp()->text().toStdString();
    c->onButtonPrint();
    ASSERT_TRUE(waitFor([&] { return c->captureService()->printWindow() != nullptr; }));
    EXPECT_EQ(c->captureService()->printWindow()->canvasView()->strSpeed,
              QString::asprintf("%.0f mph", static_cast<double>(kmh) * 0.62137));
    QPointer<PrintWindowController> print = c->captureService()->printWindow();
    print->reject();
    ASSERT_TRUE(waitFor([&] { return print.isNull(); }));
    c->languageSwitch()->chooseSpeedUnit(0);
    EXPECT_TRUE(c->timeStamp()->text().contains(QStringLiteral(" km/h")));
}
