#include "Common.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

namespace mediagen
{

namespace
{

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
long daysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long yy = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

} // namespace

std::string StartTime::nameStamp() const
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d-%02d%02d%02d", year % 100, month % 100, day % 100,
                  hour % 100, minute % 100, second % 100);
    return buf;
}

StartTime StartTime::plusSeconds(long seconds) const
{
    const long total =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400L +
        hour * 3600L + minute * 60L + second + seconds;
    long days = total / 86400;
    long rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    StartTime t;
    civilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

std::time_t StartTime::toLocalEpoch() const
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

bool StartTime::parse(const std::string& stamp, StartTime& out)
{
    if (stamp.size() != 13 || stamp[6] != '-')
        return false;
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        if (i != 6 && (stamp[i] < '0' || stamp[i] > '9'))
            return false;
    }
    auto two = [&](std::size_t pos) { return (stamp[pos] - '0') * 10 + (stamp[pos + 1] - '0'); };
    StartTime t;
    t.year = 2000 + two(0);
    t.month = two(2);
    t.day = two(4);
    t.hour = two(7);
    t.minute = two(9);
    t.second = two(11);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
        t.second > 59)
        return false;
    out = t;
    return true;
}

bool setFileTime(const std::string& path, std::time_t when)
{
    struct timespec times[2];
    times[0].tv_sec = when;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool fail(std::string* error, const std::string& message)
{
    if (error)
        *error = message;
    return false;
}

bool readFile(const std::string& path, std::string& out, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail(error, "cannot open " + path + ": " + std::strerror(errno));
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeFile(const std::string& path, const std::string& data, std::string* error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return fail(error, "cannot create " + path + ": " + std::strerror(errno));
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out)
        return fail(error, "cannot write " + path);
    return true;
}

uint32_t Rng::next()
{
    // splitmix64: tiny, fast, and the same on every platform.
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

double Rng::uniform(double lo, double hi)
{
    return lo + (hi - lo) * (next() / 4294967296.0);
}

void putBe16(std::string& s, std::size_t at, uint16_t v)
{
    s[at] = static_cast<char>(v >> 8);
    s[at + 1] = static_cast<char>(v);
}

void putBe32(std::string& s, std::size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

void putLe32(std::string& s, std::size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

uint32_t getBe32(const std::string& s, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    return v;
}

uint32_t getLe32(const std::string& s, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    return v;
}

} // namespace mediagen
