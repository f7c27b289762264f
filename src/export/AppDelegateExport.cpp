// Backup copy and track export: the controller's side. The selection window,
// the folder chooser and the progress window run on the main thread; the
// copy itself is core/BackupEngine on one worker thread per job, which shares
// only the job's BackupProgress (atomics) with the main thread and hands its
// result back to it.
#include "app/AppDelegate.h"

#include "WaitingWindow/WaitingWindow.h"
#include "app/MainWindow.h"
#include "base/DialogSeam.h"
#include "base/NotificationCenter.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BackupDlg.h"
#include "controls/ProgressDlg.h"
#include "core/FileRules.h"
#include "core/KmlSave.h"
#include "core/Log.h"
#include "core/TrackExport.h"
#include "core/TrackLoader.h"
#include "library/MediaDuration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <thread>

namespace
{

std::string nativeOf(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString displayName(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(pmGetFileName(path, false)));
}

std::string creatorText()
{
    return "Rovix Manager " + pmGetVersionString().toStdString();
}

// One backup job's worker thread. Owned by the controller as a child object:
// destroying it (a new job, or the application going away) cancels the copy
// and waits for the thread, so no thread outlives what it reports to.
class BackupJob : public QObject
{
public:
    BackupJob(QObject* parent, std::shared_ptr<BackupProgress> progress)
        : QObject(parent), m_progress(progress)
    {
    }
    ~BackupJob() override
    {
        m_progress->canceled.store(true);
        if (m_thread.joinable())
            m_thread.join();
    }

    void start(std::string dest, std::vector<std::string> recordings, BackupOptions options,
               std::function<void(const BackupResult&)> finished)
    {
        m_running = true;
        m_thread = std::thread([this, dest = std::move(dest), recordings = std::move(recordings),
                                options = std::move(options), finished = std::move(finished)] {
            const BackupResult result = pmRunBackup(dest, recordings, options, *m_progress);
            // The end goes back to the main thread; dropped if this job is gone by then.
            QMetaObject::invokeMethod(
                this,
                [this, result, finished] {
                    if (m_thread.joinable())
                        m_thread.join();
                    m_running = false;
                    finished(result);
                },
                Qt::QueuedConnection);
        });
    }
    bool isRunning() const { return m_running; }

private:
    std::shared_ptr<BackupProgress> m_progress;
    std::thread m_thread;
    bool m_running = false;
};

} // namespace

// ---- backup

void AppDelegate::onButtonBackup()
{
    if (mPlaylist.isEmpty() || isBackupRunning() || _backupDlg)
        return;
    pausePlayback();
    NotificationCenter::defaultCenter().removeObserver(this, Notifications::UploadVideoChanged);
    NotificationCenter::defaultCenter().addObserver(this, Notifications::UploadVideoChanged,
                                                    [this](const Notification& n) { UploadVideoChanged(n); });
    openBackupDlg(pmLoadString(QStringLiteral("IDS_BACKUP")), true);
}

void AppDelegate::openBackupDlg(const QString& title, bool backupButton)
{
    m_bBackupButton = backupButton;
    auto* dlg = new BackupDlg(mPlaylist, m_window);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    if (!backupButton)
        dlg->setNMaxSelFileCount(10);
    dlg->setEvidenceOptionVisible(backupButton);
    dlg->setTitle(title);
    _backupDlg = dlg;
    connect(dlg, &QDialog::finished, dlg, &QObject::deleteLater);
    dlg->show();
    dlg->raise();
}

void AppDelegate::UploadVideoChanged(const Notification& n)
{
    switch (n.userInfo.value(QStringLiteral("UPLOAD_TYPE")).toInt()) {
    case 0:
        NotificationCenter::defaultCenter().removeObserver(this, Notifications::UploadVideoChanged);
        break;
    case 1: {
        mFBKey = n.userInfo.value(QStringLiteral("FBKey")).toString();
        mYouTubeKey = n.userInfo.value(QStringLiteral("YouTubeKey")).toString();
        const QString title = pmLoadString(m_nVideoWebsite == 1 ? QStringLiteral("IDS_UPLOAD_FACEBOOK")
                                                                : QStringLiteral("IDS_UPLOAD_YOUTUBE"));
        openBackupDlg(title, false);
        break;
    }
    case 2: {
        NotificationCenter::defaultCenter().removeObserver(this, Notifications::UploadVideoChanged);
        const QList<int> indexes = n.object.value<QList<int>>();
        if (m_bBackupButton)
            doBackup(indexes, n.userInfo.value(QStringLiteral("EVIDENCE_PACKAGE")).toBool());
        else {
            Q_EMIT uploadVideosChosen(indexes);
            editUploadVideos(indexes);
        }
        break;
    }
    default:
        break;
    }
}

void AppDelegate::doBackup(const QList<int>& indexes, bool evidence)
{
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    mSelFileIndexSet = sorted;
    if (mSelFileIndexSet.isEmpty())
        return;
    pmChooseFolder(m_window, QStringLiteral("Save"), pmGetDocumentsFolder(),
                   [this, evidence](const QString& folder) {
                       if (!folder.isEmpty())
                           startBackup(folder, evidence);
                   });
}

void AppDelegate::startBackup(const QString& destFolder, bool evidence)
{
    const std::string dest = nativeOf(destFolder);
    if (!pmIsWritable(dest)) {
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_FOLDER_READ_ONLY")));
        return;
    }
    std::vector<std::string> recordings;
    for (int index : mSelFileIndexSet)
        if (index >= 0 && index < mPlaylist.size())
            recordings.push_back(mPlaylist.at(index).nativePath().toStdString());
    if (recordings.empty())
        return;

    // Refused before anything is written: a destination that holds one of the
    // recordings, or two recordings that would land on one name.
    const BackupResult checked = pmCheckBackupDestination(dest, recordings);
    switch (checked.status) {
    case BackupStatus::Done:
        break;
    case BackupStatus::SourceInDestination:
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_BACKUP_IN_SOURCE")).arg(displayName(checked.file)));
        return;
    case BackupStatus::DuplicateName:
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_BACKUP_SAME_NAME")).arg(displayName(checked.file)));
        return;
    default:
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_FOLDER_READ_ONLY")));
        return;
    }

    m_backupProgress = std::make_shared<BackupProgress>();
    m_lastBackupResult = BackupResult();
    if (mProgressDlg)
        mProgressDlg->deleteLater();
    auto* progressDlg = new ProgressDlg(m_backupProgress, m_window);
    progressDlg->setLTotalSize(pmBackupTotalSize(recordings));
    QStringList names;
    for (const std::string& recording : recordings)
        names << displayName(recording);
    progressDlg->setFileNames(names);
    mProgressDlg = progressDlg;
    progressDlg->show();

    BackupOptions options;
    options.evidence = evidence;
    options.application = "Rovix Manager";
    options.version = pmGetVersionString().toStdString();
    options.sourceFolder = nativeOf(mCurFolder);
    options.videoSeconds = [](const std::string& path) { return pmGetMediaDurationSeconds(path); };
    // Another backup into the same folder (the tool, or a second window): wait for it.
    options.waitForDestination = true;
    if (m_backupOptionsHook)
        m_backupOptionsHook(options);

    if (mBackupJob)
        delete mBackupJob;
    auto* job = new BackupJob(this, m_backupProgress);
    mBackupJob = job;
    job->start(dest, recordings, options, [this](const BackupResult& result) { finishBackup(result); });
}

void AppDelegate::finishBackup(const BackupResult& result)
{
    m_lastBackupResult = result;
    // The progress window stays with what became of each file until it is closed.
    if (mProgressDlg)
        mProgressDlg->showSummary(result);
    if (mBackupJob)
        mBackupJob->deleteLater();
    const QString name = displayName(result.file);
    QString message;
    switch (result.status) {
    case BackupStatus::Done:
    case BackupStatus::Canceled:
        break;
    case BackupStatus::NoSpace:
        message = pmLoadString(QStringLiteral("IDS_ERR_NO_DISK_SPACE"));
        break;
    case BackupStatus::NoDestination:
        message = pmLoadString(QStringLiteral("IDS_ERR_FOLDER_READ_ONLY"));
        break;
    case BackupStatus::SourceInDestination:
        message = pmLoadString(QStringLiteral("IDS_ERR_BACKUP_IN_SOURCE")).arg(name);
        break;
    case BackupStatus::DuplicateName:
    case BackupStatus::ReservedName:
        message = pmLoadString(QStringLiteral("IDS_ERR_BACKUP_SAME_NAME")).arg(name);
        break;
    case BackupStatus::Busy:
        message = pmLoadString(QStringLiteral("IDS_ERR_BACKUP_IN_USE"));
        break;
    case BackupStatus::SourceChanged:
        message = pmLoadString(QStringLiteral("IDS_ERR_BACKUP_CHANGED")).arg(name);
        break;
    case BackupStatus::ReadFailed:
        message = pmLoadString(QStringLiteral("IDS_ERR_BACKUP_READ")).arg(name);
        break;
    case BackupStatus::WriteFailed:
        message = pmLoadString(QStringLiteral("IDS_ERR_BACKUP_WRITE")).arg(name);
        break;
    case BackupStatus::VerifyFailed:
        message = pmLoadString(QStringLiteral("IDS_ERR_BACKUP_VERIFY")).arg(name);
        break;
    }
    if (!message.isEmpty())
        pmMessageBox(message);
    Q_EMIT backupFinished();
}

bool AppDelegate::isBackupRunning() const
{
    const auto* job = static_cast<const BackupJob*>(mBackupJob.data());
    return job && job->isRunning();
}

quint64 AppDelegate::backupBytesDone() const
{
    return m_backupProgress ? m_backupProgress->bytesDone.load() : 0;
}

// ---- track export

QString AppDelegate::getExportFolder() const
{
    const QString folder = pmGetStringSetting(SettingsKey::exportFolder(), QString());
    if (!folder.isEmpty() && QFileInfo::exists(folder))
        return folder;
    return pmGetDocumentsFolder();
}

void AppDelegate::saveExportFolder(const QString& path)
{
    if (!path.isEmpty() && QFileInfo::exists(path))
        pmSetStringSetting(SettingsKey::exportFolder(), path);
}

bool AppDelegate::outputKML(const QString& path, const GpsList& list)
{
    return pmOutputKML(nativeOf(path), &list) == KmlResult::Ok;
}

void AppDelegate::onButtonExport()
{
    if (playState() == PlayStateStopped || !m_poGpsList.IsGPSReady() || m_poGpsList.GetDataCount() == 0)
        return;
    if (m_nCurPlayIndex < 0 || m_nCurPlayIndex >= mPlaylist.size())
        return;
    pausePlayback();
    const std::string recording = mPlaylist.at(m_nCurPlayIndex).nativePath().toStdString();
    const QString suggested =
        QDir(getExportFolder())
            .filePath(QFile::decodeName(QByteArray::fromStdString(pmGetFileName(recording, true))) +
                      QStringLiteral(".kml"));
    pmChooseSaveFile(
        m_window, pmLoadString(QStringLiteral("IDS_EXPORT_TO_KML")), suggested,
        QStringLiteral("KML (*.kml);;GPX (*.gpx);;CSV (*.csv)"), [this, recording](const QString& path) {
            if (path.isEmpty())
                return;
            saveExportFolder(QFileInfo(path).absolutePath());
            // A rear recording's track is its front partner's log.
            const std::string source = pmGetCameraType(recording) == kCameraRear
                                           ? pmGetGpsLogFile(pmGetAnotherCameraPath(recording))
                                           : std::string();
            pmStartWait();
            const TrackExportResult result =
                pmExportTrack(pmTrackFormatForPath(nativeOf(path)), nativeOf(path), m_poGpsList, recording,
                              source, creatorText());
            pmEndWait();
            if (result == TrackExportResult::WriteFailed ||
                result == TrackExportResult::WouldOverwriteSource) {
                pmWriteLogQ(QStringLiteral("AppDelegate::onButtonExport - cannot write %1").arg(path));
                pmMessageBox(
                    pmLoadString(QStringLiteral("IDS_ERR_EXPORT_FAILED")).arg(QFileInfo(path).fileName()));
            }
        });
}
