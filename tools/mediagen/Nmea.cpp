// Drives and the camera's NMEA logs.
#include "Common.h"
#include "MediaGen.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace mediagen
{

namespace
{

constexpr double kMetresPerDegree = 111320.0;
constexpr double kDegToRad = M_PI / 180.0;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

// "ddmm.mmmm" (or "dddmm.mmmm") in whole units of 1/10000 minute, so minutes never round up to 60.
std::string nmeaAngle(double value, int degreeDigits)
{
    const long long units = std::llround(std::fabs(value) * 600000.0);
    const long long degrees = units / 600000;
    const long long minuteUnits = units % 600000;
    return format("%0*lld%02lld.%04lld", degreeDigits, degrees, minuteUnits / 10000, minuteUnits % 10000);
}

std::string sentence(const std::string& body)
{
    return "$" + body + "*" + nmeaChecksum(body);
}

int gCount(double g)
{
    const long c = std::lround(g / 0.016);
    return static_cast<int>(std::clamp<long>(c, -128, 127));
}

} // namespace

std::string nmeaChecksum(const std::string& body)
{
    uint8_t sum = 0;
    for (char c : body)
        sum ^= static_cast<uint8_t>(c);
    return format("%02X", sum);
}

std::vector<TrackSample> makeDrive(const DriveSpec& cfg)
{
    std::vector<TrackSample> out;
    const int n = std::max(0, cfg.seconds);
    out.reserve(static_cast<std::size_t>(n));
    Rng rng(cfg.seed + 0x51D);
    double lat = cfg.originLat;
    double lon = cfg.originLon;
    double course = cfg.originCourse;
    double speed = cfg.profile == SpeedProfile::Constant ? cfg.constantKmh : 0.0;
    const double top = cfg.profile == SpeedProfile::Drive ? std::max(10.0, cfg.constantKmh) : cfg.constantKmh;
    int straightLeft = static_cast<int>(rng.uniform(8, 30));
    int turnLeft = 0;
    double turnRate = 0;
    double distance = 0;
    for (int i = 0; i < n; ++i) {
        double yawRate = 0; // degrees per second
        double accel = 0;   // km/h per second
        if (cfg.profile != SpeedProfile::Parked) {
            if (turnLeft > 0) {
                yawRate = turnRate;
                --turnLeft;
            } else if (--straightLeft <= 0) {
                // A bend of 30..90 degrees taken over 3..6 seconds.
                turnLeft = static_cast<int>(rng.uniform(3, 7));
                const double angle = rng.uniform(30, 90) * (rng.next() & 1 ? 1 : -1);
                turnRate = angle / turnLeft;
                straightLeft = static_cast<int>(rng.uniform(8, 30));
            }
            if (cfg.profile == SpeedProfile::Drive) {
                const double accelTime = top / 6.0, decelTime = top / 8.0;
                double target = top * std::min({1.0, i / accelTime, (n - 1 - i) / decelTime});
                if (turnLeft > 0)
                    target *= 0.6;
                target += rng.uniform(-3, 3);
                target = std::clamp(target, 0.0, top);
                accel =
                    cfg.calm ? std::clamp(target - speed, -3.0, 3.0) : std::clamp(target - speed, -8.0, 6.0);
                if (i == 0)
                    accel = 0;
            }
            if (cfg.calm && speed > 1.0) {
                // At most 0.2 g across the car (v x yaw rate).
                const double limit = 0.2 * 9.81 / (speed / 3.6) / kDegToRad;
                yawRate = std::clamp(yawRate, -limit, limit);
            }
        }
        for (const HarshMomentSpec& h : cfg.harsh) {
            if (i < h.second || i >= h.second + std::max(1, h.seconds))
                continue;
            const double kmhPerSecond = h.peakG * 9.81 * 3.6;
            if (h.kind == HarshKindSpec::Brake)
                accel = -std::min(kmhPerSecond, speed);
            else if (h.kind == HarshKindSpec::Accel)
                accel = kmhPerSecond;
            else if (speed > 1.0)
                yawRate = h.peakG * 9.81 / (speed / 3.6) / kDegToRad;
        }
        TrackSample s;
        s.fix = i >= cfg.noFixSeconds;
        s.lat = lat;
        s.lon = lon;
        s.speedKmh = std::max(0.0, speed);
        s.course = std::fmod(course + 360.0, 360.0);
        s.altitude = 35.0 + 12.0 * std::sin(distance / 1500.0) + (cfg.seed % 10);
        const double v = s.speedKmh / 3.6;
        // A brake that runs out of speed still pushed the sensor at its peak.
        double longitudinal = accel / 3.6 / 9.81;
        for (const HarshMomentSpec& h : cfg.harsh) {
            if (h.kind == HarshKindSpec::Brake && i >= h.second && i < h.second + std::max(1, h.seconds))
                longitudinal = -h.peakG;
        }
        s.gx = longitudinal + rng.uniform(-0.03, 0.03);
        s.gy = v * yawRate * kDegToRad / 9.81 + rng.uniform(-0.03, 0.03);
        s.gz = 1.0 + rng.uniform(-0.04, 0.04);
        if (i == cfg.eventSecond) {
            s.gx -= cfg.eventPeakG;
            s.gy += cfg.eventPeakG * 0.45;
            s.gz += cfg.eventPeakG * 0.25;
        }
        out.push_back(s);

        speed = std::max(0.0, speed + accel);
        course += yawRate;
        const double d = speed / 3.6;
        distance += d;
        lat += d * std::cos(course * kDegToRad) / kMetresPerDegree;
        lon += d * std::sin(course * kDegToRad) / (kMetresPerDegree * std::cos(lat * kDegToRad));
    }
    return out;
}

std::vector<TrackSample> nmeaSamples(const NmeaSpec& cfg)
{
    return makeDrive(cfg.drive);
}

std::string makeNmeaLog(const NmeaSpec& cfg, const std::vector<TrackSample>& samples)
{
    const std::string eol = cfg.crlf ? "\r\n" : "\n";
    const std::string& t = cfg.talker;
    std::string body;
    if (cfg.withTimestamp) {
        body += "$GTIMESTAMP," + cfg.timestampUnit + "," + cfg.timestampShowSpeed + "," + cfg.timestampType +
                "," + cfg.timestampText + eol;
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const TrackSample& s = samples[i];
        const StartTime now = cfg.start.plusSeconds(static_cast<long>(i));
        const std::string hms = format("%02d%02d%02d.00", now.hour, now.minute, now.second);
        const std::string dmy = format("%02d%02d%02d", now.day, now.month, now.year % 100);
        const std::string lat = s.fix ? nmeaAngle(s.lat, 2) + (s.lat < 0 ? ",S" : ",N") : ",";
        const std::string lon = s.fix ? nmeaAngle(s.lon, 3) + (s.lon < 0 ? ",W" : ",E") : ",";
        const std::string knots = format("%.2f", s.speedKmh / kKmhPerKnot);
        const std::string course = s.fix ? format("%.2f", s.course) : "";

        if (cfg.hostile.dollarMidSentence && i == 1)
            body += "$" + t + "GGA,0830"; // cut short by the next "$"
        body += sentence(t + "RMC," + hms + "," + (s.fix ? "A" : "V") + "," + lat + "," + lon + "," + knots +
                         "," + course + "," + dmy + ",,," + (s.fix ? "A" : "N")) +
                eol;
        if (s.fix) {
            body += sentence(t + "GGA," + hms + "," + lat + "," + lon + ",1,09,0.9," +
                             format("%.1f", s.altitude) + ",M,39.0,M,,") +
                    eol;
        } else {
            body += sentence(t + "GGA," + hms + ",,,,,0,00,99.9,,M,,M,,") + eol;
        }
        if (cfg.hostile.unknownSentences) {
            body += sentence("GPGSA,A,3,04,05,09,12,24,,,,,,,,2.5,1.3,2.1") + eol;
            body += sentence("GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45") + eol;
            body += sentence(t + "VTG," + course + ",T,,M," + knots + ",N,,K,A") + eol;
        }
        if (cfg.hostile.longLine && i == 1) {
            std::string line = "$" + t + "RMC," + hms + ",A,";
            line.append(250 - line.size(), '7');
            body += line + eol;
        }
        if (cfg.hostile.tooManyWords && i == 1) {
            std::string line = "$" + t + "RMC";
            for (int w = 1; w < 24; ++w)
                line += "," + std::to_string(w);
            body += line + eol;
        }
        if (cfg.hostile.binaryGarbage && i == 2) {
            body += std::string("\x01\x02\xff\x00\x7f\x80garbage", 13);
            body += eol;
        }
        // The camera's own sentences carry no checksum: it would end up in the last value.
        if (cfg.gSensorInG) {
            body += format("$GSENSORD,%.3f,%.3f,%.3f", s.gx, s.gy, s.gz) + eol;
        } else if (cfg.withGSensor) {
            const char* fmt =
                cfg.hostile.upperCaseHex ? "$GSENSOR,%02X,%02X,%02X" : "$GSENSOR,%02x,%02x,%02x";
            body += format(fmt, gCount(s.gx) & 0xff, gCount(s.gy) & 0xff, gCount(s.gz) & 0xff) + eol;
        }
    }
    if (cfg.hostile.missingFinalNewline && body.size() >= eol.size())
        body.erase(body.size() - eol.size());

    std::string text;
    if (cfg.withHeader) {
        // "$HEAD," then eight lower-case hex digits stating how many bytes are valid.
        const std::string headerTail = ",ROVIX NMEA" + eol;
        const std::size_t headerSize = 6 + 8 + headerTail.size();
        const long long stated = static_cast<long long>(headerSize + body.size()) +
                                 static_cast<long long>(cfg.hostile.headerLengthDelta);
        text = "$HEAD," +
               format("%08llx", static_cast<unsigned long long>(std::max(0LL, stated)) & 0xffffffffULL) +
               headerTail;
    }
    text += body;
    text.append(static_cast<std::size_t>(std::max(0, cfg.hostile.trailingZeros)), '\0');
    return text;
}

bool writeNmeaLog(const std::string& path, const NmeaSpec& cfg, std::string* error)
{
    return writeFile(path, makeNmeaLog(cfg, nmeaSamples(cfg)), error);
}

} // namespace mediagen
