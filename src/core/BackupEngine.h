#pragma once
// The backup copy without any window: recordings copied one after another
// into a folder, each together with its companion track log, and optionally
// an evidence package.
//
// A recording and its log are one unit. Both are written first as unnamed
// files (O_TMPFILE) in the destination, flushed, given the source's times and
// mode, checked against the source's size, modification and change times,
// and only then linked into place; an existing file of either name is
// replaced by the pair together, so a recording and its log always come from
// the same card. Where the file system has no unnamed files, the copy in
// progress is named ".rovix-part-<pid>-<n>" in the destination folder itself;
// files of exactly that pattern are removed at the start of every run. A
// destination file with identical content counts as already copied. Each
// file goes in under its own name, unless two chosen files of different
// folders share one: then every file of the run keeps its path below the
// deepest folder that holds them all.
//
// One run per destination: the run holds flock() on ".rovix-backup.lock" in
// the destination (removed when the run ends).
//
// An evidence package is a new folder in the destination,
// "Evidence-YYYYMMDD-HHMMSS" (then "-2", "-3", ...), made exclusively and
// never reused: recordings/ (each recording and its log, and the log its
// track is read from when that is another's, as a rear recording's front
// log), tracks/ (KML, GPX and CSV named after the recording's whole file
// name, read from the verified copies), package.txt, and SHA256SUMS, written
// last, so a folder without it is visibly not a package.
// A failed or canceled run removes its folder.
//
// The job runs on whatever thread calls pmRunBackup; the only state it shares
// is BackupProgress, whose fields are atomics.
#include "core/TrackAttachments.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class BackupPhase : int {
    Starting,
    WaitingForDestination, // another backup holds the destination
    Copying,
    Packaging, // tracks, package.txt, SHA256SUMS
    Finished,
};

struct BackupProgress {
    // Bytes of recordings and logs copied (or found identical) so far.
    std::atomic<uint64_t> bytesDone{0};
    // Set by whoever wants the job to stop; read after every block.
    std::atomic<bool> canceled{false};
    // Index of the recording being copied (-1 before the first).
    std::atomic<int> current{-1};
    std::atomic<int> phase{static_cast<int>(BackupPhase::Starting)};
};

struct BackupOptions {
    bool evidence = false;
    // For package.txt and the GPX creator.
    std::string application = "Rovix Manager";
    std::string version;
    std::string sourceFolder;
    // Duration of a recording in seconds, for loading its track (evidence only).
    std::function<double(const std::string& path)> videoSeconds;
    // Evidence: the track a recording was given from another device. The
    // file goes into the package beside the recordings, its track replaces
    // the positions of the recording's own, and package.txt names it.
    // Called on the job's thread.
    TrackAttachmentFinder attachedTrack;
    // Bytes read and written per block: large enough to run at the disk's
    // speed, small enough that Cancel is seen within a few milliseconds.
    std::size_t blockSize = 1 << 20;
    // When another run holds the destination: wait (until it ends or the job
    // is canceled) instead of returning Busy.
    bool waitForDestination = false;
    // Called on the job's thread after each block of a recording or log
    // (tests use it to change the world mid-copy).
    std::function<void(uint64_t bytesDone)> onBlock;
};

enum class BackupStatus {
    Done,
    Canceled,
    NoDestination,       // missing, not a folder, or not writable
    SourceInDestination, // the destination holds a recording, or is one of them
    DuplicateName,       // a recording chosen twice (two would land on one path)
    ReservedName,        // a recording or log has a name the backup uses itself
    Busy,                // another backup is writing into the destination
    NoSpace,             // the free-space check failed before the copy
    ReadFailed,          // the recording or its log could not be opened or read, or vanished
    SourceChanged,       // the recording or its log changed while it was copied
    WriteFailed,         // a copy could not be created, written, flushed or linked into place
    VerifyFailed,        // a copy read back differs from the bytes read from the source
};

enum class BackupItemOutcome { NotReached, Copied, Identical, Failed };

struct BackupItem {
    std::string recording;
    BackupItemOutcome outcome = BackupItemOutcome::NotReached;
    std::string reason; // for Failed: what went wrong, readable
};

struct BackupResult {
    BackupStatus status = BackupStatus::Done;
    std::string file;              // the recording (or log, or package file) concerned, when one is
    std::string detail;            // the system's reason, when there is one
    int copied = 0;                // recordings complete in the destination (identical ones included)
    int identical = 0;             // of those, the ones already there with identical content
    std::vector<BackupItem> items; // one per recording, in the order given
    std::string packageFolder;     // the evidence package made (empty when none is left)
};

// The documented names the backup keeps for itself in a destination.
extern const char* const kBackupLockName;        // ".rovix-backup.lock"
extern const char* const kBackupTemporaryPrefix; // ".rovix-part-" then "<pid>-<n>"
// Whether a file name is one of the backup's own temporary names.
bool pmIsBackupTemporaryName(const std::string& name);

// Bytes the job counts: the sizes of the recordings and their logs (a missing
// file counts 0); with `evidence` also the logs their tracks are read from.
uint64_t pmBackupTotalSize(const std::vector<std::string>& recordings, bool evidence = false);
// The checks made before anything is written: the destination exists, is a
// writable folder, is not the folder of any recording nor holds one of them
// where its copy would go, no recording is chosen twice, and no recording or
// log uses a name the backup keeps for itself.
BackupResult pmCheckBackupDestination(const std::string& destFolder,
                                      const std::vector<std::string>& recordings, bool evidence = false);
// The whole job, in the order given. Stops at the first failure (the
// recording concerned and its log are removed from the destination, the ones
// before it stay; an evidence package is removed whole) or when canceled.
// Writes the log lines of each copy.
BackupResult pmRunBackup(const std::string& destFolder, const std::vector<std::string>& recordings,
                         const BackupOptions& options, BackupProgress& progress);
// One line of SHA256SUMS for a file name relative to the package, escaped as
// GNU sha256sum does for names holding a backslash, a line feed or a carriage
// return (a leading backslash, then \\, \n and \r in the name).
std::string pmSha256SumLine(const std::string& hexDigest, const std::string& name);
// A new folder `base` in `dest`, made exclusively: "base-2", "base-3", ...
// when it exists already, never an existing one. Empty with `error` set
// (an errno value) when none could be made.
std::string pmMakeNewFolder(const std::string& dest, const std::string& base, int& error);
// A readable sentence for a result ("" for Done).
std::string pmDescribeBackupResult(const BackupResult& result);

// One file copied the backup's way for a caller that decides afterwards
// whether and under which name to keep it: stage() writes the whole copy,
// hashed as it is read, flushed and checked against the source, into
// `folder` without a name (or under the backup's temporary name where the
// file system has no unnamed files); place() then gives it a name that must
// not exist yet, and flushes the folder; a copy never placed is gone when the
// object is.
class StagedCopy
{
public:
    StagedCopy();
    ~StagedCopy();
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;

    // ReadFailed, SourceChanged, WriteFailed or Canceled with `detail`, or Done.
    BackupStatus stage(const std::string& source, const std::string& folder, const BackupOptions& options,
                       BackupProgress& progress, std::string& detail);
    // Lower-case hex SHA-256 and size of the staged copy (after a Done stage).
    const std::string& sha256() const { return m_sha256; }
    uint64_t size() const { return m_size; }
    // False with errno (EEXIST when the name is taken); the copy stays staged.
    bool place(const std::string& path);
    void discard();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_sha256;
    uint64_t m_size = 0;
};

// Lower-case hex SHA-256 of a file's content; false with a readable `detail`.
bool pmHashFileSha256(const std::string& path, std::string& hexDigest, std::string& detail);
