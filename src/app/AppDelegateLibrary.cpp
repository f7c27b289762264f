// The controller's side of the library: LibraryModel wired to the panels and
// to playback, and the panel events that change the playlist or play from it.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "controls/FileListLayout.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "core/Log.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/MapView.h"

#include <QTimer>

void AppDelegate::wireLibrary()
{
    // library -> the controller's signals (the calendar listens), playback
    LibraryModel* lib = m_library;
    connect(lib, &LibraryModel::videoLibIsReady, this, &AppDelegate::videoLibIsReady);
    connect(lib, &LibraryModel::activateDayRequested, this, &AppDelegate::activateDayRequested);
    connect(lib, &LibraryModel::libraryBuilt, this, &AppDelegate::videoLibraryBuilt);
    connect(lib, &LibraryModel::buildStarted, this, [this] {
        m_playback->overlay().setMode(0);
        hideTimeStamp();
    });
    connect(lib, &LibraryModel::recordingsVanished, this, [this] { pausePlayback(); });
    lib->setPlayRowsSource([this] { return LibraryModel::PlayRows(getCurPlayIndex(), getCurPlayIndex2()); });

    // A rebuild deselects what played and returns every view that described
    // it to its idle state.
    connect(lib, &LibraryModel::playlistClearing, this, [this] {
        m_playback->overlay().setMode(0);
        hideTimeStamp();
        setCurPlaylistIndex(-1, false);
        if (isDualCameraMode())
            setCurPlaylistIndex2(-1, false);
    });
    connect(lib, &LibraryModel::playlistRebuilt, this, [this] {
        checkDualCameraFolder();
        m_playback->clearTrack();
        enableMediaButton(!mPlaylist.isEmpty());
        if (playBar() && playBar()->poTimeSlider())
            playBar()->poTimeSlider()->setEnabled(false);
        checkDpadButtons();
    });

    // Recordings that arrived: what plays keeps playing at its new row.
    connect(lib, &LibraryModel::playRowsMoved, this,
            [this](int front, int rear) { m_playback->setPlayRows(front, rear); });
    connect(lib, &LibraryModel::playlistChanged, this, [this](bool wasEmpty) {
        if (getCurPlayIndex() < 0)
            checkDualCameraFolder(); // nothing plays: the second window may come or go
        if (wasEmpty)
            enableMediaButton(!mPlaylist.isEmpty());
    });
}

void AppDelegate::showCalendar(bool show)
{
    relayoutCalendarMode(show);
    m_library->setAllFiles(!show);
}

bool AppDelegate::checkDualCameraFolder()
{
    const bool found = m_library->hasCameraPair();
    enable2VideoWindow(found);
    return found;
}

void AppDelegate::onCheckBoxNotification(const Notification&)
{
    rebuildPlaylist();
}

void AppDelegate::onCalendarSelChanged(const Notification&)
{
    rebuildPlaylist();
}

void AppDelegate::dblClickFile(int index)
{
    if (isDualCameraMode())
        dualSelectFile(index, true);
    else
        setCurPlaylistIndex(index, true);
    if (fileList())
        fileList()->showPlayMark(index);
    if (getState() == VideoPlayerView::StatePlaying && playBar() && playBar()->poPlayBtn())
        playBar()->poPlayBtn()->setButtonIndex(1);
}

// The check runs once the command that found the file missing has finished:
// a rebuild in the middle of opening a pair would leave that command working
// on a playlist that changed under it.
void AppDelegate::onVideoFileRemoved()
{
    pmWriteLog("AppDelegate::onVideoFileRemoved");
    QTimer::singleShot(0, this, [this] { onMonitorFolder(); });
}
