// "Save clip..." on its own: hooks in place of the application, the real
// lengths window and progress window, the folder chooser and the messages
// answered through the dialog seam, and real clips of generated recordings
// cut on the worker thread.
#include "../app/AppTestSupport.h"
#include "MediaGen.h"

#include "base/AMediaFile.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/ClipDlg.h"
#include "controls/ProgressDlg.h"
#include "controls/StandardDialogs.h"
#include "export/ClipController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

// Two 10-second recordings of one drive with their logs.
QList<AMediaFile> makeTrip(const QString& card)
{
    QList<AMediaFile> playlist;
    const mediagen::StartTime t0;
    for (int i = 0; i < 2; ++i) {
        const mediagen::StartTime t = t0.plusSeconds(10L * i);
        const QString stem = QStringLiteral("FILE%1_M").arg(QString::fromStdString(t.nameStamp()));
        const QString path = QDir(card).filePath(stem + QStringLiteral(".MP4"));
        mediagen::RecordingSpec video;
        video.seconds = 10;
        video.clock = t;
        EXPECT_TRUE(mediagen::writeRecording(QFile::encodeName(path).toStdString(), video));
        mediagen::NmeaSpec track;
        track.start = t;
        track.drive.seconds = 10;
        track.drive.seed = static_cast<uint32_t>(i + 1);
        EXPECT_TRUE(mediagen::writeNmeaLog(
            QFile::encodeName(QDir(card).filePath(stem + ".NMEA")).toStdString(), track));
        playlist << AMediaFile::mediaFileWithNativePath(QFile::encodeName(path),
                                                        QFileInfo(path).lastModified());
    }
    return playlist;
}

struct Fixture {
    QTemporaryDir dir;
    QString card, dest;
    QList<AMediaFile> playlist;
    int current = 0;
    double seconds = 8;
    int pauses = 0;
    ClipController clip;

    Fixture()
    {
        card = dir.filePath(QStringLiteral("card"));
        dest = dir.filePath(QStringLiteral("dest"));
        QDir().mkpath(card);
        QDir().mkpath(dest);
        playlist = makeTrip(card);
        ClipController::Hooks hooks;
        hooks.sourceFolder = [this] { return card; };
        hooks.pausePlayback = [this] { ++pauses; };
        hooks.currentIndex = [this] { return current; };
        hooks.currentSeconds = [this] { return seconds; };
        hooks.playlistPath = [this](int row) {
            return row >= 0 && row < playlist.size() ? playlist.at(row).nativePath() : QByteArray();
        };
        hooks.tripMembers = [](int) { return std::vector<int>{0, 1}; };
        hooks.partnerIndex = [](int) { return -1; };
        clip.setHooks(hooks);
    }
};

} // namespace

TEST(ClipControllerTest, TheLengthsWindowTheFolderAndTheWorkerMakeAVerifiedClip)
{
    pmWriteSetting(SettingsKeys::clipSecondsBefore, 30);
    pmWriteSetting(SettingsKeys::clipSecondsAfter, 30);
    Fixture f;
    apptest::DialogRecorder dialogs;
    dialogs.answer.path = f.dest;
    QSignalSpy finished(&f.clip, &ClipController::finished);

    f.clip.onSaveClip();
    ClipDlg* dlg = f.clip.lengthsDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(f.pauses, 1);
    EXPECT_EQ(dlg->beforeBox()->value(), 30); // the stored lengths
    EXPECT_EQ(dlg->afterBox()->value(), 30);
    // A second press while the window is open does nothing.
    f.clip.onSaveClip();
    EXPECT_EQ(f.clip.lengthsDialog(), dlg);
    dlg->beforeBox()->setValue(5);
    dlg->afterBox()->setValue(6);
    // ROVIX_SHOT_DIR: the windows as PNG, for a person to look at.
    const QString shots = qEnvironmentVariable("ROVIX_SHOT_DIR");
    if (!shots.isEmpty())
        dlg->grab().save(QDir(shots).filePath(QStringLiteral("clip-window.png")));
    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("clipSave")), Qt::LeftButton);

    if (!shots.isEmpty() && f.clip.progressDialog())
        f.clip.progressDialog()->grab().save(QDir(shots).filePath(QStringLiteral("clip-progress.png")));
    ASSERT_TRUE(finished.wait(20000));
    const ClipResult result = f.clip.lastResult();
    ASSERT_EQ(result.status, ClipStatus::Done) << result.message;
    EXPECT_EQ(pmReadSetting(SettingsKeys::clipSecondsBefore), 5);
    EXPECT_EQ(pmReadSetting(SettingsKeys::clipSecondsAfter), 6);
    EXPECT_EQ(pmReadSetting(SettingsKeys::clipFolder), f.dest);
    // 08:30:08 in the first recording, 3 s of it and 6 s of the next.
    const QString folder = QDir(f.dest).filePath(QStringLiteral("Clip-20210315-083008"));
    EXPECT_EQ(QString::fromStdString(result.folder), folder);
    EXPECT_NEAR(result.seconds, 11.0, 1.01); // from the key frame at 3 s
    for (const char* name : {"clip-front.mp4", "clip.gpx", "clip.kml", "clip.csv", "clip.txt", "SHA256SUMS"})
        EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath(QLatin1String(name)))) << name;
    EXPECT_EQ(std::system(("cd '" + result.folder + "' && sha256sum --quiet -c SHA256SUMS").c_str()), 0);
    // The chooser, then the message naming the folder.
    ASSERT_EQ(dialogs.requests.size(), 2u);
    EXPECT_EQ(dialogs.requests[0].kind, DialogRequest::Kind::ChooseFolder);
    EXPECT_EQ(dialogs.requests[1].kind, DialogRequest::Kind::MessageBox);
    EXPECT_TRUE(dialogs.requests[1].text.contains(folder)) << dialogs.requests[1].text.toStdString();
    EXPECT_FALSE(dialogs.requests[1].text.contains(QStringLiteral("lacks")))
        << dialogs.requests[1].text.toStdString();
    EXPECT_FALSE(f.clip.isRunning());
    ASSERT_NE(f.clip.progressDialog(), nullptr);
    EXPECT_TRUE(f.clip.progressDialog()->isHidden());

    // A window reaching 4 s before the trip's start: the message says the clip lacks them.
    f.seconds = 1;
    QTRY_VERIFY(f.clip.lengthsDialog() == nullptr);
    f.clip.onSaveClip();
    ASSERT_NE(f.clip.lengthsDialog(), nullptr);
    QTest::mouseClick(f.clip.lengthsDialog()->findChild<QPushButton*>(QStringLiteral("clipSave")),
                      Qt::LeftButton);
    ASSERT_TRUE(finished.wait(20000));
    ASSERT_EQ(f.clip.lastResult().status, ClipStatus::Done) << f.clip.lastResult().message;
    ASSERT_EQ(dialogs.requests.size(), 4u);
    EXPECT_TRUE(dialogs.requests[3].text.contains(
        QStringLiteral("Front camera: Not in the clip: 2021-03-15 08:29:56.000 to 2021-03-15 08:30:00.000")))
        << dialogs.requests[3].text.toStdString();
}

TEST(ClipControllerTest, CancelAndRefusalsLeaveNothingBehind)
{
    pmWriteSetting(SettingsKeys::clipSecondsBefore, 30);
    pmWriteSetting(SettingsKeys::clipSecondsAfter, 30);
    Fixture f;
    apptest::DialogRecorder dialogs;
    QSignalSpy finished(&f.clip, &ClipController::finished);

    // Nothing open: a message, no window.
    f.current = -1;
    f.clip.onSaveClip();
    EXPECT_EQ(f.clip.lengthsDialog(), nullptr);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].kind, DialogRequest::Kind::MessageBox);

    // The chooser canceled: no job.
    f.current = 0;
    dialogs.requests.clear();
    f.clip.onSaveClip();
    ASSERT_NE(f.clip.lengthsDialog(), nullptr);
    QTest::mouseClick(f.clip.lengthsDialog()->findChild<QPushButton*>(QStringLiteral("clipSave")),
                      Qt::LeftButton);
    EXPECT_EQ(f.clip.jobState(), nullptr);
    QTRY_VERIFY(f.clip.lengthsDialog() == nullptr);

    // Into the card itself: refused with a message, nothing written.
    dialogs.answer.path = f.card;
    f.clip.onSaveClip();
    QTest::mouseClick(f.clip.lengthsDialog()->findChild<QPushButton*>(QStringLiteral("clipSave")),
                      Qt::LeftButton);
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(f.clip.lastResult().status, ClipStatus::BadRequest);
    EXPECT_TRUE(dialogs.requests.back().text.contains(QStringLiteral("card")))
        << dialogs.requests.back().text.toStdString();
    EXPECT_EQ(QDir(f.card).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 0);

    // Canceled before the worker reads a packet: no folder, no message.
    QTRY_VERIFY(f.clip.lengthsDialog() == nullptr);
    dialogs.answer.path = f.dest;
    const std::size_t messages = dialogs.requests.size();
    f.clip.setStateHook([](ClipJobState& state) { state.cancel.store(true); });
    f.clip.onSaveClip();
    QTest::mouseClick(f.clip.lengthsDialog()->findChild<QPushButton*>(QStringLiteral("clipSave")),
                      Qt::LeftButton);
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(f.clip.lastResult().status, ClipStatus::Canceled);
    EXPECT_TRUE(QDir(f.dest).isEmpty());
    EXPECT_EQ(dialogs.requests.size(), messages + 1); // the chooser only

    // The window's Cancel reaches the running job at once.
    f.clip.setStateHook({});
    QTRY_VERIFY(f.clip.lengthsDialog() == nullptr);
    f.clip.onSaveClip();
    QTest::mouseClick(f.clip.lengthsDialog()->findChild<QPushButton*>(QStringLiteral("clipSave")),
                      Qt::LeftButton);
    ASSERT_NE(f.clip.progressDialog(), nullptr);
    QTest::mouseClick(f.clip.progressDialog()->cancelButton(), Qt::LeftButton);
    ASSERT_NE(f.clip.jobState(), nullptr);
    EXPECT_TRUE(f.clip.jobState()->cancel.load());
    ASSERT_TRUE(finished.wait(20000));
    if (f.clip.lastResult().status == ClipStatus::Canceled)
        EXPECT_TRUE(QDir(f.dest).isEmpty());
    else
        EXPECT_EQ(f.clip.lastResult().status, ClipStatus::Done); // it was quicker than the click
}

// Both lengths 0: OK keeps the window open and says why. A saved clip is
// news, not a warning: the real box shows the information icon and closes
// by a click on its button. The clip.txt the window writes names the
// version the command line names.
TEST(ClipControllerTest, ZeroLengthsAreExplainedAndASavedClipIsReportedAsNews)
{
    Fixture f;
    DialogPresenter real = pmStandardDialogPresenter();
    real.chooser = [&f](QWidget*, const DialogRequest&, std::function<void(const QString&)> done) {
        done(f.dest);
    };
    pmSetDialogPresenter(real);
    auto visibleBox = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                return box;
        return static_cast<QMessageBox*>(nullptr);
    };
    QSignalSpy finished(&f.clip, &ClipController::finished);

    f.clip.onSaveClip();
    ClipDlg* dlg = f.clip.lengthsDialog();
    ASSERT_NE(dlg, nullptr);
    dlg->beforeBox()->setValue(0);
    dlg->afterBox()->setValue(0);
    EXPECT_FALSE(dlg->noteLabel()->isVisible());
    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("clipSave")), Qt::LeftButton);
    EXPECT_EQ(f.clip.lengthsDialog(), dlg);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->noteLabel()->isVisible());
    EXPECT_EQ(dlg->noteLabel()->text(), pmLoadString(QStringLiteral("IDS_CLIP_EMPTY")));
    EXPECT_NE(dlg->noteLabel()->text(), QStringLiteral("IDS_CLIP_EMPTY")); // the table has the text
    EXPECT_EQ(f.clip.jobState(), nullptr);
    dlg->afterBox()->setValue(2);
    EXPECT_FALSE(dlg->noteLabel()->isVisible());

    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("clipSave")), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(20000));
    ASSERT_EQ(f.clip.lastResult().status, ClipStatus::Done) << f.clip.lastResult().message;
    QMessageBox* box = nullptr;
    QTRY_VERIFY((box = visibleBox()) != nullptr);
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    EXPECT_TRUE(box->text().contains(QString::fromStdString(f.clip.lastResult().folder)));
    ASSERT_FALSE(box->buttons().isEmpty());
    QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
    QTRY_VERIFY(visibleBox() == nullptr);

    QFile text(QString::fromStdString(f.clip.lastResult().folder + "/clip.txt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(text.readLine()), QStringLiteral("Rovix Manager " ROVIX_VERSION "\n"));
    pmSetDialogPresenter({});
}

// A layout chosen in the window is kept for the next clip and makes a
// re-encoded copy at the top of the folder with the camera's original in
// originals/, both verified; the overlay ticked with it goes into the copy.
TEST(ClipControllerTest, TheChosenLayoutIsKeptAndItsCopyLiesBesideTheOriginal)
{
    pmWriteSetting(SettingsKeys::clipSecondsBefore, 2);
    pmWriteSetting(SettingsKeys::clipSecondsAfter, 2);
    pmWriteSetting(SettingsKeys::clipLayout, QStringLiteral("separate"));
    Fixture f;
    apptest::DialogRecorder dialogs;
    dialogs.answer.path = f.dest;
    QSignalSpy finished(&f.clip, &ClipController::finished);

    f.clip.onSaveClip();
    ClipDlg* dlg = f.clip.lengthsDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->layoutWord(), QStringLiteral("separate"));
    EXPECT_TRUE(dlg->overlayBox()->isEnabled());
    dlg->overlayBox()->setChecked(true);
    dlg->layoutBox()->setCurrentIndex(dlg->layoutBox()->findData(QStringLiteral("front")));
    EXPECT_TRUE(dlg->overlayBox()->isEnabled()); // drawn into the layout's copy
    EXPECT_TRUE(dlg->overlayBox()->isChecked());
    dlg->qualityBox()->setValue(28);
    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("clipSave")), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(20000));
    const ClipResult result = f.clip.lastResult();
    ASSERT_EQ(result.status, ClipStatus::Done) << result.message;
    EXPECT_EQ(pmReadSetting(SettingsKeys::clipLayout), QStringLiteral("front"));
    EXPECT_EQ(pmReadSetting(SettingsKeys::clipQuality), 28);
    for (const char* name : {"clip-front.mp4", "originals/clip-front.mp4", "clip.txt", "SHA256SUMS"})
        EXPECT_TRUE(
            QFileInfo::exists(QDir(QString::fromStdString(result.folder)).filePath(QLatin1String(name))))
            << name;
    EXPECT_EQ(std::system(("cd '" + result.folder + "' && sha256sum --quiet -c SHA256SUMS").c_str()), 0);
    QFile text(QDir(QString::fromStdString(result.folder)).filePath(QStringLiteral("clip.txt")));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        text.readAll().contains("Re-encoded copy: the front camera alone; the time, speed and position drawn "
                                "in, H.264 at quality (CRF) 28"));

    QTRY_VERIFY(f.clip.lengthsDialog() == nullptr);
    f.clip.onSaveClip();
    ASSERT_NE(f.clip.lengthsDialog(), nullptr);
    EXPECT_EQ(f.clip.lengthsDialog()->layoutWord(), QStringLiteral("front"));
    EXPECT_EQ(f.clip.lengthsDialog()->qualityBox()->value(), 28);
    pmWriteSetting(SettingsKeys::clipLayout, QStringLiteral("separate"));
}
