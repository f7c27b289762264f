#include "core/Mp4SampleTable.h"

#include <algorithm>

namespace
{

// Entries a full box really holds after its version, flags and `skip` more
// header bytes: never more than its stated count, never more than its bytes.
std::size_t entriesHeld(Mp4Span box, std::size_t header, std::size_t entrySize, uint32_t stated)
{
    if (box.size < header)
        return 0;
    return std::min<std::size_t>(stated, (box.size - header) / entrySize);
}

// Sample sizes from stsz (a fixed size or one per sample) or stz2 (4-, 8- or
// 16-bit fields).
class SizeTable
{
public:
    SizeTable(Mp4Span box, bool compact, uint64_t fileSize)
    {
        if (box.size < 12)
            return;
        const unsigned char* p = box.data;
        const uint32_t stated = mp4Be32(p + 8);
        m_data = p + 12;
        if (compact) {
            m_bits = p[7];
            if (m_bits != 4 && m_bits != 8 && m_bits != 16)
                return;
            const std::size_t bytes = box.size - 12;
            m_count = std::min<std::size_t>(stated, bytes * 8 / m_bits);
        } else {
            m_fixed = mp4Be32(p + 4);
            if (m_fixed) {
                // Each sample takes its size in the file; a count beyond what
                // the file could hold is a lie.
                m_count = static_cast<std::size_t>(std::min<uint64_t>(stated, fileSize / m_fixed));
            } else {
                m_bits = 32;
                m_count = entriesHeld(box, 12, 4, stated);
            }
        }
        m_count = std::min(m_count, kMp4MaxSamples);
    }

    std::size_t count() const { return m_count; }
    uint32_t at(std::size_t i) const
    {
        switch (m_bits) {
        case 4:
            return (i % 2 ? m_data[i / 2] : m_data[i / 2] >> 4) & 0x0f;
        case 8:
            return m_data[i];
        case 16:
            return mp4Be16(m_data + 2 * i);
        case 32:
            return mp4Be32(m_data + 4 * i);
        default:
            return m_fixed;
        }
    }

private:
    const unsigned char* m_data = nullptr;
    std::size_t m_count = 0;
    uint32_t m_fixed = 0;
    int m_bits = 0;
};

// Decode times from stts: runs of (count, delta), read as the samples go by.
class TimeTable
{
public:
    explicit TimeTable(Mp4Span box)
        : m_data(box.size >= 8 ? box.data + 8 : nullptr),
          m_entries(box.size >= 8 ? entriesHeld(box, 8, 8, mp4Be32(box.data + 4)) : 0)
    {
        load();
    }
    // Time and duration of the next sample, in track units. Past the table's
    // end the last delta goes on.
    void next(uint64_t& time, uint32_t& delta)
    {
        while (m_left == 0 && m_entry + 1 < m_entries) {
            ++m_entry;
            load();
        }
        time = m_time;
        delta = m_delta;
        m_time += m_delta;
        if (m_left)
            --m_left;
    }

private:
    void load()
    {
        if (m_entry < m_entries) {
            m_left = mp4Be32(m_data + 8 * m_entry);
            m_delta = mp4Be32(m_data + 8 * m_entry + 4);
        }
    }

    const unsigned char* m_data;
    std::size_t m_entries;
    std::size_t m_entry = 0;
    uint32_t m_left = 0;
    uint32_t m_delta = 0;
    uint64_t m_time = 0;
};

bool acceptAll(uint32_t, uint32_t)
{
    return true;
}

// The contents of a small box: at most `limit` bytes, what the file holds.
bool readContents(Mp4File& file, const Mp4Box& box, std::vector<unsigned char>& out, std::size_t limit)
{
    return file.readBlock(box.contentOffset(), box.contentSize(), out, limit);
}

Mp4Span spanOf(const std::vector<unsigned char>& bytes)
{
    return Mp4Span{bytes.data(), bytes.size()};
}

// Largest table box read: enough for kMp4MaxSamples 64-bit chunk offsets or
// sample-to-chunk entries, so a bigger box is cut rather than believed.
constexpr std::size_t kMaxTableBytes = kMp4MaxSamples * 12 + 16;

} // namespace

std::vector<Mp4Sample> pmMp4BuildSamples(const Mp4TableBoxes& boxes, uint32_t timescale, uint64_t fileSize)
{
    std::vector<Mp4Sample> samples;
    const SizeTable sizes(boxes.stsz, boxes.compact, fileSize);
    const std::size_t offsetSize = boxes.wide ? 8 : 4;
    const std::size_t chunks =
        boxes.stco.size >= 8 ? entriesHeld(boxes.stco, 8, offsetSize, mp4Be32(boxes.stco.data + 4)) : 0;
    const std::size_t runs =
        boxes.stsc.size >= 8 ? entriesHeld(boxes.stsc, 8, 12, mp4Be32(boxes.stsc.data + 4)) : 0;
    if (timescale == 0 || sizes.count() == 0 || chunks == 0 || runs == 0)
        return samples;
    auto chunkOffset = [&](std::size_t chunk) {
        const unsigned char* p = boxes.stco.data + 8 + chunk * offsetSize;
        return boxes.wide ? mp4Be64(p) : uint64_t(mp4Be32(p));
    };
    const unsigned char* run = boxes.stsc.data + 8;
    TimeTable times(boxes.stts);
    std::size_t sample = 0;
    for (std::size_t r = 0; r < runs && sample < sizes.count();) {
        const uint32_t first = mp4Be32(run + 12 * r);
        const uint32_t perChunk = mp4Be32(run + 12 * r + 4);
        // Runs must go forward through the chunks: the ones after this that
        // do not are damage and are passed over (once, so the walk stays
        // linear in the table).
        std::size_t n = r + 1;
        while (n < runs && mp4Be32(run + 12 * n) <= first)
            ++n;
        const uint64_t last = n < runs ? std::min<uint64_t>(chunks, mp4Be32(run + 12 * n) - 1) : chunks;
        r = n;
        if (first == 0)
            continue;
        for (uint64_t chunk = first; chunk <= last && sample < sizes.count(); ++chunk) {
            uint64_t offset = chunkOffset(static_cast<std::size_t>(chunk - 1));
            for (uint32_t k = 0; k < perChunk && sample < sizes.count(); ++k, ++sample) {
                const uint32_t size = sizes.at(sample);
                uint64_t time = 0;
                uint32_t delta = 0;
                times.next(time, delta);
                const bool inFile = offset <= fileSize && size <= fileSize - offset;
                if (size > 0 && inFile) {
                    Mp4Sample s;
                    s.offset = offset;
                    s.size = size;
                    s.time = static_cast<double>(time) / timescale;
                    s.duration = static_cast<double>(delta) / timescale;
                    samples.push_back(s);
                }
                // The rest of a chunk that ran past the end is past it too.
                offset = inFile ? offset + size : fileSize + 1;
            }
        }
    }
    return samples;
}

uint32_t pmMp4FirstSampleEntry(Mp4Span stsd)
{
    // version and flags, entry count, then the first entry's size and type
    if (stsd.size < 16 || mp4Be32(stsd.data + 4) == 0 || mp4Be32(stsd.data + 8) < 8)
        return 0;
    return mp4Be32(stsd.data + 12);
}

std::vector<Mp4Track> pmMp4ReadTracks(Mp4File& file, const Mp4Box& moov, Mp4TrackFilter want)
{
    if (!want)
        want = acceptAll;
    std::vector<Mp4Track> tracks;
    Mp4BoxWalker traks(file, moov);
    Mp4Box trak;
    std::vector<unsigned char> bytes;
    while (traks.find(mp4Type("trak"), trak)) {
        Mp4Box mdia, box;
        if (!pmMp4FindPath(file, trak, {mp4Type("mdia")}, mdia))
            continue;
        Mp4Track track;
        if (pmMp4FindPath(file, mdia, {mp4Type("hdlr")}, box) && readContents(file, box, bytes, 12) &&
            bytes.size() == 12)
            track.handler = mp4Be32(bytes.data() + 8);
        if (pmMp4FindPath(file, mdia, {mp4Type("mdhd")}, box) && readContents(file, box, bytes, 24) &&
            bytes.size() >= 16)
            track.timescale = bytes[0] == 1 ? (bytes.size() >= 24 ? mp4Be32(bytes.data() + 20) : 0)
                                            : mp4Be32(bytes.data() + 12);
        Mp4Box stbl;
        if (!pmMp4FindPath(file, mdia, {mp4Type("minf"), mp4Type("stbl")}, stbl))
            continue;
        if (pmMp4FindPath(file, stbl, {mp4Type("stsd")}, box) && readContents(file, box, bytes, 16))
            track.sampleEntry = pmMp4FirstSampleEntry(spanOf(bytes));
        if (!want(track.handler, track.sampleEntry))
            continue;

        std::vector<unsigned char> stts, stsc, stsz, stco;
        Mp4TableBoxes table;
        Mp4BoxWalker children(file, stbl);
        Mp4Box child;
        while (children.next(child)) {
            // The first box of each kind counts; a repeated one is ignored.
            const bool sizes = child.is(mp4Type("stsz")) || child.is(mp4Type("stz2"));
            const bool offsets = child.is(mp4Type("stco")) || child.is(mp4Type("co64"));
            std::vector<unsigned char>* into = child.is(mp4Type("stts"))   ? &stts
                                               : child.is(mp4Type("stsc")) ? &stsc
                                               : sizes                     ? &stsz
                                               : offsets                   ? &stco
                                                                           : nullptr;
            if (!into || !into->empty())
                continue;
            readContents(file, child, *into, kMaxTableBytes);
            if (sizes)
                table.compact = child.is(mp4Type("stz2"));
            if (offsets)
                table.wide = child.is(mp4Type("co64"));
        }
        table.stts = spanOf(stts);
        table.stsc = spanOf(stsc);
        table.stsz = spanOf(stsz);
        table.stco = spanOf(stco);
        track.samples = pmMp4BuildSamples(table, track.timescale, file.size());
        tracks.push_back(std::move(track));
    }
    return tracks;
}
