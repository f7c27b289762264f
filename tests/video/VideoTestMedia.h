#pragma once
// Small recordings for the video surface tests, made in a temporary folder with
// the ffmpeg command-line tool (installed with the build dependencies).
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace videotest
{

// Runs ffmpeg with the given arguments after the common ones; true on success.
inline bool runFfmpeg(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments);
    if (!process.waitForFinished(120000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

struct RecordingOptions {
    int width = 320;
    int height = 240;
    int fps = 10;
    double seconds = 2.0;
    bool audio = true;
    bool faststart = true;
    QString picture = QStringLiteral("testsrc"); // a lavfi source, or "halves": red top, blue bottom
};

// An H.264 MP4 recording (with an AAC tone when asked).
inline bool makeRecording(const QString& path, const RecordingOptions& o)
{
    const QString size = QStringLiteral("%1x%2").arg(o.width).arg(o.height);
    QStringList args;
    if (o.picture == QLatin1String("halves")) {
        args << "-f"
             << "lavfi"
             << "-i" << QStringLiteral("color=c=red:s=%1:r=%2").arg(size).arg(o.fps);
    } else {
        args << "-f"
             << "lavfi"
             << "-i" << QStringLiteral("%1=size=%2:rate=%3").arg(o.picture, size).arg(o.fps);
    }
    if (o.audio)
        args << "-f"
             << "lavfi"
             << "-i"
             << "sine=frequency=440:sample_rate=48000";
    args << "-t" << QString::number(o.seconds);
    if (o.picture == QLatin1String("halves"))
        args << "-vf"
             << QStringLiteral("drawbox=x=0:y=%1:w=%2:h=%1:color=blue:t=fill").arg(o.height / 2).arg(o.width);
    args << "-c:v"
         << "libx264"
         << "-preset"
         << "ultrafast"
         << "-pix_fmt"
         << "yuv420p"
         << "-g" << QString::number(o.fps);
    if (o.audio)
        args << "-c:a"
             << "aac"
             << "-shortest";
    if (o.faststart)
        args << "-movflags"
             << "+faststart";
    args << path;
    return runFfmpeg(args);
}

inline bool makeAudioOnly(const QString& path, double seconds)
{
    return runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t",
                      QString::number(seconds), "-c:a", "aac", path});
}

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The file cut to the given fraction of its size, as a power cut leaves it.
inline bool makeTruncated(const QString& source, const QString& path, double fraction)
{
    const QByteArray data = readAll(source);
    return !data.isEmpty() && writeAll(path, data.left(static_cast<int>(data.size() * fraction)));
}

// A faststart MP4 whose media data (all H.264 and AAC payload) is overwritten
// with zeros: the headers are intact, no frame decodes.
inline bool makeDamagedStream(const QString& source, const QString& path)
{
    QByteArray data = readAll(source);
    const int mdat = data.indexOf("mdat");
    if (mdat < 4)
        return false;
    for (int i = mdat + 4; i < data.size(); ++i)
        data[i] = 0;
    return writeAll(path, data);
}

// Bytes that are no container at all.
inline bool makeGarbage(const QString& path, int size)
{
    QByteArray data(size, '\0');
    quint32 x = 0x12345678u;
    for (char& c : data) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return writeAll(path, data);
}

} // namespace videotest
