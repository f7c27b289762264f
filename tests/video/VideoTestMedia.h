#pragma once
// Small recordings for the video surface tests, made in a temporary folder by
// the project's media generator. Two files it does not make come from the
// ffmpeg command-line tool: a picture of known colours (red top half, blue
// bottom half) to check orientation and placement, and a sound-only file;
// ffprobe finds the video packets to damage.
#include "MediaGen.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace videotest
{

// Runs the ffmpeg tool with the given arguments after the common ones; true on success.
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
};

// An H.264 MP4 recording from the generator (with an AAC tone when asked).
inline bool makeRecording(const QString& path, const RecordingOptions& o)
{
    mediagen::RecordingSpec settings;
    settings.container = mediagen::Container::Mp4;
    settings.width = o.width;
    settings.height = o.height;
    settings.fps = o.fps;
    settings.seconds = o.seconds;
    settings.withAudio = o.audio;
    settings.faststart = o.faststart;
    return mediagen::writeRecording(path.toStdString(), settings);
}

// An H.264 MP4 whose picture is red in its top half and blue in its bottom half.
inline bool makeHalvesRecording(const QString& path, int width, int height, int fps, double seconds)
{
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    return runFfmpeg(
        {"-f", "lavfi", "-i", QStringLiteral("color=c=red:s=%1:r=%2").arg(size).arg(fps), "-t",
         QString::number(seconds), "-vf",
         QStringLiteral("drawbox=x=0:y=%1:w=%2:h=%1:color=blue:t=fill").arg(height / 2).arg(width), "-c:v",
         "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", path});
}

// An H.264 MP4 in four quadrants: red top left, green top right, blue bottom
// left, white bottom right.
inline bool makeQuadrantsRecording(const QString& path, int width, int height, int fps, double seconds)
{
    const int w = width / 2, h = height / 2;
    const QString box = QStringLiteral("drawbox=x=%1:y=%2:w=%3:h=%4:color=%5:t=fill");
    return runFfmpeg(
        {"-f", "lavfi", "-i", QStringLiteral("color=c=red:s=%1x%2:r=%3").arg(width).arg(height).arg(fps),
         "-t", QString::number(seconds), "-vf",
         box.arg(w).arg(0).arg(w).arg(h).arg("lime") + ',' + box.arg(0).arg(h).arg(w).arg(h).arg("blue") +
             ',' + box.arg(w).arg(h).arg(w).arg(h).arg("white"),
         "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", path});
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

// The recording with every video packet overwritten by zeros (found with the
// ffprobe tool): the sound still plays, no picture ever decodes.
inline bool makeSoundWithoutPicture(const QString& source, const QString& path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "v", "-show_entries",
                                            "packet=pos,size", "-of", "json", source});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return false;
    const QJsonArray packets = QJsonDocument::fromJson(probe.readAllStandardOutput())["packets"].toArray();
    QByteArray data = readAll(source);
    for (const QJsonValue& packet : packets) {
        const qint64 pos = packet["pos"].toString().toLongLong();
        const qint64 size = packet["size"].toString().toLongLong();
        if (pos <= 0 || size <= 0 || pos + size > data.size())
            return false;
        data.replace(static_cast<int>(pos), static_cast<int>(size), QByteArray(static_cast<int>(size), '\0'));
    }
    return !packets.isEmpty() && writeAll(path, data);
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
