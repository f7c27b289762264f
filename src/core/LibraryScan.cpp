#include "core/LibraryScan.h"

#include "core/CameraClock.h"
#include "core/CameraFamilies.h"
#include "core/ContainerProbe.h"
#include "core/FileRules.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <numeric>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace
{

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

// The folder's visible entries in the order the file system lists them, with
// the kind the listing reports for each (DT_UNKNOWN where the file system does
// not say). A folder that cannot be listed (or fails part way) contributes
// nothing.
std::vector<std::string> listFolder(const std::string& folder, std::vector<unsigned char>& kinds,
                                    bool& complete)
{
    std::vector<std::string> names;
    kinds.clear();
    complete = false;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) {
                names.clear();
                kinds.clear();
            } else {
                complete = true;
            }
            break;
        }
        if (entry->d_name[0] == '.')
            continue;
        names.emplace_back(entry->d_name);
        kinds.push_back(entry->d_type);
    }
    ::closedir(dir);
    return names;
}

// Whether the file system of this device is mounted as devtmpfs, from the
// mount table ("ID PARENT MAJOR:MINOR ROOT MOUNTPOINT OPTIONS ... - TYPE ...").
// The table is read only when a walk crosses onto a tmpfs, and at most 4 MiB
// of it: a table that large holds no card.
bool isDeviceTmpfs(dev_t device)
{
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    std::string table;
    char buffer[65536];
    while (table.size() < (4u << 20)) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        table.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::size_t start = 0;
    while (start < table.size()) {
        std::size_t end = table.find('\n', start);
        if (end == std::string::npos)
            end = table.size();
        const std::string line = table.substr(start, end - start);
        start = end + 1;
        // The third field is the device; the type follows the " - " separator.
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
        const std::size_t third = second == std::string::npos ? second : line.find(' ', second + 1);
        if (third == std::string::npos || line.compare(second + 1, third - second - 1, wanted) != 0)
            continue;
        const std::size_t dash = line.find(" - ");
        if (dash != std::string::npos && line.compare(dash + 3, 9, "devtmpfs ") == 0)
            return true;
    }
    return false;
}

// Kernel and virtual file systems: a link to "/" or to one of them must not
// walk the process table or the device tree (hundreds of thousands of
// entries, some slow to read, none a recording). Known by their statfs magic
// numbers. devtmpfs reports tmpfs's number, so for that number the mount
// table tells the device tree (/dev) from a card in memory.
bool isPseudoFileSystem(const std::string& folder, dev_t device)
{
    struct statfs fs {
    };
    if (::statfs(folder.c_str(), &fs) != 0)
        return false;
    if (static_cast<unsigned long>(fs.f_type) == 0x01021994UL) // tmpfs or devtmpfs
        return isDeviceTmpfs(device);
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x9fa0UL:     // proc
    case 0x62656572UL: // sysfs
    case 0x1cd1UL:     // devpts
    case 0x27e0ebUL:   // cgroup
    case 0x63677270UL: // cgroup2
    case 0x64626720UL: // debugfs
    case 0x74726163UL: // tracefs
    case 0x73636673UL: // securityfs
    case 0x6165676cUL: // pstore
    case 0xcafe4a11UL: // bpf
    case 0x62656570UL: // configfs
    case 0x65735543UL: // fusectl
    case 0x19800202UL: // mqueue
    case 0x958458f6UL: // hugetlbfs
    case 0x0187UL:     // autofs (entering may trigger a mount)
    case 0x42494e4dUL: // binfmt_misc
    case 0xde5e81e4UL: // efivarfs
    case 0xf97cff8cUL: // selinuxfs
    case 0x43415d53UL: // smackfs
    case 0x6e736673UL: // nsfs
    case 0x7655821UL:  // resctrl
    case 0x67596969UL: // rpc_pipefs
    case 0x6e667364UL: // nfsd
        return true;
    default:
        return false;
    }
}

bool isCandidate(const std::string& path)
{
    const MediaContainerKind kind = pmGetMediaType(path);
    return kind == kMediaAvi || kind == kMediaMov || kind == kMediaMp4;
}

// A folder of the walk held open, so its files are opened by name relative to
// it. The count of open folders is bounded: past it (a very deep or very wide
// walk) files are opened by their whole path instead.
struct OpenFolder {
    int fd = -1;
    std::atomic<int>* count = nullptr;
    OpenFolder(const std::string& path, std::atomic<int>& open) : count(&open)
    {
        fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0)
            count->fetch_add(1);
    }
    ~OpenFolder()
    {
        if (fd >= 0) {
            ::close(fd);
            count->fetch_sub(1);
        }
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
};
constexpr int kMaxOpenFolders = 64;

// Probes the candidate files of a scan while the walk goes on: the walk hands
// in paths in scan order, a few threads (as many as the machine runs at once,
// the calling thread among them) probe them, and each result lands in the
// slot of its path, so the order never depends on which thread was quicker.
// Helpers start only once a scan has enough candidates to share.
class ProbePool
{
public:
    struct Slot {
        std::string path;
        std::shared_ptr<const OpenFolder> folder; // the folder that holds it, while open
        RecordingProbe probe;
    };

    explicit ProbePool(unsigned helpers) : m_helpers(helpers) {}
    ~ProbePool() { finish(); }
    ProbePool(const ProbePool&) = delete;
    ProbePool& operator=(const ProbePool&) = delete;

    // Queues a candidate; it is handed to the helpers with the next flush.
    void add(std::string path, std::shared_ptr<const OpenFolder> folder)
    {
        m_batch.push_back(Slot{std::move(path), std::move(folder), RecordingProbe{}});
        if (m_batch.size() >= kBatch)
            flush();
    }

    // Hands the queued candidates over at once: one lock and one wake-up per
    // batch rather than per file.
    void flush()
    {
        if (m_batch.empty())
            return;
        std::size_t queued = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (Slot& slot : m_batch)
                m_slots.push_back(std::move(slot));
            queued = m_slots.size();
        }
        m_batch.clear();
        if (m_threads.empty() && m_helpers > 0 && queued >= kShareFrom)
            startHelpers();
        m_wake.notify_all();
    }

    // Probes what is left on the calling thread too, then waits for the
    // helpers; `tick` runs on the calling thread between its probes.
    std::deque<Slot>& finish(const std::function<void()>& tick = {})
    {
        flush();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closed = true;
        }
        m_wake.notify_all();
        while (Slot* slot = take()) {
            probe(*slot);
            if (tick)
                tick();
        }
        for (std::thread& t : m_threads)
            t.join();
        m_threads.clear();
        return m_slots;
    }

private:
    static constexpr std::size_t kShareFrom = 16;
    static constexpr std::size_t kBatch = 32;

    void startHelpers()
    {
        for (unsigned i = 0; i < m_helpers; ++i) {
            try {
                m_threads.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break; // fewer helpers; the calling thread probes what they leave
            }
        }
    }

    static void probe(Slot& slot)
    {
        slot.probe = pmProbeRecording(slot.path, slot.folder ? slot.folder->fd : -1);
        slot.folder.reset(); // the folder closes once its last candidate is probed
    }

    // The next slot nobody probes yet, or null once the walk has ended and
    // every slot is taken. Slots live in a deque: adding one never moves
    // another, so a pointer taken here stays good while the walk goes on.
    Slot* take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_next < m_slots.size() ? &m_slots[m_next++] : nullptr;
    }

    void work()
    {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_closed || m_next < m_slots.size(); });
                if (m_next >= m_slots.size())
                    return; // closed and nothing left
                slot = &m_slots[m_next++];
            }
            probe(*slot);
        }
    }

    unsigned m_helpers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Slot> m_slots;
    std::size_t m_next = 0;
    bool m_closed = false;
    std::vector<std::thread> m_threads;
    std::vector<Slot> m_batch; // the walk's candidates not handed over yet (walk thread only)
};

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::vector<ScannedRecording> LibraryScanner::scan(const std::string& folder)
{
    std::vector<ScannedRecording> found;
    m_nCurFolderLevel = 0;

    struct stat rootStat {
    };
    if (folder.empty() || ::stat(folder.c_str(), &rootStat) != 0 || !S_ISDIR(rootStat.st_mode))
        return found;

    // A caller that watches each file gets them one at a time: each is probed
    // after the callback for the one before has returned. Otherwise the probes
    // run on the pool while the walk goes on.
    const bool oneByOne = bool(onFileOffered);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    // Declared before the pool: folders still open in its slots count here.
    std::atomic<int> openFolders{0};
    ProbePool pool(oneByOne ? 0 : std::min(threads, kMaxProbeThreads) - 1);

    // One frame per folder being walked: its listing and the next entry to
    // look at. The top frame is the deepest folder, so pushing a sub-folder
    // and continuing with it gives the same depth-first order as recursion,
    // without letting a deep tree exhaust the call stack. Listings are read
    // whole on entry, so at most one directory stream is open at a time.
    struct Frame {
        std::string path;
        std::vector<std::string> names;
        std::vector<unsigned char> kinds;
        std::size_t next = 0;
        dev_t device = 0;
        std::shared_ptr<const OpenFolder> open; // null when too many are open
    };
    std::vector<Frame> stack;
    // Real folders already entered: a symlink back to an ancestor (or a
    // second link to the same folder) is walked only once.
    std::set<std::pair<dev_t, ino_t>> visited;

    auto enterFolder = [&](const std::string& path, const struct stat& st) {
        // Only a folder on another device than its parent can start a
        // different file system; asking there keeps the walk at one call per entry.
        const bool crossesDevice = stack.empty() || stack.back().device != st.st_dev;
        if (crossesDevice && isPseudoFileSystem(path, st.st_dev))
            return;
        if (!visited.insert({st.st_dev, st.st_ino}).second)
            return;
        ++m_nCurFolderLevel;
        bool complete = false;
        Frame frame{path, {}, {}, 0, st.st_dev, nullptr};
        frame.names = listFolder(path, frame.kinds, complete);
        if (!oneByOne && !frame.names.empty() && openFolders.load() < kMaxOpenFolders) {
            auto folderOpen = std::make_shared<const OpenFolder>(path, openFolders);
            if (folderOpen->fd >= 0)
                frame.open = std::move(folderOpen);
        }
        stack.push_back(std::move(frame));
        if (complete && onFolderListed)
            onFolderListed(path, stack.back().names);
        if (onProgress)
            onProgress();
    };

    enterFolder(folder, rootStat);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.names.size()) {
            stack.pop_back();
            --m_nCurFolderLevel;
            pool.flush();
            continue;
        }
        const unsigned char kind = top.kinds[top.next];
        const std::string& name = top.names[top.next++];
        // A plain file whose name is of no known container kind is never
        // taken: a watcher still hears of it, everyone else passes it by.
        if (kind == DT_REG && !oneByOne && !isCandidate(name))
            continue;
        const std::string path = joinPath(top.path, name);
        // A plain file the listing names needs no stat: a name of no known
        // container kind is never taken, and a candidate's probe opens it
        // anyway (a file removed since the listing then fails to open).
        // Folders, links and entries of unknown kind are asked, following
        // links, like asking whether something exists there; a broken link
        // or an entry removed since the listing is passed over.
        if (kind != DT_REG) {
            struct stat st {
            };
            if (::stat(path.c_str(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                pool.flush(); // the files listed before the sub-folder can be probed meanwhile
                enterFolder(path, st);
                continue;
            }
        }
        if (oneByOne) {
            const RecordingProbe probe = isCandidate(path) ? pmProbeRecording(path) : RecordingProbe{};
            if (probe.tooShort)
                pmLogTooShortRecording(path);
            onFileOffered(path, probe.ready);
            if (probe.ready)
                found.push_back(ScannedRecording{path, probe.mtimeMsecs, probe.codec});
        } else if (isCandidate(path)) {
            pool.add(path, top.open);
        }
    }
    m_nCurFolderLevel = 0;

    if (!oneByOne) {
        std::size_t probed = 0;
        for (ProbePool::Slot& slot : pool.finish([&] {
                 if (onProgress && ++probed % 64 == 0)
                     onProgress();
             })) {
            // The log lines come in scan order, from the calling thread.
            if (slot.probe.tooShort)
                pmLogTooShortRecording(slot.path);
            if (slot.probe.ready)
                found.push_back(
                    ScannedRecording{std::move(slot.path), slot.probe.mtimeMsecs, slot.probe.codec});
        }
    }
    return found;
}

bool LibraryScanner::admit(const std::string& path)
{
    const RecordingProbe probe = pmProbeRecording(path);
    if (probe.tooShort)
        pmLogTooShortRecording(path);
    return probe.ready;
}

namespace
{

// The sort key as a view into the name: the 14 characters from position 4 of
// names of 19 characters or more, the whole name otherwise.
std::string_view fileDateKey(std::string_view name)
{
    std::size_t starts[19];
    std::size_t count = 0;
    for (std::size_t i = 0; i < name.size() && count < 19; ++i) {
        if (i == 0 || !isContinuationByte(name[i]))
            starts[count++] = i;
    }
    if (count < 19)
        return name;
    return name.substr(starts[4], starts[18] - starts[4]);
}

bool lessByKeyThenName(std::string_view keyA, std::string_view nameA, std::string_view keyB,
                       std::string_view nameB)
{
    if (keyA != keyB)
        return keyA < keyB;
    // Same second: the full name that sorts last comes first.
    return nameB < nameA;
}

} // namespace

std::string pmFileDateSortKey(const std::string& name)
{
    std::string familyKey = pmFamilySortKey(name);
    return familyKey.empty() ? std::string(fileDateKey(name)) : familyKey;
}

bool pmLessByFileDate(const std::string& nameA, const std::string& nameB)
{
    const std::string familyA = pmFamilySortKey(nameA);
    const std::string familyB = pmFamilySortKey(nameB);
    return lessByKeyThenName(familyA.empty() ? fileDateKey(nameA) : std::string_view(familyA), nameA,
                             familyB.empty() ? fileDateKey(nameB) : std::string_view(familyB), nameB);
}

std::vector<std::size_t> pmSortByFileDate(const std::vector<std::string>& paths)
{
    // Keys are computed once per entry, not once per comparison.
    std::vector<std::string_view> names;
    std::vector<std::string_view> keys;
    names.reserve(paths.size());
    keys.reserve(paths.size());
    // Other families' names get their time as a key of our names' layout;
    // those keys live here, reserved whole so the views stay put.
    std::vector<std::string> familyKeys;
    familyKeys.reserve(paths.size());
    for (const std::string& path : paths) {
        const std::size_t slash = path.find_last_of('/');
        names.push_back(std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1));
        std::string familyKey = pmFamilySortKey(names.back());
        if (familyKey.empty()) {
            keys.push_back(fileDateKey(names.back()));
        } else {
            familyKeys.push_back(std::move(familyKey));
            keys.push_back(familyKeys.back());
        }
    }
    std::vector<std::size_t> order(paths.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return lessByKeyThenName(keys[a], names[a], keys[b], names[b]);
    });
    return order;
}

std::optional<std::size_t> pmNewestExistingRecording(const std::vector<std::string>& paths,
                                                     const std::function<bool(const std::string&)>& exists)
{
    const std::vector<std::size_t> order = pmSortByFileDate(paths);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const std::string& path = paths[*it];
        if (exists ? exists(path) : pmIsFileExist(path))
            return *it;
    }
    return std::nullopt;
}

std::optional<LocalDay> pmLocalDayOf(int64_t msecs)
{
    // Floor division, so an instant just before the epoch stays on its day.
    int64_t seconds = msecs / 1000;
    if (msecs % 1000 < 0)
        --seconds;
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!::localtime_r(&when, &parts))
        return std::nullopt;
    const long year = long(parts.tm_year) + 1900;
    if (year < 0 || year > 65535)
        return std::nullopt;
    return LocalDay{uint16_t(year), uint16_t(parts.tm_mon + 1), uint16_t(parts.tm_mday)};
}

std::optional<int64_t> pmNameTimeMsecs(const std::string& path)
{
    _SYSTEMTIME stamp;
    if (!pmGetFileDateTime(path, stamp) || !pmIsRealDateTime(stamp))
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = int(stamp.wYear) - 1900;
    parts.tm_mon = int(stamp.wMonth) - 1;
    parts.tm_mday = stamp.wDay;
    parts.tm_hour = stamp.wHour;
    parts.tm_min = stamp.wMinute;
    parts.tm_sec = stamp.wSecond;
    parts.tm_isdst = -1; // whatever the zone's rule says for that day
    errno = 0;
    const std::time_t when = std::mktime(&parts);
    if (when == std::time_t(-1) && errno != 0)
        return std::nullopt;
    return int64_t(when) * 1000;
}

std::optional<int64_t> pmPlacementMsecs(const std::string& path, std::optional<int64_t> fileDateMsecs,
                                        bool byNameTime, std::optional<int64_t> clockDifferenceMs)
{
    if (clockDifferenceMs) {
        if (const std::optional<int64_t> corrected = pmCorrectedNameTimeMs(path, *clockDifferenceMs))
            return corrected;
    }
    if (byNameTime) {
        if (const std::optional<int64_t> named = pmNameTimeMsecs(path))
            return named;
    }
    return fileDateMsecs;
}

bool pmIsMediaExistByDate(const std::vector<std::optional<int64_t>>& fileDates, uint16_t year, uint16_t month,
                          uint16_t day)
{
    for (const std::optional<int64_t>& date : fileDates) {
        if (!date)
            continue;
        const std::optional<LocalDay> local = pmLocalDayOf(*date);
        if (local && local->year == year && local->month == month && local->day == day)
            return true;
    }
    return false;
}

namespace
{
uint32_t packDay(uint16_t year, uint16_t month, uint16_t day)
{
    return uint32_t(year) << 9 | uint32_t(month & 0xF) << 5 | uint32_t(day & 0x1F);
}
} // namespace

MediaDays::MediaDays(const std::vector<std::optional<int64_t>>& fileDates)
{
    // Recordings come in runs of the same day: a date within the day just
    // converted needs no conversion of its own.
    int64_t dayStart = 0;
    int64_t dayEnd = 0; // [dayStart, dayEnd) in ms, local midnight to midnight
    for (const std::optional<int64_t>& date : fileDates) {
        if (!date || (*date >= dayStart && *date < dayEnd))
            continue;
        const std::optional<LocalDay> local = pmLocalDayOf(*date);
        if (!local)
            continue;
        m_days.push_back(packDay(local->year, local->month, local->day));
        // The local midnight that starts this day, if the time of day leads
        // back to one (on a day the clocks change it may not; then the day is
        // simply not remembered). Every day lasts at least 23 hours from it.
        dayStart = dayEnd = 0;
        int64_t seconds = *date / 1000;
        if (*date % 1000 < 0)
            --seconds;
        const std::time_t when = static_cast<std::time_t>(seconds);
        std::tm parts{};
        if (!::localtime_r(&when, &parts))
            continue;
        const std::time_t midnight =
            when - static_cast<std::time_t>(parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec);
        std::tm check{};
        if (::localtime_r(&midnight, &check) && check.tm_hour == 0 && check.tm_min == 0 &&
            check.tm_sec == 0 && check.tm_mday == parts.tm_mday && check.tm_mon == parts.tm_mon &&
            check.tm_year == parts.tm_year) {
            dayStart = int64_t(midnight) * 1000;
            dayEnd = dayStart + int64_t(23) * 3600 * 1000;
        }
    }
    std::sort(m_days.begin(), m_days.end());
    m_days.erase(std::unique(m_days.begin(), m_days.end()), m_days.end());
}

bool MediaDays::contains(uint16_t year, uint16_t month, uint16_t day) const
{
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    return std::binary_search(m_days.begin(), m_days.end(), packDay(year, month, day));
}
