// The walk, the admission probes and the name order are the core scanner's
// (core/LibraryScan.h), run on a worker by LibraryBuilder; the playlist's rows
// and their ids are core/Playlist.h. This side adds the log lines and the Qt
// entry objects. Paths cross the boundary as native bytes
// (QFile::encodeName/decodeName) so names that are not UTF-8 survive.
//
// The log lines keep the controller's names: logs of earlier versions and the
// tools that read them know the lines by these prefixes.
#include "library/LibraryModel.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/FileRules.h"
#include "core/Log.h"
#include "core/Playlist.h"
#include "library/FolderFollowUp.h"
#include "library/FolderMonitor.h"
#include "library/PlacementOffer.h"
#include "library/PlaylistTrips.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

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
    : QObject(parent), m_builder(new LibraryBuilder(this)), m_monitor(new FolderMonitor(this)),
      m_followUp(new FolderFollowUp(this)), m_placementOffer(new PlacementOffer(this))
{
    // build -> library: what the walk found taken in, the build's end told on
    connect(m_builder, &LibraryBuilder::started, this, &LibraryModel::startVideoLibrary);
    connect(m_builder, &LibraryBuilder::walked, this, &LibraryModel::finishVideoLibrary);
    connect(m_builder, &LibraryBuilder::ended, this, [this] {
        Q_EMIT libraryBuilt();
        offerPlacementByNames();
    });
    connect(m_builder, &LibraryBuilder::folderChosen, this, [this](const QString& folder) {
        mCurFolder = folder;
        buildVideoLibrary(folder);
    });
    // folder monitor -> library: the check at once, the follow-up once per batch
    connect(m_monitor, &FolderMonitor::checkRequested, m_followUp, &FolderFollowUp::check);
    connect(m_monitor, &FolderMonitor::folderBack, this, &LibraryModel::buildVideoLibrary);
    connect(m_monitor, &FolderMonitor::changed, m_followUp, &FolderFollowUp::sync);
    connect(m_followUp, &FolderFollowUp::vanished, this, &LibraryModel::recordingsVanished);
    connect(m_followUp, &FolderFollowUp::libraryChanged, this, &LibraryModel::videoLibIsReady);
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
    m_builder->setInputWindow(window);
}

void LibraryModel::setPlayRowsSource(std::function<PlayRows()> source)
{
    m_playRows = std::move(source);
}

// ---------------------------------------------------------------- the build

bool LibraryModel::buildVideoLibrary(const QString& folder)
{
    m_builder->build(folder);
    return true;
}

void LibraryModel::startVideoLibrary(const QString& folder)
{
    Q_EMIT buildStarted(folder);
    // The model belongs to this folder's camera: a card without DEVICE.XML
    // has none, rather than the model of the card browsed before it.
    m_strModelName = getModelName(folder);
    // The clock correction is the card's: set again once the new one is measured.
    m_days.setClockDifference(std::nullopt);
    m_nCurFolderLevel = 1; // the walk under way
}

void LibraryModel::finishVideoLibrary(const QString& folder, const QList<AMediaFile>& found)
{
    setVideoLib(found);
    --m_nCurFolderLevel;

    startMonitorFolder(folder);
    pmWriteLogQ(QStringLiteral("AppDelegate::buildVideoLibrary - found video count = %1, bOK = %2")
                    .arg(mVideoLib.size())
                    .arg(1));
    Q_EMIT videoLibIsReady();
    checkLastVideoDate();
    rebuildPlaylist();
}

void LibraryModel::searchFolder(const QString& folder)
{
    ++m_nCurFolderLevel;
    mVideoLib.append(LibraryBuilder::walk(folder));
    m_days.reset();
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
    m_days.reset();
}

void LibraryModel::clearVideoLibrary()
{
    mVideoLib.clear();
    m_days.reset();
}

void LibraryModel::setVideoLib(const QList<AMediaFile>& library)
{
    mVideoLib = library;
    m_days.reset();
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
    if (const std::optional<QDate> day = m_days.newestDay(sortByFileDate()))
        Q_EMIT activateDayRequested(day->year(), day->month(), day->day());
}

bool LibraryModel::isMediaExistByDate(qint16 year, qint16 month, qint16 day) const
{
    return m_days.contains(mVideoLib, year, month, day);
}

QDateTime LibraryModel::placementDate(const AMediaFile& media) const
{
    return m_days.placementDate(media);
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
    if (m_days.byNameTime() == on)
        return;
    m_days.setByNameTime(on);
    m_days.reset();
    Q_EMIT videoLibIsReady(); // the calendar marks its days again
    checkLastVideoDate();
    rebuildPlaylist();
}

void LibraryModel::setClockCorrection(std::optional<int64_t> differenceMs, bool toNewestDay)
{
    if (m_days.clockDifference() == differenceMs)
        return;
    pmWriteLogQ(QStringLiteral("AppDelegate::setClockCorrection - %1 ms")
                    .arg(differenceMs ? QString::number(*differenceMs) : QStringLiteral("off")));
    m_days.setClockDifference(differenceMs);
    m_days.reset();
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

// ---------------------------------------------------------------- the playlist

QString LibraryModel::getFilePathInPlaylist(int index) const
{
    if (index < 0 || index >= mPlaylist.size())
        return QString();
    return mPlaylist.at(index).path();
}

Playlist LibraryModel::filteredRows(const QList<AMediaFile>& sorted) const
{
    const ListChoice choice = m_listChoice ? m_listChoice() : ListChoice();
    PlaylistFilterOptions options;
    options.showNormal = choice.showNormal;
    options.showEvent = choice.showEvent;
    options.showParking = choice.showParking;
    options.allFiles = m_bAllFile || !choice.hasDay; // no calendar to choose a day with: every day
    options.byNameTime = m_days.byNameTime();
    options.clockDifferenceMs = m_days.clockDifference();
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
    return Playlist::filtered(library, options);
}

QList<AMediaFile> LibraryModel::filteredPlaylist(const QList<AMediaFile>& sorted) const
{
    const Playlist rows = filteredRows(sorted);
    QList<AMediaFile> list;
    for (const PlaylistRow& row : rows.rows())
        list.append(sorted.at(static_cast<qsizetype>(row.libraryIndex)));
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
    if (Playlist(nativePaths(fresh)).sameRows(Playlist(nativePaths(mPlaylist))))
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
    const Playlist before(nativePaths(mPlaylist));
    const Playlist after(nativePaths(fresh));
    if (after.sameRows(before) && !textsChanged)
        return true;
    const PlayRows playing = m_playRows ? m_playRows() : PlayRows(-1, -1);
    const int selected = m_listChoice ? m_listChoice().selectedRow : -1;
    const KeptRows kept = after.keptRows(before, playing.first, playing.second, selected);
    if (!kept.playingListed)
        return false;
    const bool wasEmpty = mPlaylist.isEmpty();
    setPlaylist(fresh);
    Q_EMIT playRowsMoved(kept.front, kept.rear);
    if (m_listChoice) {
        fillFileList();
        // The play mark and the selection stay on their recordings.
        Q_EMIT fileListMarksKept(kept.front, kept.selected);
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
// The library follows the folder while the program runs: FolderFollowUp takes
// what vanished out and what arrived in, and the library is built again when
// the folder comes back on a card put in again (FolderMonitor says which,
// once per batch of events).

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
    m_followUp->check();
}
