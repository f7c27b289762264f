// NMEA sentences carried as the samples of a timed text track.
#include "core/EmbeddedMp4Tracks.h"
#include "core/Mp4SampleTable.h"

#include <algorithm>

namespace
{

// A text sample is a line or a few: anything larger is not one.
constexpr std::size_t kMaxTextSample = 64 * 1024;

bool isTextTrack(uint32_t handler, uint32_t entry)
{
    const bool textHandler =
        handler == mp4Type("text") || handler == mp4Type("sbtl") || handler == mp4Type("subt");
    return textHandler && (entry == mp4Type("tx3g") || entry == mp4Type("text"));
}

} // namespace

bool pmDecodeNmeaTextSample(const unsigned char* data, std::size_t size, double time, EmbeddedTrack& track)
{
    if (!data || size < 2)
        return false;
    const char* text = reinterpret_cast<const char*>(data);
    const char* end = text + size;
    if (text[0] != '$') {
        const std::size_t length = mp4Be16(data);
        text += 2;
        end = text + std::min(length, size - 2);
    }
    bool any = false;
    const char* p = std::find(text, end, '$');
    while (p < end) {
        // A sentence runs to its line end, or to the next "$" of a text that
        // has no line ends.
        const char* stop = p + 1;
        while (stop < end && *stop != '\r' && *stop != '\n' && *stop != '$' && *stop != '\0')
            ++stop;
        if (pmAddNmeaSentence(p, stop, time, track))
            any = true;
        p = std::find(stop, end, '$');
    }
    return any;
}

bool pmReadNmeaTextTrack(EmbeddedInput& input, EmbeddedTrack& track)
{
    const Mp4Box* moov = input.find(mp4Type("moov"));
    if (!moov)
        return false;
    bool any = false;
    std::vector<unsigned char> bytes;
    // Samples of an undamaged file do not overlap, so together they are never
    // more than the file: a table that points many samples at the same bytes
    // is stopped there instead of reading them again and again.
    uint64_t budget = input.file.size();
    for (const Mp4Track& t : pmMp4ReadTracks(input.file, *moov, isTextTrack)) {
        for (const Mp4Sample& s : t.samples) {
            if (track.full() || s.size > budget)
                break;
            budget -= s.size;
            if (s.size > kMaxTextSample || !input.file.readBlock(s.offset, s.size, bytes, kMaxTextSample))
                continue;
            if (pmDecodeNmeaTextSample(bytes.data(), bytes.size(), s.time, track))
                any = true;
        }
        // The first text track that carries sentences is the GPS one; a
        // subtitle track of plain words beside it adds nothing.
        if (any)
            break;
    }
    if (any)
        track.format = "nmea-text";
    else
        track.clear();
    return any;
}
