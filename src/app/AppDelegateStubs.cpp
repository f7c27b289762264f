// Hooks of the folder monitor, which is not built yet. They keep the start-up,
// scan and shutdown sequences whole in the meantime; when the monitor lands,
// its definitions move to its own file and this one goes.
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
