#include "platform/SCEvents.h"

#include "base/Services.h"
#include "core/Clock.h"
#include "core/Log.h"

#include <QFile>
#include <QMutexLocker>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Every folder of a watched tree: what can take a recording away or bring one.
constexpr uint32_t kTreeMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                               IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// A volume root above the watched folder: only its own fate matters.
constexpr uint32_t kSelfMask = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The mount table is looked at this often besides its change notice.
constexpr int kMountPollMs = 500;
// inotify events are read in rounds of this many bytes, at most kReadRounds
// rounds per wake-up, so a flood cannot keep the event loop from the rest.
constexpr std::size_t kReadBuffer = 64 * 1024;
constexpr int kReadRounds = 16;

std::string joinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string realPathOf(const std::string& path)
{
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf))
        return buf;
    return path;
}

// The folder a path leads to now, links resolved; empty when it leads nowhere.
std::string resolvedFolder(const std::string& path)
{
    char buf[PATH_MAX];
    if (!::realpath(path.c_str(), buf))
        return std::string();
    struct stat st {
    };
    if (::stat(buf, &st) != 0 || !S_ISDIR(st.st_mode))
        return std::string();
    return buf;
}

bool isFolder(const std::string& path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString qpath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString listText(const QStringList& list)
{
    return QStringLiteral("(") + list.join(QStringLiteral(", ")) + QStringLiteral(")");
}
} // namespace

// ---------------------------------------------------------------- SCEvent

SCEvent::SCEvent(uint64_t eventId, const QDateTime& eventDate, const QString& eventPath, uint32_t eventFlags)
    : m_eventId(eventId), m_eventDate(eventDate), m_eventPath(eventPath), m_eventFlags(eventFlags)
{
}

SCEvent SCEvent::eventWithEventId(uint64_t eventId, const QDateTime& eventDate, const QString& eventPath,
                                  uint32_t eventFlags)
{
    return SCEvent(eventId, eventDate, eventPath, eventFlags);
}

QString SCEvent::description() const
{
    return QStringLiteral("<SCEvent { eventId = %1, eventPath = %2, eventFlags = %3 } >")
        .arg(m_eventId)
        .arg(m_eventPath)
        .arg(m_eventFlags);
}

// ---------------------------------------------------------------- SCEvents

SCEvents::SCEvents(QObject* parent) : QObject(parent)
{
    m_latencyTimer = new QTimer(this);
    m_latencyTimer->setSingleShot(true);
    connect(m_latencyTimer, &QTimer::timeout, this, [this] { deliverBatch(); });
    m_mountPoll = new QTimer(this);
    m_mountPoll->setInterval(kMountPollMs);
    connect(m_mountPoll, &QTimer::timeout, this, [this] { checkMountTable(false); });
}

SCEvents::~SCEvents()
{
    m_delegate = nullptr;
    stopWatchingPaths();
}

bool SCEvents::isWatchingPaths() const
{
    QMutexLocker lock(&m_eventsLock);
    return m_isWatchingPaths;
}

bool SCEvents::startWatchingPaths(const QStringList& paths)
{
    return startWatchingPaths(paths, QThread::currentThread());
}

bool SCEvents::startWatchingPaths(const QStringList& paths, QThread* runLoop)
{
    QMutexLocker lock(&m_eventsLock);
    m_runLoop = runLoop ? runLoop : QThread::currentThread();
    if (paths.isEmpty() || m_isWatchingPaths)
        return false;
    if (m_runLoop != QThread::currentThread() || thread() != QThread::currentThread()) {
        pmWriteLog("SCEvents - events can only be read on the watcher's own thread: not watching");
        return false;
    }

    m_watchedPaths = paths;
    m_roots.clear();
    m_batch = WatchEventBatch(m_batchLimit);
    m_limitLogged = false;
    ++m_generation;

    std::vector<std::string> list;
    for (const QString& p : paths) {
        const std::string path = pmTrimEventPath(QFile::encodeName(p).toStdString());
        if (path.empty())
            continue;
        bool seen = false;
        for (const std::string& q : list)
            seen = seen || q == path;
        if (!seen)
            list.push_back(path);
    }

    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        pmWriteLogQ(QStringLiteral("SCEvents - no inotify (%1): only unmounts are noticed")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
    } else {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SCEvents::onInotifyReadable);
    }

    m_mountFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountFd >= 0) {
        // The kernel marks the table with a priority event when it changes.
        m_mountNotifier = new QSocketNotifier(m_mountFd, QSocketNotifier::Exception, this);
        connect(m_mountNotifier, &QSocketNotifier::activated, this, &SCEvents::onMountTableChanged);
    }
    m_mountText.clear();
    m_mounts.clear();
    checkMountTable(true);
    m_batch = WatchEventBatch(m_batchLimit); // the first look at the table reports nothing

    for (const std::string& path : list) {
        Root root;
        root.path = path;
        // An ancestor of another watched path is watched by itself only.
        for (const std::string& other : list)
            if (other != path && pmPathIsWithin(other, path))
                root.recursive = false;
        struct stat st {
        };
        root.present = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (const auto mount = pmMountOf(realPathOf(path), m_mounts)) {
            root.mountId = mount->mountId;
            root.mountPoint = mount->mountPoint;
        }
        m_roots.push_back(root);
    }
    for (Root& root : m_roots) {
        if (!root.present) {
            pmWriteLogQ(QStringLiteral("SCEvents - %1 is not a folder: not watched").arg(qpath(root.path)));
            continue;
        }
        armRoot(root);
    }
    m_mountPoll->start();
    m_isWatchingPaths = true;
    return true;
}

bool SCEvents::stopWatchingPaths()
{
    QMutexLocker lock(&m_eventsLock);
    if (!m_isWatchingPaths)
        return false;
    closeAll();
    m_isWatchingPaths = false;
    ++m_generation;
    return true;
}

void SCEvents::closeAll()
{
    m_latencyTimer->stop();
    m_mountPoll->stop();
    delete m_notifier;
    m_notifier = nullptr;
    delete m_mountNotifier;
    m_mountNotifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd); // drops every watch with it
    m_fd = -1;
    if (m_mountFd >= 0)
        ::close(m_mountFd);
    m_mountFd = -1;
    m_dirOf.clear();
    m_wdOf.clear();
    m_roots.clear();
    m_batch = WatchEventBatch(m_batchLimit);
}

bool SCEvents::flushEventStreamSync()
{
    QMutexLocker lock(&m_eventsLock);
    if (!m_isWatchingPaths)
        return false;
    readEvents();
    checkMountTable(false);
    m_latencyTimer->stop();
    deliverBatch();
    return true;
}

bool SCEvents::flushEventStreamAsync()
{
    QMutexLocker lock(&m_eventsLock);
    if (!m_isWatchingPaths)
        return false;
    readEvents();
    checkMountTable(false);
    if (!m_batch.empty())
        m_latencyTimer->start(0);
    return true;
}

QString SCEvents::streamDescription() const
{
    QMutexLocker lock(&m_eventsLock);
    if (!m_isWatchingPaths)
        return QString();
    return QStringLiteral("inotify descriptor %1: %2 folders watched for %3, latency %4 s, mount table "
                          "watched")
        .arg(m_fd)
        .arg(m_dirOf.size())
        .arg(listText(m_watchedPaths))
        .arg(m_notificationLatency);
}

QString SCEvents::description() const
{
    QMutexLocker lock(&m_eventsLock);
    return QStringLiteral("<SCEvents { watchedPaths = %1, excludedPaths = %2 } >")
        .arg(listText(m_watchedPaths), listText(m_excludedPaths));
}

// ---------------------------------------------------------------- watches

int SCEvents::addWatch(const std::string& dir, bool recursive, bool isRoot)
{
    if (m_fd < 0)
        return -1;
    uint32_t mask = recursive ? kTreeMask : kSelfMask;
    if (!isRoot)
        mask |= IN_DONT_FOLLOW; // a link inside the tree is not followed out of it
    const int wd = ::inotify_add_watch(m_fd, dir.c_str(), mask);
    if (wd < 0) {
        const int error = errno;
        logWatchFailure(dir, error);
        errno = error; // the caller tells the watch limit from the rest
        return -1;
    }
    m_dirOf[wd] = dir;
    m_wdOf[dir] = wd;
    return wd;
}

int SCEvents::addTree(const std::string& top, bool topIsRoot)
{
    // Depth first without recursion: a tree of any depth costs no stack.
    std::vector<std::string> pending{top};
    int topWatch = -1;
    bool first = true;
    while (!pending.empty()) {
        std::string dir = std::move(pending.back());
        pending.pop_back();
        const int wd = addWatch(dir, true, first && topIsRoot);
        if (first)
            topWatch = wd;
        first = false;
        if (wd < 0) {
            if (errno == ENOSPC)
                return topWatch; // the watch limit: nothing more will fit
            continue;
        }
        DIR* d = ::opendir(dir.c_str());
        if (!d)
            continue;
        while (dirent* e = ::readdir(d)) {
            // Hidden entries never hold library recordings.
            if (e->d_name[0] == '.')
                continue;
            const std::string child = joinPath(dir, e->d_name);
            bool folder = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st {
                };
                folder = ::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            }
            if (folder)
                pending.push_back(child);
        }
        ::closedir(d);
    }
    return topWatch;
}

void SCEvents::removeWatchesWithin(const std::string& path)
{
    auto it = m_wdOf.lower_bound(path);
    while (it != m_wdOf.end() && it->first.compare(0, path.size(), path) == 0) {
        if (!pmPathIsWithin(it->first, path)) {
            ++it;
            continue;
        }
        if (m_fd >= 0)
            ::inotify_rm_watch(m_fd, it->second);
        m_dirOf.erase(it->second);
        it = m_wdOf.erase(it);
    }
}

SCEvents::Root* SCEvents::rootOfWatch(int wd)
{
    for (Root& root : m_roots)
        if (root.wd == wd)
            return &root;
    return nullptr;
}

void SCEvents::armRoot(Root& root)
{
    root.present = true;
    root.goneByUnmount = false;
    root.mountsWhenGone.clear();
    root.realPath = resolvedFolder(root.path);
    if (const auto mount = pmMountOf(realPathOf(root.path), m_mounts)) {
        root.mountId = mount->mountId;
        root.mountPoint = mount->mountPoint;
    }
    root.wd = root.recursive ? addTree(root.path, true) : addWatch(root.path, false, true);
}

void SCEvents::rootGone(Root& root, bool byUnmount)
{
    root.present = false;
    root.goneByUnmount = byUnmount;
    root.mountsWhenGone.clear();
    for (const MountEntry& e : m_mounts)
        root.mountsWhenGone.insert(e.mountId);
    if (root.recursive) {
        removeWatchesWithin(root.path);
    } else if (root.wd >= 0) {
        if (m_fd >= 0)
            ::inotify_rm_watch(m_fd, root.wd);
        m_dirOf.erase(root.wd);
        m_wdOf.erase(root.path);
    }
    root.wd = -1;
}

void SCEvents::logWatchFailure(const std::string& dir, int error)
{
    if (m_limitLogged)
        return; // one line per start, however many folders fail
    m_limitLogged = true;
    if (error == ENOSPC)
        pmWriteLogQ(QStringLiteral("SCEvents - inotify watch limit reached at %1 "
                                   "(/proc/sys/fs/inotify/max_user_watches): the rest of the tree is "
                                   "not watched")
                        .arg(qpath(dir)));
    else
        pmWriteLogQ(QStringLiteral("SCEvents - cannot watch %1 (%2): changes there are not noticed")
                        .arg(qpath(dir), QString::fromLocal8Bit(std::strerror(error))));
}

bool SCEvents::excluded(const std::string& path) const
{
    for (const QString& e : m_excludedPaths) {
        const std::string ex = pmTrimEventPath(QFile::encodeName(e).toStdString());
        if (ex.empty())
            continue;
        if (path == ex)
            return true;
        if (m_ignoreEventsFromSubDirs && pmPathIsWithin(path, ex))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------- events

void SCEvents::onInotifyReadable()
{
    readEvents();
}

void SCEvents::readEvents()
{
    if (m_fd < 0)
        return;
    alignas(inotify_event) static char buffer[kReadBuffer];
    for (int round = 0; round < kReadRounds; ++round) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            return; // EAGAIN: drained
        std::size_t offset = 0;
        while (offset + sizeof(inotify_event) <= static_cast<std::size_t>(n)) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + offset);
            const std::size_t size = sizeof(inotify_event) + ev->len;
            if (offset + size > static_cast<std::size_t>(n))
                break;
            const std::string name =
                ev->len ? std::string(ev->name, ::strnlen(ev->name, ev->len)) : std::string();
            handleEvent(ev->wd, ev->mask, name);
            offset += size;
        }
    }
}

void SCEvents::handleEvent(int wd, uint32_t mask, const std::string& name)
{
    if (mask & IN_Q_OVERFLOW) {
        if (m_batch.empty())
            m_latencyTimer->start(static_cast<int>(m_notificationLatency * 1000));
        m_batch.overflow();
        return;
    }
    const auto it = m_dirOf.find(wd);
    if (it == m_dirOf.end())
        return; // a watch already dropped
    const std::string dir = it->second;
    const std::string path = name.empty() ? dir : joinPath(dir, name);
    const bool isDir = mask & IN_ISDIR;
    const uint32_t kind = isDir ? WatchFlag::ItemIsDir : WatchFlag::ItemIsFile;

    if (mask & IN_IGNORED) {
        m_dirOf.erase(wd);
        const auto back = m_wdOf.find(dir);
        if (back != m_wdOf.end() && back->second == wd)
            m_wdOf.erase(back);
        if (Root* root = rootOfWatch(wd))
            root->wd = -1;
        return;
    }
    if (mask & IN_UNMOUNT) {
        // The table says which mount went; it reports each mount once.
        const std::size_t before = m_batch.size();
        const bool wasEmpty = m_batch.empty();
        checkMountTable(true);
        if (m_batch.size() == before && wasEmpty == m_batch.empty()) {
            for (Root& root : m_roots) {
                if (root.present && pmPathIsWithin(dir, root.path)) {
                    queueEvent(root.path, WatchFlag::Unmount);
                    rootGone(root, true);
                    break;
                }
            }
        }
        return;
    }
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        Root* root = rootOfWatch(wd);
        if (root && root->present) {
            queueEvent(root->path, WatchFlag::RootChanged);
            rootGone(*root, false);
        }
        return; // a folder inside the tree: its parent reports it
    }
    if (mask & IN_DELETE) {
        queueEvent(path, WatchFlag::ItemRemoved | kind);
        if (isDir)
            removeWatchesWithin(path);
    } else if (mask & IN_MOVED_FROM) {
        queueEvent(path, WatchFlag::ItemRenamed | kind);
        if (isDir)
            removeWatchesWithin(path);
    } else if (mask & IN_MOVED_TO) {
        queueEvent(path, WatchFlag::ItemRenamed | kind);
        if (isDir && !name.empty() && name[0] != '.')
            addTree(path);
    } else if (mask & IN_CREATE) {
        if (isDir && !name.empty() && name[0] != '.') {
            queueEvent(path, WatchFlag::ItemCreated | WatchFlag::ItemIsDir);
            addTree(path);
        } else if (!isDir) {
            // A new file is reported when it is closed after writing. A link
            // arrives whole and is never written through this name: a
            // symbolic link, or a hard link (a second name of a file that
            // already has one), is reported as it is made.
            struct stat st {
            };
            if (::lstat(path.c_str(), &st) == 0) {
                if (S_ISLNK(st.st_mode))
                    queueEvent(path, WatchFlag::ItemCreated | WatchFlag::ItemIsSymlink);
                else if (S_ISREG(st.st_mode) && st.st_nlink > 1)
                    queueEvent(path,
                               WatchFlag::ItemCreated | WatchFlag::ItemIsFile | WatchFlag::ItemIsHardlink);
            }
        }
    } else if (mask & IN_CLOSE_WRITE) {
        queueEvent(path, WatchFlag::ItemModified | WatchFlag::ItemIsFile);
    }
}

void SCEvents::onMountTableChanged()
{
    checkMountTable(false);
}

void SCEvents::checkMountTable(bool force)
{
    readMountTable(force);
    checkRoots();
}

void SCEvents::readMountTable(bool force)
{
    if (m_mountFd < 0)
        return;
    std::string text;
    if (::lseek(m_mountFd, 0, SEEK_SET) == 0) {
        char buf[16384];
        // A table can be long on a busy machine, but not endless.
        while (text.size() < (16u << 20)) {
            const ssize_t n = ::read(m_mountFd, buf, sizeof buf);
            if (n <= 0)
                break;
            text.append(buf, static_cast<std::size_t>(n));
        }
    }
    if (force || text != m_mountText) {
        m_mountText = text;
        applyMountTable(pmParseMountInfo(text));
    }
}

// Looked at with the mount table (its change notices and the poll):
// - a watched path that now leads to another folder than the one watched (a
//   link re-pointed, the folder replaced, a link removed) has changed as if
//   removed: inotify follows the folder it was given, not the name;
// - a watched path that went is back when it leads to a folder again. After
//   a removal or rename any folder there is taken (made again, copied back,
//   a link put in its place); after an unmount only one on a mount that did
//   not exist when it went (the card put in again), as the bare mount point
//   left behind is not the card.
// A path that is back is watched again and reported as a mount, which makes
// the listener look at it afresh.
void SCEvents::checkRoots()
{
    for (Root& root : m_roots) {
        if (!root.present || root.realPath.empty())
            continue;
        if (resolvedFolder(root.path) == root.realPath)
            continue;
        // The path may have gone with its file system a moment ago: the
        // table, read again after the look, tells an unmount from a removal.
        readMountTable(false);
        if (!root.present)
            continue;
        queueEvent(root.path, WatchFlag::RootChanged);
        rootGone(root, false);
    }
    for (Root& root : m_roots) {
        if (root.present || !isFolder(root.path))
            continue;
        if (root.goneByUnmount) {
            const auto mount = pmMountOf(realPathOf(root.path), m_mounts);
            if (!mount || root.mountsWhenGone.count(mount->mountId))
                continue;
        }
        armRoot(root);
        queueEvent(root.path, WatchFlag::Mount);
    }
}

void SCEvents::applyMountTable(std::vector<MountEntry> table)
{
    std::set<int> before;
    for (const MountEntry& e : m_mounts)
        before.insert(e.mountId);
    std::set<int> now;
    for (const MountEntry& e : table)
        now.insert(e.mountId);
    const std::vector<MountEntry> old = std::move(m_mounts);
    m_mounts = std::move(table);
    if (old.empty())
        return; // the first look: nothing came or went

    for (const MountEntry& gone : old) {
        if (now.count(gone.mountId))
            continue;
        bool held = false;
        for (Root& root : m_roots) {
            if (root.present && root.mountId == gone.mountId) {
                queueEvent(root.path, WatchFlag::Unmount);
                rootGone(root, true);
                held = true;
            }
        }
        if (held)
            continue;
        for (const Root& root : m_roots) {
            if (root.present && root.recursive && gone.mountPoint != root.path &&
                pmPathIsWithin(gone.mountPoint, root.path)) {
                queueEvent(gone.mountPoint, WatchFlag::Unmount);
                removeWatchesWithin(gone.mountPoint);
                break;
            }
        }
    }
    for (const MountEntry& added : m_mounts) {
        if (before.count(added.mountId))
            continue;
        for (const Root& root : m_roots) {
            if (root.present && root.recursive && added.mountPoint != root.path &&
                pmPathIsWithin(added.mountPoint, root.path) && isFolder(added.mountPoint)) {
                queueEvent(added.mountPoint, WatchFlag::Mount | WatchFlag::ItemIsDir);
                addTree(added.mountPoint);
                break;
            }
        }
    }
}

void SCEvents::queueEvent(const std::string& path, uint32_t flags)
{
    if (m_batch.add(path, flags))
        m_latencyTimer->start(static_cast<int>(m_notificationLatency * 1000));
}

void SCEvents::deliverBatch()
{
    if (!m_isWatchingPaths) {
        m_batch = WatchEventBatch(m_batchLimit);
        return;
    }
    std::vector<std::string> roots;
    for (const Root& root : m_roots)
        roots.push_back(root.path);
    const std::vector<PendingWatchEvent> events = m_batch.take(roots);
    const uint64_t generation = m_generation;
    QPointer<SCEvents> self(this);
    const QDateTime delivered = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(pmNow().time_since_epoch()).count());
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::string path = pmTrimEventPath(events[i].path);
        if (excluded(path))
            continue;
        const SCEvent event(m_nextEventId++, delivered, qpath(path), events[i].flags);
        if (m_delegate)
            m_delegate->pathWatcher(this, event);
        if (!self)
            return;
        if (i + 1 == events.size())
            m_lastEvent = event;
        if (generation != m_generation)
            return; // the listener stopped or restarted the watch
    }
}
