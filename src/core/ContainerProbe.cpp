#include "core/ContainerProbe.h"

#include "core/FileRules.h"
#include "core/Log.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
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
        : HeaderFile(AT_FDCWD, path.c_str(), readSize)
    {
    }
    // `name` relative to the open folder `dirFd` (or AT_FDCWD).
    HeaderFile(int dirFd, const char* name, std::size_t readSize)
        : m_readSize(readSize < kBlockSize ? readSize : kBlockSize)
    {
        if (!*name)
            return;
        m_fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
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
        m_mtimeMsecs = int64_t(st.st_mtim.tv_sec) * 1000 + int64_t(st.st_mtim.tv_nsec / 1000000);
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
    int64_t mtimeMsecs() const { return m_mtimeMsecs; }

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
    int64_t m_mtimeMsecs = 0;
    uint64_t m_blockOffset = 0;
    std::size_t m_blockFill = 0;
    unsigned char m_block[kBlockSize];
};

uint32_t bigEndian32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

uint64_t bigEndian64(const unsigned char* p)
{
    return uint64_t(bigEndian32(p)) << 32 | bigEndian32(p + 4);
}

uint32_t littleEndian32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
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

namespace
{

bool aviReady(HeaderFile& file)
{
    if (!file.isOpen() || file.length() == 0)
        return false;
    unsigned char handler[4];
    if (!file.readAt(112, handler, sizeof handler))
        return false;
    return (handler[0] == 'h' || handler[0] == 'H') && handler[1] == '2' && handler[2] == '6' &&
           handler[3] == '4';
}

// The MOV/MP4 walk; `tooShort` tells the caller to write the log line.
bool movReady(HeaderFile& file, bool& tooShort, VideoCodec* codec = nullptr)
{
    tooShort = false;
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
                    tooShort = true;
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
                VideoCodec found = kCodecUnknown;
                if (typeIs(entry + 4, "AVC1"))
                    found = kCodecH264;
                else if (typeIs(entry + 4, "HVC1") || typeIs(entry + 4, "HEV1"))
                    found = kCodecH265;
                if (codec)
                    *codec = found;
                return found != kCodecUnknown;
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

void logTooShort(const std::string& path)
{
    pmWriteLog("pmIsMovCodecReady() - Duration is too short, filter out it - " + path);
}

} // namespace

bool pmIsAviCodecReady(const std::string& path)
{
    HeaderFile file(path, 4);
    return aviReady(file);
}

bool pmIsMovCodecReady(const std::string& path)
{
    HeaderFile file(path);
    bool tooShort = false;
    const bool ready = movReady(file, tooShort);
    if (tooShort)
        logTooShort(path);
    return ready;
}

RecordingProbe pmProbeRecording(const std::string& path, int dirFd)
{
    RecordingProbe probe;
    const MediaContainerKind kind = pmGetMediaType(path);
    if (kind != kMediaAvi && kind != kMediaMov && kind != kMediaMp4)
        return probe;
    const char* name = path.c_str();
    if (dirFd >= 0) {
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos)
            name += slash + 1;
    } else {
        dirFd = AT_FDCWD;
    }
    HeaderFile file(dirFd, name, kind == kMediaAvi ? 4 : 1024);
    if (!file.isOpen())
        return probe;
    probe.opened = true;
    probe.mtimeMsecs = file.mtimeMsecs();
    if (kind == kMediaAvi) {
        probe.ready = aviReady(file);
        probe.codec = probe.ready ? kCodecH264 : kCodecUnknown;
    } else {
        probe.ready = movReady(file, probe.tooShort, &probe.codec);
    }
    return probe;
}

VideoCodec pmGetRecordingCodec(const std::string& path)
{
    const RecordingProbe probe = pmProbeRecording(path);
    return probe.ready ? probe.codec : kCodecUnknown;
}

const char* pmVideoCodecName(VideoCodec codec)
{
    switch (codec) {
    case kCodecH264:
        return "h264";
    case kCodecH265:
        return "h265";
    default:
        return "";
    }
}

void pmLogTooShortRecording(const std::string& path)
{
    logTooShort(path);
}

namespace
{

double secondsOf(double units, double perSecond)
{
    if (!(units > 0) || !(perSecond > 0))
        return 0;
    const double seconds = units / perSecond;
    return std::isfinite(seconds) ? seconds : 0;
}

// The movie header's time scale and duration; `contents` is just past its atom header.
double movieHeaderSeconds(HeaderFile& file, uint64_t contents, uint64_t contentsSize)
{
    unsigned char header[32];
    if (contentsSize < 20 || !file.readAt(contents, header, 1))
        return 0;
    if (header[0] == 1) {
        // 64-bit creation and modification times, then scale and a 64-bit duration.
        if (contentsSize < 32 || !file.readAt(contents, header, 32))
            return 0;
        const uint64_t duration = bigEndian64(header + 24);
        if (duration == ~uint64_t(0)) // "unknown"
            return 0;
        return secondsOf(double(duration), double(bigEndian32(header + 20)));
    }
    if (!file.readAt(contents, header, 20))
        return 0;
    const uint32_t duration = bigEndian32(header + 16);
    if (duration == ~uint32_t(0))
        return 0;
    return secondsOf(double(duration), double(bigEndian32(header + 12)));
}

double movDurationSeconds(const std::string& path)
{
    HeaderFile file(path);
    if (!file.isOpen())
        return 0;
    // Top-level atoms up to "moov", then its children up to "mvhd". Sizes are
    // taken whole (64-bit ones too, since a long recording's media data can
    // pass 4 GiB) but never beyond the atom that holds them.
    uint64_t pos = 0;
    uint64_t end = file.length();
    bool inMovie = false;
    for (int atoms = 0; atoms < kMovMaximumAtoms; ++atoms) {
        unsigned char header[16];
        if (end - pos < 8 || !file.readAt(pos, header, 8))
            return 0;
        uint64_t size = bigEndian32(header);
        uint64_t headerSize = 8;
        if (size == 1) {
            if (end - pos < 16 || !file.readAt(pos + 8, header + 8, 8))
                return 0;
            size = bigEndian64(header + 8);
            headerSize = 16;
        } else if (size == 0) {
            size = end - pos; // reaches to the end of what holds it
        }
        if (size < headerSize || size > end - pos)
            return 0;
        if (!inMovie && typeIs(header + 4, "MOOV")) {
            inMovie = true;
            end = pos + size;
            pos += headerSize;
            continue;
        }
        if (inMovie && typeIs(header + 4, "MVHD"))
            return movieHeaderSeconds(file, pos + headerSize, size - headerSize);
        pos += size;
    }
    return 0;
}

bool fourIs(const unsigned char* p, const char* fourCC)
{
    return std::memcmp(p, fourCC, 4) == 0;
}

double aviDurationSeconds(const std::string& path)
{
    HeaderFile file(path);
    if (!file.isOpen())
        return 0;
    // RIFF "AVI ", then the header list "hdrl" opening with the main header "avih".
    unsigned char head[32];
    if (!file.readAt(0, head, sizeof head) || !fourIs(head, "RIFF") || !fourIs(head + 8, "AVI ") ||
        !fourIs(head + 12, "LIST") || !fourIs(head + 20, "hdrl") || !fourIs(head + 24, "avih"))
        return 0;
    const uint64_t listEnd = std::min<uint64_t>(20 + uint64_t(littleEndian32(head + 16)), file.length());
    const uint32_t mainSize = littleEndian32(head + 28);
    double fromMainHeader = 0;
    unsigned char mainHeader[20];
    if (mainSize >= sizeof mainHeader && file.readAt(32, mainHeader, sizeof mainHeader)) {
        // Microseconds per frame times the frame count.
        fromMainHeader =
            secondsOf(double(littleEndian32(mainHeader)) * double(littleEndian32(mainHeader + 16)), 1e6);
    }
    // The stream lists that follow: the first video stream's length in
    // units of scale / rate is exact where the rounded frame period is not
    // (33333 us for 30 fps loses a frame's worth over a minute).
    uint64_t pos = 32 + uint64_t(mainSize) + (mainSize & 1);
    for (int chunks = 0; chunks < 64 && pos + 20 <= listEnd; ++chunks) {
        unsigned char chunk[20];
        if (!file.readAt(pos, chunk, sizeof chunk))
            break;
        const uint32_t size = littleEndian32(chunk + 4);
        if (fourIs(chunk, "LIST") && fourIs(chunk + 8, "strl") && fourIs(chunk + 12, "strh")) {
            unsigned char stream[36];
            if (littleEndian32(chunk + 16) >= sizeof stream && file.readAt(pos + 20, stream, sizeof stream) &&
                fourIs(stream, "vids")) {
                const double seconds =
                    secondsOf(double(littleEndian32(stream + 32)) * double(littleEndian32(stream + 20)),
                              double(littleEndian32(stream + 24)));
                if (seconds > 0)
                    return seconds;
                break;
            }
        }
        pos += 8 + uint64_t(size) + (size & 1);
    }
    return fromMainHeader;
}

} // namespace

double pmGetContainerDurationSeconds(const std::string& path)
{
    switch (pmGetMediaType(path)) {
    case kMediaMov:
    case kMediaMp4:
        return movDurationSeconds(path);
    case kMediaAvi:
        return aviDurationSeconds(path);
    default:
        return 0;
    }
}
