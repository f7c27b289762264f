#include "core/DeviceXml.h"

#include "core/LibraryScan.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Up to `limit` bytes from the start of a regular file; false when it cannot
// be opened or read. `truncated` tells whether the file goes on past them.
bool readPrefix(const std::string& path, std::size_t limit, std::string& bytes, bool& truncated)
{
    bytes.clear();
    truncated = false;
    // Non-blocking so a FIFO under the name cannot stall the scan.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const uint64_t length = st.st_size > 0 ? uint64_t(st.st_size) : 0;
    const std::size_t wanted = length < limit ? std::size_t(length) : limit;
    truncated = length > limit;
    bytes.resize(wanted);
    std::size_t done = 0;
    bool ok = true;
    while (done < wanted) {
        const ssize_t got = ::pread(fd, &bytes[done], wanted - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0)
            break; // shrank meanwhile: keep what is there
        done += std::size_t(got);
    }
    ::close(fd);
    bytes.resize(done);
    return ok;
}

// Length of the UTF-8 sequence a lead byte announces; 0 for a byte that
// cannot start one.
std::size_t sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Drops a character cut in two by the end of a bounded read.
void dropIncompleteTail(std::string& bytes)
{
    std::size_t back = 0;
    while (back < 3 && back < bytes.size() &&
           (static_cast<unsigned char>(bytes[bytes.size() - 1 - back]) & 0xC0) == 0x80)
        ++back;
    if (back == bytes.size())
        return;
    const std::size_t leadAt = bytes.size() - 1 - back;
    const std::size_t need = sequenceLength(static_cast<unsigned char>(bytes[leadAt]));
    if (need > back + 1)
        bytes.resize(leadAt);
}

} // namespace

bool pmIsValidUtf8(const std::string& text)
{
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const std::size_t need = sequenceLength(lead);
        if (need == 0 || need > size - i)
            return false;
        for (std::size_t k = 1; k < need; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        if (need >= 3) {
            const unsigned char second = static_cast<unsigned char>(text[i + 1]);
            if ((lead == 0xE0 && second < 0xA0) || // overlong
                (lead == 0xED && second > 0x9F) || // surrogate
                (lead == 0xF0 && second < 0x90) || // overlong
                (lead == 0xF4 && second > 0x8F))   // above U+10FFFF
                return false;
        }
        i += need;
    }
    return true;
}

std::string pmUtf8Prefix(const std::string& text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (chars == maxChars)
            return text.substr(0, i);
        ++chars;
    }
    return text;
}

std::string pmReadProductName(const std::string& deviceXmlPath)
{
    std::string bytes;
    bool truncated = false;
    if (!readPrefix(deviceXmlPath, kDeviceXmlReadLimit, bytes, truncated))
        return std::string();
    if (truncated)
        dropIncompleteTail(bytes);
    if (!pmIsValidUtf8(bytes))
        return std::string();

    static const std::string openTag = "<ProductName>";
    static const std::string closeTag = "</ProductName>";
    const std::size_t open = bytes.find(openTag);
    const std::size_t close = bytes.find(closeTag);
    if (open == std::string::npos || close == std::string::npos)
        return std::string();
    const std::size_t start = open + openTag.size();
    // An empty name, or a closing tag before the opening one, names nothing.
    if (close <= start)
        return std::string();
    return pmUtf8Prefix(bytes.substr(start, close - start), kProductNameMaxChars);
}

std::string pmGetModelName(const std::string& folder)
{
    std::string dir = folder;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    // Up one folder at a time while the path is longer than one character;
    // the first "DEVICE.XML" found decides, even when it names nothing.
    while (dir.size() > 1) {
        const std::string candidate = dir + "/DEVICE.XML";
        struct stat st {
        };
        if (::stat(candidate.c_str(), &st) == 0)
            return pmReadProductName(candidate);
        const std::size_t slash = dir.find_last_of('/');
        if (slash == std::string::npos)
            break;
        dir = slash == 0 ? std::string("/") : dir.substr(0, slash);
        while (dir.size() > 1 && dir.back() == '/')
            dir.pop_back();
    }
    return std::string();
}
