#include "core/FileRules.h"

#include "core/CameraFamilies.h"
#include "core/Log.h"

#include <cctype>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace
{

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isDir(const std::string& path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Leading decimal digits of a two-character field; none reads as 0.
uint16_t twoDigitField(const std::string& s, std::size_t pos)
{
    uint16_t value = 0;
    for (std::size_t i = pos; i < pos + 2 && i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (!std::isdigit(c))
            break;
        value = static_cast<uint16_t>(value * 10 + (c - '0'));
    }
    return value;
}

std::string replaceLastChar(const std::string& s, const char* with)
{
    if (s.empty())
        return std::string(with);
    return s.substr(0, s.size() - 1) + with;
}

// Removes the last path component (and the separator before it).
std::string dropLastComponent(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const auto slash = p.find_last_of('/');
    if (slash == std::string::npos)
        return std::string();
    if (slash == 0)
        return "/";
    return p.substr(0, slash);
}

} // namespace

std::string pmGetFileName(const std::string& path, bool withoutExtension)
{
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (withoutExtension) {
        const auto dot = name.find_last_of('.');
        if (dot != std::string::npos)
            name.erase(dot);
    }
    return name;
}

std::string pmGetPathWithoutExtension(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path;
    return path.substr(0, dot);
}

std::string pmReverseString(const std::string& text)
{
    return std::string(text.rbegin(), text.rend());
}

bool pmIsFileExist(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0;
}

bool pmIsWritable(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat st {
    };
    if (::stat(path.c_str(), &st) != 0)
        return false;
    struct statvfs vfs {
    };
    if (::statvfs(path.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY))
        return false;
    // The permission bits decide, even for the superuser: a recording the
    // camera protected (read-only) must still read as protected.
    const uid_t uid = ::geteuid();
    if (uid == 0)
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    if (st.st_uid == uid)
        return (st.st_mode & S_IWUSR) != 0;
    if (st.st_gid == ::getegid())
        return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

MediaContainerKind pmGetMediaType(const std::string& path)
{
    // Asked for every file of a scan: read in place, without copies.
    const auto slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart || path.size() - dot != 4)
        return kMediaUnknown;
    char ext[3];
    for (std::size_t i = 0; i < 3; ++i)
        ext[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(path[dot + 1 + i])));
    if (std::memcmp(ext, "avi", 3) == 0)
        return kMediaAvi;
    if (std::memcmp(ext, "mov", 3) == 0)
        return kMediaMov;
    if (std::memcmp(ext, "mp4", 3) == 0)
        return kMediaMp4;
    return kMediaUnknown;
}

bool pmIsDigitRun(const std::string& name, std::size_t start)
{
    if (name.size() < start + 4)
        return false;
    for (std::size_t i = start; i < start + 4; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

bool pmIsEventByAttribute(const std::string& path)
{
    if (path.empty())
        return false;
    if (!pmIsWritable(path))
        return true;
    return upper(pmGetFileName(path, false)).find("EMER") != std::string::npos;
}

namespace
{

std::string_view baseNameView(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return name;
}

bool digitRunAt(std::string_view name, std::size_t start)
{
    if (name.size() < start + 4)
        return false;
    for (std::size_t i = start; i < start + 4; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

bool headIs(std::string_view base, const char* text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(base[i])) != text[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<RecordingType> pmOwnTypeByName(std::string_view path)
{
    const std::string_view base = baseNameView(path);
    if (base.size() >= 5) {
        std::optional<RecordingType> type;
        if (headIs(base, "FILE", 4))
            type = kRecordingNormal;
        else if (headIs(base, "EMER", 4) || headIs(base, "EVEN", 4))
            type = kRecordingEvent;
        else if (headIs(base, "PARK", 4))
            type = kRecordingParking;
        // A four-letter prefix without its digits goes to the fallback, never
        // to the two-letter prefixes.
        if (type)
            return digitRunAt(base, 4) ? type : std::nullopt;
    }
    if (base.size() >= 2 && digitRunAt(base, 2)) {
        if (headIs(base, "BN", 2))
            return kRecordingNormal;
        if (headIs(base, "BE", 2))
            return kRecordingEvent;
        if (headIs(base, "BP", 2))
            return kRecordingParking;
    }
    return std::nullopt;
}

CameraCode pmOwnCameraType(std::string_view path)
{
    if (path.empty())
        return kCameraNone;
    const std::string_view base = baseNameView(path);
    if (base.size() <= 18)
        return kCameraNone;
    // The four characters just before the last two are digits (a digit run
    // at position 2 of the reversed name).
    for (std::size_t i = base.size() - 6; i < base.size() - 2; ++i) {
        if (base[i] < '0' || base[i] > '9')
            return kCameraNone;
    }
    const char last = base.back();
    if (last == 'M' || last == 'm')
        return kCameraMain;
    if (last == '2')
        return kCameraRear;
    return kCameraNone;
}

bool pmOwnFileDateTime(std::string_view path, _SYSTEMTIME& time)
{
    time = _SYSTEMTIME{};
    const std::string base(baseNameView(path));
    if (base.size() < 17)
        return false;
    time.wYear = static_cast<uint16_t>(2000 + twoDigitField(base, 4));
    time.wMonth = twoDigitField(base, 6);
    time.wDay = twoDigitField(base, 8);
    time.wHour = twoDigitField(base, 11);
    time.wMinute = twoDigitField(base, 13);
    time.wSecond = twoDigitField(base, 15);
    return true;
}

bool pmOwnRulesRecognise(std::string_view path)
{
    return pmOwnTypeByName(path) || pmOwnCameraType(path) != kCameraNone;
}

RecordingType pmGetFileType(const std::string& path)
{
    const NameFacts facts = pmReadNameFacts(path);
    if (facts.typeKnown)
        return facts.type;
    return pmIsEventByAttribute(path) ? kRecordingEvent : kRecordingNormal;
}

MotorType pmGetMotorType(const std::string& path)
{
    if (path.empty())
        return kMotorNone;
    const std::string base = pmGetFileName(path, true);
    if (pmIsDigitRun(base, 2)) {
        const std::string head = upper(base.substr(0, 2));
        if (head == "BN" || head == "BE" || head == "BP")
            return kMotorTwoLetter;
    }
    return kMotorStandard;
}

CameraCode pmGetCameraType(const std::string& path)
{
    if (path.empty())
        return kCameraNone;
    return pmReadNameFacts(path).camera;
}

bool pmGetFileDateTime(const std::string& path, _SYSTEMTIME& time)
{
    const NameFacts facts = pmReadNameFacts(path);
    time = facts.start;
    return facts.hasTime;
}

bool pmIsRealDateTime(const _SYSTEMTIME& t)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1)
        return false;
    int days = kDays[t.wMonth - 1];
    const bool leap = (t.wYear % 4 == 0 && t.wYear % 100 != 0) || t.wYear % 400 == 0;
    if (t.wMonth == 2 && leap)
        days = 29;
    return t.wDay <= days && t.wHour <= 23 && t.wMinute <= 59 && t.wSecond <= 59;
}

bool pmIsSameFile(const std::string& a, const std::string& b)
{
    struct stat sa {
    };
    struct stat sb {
    };
    if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string pmGetGpsLogFile(const std::string& path)
{
    return pmGetGpsLogFile(path, pmIsFileExist, isDir);
}

std::string pmGetGpsLogFile(const std::string& path, const PathTest& exists, const PathTest& isFolder)
{
    if (path.empty())
        return std::string();
    const std::string stem = pmGetPathWithoutExtension(path);
    // One buffer for the four candidates: a scan asks this for every recording.
    std::string candidate;
    candidate.reserve(stem.size() + 8);
    for (const char* ext : {".log", ".txt", ".nmea", ".NMEA"}) {
        candidate.assign(stem).append(ext);
        if (exists(candidate))
            return candidate;
    }
    pmWriteLog("pmGetGpsLogFile() - GPS NMEA file not found!");
    pmWriteLog(candidate); // the last one tried, stem + ".NMEA"

    const std::string camLetterLog = replaceLastChar(stem, "N.NMEA");
    if (exists(camLetterLog))
        return camLetterLog;

    const std::string grandParent = dropLastComponent(dropLastComponent(path));
    const std::string nmeaFolder = grandParent.empty()  ? std::string("NMEA")
                                   : grandParent == "/" ? std::string("/NMEA")
                                                        : grandParent + "/NMEA";
    if (isFolder(nmeaFolder)) {
        const std::string s2 = nmeaFolder + "/" + pmGetFileName(path, true);
        for (const std::string& inFolder : {s2 + ".nmea", s2 + ".NMEA", replaceLastChar(s2, "N.NMEA")}) {
            if (exists(inFolder))
                return inFolder;
        }
    }

    const std::string appended = path + ".txt";
    if (exists(appended))
        return appended;
    return std::string();
}

void pmAppendEscapedField(std::string& out, const std::string& text)
{
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

namespace
{

// Length of the valid UTF-8 sequence at `at` (shortest form, no surrogates,
// at most U+10FFFF), or 0 when the byte there does not start one.
std::size_t utf8SequenceAt(const std::string& text, std::size_t at)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // shorter forms exist
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[at + i]);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

} // namespace

void pmAppendJsonString(std::string& out, const std::string& text)
{
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 0xF];
                } else {
                    out += static_cast<char>(c);
                }
            }
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceAt(text, i);
        if (length > 0) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\\udc";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            ++i;
        }
    }
    out += '"';
}
