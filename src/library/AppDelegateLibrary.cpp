// The controller's library: scanning a folder into AMediaFile entries, the
// queries the calendar, playlist and folder monitor ask of it, and the Browse
// button. The walk, the admission probes and the name order are the core
// scanner's (core/LibraryScan.h); this side runs the walk on a worker thread
// and adds the busy window, the log lines and the Qt entry objects. Paths cross the boundary as native bytes
// (QFile::encodeName/decodeName) so names that are not UTF-8 survive.
#include "app/AppDelegate.h"

#include "WaitingWindow/WaitingWindow.h"
#include "app/MainWindow.h"
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/FileListLayout.h"
#include "core/FileRules.h"
#include "core/LibraryScan.h"
#include "core/Log.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <memory>

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

// The scan's own state: written by the worker thread only, read by the main
// thread only after the worker has finished (QThread::finished is queued to
// the main thread, and the thread's end orders the memory).
struct AppDelegate::LibraryScanJob {
    std::string folder;                  // native path, a copy the worker owns
    std::vector<ScannedRecording> found; // the worker's result
};

namespace
{
// While a scan runs the busy window stands for a modal state: the main window
// takes no clicks, keys, wheel turns or drops, so nothing can open another
// folder, play a recording or change the filter against a library that is
// about to be replaced. The main loop keeps running (players, timers, the
// spinner); only the user's input to the main window is held back.
class ScanInputFilter : public QObject
{
public:
    ScanInputFilter(QWidget* window, QObject* parent) : QObject(parent), m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            break;
        default:
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget && m_window && widget->window() == m_window;
    }

private:
    QPointer<QWidget> m_window;
};
} // namespace

bool AppDelegate::buildVideoLibrary(const QString& folder)
{
    if (m_libraryScan) {
        // One scan at a time. The folder asked for last is built as soon as
        // the running scan has finished (a folder chosen while a scan runs,
        // or the monitor's folder coming back).
        m_pendingLibraryFolder = folder;
        pmWriteLogQ(
            QStringLiteral("AppDelegate::buildVideoLibrary - a scan is running, %1 follows it").arg(folder));
        return true;
    }
    pmWriteLogQ(QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(folder));
    m_nShowTimeStamp = 0;
    hideTimeStamp();
    // The model belongs to this folder's camera: a card without DEVICE.XML
    // has none, rather than the model of the card browsed before it.
    m_strModelName = getModelName(folder);
    m_nCurFolderLevel = 0;
    pmStartWait();

    // The walk and the header probes run on a worker while the main loop
    // keeps running. The worker touches nothing but its job; the library,
    // the playlist and every panel stay the main thread's, and the library
    // keeps its old entries (which the playlist shows) until the scan is done.
    ++m_nCurFolderLevel;
    auto job = std::make_shared<LibraryScanJob>();
    job->folder = nativePath(folder);
    m_libraryScan = QThread::create([job] {
        LibraryScanner scanner;
        job->found = scanner.scan(job->folder);
    });
    m_libraryScan->setObjectName(QStringLiteral("LibraryScan"));
    connect(m_libraryScan, &QThread::finished, this,
            [this, folder, job] { finishVideoLibrary(folder, *job); });
    if (m_window && !m_scanInputFilter) {
        m_scanInputFilter = new ScanInputFilter(m_window, this);
        qApp->installEventFilter(m_scanInputFilter);
    }
    m_libraryScan->start();
    return true;
}

void AppDelegate::finishVideoLibrary(const QString& folder, const LibraryScanJob& job)
{
    if (m_libraryScan) {
        m_libraryScan->wait(); // finished: returns at once
        delete m_libraryScan;
        m_libraryScan = nullptr;
    }
    clearVideoLibrary();
    takeScannedRecordings(job.found);
    --m_nCurFolderLevel;

    startMonitorFolder(folder);
    pmWriteLogQ(QStringLiteral("AppDelegate::buildVideoLibrary - found video count = %1, bOK = %2")
                    .arg(mVideoLib.size())
                    .arg(1));
    Q_EMIT videoLibIsReady();
    checkLastVideoDate();
    rebuildPlaylist();

    if (m_scanInputFilter) {
        qApp->removeEventFilter(m_scanInputFilter);
        delete m_scanInputFilter;
        m_scanInputFilter = nullptr;
    }
    pmEndWait();
    pmWriteLog("AppDelegate::buildVideoLibrary - End !");
    Q_EMIT videoLibraryBuilt();

    if (!m_pendingLibraryFolder.isNull()) {
        const QString next = m_pendingLibraryFolder;
        m_pendingLibraryFolder = QString();
        buildVideoLibrary(next);
    }
}

bool AppDelegate::isBuildingLibrary() const
{
    return m_libraryScan != nullptr || !m_pendingLibraryFolder.isNull();
}

void AppDelegate::waitForLibraryScanToEnd()
{
    // Tear-down only. The worker writes to nothing but its shared job, but
    // its thread object must not be destroyed while it runs, and the scan
    // cannot be interrupted; its result is dropped.
    if (!m_libraryScan)
        return;
    m_libraryScan->wait();
    delete m_libraryScan;
    m_libraryScan = nullptr;
    m_pendingLibraryFolder = QString();
    if (m_scanInputFilter) {
        qApp->removeEventFilter(m_scanInputFilter);
        delete m_scanInputFilter;
        m_scanInputFilter = nullptr;
    }
}

void AppDelegate::takeScannedRecordings(const std::vector<ScannedRecording>& found)
{
    for (const ScannedRecording& r : found) {
        const QDateTime date = r.mtimeMsecs ? QDateTime::fromMSecsSinceEpoch(*r.mtimeMsecs) : QDateTime();
        insertMediaToVideoLib(AMediaFile::mediaFileWithNativePath(QByteArray::fromStdString(r.path), date),
                              static_cast<int>(mVideoLib.size()));
    }
}

void AppDelegate::searchFolder(const QString& folder)
{
    // The scan in the calling thread (the library build runs it on a worker).
    ++m_nCurFolderLevel;
    LibraryScanner scanner;
    takeScannedRecordings(scanner.scan(nativePath(folder)));
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
    if (m_libraryScan)
        return; // no second folder chooser while a scan runs
    pmChooseFolder(m_window, QString(), pmGetCurrentFolder(), [this](const QString& chosen) {
        if (chosen.isEmpty())
            return; // cancelled: library, playlist and setting stay as they are
        mCurFolder = chosen;
        buildVideoLibrary(chosen);
        pmSetCurrentFolder(chosen);
    });
}
