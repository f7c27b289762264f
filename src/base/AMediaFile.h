#pragma once
// One library or playlist entry: a recording's file URL and the modification
// date it had when the library was scanned. Immutable once made; a cheap value
// type (all members are implicitly shared).
//
// The path is also kept as the file system's own bytes: a name that is not
// valid UTF-8 cannot survive a trip through QString or QUrl, and file-system
// checks must still find the file. Use nativePath() for those.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

class AMediaFile
{
public:
    // No URL and no date.
    AMediaFile() = default;
    AMediaFile(const QUrl& url, const QDateTime& fileDate);

    static AMediaFile mediaFileWithURLDate(const QUrl& url, const QDateTime& fileDateTime)
    {
        return AMediaFile(url, fileDateTime);
    }
    // From the path bytes as the file system listed them.
    static AMediaFile mediaFileWithNativePath(const QByteArray& nativePath, const QDateTime& fileDateTime);

    const QUrl& URL() const { return mURL; }
    // Invalid when the file's attributes could not be read.
    const QDateTime& fileDate() const { return mFileDate; }
    // The display name: the file name of the URL.
    QString localizedName() const;
    // Local path of the URL ("" without a URL); for display and Qt file APIs.
    QString path() const { return mURL.toLocalFile(); }
    // The exact path bytes, for file-system calls (existence, opening).
    const QByteArray& nativePath() const { return mNativePath; }

    static constexpr int kClassVersion = 1;

private:
    QUrl mURL;
    QDateTime mFileDate;
    QByteArray mNativePath;
};
