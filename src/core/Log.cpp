#include "core/Log.h"

#include "core/Clock.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace {
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
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%ld ", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
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
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f)
        return;
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
}

void pmResetLog()
{
    const auto path = pmGetLogFilePath();
    if (path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(path, ec);
}
