#pragma once
// An upload body read straight from disk: a fixed prefix, the bytes of one
// file, a fixed suffix, handed out in order as a sequential read-only device.
// Only the block being read is in memory, whatever the file's size. The
// file's length is taken when the device opens; a file that ends sooner
// while it is read makes the read fail instead of sending a short body.
// The file is named by the file system's own bytes, so a name that is not
// UTF-8 opens too; only a regular file is read.
#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

class MultipartFileDevice : public QIODevice
{
    Q_OBJECT
public:
    MultipartFileDevice(QByteArray prefix, QByteArray nativePath, QByteArray suffix,
                        QObject* parent = nullptr);
    MultipartFileDevice(QByteArray prefix, const QString& filePath, QByteArray suffix,
                        QObject* parent = nullptr);
    ~MultipartFileDevice() override;

    // Opens the file for reading; false (errorString() says why) when it cannot.
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    bool atEnd() const override;
    qint64 bytesAvailable() const override;

    // The whole body's length (prefix + file + suffix); valid once open.
    qint64 bodySize() const { return m_prefix.size() + m_fileSize + m_suffix.size(); }
    qint64 fileSize() const { return m_fileSize; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    QByteArray m_prefix;
    QByteArray m_suffix;
    QByteArray m_nativePath;
    QFile m_file;
    qint64 m_fileSize = 0;
    qint64 m_position = 0; // bytes of the body handed out so far
};
