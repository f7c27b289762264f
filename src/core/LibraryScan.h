#pragma once
// The library scan without a window: walking a folder at any depth, admitting
// playable recordings, and the name-based playlist order. The controller wraps
// this with the busy window, log lines and its own entry objects.
#include "core/ContainerProbe.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ScannedRecording {
    std::string path;                  // full path as listed (native bytes, usually UTF-8)
    std::optional<int64_t> mtimeMsecs; // modification time, ms since the epoch; none when unreadable
    VideoCodec codec = kCodecUnknown;  // the video codec the probe admitted
};

class LibraryScanner
{
public:
    // Called for every file offered for admission (not for folders); lets the
    // controller keep its own bookkeeping. May be empty.
    std::function<void(const std::string& path, bool admitted)> onFileOffered;
    // Called with each folder's complete listing of visible names (files and
    // folders) as the walk enters it; not called for a folder that could not
    // be listed whole. May be empty.
    std::function<void(const std::string& folder, const std::vector<std::string>& names)> onFolderListed;
    // Called now and then on the calling thread while a scan runs (on entering
    // each folder, and between probes), so a busy window can keep turning.
    // May be empty.
    std::function<void()> onProgress;

    // Rebuilds from an empty list: scans the folder depth first, in the order
    // the file system lists entries, skipping hidden entries. Each real folder
    // is visited once (symlink loops end), the walk uses no call-stack
    // recursion, and vanished or unreadable entries contribute nothing. Kernel
    // and virtual file systems (proc, sysfs, cgroup, debugfs and the like) are
    // not entered, so a link to "/" does not walk them.
    //
    // The walk lists each folder once and stats only folders, links and
    // entries the listing does not type; each candidate recording is opened
    // once, for its probe and its modification time. Without onFileOffered
    // the probes run on a small pool (one thread per processor the machine
    // runs at once, at most kMaxProbeThreads, the calling thread among them)
    // while the walk goes on; the result and the log lines keep the walk's
    // order whatever the threads do. With onFileOffered every file is probed
    // on the calling thread after the callback for the one before returned.
    // All callbacks run on the calling thread.
    std::vector<ScannedRecording> scan(const std::string& folder);

    static constexpr unsigned kMaxProbeThreads = 8;

    // Folder depth of the walk in progress (0 outside a scan).
    int currentLevel() const { return m_nCurFolderLevel; }

    // The admission rule: known container kind and a passing header probe.
    static bool admit(const std::string& path);

private:
    int m_nCurFolderLevel = 0;
};

// Playlist order on display names: characters 4..17 of names of 19 or more
// characters (the whole name otherwise), ascending; equal keys order by the
// full name descending. Another family's name with a time is keyed by that
// time in the same layout ("YYMMDD-HHMMSS_"). Returns true when a sorts
// before b.
bool pmLessByFileDate(const std::string& nameA, const std::string& nameB);

// Camera product name from the first "DEVICE.XML" found in the folder or one
// of its ancestors; "" when none. Reads a bounded prefix of the file.
std::string pmGetModelName(const std::string& folder);

// Characters are counted as UTF-8 code points (every byte that is not a
// continuation byte starts one), so a name is never cut inside a character;
// for the camera's ASCII names this is the same as counting bytes. Keys and
// names compare byte by byte, which for UTF-8 is code point order.
std::string pmFileDateSortKey(const std::string& name);

// The playlist order of recordings given by path: indices into `paths`,
// ordered by pmLessByFileDate on their file names; equal names keep their
// scan order.
std::vector<std::size_t> pmSortByFileDate(const std::vector<std::string>& paths);

// The newest recording that is still on disk: sorts by the playlist order and
// walks from the last entry backwards to the first whose file exists. Returns
// its index into `paths`, or none when every file is gone. `exists` defaults
// to pmIsFileExist.
std::optional<std::size_t>
pmNewestExistingRecording(const std::vector<std::string>& paths,
                          const std::function<bool(const std::string&)>& exists = {});

// A calendar day in the user's local time zone (Gregorian).
struct LocalDay {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day = 0;
};

// The local day of an instant in milliseconds since the epoch; none when the
// platform cannot convert it.
std::optional<LocalDay> pmLocalDayOf(int64_t msecs);

// The moment a recording's name states (its start time, read as this
// computer's local time, like the camera's clock), in milliseconds since the
// epoch; none when the name carries no date and time that exist.
std::optional<int64_t> pmNameTimeMsecs(const std::string& path);

// Where a recording belongs on the calendar and in the day's playlist: its file
// date, or, when `byNameTime` is set and its name states a real moment, that
// moment. A card copied by a tool that does not keep dates gives every file
// the copy's time; the names still say when each recording was made.
// With `clockDifferenceMs` (the camera's clock against GPS time, CameraClock)
// a name that states a real moment places its recording at the moment the
// corrected clock gives, whatever `byNameTime` says: the file date is the
// camera's clock too, and no truer.
std::optional<int64_t> pmPlacementMsecs(const std::string& path, std::optional<int64_t> fileDateMsecs,
                                        bool byNameTime,
                                        std::optional<int64_t> clockDifferenceMs = std::nullopt);

// The local days on which at least one of the file dates falls: worked out
// once for a library (one local-time conversion per entry), then each day is
// answered by a look-up. The calendar asks for the 42 days of every month it
// shows, so asking the whole library per day would be 42 passes per month.
class MediaDays
{
public:
    MediaDays() = default;
    // Entries without a date are passed over.
    explicit MediaDays(const std::vector<std::optional<int64_t>>& fileDates);
    bool contains(uint16_t year, uint16_t month, uint16_t day) const;
    std::size_t size() const { return m_days.size(); }

private:
    std::vector<uint32_t> m_days; // year << 9 | month << 5 | day, sorted, no repeats
};

// The calendar's day test: whether any of the file dates, in stored order,
// falls on the given local day. Entries without a date are passed over; an
// empty list gives false. File existence is not checked.
bool pmIsMediaExistByDate(const std::vector<std::optional<int64_t>>& fileDates, uint16_t year, uint16_t month,
                          uint16_t day);
