// Tracks that live in the movie's own structure, added to a finished MP4:
// NMEA text in a timed text track, GPMF telemetry in a "gpmd" metadata
// track, and the position records of a uuid box in the movie header. Each is
// written from the layout's public description, with hostile variants.
#include "Common.h"
#include "MediaGen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace mediagen
{

namespace
{

std::string be16(uint32_t v)
{
    std::string s(2, '\0');
    putBe16(s, 0, static_cast<uint16_t>(v));
    return s;
}

std::string be32(uint32_t v)
{
    std::string s(4, '\0');
    putBe32(s, 0, v);
    return s;
}

std::string box(const char* type, const std::string& body)
{
    return be32(static_cast<uint32_t>(8 + body.size())) + std::string(type, 4) + body;
}

std::string fullBox(const char* type, const std::string& body, uint32_t flags = 0)
{
    return box(type, be32(flags) + body);
}

// The box of that type among the children in [begin, end); npos when none.
std::size_t findChild(const std::string& s, std::size_t begin, std::size_t end, const char* type)
{
    std::size_t at = begin;
    while (at + 8 <= end) {
        const uint32_t size = getBe32(s, at);
        if (size < 8 || size > end - at)
            return std::string::npos;
        if (std::memcmp(&s[at + 4], type, 4) == 0)
            return at;
        at += size;
    }
    return std::string::npos;
}

// Seconds since 1970 of a time read as UTC.
int64_t utcEpoch(const StartTime& t)
{
    const int y = t.month <= 2 ? t.year - 1 : t.year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = int64_t(era) * 146097 + doe - 719468;
    return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

// ---------------------------------------------------------------- NMEA text

std::string angle(double value, int degreeDigits)
{
    const long long units = std::llround(std::fabs(value) * 600000.0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld%02lld.%04lld", degreeDigits, units / 600000,
                  units % 600000 / 10000, units % 10000);
    return buf;
}

std::string nmeaSecond(const TrackSample& s, const StartTime& t, bool wrongChecksum)
{
    char time[16], date[16], rest[64];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", t.hour, t.minute, t.second);
    std::snprintf(date, sizeof date, "%02d%02d%02d", t.day, t.month, t.year % 100);
    std::string rmc = std::string("GPRMC,") + time + (s.fix ? ",A," : ",V,");
    if (s.fix)
        rmc += angle(s.lat, 2) + (s.lat < 0 ? ",S," : ",N,") + angle(s.lon, 3) + (s.lon < 0 ? ",W," : ",E,");
    else
        rmc += ",,,,";
    std::snprintf(rest, sizeof rest, "%.2f,%.2f,", s.speedKmh / kKmhPerKnot, s.course);
    rmc += rest + std::string(date) + ",,,A";
    std::string checksum = nmeaChecksum(rmc);
    if (wrongChecksum)
        checksum = checksum == "00" ? "01" : "00";
    std::string text = "$" + rmc + "*" + checksum + "\r\n";
    if (s.fix) {
        std::string gga = std::string("GPGGA,") + time + "," + angle(s.lat, 2) + (s.lat < 0 ? ",S," : ",N,") +
                          angle(s.lon, 3) + (s.lon < 0 ? ",W," : ",E,");
        std::snprintf(rest, sizeof rest, "1,08,0.9,%.1f,M,0.0,M,,", s.altitude);
        gga += rest;
        text += "$" + gga + "*" + nmeaChecksum(gga) + "\r\n";
    }
    return text;
}

// ---------------------------------------------------------------- GPMF

std::string klv(const char* key, char type, std::size_t structSize, std::size_t repeat,
                const std::string& data)
{
    std::string s(key, 4);
    s += type;
    s += static_cast<char>(structSize);
    s += be16(static_cast<uint32_t>(repeat));
    s += data;
    s.append((4 - data.size() % 4) % 4, '\0');
    return s;
}

std::string klvText(const char* key, const std::string& text)
{
    return klv(key, 'c', 1, text.size(), text);
}

std::string klvInt32s(const char* key, char type, const std::vector<int32_t>& values, std::size_t perEntry)
{
    std::string data;
    for (int32_t v : values)
        data += be32(static_cast<uint32_t>(v));
    return klv(key, type, 4 * perEntry, values.size() / perEntry, data);
}

int32_t fixed(double value, double scale)
{
    return static_cast<int32_t>(std::llround(value * scale));
}

std::string gpsu(const StartTime& t, int ms)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02d.%03d", t.year % 100, t.month, t.day, t.hour,
                  t.minute, t.second, ms);
    return std::string(buf, 16);
}

// Where the track is between second i and the next, at `fraction`.
TrackSample between(const std::vector<TrackSample>& samples, std::size_t i, double fraction)
{
    TrackSample s = samples[i];
    if (i + 1 < samples.size() && samples[i + 1].fix && s.fix) {
        const TrackSample& n = samples[i + 1];
        s.lat += (n.lat - s.lat) * fraction;
        s.lon += (n.lon - s.lon) * fraction;
        s.altitude += (n.altitude - s.altitude) * fraction;
    }
    return s;
}

std::string gpmfSecond(const Mp4TelemetrySpec& cfg, std::size_t i)
{
    const TrackSample& s = cfg.samples[i];
    const std::size_t n = static_cast<std::size_t>(std::max(1, cfg.gpsPerSecond));
    const StartTime t = cfg.utcStart.plusSeconds(static_cast<long>(i));
    std::string gps;
    if (cfg.kind == Mp4Telemetry::GpmfGps9) {
        const int days =
            static_cast<int>((t.toLocalEpoch() - StartTime{2000, 1, 1, 0, 0, 0}.toLocalEpoch()) / 86400);
        const int32_t seconds = (t.hour * 3600 + t.minute * 60 + t.second) * 1000;
        std::string data;
        for (std::size_t k = 0; k < n; ++k) {
            const TrackSample p = between(cfg.samples, i, double(k) / n);
            const int32_t ms = seconds + static_cast<int32_t>(1000 * k / n);
            const std::vector<int32_t> v{p.fix ? fixed(p.lat, 1e7) : 0,
                                         p.fix ? fixed(p.lon, 1e7) : 0,
                                         fixed(p.altitude, 1000),
                                         fixed(p.speedKmh / 3.6, 1000),
                                         fixed(p.speedKmh / 3.6, 100),
                                         days,
                                         ms};
            for (int32_t x : v)
                data += be32(static_cast<uint32_t>(x));
            data += be16(150) + be16(p.fix ? 3 : 0);
        }
        gps = klvText("TYPE", "lllllllSS") +
              klvInt32s("SCAL", 'l', {10000000, 10000000, 1000, 1000, 100, 1, 1000, 100, 1}, 1) +
              klv("GPS9", '?', 32, n, data);
    } else {
        std::vector<int32_t> v;
        for (std::size_t k = 0; k < n; ++k) {
            const TrackSample p = between(cfg.samples, i, double(k) / n);
            for (int32_t x : {fixed(p.lat, 1e7), fixed(p.lon, 1e7), fixed(p.altitude, 1000),
                              fixed(p.speedKmh / 3.6, 1000), fixed(p.speedKmh / 3.6, 100)})
                v.push_back(s.fix ? x : 0);
        }
        gps = klv("GPSF", 'L', 4, 1, be32(s.fix ? 3 : 0)) + klv("GPSU", 'U', 16, 1, gpsu(t, 0)) +
              klv("GPSP", 'S', 2, 1, be16(s.fix ? 150 : 9999)) +
              klvInt32s("SCAL", 'l', {10000000, 10000000, 1000, 1000, 100}, 1) + klvInt32s("GPS5", 'l', v, 5);
    }
    const std::string strm = klvText("STNM", "GPS") + gps;
    const std::string gpsContainer = klv("STRM", 0, 1, strm.size(), strm);

    // Ten accelerometer readings, stored Z, X, Y at 418 counts per m/s^2.
    std::string accl;
    for (int k = 0; k < 10; ++k)
        for (double g : {s.gz, s.gx, s.gy})
            accl += be16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(g * 9.80665 * 418))));
    std::string acc = klvText("STNM", "Accelerometer") + klv("SCAL", 's', 2, 1, be16(418)) +
                      klvText("ORIN", "ZXY") + klv("ACCL", 's', 6, 10, accl);
    const std::string acclContainer = klv("STRM", 0, 1, acc.size(), acc);

    std::string devc =
        klv("DVID", 'L', 4, 1, be32(1)) + klvText("DVNM", "Camera") + acclContainer + gpsContainer;
    if (cfg.kind == Mp4Telemetry::ForeignGpmd)
        // Data that is not telemetry in a track of that name: a bare stream
        // with GPS entries but no device container around it.
        return gpsContainer;
    return klv("DEVC", 0, 1, devc.size(), devc);
}

// ---------------------------------------------------------------- Garmin

constexpr uint8_t kGarminUuid[16] = {0x9b, 0x63, 0x0f, 0x8d, 0x63, 0x74, 0x40, 0xec,
                                     0x82, 0x04, 0xbc, 0x5f, 0xf5, 0x09, 0x17, 0x28};

std::string garminBox(const Mp4TelemetrySpec& cfg)
{
    std::string body(reinterpret_cast<const char*>(kGarminUuid), 16);
    body.append(17, '\0');
    const int64_t start = utcEpoch(cfg.utcStart);
    const auto since1904 = [](int64_t t) { return static_cast<uint32_t>(t + 2082844800LL); };
    for (std::size_t i = 0; i < cfg.samples.size(); ++i) {
        const TrackSample& s = cfg.samples[i];
        std::string r = be32(since1904(start + static_cast<int64_t>(i))) +
                        be16(static_cast<uint32_t>(std::lround(s.speedKmh / 1.609344))) +
                        std::string(6, '\0');
        const double unit = 2147483648.0 / 180.0;
        r += be32(static_cast<uint32_t>(s.fix ? fixed(s.lat, unit) : 0));
        r += be32(static_cast<uint32_t>(s.fix ? fixed(s.lon, unit) : 0));
        body += r;
    }
    std::string b = box("uuid", body);
    if (cfg.lyingCounts)
        putBe32(b, 0, 0x7ffffff0u); // far more than the file holds
    return b;
}

// ---------------------------------------------------------------- the track

std::string sampleTable(const Mp4TelemetrySpec& cfg, const std::vector<std::string>& samples, uint64_t dataAt,
                        uint64_t fileEnd)
{
    const uint32_t n = static_cast<uint32_t>(samples.size());
    std::string entry;
    if (cfg.kind == Mp4Telemetry::NmeaText) {
        // tx3g: display flags, justification, background colour, text box,
        // style record, then the font table.
        entry = std::string(6, '\0') + be16(1) + be32(0) + std::string(2, '\0') + be32(0) +
                std::string(8, '\0') + be16(0) + be16(0) + be16(1) + std::string(1, '\0') +
                std::string(1, '\x12') + be32(0xffffffffu) +
                box("ftab", be16(1) + be16(1) + std::string(1, '\5') + "Serif");
        entry = box("tx3g", entry);
    } else {
        entry = box("gpmd", std::string(6, '\0') + be16(1) + be32(0));
    }
    const uint32_t lie = cfg.lyingCounts ? 0x3fffffffu : 0;
    std::string stsz = be32(0) + be32(lie ? lie : n);
    std::string stco = be32(lie ? lie : n);
    uint64_t at = dataAt;
    for (uint32_t i = 0; i < n; ++i) {
        stsz += be32(static_cast<uint32_t>(samples[i].size()));
        // The second sample is said to lie past the end of the file.
        stco += be32(static_cast<uint32_t>(cfg.offsetPastEnd && i == 1 ? fileEnd + 4096 : at));
        at += samples[i].size();
    }
    if (cfg.offsetPastEnd && n > 2)
        putBe32(stsz, 8 + 4 * 2, 0x7ffffff0u); // the third is larger than the file
    return box("stbl", fullBox("stsd", be32(1) + entry) +
                           fullBox("stts", be32(1) + be32(lie ? lie : n) + be32(1000)) +
                           fullBox("stsc", be32(1) + be32(1) + be32(lie ? lie : 1) + be32(1)) +
                           fullBox("stsz", stsz) + fullBox("stco", stco));
}

std::string trak(const Mp4TelemetrySpec& cfg, const std::vector<std::string>& samples, uint32_t trackId,
                 uint64_t dataAt, uint64_t fileEnd)
{
    const uint32_t duration = static_cast<uint32_t>(samples.size() * 1000);
    std::string matrix = be32(0x10000) + be32(0) + be32(0) + be32(0) + be32(0x10000) + be32(0) + be32(0) +
                         be32(0) + be32(0x40000000);
    std::string tkhd = be32(0) + be32(0) + be32(trackId) + be32(0) + be32(duration) + std::string(8, '\0') +
                       be16(0) + be16(0) + be16(0) + be16(0) + matrix + be32(0) + be32(0);
    const bool text = cfg.kind == Mp4Telemetry::NmeaText;
    std::string mdhd = be32(0) + be32(0) + be32(1000) + be32(duration) + be16(0x55c4) + be16(0);
    std::string hdlr = be32(0) + std::string(text ? "text" : "meta") + std::string(12, '\0') +
                       std::string(text ? "GPS text" : "GoPro MET") + '\0';
    std::string dinf = box("dinf", fullBox("dref", be32(1) + fullBox("url ", std::string(), 1)));
    std::string minf =
        box("minf", fullBox("nmhd", std::string()) + dinf + sampleTable(cfg, samples, dataAt, fileEnd));
    return box("trak",
               fullBox("tkhd", tkhd, 7) + box("mdia", fullBox("mdhd", mdhd) + fullBox("hdlr", hdlr) + minf));
}

} // namespace

bool addMp4Telemetry(const std::string& path, const Mp4TelemetrySpec& cfg, std::string* error)
{
    std::string s;
    if (!readFile(path, s, error))
        return false;
    // The new data goes in front of the movie header, which must come after
    // the media data so that no chunk offset of the recording moves.
    const std::size_t mdat = findChild(s, 0, s.size(), "mdat");
    const std::size_t moov = findChild(s, 0, s.size(), "moov");
    if (mdat == std::string::npos || moov == std::string::npos || moov < mdat)
        return fail(error, "telemetry: the movie header must follow the media data");
    std::string movie = s.substr(moov);
    s.resize(moov);
    std::string added;
    std::string data;
    if (cfg.kind == Mp4Telemetry::Garmin) {
        added = garminBox(cfg);
    } else {
        std::vector<std::string> samples;
        for (std::size_t i = 0; i < cfg.samples.size(); ++i) {
            if (cfg.kind == Mp4Telemetry::NmeaText) {
                const std::string text =
                    nmeaSecond(cfg.samples[i], cfg.utcStart.plusSeconds(static_cast<long>(i)),
                               cfg.badChecksumSecond == static_cast<int>(i));
                std::string sample = be16(static_cast<uint32_t>(text.size())) + text;
                if (cfg.lyingCounts && i == 0)
                    putBe16(sample, 0, 0xffff); // a length beyond the sample
                samples.push_back(sample);
            } else {
                samples.push_back(gpmfSecond(cfg, i));
            }
        }
        for (const std::string& sample : samples)
            data += sample;
        const uint64_t dataAt = s.size() + 8;
        std::string probe = trak(cfg, samples, 100, dataAt, 0);
        const uint64_t fileEnd = s.size() + 8 + data.size() + movie.size() + probe.size();
        added = trak(cfg, samples, 100, dataAt, fileEnd);
        s += box("mdat", data);
    }
    // The uuid box goes last so that a size beyond the file runs off the end.
    movie.insert(movie.size(), added);
    putBe32(movie, 0, static_cast<uint32_t>(movie.size()));
    s += movie;
    return writeFile(path, s, error);
}

} // namespace mediagen
