// Hooks of the controller whose subsystems are not built yet. Each keeps the
// start-up, scan and shutdown sequences whole in the meantime; when a
// subsystem lands, its definitions move to that subsystem's own file and
// leave this one.
#include "app/AppDelegate.h"

#include "core/Log.h"

// Folder monitor.
void AppDelegate::startMonitorFolder(const QString&) {}
void AppDelegate::stopMonitorFolder() {}

// Until the folder monitor lands: the part of its check that playback relies
// on, a rebuild when a listed recording's file has gone.
void AppDelegate::onMonitorFolder()
{
    pmWriteLog("AppDelegate::OnMonitorFolder() - start");
    if (!mPlaylist.isEmpty() && !isAllMediaExist()) {
        pausePlayback();
        rebuildPlaylist();
    }
}

// Notification handlers of the map subsystem.
