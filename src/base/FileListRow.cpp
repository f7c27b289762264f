#include "base/FileListRow.h"

#include <QFileInfo>

QString fileListDisplayName(const QString& fileName)
{
    // Count characters, not UTF-16 units, so a cut never splits a surrogate pair.
    const QList<uint> chars = fileName.toUcs4();
    if (chars.size() < 32)
        return fileName;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), 32) +
           QStringLiteral("...");
}

FileListRow makeFileListRow(const QString& path, const QDateTime& modified, int type)
{
    FileListRow row;
    row.path = path;
    row.name = fileListDisplayName(QFileInfo(path).fileName());
    row.type = type;
    if (modified.isValid()) {
        const QDateTime local = modified.toLocalTime();
        const QDate d = local.date();
        const QTime t = local.time();
        row.dateText = QString::asprintf("%04d/%02d/%02d", d.year(), d.month(), d.day());
        row.timeText = QString::asprintf("%02d:%02d:%02d", t.hour(), t.minute(), t.second());
    } else {
        row.dateText = kFileListNoDate;
        row.timeText = kFileListNoTime;
    }
    return row;
}
