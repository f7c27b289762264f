#include "core/SphericalProbe.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The spherical-video XMP box's UUID: ffcc8263-f855-4a93-8814-587a02521fdd.
constexpr uint8_t kSphericalUuid[16] = {0xff, 0xcc, 0x82, 0x63, 0xf8, 0x55, 0x4a, 0x93,
                                        0x88, 0x14, 0x58, 0x7a, 0x02, 0x52, 0x1f, 0xdd};
constexpr uint64_t kMaxXmp = 64 * 1024;
constexpr int kMaxDepth = 8;
constexpr int kMaxBoxes = 20000; // a hostile file of tiny boxes is given up on

class Walker
{
public:
    Walker(int fd, uint64_t size) : m_fd(fd), m_size(size) {}

    bool walk(uint64_t begin, uint64_t end, int depth, bool inTrack)
    {
        uint64_t at = begin;
        while (at + 8 <= end) {
            if (++m_boxes > kMaxBoxes)
                return false;
            uint8_t head[16];
            if (!read(at, head, 8))
                return false;
            uint64_t size = be32(head);
            uint64_t headerSize = 8;
            if (size == 1) {
                if (at + 16 > end || !read(at + 8, head + 8, 8))
                    return false;
                size = (static_cast<uint64_t>(be32(head + 8)) << 32) | be32(head + 12);
                headerSize = 16;
            } else if (size == 0) {
                size = end - at; // to the end of the enclosing box
            }
            if (size < headerSize || size > end - at)
                return false;
            const uint64_t bodyBegin = at + headerSize, bodyEnd = at + size;
            char type[5] = {};
            std::memcpy(type, head + 4, 4);
            if (visit(type, bodyBegin, bodyEnd, depth, inTrack))
                return true;
            at = bodyEnd;
        }
        return false;
    }

private:
    bool visit(const char* type, uint64_t begin, uint64_t end, int depth, bool inTrack)
    {
        if (depth >= kMaxDepth)
            return false;
        const auto is = [type](const char* t) { return std::memcmp(type, t, 4) == 0; };
        if (is("moov") || is("mdia") || is("minf") || is("stbl"))
            return walk(begin, end, depth + 1, inTrack);
        if (is("trak"))
            return walk(begin, end, depth + 1, true);
        if (is("stsd")) // version, flags and entry count come first
            return end - begin >= 8 && walk(begin + 8, end, depth + 1, inTrack);
        if (inTrack && isVisualEntry(type)) // the entry's fixed fields take 78 bytes
            return end - begin >= 78 && walk(begin + 78, end, depth + 1, inTrack);
        if (inTrack && (is("sv3d") || is("st3d")))
            return true;
        if (inTrack && is("uuid"))
            return isSphericalXmp(begin, end);
        return false;
    }

    static bool isVisualEntry(const char* type)
    {
        static const char* kEntries[] = {"avc1", "avc3", "hvc1", "hev1", "mp4v", "vp09", "av01"};
        return std::any_of(std::begin(kEntries), std::end(kEntries),
                           [type](const char* t) { return std::memcmp(type, t, 4) == 0; });
    }

    bool isSphericalXmp(uint64_t begin, uint64_t end)
    {
        uint8_t uuid[16];
        if (end - begin < 16 || !read(begin, uuid, 16) || std::memcmp(uuid, kSphericalUuid, 16) != 0)
            return false;
        const uint64_t length = std::min<uint64_t>(end - begin - 16, kMaxXmp);
        std::string xml(static_cast<size_t>(length), '\0');
        if (length && !read(begin + 16, reinterpret_cast<uint8_t*>(xml.data()), length))
            return false;
        const std::string key = "GSpherical:Spherical>";
        for (size_t at = xml.find(key); at != std::string::npos; at = xml.find(key, at + 1)) {
            if (at > 0 && xml[at - 1] == '/')
                continue; // a closing tag
            size_t value = at + key.size();
            while (value < xml.size() && (xml[value] == ' ' || xml[value] == '\n' || xml[value] == '\t'))
                ++value;
            if (xml.compare(value, 4, "true") == 0)
                return true;
        }
        return false;
    }

    bool read(uint64_t at, uint8_t* out, uint64_t length)
    {
        if (at > m_size || length > m_size - at)
            return false;
        while (length > 0) {
            const ssize_t got = ::pread(m_fd, out, static_cast<size_t>(length), static_cast<off_t>(at));
            if (got <= 0)
                return false;
            out += got;
            at += static_cast<uint64_t>(got);
            length -= static_cast<uint64_t>(got);
        }
        return true;
    }

    static uint32_t be32(const uint8_t* p)
    {
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    }

    int m_fd;
    uint64_t m_size;
    int m_boxes = 0;
};

} // namespace

bool pmIsSphericalVideo(const std::string& path)
{
    // Not blocking: a FIFO or device under a recording's name must not hang the probe.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {
    };
    bool spherical = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        Walker walker(fd, static_cast<uint64_t>(st.st_size));
        spherical = walker.walk(0, static_cast<uint64_t>(st.st_size), 0, false);
    }
    ::close(fd);
    return spherical;
}
