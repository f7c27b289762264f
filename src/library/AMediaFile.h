#pragma once
// One library or playlist entry: a recording's file URL and the modification
// date it had when the library was scanned. Immutable once made; a cheap value
// type (both members are implicitly shared).
#include <QDateTime>
#include <QString>
#include <QUrl>

class AMediaFile
{
public:
    // No URL and no date.
    AMediaFile() = default;
    AMediaFile(const QUrl& url, const QDateTime& fileDate) : mURL(url), mFileDate(fileDate) {}

    static AMediaFile mediaFileWithURLDate(const QUrl& url, const QDateTime& fileDateTime)
    {
        return AMediaFile(url, fileDateTime);
    }

    const QUrl& URL() const { return mURL; }
    // Invalid when the file's attributes could not be read.
    const QDateTime& fileDate() const { return mFileDate; }
    // The display name: the file name of the URL.
    QString localizedName() const;
    // Local path of the URL ("" without a URL).
    QString path() const { return mURL.toLocalFile(); }

    static constexpr int kClassVersion = 1;

private:
    QUrl mURL;
    QDateTime mFileDate;
};
