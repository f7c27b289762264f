// The selection window, the folder chooser and the progress window run on
// the main thread; the copy itself is core/BackupEngine on one worker thread
// per job, which shares only the job's BackupProgress (atomics) with the main
// thread and hands its result back to it.
#include "export/BackupController.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/WorkerJob.h"
#include "controls/BackupDlg.h"
#include "controls/ProgressDlg.h"
#include "core/FileRules.h"
#include "core/GpsList.h"
#include "core/Log.h"
#include "core/TrackExport.h"
#include "core/Version.h"
#include "media/MediaDuration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <thread>

namespace
{
using BackupJobThread = WorkerJob<BackupResult>;

std::string nativeOf(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString displayName(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(pmGetFileName(path, false)));
}

} // namespace

BackupController::BackupController(QObject* parent) : QObject(parent)
{
    connect(this, &BackupController::selectionChosen, this, &BackupController::doBackup);
}

BackupController::~BackupController() = default;

BackupDlg* BackupController::selectionDialog() const
{
    return m_selectDlg.data();
}

ProgressDlg* BackupController::progressDialog() const
{
    return m_progressDlg.data();
}

QWidget* BackupController::window() const
{
    return m_hooks.window ? m_hooks.window() : nullptr;
}

// ---- backup

void BackupController::onButtonBackup()
{
    if (!m_hooks.playlist || m_hooks.playlist().isEmpty() || isBackupRunning() || m_selectDlg)
        return;
    if (m_hooks.otherSelectionOpen && m_hooks.otherSelectionOpen())
        return;
    if (m_hooks.pausePlayback)
        m_hooks.pausePlayback();
    openSelection(pmLoadString(QStringLiteral("IDS_BACKUP")));
}

void BackupController::openSelection(const QString& title)
{
    auto* dlg = new BackupDlg(m_hooks.playlist ? m_hooks.playlist() : QList<AMediaFile>(), window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setEvidenceOptionVisible(true);
    dlg->setTitle(title);
    m_selectDlg = dlg;
    connect(dlg, &QDialog::finished, dlg, &QObject::deleteLater);
    connect(dlg, &BackupDlg::rowsChosen, this, [this](const QList<int>& rows, bool evidence) {
        Q_EMIT selectionChosen({rows, evidence});
    });
    dlg->show();
    dlg->raise();
}

void BackupController::doBackup(const BackupSelection& selection)
{
    QList<int> sorted = selection.rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    m_selection = sorted;
    if (m_selection.isEmpty())
        return;
    const bool evidence = selection.evidence;
    pmChooseFolder(window(), QStringLiteral("Save"), pmGetDocumentsFolder(),
                   [this, evidence](const QString& folder) {
                       if (!folder.isEmpty())
                           startBackup(folder, evidence);
                   });
}

void BackupController::startBackup(const QString& destFolder, bool evidence)
{
    const std::string dest = nativeOf(destFolder);
    if (!pmIsWritable(dest)) {
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_FOLDER_READ_ONLY")));
        return;
    }
    const QList<AMediaFile> playlist = m_hooks.playlist ? m_hooks.playlist() : QList<AMediaFile>();
    std::vector<std::string> recordings;
    for (int index : m_selection)
        if (index >= 0 && index < playlist.size())
            recordings.push_back(playlist.at(index).nativePath().toStdString());
    if (recordings.empty())
        return;

    // Refused before anything is written: a destination that holds one of the
    // recordings, or two recordings that would land on one name.
    const BackupResult checked = pmCheckBackupDestination(dest, recordings, evidence);
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

    m_progress = std::make_shared<BackupProgress>();
    m_lastResult = BackupResult();
    if (m_progressDlg)
        m_progressDlg->deleteLater();
    auto* progressDlg = new ProgressDlg(m_progress, window());
    progressDlg->setLTotalSize(pmBackupTotalSize(recordings, evidence));
    QStringList names;
    for (const std::string& recording : recordings)
        names << displayName(recording);
    progressDlg->setFileNames(names);
    m_progressDlg = progressDlg;
    progressDlg->show();

    BackupOptions options;
    options.evidence = evidence;
    options.application = "Rovix Manager";
    options.version = pmProductVersion();
    options.sourceFolder = nativeOf(m_hooks.sourceFolder ? m_hooks.sourceFolder() : QString());
    options.videoSeconds = [](const std::string& path) { return pmGetMediaDurationSeconds(path); };
    // Another backup into the same folder (the tool, or a second window): wait for it.
    options.waitForDestination = true;
    if (evidence && m_hooks.attachedTracks)
        options.attachedTrack = m_hooks.attachedTracks(recordings);
    if (m_optionsHook)
        m_optionsHook(options);

    if (m_job)
        delete m_job;
    // The job is a child: destroying it (a new job, or the application going
    // away) cancels the copy and waits for the thread.
    auto* job = new BackupJobThread(this, [progress = m_progress] { progress->canceled.store(true); });
    m_job = job;
    job->start([dest, recordings, options,
                progress = m_progress] { return pmRunBackup(dest, recordings, options, *progress); },
               [this](const BackupResult& result) { finishBackup(result); });
}

void BackupController::finishBackup(const BackupResult& result)
{
    m_lastResult = result;
    // The progress window stays with what became of each file until it is closed.
    if (m_progressDlg)
        m_progressDlg->showSummary(result);
    if (m_job)
        m_job->deleteLater();
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
    Q_EMIT finished(result);
}

bool BackupController::isBackupRunning() const
{
    const auto* job = static_cast<const BackupJobThread*>(m_job.data());
    return job && job->isRunning();
}

quint64 BackupController::backupBytesDone() const
{
    return m_progress ? m_progress->bytesDone.load() : 0;
}

// ---- track export

QString BackupController::getExportFolder()
{
    const QString folder = pmReadSetting(SettingsKeys::exportFolder);
    if (!folder.isEmpty() && QFileInfo::exists(folder))
        return folder;
    return pmGetDocumentsFolder();
}

void BackupController::saveExportFolder(const QString& path)
{
    if (!path.isEmpty() && QFileInfo::exists(path))
        pmWriteSetting(SettingsKeys::exportFolder, path);
}

void BackupController::onButtonExport()
{
    const GpsList* track = m_hooks.currentTrack ? m_hooks.currentTrack() : nullptr;
    if (!track || !track->IsGPSReady() || track->GetDataCount() == 0)
        return;
    const QList<AMediaFile> playlist = m_hooks.playlist ? m_hooks.playlist() : QList<AMediaFile>();
    const int current = m_hooks.currentIndex ? m_hooks.currentIndex() : -1;
    if (current < 0 || current >= playlist.size())
        return;
    if (m_hooks.pausePlayback)
        m_hooks.pausePlayback();
    const std::string recording = playlist.at(current).nativePath().toStdString();
    const QString suggested =
        QDir(getExportFolder())
            .filePath(QFile::decodeName(QByteArray::fromStdString(pmGetFileName(recording, true))) +
                      QStringLiteral(".kml"));
    pmChooseSaveFile(
        window(), pmLoadString(QStringLiteral("IDS_EXPORT_TO_KML")), suggested,
        QStringLiteral("KML (*.kml);;GPX (*.gpx);;CSV (*.csv)"), [this, recording](const QString& path) {
            if (path.isEmpty())
                return;
            saveExportFolder(QFileInfo(path).absolutePath());
            // A rear recording's track is its front partner's log.
            std::string source = pmGetCameraType(recording) == kCameraRear
                                     ? pmGetGpsLogFile(pmGetAnotherCameraPath(recording))
                                     : std::string();
            // A track attached from another device is the source then, and is never written over.
            if (m_hooks.attachedTracks)
                if (const std::optional<TrackAttachment> a = m_hooks.attachedTracks({recording})(recording))
                    source = a->trackFile;
            // The track of what is open now (the chooser ran queued after its dialog closed).
            const GpsList* now = m_hooks.currentTrack ? m_hooks.currentTrack() : nullptr;
            const GpsList empty;
            pmStartWait();
            const TrackExportResult result = pmExportTrack(
                pmTrackFormatForPath(nativeOf(path)), nativeOf(path), now ? *now : empty, recording, source,
                pmProductCreator(), std::string(), pmReadSetting(SettingsKeys::speedUnit));
            pmEndWait();
            if (result == TrackExportResult::WriteFailed ||
                result == TrackExportResult::WouldOverwriteSource) {
                pmWriteLogQ(QStringLiteral("AppDelegate::onButtonExport - cannot write %1").arg(path));
                pmMessageBox(
                    pmLoadString(QStringLiteral("IDS_ERR_EXPORT_FAILED")).arg(QFileInfo(path).fileName()));
            }
        });
}
