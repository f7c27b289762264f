#include "core/BackupEngine.h"

#include "core/Clock.h"
#include "core/FileRules.h"
#include "core/GpsList.h"
#include "core/Log.h"
#include "core/Sha256.h"
#include "core/TrackExport.h"
#include "core/TrackLoader.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>

namespace
{

// Room kept free on the destination beyond the recording itself.
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

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
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

// A name for the copy in progress, unique in this process, never a recording's name.
std::string temporaryPath(const std::string& folder)
{
    static std::atomic<unsigned> counter{0};
    return joinPath(folder, ".rovix-part-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
}

void removeTemporary(const std::string& path)
{
    struct stat st {
    };
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
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

// The durable end of a rename: the folder entry itself reaches the disk.
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
    if (errno == EEXIST)
        return false;
    struct stat st {
    };
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool hashFile(const std::string& path, std::vector<char>& buffer, Sha256::Digest& digest, int& error)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        error = errno;
        return false;
    }
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
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

struct CopyRequest {
    std::string source;
    std::string destFolder;
    std::string finalPath;
    bool counted = false;  // a recording: free-space check, progress, cancel
    bool evidence = false; // hash while reading, read the copy back and compare
    bool replace = true;   // an existing file of that name is replaced (else left alone)
};

struct CopyOutcome {
    BackupStatus status = BackupStatus::Done;
    std::string detail;
    bool skipped = false; // not replaced: the destination already had that name
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

CopyOutcome copyOne(const CopyRequest& request, const BackupOptions& options, BackupProgress& progress,
                    std::vector<char>& buffer)
{
    // Never block on a FIFO or a device that poses as a recording.
    FileDescriptor src(::open(request.source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (src.get() < 0)
        return fail(BackupStatus::ReadFailed, errorText(errno));
    struct stat st {
    };
    if (::fstat(src.get(), &st) != 0)
        return fail(BackupStatus::ReadFailed, errorText(errno));
    if (!S_ISREG(st.st_mode))
        return fail(BackupStatus::ReadFailed, "not a regular file");
    const uint64_t size = static_cast<uint64_t>(st.st_size);

    if (request.counted) {
        struct statvfs vfs {
        };
        if (::statvfs(request.destFolder.c_str(), &vfs) != 0)
            return fail(BackupStatus::WriteFailed, errorText(errno));
        const uint64_t available = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        if (available < size + kSpareBytes)
            return fail(BackupStatus::NoSpace, std::string());
    }

    const std::string temp = temporaryPath(request.destFolder);
    FileDescriptor dst(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644));
    if (dst.get() < 0)
        return fail(BackupStatus::WriteFailed, errorText(errno));
    // From here on every failure removes the partial copy.
    auto abandon = [&](BackupStatus status, const std::string& detail) {
        dst.reset();
        removeTemporary(temp);
        return fail(status, detail);
    };

    ::posix_fadvise(src.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 hash;
    uint64_t copied = 0;
    for (;;) {
        const ssize_t n = readSome(src.get(), buffer.data(), buffer.size());
        if (n < 0)
            return abandon(BackupStatus::ReadFailed, errorText(errno));
        if (n == 0)
            break;
        const auto length = static_cast<std::size_t>(n);
        if (request.evidence)
            hash.update(buffer.data(), length);
        if (!writeAll(dst.get(), buffer.data(), length))
            return abandon(BackupStatus::WriteFailed, errorText(errno));
        copied += length;
        if (request.counted) {
            const uint64_t done = progress.bytesDone.fetch_add(length) + length;
            if (options.onBlock)
                options.onBlock(done);
        }
        // Cancel before waiting for the disk: a stopped copy has nothing to wait for.
        if (progress.canceled.load())
            return abandon(BackupStatus::Canceled, std::string());
        if (!writeBehind(dst.get(), copied - length, length))
            return abandon(BackupStatus::WriteFailed, errorText(errno));
    }
    // A recording that shrank, grew or went away while it was read is not
    // the file the user chose: its copy is not a backup of anything.
    if (copied != size)
        return abandon(BackupStatus::ReadFailed, "the file changed while it was copied");
    struct stat now {
    };
    if (::stat(request.source.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)
        return abandon(BackupStatus::ReadFailed, "the file disappeared while it was copied");

    // Keep the source's permission bits (a protected recording stays
    // read-only, which is how an event recording without a prefix is known)
    // and its modification time (the copy files under the same day).
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::fsync(dst.get()) != 0 || ::fchmod(dst.get(), st.st_mode & 07777) != 0 ||
        ::futimens(dst.get(), times) != 0)
        return abandon(BackupStatus::WriteFailed, errorText(errno));
    if (!dst.close()) {
        const int error = errno;
        removeTemporary(temp);
        return fail(BackupStatus::WriteFailed, errorText(error));
    }

    CopyOutcome out;
    out.size = copied;
    out.mtime = st.st_mtim;
    if (request.evidence) {
        out.digest = hash.finish();
        Sha256::Digest readBack{};
        int error = 0;
        if (!hashFile(temp, buffer, readBack, error)) {
            removeTemporary(temp);
            return fail(BackupStatus::VerifyFailed, "cannot read the copy back: " + errorText(error));
        }
        if (readBack != out.digest) {
            removeTemporary(temp);
            return fail(BackupStatus::VerifyFailed, "the copy read back differs from the recording");
        }
    }

    const bool renamed = request.replace ? ::rename(temp.c_str(), request.finalPath.c_str()) == 0
                                         : renameNoReplace(temp, request.finalPath);
    if (!renamed) {
        const int error = errno;
        removeTemporary(temp);
        if (!request.replace && error == EEXIST) {
            out.skipped = true;
            return out;
        }
        return fail(BackupStatus::WriteFailed, errorText(error));
    }
    syncFolder(request.destFolder);
    return out;
}

// A package file made in memory: written under a temporary name, flushed, renamed.
bool writeWholeFile(const std::string& folder, const std::string& path, const std::string& text,
                    std::string& detail)
{
    const std::string temp = temporaryPath(folder);
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644));
    bool ok = fd.get() >= 0 && writeAll(fd.get(), text.data(), text.size()) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        detail = errorText(errno);
        removeTemporary(temp);
        return false;
    }
    syncFolder(folder);
    return true;
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

std::string localText(std::chrono::system_clock::time_point when)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[80];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
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

} // namespace

uint64_t pmBackupTotalSize(const std::vector<std::string>& recordings)
{
    uint64_t total = 0;
    for (const std::string& path : recordings) {
        struct stat st {
        };
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            total += static_cast<uint64_t>(st.st_size);
    }
    return total;
}

BackupResult pmCheckBackupDestination(const std::string& destFolder,
                                      const std::vector<std::string>& recordings)
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
    std::set<std::string> names;
    for (const std::string& recording : recordings) {
        const std::string name = pmGetFileName(recording, false);
        const auto slash = recording.find_last_of('/');
        const std::string parent = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : recording.substr(0, slash);
        struct stat folder {
        };
        if (::stat(parent.c_str(), &folder) == 0 && folder.st_dev == dest.st_dev &&
            folder.st_ino == dest.st_ino)
            return result(BackupStatus::SourceInDestination, recording, "the destination holds the recording",
                          0);
        if (pmIsSameFile(joinPath(destFolder, name), recording))
            return result(BackupStatus::SourceInDestination, recording, "the destination holds the recording",
                          0);
        if (!names.insert(name).second)
            return result(BackupStatus::DuplicateName, recording, "another recording has the same name", 0);
    }
    return result(BackupStatus::Done, std::string(), std::string(), 0);
}

BackupResult pmRunBackup(const std::string& destFolder, const std::vector<std::string>& recordings,
                         const BackupOptions& options, BackupProgress& progress)
{
    const BackupResult checked = pmCheckBackupDestination(destFolder, recordings);
    if (checked.status != BackupStatus::Done)
        return checked;

    std::vector<char> buffer(std::max<std::size_t>(options.blockSize, 4096));
    std::vector<PackageEntry> entries;
    std::vector<std::string> notes;
    int copied = 0;
    for (const std::string& recording : recordings) {
        pmWriteLog("sourcePath : " + recording + " destFolderPath:" + destFolder);
        if (progress.canceled.load())
            return result(BackupStatus::Canceled, recording, std::string(), copied);
        CopyRequest request;
        request.source = recording;
        request.destFolder = destFolder;
        request.finalPath = joinPath(destFolder, pmGetFileName(recording, false));
        request.counted = true;
        request.evidence = options.evidence;
        const CopyOutcome out = copyOne(request, options, progress, buffer);
        if (out.status != BackupStatus::Done) {
            pmWriteLog("Backup - " + recording + " not copied: " +
                       pmDescribeBackupResult(result(out.status, recording, out.detail, copied)));
            return result(out.status, recording, out.detail, copied);
        }
        ++copied;
        entries.push_back(
            {pmGetFileName(recording, false), recording, out.size, out.mtime, Sha256::toHex(out.digest)});

        // The companion log: not counted, its failure does not stop the job,
        // and a log already in the destination is left as it is.
        const std::string log = pmGetGpsLogFile(recording);
        if (log.empty())
            continue;
        const std::string logName = pmGetFileName(log, false);
        CopyRequest logRequest;
        logRequest.source = log;
        logRequest.destFolder = destFolder;
        logRequest.finalPath = joinPath(destFolder, logName);
        logRequest.evidence = options.evidence;
        logRequest.replace = false;
        struct stat existing {
        };
        CopyOutcome logOut;
        if (::lstat(logRequest.finalPath.c_str(), &existing) == 0)
            logOut.skipped = true;
        else
            logOut = copyOne(logRequest, options, progress, buffer);
        if (logOut.status != BackupStatus::Done) {
            pmWriteLog("Backup - track log " + log + " not copied: " + logOut.detail);
            if (options.evidence)
                notes.push_back(logName + ": not copied (" + logOut.detail + ")");
            continue;
        }
        if (!options.evidence)
            continue;
        if (!logOut.skipped) {
            entries.push_back({logName, log, logOut.size, logOut.mtime, Sha256::toHex(logOut.digest)});
            continue;
        }
        // The destination had a log of that name before: it belongs in the
        // package only when it holds the very bytes of the source's log.
        Sha256::Digest source{};
        Sha256::Digest there{};
        int error = 0;
        struct stat st {
        };
        if (hashFile(log, buffer, source, error) && hashFile(logRequest.finalPath, buffer, there, error) &&
            source == there && ::stat(logRequest.finalPath.c_str(), &st) == 0)
            entries.push_back(
                {logName, log, static_cast<uint64_t>(st.st_size), st.st_mtim, Sha256::toHex(there)});
        else
            notes.push_back(logName + ": already in the folder and different from " + log +
                            "; left untouched and not covered by SHA256SUMS");
    }
    if (!options.evidence)
        return result(BackupStatus::Done, std::string(), std::string(), copied);

    // The tracks, as the application loads them, in three formats.
    const std::string tracksFolder = joinPath(destFolder, "tracks");
    const std::string creator = options.application + (options.version.empty() ? "" : " " + options.version);
    std::set<std::string> stems;
    std::string detail;
    for (const std::string& recording : recordings) {
        GpsList list;
        const TrackLoadResult loaded = loadTrack(
            recording, [&] { return options.videoSeconds ? options.videoSeconds(recording) : 0.0; }, list);
        if (!pmTrackHasPositions(list))
            continue;
        if (::mkdir(tracksFolder.c_str(), 0755) != 0 && errno != EEXIST)
            return result(BackupStatus::WriteFailed, tracksFolder, errorText(errno), copied);
        std::string stem = pmGetFileName(recording, true);
        if (!stems.insert(stem).second)
            stem = pmGetFileName(recording, false);
        for (const auto& [format, ext] :
             {std::pair{TrackFormat::Kml, ".kml"}, std::pair{TrackFormat::Gpx, ".gpx"},
              std::pair{TrackFormat::Csv, ".csv"}}) {
            const std::string name = "tracks/" + stem + ext;
            const std::string path = joinPath(destFolder, name);
            const std::string temp = temporaryPath(tracksFolder);
            const TrackExportResult written =
                pmExportTrack(format, temp, list, recording, loaded.sourcePath, creator);
            if (written != TrackExportResult::Ok || ::rename(temp.c_str(), path.c_str()) != 0) {
                const int error = errno;
                removeTemporary(temp);
                return result(BackupStatus::WriteFailed, path, errorText(error), copied);
            }
            if (!addWrittenFile(destFolder, name, buffer, entries, detail))
                return result(BackupStatus::WriteFailed, path, detail, copied);
        }
    }
    syncFolder(tracksFolder);

    // What was packaged, and from where.
    std::string text = creator + "\nEvidence package\n";
    text += "Source folder: " + escapeField(options.sourceFolder) + "\n";
    const auto now = pmNow();
    text += "Packaged: " + pmFormatUtcTime(now) + " (local " + localText(now) + ")\n";
    text += "Files: " + std::to_string(entries.size()) + " (and this file; SHA256SUMS covers them all)\n\n";
    text += "size\tmodified (UTC)\tfile\tsource\n";
    for (const PackageEntry& e : entries)
        text += std::to_string(e.size) + "\t" + utcText(e.mtime) + "\t" + escapeField(e.name) + "\t" +
                escapeField(e.source) + "\n";
    if (!notes.empty()) {
        text += "\nNotes\n";
        for (const std::string& note : notes)
            text += escapeField(note) + "\n";
    }
    const std::string packagePath = joinPath(destFolder, "package.txt");
    if (!writeWholeFile(destFolder, packagePath, text, detail) ||
        !addWrittenFile(destFolder, "package.txt", buffer, entries, detail))
        return result(BackupStatus::WriteFailed, packagePath, detail, copied);

    std::string sums;
    for (const PackageEntry& e : entries)
        sums += pmSha256SumLine(e.digest, e.name);
    const std::string sumsPath = joinPath(destFolder, "SHA256SUMS");
    if (!writeWholeFile(destFolder, sumsPath, sums, detail))
        return result(BackupStatus::WriteFailed, sumsPath, detail, copied);
    return result(BackupStatus::Done, std::string(), std::string(), copied);
}

std::string pmSha256SumLine(const std::string& hexDigest, const std::string& name)
{
    // sha256sum marks an escaped name with a leading backslash and then reads
    // \\ and \n inside it.
    std::string escaped;
    bool needsEscape = false;
    for (char c : name) {
        if (c == '\\') {
            escaped += "\\\\";
            needsEscape = true;
        } else if (c == '\n') {
            escaped += "\\n";
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
        return r.file + " has the same name as another chosen recording";
    case BackupStatus::NoSpace:
        return "not enough free space for " + r.file;
    case BackupStatus::ReadFailed:
        return with("cannot read " + r.file);
    case BackupStatus::WriteFailed:
        return with("cannot write the copy of " + r.file);
    case BackupStatus::VerifyFailed:
        return with("the copy of " + r.file + " does not verify");
    }
    return std::string();
}
