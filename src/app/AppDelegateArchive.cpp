// The controller's side of fleet archives: the archive browser wired to the
// library (what to scan, when a scan is done), to playback (the recording of
// a pass and its second), to the vehicle chooser above the calendar and to
// the map's "Find passes near here...".
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "base/DialogSeam.h"
#include "base/Services.h"
#include "controls/CalendarView.h"
#include "controls/VehicleChooser.h"
#include "core/Log.h"
#include "playback/PlaybackSession.h"
#include "views/MapView.h"

#include <QDir>

void AppDelegate::wireArchive()
{
    ArchiveBrowser* archive = m_archive;
    archive->setWindowSource([this]() -> QWidget* { return window(); });

    // archive -> library: a card, or the chosen vehicle's folder
    connect(archive, &ArchiveBrowser::scanRequested, this, [this](const QString& folder) {
        m_library->setCurrentFolder(folder);
        buildVideoLibrary(folder);
    });
    connect(archive, &ArchiveBrowser::openFailed, this,
            [](const QString&, const QString& message) { pmMessageBox(message); });
    // library -> archive: Browse goes through the archive check; a scan is done
    m_library->setFolderOpener([archive](const QString& folder) { archive->openFolder(folder); });
    connect(m_library, &LibraryModel::libraryBuilt, archive,
            [this, archive] { archive->libraryBuilt(m_library->monitoredFolder()); });

    // archive -> playback: a pass's recording and second; playback -> archive: it is ready
    connect(archive, &ArchiveBrowser::recordingRequested, this, &AppDelegate::openArchivedRecording);
    connect(archive, &ArchiveBrowser::seekRequested, this, &AppDelegate::seekToSecond);
    connect(m_playback, &PlaybackSession::trackLoaded, archive, [this, archive] {
        // The track is also emptied while a recording opens; only a loaded recording is ready.
        if (!isVideoLoading())
            archive->recordingReady(getFilePathInPlaylist(getCurPlayIndex()));
    });
}

void AppDelegate::wireArchivePanels()
{
    ArchiveBrowser* archive = m_archive;
    VehicleChooser* chooser = vehicleChooser();
    MapView* map = mapView();

    // archive -> chooser, window, map
    connect(archive, &ArchiveBrowser::archiveOpened, this,
            [this, chooser, map](const QStringList& vehicles, const QString& shown) {
                chooser->setVehicles(vehicles, shown);
                m_windows->showVehicleChooser(true);
                map->setFindPassesOffered(true);
            });
    connect(archive, &ArchiveBrowser::archiveClosed, this, [this, map] {
        m_windows->showVehicleChooser(false);
        map->setFindPassesOffered(false);
    });
    connect(archive, &ArchiveBrowser::vehicleShown, chooser, &VehicleChooser::showVehicle);

    // chooser -> archive
    connect(chooser, &VehicleChooser::vehicleChosen, archive, &ArchiveBrowser::chooseVehicle);

    // map -> archive, once the menu has closed
    connect(map, &MapView::findPassesRequested, archive, &ArchiveBrowser::openPassFinder,
            Qt::QueuedConnection);
}

VehicleChooser* AppDelegate::vehicleChooser() const
{
    return m_windows->panels().vehicles.data();
}

void AppDelegate::openArchivedRecording(const QString& path)
{
    const QString wanted = QDir::cleanPath(path);
    const QList<AMediaFile>& library = videoLib();
    qsizetype at = -1;
    for (qsizetype i = 0; i < library.size() && at < 0; ++i)
        if (QDir::cleanPath(library.at(i).path()) == wanted)
            at = i;
    if (at < 0) {
        pmWriteLogQ(
            QStringLiteral("AppDelegate - openArchivedRecording() - not in the library - %1").arg(path));
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ARCHIVE_NOT_IN_LIBRARY")));
        return;
    }
    // The calendar moves to the recording's day, so the list shows it.
    if (!m_library->allFiles() && calendar()) {
        const QDate day = m_library->placementDate(library.at(at)).toLocalTime().date();
        if (day.isValid())
            calendar()->SetActivateDay(day.year(), day.month(), day.day());
    }
    rebuildPlaylist();
    int row = -1;
    for (int i = 0; i < mPlaylist.size() && row < 0; ++i)
        if (QDir::cleanPath(mPlaylist.at(i).path()) == wanted)
            row = i;
    if (row < 0) {
        // Its type is switched off in the file list.
        pmMessageBox(pmLoadString(QStringLiteral("IDS_ARCHIVE_NOT_IN_LIST")));
        return;
    }
    dblClickFile(row);
}
