#include "core/ContainerProbe.h"

#include "core/Log.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// A regular file opened read-only for the length of one probe. Anything else
// (a folder, a FIFO, a device node named like a recording) is refused before a
// read could block; O_NONBLOCK keeps even the open of a FIFO from waiting.
class HeaderFile
{
public:
    // `readSize` is how much one system call fetches (at most kBlockSize).
    explicit HeaderFile(const std::string& path, std::size_t readSize = kBlockSize)
        : m_readSize(readSize < kBlockSize ? readSize : kBlockSize)
    {
        if (path.empty())
            return;
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (m_fd < 0)
            return;
        struct stat st {
        };
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        m_length = static_cast<uint64_t>(st.st_size);
    }
    ~HeaderFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    HeaderFile(const HeaderFile&) = delete;
    HeaderFile& operator=(const HeaderFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    uint64_t length() const { return m_length; }

    // Reads exactly `count` bytes at `offset`; false when the file cannot
    // supply them (past the end, shrunk meanwhile, or a read error). Reads go
    // through one small block, so the neighbouring atom headers of a walk cost
    // one system call instead of one each.
    bool readAt(uint64_t offset, unsigned char* buffer, std::size_t count)
    {
        if (count > m_readSize || offset > m_length || count > m_length - offset)
            return false;
        if (offset < m_blockOffset || offset + count > m_blockOffset + m_blockFill) {
            const uint64_t available = m_length - offset;
            const std::size_t wanted = available < m_readSize ? std::size_t(available) : m_readSize;
            std::size_t done = 0;
            while (done < wanted) {
                const ssize_t got =
                    ::pread(m_fd, m_block + done, wanted - done, static_cast<off_t>(offset + done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    break;
                done += static_cast<std::size_t>(got);
            }
            m_blockOffset = offset;
            m_blockFill = done;
            if (done < count)
                return false;
        }
        std::memcpy(buffer, m_block + (offset - m_blockOffset), count);
        return true;
    }

private:
    static constexpr std::size_t kBlockSize = 1024;

    std::size_t m_readSize;
    int m_fd = -1;
    uint64_t m_length = 0;
    uint64_t m_blockOffset = 0;
    std::size_t m_blockFill = 0;
    unsigned char m_block[kBlockSize];
};

uint32_t bigEndian32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

bool typeIs(const unsigned char* p, const char* fourCC)
{
    for (int i = 0; i < 4; ++i) {
        const unsigned char c =
            p[i] >= 'a' && p[i] <= 'z' ? static_cast<unsigned char>(p[i] - 'a' + 'A') : p[i];
        if (c != static_cast<unsigned char>(fourCC[i]))
            return false;
    }
    return true;
}

// Files this small cannot hold a playable recording's headers.
constexpr uint64_t kMovMinimumLength = 2048;
// Far more atom headers than any real recording carries before its first
// track's sample description; a file of millions of tiny atoms ends here
// instead of costing millions of reads.
constexpr int kMovMaximumAtoms = 100000;

enum MovLevel { kFindFtyp = 0, kFindMoov, kFindTrak, kFindMdia, kFindMinf, kFindStbl, kFindStsd };

} // namespace

bool pmIsAviCodecReady(const std::string& path)
{
    HeaderFile file(path, 4);
    if (!file.isOpen() || file.length() == 0)
        return false;
    unsigned char handler[4];
    if (!file.readAt(112, handler, sizeof handler))
        return false;
    return (handler[0] == 'h' || handler[0] == 'H') && handler[1] == '2' && handler[2] == '6' &&
           handler[3] == '4';
}

bool pmIsMovCodecReady(const std::string& path)
{
    HeaderFile file(path);
    if (!file.isOpen())
        return false;
    const uint64_t length = file.length();
    if (length <= kMovMinimumLength)
        return false;

    int level = kFindFtyp;
    uint64_t pos = 0;
    for (int atoms = 0; atoms < kMovMaximumAtoms; ++atoms) {
        unsigned char header[8];
        if (!file.readAt(pos, header, sizeof header))
            return false;
        const uint32_t size = bigEndian32(header);
        const unsigned char* type = header + 4;
        pos += 8;

        // Contents start after the header, and after the 64-bit size when
        // the size field is 1.
        const uint64_t contents = size == 1 ? pos + 8 : pos;

        // Moves the read position past the current atom. The size is never
        // trusted: a move backwards (size 0..7, which also covers the "to the
        // end of file" size 0) or larger than the whole file ends the walk.
        auto skipAtom = [&]() -> bool {
            int64_t move = int64_t(size) - 8;
            if (size == 1) {
                unsigned char large[8];
                if (!file.readAt(pos, large, sizeof large))
                    return false;
                // Only the low 32 bits of the large size are used, as the
                // camera's files never reach 4 GiB in one atom.
                const uint32_t low = bigEndian32(large + 4);
                if (low == 0)
                    return false;
                pos += 8;
                move = int64_t(low) - 16;
            }
            if (move < 0 || uint64_t(move) > length)
                return false;
            pos += uint64_t(move);
            return true;
        };

        switch (level) {
        case kFindFtyp:
            if (!typeIs(type, "FTYP"))
                return false;
            level = kFindMoov;
            if (!skipAtom())
                return false;
            break;
        case kFindMoov:
            if (typeIs(type, "MOOV")) {
                level = kFindTrak;
                pos = contents;
            } else if (!skipAtom()) {
                return false;
            }
            break;
        case kFindTrak:
            if (typeIs(type, "MVHD")) {
                unsigned char times[8];
                if (!file.readAt(contents + 12, times, sizeof times))
                    return false;
                const uint64_t timeScale = bigEndian32(times);
                const uint64_t duration = bigEndian32(times + 4);
                // Both differences are unsigned 64-bit on purpose: a value
                // below 8 wraps to a huge number. A time scale of exactly 8
                // would divide by zero; it is nonsense, so it is refused too.
                const uint64_t scaleLess8 = timeScale - 8;
                const uint64_t durationLess8 = duration - 8;
                if (scaleLess8 == 0 || double(durationLess8) / double(scaleLess8) < 0.2) {
                    pmWriteLog("pmIsMovCodecReady() - Duration is too short, filter out it - " + path);
                    return false;
                }
                // Past the whole atom rather than a fixed version 0 length,
                // so a longer header does not derail the walk.
                if (!skipAtom())
                    return false;
            } else if (typeIs(type, "TRAK")) {
                level = kFindMdia;
                pos = contents;
            } else if (!skipAtom()) {
                return false;
            }
            break;
        case kFindMdia:
        case kFindMinf:
        case kFindStbl: {
            static const char* const wanted[] = {"MDIA", "MINF", "STBL"};
            if (typeIs(type, wanted[level - kFindMdia])) {
                ++level;
                pos = contents;
            } else if (!skipAtom()) {
                return false;
            }
            break;
        }
        case kFindStsd:
            if (typeIs(type, "STSD")) {
                // Version, flags and entry count, then the first entry's header.
                unsigned char entry[8];
                if (!file.readAt(contents + 8, entry, sizeof entry))
                    return false;
                return typeIs(entry + 4, "AVC1");
            }
            if (!skipAtom())
                return false;
            break;
        default:
            return false;
        }
    }
    return false;
}
