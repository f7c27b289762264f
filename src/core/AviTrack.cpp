#include "core/AviTrack.h"

#include "core/GpsList.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int kGpsRecord = 28;
constexpr int kGRecord = 20;

// A file opened for one reader: positional reads only, size known up front so
// that every length from the file is bounded by the bytes that are really there.
// Only a regular file is read. The open does not block, so a FIFO or a device
// under a recording's name is turned away instead of freezing the caller.
class AviFile
{
public:
    explicit AviFile(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        struct stat st {
        };
        if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode))
            m_size = st.st_size;
    }
    ~AviFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;

    bool usable() const { return m_fd >= 0 && m_size > 0; }
    int64_t size() const { return m_size; }

    // Exactly n bytes at offset, or false. Small reads go through a block
    // cache: the walk reads 4 bytes at a time and may step through a region.
    bool readAt(int64_t offset, void* buffer, std::size_t n)
    {
        if (offset < 0 || offset > m_size || static_cast<int64_t>(n) > m_size - offset)
            return false;
        if (offset >= m_scanOffset && offset + static_cast<int64_t>(n) <= m_scanOffset + m_scanLength) {
            std::memcpy(buffer, m_scan.data() + (offset - m_scanOffset), n);
            return true;
        }
        if (n > kSmallRead)
            return readDirect(offset, buffer, n);
        if (offset < m_cacheOffset || offset + static_cast<int64_t>(n) > m_cacheOffset + m_cacheLength) {
            const auto length = static_cast<std::size_t>(std::min<int64_t>(kCacheSize, m_size - offset));
            m_cache.resize(kCacheSize);
            if (!readDirect(offset, m_cache.data(), length))
                return false;
            m_cacheOffset = offset;
            m_cacheLength = static_cast<int64_t>(length);
        }
        std::memcpy(buffer, m_cache.data() + (offset - m_cacheOffset), n);
        return true;
    }

    // The first offset from `offset` on, in steps of 4 bytes, whose byte may
    // start one of the ids the walk knows (`firstLetter` holds their first
    // letters, any case), or the end of the file. Large regions are read in big
    // blocks and holes of a sparse file are jumped over: they read as zeros,
    // which never start an id.
    int64_t nextCandidate(int64_t offset, const bool (&firstLetter)[256])
    {
        while (offset < m_size) {
            if (offset < m_scanOffset || offset >= m_scanOffset + m_scanLength) {
                if (!fillScanBlock(offset))
                    return m_size;
            }
            const unsigned char* const block = m_scan.data();
            const auto length = static_cast<std::size_t>(m_scanLength);
            auto i = static_cast<std::size_t>(offset - m_scanOffset);
            for (; i + 32 <= length; i += 32) {
                // Zero words are the common filler: 32 bytes of them at once.
                uint64_t words[4];
                std::memcpy(words, block + i, sizeof words);
                if ((words[0] | words[1] | words[2] | words[3]) == 0)
                    continue;
                for (std::size_t k = i; k < i + 32; k += 4) {
                    if (firstLetter[block[k]])
                        return m_scanOffset + static_cast<int64_t>(k);
                }
            }
            for (; i < length; i += 4) {
                if (firstLetter[block[i]])
                    return m_scanOffset + static_cast<int64_t>(i);
            }
            offset = m_scanOffset + static_cast<int64_t>(i);
        }
        return m_size;
    }

private:
    static constexpr std::size_t kSmallRead = 64;
    static constexpr int64_t kCacheSize = 16384;
    static constexpr int64_t kScanBlock = 1 << 20;

    // Reads the scan block at `offset`, first moving `offset` (in whole words)
    // past a hole that starts there. False at the end of the file or on error.
    bool fillScanBlock(int64_t& offset)
    {
        const off_t data = ::lseek(m_fd, static_cast<off_t>(offset), SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            return false; // nothing but a hole up to the end
        if (data > offset)
            offset += (static_cast<int64_t>(data) - offset + 3) / 4 * 4;
        if (offset >= m_size)
            return false;
        m_scan.resize(kScanBlock);
        const auto length = static_cast<std::size_t>(std::min<int64_t>(kScanBlock, m_size - offset));
        m_scanLength = 0;
        if (!readDirect(offset, m_scan.data(), length))
            return false;
        m_scanOffset = offset;
        m_scanLength = static_cast<int64_t>(length);
        return true;
    }

    bool readDirect(int64_t offset, void* buffer, std::size_t n)
    {
        auto* out = static_cast<char*>(buffer);
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(m_fd, out + done, n - done, static_cast<off_t>(offset + done));
            if (got <= 0)
                return false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

    int m_fd = -1;
    int64_t m_size = 0;
    std::vector<unsigned char> m_cache;
    std::vector<unsigned char> m_scan;
    int64_t m_scanOffset = 0;
    int64_t m_scanLength = 0;
    int64_t m_cacheOffset = 0;
    int64_t m_cacheLength = 0;
};

enum class Walk { Found, NotFound, Stopped };

bool idIs(const unsigned char* id, const char* name, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = id[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        if (c != static_cast<unsigned char>(name[i]))
            return false;
    }
    return true;
}

uint32_t le32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t be32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

// The top-level chunk walk shared by the readers. On Found, `offset` is just
// after the wanted id (at its payload length). Before the index an unknown id
// stops the walk; after it the walk steps forward 4 bytes at a time until it
// meets a known id, so a track chunk need not start where the index ends.
Walk walkTo(AviFile& file, const char* wanted, int64_t& offset)
{
    int state = 0;
    bool indexSeen = false;
    offset = 0;
    bool firstLetter[256] = {};
    for (const char c : {'L', 'J', 'I', 'G', wanted[0]}) {
        firstLetter[static_cast<unsigned char>(c)] = true;
        firstLetter[static_cast<unsigned char>(c - 'A' + 'a')] = true;
    }
    unsigned char id[4];
    for (;;) {
        if (!file.readAt(offset, id, 4))
            return Walk::NotFound;
        offset += 4;
        if (state == 0 && idIs(id, "RIFF", 4)) {
            state = 1;
            offset += 4; // the RIFF size
            continue;
        }
        if (state == 1 && idIs(id, "AVI", 3)) {
            state = 2;
            continue;
        }
        if (state == 2) {
            if (idIs(id, "LIST", 4) || idIs(id, "JUNK", 4) || idIs(id, "IDX1", 4)) {
                if (idIs(id, "IDX1", 4))
                    indexSeen = true;
                state = 3;
                continue;
            }
            if (idIs(id, wanted, 4))
                return Walk::Found;
            if (idIs(id, "GSEA", 4))
                return Walk::NotFound;
        }
        if (state == 3) {
            offset += le32(id); // no padding byte for odd sizes
            state = 2;
            continue;
        }
        if (!indexSeen)
            return Walk::Stopped;
        // Past the index: on to the next word that could start a known id,
        // without looking at each word in between one by one.
        offset = file.nextCandidate(offset, firstLetter);
    }
}

// Reads the payload length at `offset` and hands every whole record present in
// the file to `onRecord`, in blocks. A negative length reads nothing; a length
// beyond the end of the file yields the records actually there.
int64_t recordCount(AviFile& file, int64_t offset, int recordSize);

template <typename OnRecord>
void forEachRecord(AviFile& file, int64_t offset, int recordSize, OnRecord onRecord)
{
    const int64_t records = recordCount(file, offset, recordSize);
    offset += 4;
    std::vector<unsigned char> block(static_cast<std::size_t>(recordSize) *
                                     static_cast<std::size_t>(std::min<int64_t>(records, 4096)));
    int64_t done = 0;
    while (done < records) {
        const int64_t batch = std::min<int64_t>(records - done, 4096);
        const auto bytes = static_cast<std::size_t>(batch * recordSize);
        if (!file.readAt(offset, block.data(), bytes))
            break;
        for (int64_t r = 0; r < batch; ++r)
            onRecord(block.data() + r * recordSize);
        offset += static_cast<int64_t>(bytes);
        done += batch;
    }
}

// Payload length and record count without reading the records.
int64_t recordCount(AviFile& file, int64_t offset, int recordSize)
{
    unsigned char lengthBytes[4];
    if (!file.readAt(offset, lengthBytes, 4))
        return 0;
    const auto declared = static_cast<int32_t>(le32(lengthBytes));
    const int64_t present = std::max<int64_t>(0, file.size() - offset - 4);
    // One record per second, and no recording is longer than the longest
    // track: a chunk that claims more is not allowed to decide the memory.
    return std::min<int64_t>(std::min<int64_t>(std::max<int32_t>(declared, 0), present) / recordSize,
                             GpsList::kMaxVideoSeconds);
}

int clampSeconds(int seconds)
{
    return std::max(0, std::min(seconds, GpsList::kMaxVideoSeconds));
}

double coordinate(const unsigned char* p)
{
    const auto whole = static_cast<int16_t>(static_cast<uint16_t>(p[0] << 8 | p[1]));
    const double fraction = be32(p + 2) / 100000000.0;
    return whole >= 0 ? whole + fraction : whole - fraction;
}

// Extremes as the embedded G readers keep them: a running maximum and minimum
// over every axis value read so far, each starting at 0.
struct RunningExtremes {
    float max = 0;
    float min = 0;
    void note(GpsList& list, float x, float y, float z, int index)
    {
        max = std::max({max, x, y, z});
        min = std::min({min, x, y, z});
        const bool single = list.GetDataCount() == 1;
        if (list.GetMaxGValue() < max || single)
            list.setNMaxGIndex(index);
        if (list.GetMinGValue() > min || single)
            list.setNMinGIndex(index);
        list.setFMaxGValue(max);
        list.setFMinGValue(min);
    }
};

void decodeG(const unsigned char* record, float& x, float& y, float& z)
{
    x = pmDecodeAviGAxis(record + 5);
    y = pmDecodeAviGAxis(record + 10);
    z = pmDecodeAviGAxis(record + 15);
}

} // namespace

void pmDecodeAviGpsRecord(const unsigned char* record, float& latitude, float& longitude, float& speed)
{
    longitude = static_cast<float>(coordinate(record + 5));
    latitude = static_cast<float>(coordinate(record + 11));
    // A coordinate off the globe (a damaged or misplaced record) is no fix,
    // like a zero one: the track then keeps the last real position.
    if (!(std::fabs(longitude) <= 180.0f) || !(std::fabs(latitude) <= 90.0f)) {
        longitude = 0;
        latitude = 0;
    }
    speed = static_cast<float>(record[19] << 8 | record[20]);
}

float pmDecodeAviGAxis(const unsigned char* p)
{
    int whole = p[0] & 0x3F;
    if (whole & 0x20)
        whole -= 64;
    const auto fraction = static_cast<int32_t>(be32(p + 1));
    double value = whole + fraction / 100000.0;
    if (p[0] & 0x80)
        value = -value;
    return static_cast<float>(value);
}

bool pmGetAviGpsData(const std::string& path, GpsList& list, int videoSeconds)
{
    return pmGetAviGpsData(path, list, [videoSeconds] { return videoSeconds; });
}

bool pmGetAviGpsData(const std::string& path, GpsList& list, const std::function<int()>& videoSeconds)
{
    int seconds = 0;
    bool found = false;
    int64_t positionsRead = 0;
    {
        AviFile file(path);
        if (!file.usable())
            return false;
        int64_t offset = 0;
        const Walk walk = walkTo(file, "SLLT", offset);
        if (walk == Walk::NotFound)
            return false;
        seconds = clampSeconds(videoSeconds ? videoSeconds() : 0);
        if (walk == Walk::Found) {
            found = true;
            const int64_t n = recordCount(file, offset, kGpsRecord);
            if (n < seconds) {
                GpsData placeholder;
                placeholder.setFDirection(-1);
                placeholder.setDAltitude(GpsData::kNoAltitude);
                for (int64_t i = n; i < seconds; ++i)
                    list.Append(placeholder);
            }
            list.setBGps(true);
            float lastLatitude = 0;
            float lastLongitude = 0;
            forEachRecord(file, offset, kGpsRecord, [&](const unsigned char* record) {
                ++positionsRead;
                float latitude, longitude, speed;
                pmDecodeAviGpsRecord(record, latitude, longitude, speed);
                if (latitude != 0 && longitude != 0) {
                    if (lastLatitude == 0 || lastLongitude == 0) {
                        // First fix: the seconds before it show where it was.
                        const int count = list.GetDataCount();
                        for (int i = 0; i < count; ++i) {
                            GpsData* sample = list.GetGpsData(i);
                            if (sample->fLatitude() == 0 || sample->fLongitude() == 0) {
                                sample->setFLatitude(latitude);
                                sample->setFLongitude(longitude);
                                sample->setFSpeed(-1);
                            }
                        }
                    }
                    lastLatitude = latitude;
                    lastLongitude = longitude;
                }
                GpsData sample;
                sample.setFLatitude(lastLatitude);
                sample.setFLongitude(lastLongitude);
                sample.setDAltitude(GpsData::kNoAltitude);
                sample.setFSpeed(speed);
                sample.setFDirection(-1);
                list.Append(sample);
            });
        }
    }
    const bool result = pmGetAviSensorDataAligned(path, list, seconds);
    // Without a position chunk the walk only reached the G-sensor reader; the
    // track claims G-sensor data only when that reader found some.
    if (found || result)
        list.setBSenser(true);
    // Positions read are a loaded track even when no G-sensor chunk follows
    // them: the map must draw the route the export button offers.
    return result || positionsRead > 0;
}

bool pmGetAviSensorDataAligned(const std::string& path, GpsList& list, int videoSeconds)
{
    const int seconds = clampSeconds(videoSeconds);
    AviFile file(path);
    if (!file.usable())
        return false;
    int64_t offset = 0;
    if (walkTo(file, "SGLT", offset) != Walk::Found)
        return false;
    const int count = list.GetDataCount();
    const int64_t m = recordCount(file, offset, kGRecord);
    int64_t index = m < seconds ? seconds - m : 0;
    // A track shorter than the aligned start (no position chunk was read) is
    // padded first, so that each record lands on its own second and the
    // extreme indexes name the samples that carry the extremes.
    if (index > count) {
        GpsData pad;
        pad.setFDirection(-1);
        while (list.GetDataCount() < index)
            list.Append(pad);
    }
    RunningExtremes extremes;
    forEachRecord(file, offset, kGRecord, [&](const unsigned char* record) {
        float x, y, z;
        decodeG(record, x, y, z);
        GpsData* s = nullptr;
        if (count != 0 && index < count) {
            s = list.GetGpsData(static_cast<int>(index));
            s->setSensorValue(x, y, z);
        } else {
            GpsData sample;
            sample.setFDirection(-1);
            sample.setSensorValue(x, y, z);
            s = &list.Append(sample);
        }
        extremes.note(list, s->GetGValueX(), s->GetGValueY(), s->GetGValueZ(), static_cast<int>(index));
        ++index;
    });
    list.setBSenser(true);
    return true;
}

bool pmGetAviSensorData(const std::string& path, GpsList& list)
{
    AviFile file(path);
    if (!file.usable())
        return false;
    int64_t offset = 0;
    if (walkTo(file, "SGLT", offset) != Walk::Found)
        return false;
    RunningExtremes extremes;
    forEachRecord(file, offset, kGRecord, [&](const unsigned char* record) {
        float x, y, z;
        decodeG(record, x, y, z);
        GpsData sample;
        sample.setFDirection(-1);
        sample.setSensorValue(x, y, z);
        GpsData& added = list.Append(sample);
        extremes.note(list, added.GetGValueX(), added.GetGValueY(), added.GetGValueZ(),
                      list.GetDataCount() - 1);
    });
    list.setBSenser(true);
    return true;
}
