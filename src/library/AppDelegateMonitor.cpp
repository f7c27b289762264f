// The folder monitor on the controller's side: which paths are watched for
// the library folder, what an event makes the controller do, and the check
// that rebuilds the playlist when a listed recording has gone (a pulled card,
// a removed or renamed folder, deleted files).
//
// Beyond the check, the library follows the folder while the program runs:
// recordings that vanished leave it (so the calendar no longer marks their
// days), recordings that arrive join it and the playlist without stopping
// what plays, and the library is built again when the folder comes back on
// a card put in again. That follow-up runs once per batch of events, after
// the batch, so a burst of changes makes one library update.
#include "app/AppDelegate.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/EventHold.h"
#include "base/Services.h"
#include "controls/FileListLayout.h"
#include "controls/FileListView.h"
#include "core/FileRules.h"
#include "core/FolderWatch.h"
#include "core/LibraryScan.h"
#include "core/Log.h"
#include "platform/SCEvents.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <sys/stat.h>

namespace
{
// Hands the watcher's events to the controller; owned by the watcher.
class MonitorListener : public QObject, public SCEventListenerProtocol
{
public:
    MonitorListener(AppDelegate* app, QObject* parent) : QObject(parent), m_app(app) {}
    void pathWatcher(SCEvents* watcher, const SCEvent& event) override
    {
        if (m_app)
            m_app->pathWatcher(watcher, event);
    }

private:
    QPointer<AppDelegate> m_app;
};

QString mountPointOf(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return QString();
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return QString();
    const auto mount = pmMountOf(QFile::encodeName(canonical).toStdString(),
                                 pmParseMountInfo(table.readAll().toStdString()));
    return mount ? QFile::decodeName(QByteArray::fromStdString(mount->mountPoint)) : QString();
}

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Hidden names below the folder are never part of the library.
bool hasHiddenPart(const std::string& path, const std::string& folder)
{
    std::size_t pos = folder.size();
    while (pos < path.size()) {
        while (pos < path.size() && path[pos] == '/')
            ++pos;
        if (pos < path.size() && path[pos] == '.')
            return true;
        pos = path.find('/', pos);
        if (pos == std::string::npos)
            break;
    }
    return false;
}
} // namespace

void AppDelegate::startMonitorFolder(const QString& folder)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::startMonitorFolder() - %1").arg(folder));
    if (events) {
        events->stopWatchingPaths();
    } else {
        events = new SCEvents(this);
        events->setDelegate(new MonitorListener(this, events));
    }
    m_strMonitorFolder = folder;
    m_pendingAddPaths.clear();
    m_bPruneQueued = false;
    m_bRebuildQueued = false;

    QStringList paths;
    for (const std::string& p : pmMonitorWatchList(native(folder), native(mountPointOf(folder))))
        paths.append(QFile::decodeName(QByteArray::fromStdString(p)));
    if (!events->startWatchingPaths(paths))
        pmWriteLogQ(QStringLiteral("AppDelegate::startMonitorFolder() - not watching %1").arg(folder));
}

void AppDelegate::stopMonitorFolder()
{
    if (events)
        events->stopWatchingPaths();
}

void AppDelegate::pathWatcher(SCEvents*, const SCEvent& event)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - %1").arg(event.description()));
    const uint32_t flags = event.eventFlags();
    const QString path = event.eventPath();
    const WatchReaction reaction = pmWatchReaction(flags);
    if (reaction == WatchReaction::RemovedOrUnmounted)
        pmWriteLogQ(QStringLiteral("Folder is removed or unmounted - %1").arg(path));
    else if (reaction == WatchReaction::ItemRemovedOrRenamed)
        pmWriteLogQ(QStringLiteral("Folder is removed or rename - %1").arg(path));
    if (reaction != WatchReaction::None)
        onMonitorFolder();

    if (m_strMonitorFolder.isEmpty())
        return;
    const std::string folder = pmTrimEventPath(native(m_strMonitorFolder));
    const std::string where = native(path);
    bool follow = false;
    if ((flags & WatchFlag::Mount) && pmPathIsWithin(folder, where)) {
        m_bRebuildQueued = true; // the folder itself (or the volume holding it) is back
        follow = true;
    } else if ((flags & WatchFlag::MustScanSubDirs) && pmPathIsWithin(folder, where)) {
        m_pendingAddPaths.append(m_strMonitorFolder);
        m_bPruneQueued = true;
        follow = true;
    } else if ((pmWatchMayAddFiles(flags) || (flags & WatchFlag::Mount)) && pmPathIsWithin(where, folder)) {
        m_pendingAddPaths.append(path);
        follow = true;
    }
    if (reaction != WatchReaction::None) {
        m_bPruneQueued = true;
        follow = true;
    }
    if (!follow || m_bLibrarySyncQueued)
        return;
    m_bLibrarySyncQueued = true;
    QTimer::singleShot(0, this, [this] { pmRunUnlessHeld(this, [this] { syncLibraryWithFolder(); }); });
}

void AppDelegate::onMonitorFolder()
{
    if (m_bCheckFolder)
        pmWriteLog("AppDelegate::OnMonitorFolder() - Rentry, it is checking...");
    m_bCheckFolder = true;
    pmWriteLog("AppDelegate::OnMonitorFolder() - start");
    if (!mPlaylist.isEmpty() && !isAllMediaExist()) {
        pmWriteLog("AppDelegate::OnMonitorFolder() - Ready to VideoLibIsReady()");
        pausePlayback();
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

bool AppDelegate::pruneVanishedRecordings()
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

void AppDelegate::syncLibraryWithFolder()
{
    m_bLibrarySyncQueued = false;
    const QString folder = m_strMonitorFolder;
    if (folder.isEmpty())
        return;
    if (m_bRebuildQueued) {
        m_bRebuildQueued = false;
        m_pendingAddPaths.clear();
        m_bPruneQueued = false;
        if (QFileInfo(folder).isDir()) {
            pmWriteLogQ(
                QStringLiteral("AppDelegate::pathWatcher() - the folder is back, building the library "
                               "again - %1")
                    .arg(folder));
            buildVideoLibrary(folder);
            return;
        }
    }

    bool libraryChanged = false;
    if (m_bPruneQueued) {
        m_bPruneQueued = false;
        libraryChanged = pruneVanishedRecordings();
        // Events may have been lost on the way: a listed recording that went
        // meanwhile still gets the check.
        if (!mPlaylist.isEmpty() && !isAllMediaExist())
            onMonitorFolder();
    }

    QStringList candidates;
    candidates.swap(m_pendingAddPaths);
    candidates.removeDuplicates();
    const std::string root = pmTrimEventPath(native(folder));
    QSet<QByteArray> known;
    for (const AMediaFile& f : mVideoLib)
        known.insert(f.nativePath());
    QList<AMediaFile> added;
    auto take = [&](const std::string& path, std::optional<int64_t> mtime) {
        const QByteArray key = QByteArray::fromStdString(path);
        if (known.contains(key))
            return;
        known.insert(key);
        added.append(AMediaFile::mediaFileWithNativePath(key, mtime ? QDateTime::fromMSecsSinceEpoch(*mtime)
                                                                    : QDateTime()));
    };
    for (const QString& candidate : candidates) {
        const std::string path = pmTrimEventPath(native(candidate));
        if (!pmPathIsWithin(path, root) || hasHiddenPart(path, root))
            continue;
        struct stat st {
        };
        if (::stat(path.c_str(), &st) != 0)
            continue; // gone again already
        if (S_ISDIR(st.st_mode)) {
            LibraryScanner scanner;
            for (const ScannedRecording& r : scanner.scan(path))
                take(r.path, r.mtimeMsecs);
        } else if (S_ISREG(st.st_mode) && LibraryScanner::admit(path)) {
            take(path, int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
        }
    }
    for (const AMediaFile& f : added) {
        insertMediaToVideoLib(f, static_cast<int>(mVideoLib.size()));
        pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - new video - %1").arg(f.path()));
    }
    if (!added.isEmpty()) {
        pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - %1 new videos, library count = %2")
                        .arg(added.size())
                        .arg(mVideoLib.size()));
        libraryChanged = true;
    }
    if (libraryChanged)
        Q_EMIT videoLibIsReady(); // the calendar marks its days again
    if (!added.isEmpty())
        refreshPlaylistKeepingCurrent();
}

void AppDelegate::refreshPlaylistKeepingCurrent()
{
    const QList<AMediaFile> fresh = filteredPlaylist(sortByFileDate());
    bool same = fresh.size() == mPlaylist.size();
    for (qsizetype i = 0; same && i < fresh.size(); ++i)
        same = fresh.at(i).URL() == mPlaylist.at(i).URL();
    if (same)
        return;
    auto urlAt = [this](int index) {
        return index >= 0 && index < mPlaylist.size() ? mPlaylist.at(index).URL() : QUrl();
    };
    auto indexIn = [&fresh](const QUrl& url) {
        for (qsizetype i = 0; i < fresh.size(); ++i)
            if (fresh.at(i).URL() == url)
                return static_cast<int>(i);
        return -1;
    };
    const QUrl current = urlAt(m_nCurPlayIndex);
    const QUrl current2 = urlAt(m_nCurPlayIndex2);
    const QUrl selected = mFileList ? urlAt(mFileList->getCurSel()) : QUrl();
    const int index = current.isEmpty() ? -1 : indexIn(current);
    const int index2 = current2.isEmpty() ? -1 : indexIn(current2);
    if ((!current.isEmpty() && index < 0) || (!current2.isEmpty() && index2 < 0)) {
        rebuildPlaylist(); // what plays is no longer listed
        return;
    }
    const bool wasEmpty = mPlaylist.isEmpty();
    setPlaylist(fresh);
    if (!current.isEmpty())
        m_nCurPlayIndex = index;
    if (!current2.isEmpty())
        m_nCurPlayIndex2 = index2;
    if (mFileList) {
        std::vector<FileListRow> rows;
        rows.reserve(static_cast<std::size_t>(mPlaylist.size()));
        for (const AMediaFile& f : mPlaylist)
            rows.push_back(fileListRow(f));
        mFileList->buildFileList(std::move(rows));
        // The play mark and the selection stay on their recordings.
        if (m_nCurPlayIndex >= 0)
            mFileList->showPlayMark(m_nCurPlayIndex);
        if (!selected.isEmpty())
            mFileList->setCurSel(indexIn(selected), false);
    }
    if (m_nCurPlayIndex < 0)
        checkDualCameraFolder(); // nothing plays: the second window may come or go
    if (wasEmpty)
        enableMediaButton(!mPlaylist.isEmpty());
    pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - playlist updated, video count = %1")
                    .arg(mPlaylist.size()));
}
