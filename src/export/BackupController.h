#pragma once
// The backup copy and the track export. Backup: the selection window over
// the playlist, the destination folder, the progress window and one worker
// thread per job (core/BackupEngine), plain or as an evidence package. Track
// export: the current recording's track as KML, GPX or CSV. What it needs
// from the library and from playback comes in through Hooks; the selection
// goes out as a BackupSelection, the end of a job as finished().
#include "base/AMediaFile.h"
#include "core/BackupEngine.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class BackupDlg;
class GpsList;
class ProgressDlg;
class QWidget;

// The rows the user chose in the backup's selection window (playlist
// indexes, ascending) and whether they go into an evidence package.
struct BackupSelection {
    QList<int> rows;
    bool evidence = false;
};

class BackupController : public QObject
{
    Q_OBJECT
public:
    struct Hooks {
        std::function<QWidget*()> window;             // parent of the windows; may give null
        std::function<QList<AMediaFile>()> playlist;  // the playlist now
        std::function<QString()> sourceFolder;        // the folder the library was built from
        std::function<void()> pausePlayback;          // before a window opens over the video
        std::function<bool()> otherSelectionOpen;     // the upload's selection or sign-in is open
        std::function<int()> currentIndex;            // playlist index of the open recording, -1 none
        std::function<const GpsList*()> currentTrack; // its track; null while nothing plays
        // The tracks attached to these recordings, answered on the job's thread.
        std::function<TrackAttachmentFinder(const std::vector<std::string>&)> attachedTracks;
    };

    explicit BackupController(QObject* parent = nullptr);
    ~BackupController() override;
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // Toolbar Backup: the selection window over the playlist (nothing without
    // one, while a job runs or while a selection window is open).
    void onButtonBackup();
    // Opens the selection window for backup with this title.
    void openSelection(const QString& title);
    // The chosen rows: asks for the destination folder, then starts the job.
    void doBackup(const BackupSelection& selection);
    // The destination is known: checks it, then starts the progress window and the worker.
    void startBackup(const QString& destFolder, bool evidence);
    bool isBackupRunning() const;
    // Bytes copied so far in the current (or last) job.
    quint64 backupBytesDone() const;
    const BackupResult& lastBackupResult() const { return m_lastResult; }
    // The playlist indexes of the current (or last) job, ascending.
    const QList<int>& selectedIndexes() const { return m_selection; }
    BackupDlg* selectionDialog() const;
    ProgressDlg* progressDialog() const;
    // Lets a test adjust a job's options (block size, a call per block) before it starts.
    void setOptionsHook(std::function<void(BackupOptions&)> hook) { m_optionsHook = std::move(hook); }

    // Toolbar export: the current recording's track as KML, GPX or CSV.
    void onButtonExport();
    static QString getExportFolder();
    static void saveExportFolder(const QString& path);

Q_SIGNALS:
    // Rows chosen in the selection window (doBackup follows).
    void selectionChosen(const BackupSelection& selection);
    // A job ended; the result is also lastBackupResult().
    void finished(const BackupResult& result);

private:
    void finishBackup(const BackupResult& result);
    QWidget* window() const;

    Hooks m_hooks;
    QPointer<BackupDlg> m_selectDlg;
    QPointer<ProgressDlg> m_progressDlg;
    QList<int> m_selection;
    std::shared_ptr<BackupProgress> m_progress;
    QPointer<QObject> m_job;
    BackupResult m_lastResult;
    std::function<void(BackupOptions&)> m_optionsHook;
};

Q_DECLARE_METATYPE(BackupSelection)
Q_DECLARE_METATYPE(BackupResult)
