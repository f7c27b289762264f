#include "core/BlackVueGps.h"

#include <algorithm>
#include <cstring>

namespace
{

// A day of NMEA lines at one second is about 13 MB, of G records at ten a
// second under 9 MB: more than this of either is not read.
constexpr std::size_t kMaxPart = 16u << 20;
// A millisecond time this large is a calendar time (ms since 1970), not one
// counted from the start of the recording.
constexpr int64_t kCalendarMs = 100000000000LL;

bool childTypeKnown(const unsigned char* p)
{
    static const char* const kTypes[] = {"cprt", "sttm", "ptnm", "ptrh", "thum", "gps ", "3gf "};
    if (p[0] != 0 || p[1] != 0)
        return false;
    for (const char* type : kTypes)
        if (std::memcmp(p + 4, type, 4) == 0)
            return true;
    return false;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool pmParseBlackVueNmea(const unsigned char* data, std::size_t size, int64_t startMs, EmbeddedTrack& track)
{
    if (!data)
        return false;
    const std::size_t before = track.fixes.size();
    const auto* p = reinterpret_cast<const char*>(data);
    const char* const end = p + size;
    int64_t stamp = -1;
    while (p < end && !track.full()) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r' && *lineEnd != '\0')
            ++lineEnd;
        const char* q = p;
        if (q < lineEnd && *q == '[') {
            // "[milliseconds]": at most 19 digits, so the value fits.
            const char* digits = ++q;
            int64_t value = 0;
            while (q < lineEnd && isDigit(*q) && q - digits < 19)
                value = value * 10 + (*q++ - '0');
            if (q < lineEnd && *q == ']' && q > digits) {
                stamp = value;
                ++q;
            } else {
                q = lineEnd; // a damaged prefix: the line is not trusted
            }
        }
        if (q < lineEnd && *q == '$' && stamp >= 0) {
            if (startMs < 0)
                startMs = stamp;
            pmAddNmeaSentence(q, lineEnd, static_cast<double>(stamp - startMs) / 1000.0, track);
        }
        p = lineEnd + 1;
    }
    return track.fixes.size() > before;
}

bool pmParseBlackVue3gf(const unsigned char* data, std::size_t size, int64_t startMs, EmbeddedTrack& track)
{
    if (!data)
        return false;
    const std::size_t before = track.gs.size();
    for (std::size_t pos = 0; pos + 10 <= size && !track.gFull(); pos += 10) {
        const unsigned char* r = data + pos;
        const uint32_t ms = mp4Be32(r);
        if (ms == 0xffffffffu)
            break;
        int64_t at = ms;
        if (at >= kCalendarMs && startMs >= 0)
            at -= startMs;
        EmbeddedG g;
        g.time = static_cast<double>(at) / 1000.0;
        // Tenths of g.
        g.x = static_cast<int16_t>(mp4Be16(r + 4)) / 10.0;
        g.y = static_cast<int16_t>(mp4Be16(r + 6)) / 10.0;
        g.z = static_cast<int16_t>(mp4Be16(r + 8)) / 10.0;
        track.addG(g);
    }
    return track.gs.size() > before;
}

namespace
{

bool readWhole(Mp4File& file, uint64_t offset, uint64_t size, std::vector<unsigned char>& out)
{
    return file.readBlock(offset, size, out, kMaxPart);
}

// NAME.gps and NAME.3gf beside NAME.mp4; older models also name them
// without the camera letter (…_NF.mp4 beside …_N.gps), shared by both
// cameras.
std::vector<std::string> sideStems(const std::string& path)
{
    std::vector<std::string> stems;
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return stems;
    const std::string stem = path.substr(0, dot);
    stems.push_back(stem);
    const std::size_t n = stem.size();
    if (n >= 3 && stem[n - 3] == '_' && std::strchr("NEPM", stem[n - 2]) && std::strchr("FRI", stem[n - 1]))
        stems.push_back(stem.substr(0, n - 1));
    return stems;
}

bool readSideFiles(const std::string& path, int64_t startMs, EmbeddedTrack& track)
{
    std::vector<unsigned char> bytes;
    for (const std::string& stem : sideStems(path)) {
        bool found = false;
        for (const char* ext : {".gps", ".GPS"}) {
            Mp4File side(stem + ext);
            if (side.isOpen() && readWhole(side, 0, side.size(), bytes)) {
                if (pmParseBlackVueNmea(bytes.data(), bytes.size(), startMs, track)) {
                    found = true;
                    track.sourceFile = side.path();
                }
                break;
            }
        }
        for (const char* ext : {".3gf", ".3GF"}) {
            Mp4File side(stem + ext);
            if (side.isOpen() && readWhole(side, 0, side.size(), bytes)) {
                if (pmParseBlackVue3gf(bytes.data(), bytes.size(), startMs, track)) {
                    if (!found)
                        track.sourceFile = side.path();
                    found = true;
                }
                break;
            }
        }
        if (found)
            return true;
    }
    return false;
}

} // namespace

bool pmReadBlackVueGps(EmbeddedInput& input, EmbeddedTrack& track)
{
    int64_t startMs = -1;
    Mp4Box nmea;
    Mp4Box sensor;
    bool haveNmea = false;
    bool haveSensor = false;
    for (const Mp4Box& box : input.top) {
        unsigned char head[8];
        if (!box.is(mp4Type("free")) || box.contentSize() < 8 ||
            !input.file.readExact(box.contentOffset(), head, sizeof head) || !childTypeKnown(head))
            continue;
        Mp4BoxWalker walker(input.file, box);
        Mp4Box child;
        while (walker.next(child)) {
            if (child.is(mp4Type("sttm")) && child.contentSize() >= 8) {
                unsigned char value[8];
                if (input.file.readExact(child.contentOffset(), value, sizeof value)) {
                    const uint64_t ms = mp4Be64(value);
                    if (ms < (uint64_t(1) << 62))
                        startMs = static_cast<int64_t>(ms);
                }
            } else if (child.is(mp4Type("gps ")) && !haveNmea) {
                nmea = child;
                haveNmea = true;
            } else if (child.is(mp4Type("3gf ")) && !haveSensor) {
                sensor = child;
                haveSensor = true;
            }
        }
        break; // a duplicated box (some firmware writes two) adds nothing
    }
    std::vector<unsigned char> bytes;
    if (haveNmea && readWhole(input.file, nmea.contentOffset(), nmea.contentSize(), bytes))
        pmParseBlackVueNmea(bytes.data(), bytes.size(), startMs, track);
    if (haveSensor && readWhole(input.file, sensor.contentOffset(), sensor.contentSize(), bytes))
        pmParseBlackVue3gf(bytes.data(), bytes.size(), startMs, track);
    if (track.empty() && !input.path.empty())
        readSideFiles(input.path, startMs, track);
    if (track.empty())
        return false;
    track.format = "blackvue";
    return true;
}
