// Hooks of the controller whose subsystems are not built yet. Each keeps the
// start-up, scan and shutdown sequences whole in the meantime; when a
// subsystem lands, its definitions move to that subsystem's own file and
// leave this one.
#include "app/AppDelegate.h"

#include "core/Log.h"

// Playlist (filtering by day and type comes with the playlist filter): for
// now the playlist is the whole library in playlist order.
void AppDelegate::rebuildPlaylist()
{
    mPlaylist = sortByFileDate();
}

// Playback: no surfaces exist yet, so making an entry current only records it.
void AppDelegate::setCurPlaylistIndex(int index, bool)
{
    m_nCurPlayIndex = index;
    if (index < 0) {
        m_nShowTimeStamp = 0;
        mSelectedMovieCurrentTime = 0.0;
        mSelectedMovieDuration = 0.0;
    }
}

bool AppDelegate::pausePlayback()
{
    return false;
}

// Folder monitor.
void AppDelegate::startMonitorFolder(const QString&) {}
void AppDelegate::stopMonitorFolder() {}

// Main window layout.
void AppDelegate::relayout(double, double) {}

// Time-stamp overlay.
void AppDelegate::hideTimeStamp() {}
void AppDelegate::setTimeStampText(const QString&) {}

// Panels: skin images and texts.
void AppDelegate::reloadSkinImages() {}
void AppDelegate::reloadLanguageTexts() {}

// Notification handlers of the playback, playlist and map subsystems.
void AppDelegate::onPlayBarButtonClicked(const Notification&)
{
    pmWriteLog("AppDelegate::onPlayBarButtonClicked");
}
void AppDelegate::onSliderChanged(const Notification&)
{
    pmWriteLog("AppDelegate::onSliderChanged");
}
void AppDelegate::onDblClickFile(const Notification&)
{
    pmWriteLog("AppDelegate::onDblClickFile");
}
void AppDelegate::onCheckBoxNotification(const Notification&)
{
    pmWriteLog("AppDelegate::onCheckBoxNotification");
}
void AppDelegate::onMapViewReady(const Notification&)
{
    pmWriteLog("AppDelegate::onMapViewReady");
}
void AppDelegate::onCalendarSelChanged(const Notification&)
{
    pmWriteLog("AppDelegate::onCalendarSelChanged");
}
void AppDelegate::onVideoEnd(const Notification&)
{
    pmWriteLog("AppDelegate::onVideoEnd");
}
void AppDelegate::onVideoFileRemoved(const Notification&)
{
    pmWriteLog("AppDelegate::onVideoFileRemoved");
}
void AppDelegate::movieLoadStateChanged(const Notification&)
{
    pmWriteLog("AppDelegate::movieLoadStateChanged");
}
