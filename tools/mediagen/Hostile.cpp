// DEVICE.XML and the irregular files a memory card may hold: patched headers,
// cut copies and hand-built atom trees.
#include "Common.h"
#include "MediaGen.h"

#include <algorithm>
#include <cstring>

namespace mediagen
{

namespace
{

struct Atom {
    std::size_t offset = 0;
    uint64_t size = 0;
    std::size_t header = 8;
    std::string type;
};

// Children of [begin, end) as the muxer wrote them; stops at the first atom that does not fit.
std::vector<Atom> atoms(const std::string& d, std::size_t begin, std::size_t end)
{
    std::vector<Atom> out;
    std::size_t pos = begin;
    while (pos + 8 <= end) {
        Atom a;
        a.offset = pos;
        a.size = getBe32(d, pos);
        a.type = d.substr(pos + 4, 4);
        if (a.size == 1) {
            if (pos + 16 > end)
                break;
            a.size = (static_cast<uint64_t>(getBe32(d, pos + 8)) << 32) | getBe32(d, pos + 12);
            a.header = 16;
        } else if (a.size == 0) {
            a.size = end - pos;
        }
        if (a.size < a.header || a.size > end - pos)
            break;
        out.push_back(a);
        pos += static_cast<std::size_t>(a.size);
    }
    return out;
}

std::string atom(const char type[4], const std::string& content)
{
    std::string a(8, '\0');
    putBe32(a, 0, static_cast<uint32_t>(8 + content.size()));
    std::memcpy(&a[4], type, 4);
    return a + content;
}

std::string be32(uint32_t v)
{
    std::string s(4, '\0');
    putBe32(s, 0, v);
    return s;
}

} // namespace

bool writeDeviceXml(const std::string& folder, const std::string& productName, std::string* error)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                            "<DEVICE>\r\n"
                            "  <Manufacturer>Rovix</Manufacturer>\r\n"
                            "  <ProductName>" +
                            productName +
                            "</ProductName>\r\n"
                            "  <FirmwareVersion>1.0.7</FirmwareVersion>\r\n"
                            "  <Channel>2</Channel>\r\n"
                            "</DEVICE>\r\n";
    return writeFile(folder + "/DEVICE.XML", xml, error);
}

bool patchLargeMdat(const std::string& path, std::string* error)
{
    std::string d;
    if (!readFile(path, d, error))
        return false;
    const auto top = atoms(d, 0, d.size());
    for (std::size_t i = 0; i + 1 < top.size(); ++i) {
        if ((top[i].type == "wide" || top[i].type == "free") && top[i].size == 8 &&
            top[i + 1].type == "mdat" && top[i + 1].header == 8) {
            // The 8-byte "wide" and the 8-byte mdat header become one 16-byte
            // header: the media data does not move, so every chunk offset stays right.
            const uint64_t large = top[i + 1].size + 8;
            const std::size_t at = top[i].offset;
            putBe32(d, at, 1);
            std::memcpy(&d[at + 4], "mdat", 4);
            putBe32(d, at + 8, static_cast<uint32_t>(large >> 32));
            putBe32(d, at + 12, static_cast<uint32_t>(large));
            return writeFile(path, d, error);
        }
    }
    return fail(error, path + " has no 8-byte wide or free atom before its mdat");
}

bool patchMvhd(const std::string& path, uint32_t timeScale, uint32_t duration, std::string* error)
{
    std::string d;
    if (!readFile(path, d, error))
        return false;
    for (const Atom& moov : atoms(d, 0, d.size())) {
        if (moov.type != "moov")
            continue;
        for (const Atom& a : atoms(d, moov.offset + moov.header, moov.offset + moov.size)) {
            if (a.type != "mvhd" || a.size < a.header + 32)
                continue;
            const std::size_t c = a.offset + a.header;
            const bool v1 = d[c] == 1;
            putBe32(d, c + (v1 ? 20 : 12), timeScale);
            if (v1) {
                putBe32(d, c + 24, 0);
                putBe32(d, c + 28, duration);
            } else {
                putBe32(d, c + 16, duration);
            }
            return writeFile(path, d, error);
        }
    }
    return fail(error, path + " has no movie header");
}

bool patchAviHandler(const std::string& path, const char fourcc[4], std::string* error)
{
    std::string d;
    if (!readFile(path, d, error))
        return false;
    if (d.size() < 116 || d.compare(0, 4, "RIFF") != 0 || d.compare(100, 4, "strh") != 0)
        return fail(error, path + " does not have the first stream header at the usual place");
    std::memcpy(&d[112], fourcc, 4);
    return writeFile(path, d, error);
}

bool truncatedCopy(const std::string& src, const std::string& dst, uint64_t size, std::string* error)
{
    std::string d;
    if (!readFile(src, d, error))
        return false;
    if (d.size() > size)
        d.resize(static_cast<std::size_t>(size));
    return writeFile(dst, d, error);
}

bool writeSizedFile(const std::string& path, const std::string& head, uint64_t size, std::string* error)
{
    std::string d = head;
    d.resize(static_cast<std::size_t>(size), '\0');
    return writeFile(path, d, error);
}

std::string makeMovSkeleton(const MovSkeletonSpec& cfg)
{
    std::string ftyp = cfg.ftyp ? atom("ftyp", std::string("isom") + be32(0x200) + "isomiso2avc1mp41")
                                : atom("wide", std::string());

    std::string mvhd(100, '\0');
    putBe32(mvhd, 12, cfg.timeScale);
    putBe32(mvhd, 16, cfg.duration);
    putBe32(mvhd, 20, 0x00010000); // rate 1.0
    putBe16(mvhd, 24, 0x0100);     // volume 1.0
    putBe32(mvhd, 36, 0x00010000); // identity matrix
    putBe32(mvhd, 52, 0x00010000);
    putBe32(mvhd, 68, 0x40000000);
    putBe32(mvhd, 96, static_cast<uint32_t>(cfg.tracks.size() + 1));
    const std::string mvhdAtom = atom("mvhd", mvhd);

    std::string traks;
    uint32_t id = 1;
    for (const std::string& type : cfg.tracks) {
        std::string tkhd(84, '\0');
        tkhd[3] = 3; // enabled, in movie
        putBe32(tkhd, 12, id++);
        std::string entry(8 + 8, '\0'); // sample entry: header, 6 reserved bytes, data reference index
        putBe32(entry, 0, static_cast<uint32_t>(entry.size()));
        std::memcpy(&entry[4], type.c_str(), std::min<std::size_t>(4, type.size()));
        putBe16(entry, 14, 1);
        const std::string stsd = atom("stsd", be32(0) + be32(1) + entry);
        const std::string stbl = atom("stbl", stsd);
        const std::string minf = atom("minf", stbl);
        const std::string hdlr = atom("hdlr", be32(0) + be32(0) + (type == "avc1" ? "vide" : "soun") +
                                                  std::string(12, '\0') + "x");
        const std::string mdia = atom("mdia", hdlr + minf);
        traks += atom("trak", atom("tkhd", tkhd) + mdia);
    }
    const std::string moov = atom("moov", cfg.mvhdAfterTraks ? traks + mvhdAtom : mvhdAtom + traks);

    auto build = [&](uint32_t mdatBytes) {
        std::string payload(mdatBytes, '\0');
        for (uint32_t i = 0; i < mdatBytes; ++i)
            payload[i] = static_cast<char>(i * 7 + 1);
        std::string mdat;
        if (cfg.largeMdat) {
            mdat.assign(16, '\0');
            putBe32(mdat, 0, 1);
            std::memcpy(&mdat[4], "mdat", 4);
            putBe32(mdat, 12, 16 + mdatBytes);
            mdat += payload;
        } else {
            mdat = atom("mdat", payload);
        }
        return cfg.mdatFirst ? ftyp + mdat + moov : ftyp + moov + mdat;
    };
    std::string file = build(cfg.mdatBytes);
    if (cfg.totalSize > file.size()) {
        const uint64_t rest = cfg.totalSize - file.size();
        if (rest >= 8)
            file += atom("free", std::string(static_cast<std::size_t>(rest - 8), '\0'));
        else
            file = build(cfg.mdatBytes + static_cast<uint32_t>(rest));
    }
    return file;
}

bool writeMovSkeleton(const std::string& path, const MovSkeletonSpec& cfg, std::string* error)
{
    return writeFile(path, makeMovSkeleton(cfg), error);
}

} // namespace mediagen
