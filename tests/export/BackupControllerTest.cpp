// The backup controller on its own: hooks instead of the application, a real
// selection window, the folder chooser answered through the dialog seam, and a
// real copy into a temporary folder reported by the controller's signals.
#include "../app/AppTestSupport.h"
#include "MediaGen.h"

#include "base/NotificationCenter.h"
#include "controls/BackupDlg.h"
#include "controls/ProgressDlg.h"
#include "export/BackupController.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

QList<AMediaFile> makeCard(const QString& card, int count)
{
    QList<AMediaFile> playlist;
    for (int i = 0; i < count; ++i) {
        const QString stem = QStringLiteral("FILE210315-08100%1_M").arg(i * 2);
        const QString path = QDir(card).filePath(stem + QStringLiteral(".MP4"));
        mediagen::RecordingSpec video;
        video.seconds = 1;
        video.width = 160;
        video.height = 120;
        EXPECT_TRUE(mediagen::writeRecording(QFile::encodeName(path).toStdString(), video));
        mediagen::NmeaSpec track;
        track.drive.seconds = 1;
        EXPECT_TRUE(mediagen::writeNmeaLog(
            QFile::encodeName(QDir(card).filePath(stem + ".log")).toStdString(), track));
        playlist << AMediaFile::mediaFileWithNativePath(QFile::encodeName(path),
                                                        QFileInfo(path).lastModified());
    }
    return playlist;
}

TEST(BackupControllerTest, ChosenRowsBecomeAnEvidencePackageReportedByTheResultSignal)
{
    QTemporaryDir dir;
    const QString card = dir.filePath(QStringLiteral("card"));
    const QString dest = dir.filePath(QStringLiteral("dest"));
    QDir().mkpath(card);
    QDir().mkpath(dest);
    const QList<AMediaFile> playlist = makeCard(card, 3);
    int pauses = 0;
    bool uploadOpen = true;

    BackupController backup;
    BackupController::Hooks hooks;
    hooks.playlist = [&] { return playlist; };
    hooks.sourceFolder = [&] { return card; };
    hooks.pausePlayback = [&] { ++pauses; };
    hooks.otherSelectionOpen = [&] { return uploadOpen; };
    backup.setHooks(hooks);
    apptest::DialogRecorder dialogs;
    dialogs.answer.path = dest;

    // The upload's window is open: the button does nothing, not even pause.
    backup.onButtonBackup();
    EXPECT_EQ(backup.selectionDialog(), nullptr);
    EXPECT_EQ(pauses, 0);

    uploadOpen = false;
    backup.onButtonBackup();
    BackupDlg* dlg = backup.selectionDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(dlg->nMaxSelFileCount(), -1);
    EXPECT_EQ(dlg->tableView()->rowCount(), 3);
    for (int row : {2, 0})
        dlg->tableView()->selectionModel()->select(dlg->tableView()->model()->index(row, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dlg->evidenceCheckBox()->setChecked(true);
    QSignalSpy chosen(&backup, &BackupController::selectionChosen);
    QSignalSpy rows(dlg, &BackupDlg::rowsChosen);
    QSignalSpy finished(&backup, &BackupController::finished);
    QTest::mouseClick(dlg->okButton(), Qt::LeftButton);

    // The controller's typed result, and its window's answer, with the same rows.
    ASSERT_EQ(chosen.count(), 1);
    const auto selection = chosen.at(0).at(0).value<BackupSelection>();
    EXPECT_EQ(selection.rows, (QList<int>{0, 2}));
    EXPECT_TRUE(selection.evidence);
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.at(0).at(0).value<QList<int>>(), (QList<int>{0, 2}));
    EXPECT_TRUE(rows.at(0).at(1).toBool());
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].kind, DialogRequest::Kind::ChooseFolder);

    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 60000));
    const auto result = finished.at(0).at(0).value<BackupResult>();
    EXPECT_EQ(result.status, BackupStatus::Done);
    EXPECT_EQ(result.copied, 2);
    EXPECT_EQ(backup.lastBackupResult().packageFolder, result.packageFolder);
    EXPECT_FALSE(backup.isBackupRunning());
    EXPECT_EQ(backup.selectedIndexes(), (QList<int>{0, 2}));
    const QDir package(QFile::decodeName(QByteArray::fromStdString(result.packageFolder)));
    EXPECT_TRUE(package.dirName().startsWith(QStringLiteral("Evidence-")));
    EXPECT_EQ(package.absolutePath().section(QLatin1Char('/'), 0, -2), QDir(dest).absolutePath());
    EXPECT_TRUE(package.exists(QStringLiteral("SHA256SUMS")));
    const QDir copies(package.filePath(QStringLiteral("recordings")));
    QStringList copied = copies.entryList(QDir::Files);
    copied.sort();
    EXPECT_EQ(
        copied,
        (QStringList{QStringLiteral("FILE210315-081000_M.MP4"), QStringLiteral("FILE210315-081000_M.log"),
                     QStringLiteral("FILE210315-081004_M.MP4"), QStringLiteral("FILE210315-081004_M.log")}));
    EXPECT_EQ(backup.backupBytesDone(), pmBackupTotalSize({playlist[0].nativePath().toStdString(),
                                                           playlist[2].nativePath().toStdString()}));
    // No message: success is silent. The progress window stays with its summary.
    EXPECT_EQ(dialogs.requests.size(), 1u);
    ASSERT_NE(backup.progressDialog(), nullptr);
    backup.progressDialog()->close();

    // Without a track the export asks nothing.
    backup.onButtonExport();
    EXPECT_EQ(dialogs.requests.size(), 1u);
}

} // namespace
