#include "core/BackupEngine.h"

#include "core/CameraClock.h"
#include "core/Clock.h"
#include "core/EmbeddedTrack.h"
#include "core/FileRules.h"
#include "core/GpsList.h"
#include "core/Log.h"
#include "core/Sha256.h"
#include "core/TrackExport.h"
#include "core/TrackLoader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>

const char* const kBackupLockName = ".rovix-backup.lock";
const char* const kBackupTemporaryPrefix = ".rovix-part-";

namespace
{

// Room kept free on the destination beyond the recording and its log.
constexpr uint64_t kSpareBytes = 1048576;

std::string errorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int take()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes and reports what the close said (a network or FAT file system
    // may report a late write error only here).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// A name for a file in progress, unique in this process, of the one pattern
// a later run recognises as stale.
std::string temporaryPath(const std::string& folder)
{
    static std::atomic<unsigned> counter{0};
    return joinPath(folder,
                    kBackupTemporaryPrefix + std::to_string(::getpid()) + "-" + std::to_string(++counter));
}

void removeTemporary(const std::string& path)
{
    struct stat st {
    };
    if (!path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(path.c_str());
}

ssize_t readSome(int fd, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Bytes of a copy that may wait in memory before the copy waits for the disk.
constexpr uint64_t kWriteBehind = 8 << 20;

// Starts writing the block just written to disk at once, and waits for the
// data written kWriteBehind earlier: the copy then runs alongside the disk
// instead of ahead of it, the final flush is short, the progress shown is
// close to what is on the disk, and a copy to a slow card does not fill the
// memory with data waiting to be written. False on a write error.
bool writeBehind(int fd, uint64_t offset, std::size_t length)
{
    const auto ok = [](int r) { return r == 0 || errno == EINVAL || errno == ESPIPE || errno == ENOSYS; };
    if (!ok(::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length),
                              SYNC_FILE_RANGE_WRITE)))
        return false;
    if (offset < kWriteBehind)
        return true;
    return ok(
        ::sync_file_range(fd, static_cast<off_t>(offset - kWriteBehind), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER));
}

// The durable end of a link or rename: the folder entry itself reaches the disk.
void syncFolder(const std::string& folder)
{
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0 && ::fsync(dir.get()) != 0 && errno != EINVAL)
        pmWriteLog("Backup - cannot flush the folder " + folder + ": " + errorText(errno));
}

// Renames without replacing an existing entry; false with EEXIST when there is one.
bool renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    return false;
}

// A file being written for the destination. Where the file system allows it
// the file has no name at all until it is complete (O_TMPFILE), so a run
// killed in any way leaves nothing behind; elsewhere it is named by
// temporaryPath() in the destination folder and removed on every way out.
class StagedFile
{
public:
    StagedFile() = default;
    ~StagedFile() { discard(); }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // `folder` is where the file will live, `tempFolder` the destination
    // folder that holds named temporary files.
    bool open(const std::string& folder, const std::string& tempFolder)
    {
        m_fd.reset(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644));
        if (m_fd.get() >= 0)
            return true;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            return false;
        m_tempPath = temporaryPath(tempFolder);
        m_fd.reset(::open(m_tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644));
        if (m_fd.get() < 0) {
            m_tempPath.clear();
            return false;
        }
        return true;
    }
    int fd() const { return m_fd.get(); }

    // Gives the file its name. `replace`: an existing entry of that name is
    // replaced at once (never a moment without either); otherwise false with
    // EEXIST when the name is taken.
    bool commit(const std::string& tempFolder, const std::string& path, bool replace)
    {
        if (m_tempPath.empty()) {
            const std::string linkTarget = replace ? temporaryPath(tempFolder) : path;
            if (!linkUnnamed(linkTarget))
                return false;
            if (replace && ::rename(linkTarget.c_str(), path.c_str()) != 0) {
                const int error = errno;
                ::unlink(linkTarget.c_str());
                errno = error;
                return false;
            }
        } else {
            if (!(replace ? ::rename(m_tempPath.c_str(), path.c_str()) == 0
                          : renameNoReplace(m_tempPath, path)))
                return false;
            m_tempPath.clear();
        }
        m_fd.reset();
        return true;
    }

    void discard()
    {
        m_fd.reset();
        removeTemporary(m_tempPath);
        m_tempPath.clear();
    }

private:
    bool linkUnnamed(const std::string& path)
    {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != ENOENT)
            return false;
        // No /proc: the direct form, which needs more privilege.
        return ::linkat(m_fd.get(), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
    }

    FileDescriptor m_fd;
    std::string m_tempPath;
};

// Stale temporary files of earlier runs, of exactly the backup's pattern, in
// the destination folder only. Called with the destination's lock held, so
// none of them belongs to a run still going.
int removeStaleTemporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!pmIsBackupTemporaryName(entry->d_name))
            continue;
        const std::string path = joinPath(folder, entry->d_name);
        struct stat st {
        };
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    if (removed > 0)
        pmWriteLog("Backup - removed " + std::to_string(removed) +
                   " unfinished copies of an earlier run from " + folder);
    return removed;
}

// flock() on the lock file of a destination for one run. The file is removed
// when the run ends; a run that opened the file just before it was removed
// finds that out after its lock is granted and starts over.
class DestinationLock
{
public:
    ~DestinationLock() { release(); }
    enum class Result { Locked, Busy, Canceled, Failed };
    Result acquire(const std::string& folder, bool wait, const std::atomic<bool>& canceled,
                   BackupProgress& progress)
    {
        m_path = joinPath(folder, kBackupLockName);
        for (;;) {
            FileDescriptor fd(
                ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0644));
            if (fd.get() < 0) {
                m_error = errno;
                return Result::Failed;
            }
            if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
                if (errno != EWOULDBLOCK && errno != EINTR) {
                    m_error = errno;
                    return Result::Failed;
                }
                if (!wait)
                    return Result::Busy;
                progress.phase.store(static_cast<int>(BackupPhase::WaitingForDestination));
                while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
                    if (canceled.load())
                        return Result::Canceled;
                    const struct timespec pause = {0, 100 * 1000 * 1000};
                    ::nanosleep(&pause, nullptr);
                }
            }
            struct stat held {
            };
            struct stat named {
            };
            if (::fstat(fd.get(), &held) == 0 && ::lstat(m_path.c_str(), &named) == 0 &&
                held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                m_fd.reset(fd.take());
                return Result::Locked;
            }
            // The run before removed the file while this one waited on it.
        }
    }
    void release()
    {
        if (m_fd.get() < 0)
            return;
        ::unlink(m_path.c_str());
        m_fd.reset();
    }
    int error() const { return m_error; }

private:
    FileDescriptor m_fd;
    std::string m_path;
    int m_error = 0;
};

struct SourceState {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {
    };
    struct timespec ctime {
    };
};

bool sameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

SourceState stateOf(const struct stat& st)
{
    SourceState s;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

bool unchanged(const SourceState& a, const SourceState& b)
{
    return a.dev == b.dev && a.ino == b.ino && a.size == b.size && sameTime(a.mtime, b.mtime) &&
           sameTime(a.ctime, b.ctime);
}

struct CopyOutcome {
    BackupStatus status = BackupStatus::Done;
    std::string detail;
    Sha256::Digest digest{};
    uint64_t size = 0;
    struct timespec mtime {
    };
};

CopyOutcome fail(BackupStatus status, const std::string& detail)
{
    CopyOutcome out;
    out.status = status;
    out.detail = detail;
    return out;
}

const char* const kChanged = "changed while being copied";

// Writes a complete, flushed copy of `source` into `staged` (not yet named):
// hashed while read when `evidence` or `hashOnly`, then (evidence only) read
// back and compared. The source must be the same file, of the same size and
// times, after the copy as before.
CopyOutcome stageCopy(const std::string& source, const std::string& folder, const std::string& tempFolder,
                      bool evidence, StagedFile& staged, const BackupOptions& options,
                      BackupProgress& progress, std::vector<char>& buffer, bool hashOnly = false)
{
    // Never block on a FIFO or a device that poses as a recording.
    FileDescriptor src(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (src.get() < 0)
        return fail(BackupStatus::ReadFailed, errorText(errno));
    struct stat st {
    };
    if (::fstat(src.get(), &st) != 0)
        return fail(BackupStatus::ReadFailed, errorText(errno));
    if (!S_ISREG(st.st_mode))
        return fail(BackupStatus::ReadFailed, "not a regular file");
    const SourceState before = stateOf(st);
    const uint64_t size = static_cast<uint64_t>(st.st_size);

    if (!staged.open(folder, tempFolder))
        return fail(BackupStatus::WriteFailed, errorText(errno));
    const int dst = staged.fd();
    ::posix_fadvise(src.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 hash;
    uint64_t copied = 0;
    for (;;) {
        const ssize_t n = readSome(src.get(), buffer.data(), buffer.size());
        if (n < 0)
            return fail(BackupStatus::ReadFailed, errorText(errno));
        if (n == 0)
            break;
        const auto length = static_cast<std::size_t>(n);
        if (evidence || hashOnly)
            hash.update(buffer.data(), length);
        if (!writeAll(dst, buffer.data(), length))
            return fail(BackupStatus::WriteFailed, errorText(errno));
        copied += length;
        const uint64_t done = progress.bytesDone.fetch_add(length) + length;
        if (options.onBlock)
            options.onBlock(done);
        // Cancel before waiting for the disk: a stopped copy has nothing to wait for.
        if (progress.canceled.load())
            return fail(BackupStatus::Canceled, std::string());
        if (!writeBehind(dst, copied - length, length))
            return fail(BackupStatus::WriteFailed, errorText(errno));
    }
    // A source rewritten, cut, grown, replaced or removed while it was read is
    // not the file the user chose: its copy is not a backup of anything. The
    // camera may rewrite a file in place at the same size, which only the
    // times tell.
    struct stat afterFd {
    };
    struct stat afterPath {
    };
    if (::stat(source.c_str(), &afterPath) != 0)
        return fail(BackupStatus::ReadFailed, "it disappeared while being copied (" + errorText(errno) + ")");
    if (::fstat(src.get(), &afterFd) != 0 || copied != size || !unchanged(before, stateOf(afterFd)) ||
        !unchanged(before, stateOf(afterPath)))
        return fail(BackupStatus::SourceChanged, kChanged);

    // Keep the source's permission bits (a protected recording stays
    // read-only, which is how an event recording without a prefix is known)
    // and its modification time (the copy files under the same day).
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::fsync(dst) != 0 || ::fchmod(dst, st.st_mode & 07777) != 0 || ::futimens(dst, times) != 0)
        return fail(BackupStatus::WriteFailed, errorText(errno));

    CopyOutcome out;
    out.size = copied;
    out.mtime = st.st_mtim;
    if (hashOnly && !evidence)
        out.digest = hash.finish();
    if (evidence) {
        out.digest = hash.finish();
        Sha256 back;
        for (uint64_t at = 0;;) {
            const ssize_t n = ::pread(dst, buffer.data(), buffer.size(), static_cast<off_t>(at));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return fail(BackupStatus::VerifyFailed, "cannot read the copy back: " + errorText(errno));
            }
            if (n == 0)
                break;
            back.update(buffer.data(), static_cast<std::size_t>(n));
            at += static_cast<uint64_t>(n);
        }
        if (back.finish() != out.digest)
            return fail(BackupStatus::VerifyFailed, "the copy read back differs from the source");
    }
    return out;
}

// Whether a destination file already holds exactly the source's bytes.
bool sameContent(const std::string& source, const std::string& dest, std::vector<char>& a,
                 std::vector<char>& b)
{
    struct stat ss {
    };
    struct stat ds {
    };
    if (::stat(source.c_str(), &ss) != 0 || ::lstat(dest.c_str(), &ds) != 0 || !S_ISREG(ss.st_mode) ||
        !S_ISREG(ds.st_mode) || ss.st_size != ds.st_size)
        return false;
    FileDescriptor fs(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    FileDescriptor fd(::open(dest.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fs.get() < 0 || fd.get() < 0)
        return false;
    for (;;) {
        const ssize_t n = readSome(fs.get(), a.data(), a.size());
        if (n < 0)
            return false;
        std::size_t got = 0;
        while (got < static_cast<std::size_t>(n)) {
            const ssize_t m = readSome(fd.get(), b.data() + got, static_cast<std::size_t>(n) - got);
            if (m <= 0)
                return false;
            got += static_cast<std::size_t>(m);
        }
        if (std::memcmp(a.data(), b.data(), got) != 0)
            return false;
        if (n == 0)
            return readSome(fd.get(), b.data(), 1) == 0;
    }
}

bool isFolder(const std::string& path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether `log`, in the destination, is the track of a recording there other
// than `recording` (which is being replaced): the application reads a
// recording's own log, and for a rear recording its front partner's. A rear
// recording whose partner is `recording` itself claims nothing of its own.
// Only names that can share a log are looked at: those whose stem differs
// from the recording's in its last character at most.
bool isLogOfAnotherRecording(const std::string& log, const std::string& recording, const PathTest& exists)
{
    const std::string folder = parentOf(recording);
    const std::string name = pmGetFileName(recording, false);
    const std::string stem = pmGetFileName(recording, true);
    if (stem.empty())
        return false;
    const std::string prefix = stem.substr(0, stem.size() - 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return true; // cannot tell: keep it
    bool claimed = false;
    while (!claimed) {
        const dirent* entry = ::readdir(dir);
        if (!entry)
            break;
        const std::string other = entry->d_name;
        if (other == name || other.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string otherPath = joinPath(folder, other);
        if (pmGetFileName(other, true).size() != stem.size() || pmGetMediaType(otherPath) == kMediaUnknown)
            continue;
        struct stat st {
        };
        if (::lstat(otherPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        std::string trackPath = otherPath;
        if (pmGetCameraType(otherPath) == kCameraRear) {
            std::string partnerName = other;
            if (partnerName.size() >= 5)
                partnerName[partnerName.size() - 5] = 'M';
            if (partnerName == name)
                continue;
            trackPath = pmGetAnotherCameraPath(otherPath);
        }
        claimed = !trackPath.empty() && pmGetGpsLogFile(trackPath, exists, isFolder) == log;
    }
    ::closedir(dir);
    return claimed;
}

// Logs in the destination that the application would read as the track of
// `finalRecording` instead of `finalLog` (the log arriving with it, "" when
// it has none) came with an older recording of that name: they go, so the
// recording is never shown with another card's positions. Only files in the
// destination folder itself, never one that this run places, and never the
// log of another recording there.
void removeShadowingLogs(const std::string& finalRecording, const std::string& finalLog,
                         const std::set<std::string>& placed)
{
    // A rear recording is shown with its front partner's track, never with a
    // log found by its own name: nothing found for it shadows anything, and
    // the log shared by the pair is the front's.
    if (pmGetCameraType(finalRecording) == kCameraRear)
        return;
    const std::string folder = parentOf(finalRecording);
    const PathTest exists = [&](const std::string& p) { return p == finalLog || pmIsFileExist(p); };
    for (int round = 0; round < 8; ++round) {
        const std::string found = pmGetGpsLogFile(finalRecording, exists, isFolder);
        if (found.empty() || found == finalLog || parentOf(found) != folder || placed.count(found))
            return;
        if (isLogOfAnotherRecording(found, finalRecording, exists))
            return;
        struct stat st {
        };
        if (::lstat(found.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::unlink(found.c_str()) != 0)
            return;
        pmWriteLog("Backup - removed " + found + ", the track log of the recording replaced");
    }
}

// A file the package writes itself, under its final name in the package
// folder (the folder is the package's own until SHA256SUMS is in it).
bool writeWholeFile(const std::string& path, const std::string& text, std::string& detail)
{
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644));
    bool ok = fd.get() >= 0 && writeAll(fd.get(), text.data(), text.size()) && ::fsync(fd.get()) == 0;
    const int error = errno;
    ok = fd.close() && ok;
    if (!ok)
        detail = errorText(error);
    return ok;
}

// Tabs, line breaks and backslashes in names, written so each file stays on one line.
std::string escapeField(const std::string& text)
{
    std::string out;
    pmAppendEscapedField(out, text);
    return out;
}

std::string utcText(const struct timespec& when)
{
    return pmFormatUtcTime(std::chrono::system_clock::from_time_t(when.tv_sec));
}

std::string localText(std::chrono::system_clock::time_point when, const char* format)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[80];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

struct PackageEntry {
    std::string name; // relative to the package folder
    std::string source;
    uint64_t size = 0;
    struct timespec mtime {
    };
    std::string digest;
};

BackupResult result(BackupStatus status, const std::string& file, const std::string& detail, int copied)
{
    BackupResult r;
    r.status = status;
    r.file = file;
    r.detail = detail;
    r.copied = copied;
    return r;
}

bool hashFile(const std::string& path, std::vector<char>& buffer, Sha256::Digest& digest, int& error)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        error = errno;
        return false;
    }
    Sha256 hash;
    for (;;) {
        const ssize_t n = readSome(fd.get(), buffer.data(), buffer.size());
        if (n < 0) {
            error = errno;
            return false;
        }
        if (n == 0)
            break;
        hash.update(buffer.data(), static_cast<std::size_t>(n));
    }
    digest = hash.finish();
    return true;
}

// A file the package wrote itself: hashed from what is on disk.
bool addWrittenFile(const std::string& folder, const std::string& name, std::vector<char>& buffer,
                    std::vector<PackageEntry>& entries, std::string& detail)
{
    const std::string path = joinPath(folder, name);
    PackageEntry e;
    e.name = name;
    struct stat st {
    };
    Sha256::Digest digest{};
    int error = 0;
    if (::stat(path.c_str(), &st) != 0 || !hashFile(path, buffer, digest, error)) {
        detail = errorText(error ? error : errno);
        return false;
    }
    e.size = static_cast<uint64_t>(st.st_size);
    e.mtime = st.st_mtim;
    e.digest = Sha256::toHex(digest);
    entries.push_back(e);
    return true;
}

// A new package folder, made exclusively: never one that exists already.
std::string makePackageFolder(const std::string& dest, int& error)
{
    return pmMakeNewFolder(dest, "Evidence-" + localText(pmNow(), "%Y%m%d-%H%M%S"), error);
}

void removePackageFolder(const std::string& folder)
{
    if (folder.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    if (ec)
        pmWriteLog("Backup - cannot remove the unfinished package " + folder + ": " + ec.message());
    else
        pmWriteLog("Backup - removed the unfinished package " + folder);
    syncFolder(parentOf(folder));
}

// The recording's track log, unless the rules name the recording itself
// (a recording called "X.txt").
std::string companionLog(const std::string& recording)
{
    const std::string log = pmGetGpsLogFile(recording);
    return log == recording ? std::string() : log;
}

std::string describeFailure(BackupStatus status, const std::string& file, const std::string& detail)
{
    return pmDescribeBackupResult(result(status, file, detail, 0));
}

// A recording and the files that travel with it, each with its path relative
// to the folder the copies go into.
struct BackupUnit {
    std::string recording, recordingRel;
    std::string log, logRel; // its companion log, "" when none
    // Evidence: other files its track is read from (a rear's front log, the
    // files its camera writes beside it).
    std::vector<std::string> extras, extrasRel;
    std::string trackSource; // evidence: the file its track is read from ("" for its own chunks)
    // Evidence: the track attached to it from another device (its file is
    // the last of the extras), when it has one.
    std::optional<TrackAttachment> attached;
};

std::string absoluteNormal(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    return (ec ? std::filesystem::path(path) : p).lexically_normal().string();
}

// A side file and the others of its stem beside it (a camera writing its
// positions and its G values into two files), the recordings excepted.
std::vector<std::string> sideFilesOf(const std::string& file)
{
    std::vector<std::string> files{file};
    const std::string folder = parentOf(file);
    const std::string stem = pmGetFileName(file, true) + ".";
    const std::string name = pmGetFileName(file, false);
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string other = entry->d_name;
            const std::string path = joinPath(folder, other);
            struct stat st {
            };
            if (other != name && other.compare(0, stem.size(), stem) == 0 &&
                other.find('.', stem.size()) == std::string::npos && pmGetMediaType(path) == kMediaUnknown &&
                ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                files.push_back(path);
        }
        ::closedir(dir);
    }
    std::sort(files.begin() + 1, files.end());
    return files;
}

// Where each file goes. Flat (each under its own name) unless two different
// files share a name, as a card's Front/ and Rear/ folders often do: then
// every file keeps its path below the deepest folder that holds them all, so
// none is dropped and none is refused.
std::vector<BackupUnit> planBackup(const std::vector<std::string>& recordings, bool evidence,
                                   const TrackAttachmentFinder& attachedTrack = {})
{
    std::vector<BackupUnit> units;
    for (const std::string& recording : recordings) {
        BackupUnit u;
        u.recording = recording;
        u.log = companionLog(recording);
        if (evidence) {
            u.trackSource = pmTrackLogFile(recording);
            if (!u.trackSource.empty() && u.trackSource != u.log && u.trackSource != recording)
                u.extras.push_back(u.trackSource);
            // No log: a track inside the recording, or in a file its camera
            // writes beside it, which then travels with it.
            EmbeddedTrack embedded;
            if (u.trackSource.empty() && pmGetMediaType(recording) != kMediaAvi &&
                pmGetMediaType(recording) != kMediaUnknown && pmReadEmbeddedTrack(recording, embedded) &&
                !embedded.sourceFile.empty())
                for (const std::string& side : sideFilesOf(embedded.sourceFile))
                    if (side != u.log && side != recording)
                        u.extras.push_back(side);
        }
        units.push_back(u);
    }
    std::map<std::string, std::string> byName;
    bool clash = false;
    const auto note = [&](const std::string& file) {
        if (file.empty())
            return;
        const auto [at, added] = byName.emplace(pmGetFileName(file, false), file);
        clash = clash || (!added && at->second != file);
    };
    for (const BackupUnit& u : units) {
        note(u.recording);
        note(u.log);
        for (const std::string& extra : u.extras)
            note(extra);
    }
    std::string base;
    bool first = true;
    if (clash) {
        const auto widen = [&](const std::string& file) {
            if (file.empty())
                return;
            const std::string path = absoluteNormal(file);
            const std::string folder = path.substr(0, std::min(path.size(), path.find_last_of('/')));
            if (first) {
                base = folder;
                first = false;
            }
            while (!base.empty() && folder != base && folder.compare(0, base.size() + 1, base + "/") != 0)
                base = base.substr(0, base.find_last_of('/'));
        };
        for (const BackupUnit& u : units) {
            widen(u.recording);
            widen(u.log);
            for (const std::string& extra : u.extras)
                widen(extra);
        }
    }
    const auto relative = [&](const std::string& file) {
        if (file.empty())
            return std::string();
        if (!clash)
            return pmGetFileName(file, false);
        const std::string path = absoluteNormal(file);
        return path.size() > base.size() + 1 ? path.substr(base.size() + 1) : pmGetFileName(file, false);
    };
    for (BackupUnit& u : units) {
        u.recordingRel = relative(u.recording);
        u.logRel = relative(u.log);
        for (const std::string& extra : u.extras)
            u.extrasRel.push_back(relative(extra));
    }
    // An attached track lives outside the card: it goes flat under its own
    // name (numbered when two files share one), so it never changes where
    // the recordings go.
    if (evidence && attachedTrack) {
        std::map<std::string, std::string> relOf; // attached file -> its name in the package
        std::set<std::string> taken;
        for (const BackupUnit& u : units) {
            taken.insert(u.recordingRel);
            taken.insert(u.logRel);
            taken.insert(u.extrasRel.begin(), u.extrasRel.end());
        }
        for (BackupUnit& u : units) {
            u.attached = attachedTrack(u.recording);
            if (!u.attached)
                continue;
            const std::string file = absoluteNormal(u.attached->trackFile);
            auto at = relOf.find(file);
            if (at == relOf.end()) {
                const std::string name = pmGetFileName(file, false);
                std::string rel = name;
                for (int n = 2; taken.count(rel); ++n)
                    rel = std::to_string(n) + "-" + name;
                taken.insert(rel);
                at = relOf.emplace(file, rel).first;
            }
            u.extras.push_back(file);
            u.extrasRel.push_back(at->second);
        }
    }
    return units;
}

// Whether any component of a relative path is a name the backup keeps for itself.
bool isReservedPath(const std::string& relative)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', start);
        const std::string part = relative.substr(start, slash == std::string::npos ? slash : slash - start);
        if (part == kBackupLockName || pmIsBackupTemporaryName(part))
            return true;
        if (slash == std::string::npos)
            return false;
        start = slash + 1;
    }
}

// Makes the folders of a relative path below `root` (an existing folder),
// noting each one made. False (errno set) when one cannot be made or a name
// on the way is not a folder.
bool makeParents(const std::string& root, const std::string& relative, std::vector<std::string>& made)
{
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        const std::string folder = joinPath(root, relative.substr(0, slash));
        if (::mkdir(folder.c_str(), 0755) == 0) {
            made.push_back(folder);
            continue;
        }
        struct stat st {
        };
        if (errno != EEXIST)
            return false;
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
    }
    return true;
}

} // namespace

bool pmIsBackupTemporaryName(const std::string& name)
{
    // ".rovix-part-" <digits> "-" <digits>, nothing else.
    const std::string prefix = kBackupTemporaryPrefix;
    if (name.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::size_t i = prefix.size();
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < name.size() && name[i] >= '0' && name[i] <= '9')
            ++i;
        return i > start;
    };
    if (!digits() || i >= name.size() || name[i] != '-')
        return false;
    ++i;
    return digits() && i == name.size();
}

uint64_t pmBackupTotalSize(const std::vector<std::string>& recordings, bool evidence)
{
    uint64_t total = 0;
    std::set<std::string> logs;
    for (const BackupUnit& u : planBackup(recordings, evidence)) {
        std::vector<std::string> files{u.recording};
        std::vector<std::string> unitLogs{u.log};
        unitLogs.insert(unitLogs.end(), u.extras.begin(), u.extras.end());
        for (const std::string& log : unitLogs)
            if (!log.empty() && logs.insert(log).second)
                files.push_back(log);
        for (const std::string& file : files) {
            struct stat st {
            };
            if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                total += static_cast<uint64_t>(st.st_size);
        }
    }
    return total;
}

namespace
{

BackupResult checkPlan(const std::string& destFolder, const std::vector<BackupUnit>& units)
{
    struct stat dest {
    };
    if (destFolder.empty() || ::stat(destFolder.c_str(), &dest) != 0)
        return result(BackupStatus::NoDestination, destFolder,
                      destFolder.empty() ? "no folder given" : errorText(errno), 0);
    if (!S_ISDIR(dest.st_mode))
        return result(BackupStatus::NoDestination, destFolder, "not a folder", 0);
    if (!pmIsWritable(destFolder) || ::access(destFolder.c_str(), W_OK | X_OK) != 0)
        return result(BackupStatus::NoDestination, destFolder, "the folder is read-only", 0);
    // Paths in the destination: each recording's, and each log's (a log
    // shared by two recordings is one file).
    std::map<std::string, std::string> paths;
    for (const BackupUnit& u : units) {
        const std::string& recording = u.recording;
        struct stat folder {
        };
        if (::stat(parentOf(recording).c_str(), &folder) == 0 && folder.st_dev == dest.st_dev &&
            folder.st_ino == dest.st_ino)
            return result(BackupStatus::SourceInDestination, recording, "the destination holds the recording",
                          0);
        if (pmIsSameFile(joinPath(destFolder, u.recordingRel), recording))
            return result(BackupStatus::SourceInDestination, recording, "the destination holds the recording",
                          0);
        if (!paths.emplace(u.recordingRel, recording).second)
            return result(BackupStatus::DuplicateName, recording, "another recording has the same name", 0);
        std::vector<std::pair<std::string, std::string>> logs{{u.log, u.logRel}};
        for (std::size_t i = 0; i < u.extras.size(); ++i)
            logs.emplace_back(u.extras[i], u.extrasRel[i]);
        for (const auto& [log, logRel] : logs) {
            if (log.empty())
                continue;
            if (pmIsSameFile(joinPath(destFolder, logRel), log))
                return result(BackupStatus::SourceInDestination, log, "the destination holds the track log",
                              0);
            const auto [at, added] = paths.emplace(logRel, log);
            if (!added && at->second != log)
                return result(BackupStatus::DuplicateName, log, "another file has the same name", 0);
            if (isReservedPath(logRel))
                return result(BackupStatus::ReservedName, log, std::string(), 0);
        }
        if (isReservedPath(u.recordingRel))
            return result(BackupStatus::ReservedName, recording, std::string(), 0);
    }
    return result(BackupStatus::Done, std::string(), std::string(), 0);
}

} // namespace

BackupResult pmCheckBackupDestination(const std::string& destFolder,
                                      const std::vector<std::string>& recordings, bool evidence)
{
    return checkPlan(destFolder, planBackup(recordings, evidence));
}

BackupResult pmRunBackup(const std::string& destFolder, const std::vector<std::string>& recordings,
                         const BackupOptions& options, BackupProgress& progress)
{
    const std::vector<BackupUnit> units = planBackup(recordings, options.evidence, options.attachedTrack);
    BackupResult checked = checkPlan(destFolder, units);
    if (checked.status != BackupStatus::Done)
        return checked;

    DestinationLock lock;
    switch (lock.acquire(destFolder, options.waitForDestination, progress.canceled, progress)) {
    case DestinationLock::Result::Locked:
        break;
    case DestinationLock::Result::Busy:
        return result(BackupStatus::Busy, destFolder, std::string(), 0);
    case DestinationLock::Result::Canceled:
        return result(BackupStatus::Canceled, std::string(), std::string(), 0);
    case DestinationLock::Result::Failed:
        return result(BackupStatus::NoDestination, destFolder, errorText(lock.error()), 0);
    }
    progress.phase.store(static_cast<int>(BackupPhase::Copying));
    // Before anything is judged: the space they hold counts as free.
    removeStaleTemporaries(destFolder);

    std::vector<BackupItem> items;
    for (const std::string& recording : recordings)
        items.push_back({recording, BackupItemOutcome::NotReached, std::string()});
    std::string package;
    std::string recordingsFolder = destFolder;
    if (options.evidence) {
        int error = 0;
        package = makePackageFolder(destFolder, error);
        if (package.empty()) {
            BackupResult r = result(BackupStatus::WriteFailed, destFolder, errorText(error), 0);
            r.items = items;
            return r;
        }
        recordingsFolder = joinPath(package, "recordings");
        if (::mkdir(recordingsFolder.c_str(), 0755) != 0) {
            BackupResult r = result(BackupStatus::WriteFailed, recordingsFolder, errorText(errno), 0);
            removePackageFolder(package);
            r.items = items;
            return r;
        }
        pmWriteLog("Backup - evidence package " + package);
    }
    // Every way out after this point: the items, and no unfinished package.
    int copied = 0;
    int identical = 0;
    std::vector<std::string> madeFolders; // in the destination, by this run
    const auto finish = [&](BackupStatus status, const std::string& file, const std::string& detail) {
        BackupResult r = result(status, file, detail, copied);
        r.identical = identical;
        r.items = items;
        if (status != BackupStatus::Done) {
            removePackageFolder(package);
            // Folders made for copies that did not get there (only when empty).
            for (auto it = madeFolders.rbegin(); package.empty() && it != madeFolders.rend(); ++it)
                ::rmdir(it->c_str());
        } else {
            r.packageFolder = package;
        }
        progress.phase.store(static_cast<int>(BackupPhase::Finished));
        return r;
    };

    std::vector<char> buffer(std::max<std::size_t>(options.blockSize, 4096));
    std::vector<char> other(buffer.size());
    std::vector<PackageEntry> entries;
    std::set<std::string> placed;                  // paths this run has put in place
    std::map<std::string, std::string> logsPlaced; // log source -> its copy
    for (std::size_t index = 0; index < units.size(); ++index) {
        const BackupUnit& unit = units[index];
        const std::string& recording = unit.recording;
        BackupItem& item = items[index];
        progress.current.store(static_cast<int>(index));
        pmWriteLog("sourcePath : " + recording + " destFolderPath:" + destFolder);
        if (progress.canceled.load())
            return finish(BackupStatus::Canceled, recording, std::string());

        const std::string finalPath = joinPath(recordingsFolder, unit.recordingRel);
        const std::string& log = unit.log;
        const std::string finalLog = log.empty() ? std::string() : joinPath(recordingsFolder, unit.logRel);
        const bool logDone = !log.empty() && logsPlaced.count(log);
        // Evidence only: the files the recording's track comes from when they
        // are not its own log (a rear recording's front log, its camera's side
        // files), so the package holds the source of every track it shows.
        std::vector<std::size_t> extras; // those not in place yet
        for (std::size_t i = 0; i < unit.extras.size(); ++i)
            if (!logsPlaced.count(unit.extras[i]) && unit.extras[i] != log)
                extras.push_back(i);

        // Already there with the very same bytes: nothing to copy (plain
        // backup only; a package folder is always new).
        struct stat sourceStat {
        };
        struct stat logStat {
        };
        const uint64_t recordingSize =
            ::stat(recording.c_str(), &sourceStat) == 0 ? static_cast<uint64_t>(sourceStat.st_size) : 0;
        const uint64_t logSize = !log.empty() && !logDone && ::stat(log.c_str(), &logStat) == 0
                                     ? static_cast<uint64_t>(logStat.st_size)
                                     : 0;
        uint64_t extrasSize = 0;
        for (std::size_t i : extras) {
            struct stat st {
            };
            if (::stat(unit.extras[i].c_str(), &st) == 0)
                extrasSize += static_cast<uint64_t>(st.st_size);
        }
        const bool recordingSame = !options.evidence && sameContent(recording, finalPath, buffer, other);
        const bool logSame =
            log.empty() || logDone || (!options.evidence && sameContent(log, finalLog, buffer, other));
        if (recordingSame && logSame) {
            progress.bytesDone.fetch_add(recordingSize + logSize);
            item.outcome = BackupItemOutcome::Identical;
            ++copied;
            ++identical;
            placed.insert(finalPath);
            if (!log.empty()) {
                logsPlaced.emplace(log, finalLog);
                placed.insert(finalLog);
            }
            pmWriteLog("Backup - " + recording + " is already in " + destFolder + " with identical content");
            continue;
        }

        const auto failed = [&](BackupStatus status, const std::string& file, const std::string& detail) {
            const std::string why = describeFailure(status, file, detail);
            item.outcome =
                status == BackupStatus::Canceled ? BackupItemOutcome::NotReached : BackupItemOutcome::Failed;
            item.reason = why;
            pmWriteLog("Backup - " + recording + " not copied: " + (why.empty() ? "canceled" : why));
            return finish(status, file, detail);
        };

        struct statvfs vfs {
        };
        if (::statvfs(recordingsFolder.c_str(), &vfs) != 0)
            return failed(BackupStatus::WriteFailed, recording, errorText(errno));
        const uint64_t available = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        const uint64_t needed = (recordingSame ? 0 : recordingSize) + (logSame ? 0 : logSize) + extrasSize;
        if (available < needed + kSpareBytes)
            return failed(BackupStatus::NoSpace,
                          logSame ? recording : recording + " and its track log " + log, std::string());
        std::vector<const std::string*> rels{&unit.recordingRel, &unit.logRel};
        for (std::size_t i : extras)
            rels.push_back(&unit.extrasRel[i]);
        for (const std::string* rel : rels)
            if (!makeParents(recordingsFolder, *rel, madeFolders))
                return failed(BackupStatus::WriteFailed, joinPath(recordingsFolder, *rel), errorText(errno));

        StagedFile stagedRecording;
        StagedFile stagedLog;
        std::vector<StagedFile> stagedExtras(extras.size());
        CopyOutcome recordingOut;
        CopyOutcome logOut;
        std::vector<CopyOutcome> extrasOut(extras.size());
        if (!recordingSame) {
            recordingOut = stageCopy(recording, parentOf(finalPath), destFolder, options.evidence,
                                     stagedRecording, options, progress, buffer);
            if (recordingOut.status != BackupStatus::Done)
                return failed(recordingOut.status, recording, recordingOut.detail);
        } else {
            progress.bytesDone.fetch_add(recordingSize);
        }
        if (!logSame) {
            logOut = stageCopy(log, parentOf(finalLog), destFolder, options.evidence, stagedLog, options,
                               progress, buffer);
            if (logOut.status != BackupStatus::Done)
                return failed(logOut.status, log, logOut.detail);
        } else if (!log.empty() && !logDone) {
            progress.bytesDone.fetch_add(logSize);
        }
        for (std::size_t k = 0; k < extras.size(); ++k) {
            const std::string& extra = unit.extras[extras[k]];
            extrasOut[k] =
                stageCopy(extra, parentOf(joinPath(recordingsFolder, unit.extrasRel[extras[k]])), destFolder,
                          options.evidence, stagedExtras[k], options, progress, buffer);
            if (extrasOut[k].status != BackupStatus::Done)
                return failed(extrasOut[k].status, extra, extrasOut[k].detail);
        }

        // Both complete: into place together. Logs that would be read as
        // this recording's track go first, so that at no moment is the new
        // recording shown with an older card's log.
        if (!options.evidence)
            removeShadowingLogs(finalPath, log.empty() ? std::string() : finalLog, placed);
        if (!recordingSame && !stagedRecording.commit(destFolder, finalPath, !options.evidence))
            return failed(BackupStatus::WriteFailed, recording, errorText(errno));
        if (!logSame && !stagedLog.commit(destFolder, finalLog, !options.evidence)) {
            const int error = errno;
            if (!recordingSame)
                ::unlink(finalPath.c_str());
            return failed(BackupStatus::WriteFailed, log, errorText(error));
        }
        // (Evidence only, and the package goes whole on failure.)
        for (std::size_t k = 0; k < extras.size(); ++k)
            if (!stagedExtras[k].commit(destFolder, joinPath(recordingsFolder, unit.extrasRel[extras[k]]),
                                        false))
                return failed(BackupStatus::WriteFailed, unit.extras[extras[k]], errorText(errno));
        std::set<std::string> folders{recordingsFolder, parentOf(finalPath)};
        if (!finalLog.empty())
            folders.insert(parentOf(finalLog));
        for (std::size_t i : extras)
            folders.insert(parentOf(joinPath(recordingsFolder, unit.extrasRel[i])));
        for (const std::string& folder : folders)
            syncFolder(folder);
        ++copied;
        item.outcome = BackupItemOutcome::Copied;
        placed.insert(finalPath);
        if (!log.empty()) {
            logsPlaced.emplace(log, finalLog);
            placed.insert(finalLog);
        }
        for (std::size_t i : extras)
            logsPlaced.emplace(unit.extras[i], joinPath(recordingsFolder, unit.extrasRel[i]));
        if (options.evidence) {
            // Where each file came from, whatever folder the caller stood in.
            entries.push_back({"recordings/" + unit.recordingRel, absoluteNormal(recording),
                               recordingOut.size, recordingOut.mtime, Sha256::toHex(recordingOut.digest)});
            if (!logSame)
                entries.push_back({"recordings/" + unit.logRel, absoluteNormal(log), logOut.size,
                                   logOut.mtime, Sha256::toHex(logOut.digest)});
            for (std::size_t k = 0; k < extras.size(); ++k)
                entries.push_back({"recordings/" + unit.extrasRel[extras[k]],
                                   absoluteNormal(unit.extras[extras[k]]), extrasOut[k].size,
                                   extrasOut[k].mtime, Sha256::toHex(extrasOut[k].digest)});
        }
    }
    progress.current.store(static_cast<int>(recordings.size()));
    if (!options.evidence) {
        lock.release();
        return finish(BackupStatus::Done, std::string(), std::string());
    }

    // The tracks, as the application loads them, in three formats, each
    // named after the recording's whole file name (its path, where the
    // recordings keep theirs). They are read from the verified copies in the
    // package, never from the card again: what the tracks show is what the
    // package holds.
    progress.phase.store(static_cast<int>(BackupPhase::Packaging));
    const std::string tracksFolder = joinPath(package, "tracks");
    if (::mkdir(tracksFolder.c_str(), 0755) != 0)
        return finish(BackupStatus::WriteFailed, tracksFolder, errorText(errno));
    const std::string creator = options.application + (options.version.empty() ? "" : " " + options.version);
    std::string detail;
    std::string clockText;    // the camera clock against the GPS time, per recording whose track has it
    std::string attachedText; // the tracks attached from other devices, per recording
    for (const BackupUnit& unit : units) {
        if (progress.canceled.load())
            return finish(BackupStatus::Canceled, std::string(), std::string());
        const std::string& recording = unit.recording;
        const std::string copy = joinPath(recordingsFolder, unit.recordingRel);
        std::string logCopy;
        if (!unit.trackSource.empty()) {
            const auto at = logsPlaced.find(unit.trackSource);
            logCopy = at != logsPlaced.end() ? at->second : copy; // else the recording itself
        }
        GpsList list;
        const auto seconds = [&] { return options.videoSeconds ? options.videoSeconds(copy) : 0.0; };
        TrackLoadResult loaded = loadTrackFrom(recording, logCopy, copy, seconds, list);
        if (unit.attached) {
            // Read from its copy in the package, like every other track here.
            const auto at = logsPlaced.find(unit.extras.back());
            const std::string attachedCopy = at != logsPlaced.end() ? at->second : unit.extras.back();
            GpsList attached;
            std::string why;
            attachedText += "  " + escapeField("recordings/" + unit.recordingRel) + ": " +
                            escapeField(unit.attached->trackFile) + " (copied as " +
                            escapeField("recordings/" + unit.extrasRel.back()) + "), offset " +
                            pmTrackOffsetText(unit.attached->offsetSeconds) +
                            (unit.attached->wholeTrip ? ", attached to its whole trip" : "");
            if (pmLoadAttachedTrack(attachedCopy, unit.attached->offsetSeconds, recording, seconds(),
                                    attached, why)) {
                pmTakeAttachedPositions(list, attached);
                loaded.sourcePath = unit.attached->trackFile;
                attachedText += "\n";
            } else {
                attachedText += "; not used: " + why + "\n";
            }
        }
        int64_t cameraStart = 0;
        if (pmNameWallClockMs(recording, cameraStart)) {
            const std::string lines = pmCameraClockLines(list, cameraStart, "  ");
            if (!lines.empty())
                clockText += escapeField(unit.recordingRel) + ":\n" + lines;
        }
        if (!pmTrackHasPositions(list))
            continue;
        const std::string name = pmGetFileName(recording, false);
        std::vector<std::string> made;
        if (!makeParents(tracksFolder, unit.recordingRel, made))
            return finish(BackupStatus::WriteFailed, joinPath(tracksFolder, unit.recordingRel),
                          errorText(errno));
        for (const auto& [format, ext] :
             {std::pair{TrackFormat::Kml, ".kml"}, std::pair{TrackFormat::Gpx, ".gpx"},
              std::pair{TrackFormat::Csv, ".csv"}}) {
            const std::string relative = "tracks/" + unit.recordingRel + ext;
            const std::string path = joinPath(package, relative);
            if (pmExportTrack(format, path, list, recording, loaded.sourcePath, creator, name) !=
                TrackExportResult::Ok)
                return finish(BackupStatus::WriteFailed, path, errorText(errno ? errno : EIO));
            if (!addWrittenFile(package, relative, buffer, entries, detail))
                return finish(BackupStatus::WriteFailed, path, detail);
        }
        if (!made.empty())
            syncFolder(parentOf(joinPath(tracksFolder, unit.recordingRel)));
    }
    syncFolder(tracksFolder);

    // What was packaged, and from where.
    std::string text = creator + "\nEvidence package\n";
    text += "Source folder: " + escapeField(options.sourceFolder) + "\n";
    const auto now = pmNow();
    text += "Packaged: " + pmFormatUtcTime(now) + " (local " + localText(now, "%Y-%m-%d %H:%M:%S %z") + ")\n";
    text += "Files: " + std::to_string(entries.size()) + " (and this file; SHA256SUMS covers them all)\n\n";
    text += "size\tmodified (UTC)\tfile\tsource\n";
    for (const PackageEntry& e : entries)
        text += std::to_string(e.size) + "\t" + utcText(e.mtime) + "\t" + escapeField(e.name) + "\t" +
                escapeField(e.source) + "\n";
    if (!attachedText.empty())
        text += "\nTracks from other devices (their positions replace the camera's own):\n" + attachedText;
    if (!clockText.empty())
        text += "\nCamera clock against the GPS time in the tracks:\n" + clockText;
    const std::string packagePath = joinPath(package, "package.txt");
    if (!writeWholeFile(packagePath, text, detail) ||
        !addWrittenFile(package, "package.txt", buffer, entries, detail))
        return finish(BackupStatus::WriteFailed, packagePath, detail);

    // Last: the checksums, complete before they have their name.
    std::string sums;
    for (const PackageEntry& e : entries)
        sums += pmSha256SumLine(e.digest, e.name);
    const std::string sumsPath = joinPath(package, "SHA256SUMS");
    StagedFile stagedSums;
    if (!stagedSums.open(package, destFolder) || !writeAll(stagedSums.fd(), sums.data(), sums.size()) ||
        ::fsync(stagedSums.fd()) != 0 || !stagedSums.commit(destFolder, sumsPath, false))
        return finish(BackupStatus::WriteFailed, sumsPath, errorText(errno));
    syncFolder(package);
    lock.release();
    return finish(BackupStatus::Done, std::string(), std::string());
}

std::string pmSha256SumLine(const std::string& hexDigest, const std::string& name)
{
    // sha256sum marks an escaped name with a leading backslash and then reads
    // \\, \n and \r inside it.
    std::string escaped;
    bool needsEscape = false;
    for (char c : name) {
        if (c == '\\') {
            escaped += "\\\\";
            needsEscape = true;
        } else if (c == '\n') {
            escaped += "\\n";
            needsEscape = true;
        } else if (c == '\r') {
            escaped += "\\r";
            needsEscape = true;
        } else {
            escaped += c;
        }
    }
    return (needsEscape ? "\\" : "") + hexDigest + "  " + escaped + "\n";
}

std::string pmDescribeBackupResult(const BackupResult& r)
{
    auto with = [&](const std::string& text) { return r.detail.empty() ? text : text + ": " + r.detail; };
    switch (r.status) {
    case BackupStatus::Done:
        return std::string();
    case BackupStatus::Canceled:
        return "canceled";
    case BackupStatus::NoDestination:
        return with("the destination " + r.file + " cannot be used");
    case BackupStatus::SourceInDestination:
        return r.file + " is in the destination folder; a backup must go to another folder";
    case BackupStatus::DuplicateName:
        return r.file + " has the same name as another chosen recording or its log";
    case BackupStatus::ReservedName:
        return r.file + " has a name the backup keeps for itself";
    case BackupStatus::Busy:
        return r.file + " is in use by another backup";
    case BackupStatus::NoSpace:
        return "not enough free space for " + r.file;
    case BackupStatus::ReadFailed:
        return with("cannot read " + r.file);
    case BackupStatus::SourceChanged:
        return r.file + " " + kChanged;
    case BackupStatus::WriteFailed:
        return with("cannot write the copy of " + r.file);
    case BackupStatus::VerifyFailed:
        return with("the copy of " + r.file + " does not verify");
    }
    return std::string();
}

std::string pmMakeNewFolder(const std::string& dest, const std::string& base, int& error)
{
    for (int n = 1; n < 10000; ++n) {
        const std::string path = joinPath(dest, n == 1 ? base : base + "-" + std::to_string(n));
        if (::mkdir(path.c_str(), 0755) == 0)
            return path;
        if (errno != EEXIST) {
            error = errno;
            return std::string();
        }
    }
    error = EEXIST;
    return std::string();
}

struct StagedCopy::Impl {
    StagedFile staged;
    std::string folder;
};

StagedCopy::StagedCopy() : m_impl(new Impl) {}

StagedCopy::~StagedCopy() = default;

BackupStatus StagedCopy::stage(const std::string& source, const std::string& folder,
                               const BackupOptions& options, BackupProgress& progress, std::string& detail)
{
    m_impl->staged.discard();
    m_impl->folder = folder;
    m_sha256.clear();
    m_size = 0;
    std::vector<char> buffer(std::max<std::size_t>(options.blockSize, 4096));
    const CopyOutcome out =
        stageCopy(source, folder, folder, options.evidence, m_impl->staged, options, progress, buffer, true);
    detail = out.detail;
    if (out.status != BackupStatus::Done) {
        m_impl->staged.discard();
        return out.status;
    }
    m_sha256 = Sha256::toHex(out.digest);
    m_size = out.size;
    return BackupStatus::Done;
}

bool StagedCopy::place(const std::string& path)
{
    if (m_sha256.empty()) {
        errno = EINVAL;
        return false;
    }
    if (!m_impl->staged.commit(m_impl->folder, path, false))
        return false;
    // The name must outlive a power cut before anyone is told the file is kept.
    syncFolder(parentOf(path));
    m_sha256.clear();
    return true;
}

void StagedCopy::discard()
{
    m_impl->staged.discard();
    m_sha256.clear();
}

bool pmHashFileSha256(const std::string& path, std::string& hexDigest, std::string& detail)
{
    std::vector<char> buffer(1 << 20);
    Sha256::Digest digest{};
    int error = 0;
    if (!hashFile(path, buffer, digest, error)) {
        detail = errorText(error);
        return false;
    }
    hexDigest = Sha256::toHex(digest);
    return true;
}
