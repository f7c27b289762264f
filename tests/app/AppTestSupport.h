#pragma once
// Helpers shared by the application-shell tests: a temporary folder, the log
// file of the test home, and a dialog hook that answers and records.
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "core/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

namespace apptest
{

inline QString logFilePath()
{
    return QDir(pmGetDocumentsFolder()).filePath(QStringLiteral("RovixManagerLog_mac.txt"));
}

// Points the log at the test home's Documents folder (as main does) for the
// lifetime of the object, and turns it off again afterwards.
struct LogToDocuments {
    LogToDocuments()
    {
        QDir().mkpath(pmGetDocumentsFolder());
        pmSetLogFilePath(QFile::encodeName(logFilePath()).toStdString());
        pmResetLog();
    }
    ~LogToDocuments()
    {
        pmResetLog();
        pmSetLogFilePath({});
    }
};

// The messages of the log, without their time stamps.
inline QStringList logMessages()
{
    QFile f(logFilePath());
    QStringList out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        // "YYYY-MM-DD HH:MM:SS.<ms> message": the message follows the second blank.
        const int first = line.indexOf(QLatin1Char(' '));
        const int second = first < 0 ? -1 : line.indexOf(QLatin1Char(' '), first + 1);
        out << (second < 0 ? line : line.mid(second + 1));
    }
    return out;
}

// Answers every dialog with a fixed answer and records the requests.
struct DialogRecorder {
    std::vector<DialogRequest> requests;
    DialogAnswer answer;
    DialogRecorder()
    {
        pmSetDialogHook([this](const DialogRequest& r) {
            requests.push_back(r);
            return answer;
        });
    }
    ~DialogRecorder() { pmSetDialogHook({}); }
};

// Writes a small file that the AVI probe admits as an H.264 recording.
inline bool writeAvi(const QString& path, qint64 size = 512)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray data(static_cast<int>(size), '\0');
    data.replace(0, 4, "RIFF");
    data.replace(8, 4, "AVI ");
    data.replace(112, 4, "H264");
    return f.write(data) == data.size();
}

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace apptest
