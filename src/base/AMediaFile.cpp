#include "base/AMediaFile.h"

#include <QFile>
#include <QFileInfo>

AMediaFile::AMediaFile(const QUrl& url, const QDateTime& fileDate)
    : mURL(url), mFileDate(fileDate),
      mNativePath(url.isLocalFile() ? QFile::encodeName(url.toLocalFile()) : QByteArray())
{
}

AMediaFile AMediaFile::mediaFileWithNativePath(const QByteArray& nativePath, const QDateTime& fileDateTime)
{
    AMediaFile f(QUrl::fromLocalFile(QFile::decodeName(nativePath)), fileDateTime);
    f.mNativePath = nativePath;
    return f;
}

QString AMediaFile::localizedName() const
{
    if (mURL.isEmpty())
        return QString();
    if (!mNativePath.isEmpty()) {
        const int slash = mNativePath.lastIndexOf('/');
        return QFile::decodeName(slash < 0 ? mNativePath : mNativePath.mid(slash + 1));
    }
    return mURL.fileName();
}
