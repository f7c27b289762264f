#include "library/AMediaFile.h"

#include <QFileInfo>

QString AMediaFile::localizedName() const
{
    if (mURL.isEmpty())
        return QString();
    if (mURL.isLocalFile())
        return QFileInfo(mURL.toLocalFile()).fileName();
    return mURL.fileName();
}
