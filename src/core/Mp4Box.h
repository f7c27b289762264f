#pragma once
// Reading MP4/QuickTime boxes out of a file that may be cut, damaged or
// hostile. Mp4File bounds every read by the file's real size (or the given
// bytes) and counts what it read, so a reader's cost can be measured; the box
// walker never lets a child pass its parent, never trusts a size beyond what
// is left, and stops after a fixed number of boxes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline uint16_t mp4Be16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint32_t mp4Be32(const unsigned char* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline uint64_t mp4Be64(const unsigned char* p)
{
    return uint64_t(mp4Be32(p)) << 32 | mp4Be32(p + 4);
}
inline uint32_t mp4Le32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t mp4Le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
// A four-character code as the big-endian number a box header holds.
constexpr uint32_t mp4Type(const char (&code)[5])
{
    return uint32_t(static_cast<unsigned char>(code[0])) << 24 |
           uint32_t(static_cast<unsigned char>(code[1])) << 16 |
           uint32_t(static_cast<unsigned char>(code[2])) << 8 | uint32_t(static_cast<unsigned char>(code[3]));
}

// A regular file opened read-only (never blocking: a FIFO or device named
// like a recording is refused), or a block of bytes in memory (tests, fuzz
// targets). Not for use from two threads at once.
class Mp4File
{
public:
    explicit Mp4File(const std::string& path);
    // The bytes are not copied: they must outlive the reader.
    Mp4File(const unsigned char* data, std::size_t size);
    ~Mp4File();
    Mp4File(const Mp4File&) = delete;
    Mp4File& operator=(const Mp4File&) = delete;

    bool isOpen() const { return m_fd >= 0 || m_data; }
    uint64_t size() const { return m_size; }
    const std::string& path() const { return m_path; }

    // Up to `count` bytes at `offset`, clamped to the end of the file; the
    // number read (0 past the end or on a read error).
    std::size_t readAt(uint64_t offset, void* buffer, std::size_t count);
    // Exactly `count` bytes or false.
    bool readExact(uint64_t offset, void* buffer, std::size_t count)
    {
        return readAt(offset, buffer, count) == count;
    }
    // [offset, offset + count) clamped to the file's end and to `limit` bytes,
    // into `out` (replaced). The allocation is what the file really holds,
    // never what a count claims. False when nothing could be read.
    bool readBlock(uint64_t offset, uint64_t count, std::vector<unsigned char>& out, std::size_t limit);

    // Bytes delivered by reads so far (what a reader cost).
    uint64_t bytesRead() const { return m_bytesRead; }

private:
    std::string m_path;
    int m_fd = -1;
    const unsigned char* m_data = nullptr;
    uint64_t m_size = 0;
    uint64_t m_bytesRead = 0;
};

// One box: where its header starts, the header's length (8, or 16 with a
// 64-bit size) and the whole length, cut to what its parent holds.
struct Mp4Box {
    uint32_t type = 0;
    uint64_t offset = 0;
    uint64_t headerSize = 0;
    uint64_t size = 0;
    bool clamped = false; // its stated size ran past the parent (or the file): cut there

    uint64_t contentOffset() const { return offset + headerSize; }
    uint64_t contentSize() const { return size - headerSize; }
    uint64_t end() const { return offset + size; }
    bool is(uint32_t code) const { return type == code; }
    // The type as text, for logs.
    std::string typeText() const;
};

// Iterates the boxes that lie in [begin, end) of a file: the top level, or a
// box's contents. A 32-bit size, a 64-bit size (size field 1) and size 0 (to
// the end of the parent) are understood. A size that runs past the end is cut
// to the end (the walk then stops after that box); a size smaller than its own
// header ends the walk. At most kMaxBoxes boxes per walk.
class Mp4BoxWalker
{
public:
    static constexpr int kMaxBoxes = 100000;

    Mp4BoxWalker(Mp4File& file, uint64_t begin, uint64_t end);
    // The children of `parent`, starting `skip` bytes into its contents (a
    // full box's version and flags, a sample entry's fixed fields).
    Mp4BoxWalker(Mp4File& file, const Mp4Box& parent, uint64_t skip = 0);

    // The next box, or false at the end of the range or at a broken header.
    bool next(Mp4Box& box);
    // The first box of that type from the current position on.
    bool find(uint32_t type, Mp4Box& box);
    // True when the walk ended at a broken header rather than the range's end.
    bool broken() const { return m_broken; }

private:
    Mp4File& m_file;
    uint64_t m_pos;
    uint64_t m_end;
    int m_count = 0;
    bool m_broken = false;
};

// The top-level boxes of the file (at most kMaxBoxes), in order. A file that
// does not start like an MP4 (a box header of a known top-level type within
// the first 16 bytes) gives none.
std::vector<Mp4Box> pmMp4TopLevel(Mp4File& file);
// First box of `type` in `boxes`, or null.
const Mp4Box* pmMp4FindBox(const std::vector<Mp4Box>& boxes, uint32_t type);
// Descends from `parent` through the types in `path` (first child of each
// type); false when one is missing.
bool pmMp4FindPath(Mp4File& file, const Mp4Box& parent, const std::vector<uint32_t>& path, Mp4Box& found);
