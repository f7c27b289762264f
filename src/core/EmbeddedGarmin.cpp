// Position records in a uuid box of the movie header.
#include "core/EmbeddedMp4Tracks.h"
#include "core/GpsList.h"

#include <cstring>

namespace
{

constexpr std::size_t kHeaderBytes = 17;
constexpr std::size_t kRecordBytes = 20;
// Seconds from 1904-01-01 (the QuickTime epoch) to 1970-01-01.
constexpr int64_t kSecondsFrom1904 = 2082844800;
constexpr double kKmhPerMph = 1.609344;
constexpr double kDegreesPerUnit = 180.0 / 2147483648.0;

} // namespace

bool pmDecodeGarminRecords(const unsigned char* data, std::size_t size, EmbeddedTrack& track)
{
    if (!data || size < kHeaderBytes + kRecordBytes)
        return false;
    bool any = false;
    uint32_t first = 0;
    for (std::size_t at = kHeaderBytes; size - at >= kRecordBytes && !track.full(); at += kRecordBytes) {
        const unsigned char* r = data + at;
        const uint32_t seconds = mp4Be32(r);
        if (!any)
            first = seconds;
        any = true;
        EmbeddedFix fix;
        // A clock that steps back, or leaps beyond the longest recording,
        // cannot be put on the recording's seconds.
        if (seconds < first || seconds - first >= uint32_t(GpsList::kMaxVideoSeconds))
            continue;
        fix.time = seconds - first;
        const auto lat = static_cast<int32_t>(mp4Be32(r + 12));
        const auto lon = static_cast<int32_t>(mp4Be32(r + 16));
        fix.valid = lat != 0 || lon != 0;
        if (fix.valid) {
            fix.latitude = lat * kDegreesPerUnit;
            fix.longitude = lon * kDegreesPerUnit;
            fix.speedKmh = mp4Be16(r + 4) * kKmhPerMph;
        }
        if (seconds)
            fix.utcMs = (int64_t(seconds) - kSecondsFrom1904) * 1000;
        track.addFix(fix);
    }
    return any;
}

bool pmReadGarminTrack(EmbeddedInput& input, EmbeddedTrack& track)
{
    const Mp4Box* moov = input.find(mp4Type("moov"));
    if (!moov)
        return false;
    Mp4BoxWalker walker(input.file, *moov);
    Mp4Box box;
    unsigned char id[16];
    while (walker.find(mp4Type("uuid"), box)) {
        if (box.contentSize() < sizeof id || !input.file.readExact(box.contentOffset(), id, sizeof id) ||
            std::memcmp(id, kGarminGpsUuid, sizeof id) != 0)
            continue;
        std::vector<unsigned char> bytes;
        input.file.readBlock(box.contentOffset() + sizeof id, box.contentSize() - sizeof id, bytes,
                             kHeaderBytes + kRecordBytes * EmbeddedTrack::kMaxItems);
        if (pmDecodeGarminRecords(bytes.data(), bytes.size(), track)) {
            pmCourseFromMotion(track, 0);
            track.format = "garmin";
            return true;
        }
    }
    return false;
}
