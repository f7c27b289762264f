// The controller's library: scanning a folder into AMediaFile entries, the
// queries the calendar, playlist and folder monitor ask of it, and the Browse
// button. The walk, the admission probes and the name order are the core
// scanner's (core/LibraryScan.h); this side adds the busy window, the log
// lines and the Qt entry objects. Paths cross the boundary as native bytes
// (QFile::encodeName/decodeName) so names that are not UTF-8 survive.
#include "app/AppDelegate.h"

#include "base/DialogSeam.h"
#include "app/MainWindow.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "WaitingWindow/WaitingWindow.h"
#include "controls/FileListLayout.h"
#include "core/FileRules.h"
#include "core/LibraryScan.h"
#include "core/Log.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

namespace
{
std::string nativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

std::vector<std::string> nativePaths(const QList<AMediaFile>& list)
{
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(list.size()));
    for (const AMediaFile& f : list)
        paths.push_back(f.nativePath().toStdString());
    return paths;
}
} // namespace

bool AppDelegate::buildVideoLibrary(const QString& folder)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(folder));
    m_nShowTimeStamp = 0;
    hideTimeStamp();
    // The model belongs to this folder's camera: a card without DEVICE.XML
    // has none, rather than the model of the card browsed before it.
    m_strModelName = getModelName(folder);
    m_nCurFolderLevel = 0;
    pmStartWait();

    clearVideoLibrary();
    searchFolder(folder);
    startMonitorFolder(folder);
    pmWriteLogQ(QStringLiteral("AppDelegate::buildVideoLibrary - found video count = %1, bOK = %2")
                    .arg(mVideoLib.size())
                    .arg(1));
    Q_EMIT videoLibIsReady();
    checkLastVideoDate();
    rebuildPlaylist();

    pmEndWait();
    pmWriteLog("AppDelegate::buildVideoLibrary - End !");
    return true;
}

void AppDelegate::searchFolder(const QString& folder)
{
    ++m_nCurFolderLevel;
    LibraryScanner scanner;
    // The scan blocks the event loop; keep the busy window's spinner turning.
    scanner.onProgress = [] { pmWaitTick(); };
    const std::vector<ScannedRecording> found = scanner.scan(nativePath(folder));
    for (const ScannedRecording& r : found) {
        const QDateTime date = r.mtimeMsecs ? QDateTime::fromMSecsSinceEpoch(*r.mtimeMsecs) : QDateTime();
        insertMediaToVideoLib(AMediaFile::mediaFileWithNativePath(QByteArray::fromStdString(r.path), date),
                              static_cast<int>(mVideoLib.size()));
    }
    --m_nCurFolderLevel;
}

bool AppDelegate::addVideoFile(const QString& path)
{
    if (!LibraryScanner::admit(nativePath(path)))
        return false;
    const QFileInfo info(path);
    const QDateTime date = info.exists() ? info.lastModified() : QDateTime();
    insertMediaToVideoLib(AMediaFile::mediaFileWithURLDate(QUrl::fromLocalFile(path), date),
                          static_cast<int>(mVideoLib.size()));
    return true;
}

void AppDelegate::insertMediaToVideoLib(const AMediaFile& media, int insertIndex)
{
    const int index = qBound(0, insertIndex, static_cast<int>(mVideoLib.size()));
    mVideoLib.insert(index, media);
    m_mediaDays.reset();
}

void AppDelegate::clearVideoLibrary()
{
    mVideoLib.clear();
    m_mediaDays.reset();
}

QList<AMediaFile> AppDelegate::sortByFileDate() const
{
    const std::vector<std::size_t> order = pmSortByFileDate(nativePaths(mVideoLib));
    QList<AMediaFile> sorted;
    sorted.reserve(mVideoLib.size());
    for (std::size_t i : order)
        sorted.append(mVideoLib.at(static_cast<qsizetype>(i)));
    return sorted;
}

void AppDelegate::checkLastVideoDate()
{
    const QList<AMediaFile> sorted = sortByFileDate();
    const auto newest = pmNewestExistingRecording(nativePaths(sorted));
    if (!newest)
        return;
    const QDateTime date = placementDate(sorted.at(static_cast<qsizetype>(*newest)));
    if (!date.isValid())
        return; // no date to move the calendar to
    const QDate day = date.toLocalTime().date();
    Q_EMIT activateDayRequested(day.year(), day.month(), day.day());
}

bool AppDelegate::isMediaExistByDate(qint16 year, qint16 month, qint16 day) const
{
    if (year <= 0 || month <= 0 || day <= 0)
        return false;
    if (!m_mediaDays) {
        std::vector<std::optional<int64_t>> dates;
        dates.reserve(static_cast<std::size_t>(mVideoLib.size()));
        for (const AMediaFile& f : mVideoLib) {
            const QDateTime placed = placementDate(f);
            if (placed.isValid())
                dates.emplace_back(placed.toMSecsSinceEpoch());
            else
                dates.emplace_back(std::nullopt);
        }
        m_mediaDays.emplace(dates);
        ++m_nMediaDaysBuilds;
    }
    return m_mediaDays->contains(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                 static_cast<uint16_t>(day));
}

QDateTime AppDelegate::placementDate(const AMediaFile& media) const
{
    if (!m_bPlaceByNameTime)
        return media.fileDate();
    const std::optional<int64_t> named = pmNameTimeMsecs(media.nativePath().toStdString());
    return named ? QDateTime::fromMSecsSinceEpoch(*named) : media.fileDate();
}

FileListRow AppDelegate::fileListRow(const AMediaFile& media) const
{
    FileListRow row = makeFileListRow(media.path(), placementDate(media));
    // The type test must see the name as the file system spells it: a name
    // that is not UTF-8 does not survive the trip through QString.
    row.nativePath = media.nativePath();
    return row;
}

void AppDelegate::setPlaceByNameTime(bool on)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::setPlaceByNameTime - %1").arg(on ? 1 : 0));
    pmSetIntSetting(SettingsKey::placeByNameTime(), on ? 1 : 0);
    if (m_bPlaceByNameTime == on)
        return;
    m_bPlaceByNameTime = on;
    m_mediaDays.reset();
    Q_EMIT videoLibIsReady(); // the calendar marks its days again
    checkLastVideoDate();
    rebuildPlaylist();
}

bool AppDelegate::isAllMediaExist() const
{
    if (mPlaylist.isEmpty())
        return false;
    for (const AMediaFile& f : mPlaylist) {
        if (!pmIsFileExist(f.nativePath().toStdString()))
            return false;
    }
    return true;
}

QString AppDelegate::getFilePathInPlaylist(int index) const
{
    if (index < 0 || index >= mPlaylist.size())
        return QString();
    return mPlaylist.at(index).path();
}

QString AppDelegate::getModelName(const QString& folder) const
{
    const std::string name = pmGetModelName(nativePath(folder));
    if (name.empty())
        return QString();
    return QString::fromStdString(name);
}

void AppDelegate::onButtonBrowse()
{
    pmWriteLog("AppDelegate - onButtonBrowse()");
    pmChooseFolder(m_window, QString(), pmGetCurrentFolder(), [this](const QString& chosen) {
        if (chosen.isEmpty())
            return; // cancelled: library, playlist and setting stay as they are
        mCurFolder = chosen;
        buildVideoLibrary(chosen);
        pmSetCurrentFolder(chosen);
    });
}
