#pragma once
// The file-system event watcher of the folder monitor, on Linux inotify and
// the mount table.
//
// Design notes
// - inotify watches one folder at a time, so a watched path is covered by a
//   watch on every folder of its tree, and folders created or moved in later
//   get theirs as they appear. A path that is an ancestor of another watched
//   path (the volume root) is watched by itself only: what happens inside it
//   matters only where the other path lies.
// - The descriptor is read from the event loop (QSocketNotifier); events are
//   turned into the flag values of core/FolderWatch.h and collected for the
//   notification latency (1 s by default), then delivered in order, one call
//   of the listener per event. Repeated events (same path, same flags) within
//   one latency period are delivered once, and a flood beyond the batch limit
//   (or a kernel queue overflow) becomes one MustScanSubDirs event per
//   watched path.
// - inotify watches the folder a path led to when the watch was made, not
//   the name: a watched path that is removed, replaced, or is a link that is
//   re-pointed or removed is seen by looking at where the path leads (with
//   the mount table, below). Such a path is reported as a root change; when
//   it leads to a folder again it is watched anew and reported as a mount.
// - A new file is reported once it is closed after writing; a link (symbolic
//   or hard) is complete when it appears and is reported at once.
// - inotify reports an unmount only when the file system really goes. A lazy
//   unmount (umount -l) of a card whose recording is still open in a player
//   leaves it alive but out of reach, so the mount table is watched too: a
//   mount that held a watched path, or lay inside one, disappearing is an
//   unmount; the same place mounted again is a mount.
// - Failures to watch (no inotify on the file system, the watch limit, a
//   vanished folder) are logged once per start and leave the rest watched.
//
// Must run on the main thread (the thread whose event loop reads the
// descriptor). The lock serialises start, stop, flush and the descriptions;
// delivering events does not take it.
#include "core/FolderWatch.h"

#include <QDateTime>
#include <QObject>
#include <QRecursiveMutex>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QSocketNotifier;
class QThread;
class QTimer;
class SCEvents;

// One file-system event.
class SCEvent
{
public:
    SCEvent() = default;
    SCEvent(uint64_t eventId, const QDateTime& eventDate, const QString& eventPath, uint32_t eventFlags);
    static SCEvent eventWithEventId(uint64_t eventId, const QDateTime& eventDate, const QString& eventPath,
                                    uint32_t eventFlags);

    uint64_t eventId() const { return m_eventId; }
    // When the watcher delivered the event (not when the change happened).
    QDateTime eventDate() const { return m_eventDate; }
    QString eventPath() const { return m_eventPath; }
    uint32_t eventFlags() const { return m_eventFlags; }
    // "<SCEvent { eventId = 1, eventPath = /a, eventFlags = 512 } >"
    QString description() const;

private:
    uint64_t m_eventId = 0;
    QDateTime m_eventDate;
    QString m_eventPath;
    uint32_t m_eventFlags = 0;
};

class SCEventListenerProtocol
{
public:
    virtual ~SCEventListenerProtocol() = default;
    virtual void pathWatcher(SCEvents* watcher, const SCEvent& event) = 0;
};

class SCEvents : public QObject
{
    Q_OBJECT
public:
    explicit SCEvents(QObject* parent = nullptr);
    // Clears the delegate and stops watching first.
    ~SCEvents() override;

    SCEventListenerProtocol* delegate() const { return m_delegate; }
    void setDelegate(SCEventListenerProtocol* delegate) { m_delegate = delegate; }

    bool isWatchingPaths() const;
    QStringList watchedPaths() const { return m_watchedPaths; }
    QStringList excludedPaths() const { return m_excludedPaths; }
    // Events under an excluded path are not delivered (and, unless
    // ignoreEventsFromSubDirs is off, nor are those of its sub-folders).
    void setExcludedPaths(const QStringList& paths) { m_excludedPaths = paths; }
    double notificationLatency() const { return m_notificationLatency; }
    void setNotificationLatency(double seconds) { m_notificationLatency = seconds; }
    // Kept for callers; inotify cannot replay past events, so watching always
    // starts from now.
    uint64_t resumeFromEventId() const { return m_resumeFromEventId; }
    void setResumeFromEventId(uint64_t id) { m_resumeFromEventId = id; }
    bool ignoreEventsFromSubDirs() const { return m_ignoreEventsFromSubDirs; }
    void setIgnoreEventsFromSubDirs(bool ignore) { m_ignoreEventsFromSubDirs = ignore; }
    // The last event of the most recent batch.
    std::optional<SCEvent> lastEvent() const { return m_lastEvent; }
    // Most distinct events one latency period collects before it gives up for
    // MustScanSubDirs events.
    void setBatchLimit(std::size_t limit)
    {
        m_batchLimit = limit;
        m_batch = WatchEventBatch(limit);
    }

    // False when the list is empty or the watcher already watches.
    bool startWatchingPaths(const QStringList& paths);
    // The run loop is the thread whose event loop reads the events; it must
    // be the calling thread (null means the calling thread).
    bool startWatchingPaths(const QStringList& paths, QThread* runLoop);
    // False when not watching.
    bool stopWatchingPaths();
    // Deliver what is pending now: before returning, or from the event loop.
    // False when not watching.
    bool flushEventStreamSync();
    bool flushEventStreamAsync();

    // The stream's own text; null when not watching.
    QString streamDescription() const;
    // "<SCEvents { watchedPaths = (...), excludedPaths = (...) } >"
    QString description() const;

    QRecursiveMutex& eventsLock() const { return m_eventsLock; }

    // Folders under inotify watch right now.
    int watchCount() const { return static_cast<int>(m_dirOf.size()); }

private:
    struct Root {
        std::string path;
        bool recursive = true;
        bool present = true;
        int wd = -1;
        std::string realPath;         // the folder the path led to when it was armed
        int mountId = -1;             // the mount holding the path when it was last present
        std::string mountPoint;       // ... and where that mount sits
        bool goneByUnmount = false;   // it went with its file system, not by a removal
        std::set<int> mountsWhenGone; // the mounts there were when it went
    };

    void onInotifyReadable();
    void readEvents();
    void handleEvent(int wd, uint32_t mask, const std::string& name);
    void onMountTableChanged();
    void checkMountTable(bool force);
    void readMountTable(bool force);
    void applyMountTable(std::vector<MountEntry> table);
    void queueEvent(const std::string& path, uint32_t flags);
    void deliverBatch();
    int addWatch(const std::string& dir, bool recursive, bool isRoot);
    // Watches a folder and every folder below it; the top folder's watch.
    int addTree(const std::string& top, bool topIsRoot = false);
    void removeWatchesWithin(const std::string& path);
    Root* rootOfWatch(int wd);
    void rootGone(Root& root, bool byUnmount);
    void armRoot(Root& root);
    void checkRoots();
    void logWatchFailure(const std::string& dir, int error);
    bool excluded(const std::string& path) const;
    void closeAll();

    SCEventListenerProtocol* m_delegate = nullptr;
    QStringList m_watchedPaths;
    QStringList m_excludedPaths;
    double m_notificationLatency = 1.0;
    uint64_t m_resumeFromEventId = ~uint64_t(0);
    bool m_ignoreEventsFromSubDirs = true;
    std::optional<SCEvent> m_lastEvent;
    mutable QRecursiveMutex m_eventsLock;
    bool m_isWatchingPaths = false;
    QThread* m_runLoop = nullptr;

    int m_fd = -1;
    int m_mountFd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QSocketNotifier* m_mountNotifier = nullptr;
    QTimer* m_latencyTimer = nullptr;
    QTimer* m_mountPoll = nullptr;
    std::string m_mountText;
    std::vector<MountEntry> m_mounts;
    std::vector<Root> m_roots;
    std::map<int, std::string> m_dirOf; // watch descriptor -> folder
    std::map<std::string, int> m_wdOf;  // folder -> watch descriptor
    std::size_t m_batchLimit = 8192;
    WatchEventBatch m_batch;
    uint64_t m_nextEventId = 1;
    uint64_t m_generation = 0; // changes at every start and stop
    bool m_limitLogged = false;
};
