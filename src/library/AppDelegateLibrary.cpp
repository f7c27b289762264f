// The controller's side of the library: LibraryModel wired to the panels and
// to playback, and the panel events that change the playlist or play from it.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "base/EventHold.h"
#include "controls/FileListLayout.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "core/Log.h"
#include "views/GSensorView.h"
#include "views/MapView.h"

#include <QTimer>

void AppDelegate::wireLibrary()
{
    LibraryModel* lib = m_library;
    connect(lib, &LibraryModel::videoLibIsReady, this, &AppDelegate::videoLibIsReady);
    connect(lib, &LibraryModel::activateDayRequested, this, &AppDelegate::activateDayRequested);
    connect(lib, &LibraryModel::libraryBuilt, this, &AppDelegate::videoLibraryBuilt);
    connect(lib, &LibraryModel::buildStarted, this, [this] {
        m_nShowTimeStamp = 0;
        hideTimeStamp();
    });
    connect(lib, &LibraryModel::recordingsVanished, this, [this] { pausePlayback(); });
    lib->setPlayRowsSource([this] { return LibraryModel::PlayRows(m_nCurPlayIndex, m_nCurPlayIndex2); });

    // A rebuild deselects what played and returns every view that described
    // it to its idle state.
    connect(lib, &LibraryModel::playlistClearing, this, [this] {
        m_nShowTimeStamp = 0;
        hideTimeStamp();
        setCurPlaylistIndex(-1, false);
        if (isDualCameraMode())
            setCurPlaylistIndex2(-1, false);
    });
    connect(lib, &LibraryModel::playlistRebuilt, this, [this] {
        checkDualCameraFolder();
        if (mMapView)
            mMapView->SetPosition(0, 0, 0, 65535.0f, -1.0f);
        m_poGpsList.ClearAllData();
        m_poGpsTempData.ResetData();
        resetCtrl();
        drawTime();
        m_nMotorType = 0;
        m_oSensorBitmap = QImage();
        if (mGSensorView)
            mGSensorView->setGensorGraphic(QImage(), 0, 0);
        enableMediaButton(!mPlaylist.isEmpty());
        if (mPlayBar && mPlayBar->poTimeSlider())
            mPlayBar->poTimeSlider()->setEnabled(false);
        checkDpadButtons();
    });

    // Recordings that arrived: what plays keeps playing at its new row.
    connect(lib, &LibraryModel::playRowsMoved, this, [this](int front, int rear) {
        m_nCurPlayIndex = front;
        m_nCurPlayIndex2 = rear;
    });
    connect(lib, &LibraryModel::playlistChanged, this, [this](bool wasEmpty) {
        if (m_nCurPlayIndex < 0)
            checkDualCameraFolder(); // nothing plays: the second window may come or go
        if (wasEmpty)
            enableMediaButton(!mPlaylist.isEmpty());
    });
}

FileListRow AppDelegate::fileListRow(const AMediaFile& media) const
{
    return m_library->fileListRow(media);
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

void AppDelegate::onDblClickFile(const Notification& n)
{
    bool ok = false;
    const int index = n.object.toInt(&ok);
    if (ok)
        dblClickFile(index);
}

void AppDelegate::dblClickFile(int index)
{
    if (isDualCameraMode())
        dualSelectFile(index, true);
    else
        setCurPlaylistIndex(index, true);
    if (mFileList)
        mFileList->showPlayMark(index);
    if (getState() == PlayStatePlaying && mPlayBar && mPlayBar->poPlayBtn())
        mPlayBar->poPlayBtn()->setButtonIndex(1);
}

// The check runs once the command that found the file missing has finished:
// a rebuild in the middle of opening a pair would leave that command working
// on a playlist that changed under it.
void AppDelegate::onVideoFileRemoved(const Notification&)
{
    pmWriteLog("AppDelegate::onVideoFileRemoved");
    QTimer::singleShot(0, this, [this] { pmRunUnlessHeld(this, [this] { onMonitorFolder(); }); });
}
