#pragma once
// Shared helpers of the track tests: a temporary folder, file I/O, and a
// builder for AVI files carrying track chunks.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace gpstest
{

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir()
    {
        static int counter = 0;
        path = fs::temp_directory_path() /
               ("rovix-track-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string file(const std::string& rel) const { return (path / rel).string(); }
    std::string write(const std::string& rel, const std::string& data) const
    {
        const fs::path p = path / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << data;
        return p.string();
    }
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    return s;
}

inline void putBe(std::string& s, std::size_t at, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * (bytes - 1 - i)));
}

inline std::string chunk(const std::string& id, const std::string& payload)
{
    return id + le32(static_cast<uint32_t>(payload.size())) + payload;
}

// Chunk with a stated payload length that differs from the bytes that follow.
inline std::string chunkWithLength(const std::string& id, int32_t length, const std::string& payload)
{
    return id + le32(static_cast<uint32_t>(length)) + payload;
}

// RIFF AVI with a header list, a movie list of `movieBytes` and an index,
// followed by `tail` (the track chunks).
inline std::string avi(const std::string& tail, std::size_t movieBytes = 64,
                       const std::string& beforeIndex = "")
{
    std::string body = "AVI ";
    body += chunk("LIST", "hdrlavih" + std::string(56, '\1'));
    body += chunk("JUNK", std::string(12, '\0'));
    body += chunk("LIST", "movi" + std::string(movieBytes, 'v'));
    body += beforeIndex;
    body += chunk("idx1", std::string(32, 'i'));
    body += tail;
    return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

// One coordinate: whole degrees (signed 16-bit) and fraction in 1e-8 degree.
inline void putCoordinate(std::string& r, std::size_t at, int16_t whole, uint32_t fraction)
{
    putBe(r, at, static_cast<uint16_t>(whole), 2);
    putBe(r, at + 2, fraction, 4);
}

inline std::string gpsRecord(int16_t lonWhole, uint32_t lonFrac, int16_t latWhole, uint32_t latFrac,
                             uint16_t speed)
{
    std::string r(28, '\x55');
    putCoordinate(r, 5, lonWhole, lonFrac);
    putCoordinate(r, 11, latWhole, latFrac);
    putBe(r, 19, speed, 2);
    return r;
}

// Axis: sign-and-whole byte and fraction in 1e-5 g.
inline std::string gRecord(uint8_t xs, int32_t xf, uint8_t ys, int32_t yf, uint8_t zs, int32_t zf)
{
    std::string r(20, '\x33');
    r[5] = static_cast<char>(xs);
    putBe(r, 6, static_cast<uint32_t>(xf), 4);
    r[10] = static_cast<char>(ys);
    putBe(r, 11, static_cast<uint32_t>(yf), 4);
    r[15] = static_cast<char>(zs);
    putBe(r, 16, static_cast<uint32_t>(zf), 4);
    return r;
}

} // namespace gpstest
