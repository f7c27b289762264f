#include "upload/MultipartFileDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

MultipartFileDevice::MultipartFileDevice(QByteArray prefix, QByteArray nativePath, QByteArray suffix,
                                         QObject* parent)
    : QIODevice(parent), m_prefix(std::move(prefix)), m_suffix(std::move(suffix)),
      m_nativePath(std::move(nativePath))
{
}

MultipartFileDevice::MultipartFileDevice(QByteArray prefix, const QString& filePath, QByteArray suffix,
                                         QObject* parent)
    : MultipartFileDevice(std::move(prefix), QFile::encodeName(filePath), std::move(suffix), parent)
{
}

MultipartFileDevice::~MultipartFileDevice() = default;

bool MultipartFileDevice::open(OpenMode mode)
{
    if ((mode & WriteOnly) || !(mode & ReadOnly)) {
        setErrorString(QStringLiteral("the body can only be read"));
        return false;
    }
    // Opened by its bytes: a name that is not UTF-8 does not survive a
    // QString. Non-blocking so that a FIFO under a recording's name cannot
    // hang the open; it is refused below.
    const int fd = ::open(m_nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        setErrorString(QStringLiteral("not a regular file"));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!m_file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        setErrorString(m_file.errorString());
        return false;
    }
    m_fileSize = m_file.size();
    m_position = 0;
    return QIODevice::open(ReadOnly | Unbuffered);
}

void MultipartFileDevice::close()
{
    m_file.close();
    QIODevice::close();
}

bool MultipartFileDevice::atEnd() const
{
    return isOpen() && m_position >= bodySize() && QIODevice::bytesAvailable() == 0;
}

qint64 MultipartFileDevice::bytesAvailable() const
{
    const qint64 left = isOpen() ? bodySize() - m_position : 0;
    return left + QIODevice::bytesAvailable();
}

qint64 MultipartFileDevice::readData(char* data, qint64 maxSize)
{
    qint64 done = 0;
    const qint64 prefixEnd = m_prefix.size();
    const qint64 fileEnd = prefixEnd + m_fileSize;
    const qint64 end = fileEnd + m_suffix.size();
    while (done < maxSize && m_position < end) {
        if (m_position < prefixEnd) {
            const qint64 n = std::min(maxSize - done, prefixEnd - m_position);
            std::memcpy(data + done, m_prefix.constData() + m_position, static_cast<size_t>(n));
            done += n;
            m_position += n;
        } else if (m_position < fileEnd) {
            const qint64 want = std::min(maxSize - done, fileEnd - m_position);
            const qint64 got = m_file.read(data + done, want);
            if (got <= 0) {
                // The file shrank or failed under us: a short body must not pass for a whole one.
                setErrorString(got < 0 ? m_file.errorString() : QStringLiteral("the file ended early"));
                return done > 0 ? done : -1;
            }
            done += got;
            m_position += got;
        } else {
            const qint64 n = std::min(maxSize - done, end - m_position);
            std::memcpy(data + done, m_suffix.constData() + (m_position - fileEnd), static_cast<size_t>(n));
            done += n;
            m_position += n;
        }
    }
    return done;
}

qint64 MultipartFileDevice::writeData(const char*, qint64)
{
    return -1;
}
