#pragma once
// The library of one folder and what is made of it: the scan that fills it
// (walked on a worker thread while the main loop runs), the days that hold a
// recording, the playlist the file list and calendar choose from it, the
// camera pairs within the playlist, and the folder monitor that keeps the
// library in step with the folder while the program runs.
//
// It knows nothing of playback: what a change means for the recording on
// screen is told through signals (playlistClearing, playlistRebuilt,
// playlistChanged, recordingsVanished), and the rows that play are read
// through a function its owner sets. Main thread only, except the scan's walk.
#include "base/AMediaFile.h"
#include "base/FileListRow.h"
#include "core/LibraryScan.h"
#include "library/LibraryBuilder.h"
#include "library/LibraryDays.h"
#include "library/PlaylistTrips.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class FolderFollowUp;
class FolderMonitor;
class PlacementOffer;
class Playlist;
class QWidget;
class SCEvents;

class LibraryModel : public QObject
{
    Q_OBJECT
public:
    explicit LibraryModel(QObject* parent = nullptr);
    ~LibraryModel() override;

    // ---- what the owner sets

    // What the file list and the calendar choose the playlist with, asked at
    // each filtering: the types shown, the day (none: every day), the row
    // selected. Without a source every type of every day is listed and no
    // rows are sent out (fileListFilled).
    struct ListChoice {
        bool showNormal = true, showEvent = true, showParking = true;
        bool hasDay = false;
        int year = 0, month = 0, day = 0;
        int selectedRow = -1;
    };
    void setListSource(std::function<ListChoice()> source);
    // The window that takes no input while a scan runs (none: nothing held back).
    void setInputWindow(QWidget* window);
    // The front and rear playlist rows that play now (-1 when none).
    using PlayRows = std::pair<int, int>;
    void setPlayRowsSource(std::function<PlayRows()> source);

    // ---- the build (LibraryBuilder)

    // Starts a build and returns at once: the folder is walked on a worker
    // thread while the busy window shows; the library, the monitor, the
    // calendar and the playlist are updated on the main thread when the walk
    // is done (libraryBuilt() follows). The old library stays until then.
    // Asked while a build runs, the folder is built after it (the last asked).
    bool buildVideoLibrary(const QString& folder);
    // A build is running or waiting to run.
    bool isBuildingLibrary() const { return m_builder->isBuilding(); }
    // A scan's worker is running now.
    bool isScanning() const { return m_builder->isScanning(); }
    // Tear-down: waits for a running walk and drops its result and any queued build.
    void waitForScanToEnd() { m_builder->waitForScanToEnd(); }
    // Scans in the calling thread and appends what it finds to the library.
    void searchFolder(const QString& folder);
    bool addVideoFile(const QString& path);
    void insertMediaToVideoLib(const AMediaFile& media, int insertIndex);
    void clearVideoLibrary();
    // A copy of the library in playlist order (by name; see pmLessByFileDate).
    QList<AMediaFile> sortByFileDate() const;
    // Asks the calendar to show the newest recording still on disk.
    void checkLastVideoDate();
    // Answered from a day table built at the first question after a change.
    bool isMediaExistByDate(qint16 year, qint16 month, qint16 day) const;
    // How often that day table was built (it must not be per question).
    int mediaDaysBuilds() const { return m_days.builds(); }
    // The time in the name while name-time placement is on and the name states
    // a real moment, the file date otherwise.
    QDateTime placementDate(const AMediaFile& media) const;
    FileListRow fileListRow(const AMediaFile& media) const;
    bool isPlaceByNameTime() const { return m_days.byNameTime(); }
    // The settings menu's switch: stores it, marks the days again, moves the
    // calendar to the newest day and rebuilds the playlist.
    void setPlaceByNameTime(bool on);
    // The stored choice taken at start-up; nothing is rebuilt.
    void restorePlaceByNameTime(bool on) { m_days.setByNameTime(on); }
    // The camera's clock against GPS time (CameraClock) while the card's
    // correction is on, none otherwise: the calendar, the day's playlist and
    // the file list show the corrected moments (core's pmPlacementMsecs).
    // A change marks the days again and re-lists without a scan; what plays
    // keeps playing, and the calendar follows it to its day (to the newest
    // day when nothing plays and `toNewestDay`).
    std::optional<int64_t> clockCorrection() const { return m_days.clockDifference(); }
    void setClockCorrection(std::optional<int64_t> differenceMs, bool toNewestDay = false);
    // After a build: offer once to place a card copied without its dates by
    // the times in the names (core/NameTimeOffer.h).
    void offerPlacementByNames();
    // Every playlist entry's file is there (false for an empty playlist).
    bool isAllMediaExist() const;
    // The camera's product name from DEVICE.XML at or above the folder; null when none.
    QString getModelName(const QString& folder) const;

    const QList<AMediaFile>& videoLib() const { return mVideoLib; }
    void setVideoLib(const QList<AMediaFile>& library);

    // ---- the folder

    const QString& currentFolder() const { return mCurFolder; }
    void setCurrentFolder(const QString& folder) { mCurFolder = folder; }
    // Depth of the scan under way (0 when none).
    int curFolderLevel() const { return m_nCurFolderLevel; }
    // The model of the folder last built; the track takes it from here.
    const QString& modelName() const { return m_strModelName; }
    // Browse: a folder chooser over the input window; a chosen folder is
    // remembered, becomes the current one and is built, or is handed to the
    // opener when one is set (a fleet archive is built one vehicle's folder
    // at a time). Nothing while a scan runs.
    void browse() { m_builder->browse(); }
    void setFolderOpener(std::function<void(const QString& folder)> opener)
    {
        m_builder->setFolderOpener(std::move(opener));
    }

    // ---- the playlist

    const QList<AMediaFile>& playlist() const { return mPlaylist; }
    void setPlaylist(const QList<AMediaFile>& list) { mPlaylist = list; }
    void clearPlayList() { mPlaylist.clear(); }
    // Path of an entry; a null string when the index is out of range.
    QString getFilePathInPlaylist(int index) const;
    // Rebuilt from scratch: what played is deselected (playlistClearing), the
    // file list filled, then playlistRebuilt for the views that follow.
    void rebuildPlaylist();
    // The library's entries that pass the filter, in playlist order.
    QList<AMediaFile> filteredPlaylist(const QList<AMediaFile>& sorted) const;
    // The playlist the filter gives now, taken over without deselecting the
    // recordings that play (they keep playing at their new rows).
    void refreshPlaylistKeepingCurrent();
    // Every day (the calendar shrunk) or the calendar's day; rebuilds.
    bool allFiles() const { return m_bAllFile; }
    void setAllFiles(bool all);
    int checkDualCameraFileType(int index) const;
    int getAnotherCameraFile(int index) const;
    // Some playlist entry has its other camera's recording next to it.
    bool hasCameraPair() const;
    // Playlist indexes of the trip (core/Trips.h) holding `playlistIndex`, in
    // play order, of that recording's camera: {playlistIndex} when it stands
    // alone, empty for an invalid index. Starts come from the names (the file
    // date where a name states none), durations from the container headers,
    // read once per file and kept; only the playlist around the index is read.
    std::vector<int> tripMembers(int playlistIndex) const;

    // ---- the folder monitor

    void startMonitorFolder(const QString& folder);
    void stopMonitorFolder();
    SCEvents* folderWatcher() const;
    const QString& monitoredFolder() const;
    // The check (FolderFollowUp): when a listed recording has gone, playback
    // pauses, the vanished entries leave the library and the playlist is rebuilt.
    void onMonitorFolder();

Q_SIGNALS:
    // A build has begun for this folder.
    void buildStarted(const QString& folder);
    // The library changed: the calendar marks its days again.
    void videoLibIsReady();
    // Move the calendar to this day (the newest recording's day).
    void activateDayRequested(int year, int month, int day);
    // A build has ended: its last log line written, the busy window closed.
    void libraryBuilt();
    // A rebuild is about to fill the playlist: nothing may stay selected.
    void playlistClearing();
    // A rebuild has filled the playlist and the file list.
    void playlistRebuilt();
    // The rows the file list shows now, one per playlist entry.
    void fileListFilled(const std::vector<FileListRow>& rows);
    // After the list was filled again under what plays: the play mark's row
    // (-1: none) and the selected row (-1: its recording left; -2: none was).
    void fileListMarksKept(int playRow, int selectedRow);
    // The playlist changed under the recordings that play; they moved to
    // these rows (or stay -1), and the file list shows the new list.
    void playRowsMoved(int front, int rear);
    void playlistChanged(bool wasEmpty);
    // The check found a listed recording gone, before anything is rebuilt.
    void recordingsVanished();

private:
    void startVideoLibrary(const QString& folder);
    void finishVideoLibrary(const QString& folder, const QList<AMediaFile>& found);
    void fillFileList();
    // The rows the filter lets through `sorted` now.
    Playlist filteredRows(const QList<AMediaFile>& sorted) const;
    // The fresh playlist taken over with what plays kept at its new rows; the
    // file list is filled again when the list changed, or always when
    // `textsChanged`. False when what plays is no longer listed (nothing done).
    bool takePlaylistKeepingCurrent(const QList<AMediaFile>& fresh, bool textsChanged);

    QList<AMediaFile> mVideoLib;
    LibraryDays m_days; // every change to mVideoLib resets its day table
    mutable TripProbes m_tripProbes;
    QList<AMediaFile> mPlaylist;
    bool m_bAllFile = false;
    QString mCurFolder;
    int m_nCurFolderLevel = 0;
    QString m_strModelName;

    LibraryBuilder* m_builder;
    FolderMonitor* m_monitor;
    FolderFollowUp* m_followUp;
    PlacementOffer* m_placementOffer;

    std::function<ListChoice()> m_listChoice;
    QPointer<QWidget> m_inputWindow;
    std::function<PlayRows()> m_playRows;
};
