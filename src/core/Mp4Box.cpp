#include "core/Mp4Box.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Mp4File::Mp4File(const std::string& path) : m_path(path)
{
    if (path.empty())
        return;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (m_fd < 0)
        return;
    struct stat st {
    };
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_size = static_cast<uint64_t>(st.st_size);
}

Mp4File::Mp4File(const unsigned char* data, std::size_t size) : m_data(data), m_size(data ? size : 0)
{
    static const unsigned char kEmpty = 0;
    if (!m_data)
        m_data = &kEmpty;
}

Mp4File::~Mp4File()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t Mp4File::readAt(uint64_t offset, void* buffer, std::size_t count)
{
    if (!isOpen() || offset >= m_size || count == 0)
        return 0;
    const uint64_t left = m_size - offset;
    const std::size_t wanted = left < count ? static_cast<std::size_t>(left) : count;
    if (m_data) {
        std::memcpy(buffer, m_data + offset, wanted);
        m_bytesRead += wanted;
        return wanted;
    }
    std::size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < wanted) {
        const ssize_t got = ::pread(m_fd, out + done, wanted - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break; // a file that shrank meanwhile gives what it still had
        done += static_cast<std::size_t>(got);
    }
    m_bytesRead += done;
    return done;
}

bool Mp4File::readBlock(uint64_t offset, uint64_t count, std::vector<unsigned char>& out, std::size_t limit)
{
    out.clear();
    if (offset >= m_size)
        return false;
    uint64_t wanted = count < m_size - offset ? count : m_size - offset;
    if (wanted > limit)
        wanted = limit;
    out.resize(static_cast<std::size_t>(wanted));
    out.resize(readAt(offset, out.data(), out.size()));
    return !out.empty();
}

std::string Mp4Box::typeText() const
{
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(type >> (24 - 8 * i));
        if (c >= 0x20 && c < 0x7f)
            text[static_cast<std::size_t>(i)] = static_cast<char>(c);
    }
    return text;
}

Mp4BoxWalker::Mp4BoxWalker(Mp4File& file, uint64_t begin, uint64_t end)
    : m_file(file), m_pos(begin), m_end(end < file.size() ? end : file.size())
{
}

Mp4BoxWalker::Mp4BoxWalker(Mp4File& file, const Mp4Box& parent, uint64_t skip)
    : Mp4BoxWalker(file, parent.contentOffset() + (skip < parent.contentSize() ? skip : parent.contentSize()),
                   parent.end())
{
}

bool Mp4BoxWalker::next(Mp4Box& box)
{
    if (m_broken || m_pos >= m_end || m_end - m_pos < 8 || m_count >= kMaxBoxes)
        return false;
    unsigned char header[16];
    if (!m_file.readExact(m_pos, header, 8)) {
        m_broken = true;
        return false;
    }
    ++m_count;
    const uint64_t left = m_end - m_pos;
    uint64_t size = mp4Be32(header);
    uint64_t headerSize = 8;
    if (size == 1) {
        if (left < 16 || !m_file.readExact(m_pos + 8, header + 8, 8)) {
            m_broken = true;
            return false;
        }
        size = mp4Be64(header + 8);
        headerSize = 16;
    } else if (size == 0) {
        size = left;
    }
    if (size < headerSize) {
        m_broken = true;
        return false;
    }
    box.type = mp4Be32(header + 4);
    box.offset = m_pos;
    box.headerSize = headerSize;
    box.clamped = size > left;
    box.size = box.clamped ? left : size;
    m_pos += box.size;
    return true;
}

bool Mp4BoxWalker::find(uint32_t type, Mp4Box& box)
{
    Mp4Box candidate;
    while (next(candidate)) {
        if (candidate.is(type)) {
            box = candidate;
            return true;
        }
    }
    return false;
}

namespace
{

bool printable(const unsigned char* p)
{
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] >= 0x7f)
            return false;
    return true;
}

} // namespace

std::vector<Mp4Box> pmMp4TopLevel(Mp4File& file)
{
    std::vector<Mp4Box> boxes;
    unsigned char head[8];
    // Anything that does not open with a box header is not an MP4; a walk
    // through it would only find noise.
    if (!file.readExact(0, head, sizeof head) || !printable(head + 4))
        return boxes;
    Mp4BoxWalker walker(file, 0, file.size());
    Mp4Box box;
    while (walker.next(box))
        boxes.push_back(box);
    return boxes;
}

const Mp4Box* pmMp4FindBox(const std::vector<Mp4Box>& boxes, uint32_t type)
{
    for (const Mp4Box& box : boxes)
        if (box.is(type))
            return &box;
    return nullptr;
}

bool pmMp4FindPath(Mp4File& file, const Mp4Box& parent, const std::vector<uint32_t>& path, Mp4Box& found)
{
    Mp4Box current = parent;
    for (uint32_t type : path) {
        Mp4BoxWalker walker(file, current);
        if (!walker.find(type, current))
            return false;
    }
    found = current;
    return true;
}
