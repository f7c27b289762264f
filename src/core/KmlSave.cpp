#include "core/KmlSave.h"

#include "core/Clock.h"

#include "core/GpsList.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char kPaddleIcons[] = "http://maps.google.com/mapfiles/kml/paddle/";
const char kPushpinIcons[] = "http://maps.google.com/mapfiles/kml/pushpin/";
const char kPaddleHotSpot[] = "<hotSpot x=\"32\" y=\"1\" xunits=\"pixels\" yunits=\"pixels\"/>";
const char kPushpinHotSpot[] = "<hotSpot x=\"20\" y=\"2\" xunits=\"pixels\" yunits=\"pixels\"/>";

std::string iconStyle(const char* id, const char* iconSet, const char* icon, const char* hotSpot,
                      bool lineEnd)
{
    std::string s = "<Style id=\"";
    s += id;
    s += "\"><IconStyle><scale>1.3</scale><Icon><href>";
    s += iconSet;
    s += icon;
    s += "</href></Icon>";
    s += hotSpot;
    s += lineEnd ? "</IconStyle></Style>\r\n" : "</IconStyle></Style>";
    return s;
}

// "%lf" text of a number whatever the process's locale (a map reader wants a
// decimal point); anything not finite is written as 0. Returns the end.
char* formatNumber(char* out, char* end, double v)
{
    if (!std::isfinite(v))
        v = 0;
    const auto result = std::to_chars(out, end, v, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? result.ptr : out;
}

std::string number(double v)
{
    char text[400];
    return std::string(text, formatNumber(text, text + sizeof text, v));
}

std::chrono::system_clock::time_point kmlNow()
{
    return pmNow();
}

// Length of the valid UTF-8 sequence at s[i] (1-4), or 0 when it is not valid
// (overlong forms, surrogates and code points beyond U+10FFFF are not).
std::size_t utf8Length(const std::string& s, std::size_t i, uint32_t& codePoint)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    }
    std::size_t n;
    uint32_t cp;
    uint32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    codePoint = cp;
    return n;
}

} // namespace

KmlSave::~KmlSave()
{
    if (m_myFile)
        std::fclose(m_myFile);
}

std::FILE* pmCreateOutputFile(const std::string& path)
{
    // Opened without blocking and without truncating: a FIFO with no reader
    // fails here instead of waiting forever, and one with a reader, or a
    // device, is recognised before anything is written to it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* f = nullptr;
    if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && ::ftruncate(fd, 0) == 0)
        f = ::fdopen(fd, "w");
    if (!f) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return f;
}

bool KmlSave::CreateFile(const std::string& path)
{
    if (m_myFile)
        std::fclose(m_myFile);
    m_bFailed = false;
    m_myFile = pmCreateOutputFile(path);
    if (!m_myFile) {
        m_bFailed = true;
        return false;
    }
    std::setvbuf(m_myFile, nullptr, _IOFBF, 1 << 16);
    return true;
}

void KmlSave::WriteToFile(const std::string& text)
{
    if (!m_myFile) {
        m_bFailed = true;
        return;
    }
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), m_myFile) != text.size())
        m_bFailed = true;
}

std::string KmlSave::StringAsCData(const std::string& text)
{
    std::string out = "<![CDATA[";
    for (std::size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        const std::size_t n = utf8Length(text, i, cp);
        if (n == 0) {
            ++i;
            continue;
        }
        if (cp == '\r') {
            out += "]]>&#13;<![CDATA[";
        } else if (cp == '>' && out.size() >= 2 && out.compare(out.size() - 2, 2, "]]") == 0) {
            // "]]" then ">" would end the section: end it between them.
            out += "]]><![CDATA[>";
        } else if ((cp < 0x20 && cp != '\t' && cp != '\n') || cp == 0xFFFE || cp == 0xFFFF) {
            // Not a character an XML document can hold.
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    out += "]]>";
    return out;
}

void KmlSave::WriteHeader(const std::string& name, const std::string& description)
{
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    s += "<kml xmlns=\"http://earth.google.com/kml/2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\r\n";
    s += "<Document>\r\n";
    s += "<atom:author><atom:name>TALVERN WAYSCRIBE on Mac";
    s += "</atom:name></atom:author>\r\n";
    s += "<name>" + StringAsCData(name) + "</name>\r\n";
    s += "<description>" + StringAsCData(description) + "</description>\r\n";
    WriteToFile(s);
    WriteStyles();
}

void KmlSave::WriteStyles()
{
    std::string s = "<Style id=\"track\"><LineStyle><color>7f0000ff</color>";
    s += "<width>4</width></LineStyle></Style>\r\n";
    s += iconStyle("sh_green-circle", kPaddleIcons, "grn-circle.png", kPaddleHotSpot, true);
    s += iconStyle("sh_red-circle", kPaddleIcons, "red-circle.png", kPaddleHotSpot, true);
    s += iconStyle("sh_ylw-pushpin", kPushpinIcons, "ylw-pushpin.png", kPushpinHotSpot, true);
    s += iconStyle("sh_blue-pushpin", kPushpinIcons, "blue-pushpin.png", kPushpinHotSpot, true);
    s += iconStyle("sh_green-pushpin", kPushpinIcons, "grn-pushpin.png", kPushpinHotSpot, false);
    s += iconStyle("sh_red-pushpin", kPushpinIcons, "red-pushpin.png", kPushpinHotSpot, false);
    WriteToFile(s);
}

void KmlSave::WritePlacemark(const std::string& name, const std::string& description,
                             const std::string& style, const Location& location)
{
    std::string s = "<Placemark>\r\n";
    s += "  <name>" + StringAsCData(name) + "</name>\r\n";
    s += "  <description>" + StringAsCData(description) + "</description>\r\n";
    s += "  <styleUrl>" + style + "</styleUrl>\r\n";
    s += "  <Point>\r\n";
    s += "    <coordinates>" + number(location.longitude) + "," + number(location.latitude) +
         "</coordinates>\r\n";
    s += "  </Point>\r\n";
    s += "</Placemark>\r\n";
    WriteToFile(s);
}

void KmlSave::WriteBeginTrack(const std::string& name, const std::string& description,
                              const Location& location)
{
    WritePlacemark("(Start)", description, "#sh_green-circle", location);
    std::string s = "<Placemark>\r\n";
    s += "<name>" + StringAsCData(name) + "</name>\r\n";
    s += "<description>" + StringAsCData(description) + "</description>\r\n";
    s += "<styleUrl>#track</styleUrl>\r\n";
    s += "<MultiGeometry>\r\n";
    WriteToFile(s);
}

void KmlSave::WriteOpenSegment()
{
    WriteToFile("<LineString><coordinates>");
}

void KmlSave::WriteLocation(const Location& location)
{
    if (!m_myFile) {
        m_bFailed = true;
        return;
    }
    char text[1200];
    char* const end = text + sizeof text;
    char* p = formatNumber(text, end, location.longitude);
    *p++ = ',';
    p = formatNumber(p, end, location.latitude);
    *p++ = ',';
    p = formatNumber(p, end, location.altitude);
    *p++ = ' ';
    const auto n = static_cast<std::size_t>(p - text);
    if (std::fwrite(text, 1, n, m_myFile) != n)
        m_bFailed = true;
}

void KmlSave::WriteCloseSegment()
{
    WriteToFile("</coordinates></LineString>");
}

void KmlSave::WriteEndTrack(const std::string&, const std::string& description, const Location& location)
{
    WriteToFile("</MultiGeometry>\r\n</Placemark>\r\n");
    WritePlacemark("(End)", description, "#sh_red-circle", location);
}

void KmlSave::WriteFooter()
{
    WriteToFile("</Document>\r\n</kml>\r\n");
}

bool KmlSave::CloseFile()
{
    if (!m_myFile)
        return false;
    if (std::ferror(m_myFile))
        m_bFailed = true;
    if (std::fclose(m_myFile) != 0)
        m_bFailed = true;
    m_myFile = nullptr;
    return !m_bFailed;
}

std::string pmFormatKmlTime(std::chrono::system_clock::time_point when)
{
    const std::time_t secs = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&secs, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

KmlResult pmOutputKML(const std::string& path, const GpsList* list, const std::string& documentName)
{
    if (!list || list->GetDataCount() == 0)
        return KmlResult::NoTrack;
    const auto slash = path.find_last_of('/');
    const std::string name = !documentName.empty()        ? documentName
                             : slash == std::string::npos ? path
                                                          : path.substr(slash + 1);
    const std::string description = pmFormatKmlTime(kmlNow());

    KmlSave kml;
    if (!kml.CreateFile(path))
        return KmlResult::WriteFailed;
    kml.WriteHeader(name, description);
    const auto& samples = list->gpslist();
    KmlSave::Location location;
    bool first = true;
    for (const GpsData& sample : samples) {
        location.longitude = static_cast<double>(sample.fLongitude());
        location.latitude = static_cast<double>(sample.fLatitude());
        location.altitude = sample.dAltitude();
        if (first) {
            kml.WriteBeginTrack(name, "", location);
            kml.WriteOpenSegment();
            first = false;
        }
        kml.WriteLocation(location);
    }
    kml.WriteCloseSegment();
    kml.WriteEndTrack(name, "", location);
    kml.WriteFooter();
    if (!kml.CloseFile()) {
        // Remove the half-written document, but never a device or anything
        // else that is not a plain file.
        struct stat st {
        };
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(path.c_str());
        return KmlResult::WriteFailed;
    }
    return KmlResult::Ok;
}
