#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

// One row of the file list: what the panel shows for a playlist entry. The
// controller fills it from the library entry (the file date recorded when the
// folder was scanned), so painting a row never asks the file system for dates.
struct FileListRow {
    QString path;          // full path; what getText() returns
    QByteArray nativePath; // the path as the file system spells it, when known (names that are not UTF-8)
    QString name;          // file name with extension, already cut for display
    QString dateText;      // "yyyy/MM/dd" in local time, or the placeholder
    QString timeText;      // "hh:mm:ss" in local time, or the placeholder
    int type = -1;         // RecordingType, or -1: worked out from the path when first drawn
};

// A name of 32 characters or more shows its first 32 followed by "...".
QString fileListDisplayName(const QString& fileName);
// A row for a path and its modification date (an invalid date shows the placeholders).
FileListRow makeFileListRow(const QString& path, const QDateTime& modified, int type = -1);
// Shown on the second line when no modification date is known.
inline const QString kFileListNoDate = QStringLiteral("----/--/--");
inline const QString kFileListNoTime = QStringLiteral("--:--:--");
