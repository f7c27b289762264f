#include "tool/MediaDurationProbe.h"

#include "core/ContainerProbe.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

// Longer than the probe's own budget for a file (5 s) plus loading FFmpeg on
// a busy machine; a probe that has not answered by then is stopped.
constexpr auto kProbeWait = std::chrono::seconds(30);

std::string probePath()
{
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    const std::string exe(self, static_cast<std::size_t>(n));
    const auto slash = exe.find_last_of('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1) + "rovixprobe";
}

// The probe's answer on its standard output, at most a short line.
std::string runProbe(const std::string& probe, const std::string& path)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string argv0 = "rovixprobe";
    std::string arg = path;
    char* argv[] = {argv0.data(), arg.data(), nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, probe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    if (spawned != 0) {
        ::close(fds[0]);
        return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + kProbeWait;
    bool stop = false;
    while (!stop && out.size() < 128) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(child, SIGKILL);
            out.clear();
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue; // the deadline is checked above
        char buffer[128];
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            stop = true;
        else
            out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return out;
}

} // namespace

double toolMediaDurationSeconds(const std::string& path)
{
    struct stat st {
    };
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    const double fromHeader = pmGetContainerDurationSeconds(path);
    if (fromHeader > 0)
        return fromHeader;
    const std::string probe = probePath();
    if (probe.empty())
        return 0;
    const std::string answer = runProbe(probe, path);
    double seconds = 0;
    const char* end = answer.data() + answer.size();
    const auto parsed = std::from_chars(answer.data(), end, seconds);
    if (parsed.ec != std::errc() || !std::isfinite(seconds) || seconds <= 0)
        return 0;
    return seconds;
}
