// The log lines keep the controller's names: logs of earlier versions and the
// tools that read them know the lines by these prefixes.
#include "library/LibraryBuilder.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/WorkerJob.h"
#include "core/LibraryScan.h"
#include "core/Log.h"
#include "library/ScanInputFilter.h"

#include <QFile>
#include <QWidget>

namespace
{
QList<AMediaFile> entriesOf(const std::vector<ScannedRecording>& found)
{
    QList<AMediaFile> entries;
    entries.reserve(static_cast<qsizetype>(found.size()));
    for (const ScannedRecording& r : found) {
        const QDateTime date = r.mtimeMsecs ? QDateTime::fromMSecsSinceEpoch(*r.mtimeMsecs) : QDateTime();
        entries.append(AMediaFile::mediaFileWithNativePath(QByteArray::fromStdString(r.path), date));
    }
    return entries;
}
} // namespace

LibraryBuilder::LibraryBuilder(QObject* parent) : QObject(parent) {}

LibraryBuilder::~LibraryBuilder()
{
    waitForScanToEnd();
}

void LibraryBuilder::setInputWindow(QWidget* window)
{
    m_inputWindow = window;
}

void LibraryBuilder::build(const QString& folder)
{
    if (m_job) {
        // One walk at a time. The folder asked for last is built as soon as
        // the running walk has finished (a folder chosen while a scan runs,
        // or the monitor's folder coming back).
        m_pendingFolder = folder;
        pmWriteLogQ(
            QStringLiteral("AppDelegate::buildVideoLibrary - a scan is running, %1 follows it").arg(folder));
        return;
    }
    pmWriteLogQ(QStringLiteral("AppDelegate::buildVideoLibrary - Start! - %1").arg(folder));
    Q_EMIT started(folder);
    pmStartWait();

    // The walk and the header probes run on a worker while the main loop
    // keeps running; the library keeps its old entries (which the playlist
    // shows) until the walk is done.
    auto* job = new WorkerJob<std::vector<ScannedRecording>>(this, {});
    m_job = job;
    if (m_inputWindow && !m_inputFilter)
        m_inputFilter = new ScanInputFilter(m_inputWindow, this);
    job->start(
        [native = QFile::encodeName(folder).toStdString()] {
            LibraryScanner scanner;
            return scanner.scan(native);
        },
        [this, folder, job](const std::vector<ScannedRecording>& found) {
            if (m_job != job)
                return;
            m_job = nullptr;
            job->deleteLater();
            Q_EMIT walked(folder, entriesOf(found));
            removeInputFilter();
            pmEndWait();
            pmWriteLog("AppDelegate::buildVideoLibrary - End !");
            Q_EMIT ended();
            if (!m_pendingFolder.isNull())
                build(std::exchange(m_pendingFolder, QString()));
        });
}

void LibraryBuilder::waitForScanToEnd()
{
    // The walk cannot be interrupted: the job's end waits for its thread, and
    // its result is dropped.
    if (!m_job)
        return;
    delete std::exchange(m_job, nullptr);
    m_pendingFolder = QString();
    removeInputFilter();
}

void LibraryBuilder::removeInputFilter()
{
    delete std::exchange(m_inputFilter, nullptr);
}

void LibraryBuilder::browse()
{
    pmWriteLog("AppDelegate - onButtonBrowse()");
    if (m_job)
        return; // no second folder chooser while a scan runs
    pmChooseFolder(m_inputWindow, QString(), pmGetCurrentFolder(), [this](const QString& chosen) {
        if (chosen.isEmpty())
            return; // cancelled: library, playlist and setting stay as they are
        pmSetCurrentFolder(chosen);
        if (m_opener)
            m_opener(chosen);
        else
            Q_EMIT folderChosen(chosen);
    });
}

QList<AMediaFile> LibraryBuilder::walk(const QString& folder)
{
    LibraryScanner scanner;
    return entriesOf(scanner.scan(QFile::encodeName(folder).toStdString()));
}
