#include "core/ForeignTrack.h"

#include "core/FileRules.h"
#include "core/GpsList.h"
#include "core/GpsParser.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadiusM = 6371008.8;
constexpr double kKmhPerKnot = 1.852;
// Times outside these years are a broken clock or a broken file, not a drive.
constexpr int kFirstYear = 1990;
constexpr int kLastYear = 2100;

bool validUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = 0;
        uint32_t cp = 0;
        if ((b0 & 0xE0) == 0xC0) {
            n = 2;
            cp = b0 & 0x1F;
        } else if ((b0 & 0xF0) == 0xE0) {
            n = 3;
            cp = b0 & 0x0F;
        } else if ((b0 & 0xF8) == 0xF0) {
            n = 4;
            cp = b0 & 0x07;
        } else {
            return false;
        }
        if (i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (b & 0x3F);
        }
        const uint32_t least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::strchr(" \t\r\n", s.front()))
        s.remove_prefix(1);
    while (!s.empty() && std::strchr(" \t\r\n", s.back()))
        s.remove_suffix(1);
    return s;
}

bool number(std::string_view s, double& value)
{
    s = trim(s);
    return !s.empty() && pmParseDecimal(s.data(), s.data() + s.size(), value) && std::isfinite(value);
}

bool digits(std::string_view s, std::size_t at, std::size_t n, int& value)
{
    if (at + n > s.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool validCivil(int year, int month, int day, int hour, int minute, double second)
{
    return year >= kFirstYear && year <= kLastYear && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month) && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 &&
           second >= 0 && second < 61;
}

bool validPosition(double lat, double lon)
{
    return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180 &&
           !(lat == 0 && lon == 0);
}

// ------------------------------------------------------------------ XML

// The text between <tag> (or <tag attributes>) and </tag> inside `body`, or
// nothing. Namespace prefixes are part of the name as written.
bool childText(std::string_view body, std::string_view tag, std::string_view& text)
{
    std::size_t at = 0;
    while ((at = body.find(tag, at)) != std::string_view::npos) {
        if (at == 0 || body[at - 1] != '<') {
            at += tag.size();
            continue;
        }
        const std::size_t after = at + tag.size();
        if (after >= body.size() || (body[after] != '>' && body[after] != ' ')) {
            at = after;
            continue;
        }
        const std::size_t open = body.find('>', after);
        if (open == std::string_view::npos || body[open - 1] == '/')
            return false;
        const std::string close = "</" + std::string(tag) + ">";
        const std::size_t end = body.find(close, open);
        if (end == std::string_view::npos)
            return false;
        text = body.substr(open + 1, end - open - 1);
        return true;
    }
    return false;
}

// The value of name="..." (or '...') inside a start tag.
bool attribute(std::string_view tag, std::string_view name, std::string_view& value)
{
    std::size_t at = 0;
    while ((at = tag.find(name, at)) != std::string_view::npos) {
        const bool startsWord = at > 0 && std::strchr(" \t\r\n", tag[at - 1]);
        std::size_t p = at + name.size();
        while (p < tag.size() && std::strchr(" \t\r\n", tag[p]))
            ++p;
        if (!startsWord || p >= tag.size() || tag[p] != '=') {
            at += name.size();
            continue;
        }
        ++p;
        while (p < tag.size() && std::strchr(" \t\r\n", tag[p]))
            ++p;
        if (p >= tag.size() || (tag[p] != '"' && tag[p] != '\''))
            return false;
        const std::size_t end = tag.find(tag[p], p + 1);
        if (end == std::string_view::npos)
            return false;
        value = tag.substr(p + 1, end - p - 1);
        return true;
    }
    return false;
}

struct Counts {
    std::size_t points = 0;   // positions seen
    std::size_t timeless = 0; // ... without a time
    std::size_t bad = 0;      // ... with a value that is not a number or off the globe
};

bool readGpx(std::string_view text, ForeignTrack& out, Counts& counts, std::string& error)
{
    if (text.find("</gpx>") == std::string_view::npos) {
        error = "the GPX document is cut short (no closing </gpx>)";
        return false;
    }
    for (const char* element : {"trkpt", "rtept", "wpt"}) {
        const std::string open = std::string("<") + element;
        const std::string close = std::string("</") + element + ">";
        std::size_t at = 0;
        while ((at = text.find(open, at)) != std::string_view::npos) {
            const std::size_t nameEnd = at + open.size();
            if (nameEnd >= text.size() || !std::strchr(" \t\r\n/>", text[nameEnd])) {
                at = nameEnd;
                continue;
            }
            const std::size_t tagEnd = text.find('>', nameEnd);
            if (tagEnd == std::string_view::npos) {
                error = "the GPX document is cut short inside a point";
                return false;
            }
            const std::string_view tag = text.substr(nameEnd, tagEnd - nameEnd);
            ++counts.points;
            std::string_view body;
            at = tagEnd + 1;
            if (text[tagEnd - 1] != '/') {
                const std::size_t end = text.find(close, at);
                if (end == std::string_view::npos) {
                    error = "the GPX document is cut short inside a point";
                    return false;
                }
                body = text.substr(at, end - at);
                at = end + close.size();
            }
            std::string_view latText, lonText, timeText, value;
            ForeignFix fix;
            if (!attribute(tag, "lat", latText) || !attribute(tag, "lon", lonText) ||
                !number(latText, fix.lat) || !number(lonText, fix.lon) || !validPosition(fix.lat, fix.lon)) {
                ++counts.bad;
                continue;
            }
            if (!childText(body, "time", timeText)) {
                ++counts.timeless;
                continue;
            }
            if (!parseIsoTime(trim(timeText), fix.utcMs)) {
                ++counts.bad;
                continue;
            }
            double v = 0;
            if (childText(body, "ele", value) && number(value, v) && v > -1000 && v < 20000) {
                fix.altitude = v;
                fix.hasAltitude = true;
            }
            // GPX 1.0 <speed> is in metres per second; 1.1 keeps it in extensions.
            if ((childText(body, "speed", value) || childText(body, "gpxtpx:speed", value)) &&
                number(value, v) && v >= 0 && v < 300)
                fix.speedKmh = v * 3.6;
            if ((childText(body, "course", value) || childText(body, "gpxtpx:course", value)) &&
                number(value, v) && v >= 0 && v <= 360)
                fix.course = v;
            out.fixes.push_back(fix);
        }
        if (!out.fixes.empty())
            break; // a track's points; waypoints only when there is no track
    }
    return true;
}

// "lon,lat[,alt]" (KML coordinates) or "lon lat [alt]" (gx:coord).
bool kmlCoordinates(std::string_view text, char separator, ForeignFix& fix)
{
    text = trim(text);
    double values[3] = {0, 0, 0};
    int n = 0;
    std::size_t at = 0;
    while (n < 3 && at <= text.size()) {
        std::size_t end = text.find(separator, at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view part = trim(text.substr(at, end - at));
        if (!part.empty()) {
            if (!number(part, values[n]))
                return false;
            ++n;
        }
        at = end + 1;
    }
    if (n < 2 || !validPosition(values[1], values[0]))
        return false;
    fix.lon = values[0];
    fix.lat = values[1];
    if (n == 3 && values[2] > -1000 && values[2] < 20000) {
        fix.altitude = values[2];
        fix.hasAltitude = true;
    }
    return true;
}

bool readKml(std::string_view text, ForeignTrack& out, Counts& counts, std::string& error)
{
    if (text.find("</kml>") == std::string_view::npos) {
        error = "the KML document is cut short (no closing </kml>)";
        return false;
    }
    // gx:Track: <when> and <gx:coord> elements in pairs, in order.
    std::size_t at = 0;
    while ((at = text.find("<gx:Track", at)) != std::string_view::npos) {
        const std::size_t end = text.find("</gx:Track>", at);
        if (end == std::string_view::npos) {
            error = "the KML document is cut short inside a track";
            return false;
        }
        std::string_view body = text.substr(at, end - at);
        at = end;
        std::vector<std::string_view> whens, coords;
        std::string_view value;
        std::string_view rest = body;
        while (childText(rest, "when", value)) {
            whens.push_back(value);
            rest.remove_prefix(static_cast<std::size_t>(value.data() + value.size() - rest.data()));
        }
        rest = body;
        while (childText(rest, "gx:coord", value)) {
            coords.push_back(value);
            rest.remove_prefix(static_cast<std::size_t>(value.data() + value.size() - rest.data()));
        }
        counts.points += coords.size();
        if (whens.size() != coords.size()) {
            error = "a KML track has " + std::to_string(whens.size()) + " times for " +
                    std::to_string(coords.size()) + " positions";
            return false;
        }
        for (std::size_t i = 0; i < coords.size(); ++i) {
            ForeignFix fix;
            if (!kmlCoordinates(coords[i], ' ', fix) || !parseIsoTime(trim(whens[i]), fix.utcMs))
                ++counts.bad;
            else
                out.fixes.push_back(fix);
        }
    }
    // Placemarks with a time stamp and a point.
    at = 0;
    while ((at = text.find("<Placemark", at)) != std::string_view::npos) {
        const std::size_t end = text.find("</Placemark>", at);
        if (end == std::string_view::npos) {
            error = "the KML document is cut short inside a placemark";
            return false;
        }
        const std::string_view body = text.substr(at, end - at);
        at = end;
        std::string_view point, coordinates, stamp, when;
        if (!childText(body, "Point", point) || !childText(point, "coordinates", coordinates))
            continue;
        ++counts.points;
        ForeignFix fix;
        if (!kmlCoordinates(coordinates, ',', fix)) {
            ++counts.bad;
            continue;
        }
        if (!childText(body, "TimeStamp", stamp) || !childText(stamp, "when", when)) {
            ++counts.timeless;
            continue;
        }
        if (!parseIsoTime(trim(when), fix.utcMs)) {
            ++counts.bad;
            continue;
        }
        out.fixes.push_back(fix);
    }
    return true;
}

// ------------------------------------------------------------------ NMEA

std::vector<std::string_view> split(std::string_view line, char separator)
{
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (true) {
        const std::size_t end = line.find(separator, at);
        out.push_back(line.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        if (end == std::string_view::npos || out.size() > 64)
            return out;
        at = end + 1;
    }
}

bool nmeaAngle(std::string_view value, std::string_view hemisphere, int degreeDigits, double& out)
{
    value = trim(value);
    if (value.size() <= static_cast<std::size_t>(degreeDigits))
        return false;
    double degrees = 0, minutes = 0;
    if (!number(value.substr(0, static_cast<std::size_t>(degreeDigits)), degrees) ||
        !number(value.substr(static_cast<std::size_t>(degreeDigits)), minutes) || minutes < 0 ||
        minutes >= 60 || degrees < 0)
        return false;
    out = degrees + minutes / 60.0;
    if (hemisphere == "S" || hemisphere == "W")
        out = -out;
    else if (hemisphere != "N" && hemisphere != "E")
        return false;
    return true;
}

bool readNmea(std::string_view text, ForeignTrack& out, Counts& counts, std::string&)
{
    std::size_t at = 0;
    int64_t lastTimeOfDayMs = -1;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = trim(text.substr(at, end - at));
        at = end + 1;
        if (line.size() < 7 || line[0] != '$')
            continue;
        const std::size_t star = line.find('*');
        if (star != std::string_view::npos) {
            unsigned sum = 0;
            for (std::size_t i = 1; i < star; ++i)
                sum ^= static_cast<unsigned char>(line[i]);
            char want[3];
            std::snprintf(want, sizeof want, "%02X", sum);
            const std::string_view given = line.substr(star + 1);
            if (given.size() != 2 || std::toupper(static_cast<unsigned char>(given[0])) != want[0] ||
                std::toupper(static_cast<unsigned char>(given[1])) != want[1])
                continue; // a damaged sentence
            line = line.substr(0, star);
        }
        const std::vector<std::string_view> w = split(line, ',');
        const std::string_view id = w[0];
        if (id.size() == 6 && id.substr(3) == "RMC" && w.size() >= 10) {
            ++counts.points;
            if (w[2] != "A") {
                --counts.points; // no fix: not a position at all
                continue;
            }
            ForeignFix fix;
            int hh = 0, mm = 0, day = 0, month = 0, yy = 0;
            double ss = 0;
            if (!nmeaAngle(w[3], w[4], 2, fix.lat) || !nmeaAngle(w[5], w[6], 3, fix.lon) ||
                !validPosition(fix.lat, fix.lon)) {
                ++counts.bad;
                continue;
            }
            if (w[1].size() < 6 || w[9].size() != 6) {
                ++counts.timeless;
                continue;
            }
            if (!digits(w[1], 0, 2, hh) || !digits(w[1], 2, 2, mm) || !number(w[1].substr(4), ss) ||
                !digits(w[9], 0, 2, day) || !digits(w[9], 2, 2, month) || !digits(w[9], 4, 2, yy)) {
                ++counts.bad;
                continue;
            }
            const int year = yy < 80 ? 2000 + yy : 1900 + yy;
            if (!validCivil(year, month, day, hh, mm, ss)) {
                ++counts.bad;
                continue;
            }
            fix.utcMs = utcMsFromCivil(year, month, day, hh, mm, ss);
            double v = 0;
            if (number(w[7], v) && v >= 0 && v < 300)
                fix.speedKmh = v * kKmhPerKnot;
            if (number(w[8], v) && v >= 0 && v <= 360)
                fix.course = v;
            lastTimeOfDayMs = fix.utcMs % 86400000;
            out.fixes.push_back(fix);
        } else if (id.size() == 6 && id.substr(3) == "GGA" && w.size() >= 10 && !out.fixes.empty()) {
            // The altitude of the same moment as the last position.
            int hh = 0, mm = 0;
            double ss = 0, alt = 0;
            if (digits(w[1], 0, 2, hh) && digits(w[1], 2, 2, mm) && w[1].size() >= 6 &&
                number(w[1].substr(4), ss) &&
                static_cast<int64_t>(std::llround((hh * 3600 + mm * 60 + ss) * 1000)) == lastTimeOfDayMs &&
                number(w[9], alt) && alt > -1000 && alt < 20000) {
                out.fixes.back().altitude = alt;
                out.fixes.back().hasAltitude = true;
            }
        }
    }
    return true;
}

// ------------------------------------------------------------------ CSV

std::vector<std::string> csvFields(std::string_view line, char separator)
{
    std::vector<std::string> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size() && out.size() <= 64; ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                out.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                out.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

std::string lower(std::string_view s)
{
    std::string out(trim(s));
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool csvTime(std::string_view text, int64_t& utcMs)
{
    text = trim(text);
    if (parseIsoTime(text, utcMs))
        return true;
    double v = 0;
    if (!number(text, v) || v <= 0)
        return false;
    // Seconds or milliseconds since 1970, told apart by size.
    const double ms = v > 1e11 ? v : v * 1000.0;
    if (ms < 631152000000.0 || ms > 4102444800000.0) // 1990 .. 2100
        return false;
    utcMs = static_cast<int64_t>(std::llround(ms));
    return true;
}

bool readCsv(std::string_view text, ForeignTrack& out, Counts& counts, std::string& error)
{
    std::size_t at = 0;
    std::string_view header;
    while (at < text.size() && header.empty()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        header = trim(text.substr(at, end - at));
        at = end + 1;
    }
    const auto count = [&](char c) { return std::count(header.begin(), header.end(), c); };
    const char separator = count(';') > count(',') ? ';' : count('\t') > count(',') ? '\t' : ',';
    const std::vector<std::string> names = csvFields(header, separator);
    int latCol = -1, lonCol = -1, timeCol = -1, dateCol = -1, altCol = -1, speedCol = -1, courseCol = -1;
    double speedFactor = 1.0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string n = lower(names[i]);
        const int c = static_cast<int>(i);
        auto starts = [&](const char* p) { return n.rfind(p, 0) == 0; };
        if (latCol < 0 && starts("lat"))
            latCol = c;
        else if (lonCol < 0 && (starts("lon") || starts("lng")))
            lonCol = c;
        else if (altCol < 0 && (starts("alt") || starts("ele")))
            altCol = c;
        else if (speedCol < 0 && n.find("speed") != std::string::npos) {
            speedCol = c;
            if (n.find("m/s") != std::string::npos || n.find("mps") != std::string::npos)
                speedFactor = 3.6;
            else if (n.find("mph") != std::string::npos)
                speedFactor = 1.609344;
            else if (n.find("kn") != std::string::npos && n.find("km") == std::string::npos)
                speedFactor = kKmhPerKnot;
        } else if (courseCol < 0 && (starts("course") || starts("bearing") || starts("heading")))
            courseCol = c;
        else if (n == "date" && dateCol < 0)
            dateCol = c;
        else if (timeCol < 0 && (n.find("time") != std::string::npos || n == "utc" || n == "date"))
            timeCol = c;
    }
    if (latCol < 0 || lonCol < 0) {
        error = "the CSV file has no latitude and longitude columns in its first line";
        return false;
    }
    if (timeCol < 0 && dateCol >= 0)
        std::swap(timeCol, dateCol);
    if (timeCol < 0) {
        error = "the CSV file has no time column";
        return false;
    }
    std::size_t lineNo = 1;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = trim(text.substr(at, end - at));
        at = end + 1;
        ++lineNo;
        if (line.empty())
            continue;
        const std::vector<std::string> f = csvFields(line, separator);
        const int needed = std::max({latCol, lonCol, timeCol, dateCol}) + 1;
        if (static_cast<int>(f.size()) < needed) {
            error = "line " + std::to_string(lineNo) + " of the CSV file is cut short";
            return false;
        }
        ++counts.points;
        ForeignFix fix;
        if (!number(f[static_cast<std::size_t>(latCol)], fix.lat) ||
            !number(f[static_cast<std::size_t>(lonCol)], fix.lon) || !validPosition(fix.lat, fix.lon)) {
            ++counts.bad;
            continue;
        }
        std::string when = f[static_cast<std::size_t>(timeCol)];
        if (dateCol >= 0)
            when = std::string(trim(f[static_cast<std::size_t>(dateCol)])) + " " + std::string(trim(when));
        if (trim(when).empty()) {
            ++counts.timeless;
            continue;
        }
        if (!csvTime(when, fix.utcMs)) {
            ++counts.bad;
            continue;
        }
        double v = 0;
        if (altCol >= 0 && altCol < static_cast<int>(f.size()) &&
            number(f[static_cast<std::size_t>(altCol)], v) && v > -1000 && v < 20000) {
            fix.altitude = v;
            fix.hasAltitude = true;
        }
        if (speedCol >= 0 && speedCol < static_cast<int>(f.size()) &&
            number(f[static_cast<std::size_t>(speedCol)], v) && v >= 0 && v * speedFactor < 1000)
            fix.speedKmh = v * speedFactor;
        if (courseCol >= 0 && courseCol < static_cast<int>(f.size()) &&
            number(f[static_cast<std::size_t>(courseCol)], v) && v >= 0 && v <= 360)
            fix.course = v;
        out.fixes.push_back(fix);
    }
    return true;
}

ForeignFormat detect(std::string_view text)
{
    const std::string_view head = text.substr(0, 4096);
    if (head.find("<gpx") != std::string_view::npos)
        return ForeignFormat::Gpx;
    if (head.find("<kml") != std::string_view::npos)
        return ForeignFormat::Kml;
    const std::string_view start = trim(head);
    if (!start.empty() && start[0] == '$')
        return ForeignFormat::Nmea;
    if (!start.empty() && start[0] == '<')
        return ForeignFormat::Unknown;
    return ForeignFormat::Csv;
}

double distanceM(const ForeignFix& a, const ForeignFix& b)
{
    const double la1 = a.lat * kPi / 180, la2 = b.lat * kPi / 180;
    const double dla = la2 - la1, dlo = (b.lon - a.lon) * kPi / 180;
    const double h = std::sin(dla / 2) * std::sin(dla / 2) +
                     std::cos(la1) * std::cos(la2) * std::sin(dlo / 2) * std::sin(dlo / 2);
    return 2 * kEarthRadiusM * std::asin(std::min(1.0, std::sqrt(h)));
}

double bearing(const ForeignFix& a, const ForeignFix& b)
{
    const double la1 = a.lat * kPi / 180, la2 = b.lat * kPi / 180, dlo = (b.lon - a.lon) * kPi / 180;
    const double y = std::sin(dlo) * std::cos(la2);
    const double x = std::cos(la1) * std::sin(la2) - std::sin(la1) * std::cos(la2) * std::cos(dlo);
    const double deg = std::atan2(y, x) * 180 / kPi;
    return std::fmod(deg + 360.0, 360.0);
}

std::string utcText(int64_t utcMs)
{
    const std::time_t when = static_cast<std::time_t>(utcMs / 1000);
    std::tm tm{};
    char text[32] = "?";
    if (gmtime_r(&when, &tm))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

} // namespace

const char* foreignFormatName(ForeignFormat format)
{
    switch (format) {
    case ForeignFormat::Gpx:
        return "GPX";
    case ForeignFormat::Kml:
        return "KML";
    case ForeignFormat::Nmea:
        return "NMEA";
    case ForeignFormat::Csv:
        return "CSV";
    case ForeignFormat::Unknown:
        break;
    }
    return "unknown";
}

int64_t utcMsFromCivil(int year, int month, int day, int hour, int minute, double second)
{
    // Days from 1970-01-01 of a proleptic Gregorian date.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = static_cast<int64_t>(era) * 146097 + doe - 719468;
    return (days * 86400 + hour * 3600 + minute * 60) * 1000 +
           static_cast<int64_t>(std::llround(second * 1000));
}

bool parseIsoTime(std::string_view t, int64_t& utcMs)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, sec = 0;
    if (!digits(t, 0, 4, year) || t.size() < 19 || t[4] != '-' || !digits(t, 5, 2, month) || t[7] != '-' ||
        !digits(t, 8, 2, day) || (t[10] != 'T' && t[10] != ' ') || !digits(t, 11, 2, hour) || t[13] != ':' ||
        !digits(t, 14, 2, minute) || t[16] != ':' || !digits(t, 17, 2, sec))
        return false;
    std::size_t at = 19;
    double fraction = 0;
    if (at < t.size() && (t[at] == '.' || t[at] == ',')) {
        double scale = 0.1;
        ++at;
        const std::size_t first = at;
        while (at < t.size() && t[at] >= '0' && t[at] <= '9') {
            fraction += (t[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == first)
            return false;
    }
    int zoneMinutes = 0;
    if (at < t.size()) {
        if (t[at] == 'Z' && at + 1 == t.size()) {
            // UTC
        } else if ((t[at] == '+' || t[at] == '-') &&
                   (t.size() == at + 6 || t.size() == at + 5 || t.size() == at + 3)) {
            int zh = 0, zm = 0;
            const bool colon = t.size() == at + 6;
            if (!digits(t, at + 1, 2, zh) || (colon && t[at + 3] != ':') ||
                (t.size() > at + 3 && !digits(t, at + (colon ? 4 : 3), 2, zm)) || zh > 14 || zm > 59)
                return false;
            zoneMinutes = (zh * 60 + zm) * (t[at] == '-' ? -1 : 1);
        } else {
            return false;
        }
    }
    if (!validCivil(year, month, day, hour, minute, sec + fraction))
        return false;
    utcMs = utcMsFromCivil(year, month, day, hour, minute, sec + fraction) - zoneMinutes * 60000LL;
    return true;
}

bool parseForeignTrack(std::string_view text, ForeignTrack& out, std::string& error)
{
    out = ForeignTrack();
    error.clear();
    if (text.size() > static_cast<std::size_t>(foreigntrack::kMaxFileBytes)) {
        error = "the file is larger than 64 MB";
        return false;
    }
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    if (!validUtf8(text) || text.find('\0') != std::string_view::npos) {
        error = "the file is not UTF-8 text";
        return false;
    }
    if (trim(text).empty()) {
        error = "the file is empty";
        return false;
    }
    ForeignTrack track;
    track.format = detect(text);
    Counts counts;
    bool ok = false;
    switch (track.format) {
    case ForeignFormat::Gpx:
        ok = readGpx(text, track, counts, error);
        break;
    case ForeignFormat::Kml:
        ok = readKml(text, track, counts, error);
        break;
    case ForeignFormat::Nmea:
        ok = readNmea(text, track, counts, error);
        break;
    case ForeignFormat::Csv:
        ok = readCsv(text, track, counts, error);
        break;
    case ForeignFormat::Unknown:
        error = "the file is not GPX, KML, NMEA or CSV";
        return false;
    }
    if (!ok)
        return false;
    std::stable_sort(track.fixes.begin(), track.fixes.end(),
                     [](const ForeignFix& a, const ForeignFix& b) { return a.utcMs < b.utcMs; });
    track.fixes.erase(
        std::unique(track.fixes.begin(), track.fixes.end(),
                    [](const ForeignFix& a, const ForeignFix& b) { return a.utcMs == b.utcMs; }),
        track.fixes.end());
    if (track.fixes.empty()) {
        const std::string kind = foreignFormatName(track.format);
        if (counts.points == 0)
            error = "the " + kind + " file holds no positions";
        else if (counts.timeless > 0 && counts.timeless + counts.bad == counts.points && counts.bad == 0)
            error = "the " + kind +
                    " file's positions have no times, so they cannot be lined up with the recording";
        else
            error = "the " + kind + " file holds no usable positions (" + std::to_string(counts.bad) +
                    " with values that are not numbers, off the globe or with impossible times)";
        return false;
    }
    out = std::move(track);
    return true;
}

bool readForeignTrack(const std::string& path, ForeignTrack& out, std::string& error)
{
    out = ForeignTrack();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "not a regular file";
        return false;
    }
    if (st.st_size > foreigntrack::kMaxFileBytes) {
        ::close(fd);
        error = "the file is larger than 64 MB";
        return false;
    }
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, &text[got], text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    return parseForeignTrack(text, out, error);
}

std::string trackOffsetProblem(long long offsetSeconds)
{
    if (offsetSeconds < foreigntrack::kMinOffsetSeconds || offsetSeconds > foreigntrack::kMaxOffsetSeconds)
        return "the offset must be between -3600 and 3600 seconds";
    return {};
}

bool parseTrackOffset(const std::string& text, int& offsetSeconds, std::string& error)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    if (i == text.size() || i + 7 < text.size() ||
        !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        error = "the offset \"" + text + "\" is not a whole number of seconds";
        return false;
    }
    const long long value = std::stoll(text);
    error = trackOffsetProblem(value);
    if (!error.empty())
        return false;
    offsetSeconds = static_cast<int>(value);
    return true;
}

bool recordingStartUtcMs(const std::string& recordingPath, int64_t& utcMs)
{
    _SYSTEMTIME t;
    if (!pmGetFileDateTime(recordingPath, t) || !pmIsRealDateTime(t))
        return false;
    std::tm tm{};
    tm.tm_year = t.wYear - 1900;
    tm.tm_mon = t.wMonth - 1;
    tm.tm_mday = t.wDay;
    tm.tm_hour = t.wHour;
    tm.tm_min = t.wMinute;
    tm.tm_sec = t.wSecond;
    tm.tm_isdst = -1;
    const std::time_t when = std::mktime(&tm);
    if (when == static_cast<std::time_t>(-1))
        return false;
    utcMs = static_cast<int64_t>(when) * 1000;
    return true;
}

bool alignForeignTrack(const ForeignTrack& track, int64_t recordingStartUtcMs, int seconds, int offsetSeconds,
                       GpsList& list, std::string& error)
{
    list.ClearAllData();
    seconds = std::clamp(seconds, 0, GpsList::kMaxVideoSeconds);
    if (!trackOffsetProblem(offsetSeconds).empty()) {
        error = trackOffsetProblem(offsetSeconds);
        return false;
    }
    const std::vector<ForeignFix>& f = track.fixes;
    int readings = 0;
    for (int i = 0; i < seconds; ++i) {
        const int64_t t = recordingStartUtcMs + (static_cast<int64_t>(i) + offsetSeconds) * 1000;
        GpsData sample;
        sample.setReading(false);
        sample.setFSpeed(-1);
        const auto after = std::lower_bound(
            f.begin(), f.end(), t, [](const ForeignFix& fix, int64_t when) { return fix.utcMs < when; });
        // The fixes either side of the moment (one of them may be at it).
        const ForeignFix* from = nullptr;
        const ForeignFix* to = nullptr;
        if (after != f.end() && after->utcMs == t) {
            from = &*after;
            if (after + 1 != f.end() && (after + 1)->utcMs - t <= foreigntrack::kMaxGapMs)
                to = &*(after + 1);
            else if (after != f.begin() && t - (after - 1)->utcMs <= foreigntrack::kMaxGapMs)
                from = &*(after - 1), to = &*after;
        } else if (after != f.end() && after != f.begin() &&
                   after->utcMs - (after - 1)->utcMs <= foreigntrack::kMaxGapMs) {
            from = &*(after - 1);
            to = &*after;
        }
        if (from) {
            double lat = from->lat, lon = from->lon, alt = from->altitude;
            double speed = from->speedKmh, course = from->course;
            if (to) {
                const double span = static_cast<double>(to->utcMs - from->utcMs);
                const double k = std::clamp(static_cast<double>(t - from->utcMs) / span, 0.0, 1.0);
                lat = from->lat + (to->lat - from->lat) * k;
                lon = from->lon + (to->lon - from->lon) * k;
                if (from->hasAltitude && to->hasAltitude)
                    alt = from->altitude + (to->altitude - from->altitude) * k;
                else if (to->hasAltitude && !from->hasAltitude)
                    alt = to->altitude;
                if (from->speedKmh >= 0 && to->speedKmh >= 0)
                    speed = from->speedKmh + (to->speedKmh - from->speedKmh) * k;
                const double metres = distanceM(*from, *to);
                if (speed < 0)
                    speed = metres / (span / 1000.0) * 3.6;
                if (k >= 0.5 && to->course >= 0)
                    course = to->course;
                if (course < 0 && metres >= 1.0)
                    course = bearing(*from, *to);
            }
            sample.setFLatitude(static_cast<float>(lat));
            sample.setFLongitude(static_cast<float>(lon));
            // No speed given or made, or one no car drives (a jump of the fix): no speed reading.
            sample.setFSpeed(speed < 0 || speed > 500.0 ? -1.0f : static_cast<float>(speed));
            sample.setFDirection(static_cast<float>(course));
            sample.setDAltitude(alt);
            sample.setReading(true);
            ++readings;
        }
        list.Append(sample);
    }
    if (readings == 0) {
        list.ClearAllData();
        if (f.empty()) {
            error = "the track holds no positions";
        } else {
            const int64_t startMs = recordingStartUtcMs + offsetSeconds * 1000LL;
            const std::string text = "the track (" + utcText(f.front().utcMs) + " to " +
                                     utcText(f.back().utcMs) + " UTC) does not cover the recording (" +
                                     utcText(startMs) + " to " + utcText(startMs + seconds * 1000LL) +
                                     " UTC with the offset)";
            error = text;
        }
        return false;
    }
    list.setBGps(true);
    return true;
}
