// GPMF telemetry in the samples of a "gpmd" metadata track.
#include "core/EmbeddedMp4Tracks.h"
#include "core/Mp4SampleTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

namespace
{

// One key-length-value item; `data` holds its structSize x repeat bytes.
struct Klv {
    uint32_t key = 0;
    char type = 0;
    std::size_t structSize = 0;
    std::size_t repeat = 0;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// The items of one container, in order. An item whose data would run past the
// container ends the walk, as does the null key that pads a payload.
class KlvWalker
{
public:
    KlvWalker(const unsigned char* data, std::size_t size) : m_p(data), m_end(data + size) {}
    bool next(Klv& item)
    {
        if (!m_p || m_end - m_p < 8)
            return false;
        item.key = mp4Be32(m_p);
        item.type = static_cast<char>(m_p[4]);
        item.structSize = m_p[5];
        item.repeat = mp4Be16(m_p + 6);
        item.size = item.structSize * item.repeat;
        const auto left = static_cast<std::size_t>(m_end - m_p - 8);
        if (item.key == 0 || item.size > left)
            return false;
        item.data = m_p + 8;
        const std::size_t padded = (item.size + 3) & ~std::size_t(3);
        m_p += 8 + (padded < left ? padded : left);
        return true;
    }

private:
    const unsigned char* m_p;
    const unsigned char* m_end;
};

std::size_t valueSize(char type)
{
    switch (type) {
    case 'b':
    case 'B':
        return 1;
    case 's':
    case 'S':
        return 2;
    case 'l':
    case 'L':
    case 'f':
    case 'q':
        return 4;
    case 'd':
    case 'j':
    case 'J':
    case 'Q':
        return 8;
    default:
        return 0;
    }
}

// One number of a known type (valueSize(type) bytes at p).
double number(char type, const unsigned char* p)
{
    switch (type) {
    case 'b':
        return static_cast<int8_t>(p[0]);
    case 'B':
        return p[0];
    case 's':
        return static_cast<int16_t>(mp4Be16(p));
    case 'S':
        return mp4Be16(p);
    case 'l':
        return static_cast<int32_t>(mp4Be32(p));
    case 'L':
        return mp4Be32(p);
    case 'q':
        return static_cast<int32_t>(mp4Be32(p)) / 65536.0;
    case 'f': {
        const uint32_t bits = mp4Be32(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    case 'd': {
        const uint64_t bits = mp4Be64(p);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    case 'j':
        return static_cast<double>(static_cast<int64_t>(mp4Be64(p)));
    case 'J':
        return static_cast<double>(mp4Be64(p));
    case 'Q':
        return static_cast<int64_t>(mp4Be64(p)) / 4294967296.0;
    default:
        return 0;
    }
}

// What one "STRM" container says; the telemetry is decoded once the whole
// stream is known, so the order of its items does not matter.
struct Stream {
    static constexpr std::size_t kMaxScales = 16;
    double scale[kMaxScales] = {};
    std::size_t scales = 0;
    int64_t utcMs = EmbeddedFix::kNoTime;
    int fix = -1; // GPSF: 0 no lock, 2 or 3 a fix; -1 not stated
    std::string type;
    std::string orientation;
    Klv gps5, gps9, accl;

    // Divisor of the i-th value of an entry; 0 when the stream has none.
    double divisor(std::size_t i) const { return scales ? scale[i % scales] : 0; }
};

std::string text(const Klv& item)
{
    std::string s(reinterpret_cast<const char*>(item.data), item.size);
    s.resize(std::strlen(s.c_str()));
    return s;
}

// "yymmddhhmmss.sss", UTC.
int64_t parseGpsu(const Klv& item)
{
    if (item.size < 16)
        return EmbeddedFix::kNoTime;
    const unsigned char* p = item.data;
    for (int i = 0; i < 16; ++i)
        if (i != 12 && !std::isdigit(p[i]))
            return EmbeddedFix::kNoTime;
    if (p[12] != '.')
        return EmbeddedFix::kNoTime;
    auto two = [p](int at) { return (p[at] - '0') * 10 + (p[at + 1] - '0'); };
    const double seconds = two(10) + ((p[13] - '0') * 100 + (p[14] - '0') * 10 + (p[15] - '0')) / 1000.0;
    return pmUtcMs(2000 + two(0), two(2), two(4), two(6), two(8), seconds);
}

void readScale(const Klv& item, Stream& stream)
{
    const std::size_t size = valueSize(item.type);
    stream.scales = 0;
    if (!size)
        return;
    for (std::size_t at = 0; at + size <= item.size && stream.scales < Stream::kMaxScales; at += size)
        stream.scale[stream.scales++] = number(item.type, item.data + at);
}

// Entries of a GPS item spread over the sample: entry i of n at time + i/n of
// the duration.
double entryTime(double time, double duration, std::size_t i, std::size_t n)
{
    return time + duration * static_cast<double>(i) / static_cast<double>(n);
}

int64_t entryUtc(int64_t utcMs, double offset)
{
    return utcMs == EmbeddedFix::kNoTime ? utcMs : utcMs + static_cast<int64_t>(std::llround(offset * 1000));
}

bool scalesUsable(const Stream& stream, std::size_t values)
{
    if (!stream.scales)
        return false;
    for (std::size_t i = 0; i < values; ++i)
        if (!(stream.divisor(i) != 0) || !std::isfinite(stream.divisor(i)))
            return false;
    return true;
}

void addGps5(const Stream& stream, double time, double duration, EmbeddedTrack& track)
{
    const Klv& g = stream.gps5;
    if (g.type != 'l' || g.structSize < 20 || !scalesUsable(stream, 5))
        return;
    for (std::size_t i = 0; i < g.repeat && !track.full(); ++i) {
        const unsigned char* e = g.data + i * g.structSize;
        double v[5];
        for (std::size_t k = 0; k < 5; ++k)
            v[k] = static_cast<int32_t>(mp4Be32(e + 4 * k)) / stream.divisor(k);
        EmbeddedFix fix;
        fix.time = entryTime(time, duration, i, g.repeat);
        fix.utcMs = entryUtc(stream.utcMs, fix.time - time);
        fix.valid = stream.fix != 0 && (v[0] != 0 || v[1] != 0);
        if (fix.valid) {
            fix.latitude = v[0];
            fix.longitude = v[1];
            fix.hasAltitude = true;
            fix.altitude = v[2];
            fix.speedKmh = v[3] * 3.6;
        }
        track.addFix(fix);
    }
}

// Latitude, longitude, altitude, 2D and 3D speed, days since 2000, seconds
// since midnight, precision and fix, each entry with its own time.
void addGps9(const Stream& stream, double time, double duration, EmbeddedTrack& track)
{
    static const char kLayout[] = "lllllllSS";
    const Klv& g = stream.gps9;
    if (g.structSize < 32 || !scalesUsable(stream, 9))
        return;
    if (g.type != '?' || (!stream.type.empty() && stream.type != kLayout))
        return;
    const int64_t epoch2000 = pmDaysFromCivil(2000, 1, 1);
    for (std::size_t i = 0; i < g.repeat && !track.full(); ++i) {
        const unsigned char* e = g.data + i * g.structSize;
        double v[9];
        for (std::size_t k = 0; k < 9; ++k)
            v[k] = number(kLayout[k], e + (k < 7 ? 4 * k : 28 + 2 * (k - 7))) / stream.divisor(k);
        EmbeddedFix fix;
        fix.time = entryTime(time, duration, i, g.repeat);
        fix.valid = v[8] != 0 && (v[0] != 0 || v[1] != 0);
        if (fix.valid) {
            fix.latitude = v[0];
            fix.longitude = v[1];
            fix.hasAltitude = true;
            fix.altitude = v[2];
            fix.speedKmh = v[3] * 3.6;
        }
        if (v[5] >= 0 && v[5] < 100000 && v[6] >= 0 && v[6] < 86401)
            fix.utcMs = (epoch2000 + static_cast<int64_t>(v[5])) * 86400000 +
                        static_cast<int64_t>(std::llround(v[6] * 1000));
        track.addFix(fix);
    }
}

// Three axes in m/s^2, stored in the order ORIN names them (upper case along
// the axis, lower case against it); without ORIN the order is Z, X, Y.
void addAccl(const Stream& stream, double time, double duration, EmbeddedTrack& track)
{
    constexpr double kStandardGravity = 9.80665;
    const Klv& a = stream.accl;
    const std::size_t size = valueSize(a.type);
    if (!size || a.structSize < 3 * size || !scalesUsable(stream, 3))
        return;
    const std::string order = stream.orientation.size() == 3 ? stream.orientation : "ZXY";
    int axis[3];
    double sign[3];
    for (int k = 0; k < 3; ++k) {
        const char c = order[static_cast<std::size_t>(k)];
        const int up = std::toupper(static_cast<unsigned char>(c));
        if (up < 'X' || up > 'Z')
            return;
        axis[k] = up - 'X';
        sign[k] = c == up ? 1.0 : -1.0;
    }
    for (std::size_t i = 0; i < a.repeat && !track.gFull(); ++i) {
        const unsigned char* e = a.data + i * a.structSize;
        double out[3] = {0, 0, 0};
        for (std::size_t k = 0; k < 3; ++k)
            out[axis[k]] = sign[k] * number(a.type, e + k * size) / stream.divisor(k) / kStandardGravity;
        EmbeddedG g;
        g.time = entryTime(time, duration, i, a.repeat);
        g.x = out[0];
        g.y = out[1];
        g.z = out[2];
        if (std::isfinite(g.x) && std::isfinite(g.y) && std::isfinite(g.z))
            track.addG(g);
    }
}

void readStream(const Klv& strm, double time, double duration, EmbeddedTrack& track)
{
    Stream stream;
    KlvWalker walker(strm.data, strm.size);
    Klv item;
    while (walker.next(item)) {
        if (item.key == mp4Type("SCAL"))
            readScale(item, stream);
        else if (item.key == mp4Type("GPSU") && (item.type == 'c' || item.type == 'U'))
            stream.utcMs = parseGpsu(item);
        else if (item.key == mp4Type("GPSF") && valueSize(item.type) && item.size >= valueSize(item.type))
            stream.fix = static_cast<int>(number(item.type, item.data));
        else if (item.key == mp4Type("TYPE") && item.type == 'c')
            stream.type = text(item);
        else if (item.key == mp4Type("ORIN") && item.type == 'c')
            stream.orientation = text(item);
        else if (item.key == mp4Type("GPS5"))
            stream.gps5 = item;
        else if (item.key == mp4Type("GPS9"))
            stream.gps9 = item;
        else if (item.key == mp4Type("ACCL"))
            stream.accl = item;
    }
    if (stream.gps9.data)
        addGps9(stream, time, duration, track);
    else if (stream.gps5.data)
        addGps5(stream, time, duration, track);
    if (stream.accl.data)
        addAccl(stream, time, duration, track);
}

bool isGpmfTrack(uint32_t handler, uint32_t entry)
{
    return handler == mp4Type("meta") && entry == mp4Type("gpmd");
}

// A gpmd sample holds about a second of telemetry: a few kilobytes.
constexpr std::size_t kMaxGpmfSample = 4 * 1024 * 1024;

} // namespace

void pmCourseFromMotion(EmbeddedTrack& track, std::size_t first)
{
    constexpr double kMetresPerDegree = 111320.0;
    constexpr double kMinMetres = 3.0;
    constexpr double kDegreesPerRadian = 57.29577951308232;
    std::vector<EmbeddedFix>& f = track.fixes;
    std::size_t j = first;
    for (std::size_t i = first; i < f.size(); ++i) {
        if (!f[i].valid || f[i].course >= 0)
            continue;
        // The next fix a second on; j only moves forward, so the pass stays
        // linear whatever the times are.
        j = std::max(j, i + 1);
        while (j < f.size() && (!f[j].valid || f[j].time < f[i].time + 0.9))
            ++j;
        if (j >= f.size())
            break;
        if (f[j].time > f[i].time + 5.0)
            continue;
        double east = f[j].longitude - f[i].longitude;
        if (east > 180)
            east -= 360;
        else if (east < -180)
            east += 360;
        east *= kMetresPerDegree * std::cos(f[i].latitude / kDegreesPerRadian);
        const double north = (f[j].latitude - f[i].latitude) * kMetresPerDegree;
        if (std::hypot(east, north) < kMinMetres)
            continue;
        const double course = std::atan2(east, north) * kDegreesPerRadian;
        f[i].course = course < 0 ? course + 360 : course;
    }
}

bool pmDecodeGpmfSample(const unsigned char* data, std::size_t size, double time, double duration,
                        EmbeddedTrack& track)
{
    if (!data || !(duration >= 0) || !std::isfinite(time) || !std::isfinite(duration))
        return false;
    KlvWalker devices(data, size);
    Klv device;
    bool first = true;
    while (devices.next(device)) {
        const bool container = device.key == mp4Type("DEVC") && device.type == 0;
        // Other cameras put their own data in a track of this name: only a
        // payload that opens with a device container is telemetry.
        if (first && !container)
            return false;
        first = false;
        if (!container)
            continue;
        KlvWalker streams(device.data, device.size);
        Klv strm;
        while (streams.next(strm))
            if (strm.key == mp4Type("STRM") && strm.type == 0)
                readStream(strm, time, duration, track);
    }
    return !first;
}

bool pmReadGpmfTrack(EmbeddedInput& input, EmbeddedTrack& track)
{
    const Mp4Box* moov = input.find(mp4Type("moov"));
    if (!moov)
        return false;
    bool gpmf = false;
    std::vector<unsigned char> bytes;
    // Samples of an undamaged file do not overlap, so together they are never
    // more than the file: a table that points many samples at the same bytes
    // is stopped there instead of reading them again and again.
    uint64_t budget = input.file.size();
    for (const Mp4Track& t : pmMp4ReadTracks(input.file, *moov, isGpmfTrack)) {
        for (const Mp4Sample& s : t.samples) {
            if (track.full() || s.size > budget)
                break;
            budget -= s.size;
            if (s.size > kMaxGpmfSample || !input.file.readBlock(s.offset, s.size, bytes, kMaxGpmfSample))
                continue;
            if (pmDecodeGpmfSample(bytes.data(), bytes.size(), s.time, s.duration, track))
                gpmf = true;
        }
        if (gpmf)
            break;
    }
    if (gpmf && !track.empty()) {
        pmCourseFromMotion(track, 0);
        track.format = "gpmf";
        return true;
    }
    track.clear();
    return false;
}
