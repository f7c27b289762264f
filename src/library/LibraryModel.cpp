// The walk, the admission probes and the name order are the core scanner's
// (core/LibraryScan.h), the filter is core/PlaylistFilter.h; this side runs
// the walk on a worker thread and adds the busy window, the log lines and the
// Qt entry objects. Paths cross the boundary as native bytes
// (QFile::encodeName/decodeName) so names that are not UTF-8 survive.
//
// The log lines keep the controller's names: logs of earlier versions and the
// tools that read them know the lines by these prefixes.
#include "library/LibraryModel.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "base/WorkerJob.h"
#include "core/FileRules.h"
#include "core/Log.h"
#include "core/NameTimeOffer.h"
#include "core/PlaylistFilter.h"
#include "core/TrackLoader.h"
#include "library/FolderMonitor.h"
#include "library/PlacementOffer.h"
#include "library/PlaylistTrips.h"
#include "library/ScanInputFilter.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace
{
std::string nativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

std::vector<std::string> nativePaths(const QList<AMediaFile>& list)
{
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(list.size()));
    for (const AMediaFile& f : list)
        paths.push_back(f.nativePath().toStdString());
    return paths;
}

} // namespace

LibraryModel::LibraryModel(QObject* parent)
    : QObject(parent), m_monitor(new FolderMonitor(this)), m_placementOffer(new PlacementOffer(this))
{
    // folder monitor -> library: the check at once, the follow-up once per batch
    connect(m_monitor, &FolderMonitor::checkRequested, this, &LibraryModel::onMonitorFolder);
    connect(m_monitor, &FolderMonitor::folderBack, this, &LibraryModel::buildVideoLibrary);
    connect(m_monitor, &FolderMonitor::changed, this, &LibraryModel::syncLibraryWithFolder);
}

LibraryModel::~LibraryModel()
{
    waitForScanToEnd();
}

void LibraryModel::setListSource(std::function<ListChoice()> source)
{
    m_listChoice = std::move(source);
}

void LibraryModel::setInputWindow(QWidget* window)
{
    m_inputWindow = window;
}

void LibraryModel::setPlayRowsSource(std::function<PlayRows()> source)
{
    m_playRows = std::move(source);
}

// ---------------------------------------------------------------- the build

bool LibraryModel::buildVideoLibrary(const QString& folder)
{
    if (m_libraryScan) {
        // One scan at a time. The folder asked for last is built as soon as
        // the running scan has finished (a folder chosen while a scan runs,
        // or the monitor's folder coming back).
        m_pendingLibraryFolder = folder;
        pmWriteLogQ(
            QStringLiteral("AppDelegate::buildVideoLibrary - a scan is running, %1 follows it").arg(folder));
        return true;
    }
    pmWriteLogQ(QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(folder));
    Q_EMIT buildStarted(folder);
    // The model belongs to this folder's camera: a card without DEVICE.XML
    // has none, rather than the model of the card browsed before it.
    m_strModelName = getModelName(folder);
    // The clock correction is the card's: set again once the new one is measured.
    m_clockDifference.reset();
    m_nCurFolderLevel = 0;
    pmStartWait();

    // The walk and the header probes run on a worker while the main loop
    // keeps running. The worker touches nothing but its job; the library,
    // the playlist and every panel stay the main thread's, and the library
    // keeps its old entries (which the playlist shows) until the scan is done.
    ++m_nCurFolderLevel;
    auto* job = new WorkerJob<std::vector<ScannedRecording>>(this, {});
    m_libraryScan = job;
    if (m_inputWindow && !m_scanInputFilter)
        m_scanInputFilter = new ScanInputFilter(m_inputWindow, this);
    job->start(
        [native = nativePath(folder)] {
            LibraryScanner scanner;
            return scanner.scan(native);
        },
        [this, folder, job](const std::vector<ScannedRecording>& found) {
            if (m_libraryScan != job)
                return;
            m_libraryScan = nullptr;
            job->deleteLater();
            finishVideoLibrary(folder, found);
        });
    return true;
}

void LibraryModel::finishVideoLibrary(const QString& folder, const std::vector<ScannedRecording>& found)
{
    clearVideoLibrary();
    takeScannedRecordings(found);
    --m_nCurFolderLevel;

    startMonitorFolder(folder);
    pmWriteLogQ(QStringLiteral("AppDelegate::buildVideoLibrary - found video count = %1, bOK = %2")
                    .arg(mVideoLib.size())
                    .arg(1));
    Q_EMIT videoLibIsReady();
    checkLastVideoDate();
    rebuildPlaylist();

    removeInputFilter();
    pmEndWait();
    pmWriteLog("AppDelegate::buildVideoLibrary - End !");
    Q_EMIT libraryBuilt();
    offerPlacementByNames();

    if (!m_pendingLibraryFolder.isNull()) {
        const QString next = m_pendingLibraryFolder;
        m_pendingLibraryFolder = QString();
        buildVideoLibrary(next);
    }
}

bool LibraryModel::isBuildingLibrary() const
{
    return m_libraryScan != nullptr || !m_pendingLibraryFolder.isNull();
}

void LibraryModel::waitForScanToEnd()
{
    // The scan cannot be interrupted: the job's end waits for its thread, and
    // its result is dropped.
    if (!m_libraryScan)
        return;
    delete std::exchange(m_libraryScan, nullptr);
    m_pendingLibraryFolder = QString();
    removeInputFilter();
}

void LibraryModel::removeInputFilter()
{
    if (!m_scanInputFilter)
        return;
    delete m_scanInputFilter;
    m_scanInputFilter = nullptr;
}

void LibraryModel::takeScannedRecordings(const std::vector<ScannedRecording>& found)
{
    for (const ScannedRecording& r : found) {
        const QDateTime date = r.mtimeMsecs ? QDateTime::fromMSecsSinceEpoch(*r.mtimeMsecs) : QDateTime();
        insertMediaToVideoLib(AMediaFile::mediaFileWithNativePath(QByteArray::fromStdString(r.path), date),
                              static_cast<int>(mVideoLib.size()));
    }
}

void LibraryModel::searchFolder(const QString& folder)
{
    ++m_nCurFolderLevel;
    LibraryScanner scanner;
    takeScannedRecordings(scanner.scan(nativePath(folder)));
    --m_nCurFolderLevel;
}

bool LibraryModel::addVideoFile(const QString& path)
{
    if (!LibraryScanner::admit(nativePath(path)))
        return false;
    const QFileInfo info(path);
    const QDateTime date = info.exists() ? info.lastModified() : QDateTime();
    insertMediaToVideoLib(AMediaFile::mediaFileWithURLDate(QUrl::fromLocalFile(path), date),
                          static_cast<int>(mVideoLib.size()));
    return true;
}

void LibraryModel::insertMediaToVideoLib(const AMediaFile& media, int insertIndex)
{
    const int index = qBound(0, insertIndex, static_cast<int>(mVideoLib.size()));
    mVideoLib.insert(index, media);
    m_mediaDays.reset();
}

void LibraryModel::clearVideoLibrary()
{
    mVideoLib.clear();
    m_mediaDays.reset();
}

void LibraryModel::setVideoLib(const QList<AMediaFile>& library)
{
    mVideoLib = library;
    m_mediaDays.reset();
}

QList<AMediaFile> LibraryModel::sortByFileDate() const
{
    const std::vector<std::size_t> order = pmSortByFileDate(nativePaths(mVideoLib));
    QList<AMediaFile> sorted;
    sorted.reserve(mVideoLib.size());
    for (std::size_t i : order)
        sorted.append(mVideoLib.at(static_cast<qsizetype>(i)));
    return sorted;
}

void LibraryModel::checkLastVideoDate()
{
    const QList<AMediaFile> sorted = sortByFileDate();
    const auto newest = pmNewestExistingRecording(nativePaths(sorted));
    if (!newest)
        return;
    const QDateTime date = placementDate(sorted.at(static_cast<qsizetype>(*newest)));
    if (!date.isValid())
        return; // no date to move the calendar to
    const QDate day = date.toLocalTime().date();
    Q_EMIT activateDayRequested(day.year(), day.month(), day.day());
}

bool LibraryModel::isMediaExistByDate(qint16 year, qint16 month, qint16 day) const
{
    if (year <= 0 || month <= 0 || day <= 0)
        return false;
    if (!m_mediaDays) {
        std::vector<std::optional<int64_t>> dates;
        dates.reserve(static_cast<std::size_t>(mVideoLib.size()));
        for (const AMediaFile& f : mVideoLib) {
            const QDateTime placed = placementDate(f);
            if (placed.isValid())
                dates.emplace_back(placed.toMSecsSinceEpoch());
            else
                dates.emplace_back(std::nullopt);
        }
        m_mediaDays.emplace(dates);
        ++m_nMediaDaysBuilds;
    }
    return m_mediaDays->contains(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                 static_cast<uint16_t>(day));
}

QDateTime LibraryModel::placementDate(const AMediaFile& media) const
{
    if (!m_bPlaceByNameTime && !m_clockDifference)
        return media.fileDate();
    const QDateTime file = media.fileDate();
    const std::optional<int64_t> placed =
        pmPlacementMsecs(media.nativePath().toStdString(),
                         file.isValid() ? std::optional<int64_t>(file.toMSecsSinceEpoch()) : std::nullopt,
                         m_bPlaceByNameTime, m_clockDifference);
    return placed ? QDateTime::fromMSecsSinceEpoch(*placed) : QDateTime();
}

FileListRow LibraryModel::fileListRow(const AMediaFile& media) const
{
    FileListRow row = makeFileListRow(media.path(), placementDate(media));
    // The type test must see the name as the file system spells it: a name
    // that is not UTF-8 does not survive the trip through QString.
    row.nativePath = media.nativePath();
    return row;
}

void LibraryModel::setPlaceByNameTime(bool on)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::setPlaceByNameTime - %1").arg(on ? 1 : 0));
    pmWriteSetting(SettingsKeys::placeByNameTime, on);
    if (m_bPlaceByNameTime == on)
        return;
    m_bPlaceByNameTime = on;
    m_mediaDays.reset();
    Q_EMIT videoLibIsReady(); // the calendar marks its days again
    checkLastVideoDate();
    rebuildPlaylist();
}

void LibraryModel::setClockCorrection(std::optional<int64_t> differenceMs, bool toNewestDay)
{
    if (m_clockDifference == differenceMs)
        return;
    pmWriteLogQ(QStringLiteral("AppDelegate::setClockCorrection - %1 ms")
                    .arg(differenceMs ? QString::number(*differenceMs) : QStringLiteral("off")));
    m_clockDifference = differenceMs;
    m_mediaDays.reset();
    Q_EMIT videoLibIsReady(); // the calendar marks its days again
    // The calendar goes with the recording that plays, else with the one
    // selected, which may have moved to the next or the day before; with
    // neither, to the newest day when asked or when its day is left empty.
    auto rowIn = [this](int row) { return row >= 0 && row < mPlaylist.size() ? row : -1; };
    const PlayRows playing = m_playRows ? m_playRows() : PlayRows(-1, -1);
    int follow = rowIn(playing.first);
    if (follow < 0 && !toNewestDay)
        follow = rowIn(m_listChoice ? m_listChoice().selectedRow : -1);
    if (follow >= 0 && !m_bAllFile) {
        const QDateTime placed = placementDate(mPlaylist.at(follow));
        if (placed.isValid()) {
            const QDate day = placed.toLocalTime().date();
            Q_EMIT activateDayRequested(day.year(), day.month(), day.day());
        }
    } else if (follow < 0 && (toNewestDay || (!m_bAllFile && filteredPlaylist(sortByFileDate()).isEmpty()))) {
        checkLastVideoDate();
    }
    if (!takePlaylistKeepingCurrent(filteredPlaylist(sortByFileDate()), true))
        rebuildPlaylist();
}

void LibraryModel::offerPlacementByNames()
{
    m_placementOffer->offer(m_inputWindow);
}

bool LibraryModel::isAllMediaExist() const
{
    if (mPlaylist.isEmpty())
        return false;
    for (const AMediaFile& f : mPlaylist) {
        if (!pmIsFileExist(f.nativePath().toStdString()))
            return false;
    }
    return true;
}

QString LibraryModel::getModelName(const QString& folder) const
{
    const std::string name = pmGetModelName(nativePath(folder));
    if (name.empty())
        return QString();
    return QString::fromStdString(name);
}

void LibraryModel::browse()
{
    pmWriteLog("AppDelegate - onButtonBrowse()");
    if (m_libraryScan)
        return; // no second folder chooser while a scan runs
    pmChooseFolder(m_inputWindow, QString(), pmGetCurrentFolder(), [this](const QString& chosen) {
        if (chosen.isEmpty())
            return; // cancelled: library, playlist and setting stay as they are
        pmSetCurrentFolder(chosen);
        if (m_folderOpener) {
            m_folderOpener(chosen);
            return;
        }
        mCurFolder = chosen;
        buildVideoLibrary(chosen);
    });
}

// ---------------------------------------------------------------- the playlist

QString LibraryModel::getFilePathInPlaylist(int index) const
{
    if (index < 0 || index >= mPlaylist.size())
        return QString();
    return mPlaylist.at(index).path();
}

QList<AMediaFile> LibraryModel::filteredPlaylist(const QList<AMediaFile>& sorted) const
{
    const ListChoice choice = m_listChoice ? m_listChoice() : ListChoice();
    PlaylistFilterOptions options;
    options.showNormal = choice.showNormal;
    options.showEvent = choice.showEvent;
    options.showParking = choice.showParking;
    options.allFiles = m_bAllFile || !choice.hasDay; // no calendar to choose a day with: every day
    options.byNameTime = m_bPlaceByNameTime;
    options.clockDifferenceMs = m_clockDifference;
    options.year = choice.year;
    options.month = choice.month;
    options.day = choice.day;

    std::vector<ScannedRecording> library;
    library.reserve(static_cast<std::size_t>(sorted.size()));
    for (const AMediaFile& f : sorted) {
        ScannedRecording r;
        r.path = f.nativePath().toStdString();
        if (f.fileDate().isValid())
            r.mtimeMsecs = f.fileDate().toMSecsSinceEpoch();
        library.push_back(std::move(r));
    }
    QList<AMediaFile> list;
    for (std::size_t i : pmFilterPlaylist(library, options))
        list.append(sorted.at(static_cast<qsizetype>(i)));
    return list;
}

void LibraryModel::fillFileList()
{
    if (!m_listChoice)
        return; // no list to show the rows in
    std::vector<FileListRow> rows;
    rows.reserve(static_cast<std::size_t>(mPlaylist.size()));
    for (const AMediaFile& f : mPlaylist)
        rows.push_back(fileListRow(f));
    Q_EMIT fileListFilled(rows);
}

void LibraryModel::rebuildPlaylist()
{
    const QList<AMediaFile> sorted = sortByFileDate();
    clearPlayList();
    pmWriteLog("AppDelegate::rebuildPlaylist - Start - Ready to call setCurPlaylistIndex:-1");
    Q_EMIT playlistClearing();
    pmWriteLog("AppDelegate::rebuildPlaylist - Ready to check if a video exist");

    mPlaylist = filteredPlaylist(sorted);
    fillFileList();
    Q_EMIT playlistRebuilt();
    pmWriteLogQ(QStringLiteral("AppDelegate::rebuildPlaylist - video count = %1").arg(mPlaylist.size()));
}

void LibraryModel::setAllFiles(bool all)
{
    m_bAllFile = all;
    rebuildPlaylist();
}

void LibraryModel::refreshPlaylistKeepingCurrent()
{
    const QList<AMediaFile> fresh = filteredPlaylist(sortByFileDate());
    bool same = fresh.size() == mPlaylist.size();
    for (qsizetype i = 0; same && i < fresh.size(); ++i)
        same = fresh.at(i).URL() == mPlaylist.at(i).URL();
    if (same)
        return;
    if (!takePlaylistKeepingCurrent(fresh, false)) {
        rebuildPlaylist(); // what plays is no longer listed
        return;
    }
    pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - playlist updated, video count = %1")
                    .arg(mPlaylist.size()));
}

bool LibraryModel::takePlaylistKeepingCurrent(const QList<AMediaFile>& fresh, bool textsChanged)
{
    bool same = fresh.size() == mPlaylist.size();
    for (qsizetype i = 0; same && i < fresh.size(); ++i)
        same = fresh.at(i).URL() == mPlaylist.at(i).URL();
    if (same && !textsChanged)
        return true;
    auto urlAt = [this](int index) {
        return index >= 0 && index < mPlaylist.size() ? mPlaylist.at(index).URL() : QUrl();
    };
    auto indexIn = [&fresh](const QUrl& url) {
        for (qsizetype i = 0; i < fresh.size(); ++i)
            if (fresh.at(i).URL() == url)
                return static_cast<int>(i);
        return -1;
    };
    const PlayRows playing = m_playRows ? m_playRows() : PlayRows(-1, -1);
    const QUrl current = urlAt(playing.first);
    const QUrl current2 = urlAt(playing.second);
    const QUrl selected = m_listChoice ? urlAt(m_listChoice().selectedRow) : QUrl();
    const int index = current.isEmpty() ? playing.first : indexIn(current);
    const int index2 = current2.isEmpty() ? playing.second : indexIn(current2);
    if ((!current.isEmpty() && index < 0) || (!current2.isEmpty() && index2 < 0))
        return false;
    const bool wasEmpty = mPlaylist.isEmpty();
    setPlaylist(fresh);
    Q_EMIT playRowsMoved(index, index2);
    if (m_listChoice) {
        fillFileList();
        // The play mark and the selection stay on their recordings.
        Q_EMIT fileListMarksKept(index, selected.isEmpty() ? -2 : indexIn(selected));
    }
    Q_EMIT playlistChanged(wasEmpty);
    return true;
}

// ---------------------------------------------------------------- camera pairs

int LibraryModel::checkDualCameraFileType(int index) const
{
    if (index < 0 || index >= mPlaylist.size())
        return kCameraNone;
    return pmGetCameraType(mPlaylist.at(index).nativePath().toStdString());
}

int LibraryModel::getAnotherCameraFile(int index) const
{
    return pmAnotherCameraRow(mPlaylist, index);
}

std::vector<int> LibraryModel::tripMembers(int playlistIndex) const
{
    return m_tripProbes.tripMembers(mPlaylist, playlistIndex);
}

bool LibraryModel::hasCameraPair() const
{
    for (int i = 0; i < mPlaylist.size(); ++i) {
        if (checkDualCameraFileType(i) != kCameraNone && getAnotherCameraFile(i) >= 0)
            return true;
    }
    return false;
}

// ---------------------------------------------------------------- the folder monitor
//
// Beyond the check, the library follows the folder while the program runs:
// recordings that vanished leave it (so the calendar no longer marks their
// days), recordings that arrive join it and the playlist without stopping
// what plays, and the library is built again when the folder comes back on
// a card put in again (FolderMonitor says which, once per batch of events).

void LibraryModel::startMonitorFolder(const QString& folder)
{
    m_monitor->start(folder);
}

void LibraryModel::stopMonitorFolder()
{
    m_monitor->stop();
}

SCEvents* LibraryModel::folderWatcher() const
{
    return m_monitor->watcher();
}

const QString& LibraryModel::monitoredFolder() const
{
    return m_monitor->folder();
}

void LibraryModel::onMonitorFolder()
{
    if (m_bCheckFolder)
        pmWriteLog("AppDelegate::OnMonitorFolder() - Rentry, it is checking...");
    m_bCheckFolder = true;
    pmWriteLog("AppDelegate::OnMonitorFolder() - start");
    if (!mPlaylist.isEmpty() && !isAllMediaExist()) {
        pmWriteLog("AppDelegate::OnMonitorFolder() - Ready to VideoLibIsReady()");
        Q_EMIT recordingsVanished();
        // The calendar marks its days from the library: without the vanished
        // recordings it no longer marks days that have nothing to play.
        pruneVanishedRecordings();
        Q_EMIT videoLibIsReady();
        pmWriteLog("AppDelegate::OnMonitorFolder() - Ready to CheckLastVideoDate");
        checkLastVideoDate();
        pmWriteLog("AppDelegate::OnMonitorFolder() - Ready to RebuildPlayList");
        // Inside a library build the busy window is already up and stays up.
        const bool ownWait = !pmIsWaiting();
        if (ownWait)
            pmStartWait();
        rebuildPlaylist();
        if (ownWait)
            pmEndWait();
    }
    m_bCheckFolder = false;
    pmWriteLog("AppDelegate::OnMonitorFolder() - end");
}

bool LibraryModel::pruneVanishedRecordings()
{
    QList<AMediaFile> kept;
    kept.reserve(mVideoLib.size());
    for (const AMediaFile& f : mVideoLib)
        if (pmIsFileExist(f.nativePath().toStdString()))
            kept.append(f);
    const qsizetype gone = mVideoLib.size() - kept.size();
    if (gone == 0)
        return false;
    setVideoLib(kept);
    pmWriteLogQ(QStringLiteral("AppDelegate::OnMonitorFolder() - %1 recordings are gone, library count = %2")
                    .arg(gone)
                    .arg(mVideoLib.size()));
    return true;
}

void LibraryModel::syncLibraryWithFolder(bool mayHaveGone, const QList<AMediaFile>& arrived)
{
    bool libraryChanged = false;
    if (mayHaveGone) {
        libraryChanged = pruneVanishedRecordings();
        // Events may have been lost on the way: a listed recording that went
        // meanwhile still gets the check.
        if (!mPlaylist.isEmpty() && !isAllMediaExist())
            onMonitorFolder();
    }

    QSet<QByteArray> known;
    for (const AMediaFile& f : mVideoLib)
        known.insert(f.nativePath());
    qsizetype added = 0;
    for (const AMediaFile& f : arrived) {
        if (known.contains(f.nativePath()))
            continue;
        known.insert(f.nativePath());
        insertMediaToVideoLib(f, static_cast<int>(mVideoLib.size()));
        ++added;
        pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - new video - %1").arg(f.path()));
    }
    if (added > 0) {
        pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - %1 new videos, library count = %2")
                        .arg(added)
                        .arg(mVideoLib.size()));
        libraryChanged = true;
    }
    if (libraryChanged)
        Q_EMIT videoLibIsReady(); // the calendar marks its days again
    if (added > 0)
        refreshPlaylistKeepingCurrent();
}
