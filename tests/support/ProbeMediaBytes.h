#pragma once
// Byte layouts for the header probes: just enough QuickTime/MP4 atoms and AVI
// header to be judged by the probes, built in memory so each test states the
// exact layout it exercises. Not playable media.
#include <cstdint>
#include <fstream>
#include <string>

namespace probebytes
{

inline std::string be32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
    return s;
}

inline std::string be64(uint64_t v)
{
    return be32(uint32_t(v >> 32)) + be32(uint32_t(v));
}

// An atom whose size field is its real length.
inline std::string atom(const std::string& type, const std::string& payload = std::string())
{
    return be32(uint32_t(8 + payload.size())) + type + payload;
}

// An atom with size field 1 and the given 64-bit size (its real length when 0).
inline std::string largeAtom(const std::string& type, const std::string& payload, uint64_t largeSize = 0)
{
    return be32(1) + type + be64(largeSize ? largeSize : 16 + payload.size()) + payload;
}

// An atom header claiming `size` whatever follows.
inline std::string rawHeader(uint32_t size, const std::string& type)
{
    return be32(size) + type;
}

inline std::string ftyp()
{
    return atom("ftyp", std::string("isom") + be32(512) + "isomavc1");
}

// Version 0 movie header, 108 bytes in all.
inline std::string mvhd(uint32_t timeScale, uint32_t duration)
{
    std::string body(4 + 4 + 4, '\0');
    body += be32(timeScale) + be32(duration);
    body += std::string(80, '\0');
    return atom("mvhd", body);
}

// A track whose first sample entry has the given four-character type.
inline std::string trak(const std::string& codec = "avc1")
{
    const std::string entry = atom(codec, std::string(8, '\0'));
    const std::string stsd = atom("stsd", std::string(4, '\0') + be32(1) + entry);
    const std::string stbl = atom("stbl", stsd + atom("stts", std::string(8, '\0')));
    const std::string minf = atom("minf", atom("vmhd", std::string(12, '\0')) + atom("dinf") + stbl);
    const std::string mdia =
        atom("mdia", atom("mdhd", std::string(24, '\0')) + atom("hdlr", std::string(25, '\0')) + minf);
    return atom("trak", atom("tkhd", std::string(84, '\0')) + mdia);
}

inline std::string moov(const std::string& children)
{
    return atom("moov", children);
}

// Pads `bytes` with a trailing "free" atom to exactly `total` bytes (>= size + 8).
inline std::string padTo(const std::string& bytes, std::size_t total)
{
    return bytes + atom("free", std::string(total - bytes.size() - 8, '\0'));
}

// A small, well-formed file the MOV/MP4 probe accepts: ftyp, moov, mdat.
inline std::string goodMov(uint32_t timeScale = 1000, uint32_t duration = 60000)
{
    return ftyp() + moov(mvhd(timeScale, duration) + trak()) + atom("mdat", std::string(3000, '\x55'));
}

// An AVI header with `handler` as the first stream's handler at byte 112.
inline std::string avi(const std::string& handler, std::size_t total = 2048)
{
    std::string bytes = "RIFF" + std::string(4, '\0') + "AVI LIST" + std::string(4, '\0') + "hdrlavih";
    bytes.resize(112, '\0');
    bytes.replace(88, 12, "LIST\0\0\0\0strl", 12);
    bytes.replace(100, 8, "strh\0\0\0\0", 8);
    bytes.replace(108, 4, "vids");
    bytes += handler;
    if (bytes.size() < total)
        bytes.resize(total, '\0');
    return bytes;
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

} // namespace probebytes
