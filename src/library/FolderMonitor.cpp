// The log lines keep the controller's names: logs of earlier versions and the
// tools that read them know the lines by these prefixes.
#include "library/FolderMonitor.h"

#include "base/Services.h"
#include "core/FolderWatch.h"
#include "core/LibraryScan.h"
#include "core/Log.h"
#include "platform/SCEvents.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <utility>

#include <optional>

#include <sys/stat.h>

namespace
{
std::string nativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Hands the watcher's events to the monitor; owned by the watcher.
class MonitorListener : public QObject, public SCEventListenerProtocol
{
public:
    MonitorListener(FolderMonitor* monitor, QObject* parent) : QObject(parent), m_monitor(monitor) {}
    void pathWatcher(SCEvents* watcher, const SCEvent& event) override
    {
        if (m_monitor)
            m_monitor->pathWatcher(watcher, event);
    }

private:
    QPointer<FolderMonitor> m_monitor;
};

QString mountPointOf(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return QString();
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return QString();
    const auto mount = pmMountOf(nativePath(canonical), pmParseMountInfo(table.readAll().toStdString()));
    return mount ? QFile::decodeName(QByteArray::fromStdString(mount->mountPoint)) : QString();
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

FolderMonitor::FolderMonitor(QObject* parent) : QObject(parent) {}

void FolderMonitor::start(const QString& folder)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::startMonitorFolder() - %1").arg(folder));
    if (m_watcher) {
        m_watcher->stopWatchingPaths();
    } else {
        m_watcher = new SCEvents(this);
        m_watcher->setDelegate(new MonitorListener(this, m_watcher));
    }
    m_folder = folder;
    m_pendingAddPaths.clear();
    m_bPruneQueued = false;
    m_bRebuildQueued = false;

    QStringList paths;
    for (const std::string& p : pmMonitorWatchList(nativePath(folder), nativePath(mountPointOf(folder))))
        paths.append(QFile::decodeName(QByteArray::fromStdString(p)));
    if (!m_watcher->startWatchingPaths(paths))
        pmWriteLogQ(QStringLiteral("AppDelegate::startMonitorFolder() - not watching %1").arg(folder));
}

void FolderMonitor::stop()
{
    if (m_watcher)
        m_watcher->stopWatchingPaths();
}

void FolderMonitor::pathWatcher(SCEvents*, const SCEvent& event)
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
        Q_EMIT checkRequested();

    if (m_folder.isEmpty())
        return;
    const std::string folder = pmTrimEventPath(nativePath(m_folder));
    const std::string where = nativePath(path);
    bool follow = false;
    if ((flags & WatchFlag::Mount) && pmPathIsWithin(folder, where)) {
        m_bRebuildQueued = true; // the folder itself (or the volume holding it) is back
        follow = true;
    } else if ((flags & WatchFlag::MustScanSubDirs) && pmPathIsWithin(folder, where)) {
        m_pendingAddPaths.append(m_folder);
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
    if (!follow || m_bFollowUpQueued)
        return;
    m_bFollowUpQueued = true;
    QTimer::singleShot(0, this, [this] { followUp(); });
}

void FolderMonitor::followUp()
{
    m_bFollowUpQueued = false;
    const QString folder = m_folder;
    if (folder.isEmpty())
        return;
    if (m_bRebuildQueued) {
        m_bRebuildQueued = false;
        m_pendingAddPaths.clear();
        m_bPruneQueued = false;
        if (QFileInfo(folder).isDir()) {
            pmWriteLogQ(
                QStringLiteral(
                    "AppDelegate::pathWatcher() - the folder is back, building the library again - %1")
                    .arg(folder));
            Q_EMIT folderBack(folder);
            return;
        }
    }
    const bool prune = std::exchange(m_bPruneQueued, false);

    QStringList candidates;
    candidates.swap(m_pendingAddPaths);
    candidates.removeDuplicates();
    const std::string root = pmTrimEventPath(nativePath(folder));
    QList<AMediaFile> arrived;
    auto take = [&](const std::string& path, std::optional<int64_t> mtime) {
        arrived.append(AMediaFile::mediaFileWithNativePath(
            QByteArray::fromStdString(path), mtime ? QDateTime::fromMSecsSinceEpoch(*mtime) : QDateTime()));
    };
    for (const QString& candidate : candidates) {
        const std::string path = pmTrimEventPath(nativePath(candidate));
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
    Q_EMIT changed(prune, arrived);
}
