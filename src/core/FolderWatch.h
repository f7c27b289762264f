#pragma once
// The folder monitor's rules that need no event loop: the event flag values,
// which events make the controller check the playlist, the trailing-slash
// rule for event paths, the list of paths to watch for a folder, the mount
// table, and the coalescing of a burst of events into one bounded batch.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

// Event flags, with the values the monitor's listener tests.
namespace WatchFlag
{
constexpr uint32_t MustScanSubDirs = 0x1; // events were lost: look at the whole tree again
constexpr uint32_t RootChanged = 0x20;    // a watched path itself was removed or renamed
constexpr uint32_t Mount = 0x40;          // a watched path that had gone is there again
constexpr uint32_t Unmount = 0x80;        // the file system holding a watched path went away
constexpr uint32_t ItemCreated = 0x100;
constexpr uint32_t ItemRemoved = 0x200;
constexpr uint32_t ItemRenamed = 0x800;
constexpr uint32_t ItemModified = 0x1000;
constexpr uint32_t ItemIsFile = 0x10000;
constexpr uint32_t ItemIsDir = 0x20000;
constexpr uint32_t ItemIsSymlink = 0x40000;
constexpr uint32_t ItemIsHardlink = 0x100000; // a further name of a file that had one
} // namespace WatchFlag

// What the controller does for an event's flags.
enum class WatchReaction {
    None,                 // only logged
    RemovedOrUnmounted,   // flags are exactly root changed or exactly unmount
    ItemRemovedOrRenamed, // flags hold the item-removed or item-renamed bit
};
WatchReaction pmWatchReaction(uint32_t flags);

// Whether the event may have brought a recording into the tree: a file closed
// after writing or moved in, a link (symbolic or hard) made, a folder created
// or moved in, or lost events (look again). A file merely created is still
// being written.
bool pmWatchMayAddFiles(uint32_t flags);

// An event path without its trailing "/" (one only); "/" and "" stay as they are.
std::string pmTrimEventPath(std::string path);

// One line of the mount table (/proc/self/mountinfo).
struct MountEntry {
    int mountId = -1;
    std::string mountPoint; // unescaped (\040 and friends decoded)
    std::string fsType;
};

// Parses the text of /proc/self/mountinfo; malformed lines are passed over.
std::vector<MountEntry> pmParseMountInfo(const std::string& text);

// The entry whose mount point holds `path` most closely (longest mount point
// that is `path` or one of its ancestors; the last such line wins, as later
// mounts cover earlier ones). `path` must be absolute and normalised.
std::optional<MountEntry> pmMountOf(const std::string& path, const std::vector<MountEntry>& table);

// The paths to watch for folder F: F itself, then the volume root when F lies
// on a removable-style volume: "/Volumes/NAME" for a folder under
// /Volumes/NAME/..., otherwise the mount point of the file system holding F
// (when given; the caller finds it, with links resolved), unless it equals F
// or is "/". A trailing "/" of F is ignored when comparing.
std::vector<std::string> pmMonitorWatchList(const std::string& folder, const std::string& mountPoint = {});

// Whether `path` is `root` or lies inside it (component-wise, so /a/bc is
// not inside /a/b).
bool pmPathIsWithin(const std::string& path, const std::string& root);

// One event as the watcher queues it before delivery.
struct PendingWatchEvent {
    std::string path;
    uint32_t flags = 0;
};

// Collects the events of one latency period. An event equal to one already
// queued (same path, same flags) is dropped, so a burst of writes to one file
// makes one event. Past `limit` distinct events the batch is given up for one
// MustScanSubDirs event per watched root: memory stays bounded whatever the
// flood, and the listener looks at the tree once instead of 100,000 times.
class WatchEventBatch
{
public:
    explicit WatchEventBatch(std::size_t limit = 8192) : m_limit(limit) {}

    // Returns true when this event started a new batch (the caller arms its
    // latency timer then).
    bool add(const std::string& path, uint32_t flags);
    // Gives up the batch for "look again" events for these roots.
    void overflow();
    bool empty() const { return m_events.empty() && !m_overflowed; }
    bool overflowed() const { return m_overflowed; }
    std::size_t size() const { return m_events.size(); }
    // The batch in arrival order (or the overflow events), and a fresh batch.
    std::vector<PendingWatchEvent> take(const std::vector<std::string>& roots);

private:
    std::size_t m_limit;
    bool m_overflowed = false;
    std::vector<PendingWatchEvent> m_events;
    std::unordered_set<std::string> m_seen; // path + '\0' + flags
};
