// The backup and export commands as the user meets them: from the toolbar's
// command through the selection window, the folder chooser (answered through
// the dialog seam) and the progress window to the copies on disk; Cancel at
// each step; the upload mode's limit; the export save dialog in each format.
#include "../app/AppTestSupport.h"
#include "../playback/PlaybackTestSupport.h"

#include "base/SettingsKeys.h"
#include "controls/BackupDlg.h"
#include "controls/BitmapButton.h"
#include "controls/ProgressDlg.h"
#include "controls/ToolbarView.h"
#include "export/BackupController.h"
#include "export/UploadController.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableWidget>
#include <atomic>
#include <chrono>
#include <thread>

using namespace playtest;

namespace
{

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void selectRows(BackupDlg* dlg, const QList<int>& rows)
{
    QTableWidget* table = dlg->tableView();
    table->clearSelection();
    for (int row : rows)
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Where a test may keep screenshots (set ROVIX_SCREENSHOT_DIR to get them):
// the window itself and, on a real display (xvfb-run), the whole screen.
void screenshot(QWidget* w, const char* name)
{
    const QString dir = qEnvironmentVariable("ROVIX_SCREENSHOT_DIR");
    if (dir.isEmpty() || !w)
        return;
    QTest::qWait(200);
    w->grab().save(QDir(dir).filePath(QString::fromLatin1(name)));
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        QGuiApplication::primaryScreen()->grabWindow(0).save(
            QDir(dir).filePath(QStringLiteral("screen-") + QString::fromLatin1(name)));
}

class BackupDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        card = dir.filePath(QStringLiteral("card"));
        dest = dir.filePath(QStringLiteral("dest"));
        QDir().mkpath(card);
        QDir().mkpath(dest);
        pmSetStringSetting(SettingsKeys::exportFolder.key(), QString());
    }
    // Small playable recordings with a track log each, in playlist order.
    QStringList makeCard(int count)
    {
        QStringList files;
        for (int i = 0; i < count; ++i) {
            const QString stem =
                QStringLiteral("FILE210315-08%1_M").arg(1000 + i * 2, 4, 10, QLatin1Char('0'));
            const QString path = QDir(card).filePath(stem + QStringLiteral(".MP4"));
            if (i == 0 || !QFile::exists(path)) {
                if (i == 0)
                    EXPECT_TRUE(makeRecording(path, 2.0));
                else
                    EXPECT_TRUE(QFile::copy(files.first(), path));
            }
            mediagen::NmeaSpec wanted;
            wanted.drive.seconds = 2;
            EXPECT_TRUE(mediagen::writeNmeaLog(
                QFile::encodeName(QDir(card).filePath(stem + ".log")).toStdString(), wanted));
            files << path;
        }
        return files;
    }
    QTemporaryDir dir;
    QString card;
    QString dest;
};

TEST_F(BackupDialogTest, BackupWalkFromTheButtonToFinishedCopies)
{
    apptest::LogToDocuments log;
    Controller c(makeCard(3));
    ASSERT_EQ(c->playlist().size(), 3);
    apptest::DialogRecorder dialogs;
    dialogs.answer.path = dest;

    // The toolbar's Backup button reaches the command.
    c->createPanels();
    c->window()->show();
    ASSERT_TRUE(c->toolbar() && c->toolbar()->oBackupBtn());
    c->toolbar()->oBackupBtn()->setEnabled(true);
    QTest::mouseClick(c->toolbar()->oBackupBtn(), Qt::LeftButton);
    BackupDlg* dlg = c->backupController()->selectionDialog();
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), pmLoadString(QStringLiteral("IDS_BACKUP")));
    EXPECT_EQ(dlg->selFileTitleLab()->text(), pmLoadString(QStringLiteral("IDS_VIDEO_FILES")) + ":");
    EXPECT_EQ(dlg->tableView()->rowCount(), 3);
    EXPECT_EQ(dlg->tableView()->item(1, 0)->text(), QStringLiteral("FILE210315-081002_M.MP4"));
    EXPECT_TRUE(dlg->evidenceCheckBox()->isVisible());
    EXPECT_EQ(dlg->nMaxSelFileCount(), -1);
    // Chosen out of order: copied in playlist order all the same.
    selectRows(dlg, {2, 0});
    screenshot(dlg, "backup-selection.png");
    QSignalSpy finished(c.app.get(), &AppDelegate::backupFinished);
    QTest::mouseClick(dlg->okButton(), Qt::LeftButton);

    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].kind, DialogRequest::Kind::ChooseFolder);
    EXPECT_EQ(dialogs.requests[0].directory, pmGetDocumentsFolder());
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }));
    EXPECT_EQ(c->lastBackupResult().status, BackupStatus::Done);
    EXPECT_EQ(c->backupController()->selectedIndexes(), (QList<int>{0, 2}));
    // The progress window stays with what became of the files, until Close.
    ASSERT_TRUE(c->backupController()->progressDialog() &&
                c->backupController()->progressDialog()->isVisible());
    EXPECT_TRUE(c->backupController()->progressDialog()->summaryLabel()->text().contains(
        pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_COPIED")).arg(2)));
    EXPECT_EQ(c->backupController()->progressDialog()->cancelButton()->text(),
              pmLoadString(QStringLiteral("IDS_CLOSE")));
    QTest::mouseClick(c->backupController()->progressDialog()->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(c->backupController()->progressDialog()->isVisible());
    for (int i : {0, 2}) {
        const QFileInfo src(c->getFilePathInPlaylist(i));
        EXPECT_EQ(readAll(QDir(dest).filePath(src.fileName())), readAll(src.filePath()));
        EXPECT_EQ(QFileInfo(QDir(dest).filePath(src.fileName())).lastModified(), src.lastModified());
        EXPECT_TRUE(QFile::exists(QDir(dest).filePath(src.completeBaseName() + ".log")));
    }
    EXPECT_FALSE(QFile::exists(QDir(dest).filePath(QStringLiteral("FILE210315-081002_M.MP4"))));
    // The count covers the recordings and their logs.
    EXPECT_EQ(c->backupBytesDone(),
              pmBackupTotalSize({QFile::encodeName(c->getFilePathInPlaylist(0)).toStdString(),
                                 QFile::encodeName(c->getFilePathInPlaylist(2)).toStdString()}));
    const QStringList lines = apptest::logMessages().filter(QStringLiteral("sourcePath : "));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("081000_M.MP4")));
    EXPECT_TRUE(apptest::logMessages().contains(QStringLiteral("BackupDlg Start")));
    EXPECT_TRUE(apptest::logMessages().contains(QStringLiteral("BackupDlg End")));
    EXPECT_FALSE(c->uploadController()->isBusy()); // a backup engages no upload window
    EXPECT_TRUE(dialogs.requests.size() == 1);     // no message: success is silent
}

TEST_F(BackupDialogTest, AnEmptyPlaylistOpensNoSelectionWindow)
{
    Controller empty(QStringList{});
    empty->onButtonBackup();
    EXPECT_FALSE(empty->backupController()->selectionDialog());
}

TEST_F(BackupDialogTest, CancelAtSelectionChooserAndEmptySelection)
{
    Controller c(makeCard(2));
    apptest::DialogRecorder dialogs;

    c->onButtonBackup();
    ASSERT_TRUE(c->backupController()->selectionDialog());
    QTest::mouseClick(c->backupController()->selectionDialog()->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(dialogs.requests.empty());
    EXPECT_FALSE(c->uploadController()->isBusy()); // a backup engages no upload window
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(c->backupController()->selectionDialog());

    // OK with no row chosen says so and leaves the window open; no chooser.
    c->onButtonBackup();
    ASSERT_TRUE(c->backupController()->selectionDialog());
    QTest::mouseClick(c->backupController()->selectionDialog()->okButton(), Qt::LeftButton);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].kind, DialogRequest::Kind::MessageBox);
    EXPECT_EQ(dialogs.requests[0].text, pmLoadString(QStringLiteral("IDS_BACKUP_NOTHING_SELECTED")));
    EXPECT_TRUE(c->backupController()->selectionDialog()->isVisible());
    QTest::mouseClick(c->backupController()->selectionDialog()->cancelButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The chooser cancelled: no progress window, nothing written.
    c->onButtonBackup();
    ASSERT_TRUE(c->backupController()->selectionDialog());
    selectRows(c->backupController()->selectionDialog(), {0, 1});
    dialogs.answer.path.clear();
    QTest::mouseClick(c->backupController()->selectionDialog()->okButton(), Qt::LeftButton);
    ASSERT_EQ(dialogs.requests.size(), 2u);
    EXPECT_FALSE(c->backupController()->progressDialog());
    EXPECT_TRUE(QDir(dest).isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The recordings' own folder: refused with a message naming one, nothing written.
    c->onButtonBackup();
    selectRows(c->backupController()->selectionDialog(), {1});
    dialogs.answer.path = card;
    const qint64 before = QFileInfo(c->getFilePathInPlaylist(1)).size();
    QTest::mouseClick(c->backupController()->selectionDialog()->okButton(), Qt::LeftButton);
    ASSERT_EQ(dialogs.requests.size(), 4u);
    EXPECT_EQ(dialogs.requests[3].kind, DialogRequest::Kind::MessageBox);
    EXPECT_EQ(dialogs.requests[3].text, pmLoadString(QStringLiteral("IDS_ERR_BACKUP_IN_SOURCE"))
                                            .arg(QStringLiteral("FILE210315-081002_M.MP4")));
    EXPECT_EQ(QFileInfo(c->getFilePathInPlaylist(1)).size(), before);
    EXPECT_FALSE(c->backupController()->progressDialog());
}

TEST_F(BackupDialogTest, CancelInTheProgressWindowStopsDuringTheSecondRecording)
{
    QStringList files = makeCard(3);
    Controller c(files);
    apptest::DialogRecorder dialogs;
    dialogs.answer.path = dest;
    const quint64 first = pmBackupTotalSize({QFile::encodeName(files[0]).toStdString()});
    std::atomic<bool> reached{false};
    std::atomic<bool> resume{false};
    c->backupController()->setOptionsHook([&](BackupOptions& options) {
        options.blockSize = 4096;
        options.onBlock = [&, first](uint64_t done) {
            // Hold the worker inside the second recording until the test has pressed Cancel.
            if (done > first && !reached.exchange(true)) {
                for (int i = 0; i < 3000 && !resume.load(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        };
    });
    c->createPanels();
    c->window()->show();
    c->onButtonBackup();
    selectRows(c->backupController()->selectionDialog(), {0, 1, 2});
    dialogs.answer.path = dest;
    QSignalSpy finished(c.app.get(), &AppDelegate::backupFinished);
    QTest::mouseClick(c->backupController()->selectionDialog()->okButton(), Qt::LeftButton);
    ProgressDlg* progress = c->backupController()->progressDialog();
    ASSERT_TRUE(progress);
    EXPECT_TRUE(progress->isVisible());
    ASSERT_TRUE(waitFor([&] { return reached.load(); }));
    // The 0.5-second refresh shows the count so far.
    ASSERT_TRUE(waitFor([&] { return progress->percent() > 0; }));
    EXPECT_EQ(progress->percentTextField()->text(), QStringLiteral("%1 %").arg(progress->percent()));
    EXPECT_GT(progress->progressIndicator()->value(), 0);
    // Which file, how far in the job, and (once 2 s have given a rate) the time left.
    EXPECT_EQ(progress->fileLabel()->text(), QFileInfo(files[1]).fileName());
    EXPECT_EQ(progress->countLabel()->text(),
              pmLoadString(QStringLiteral("IDS_BACKUP_N_OF_M")).arg(2).arg(3));
    const QString timeLeft =
        pmLoadString(QStringLiteral("IDS_BACKUP_TIME_LEFT")).section(QLatin1Char('%'), 0, 0);
    ASSERT_TRUE(waitFor([&] { return progress->bytesLabel()->text().contains(timeLeft); }));
    EXPECT_TRUE(progress->bytesLabel()->text().startsWith(
        pmLoadString(QStringLiteral("IDS_BACKUP_BYTES"))
            .arg(QLocale().formattedDataSize(qint64(progress->lCurrentSize())),
                 QLocale().formattedDataSize(qint64(progress->lTotalSize())))));
    screenshot(progress, "backup-progress.png");
    EXPECT_TRUE(c->isBackupRunning());
    QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(progress->isCanceled());
    // The window waits for the job to stop, then tells what it left.
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(progress->cancelButton()->isEnabled());
    resume.store(true);
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }));
    ASSERT_TRUE(progress->isVisible());
    const QString summary = progress->summaryLabel()->text();
    EXPECT_TRUE(summary.contains(pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_CANCELED"))))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_COPIED")).arg(1)));
    EXPECT_TRUE(
        summary.contains(pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_NOT_COPIED"))
                             .arg(QFileInfo(files[1]).fileName() + ", " + QFileInfo(files[2]).fileName())));
    screenshot(progress, "backup-summary.png");
    QTest::keyClick(progress, Qt::Key_Escape);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(c->lastBackupResult().status, BackupStatus::Canceled);
    EXPECT_TRUE(QFile::exists(QDir(dest).filePath(QFileInfo(files[0]).fileName())));
    EXPECT_TRUE(QFile::exists(QDir(dest).filePath(QFileInfo(files[0]).completeBaseName() + ".log")));
    EXPECT_FALSE(QFile::exists(QDir(dest).filePath(QFileInfo(files[1]).fileName())));
    EXPECT_FALSE(QFile::exists(QDir(dest).filePath(QFileInfo(files[2]).fileName())));
    EXPECT_EQ(QDir(dest).entryList(QDir::Files | QDir::Hidden).size(), 2); // no partial file left
    EXPECT_EQ(dialogs.requests.size(), 1u);                                // Cancel shows no message
    EXPECT_FALSE(c->isBackupRunning());
}

TEST_F(BackupDialogTest, TheSummaryNamesThePackageAndEachFailureWithItsReason)
{
    QStringList files = makeCard(2);
    Controller c(files);
    apptest::DialogRecorder dialogs;
    dialogs.answer.path = dest;
    QSignalSpy finished(c.app.get(), &AppDelegate::backupFinished);
    c->onButtonBackup();
    selectRows(c->backupController()->selectionDialog(), {0, 1});
    c->backupController()->selectionDialog()->evidenceCheckBox()->setChecked(true);
    QTest::mouseClick(c->backupController()->selectionDialog()->okButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }));
    ASSERT_EQ(c->lastBackupResult().status, BackupStatus::Done);
    const QStringList made = QDir(dest).entryList({QStringLiteral("Evidence-*")}, QDir::Dirs);
    ASSERT_EQ(made.size(), 1);
    const QString package = QDir(dest).filePath(made[0]);
    QString summary = c->backupController()->progressDialog()->summaryLabel()->text();
    EXPECT_TRUE(summary.contains(pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_PACKAGE")).arg(package)))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_COPIED")).arg(2)));
    QTest::mouseClick(c->backupController()->progressDialog()->cancelButton(), Qt::LeftButton);

    // A plain backup of the same files, the second gone from the card by now:
    // the first counts as copied before, the second fails with its reason.
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QDir().mkpath(plain);
    QFile::copy(files[0], QDir(plain).filePath(QFileInfo(files[0]).fileName()));
    QFile::copy(QDir(card).filePath(QFileInfo(files[0]).completeBaseName() + ".log"),
                QDir(plain).filePath(QFileInfo(files[0]).completeBaseName() + ".log"));
    dialogs.answer.path = plain;
    c->onButtonBackup();
    selectRows(c->backupController()->selectionDialog(), {0, 1});
    QFile::remove(files[1]);
    QTest::mouseClick(c->backupController()->selectionDialog()->okButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return finished.count() == 2; }));
    EXPECT_EQ(c->lastBackupResult().status, BackupStatus::ReadFailed);
    summary = c->backupController()->progressDialog()->summaryLabel()->text();
    EXPECT_TRUE(summary.contains(pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_IDENTICAL")).arg(1)))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(pmLoadString(QStringLiteral("IDS_BACKUP_SUMMARY_FAILED"))
                                     .arg(QFileInfo(files[1]).fileName(), QStringLiteral("cannot read "))
                                     .section(QStringLiteral("cannot read "), 0, 0) +
                                 QStringLiteral("cannot read ")))
        << summary.toStdString();
    EXPECT_EQ(dialogs.requests.back().kind, DialogRequest::Kind::MessageBox);
    EXPECT_EQ(dialogs.requests.back().text,
              pmLoadString(QStringLiteral("IDS_ERR_BACKUP_READ")).arg(QFileInfo(files[1]).fileName()));
}

TEST(ProgressDlgText, TimeLeftFromTheRateSoFar)
{
    EXPECT_EQ(ProgressDlg::secondsLeft(0, 100, 5000), -1);
    EXPECT_EQ(ProgressDlg::secondsLeft(25, 100, 1000), 3);
    EXPECT_EQ(ProgressDlg::secondsLeft(100, 100, 1000), 0);
    EXPECT_EQ(ProgressDlg::secondsLeft(1000000, 1000000000000ULL, 1000), 999999);
    EXPECT_EQ(ProgressDlg::durationText(3725),
              pmLoadString(QStringLiteral("IDS_DURATION_HOURS")).arg(1).arg(2));
    EXPECT_EQ(ProgressDlg::durationText(200),
              pmLoadString(QStringLiteral("IDS_DURATION_MINUTES")).arg(3).arg(20));
    EXPECT_EQ(ProgressDlg::durationText(45), pmLoadString(QStringLiteral("IDS_DURATION_SECONDS")).arg(45));
}

TEST_F(BackupDialogTest, UploadModeAllowsTenRowsAndHidesTheEvidenceBox)
{
    Controller c(makeCard(12));
    apptest::DialogRecorder dialogs;
    c->openBackupDlg(QStringLiteral("Upload title"), false);
    BackupDlg* dlg = c->uploadController()->selectionDialog();
    ASSERT_TRUE(dlg);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Upload title"));
    EXPECT_EQ(dlg->nMaxSelFileCount(), 10);
    EXPECT_FALSE(dlg->evidenceCheckBox()->isVisible());
    QSignalSpy chosen(c.app.get(), &AppDelegate::uploadVideosChosen);

    selectRows(dlg, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].text, pmLoadString(QStringLiteral("IDS_ERR_OVER_MAX_UPLOAD")));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->getSelCount(), 11);
    EXPECT_EQ(dlg->selectedRows().size(), 11);
    EXPECT_EQ(chosen.count(), 0);

    selectRows(dlg, {11, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).value<QList<int>>(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
    EXPECT_EQ(dialogs.requests.size(), 1u); // no folder chooser for upload
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(BackupDialogTest, ExportSaveDialogWritesEachFormatAndReportsFailures)
{
    Controller c(makeCard(1));
    c->createPanels();
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    ASSERT_TRUE(waitFor([&] { return c->gpsList().IsGPSReady(); }));
    apptest::DialogRecorder dialogs;
    const QString docs = pmGetDocumentsFolder();

    const QString out = dir.filePath(QStringLiteral("exports"));
    QDir().mkpath(out);
    int expectedRequests = 0;
    for (const char* ext : {"kml", "gpx", "csv"}) {
        dialogs.answer.path = QDir(out).filePath(QStringLiteral("route.") + QLatin1String(ext));
        // Through the toolbar's export button, enabled because the track has positions.
        ASSERT_TRUE(c->toolbar()->oExportBtn()->isEnabled());
        QTest::mouseClick(c->toolbar()->oExportBtn(), Qt::LeftButton);
        ++expectedRequests;
        ASSERT_EQ(int(dialogs.requests.size()), expectedRequests);
        const DialogRequest& r = dialogs.requests.back();
        EXPECT_EQ(r.kind, DialogRequest::Kind::SaveFile);
        EXPECT_TRUE(r.nameFilter.contains(QStringLiteral("*.gpx")) &&
                    r.nameFilter.contains(QStringLiteral("*.csv")));
        // The first proposal is in Documents; later ones where the last export went.
        EXPECT_EQ(
            r.directory,
            QDir(expectedRequests == 1 ? docs : out).filePath(QStringLiteral("FILE210315-081000_M.kml")));
        const QByteArray text = readAll(dialogs.answer.path);
        ASSERT_FALSE(text.isEmpty()) << ext;
        if (QLatin1String(ext) == QLatin1String("kml"))
            EXPECT_TRUE(text.contains("<kml xmlns="));
        else if (QLatin1String(ext) == QLatin1String("gpx"))
            EXPECT_TRUE(text.contains("<gpx version=\"1.1\" creator=\"Rovix Manager "));
        else
            EXPECT_TRUE(
                text.startsWith("time,latitude,longitude,speed_kmh,direction_deg,altitude_m,gx,gy,gz\n"));
        EXPECT_EQ(pmGetStringSetting(SettingsKeys::exportFolder.key(), QString()), out);
        EXPECT_EQ(c->playState(), VideoPlayerView::StatePaused);
    }

    // A folder that does not exist: a message naming the file, and no file.
    dialogs.answer.path = dir.filePath(QStringLiteral("gone/route.gpx"));
    c->onButtonExport();
    ASSERT_EQ(int(dialogs.requests.size()), expectedRequests + 2);
    EXPECT_EQ(dialogs.requests.back().kind, DialogRequest::Kind::MessageBox);
    EXPECT_EQ(dialogs.requests.back().text,
              pmLoadString(QStringLiteral("IDS_ERR_EXPORT_FAILED")).arg(QStringLiteral("route.gpx")));
    EXPECT_FALSE(QFile::exists(dialogs.answer.path));

    // The recording itself chosen as the output: refused, the recording unchanged.
    const QString recording = c->getFilePathInPlaylist(0);
    const QByteArray before = readAll(recording);
    dialogs.answer.path = recording;
    c->onButtonExport();
    EXPECT_EQ(dialogs.requests.back().kind, DialogRequest::Kind::MessageBox);
    EXPECT_EQ(readAll(recording), before);

    // The folder chosen is remembered even when the file could not be written there.
    EXPECT_EQ(pmGetStringSetting(SettingsKeys::exportFolder.key(), QString()), card);

    // Cancel writes nothing and keeps the export folder.
    dialogs.answer.path.clear();
    const int count = int(dialogs.requests.size());
    c->onButtonExport();
    EXPECT_EQ(int(dialogs.requests.size()), count + 1);
    EXPECT_EQ(pmGetStringSetting(SettingsKeys::exportFolder.key(), QString()), card);
}

} // namespace
