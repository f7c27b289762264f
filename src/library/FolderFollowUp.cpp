// The log lines keep the controller's names: logs of earlier versions and the
// tools that read them know the lines by these prefixes.
#include "library/FolderFollowUp.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/Services.h"
#include "core/FileRules.h"
#include "core/Log.h"
#include "library/LibraryModel.h"

#include <QSet>

FolderFollowUp::FolderFollowUp(LibraryModel* library) : QObject(library), m_library(library) {}

void FolderFollowUp::check()
{
    if (m_bChecking)
        pmWriteLog("AppDelegate::OnMonitorFolder() - Rentry, it is checking...");
    m_bChecking = true;
    pmWriteLog("AppDelegate::OnMonitorFolder() - start");
    if (!m_library->playlist().isEmpty() && !m_library->isAllMediaExist()) {
        pmWriteLog("AppDelegate::OnMonitorFolder() - Ready to VideoLibIsReady()");
        Q_EMIT vanished();
        // The calendar marks its days from the library: without the vanished
        // recordings it no longer marks days that have nothing to play.
        pruneVanished();
        Q_EMIT libraryChanged();
        pmWriteLog("AppDelegate::OnMonitorFolder() - Ready to CheckLastVideoDate");
        m_library->checkLastVideoDate();
        pmWriteLog("AppDelegate::OnMonitorFolder() - Ready to RebuildPlayList");
        // Inside a library build the busy window is already up and stays up.
        const bool ownWait = !pmIsWaiting();
        if (ownWait)
            pmStartWait();
        m_library->rebuildPlaylist();
        if (ownWait)
            pmEndWait();
    }
    m_bChecking = false;
    pmWriteLog("AppDelegate::OnMonitorFolder() - end");
}

bool FolderFollowUp::pruneVanished()
{
    QList<AMediaFile> kept;
    const QList<AMediaFile>& library = m_library->videoLib();
    kept.reserve(library.size());
    for (const AMediaFile& f : library)
        if (pmIsFileExist(f.nativePath().toStdString()))
            kept.append(f);
    const qsizetype gone = library.size() - kept.size();
    if (gone == 0)
        return false;
    m_library->setVideoLib(kept);
    pmWriteLogQ(QStringLiteral("AppDelegate::OnMonitorFolder() - %1 recordings are gone, library count = %2")
                    .arg(gone)
                    .arg(m_library->videoLib().size()));
    return true;
}

void FolderFollowUp::sync(bool mayHaveGone, const QList<AMediaFile>& arrived)
{
    bool changed = false;
    if (mayHaveGone) {
        changed = pruneVanished();
        // Events may have been lost on the way: a listed recording that went
        // meanwhile still gets the check.
        if (!m_library->playlist().isEmpty() && !m_library->isAllMediaExist())
            check();
    }

    QSet<QByteArray> known;
    for (const AMediaFile& f : m_library->videoLib())
        known.insert(f.nativePath());
    qsizetype added = 0;
    for (const AMediaFile& f : arrived) {
        if (known.contains(f.nativePath()))
            continue;
        known.insert(f.nativePath());
        m_library->insertMediaToVideoLib(f, static_cast<int>(m_library->videoLib().size()));
        ++added;
        pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - new video - %1").arg(f.path()));
    }
    if (added > 0) {
        pmWriteLogQ(QStringLiteral("AppDelegate::pathWatcher() - %1 new videos, library count = %2")
                        .arg(added)
                        .arg(m_library->videoLib().size()));
        changed = true;
    }
    if (changed)
        Q_EMIT libraryChanged(); // the calendar marks its days again
    if (added > 0)
        m_library->refreshPlaylistKeepingCurrent();
}
