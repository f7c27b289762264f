#pragma once
// The backup copy without any window: recordings copied one after another
// into a folder, each followed by its companion track log, and optionally an
// evidence package (the tracks as KML, GPX and CSV, a description of every
// file, and SHA256SUMS for `sha256sum -c`).
//
// A copy is written under a temporary name beside its destination, flushed to
// disk, given the source's modification time, then renamed into place: an
// interrupted job never leaves a half file under a recording's name, and an
// existing file of that name is replaced only by a complete copy. The job
// runs on whatever thread calls pmRunBackup; the only state it shares is
// BackupProgress, whose fields are atomics.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct BackupProgress {
    // Bytes of recordings copied so far in the whole job (logs not counted).
    std::atomic<uint64_t> bytesDone{0};
    // Set by whoever wants the job to stop; read after every block.
    std::atomic<bool> canceled{false};
};

struct BackupOptions {
    bool evidence = false;
    // For package.txt and the GPX creator.
    std::string application = "Rovix Manager";
    std::string version;
    std::string sourceFolder;
    // Duration of a recording in seconds, for loading its track (evidence only).
    std::function<double(const std::string& path)> videoSeconds;
    // Bytes read and written per block: large enough to run at the disk's
    // speed, small enough that Cancel is seen within a few milliseconds.
    std::size_t blockSize = 1 << 20;
    // Called on the job's thread after each block of a recording (tests use
    // it to change the world mid-copy).
    std::function<void(uint64_t bytesDone)> onBlock;
};

enum class BackupStatus {
    Done,
    Canceled,
    NoDestination,       // missing, not a folder, or not writable
    SourceInDestination, // the destination holds a recording, or is one of them
    DuplicateName,       // two recordings would land on the same name
    NoSpace,             // the free-space check failed before the copy
    ReadFailed,          // the recording could not be opened or read, or changed or vanished while copied
    WriteFailed,         // the copy could not be created, written, flushed or renamed
    VerifyFailed,        // a copy read back differs from the bytes read from the source
};

struct BackupResult {
    BackupStatus status = BackupStatus::Done;
    std::string file;   // the recording (or package file) concerned, when one is
    std::string detail; // the system's reason, when there is one
    int copied = 0;     // recordings complete in the destination
};

// Bytes the job counts: the sizes of the recordings (a missing one counts 0).
uint64_t pmBackupTotalSize(const std::vector<std::string>& recordings);
// The checks made before anything is written: the destination exists, is a
// writable folder, is not the folder of any recording nor holds one of them
// under its name, and no two recordings share a file name.
BackupResult pmCheckBackupDestination(const std::string& destFolder,
                                      const std::vector<std::string>& recordings);
// The whole job, in the order given. Stops at the first failure (the
// recording concerned is removed from the destination, the ones before it
// stay) or when canceled. Writes the log lines of each copy.
BackupResult pmRunBackup(const std::string& destFolder, const std::vector<std::string>& recordings,
                         const BackupOptions& options, BackupProgress& progress);
// One line of SHA256SUMS for a file name relative to the package, escaped as
// sha256sum does for names holding a backslash or a line break.
std::string pmSha256SumLine(const std::string& hexDigest, const std::string& name);
// A readable sentence for a result ("" for Done).
std::string pmDescribeBackupResult(const BackupResult& result);
