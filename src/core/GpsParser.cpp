#include "core/GpsParser.h"

#include "core/EmbeddedTrack.h"
#include "core/GpsList.h"
#include "core/Log.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

bool parseWord(const std::string& word, double& value)
{
    return pmParseDecimal(word.data(), word.data() + word.size(), value);
}

// Degrees from "DDMM.mmmm" (latitude, 2 degree digits) or "DDDMM.mmmm"
// (longitude, 3 digits). 0 (no position) when the minutes are not a number or
// the result does not fit a float.
float parseCoordinate(const std::string& word, std::size_t degreeDigits)
{
    const char* p = word.data();
    for (std::size_t i = 0; i < degreeDigits; ++i)
        if (p[i] < '0' || p[i] > '9')
            return 0;
    const long degrees = pmParseLeadingInt(p, p + degreeDigits);
    double minutes = 0;
    if (p[degreeDigits] == '+' || p[degreeDigits] == '-' ||
        !pmParseDecimal(p + degreeDigits, p + word.size(), minutes) || minutes >= 60)
        return 0;
    const auto result = static_cast<float>(static_cast<double>(degrees) + minutes / 60.0);
    return std::isfinite(result) ? result : 0.0f;
}

} // namespace

bool pmParseDecimal(const char* begin, const char* end, double& value)
{
    const char* p = begin;
    while (p < end && isBlank(*p))
        ++p;
    while (end > p && isBlank(end[-1]))
        --end;
    // Plain decimal only: a sign, digits, a point, digits. No hexadecimal,
    // no exponent, no "inf" or "nan", nothing after the number.
    const char* number = p;
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    const char* digits = p;
    int count = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        ++count;
    if (p < end && *p == '.')
        for (++p; p < end && *p >= '0' && *p <= '9'; ++p)
            ++count;
    if (count == 0 || p != end || p - digits > 64)
        return false;
    double parsed = 0;
    // from_chars takes no "+".
    const auto result =
        std::from_chars(*number == '+' ? number + 1 : number, end, parsed, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

long pmParseLeadingInt(const char* begin, const char* end)
{
    const char* p = begin;
    while (p < end && isBlank(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    long value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        if (value > 100000000)
            break;
        value = value * 10 + (*p - '0');
    }
    return negative ? -value : value;
}

bool GpsParser::ParseFile(const std::string& path, GpsList* list)
{
    m_poGpsList = list;
    m_fLastValidLatitude = 0;
    m_fLastValidLongitude = 0;
    m_bStartOfLine = false;
    m_nGpsDataCount = 0;
    m_nBadChecksums = 0;

    // Only a regular file is read, and the open does not block: a FIFO or a
    // device named like a log would otherwise hang the caller for good.
    std::FILE* file = nullptr;
    int error = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st {
    };
    if (fd < 0 || ::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    else if (!(file = ::fdopen(fd, "rb")))
        error = errno;
    if (!file) {
        if (fd >= 0)
            ::close(fd);
        pmWriteLog("GpsParser::ParseFile() - open file failed !");
        pmWriteLog("GpsParser::ParseFile() - Error Code = " + std::to_string(error));
        return false;
    }
    pmWriteLog("GpsParser::ParseFile() - open file ok !");
    const int64_t size = GetNmeaFileSize(file);
    pmWriteLog("GpsParser::ParseFile() - GPS file size = " + std::to_string(size));
    if (size <= 0) {
        std::fclose(file);
        return false;
    }

    // Blocks instead of one read of the whole file: the same bytes reach the
    // line collector, without holding a large log in memory.
    std::vector<unsigned char> block(std::min<int64_t>(size, 1 << 16));
    int64_t remaining = size;
    while (remaining > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(remaining, block.size()));
        const std::size_t got = std::fread(block.data(), 1, want, file);
        const unsigned char* p = block.data();
        const unsigned char* const end = p + got;
        while (p < end) {
            if (!m_bStartOfLine) {
                // Outside a sentence only "$" matters.
                p = static_cast<const unsigned char*>(std::memchr(p, '$', static_cast<std::size_t>(end - p)));
                if (!p)
                    break;
            }
            ProcessChar(*p++);
        }
        remaining -= static_cast<int64_t>(got);
        if (got < want)
            break;
    }
    std::fclose(file);
    if (m_nBadChecksums > 0)
        pmWriteLog("GpsParser::ParseFile() - " + std::to_string(m_nBadChecksums) +
                   " sentences with a wrong checksum skipped");
    return true;
}

int64_t GpsParser::GetNmeaFileSize(std::FILE* file)
{
    struct stat st {
    };
    if (!file || ::fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    const int64_t fileSize = st.st_size;
    char head[16];
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return 0;
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fseek(file, 0, SEEK_SET);
    if (got < sizeof head || std::memchr(head, 0, sizeof head))
        return fileSize;
    int64_t stated = 0;
    for (int i = 6; i < 14; ++i) {
        const char c = head[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return fileSize;
        stated = stated * 16 + digit;
    }
    // A header may promise more than the card kept: parse what is there.
    return std::min(stated, fileSize);
}

void GpsParser::ProcessChar(unsigned char c)
{
    if (!m_poGpsList)
        return;
    if (c == '$') {
        m_bStartOfLine = true;
        m_szGpsData[0] = '$';
        m_nGpsDataCount = 1;
        return;
    }
    if (c == '\r')
        return;
    if (c == '\n') {
        if (m_bStartOfLine) {
            m_bStartOfLine = false;
            const std::string sentence(m_szGpsData, static_cast<std::size_t>(m_nGpsDataCount));
            m_nGpsDataCount = 0;
            ParseSentence(sentence);
        }
        return;
    }
    if (m_bStartOfLine && m_nGpsDataCount < kMaxSentence)
        m_szGpsData[m_nGpsDataCount++] = static_cast<char>(c);
}

bool GpsParser::ParseGpsWords(const std::string& sentence)
{
    for (auto& w : m_Words)
        w.clear();
    m_nWordCount = 0;
    // A zero character ends the sentence like its end.
    const std::size_t length = std::min(sentence.size(), std::strlen(sentence.c_str()));
    const char* s = sentence.data();
    int count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        const bool end = i == length;
        if (end || s[i] == ',') {
            if (count >= kMaxWords - 1) {
                for (auto& w : m_Words)
                    w.clear();
                return false;
            }
            m_Words[static_cast<std::size_t>(count++)].assign(s + start, i - start);
            start = i + 1;
            if (end)
                break;
        } else if (i - start >= static_cast<std::size_t>(kMaxWordLength)) {
            for (auto& w : m_Words)
                w.clear();
            return false;
        }
    }
    m_nWordCount = static_cast<int16_t>(count);
    return true;
}

int GpsParser::hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool GpsParser::stripChecksum(std::string& sentence)
{
    const auto star = sentence.find('*');
    if (star == std::string::npos)
        return true;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    const bool wellFormed =
        sentence.size() == star + 3 && hexDigit(sentence[star + 1]) >= 0 && hexDigit(sentence[star + 2]) >= 0;
    if (!wellFormed ||
        static_cast<unsigned>(hexDigit(sentence[star + 1]) * 16 + hexDigit(sentence[star + 2])) != sum)
        return false;
    sentence.resize(star);
    return true;
}

bool GpsParser::ParseSentence(const std::string& text)
{
    if (!m_poGpsList)
        return false;
    // A checksum ("*" and two hexadecimal digits after the last character
    // summed) that is present must be right: a sentence damaged on the card
    // would otherwise be read as a real fix somewhere else. It is taken off
    // before the words are split. A sentence without one is read as it is.
    std::string sentence = text;
    if (!stripChecksum(sentence)) {
        ++m_nBadChecksums;
        return false;
    }
    if (!ParseGpsWords(sentence))
        return false;
    const std::string& id = m_Words[0];
    if (id == "$GPRMC" || id == "$GNRMC") {
        ParseGPRMC();
        m_poGpsList->setBGps(true);
    } else if (id == "$GPGGA" || id == "$GNGGA") {
        ParseGPGGA();
    } else if (id == "$GSENSOR") {
        ParseGSENSOR();
        m_poGpsList->setBSenser(true);
    } else if (id == "$GSENSORD") {
        ParseGSENSORD();
        m_poGpsList->setBSenser(true);
    } else if (id == "$GTIMESTAMP") {
        ParseTimeStamp();
    }
    return true;
}

void GpsParser::ParseGPRMC()
{
    if (trackIsFull())
        return;
    const bool valid = m_Words[2] == "A";
    float latitude = 0;
    if (valid && !m_Words[3].empty() && !m_Words[4].empty() && m_Words[3].size() > 2) {
        latitude = parseCoordinate(m_Words[3], 2);
        if (m_Words[4].find('S') != std::string::npos)
            latitude = -latitude;
    }
    float longitude = 0;
    if (valid && !m_Words[5].empty() && !m_Words[6].empty() && m_Words[5].size() > 3) {
        longitude = parseCoordinate(m_Words[5], 3);
        if (m_Words[6].find('W') != std::string::npos)
            longitude = -longitude;
    }
    // A position off the globe (a corrupt sentence) is no fix.
    if (!(std::fabs(latitude) <= 90.0f) || !(std::fabs(longitude) <= 180.0f)) {
        latitude = 0;
        longitude = 0;
    }
    float speed = 0;
    double knots = 0;
    if (!m_Words[7].empty() && parseWord(m_Words[7], knots)) {
        speed = static_cast<float>(knots * m_MPHPerKnot * 1.6);
        // No car drives faster: a corrupt value is no reading (-1), not a speed.
        if (!std::isfinite(speed) || speed > kMaxSpeedKmh || speed < 0)
            speed = -1;
    }
    float direction = -1;
    double course = 0;
    if (!m_Words[8].empty() && parseWord(m_Words[8], course)) {
        direction = static_cast<float>(course);
        if (!std::isfinite(direction))
            direction = -1;
    }

    GpsData sample;
    sample.setFDirection(direction);
    // The fix's UTC time and date (hhmmss[.ss], ddmmyy), kept for the camera clock's check.
    if (valid && m_Words[1].size() >= 6 && m_Words[9].size() == 6) {
        const std::string& t = m_Words[1];
        const std::string& d = m_Words[9];
        double secondsValue = 0;
        if (std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
            std::all_of(t.begin(), t.begin() + 4, [](char c) { return c >= '0' && c <= '9'; }) &&
            parseWord(t.substr(4), secondsValue)) {
            const int64_t utc = pmUtcMs(2000 + std::stoi(d.substr(4, 2)), std::stoi(d.substr(2, 2)),
                                        std::stoi(d.substr(0, 2)), std::stoi(t.substr(0, 2)),
                                        std::stoi(t.substr(2, 2)), secondsValue);
            if (utc != EmbeddedFix::kNoTime)
                sample.setUtcMs(utc);
        }
    }
    if (latitude != 0 && longitude != 0) {
        setLastValidLocation(latitude, longitude);
        sample.setFLatitude(latitude);
        sample.setFLongitude(longitude);
        sample.setFSpeed(speed);
    } else {
        float lastLatitude = 0;
        float lastLongitude = 0;
        if (getLastValidLocation(lastLatitude, lastLongitude)) {
            sample.setFLatitude(lastLatitude);
            sample.setFLongitude(lastLongitude);
            sample.setFSpeed(-1);
        } else {
            sample.setFSpeed(speed);
        }
    }
    m_poGpsList->Append(sample);
}

bool GpsParser::trackIsFull() const
{
    return m_poGpsList->GetDataCount() >= GpsList::kMaxVideoSeconds;
}

void GpsParser::ParseGPGGA()
{
    GpsData* last = m_poGpsList->GetLastData();
    double altitude = 0;
    // Outside what a road can be on, an altitude is no reading.
    if (!m_Words[9].empty() && last && parseWord(m_Words[9], altitude) && altitude >= kMinAltitude &&
        altitude <= kMaxAltitude)
        last->setDAltitude(altitude);
}

void GpsParser::ParseGSENSOR()
{
    int counts[3] = {0, 0, 0};
    for (int axis = 0; axis < 3; ++axis) {
        std::string w = m_Words[static_cast<std::size_t>(axis + 1)];
        if (w.empty())
            continue;
        for (char& c : w)
            c = asciiLower(c);
        int64_t value = 0;
        if (wxtoi(&w, value))
            counts[axis] = static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF));
    }
    if ((!m_poGpsList->IsGPSReady() && !trackIsFull()) || !m_poGpsList->GetLastData()) {
        GpsData sample;
        sample.setFDirection(-1);
        m_poGpsList->Append(sample);
    }
    GpsData* last = m_poGpsList->GetLastData();
    last->setSensorValue(counts[0], counts[1], counts[2]);
    m_poGpsList->UpdateGExtremes(last->GetGValueX(), last->GetGValueY(), last->GetGValueZ(),
                                 m_poGpsList->GetDataCount() - 1);
}

void GpsParser::ParseGSENSORD()
{
    float g[3] = {0, 0, 0};
    for (int axis = 0; axis < 3; ++axis) {
        double value = 0;
        if (parseWord(m_Words[static_cast<std::size_t>(axis + 1)], value))
            g[axis] = static_cast<float>(std::min(10.0, std::max(-10.0, value)));
    }
    if ((!m_poGpsList->IsGPSReady() && !trackIsFull()) || !m_poGpsList->GetLastData()) {
        GpsData sample;
        sample.setFDirection(0);
        m_poGpsList->Append(sample);
    }
    GpsData* last = m_poGpsList->GetLastData();
    last->setSensorValue(g[0], g[1], g[2]);
    m_poGpsList->UpdateGExtremes(g[0], g[1], g[2], m_poGpsList->GetDataCount() - 1);
}

void GpsParser::ParseTimeStamp()
{
    m_poGpsList->SetSpeedUnit(equalsNoCase(m_Words[1], "IMPERIAL") ? 1 : 0);
    m_poGpsList->SetShowSpeed(!equalsNoCase(m_Words[2], "OFF"));
    m_poGpsList->SetStampType(equalsNoCase(m_Words[3], "G-sensor") ? 1 : 0);
    m_poGpsList->SetTextStamp(m_Words[4]);
}

bool GpsParser::wxtoi(const std::string* text, int64_t& result)
{
    if (!text)
        return false;
    if (text->empty())
        return true;
    if (text->size() > 8)
        return false;
    result = 0;
    int64_t value = 0;
    for (char c : *text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return false;
        value = value * 16 + digit;
    }
    result = value;
    return true;
}

void GpsParser::setLastValidLocation(float latitude, float longitude)
{
    const bool hadNone = m_fLastValidLatitude == 0 || m_fLastValidLongitude == 0;
    m_fLastValidLatitude = latitude;
    m_fLastValidLongitude = longitude;
    if (!hadNone || latitude == 0 || longitude == 0 || !m_poGpsList)
        return;
    // The seconds before the first fix show where the first fix was.
    const int count = m_poGpsList->GetDataCount();
    for (int i = 0; i < count; ++i) {
        GpsData* sample = m_poGpsList->GetGpsData(i);
        if (sample->fLatitude() == 0 || sample->fLongitude() == 0) {
            sample->setFLatitude(latitude);
            sample->setFLongitude(longitude);
            sample->setFSpeed(-1);
        }
    }
}

bool GpsParser::getLastValidLocation(float& latitude, float& longitude) const
{
    if (m_fLastValidLatitude != 0 && m_fLastValidLongitude != 0) {
        latitude = m_fLastValidLatitude;
        longitude = m_fLastValidLongitude;
        return true;
    }
    latitude = 0;
    longitude = 0;
    return false;
}
