// Many lines name "AppDelegate" ("AppDelegate::rebuildPlaylist", "AppDelegate -
// ready to open video : ...") although the library, playback and export
// objects write them now: their text stays as it is, because the tests and the
// logs users send in are read by those words.
#include "core/Log.h"

#include "core/Clock.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::mutex& configMutex()
{
    static std::mutex m;
    return m;
}
std::filesystem::path& logPath()
{
    static std::filesystem::path p;
    return p;
}
// Opens the log for appending. Its name is never followed: a link put where
// the log goes would have the lines appended to whatever it points at, a
// file of the user's or of the system's. A link there is replaced by a
// fresh log (the log is thrown away at each launch anyway); anything else
// that is not a plain file (a folder, a pipe) makes the line be dropped.
int openLogFile(const std::filesystem::path& path)
{
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(path.c_str(), kFlags, 0644);
        if (fd < 0 && errno == ELOOP) {
            struct stat st {
            };
            if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || ::unlink(path.c_str()) != 0)
                return -1;
            fd = ::open(path.c_str(), kFlags | O_EXCL, 0644);
            if (fd < 0 && errno == EEXIST)
                continue; // something was put there meanwhile: look at it again
        }
        if (fd < 0)
            return -1;
        struct stat st {
        };
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    return -1;
}
} // namespace

void pmSetLogFilePath(const std::filesystem::path& path)
{
    std::lock_guard<std::mutex> lock(configMutex());
    logPath() = path;
}

std::filesystem::path pmGetLogFilePath()
{
    std::lock_guard<std::mutex> lock(configMutex());
    return logPath();
}

std::string pmFormatLogLine(std::chrono::system_clock::time_point when, const std::string& message)
{
    const std::time_t secs = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&secs, &local);
    const auto sinceEpoch = when.time_since_epoch();
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count() % 1000000;
    if (micros < 0)
        micros += 1000000;
    const long millis = static_cast<long>(micros / 1000);
    char head[64];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%ld ", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
    std::string line(head);
    line += message;
    line += '\n';
    return line;
}

void pmWriteLog(const std::string& message)
{
    std::filesystem::path path;
    {
        std::lock_guard<std::mutex> lock(configMutex());
        path = logPath();
    }
    if (path.empty())
        return;
    const auto now = pmNow();
    const std::string line = pmFormatLogLine(now, message);
    const int fd = openLogFile(path);
    if (fd < 0)
        return;
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

void pmResetLog()
{
    const auto path = pmGetLogFilePath();
    if (path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(path, ec);
}
