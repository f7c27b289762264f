// Tracks inside MP4 recordings, written from the public descriptions of the
// layouts: "freeGPS" blocks spread over the media data (with or without the
// "gps " index in moov), and the "free" box or side files of NMEA lines and
// G records.
#include "Common.h"
#include "MediaGen.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace mediagen
{

namespace
{

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

void putLeFloat(std::string& s, std::size_t at, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    putLe32(s, at, bits);
}

// The DDMM.MMMM number NMEA and the binary records use for an angle.
double ddmm(double degrees)
{
    const double a = std::fabs(degrees);
    const double whole = std::floor(a);
    return whole * 100 + (a - whole) * 60;
}

std::string nmeaAngle(double value, int degreeDigits)
{
    const long long units = std::llround(std::fabs(value) * 600000.0);
    return format("%0*lld%02lld.%04lld", degreeDigits, units / 600000, units % 600000 / 10000, units % 10000);
}

std::string rmcBody(const TrackSample& s, const StartTime& t)
{
    if (!s.fix)
        return format("GPRMC,%02d%02d%02d.00,V,,,,,,,%02d%02d%02d,,,N", t.hour, t.minute, t.second, t.day,
                      t.month, t.year % 100);
    return format("GPRMC,%02d%02d%02d.00,A,%s,%c,%s,%c,%.3f,%.2f,%02d%02d%02d,,,A", t.hour, t.minute,
                  t.second, nmeaAngle(s.lat, 2).c_str(), s.lat < 0 ? 'S' : 'N', nmeaAngle(s.lon, 3).c_str(),
                  s.lon < 0 ? 'W' : 'E', s.speedKmh / kKmhPerKnot, s.course, t.day, t.month, t.year % 100);
}

std::string ggaBody(const TrackSample& s, const StartTime& t)
{
    return format("GPGGA,%02d%02d%02d.00,%s,%c,%s,%c,1,08,0.9,%.1f,M,0.0,M,,", t.hour, t.minute, t.second,
                  nmeaAngle(s.lat, 2).c_str(), s.lat < 0 ? 'S' : 'N', nmeaAngle(s.lon, 3).c_str(),
                  s.lon < 0 ? 'W' : 'E', s.altitude);
}

std::string sentence(const std::string& body)
{
    return "$" + body + "*" + nmeaChecksum(body);
}

struct Box {
    std::size_t offset = 0;
    uint64_t size = 0;
    std::size_t header = 8;
    std::string type;
    std::size_t end() const { return offset + static_cast<std::size_t>(size); }
};

std::vector<Box> boxes(const std::string& d, std::size_t begin, std::size_t end)
{
    std::vector<Box> out;
    std::size_t pos = begin;
    while (pos + 8 <= end) {
        Box b;
        b.offset = pos;
        b.size = getBe32(d, pos);
        b.type = d.substr(pos + 4, 4);
        if (b.size == 1) {
            if (pos + 16 > end)
                break;
            b.size = (static_cast<uint64_t>(getBe32(d, pos + 8)) << 32) | getBe32(d, pos + 12);
            b.header = 16;
        } else if (b.size == 0) {
            b.size = end - pos;
        }
        if (b.size < b.header || b.size > end - pos)
            break;
        out.push_back(b);
        pos += static_cast<std::size_t>(b.size);
    }
    return out;
}

// Where the chunk offsets of every track sit, and how wide each is.
void chunkOffsets(const std::string& d, const Box& parent, std::vector<std::pair<std::size_t, int>>& out)
{
    for (const Box& b : boxes(d, parent.offset + parent.header, parent.end())) {
        if (b.type == "trak" || b.type == "mdia" || b.type == "minf" || b.type == "stbl") {
            chunkOffsets(d, b, out);
        } else if ((b.type == "stco" || b.type == "co64") && b.size >= 16) {
            const int width = b.type == "stco" ? 4 : 8;
            const std::size_t first = b.offset + 16;
            const uint32_t count = getBe32(d, b.offset + 12);
            for (uint32_t i = 0; i < count && first + (i + 1) * width <= b.end(); ++i)
                out.emplace_back(first + i * width, width);
        }
    }
}

uint64_t readOffset(const std::string& d, std::size_t at, int width)
{
    if (width == 4)
        return getBe32(d, at);
    return (static_cast<uint64_t>(getBe32(d, at)) << 32) | getBe32(d, at + 4);
}

void writeOffset(std::string& d, std::size_t at, int width, uint64_t v)
{
    if (width == 4) {
        putBe32(d, at, static_cast<uint32_t>(v));
    } else {
        putBe32(d, at, static_cast<uint32_t>(v >> 32));
        putBe32(d, at + 4, static_cast<uint32_t>(v));
    }
}

struct Insertion {
    std::size_t at; // in the old file: the bytes go before this offset
    std::string bytes;
    int block = -1; // the block's number, or -1
};

bool addNovatek(std::string& d, const EmbeddedSpec& recipe, std::string* error)
{
    const std::vector<Box> top = boxes(d, 0, d.size());
    const Box* mdat = nullptr;
    const Box* moov = nullptr;
    for (const Box& b : top) {
        if (b.type == "mdat" && !mdat)
            mdat = &b;
        if (b.type == "moov" && !moov)
            moov = &b;
    }
    if (!mdat || !moov)
        return fail(error, "addEmbeddedTrack: no mdat or moov");
    const std::size_t n = recipe.samples.size();
    const bool indexed =
        recipe.layout == EmbeddedLayout::NovatekIndexed || recipe.layout == EmbeddedLayout::NovatekNmea;

    std::vector<std::pair<std::size_t, int>> entries;
    chunkOffsets(d, *moov, entries);
    std::vector<uint64_t> chunks;
    for (const auto& e : entries)
        chunks.push_back(readOffset(d, e.first, e.second));
    std::sort(chunks.begin(), chunks.end());

    std::vector<Insertion> inserts;
    const std::size_t contentBegin = mdat->offset + mdat->header;
    const std::size_t contentEnd = mdat->end();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t target =
            contentBegin + (contentEnd - contentBegin) * i / std::max<std::size_t>(n, 1);
        auto it = std::lower_bound(chunks.begin(), chunks.end(), static_cast<uint64_t>(target));
        const std::size_t at =
            it == chunks.end() || *it >= contentEnd ? contentEnd : static_cast<std::size_t>(*it);
        std::string block = makeNovatekBlock(recipe.samples[i], recipe.utc.plusSeconds(static_cast<long>(i)),
                                             static_cast<int>(i), recipe.blockSize, recipe.layout);
        if (recipe.hostile.noSignature && i == n / 2)
            std::memcpy(&block[8], "GPX ", 4);
        inserts.push_back({at, block, static_cast<int>(i)});
    }
    if (indexed) {
        std::string index(16 + 8 * n, '\0');
        putBe32(index, 0, static_cast<uint32_t>(index.size()));
        std::memcpy(&index[4], "gps ", 4);
        putBe32(index, 8, 0x101);
        putBe32(index, 12, recipe.hostile.lyingCount ? 0xfffffff0u : static_cast<uint32_t>(n));
        inserts.push_back({moov->end(), index, -1});
    }
    std::stable_sort(inserts.begin(), inserts.end(),
                     [](const Insertion& a, const Insertion& b) { return a.at < b.at; });

    auto shifted = [&](uint64_t x) {
        uint64_t add = 0;
        for (const Insertion& ins : inserts)
            if (ins.at <= x)
                add += ins.bytes.size();
        return x + add;
    };

    std::string out;
    out.reserve(d.size() + n * recipe.blockSize + 16 + 8 * n);
    std::vector<uint64_t> blockAt(n, 0);
    std::size_t indexAt = 0;
    std::size_t copied = 0;
    for (const Insertion& ins : inserts) {
        out.append(d, copied, ins.at - copied);
        copied = ins.at;
        if (ins.block >= 0)
            blockAt[static_cast<std::size_t>(ins.block)] = out.size();
        else
            indexAt = out.size();
        out += ins.bytes;
    }
    out.append(d, copied, std::string::npos);

    // Sizes of the two boxes that grew, and every chunk offset.
    const uint64_t mdatGrowth = n * static_cast<uint64_t>(recipe.blockSize);
    const std::size_t newMdat = static_cast<std::size_t>(shifted(mdat->offset));
    if (mdat->header == 16) {
        const uint64_t size = mdat->size + mdatGrowth;
        putBe32(out, newMdat + 8, static_cast<uint32_t>(size >> 32));
        putBe32(out, newMdat + 12, static_cast<uint32_t>(size));
    } else if (getBe32(d, mdat->offset) != 0) {
        if (mdat->size + mdatGrowth > 0xffffffffu)
            return fail(error, "addEmbeddedTrack: media data too large for its 32-bit size");
        putBe32(out, newMdat, static_cast<uint32_t>(mdat->size + mdatGrowth));
    }
    const std::size_t newMoov = static_cast<std::size_t>(shifted(moov->offset));
    if (indexed)
        putBe32(out, newMoov, static_cast<uint32_t>(moov->size + 16 + 8 * n));
    for (const auto& e : entries) {
        const uint64_t value = readOffset(d, e.first, e.second);
        writeOffset(out, static_cast<std::size_t>(shifted(e.first)), e.second, shifted(value));
    }
    if (indexed) {
        for (std::size_t i = 0; i < n; ++i) {
            uint64_t offset = blockAt[i];
            uint64_t size = recipe.blockSize;
            if (recipe.hostile.indexPastEnd && i == 1)
                offset = out.size() + 1000;
            if (recipe.hostile.lyingBlockSize && i == 2)
                size = 0x7ffffff0;
            putBe32(out, indexAt + 16 + 8 * i, static_cast<uint32_t>(offset));
            putBe32(out, indexAt + 20 + 8 * i, static_cast<uint32_t>(size));
        }
    }
    if (recipe.hostile.dropMoov) {
        const std::size_t moovSize = static_cast<std::size_t>(moov->size) + (indexed ? 16 + 8 * n : 0);
        out.erase(newMoov, moovSize);
    }
    d.swap(out);
    return true;
}

std::string box(const char type[5], const std::string& content, uint32_t statedSize = 0)
{
    std::string b(8, '\0');
    putBe32(b, 0, statedSize ? statedSize : static_cast<uint32_t>(8 + content.size()));
    std::memcpy(&b[4], type, 4);
    return b + content;
}

int64_t blackVueStartMs(const EmbeddedSpec& recipe)
{
    return static_cast<int64_t>(recipe.utc.toLocalEpoch()) * 1000;
}

std::string sideStem(const std::string& path, bool withoutCameraLetter)
{
    const auto dot = path.find_last_of('.');
    std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
    if (withoutCameraLetter && stem.size() > 3 && stem[stem.size() - 3] == '_')
        stem.pop_back();
    return stem;
}

} // namespace

std::string makeNovatekBlock(const TrackSample& s, const StartTime& utc, int index, uint32_t size,
                             EmbeddedLayout layout)
{
    size = std::max<uint32_t>(size, 0x100);
    std::string b(size, '\0');
    putBe32(b, 0, size);
    std::memcpy(&b[4], "freeGPS ", 8);
    putLe32(b, 12, 0x4c);
    if (layout == EmbeddedLayout::NovatekNmea) {
        const std::string stamp = format("%04d%02d%02d%02d%02d%02d", utc.year, utc.month, utc.day, utc.hour,
                                         utc.minute, utc.second);
        std::memcpy(&b[52], stamp.data(), stamp.size());
        std::string text = sentence(rmcBody(s, utc)) + "\r\n";
        if (s.fix)
            text += sentence(ggaBody(s, utc)) + "\r\n";
        std::memcpy(&b[0x80], text.data(), std::min<std::size_t>(text.size(), size - 0x80));
        return b;
    }
    if (layout == EmbeddedLayout::NovatekIntegerDegrees)
        std::memcpy(&b[16], "IQS_A7_20150417", 15);
    const int fields[6] = {utc.hour, utc.minute, utc.second, utc.year - 2000, utc.month, utc.day};
    for (int i = 0; i < 6; ++i)
        putLe32(b, 0x30 + 4 * static_cast<std::size_t>(i), static_cast<uint32_t>(fields[i]));
    if (!s.fix) {
        b[0x48] = 'V';
        return b;
    }
    b[0x48] = 'A';
    b[0x49] = s.lat < 0 ? 'S' : 'N';
    b[0x4a] = s.lon < 0 ? 'W' : 'E';
    if (layout == EmbeddedLayout::NovatekIntegerDegrees) {
        putLe32(b, 0x4c, static_cast<uint32_t>(static_cast<int32_t>(std::llround(std::fabs(s.lat) * 1e7))));
        putLe32(b, 0x50, static_cast<uint32_t>(static_cast<int32_t>(std::llround(std::fabs(s.lon) * 1e7))));
        putLe32(b, 0x54, static_cast<uint32_t>(static_cast<int32_t>(std::llround(s.speedKmh / 3.6 * 100))));
        putLeFloat(b, 0x58, static_cast<float>(s.altitude * 1000));
    } else {
        putLeFloat(b, 0x4c, static_cast<float>(ddmm(s.lat)));
        putLeFloat(b, 0x50, static_cast<float>(ddmm(s.lon)));
        putLeFloat(b, 0x54, static_cast<float>(s.speedKmh / kKmhPerKnot));
        putLeFloat(b, 0x58, static_cast<float>(s.course));
    }
    (void)index;
    return b;
}

std::string makeBlackVueNmea(const std::vector<TrackSample>& samples, const StartTime& utc, int64_t startMs,
                             bool badChecksum)
{
    std::string text;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const StartTime t = utc.plusSeconds(static_cast<long>(i));
        const std::string stamp = "[" + std::to_string(startMs + static_cast<int64_t>(i) * 1000 + 20) + "]";
        std::string rmc = sentence(rmcBody(samples[i], t));
        if (badChecksum && i == samples.size() / 2)
            rmc.back() = rmc.back() == '0' ? '1' : '0';
        text += stamp + rmc + "\r\n";
        if (samples[i].fix)
            text += stamp + sentence(ggaBody(samples[i], t)) + "\r\n";
    }
    return text;
}

std::string makeBlackVue3gf(const std::vector<TrackSample>& samples, int perSecond)
{
    perSecond = std::max(1, perSecond);
    std::string out;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        for (int k = 0; k < perSecond; ++k) {
            std::string r(10, '\0');
            putBe32(r, 0, static_cast<uint32_t>(i * 1000 + static_cast<std::size_t>(k) * 1000 / perSecond));
            // Tenths of g; the spike of a sample sits in its first reading.
            const double scale = k == 0 ? 1.0 : 0.5;
            putBe16(r, 4,
                    static_cast<uint16_t>(static_cast<int16_t>(std::lround(samples[i].gx * scale * 10))));
            putBe16(r, 6,
                    static_cast<uint16_t>(static_cast<int16_t>(std::lround(samples[i].gy * scale * 10))));
            putBe16(r, 8, static_cast<uint16_t>(static_cast<int16_t>(std::lround(samples[i].gz * 10))));
            out += r;
        }
    }
    out += std::string(4, '\xff') + std::string(6, '\0');
    return out;
}

bool addEmbeddedTrack(const std::string& path, const EmbeddedSpec& recipe, std::string* error)
{
    std::string d;
    if (!readFile(path, d, error))
        return false;
    switch (recipe.layout) {
    case EmbeddedLayout::NovatekIndexed:
    case EmbeddedLayout::NovatekUnindexed:
    case EmbeddedLayout::NovatekIntegerDegrees:
    case EmbeddedLayout::NovatekNmea:
        if (!addNovatek(d, recipe, error))
            return false;
        return writeFile(path, d, error);
    case EmbeddedLayout::BlackVueFree: {
        const int64_t start = blackVueStartMs(recipe);
        std::string sttm(8, '\0');
        putBe32(sttm, 0, static_cast<uint32_t>(static_cast<uint64_t>(start) >> 32));
        putBe32(sttm, 4, static_cast<uint32_t>(start));
        const std::string nmea = makeBlackVueNmea(recipe.samples, recipe.utc, start, recipe.hostile.badChecksum);
        const std::string content = box("sttm", sttm) +
                                    box("gps ", nmea, recipe.hostile.lyingChildSize ? 0x7ffffff0u : 0) +
                                    box("3gf ", makeBlackVue3gf(recipe.samples, recipe.gPerSecond));
        d += box("free", content);
        return writeFile(path, d, error);
    }
    case EmbeddedLayout::BlackVueSideFiles: {
        const std::string stem = sideStem(path, recipe.sideWithoutCameraLetter);
        return writeFile(
                   stem + ".gps",
                   makeBlackVueNmea(recipe.samples, recipe.utc, blackVueStartMs(recipe), recipe.hostile.badChecksum),
                   error) &&
               writeFile(stem + ".3gf", makeBlackVue3gf(recipe.samples, recipe.gPerSecond), error);
    }
    }
    return fail(error, "addEmbeddedTrack: unknown layout");
}

bool writeRecordingWithEmbeddedTrack(const std::string& path, const RecordingSpec& cfg,
                                     const EmbeddedSpec& recipe, std::string* error)
{
    return writeRecording(path, cfg, error) && addEmbeddedTrack(path, recipe, error);
}

} // namespace mediagen
