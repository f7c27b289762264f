#include "core/NovatekGps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

// Blocks are written once a second; one block's record sits in its first
// few hundred bytes, and NMEA text within the first kilobytes. Reading more
// of a block (they are usually 32 KiB of padding) would only cost time.
constexpr std::size_t kBlockRead = 4096;
// A block is a box of its own: smaller than its header plus a record it
// cannot be, and no camera writes one beyond this.
constexpr uint32_t kMinBlock = 0x40;
constexpr uint32_t kMaxBlock = 1u << 20;
// Without an index, the media data is searched in pieces of this size, and
// given up when the first block is not found within kFirstBlockWindow bytes
// of its start. Cameras write a block every second, the first within the
// first second or two (a few MB even at high bit rates); the window is what
// opening a recording without any track costs, so it is kept small.
constexpr std::size_t kSearchPiece = 1u << 20;
constexpr uint64_t kFirstBlockWindow = 8u << 20;

constexpr double kKnotsToKmh = 1.852;

bool hasSignature(const unsigned char* p, std::size_t size)
{
    return size >= 12 && std::memcmp(p + 4, "freeGPS ", 8) == 0;
}

float leFloat(const unsigned char* p)
{
    const uint32_t bits = mp4Le32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int32_t leInt(const unsigned char* p)
{
    return static_cast<int32_t>(mp4Le32(p));
}

bool isRef(unsigned char c, char positive, char negative)
{
    return c == static_cast<unsigned char>(positive) || c == static_cast<unsigned char>(negative);
}

// The binary record: six 32-bit integers (hour, minute, second, year, month,
// day) at `base`, the status and hemisphere letters 0x18 bytes on, then the
// position 0x1c bytes on, as floats in DDMM.MMMM with speed in knots and the
// heading, or (integerDegrees) as degrees x 1e7 with speed in m/s x 100.
void decodeRecord(const unsigned char* b, std::size_t base, bool integerDegrees, double time,
                  EmbeddedTrack& track)
{
    const unsigned char* r = b + base;
    EmbeddedFix fix;
    fix.time = time;
    const unsigned char status = r[0x18];
    const unsigned char ns = r[0x19];
    const unsigned char ew = r[0x1a];
    const int hour = leInt(r);
    const int minute = leInt(r + 4);
    const int second = leInt(r + 8);
    int year = leInt(r + 12);
    const int month = leInt(r + 16);
    const int day = leInt(r + 20);
    if (year >= 0 && year < 100)
        year += 2000;
    fix.utcMs = pmUtcMs(year, month, day, hour, minute, second);
    fix.valid = status == 'A' && isRef(ns, 'N', 'S') && isRef(ew, 'E', 'W');
    if (fix.valid) {
        double latitude;
        double longitude;
        if (integerDegrees) {
            latitude = std::fabs(leInt(r + 0x1c) / 1e7);
            longitude = std::fabs(leInt(r + 0x20) / 1e7);
            fix.speedKmh = leInt(r + 0x24) / 100.0 * 3.6;
            const double altitude = leFloat(r + 0x28) / 1000.0;
            if (std::isfinite(altitude)) {
                fix.hasAltitude = true;
                fix.altitude = altitude;
            }
        } else {
            latitude = pmDegreesFromNmea(std::fabs(static_cast<double>(leFloat(r + 0x1c))));
            longitude = pmDegreesFromNmea(std::fabs(static_cast<double>(leFloat(r + 0x20))));
            fix.speedKmh = static_cast<double>(leFloat(r + 0x24)) * kKnotsToKmh;
            fix.course = static_cast<double>(leFloat(r + 0x28));
        }
        fix.latitude = ns == 'S' ? -latitude : latitude;
        fix.longitude = ew == 'W' ? -longitude : longitude;
    }
    track.addFix(fix);
}

// NMEA sentences written as text into the block: the first RMC (with the GGA
// of the same second for the altitude).
bool decodeText(const unsigned char* b, std::size_t size, double time, EmbeddedTrack& track)
{
    const std::size_t before = track.fixes.size();
    const auto* text = reinterpret_cast<const char*>(b);
    const char* const end = text + size;
    bool rmc = false;
    for (const char* p = text + 12; p < end;) {
        p = static_cast<const char*>(std::memchr(p, '$', static_cast<std::size_t>(end - p)));
        if (!p)
            break;
        const char* q = p + 1;
        while (q < end && *q != '$' && *q != '\r' && *q != '\n' && *q != '\0')
            ++q;
        const bool isRmc = q - p > 6 && std::memcmp(p + 3, "RMC,", 4) == 0;
        const bool isGga = q - p > 6 && std::memcmp(p + 3, "GGA,", 4) == 0;
        if (isRmc && !rmc)
            rmc = pmAddNmeaSentence(p, q, time, track) && track.fixes.size() > before;
        else if (isGga && rmc)
            pmAddNmeaSentence(p, q, time, track);
        p = q;
    }
    return track.fixes.size() > before;
}

} // namespace

bool pmDecodeNovatekBlock(const unsigned char* block, std::size_t size, double time, EmbeddedTrack& track)
{
    if (!block || !hasSignature(block, size) || track.full())
        return false;
    const std::size_t before = track.fixes.size();
    if (size >= 0x5c && (block[0x48] == 'A' || block[0x48] == 'V') &&
        (isRef(block[0x49], 'N', 'S') || block[0x48] == 'V')) {
        // The common record at 0x30; a few cameras store whole degrees
        // scaled by 1e7 in the same place, marked by their firmware tag.
        const bool integerDegrees = std::memcmp(block + 16, "IQS", 3) == 0;
        decodeRecord(block, 0x30, integerDegrees, time, track);
    } else if (size >= 0x3c && (block[0x28] == 'A' || block[0x28] == 'V') && block[0x25] == 0 &&
               block[0x26] == 0 && block[0x27] == 0 && (isRef(block[0x29], 'N', 'S') || block[0x28] == 'V')) {
        // The same record 0x20 bytes earlier.
        decodeRecord(block, 0x10, false, time, track);
    } else {
        decodeText(block, size, time, track);
    }
    return track.fixes.size() > before;
}

namespace
{

// An entry that points past the end, or whose block would not fit in the
// file, is not a block: it is skipped.
bool blockFits(const Mp4File& file, uint64_t offset, uint64_t size)
{
    return size >= kMinBlock && size <= kMaxBlock && offset < file.size() && size <= file.size() - offset;
}

bool readBlock(Mp4File& file, uint64_t offset, uint64_t size, double time, std::vector<unsigned char>& buffer,
               EmbeddedTrack& track)
{
    if (!blockFits(file, offset, size))
        return false;
    if (!file.readBlock(offset, std::min<uint64_t>(size, kBlockRead), buffer, kBlockRead))
        return false;
    return pmDecodeNovatekBlock(buffer.data(), buffer.size(), time, track);
}

// `complete` is false when the index states more pairs than it holds (cut
// short, or a lying count).
bool readIndexed(EmbeddedInput& input, const Mp4Box& index, EmbeddedTrack& track, bool& complete)
{
    // Version, count, then (offset, size) pairs, all big-endian. The count
    // is only believed as far as the box holds pairs.
    complete = false;
    if (index.contentSize() < 8)
        return false;
    std::vector<unsigned char> table;
    const uint64_t maxTable = 8 + uint64_t(EmbeddedTrack::kMaxItems) * 8;
    if (!input.file.readBlock(index.contentOffset(), std::min(index.contentSize(), maxTable), table,
                              static_cast<std::size_t>(maxTable)) ||
        table.size() < 8)
        return false;
    const uint64_t stated = mp4Be32(table.data() + 4);
    const uint64_t count = std::min<uint64_t>(stated, (table.size() - 8) / 8);
    complete = count == stated;
    std::vector<unsigned char> buffer;
    bool any = false;
    // Blocks follow each other through the file: an entry that points back
    // into a block already read (a hostile index could list one block a
    // million times) is skipped, so the reads never add up to more than the
    // file.
    uint64_t readUpTo = 0;
    for (uint64_t i = 0; i < count && !track.full(); ++i) {
        const unsigned char* pair = table.data() + 8 + i * 8;
        const uint64_t offset = mp4Be32(pair);
        const uint64_t size = mp4Be32(pair + 4);
        if (offset < readUpTo)
            continue;
        if (readBlock(input.file, offset, size, static_cast<double>(i), buffer, track)) {
            any = true;
            readUpTo = offset + size;
        }
    }
    return any;
}

// Candidate blocks in [begin, end): the 8-byte signature after a box size
// whose first byte is 0 (blocks are far below 16 MiB). The media data is
// read in pieces that overlap by a header's length, so a header that
// straddles two pieces is still seen.
bool searchMediaData(EmbeddedInput& input, uint64_t begin, uint64_t end, EmbeddedTrack& track)
{
    if (end <= begin)
        return false;
    std::vector<unsigned char> piece(static_cast<std::size_t>(std::min<uint64_t>(kSearchPiece, end - begin)));
    std::vector<unsigned char> buffer;
    uint64_t pos = begin;
    uint64_t blocks = 0;
    while (pos < end && end - pos >= 12 && !track.full()) {
        if (blocks == 0 && pos - begin > kFirstBlockWindow)
            break;
        const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(piece.size(), end - pos));
        const std::size_t got = input.file.readAt(pos, piece.data(), want);
        if (got < 12)
            break;
        uint64_t next = pos + got - 11;
        std::size_t at = 4;
        while (at + 8 <= got) {
            const void* hit = ::memmem(piece.data() + at, got - at, "freeGPS ", 8);
            if (!hit)
                break;
            const auto sig = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - piece.data());
            const std::size_t start = sig - 4;
            const uint32_t size = mp4Be32(piece.data() + start);
            // A block already in the piece is decoded where it lies.
            const std::size_t head = std::min<std::size_t>(size, kBlockRead);
            const bool found =
                piece[start] == 0 &&
                (start + head <= got
                     ? blockFits(input.file, pos + start, size) &&
                           pmDecodeNovatekBlock(piece.data() + start, head, static_cast<double>(blocks),
                                                track)
                     : readBlock(input.file, pos + start, size, static_cast<double>(blocks), buffer, track));
            if (found) {
                ++blocks;
                // Blocks do not overlap: the search goes on after this one.
                if (start + size + 12 > got) {
                    next = pos + start + size;
                    break;
                }
                at = start + size + 4;
            } else {
                at = sig + 1;
            }
        }
        if (pos + got >= end)
            break;
        pos = next > pos ? next : pos + 1;
    }
    return blocks > 0;
}

// No index: the blocks may still be in the media data (a recording cut
// before its index was written has a media box that runs to the end).
bool searchAll(EmbeddedInput& input, EmbeddedTrack& track)
{
    for (const Mp4Box& box : input.top) {
        if (box.is(mp4Type("mdat")) && searchMediaData(input, box.contentOffset(), box.end(), track))
            return true;
    }
    return false;
}

} // namespace

namespace
{

bool findIndex(EmbeddedInput& input, Mp4Box& index)
{
    const Mp4Box* movie = input.find(mp4Type("moov"));
    if (!movie)
        return false;
    Mp4BoxWalker walker(input.file, *movie);
    return walker.find(mp4Type("gps "), index);
}

} // namespace

bool pmReadNovatekGps(EmbeddedInput& input, EmbeddedTrack& track)
{
    Mp4Box index;
    if (input.top.empty() || !findIndex(input, index))
        return false;
    bool complete = false;
    if (readIndexed(input, index, track, complete) && complete)
        return true;
    // A damaged index: the media data may hold more of the blocks.
    EmbeddedTrack searched;
    if (searchAll(input, searched) && searched.fixes.size() > track.fixes.size())
        track = std::move(searched);
    return !track.empty();
}

bool pmSearchNovatekGps(EmbeddedInput& input, EmbeddedTrack& track)
{
    Mp4Box index;
    if (input.top.empty() || findIndex(input, index))
        return false;
    if (!searchAll(input, track))
        return false;
    track.format = "novatek";
    return true;
}
