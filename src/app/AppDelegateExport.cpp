// The controller's side of backup, track export, upload, capture and
// printing: it creates the four feature objects, hands them what they need
// from the library and from playback, and keeps the commands' names as
// forwards.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "core/KmlSave.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/VideoPlayerView.h"

#include <QFile>

void AppDelegate::wireExportFeatures()
{
    auto window = [this]() -> QWidget* { return this->window(); };
    auto playlistNow = [this] { return playlist(); };
    auto pause = [this] { pausePlayback(); };

    m_backup = new BackupController(this);
    m_upload = new UploadController(this);
    m_capture = new CaptureService(this);
    m_backup->setHooks(
        {window, playlistNow, [this] { return currentFolder(); }, pause,
         [this] { return m_upload->isBusy(); }, [this] { return getCurPlayIndex(); },
         [this]() -> const GpsList* {
             return playState() == VideoPlayerView::StateNoPlayer ? nullptr : &gpsList();
         },
         [this](const std::vector<std::string>& recordings) { return m_attach->finderFor(recordings); }});
    m_upload->setHooks(
        {window, playlistNow, pause, [this] { return m_backup->selectionDialog() != nullptr; }});
    m_capture->setHooks({
        window,
        [this] { return playState(); },
        [this] {
            pausePlayback();
            // The time stamp names the second on screen now that playback has stopped.
            drawTime();
        },
        [this] { onButtonPlay(); },
        [this] {
            return videoPlayView() && !isVideoLoading() &&
                   videoPlayView()->getPlayerStatus() == VideoPlayerView::StatusReadyToPlay;
        },
        [this] { return videoPlayView() ? videoPlayView()->getitemTime() : 0.0; },
        [this] { return has2Videos(); },
        [this](int camera) { return videoPlayView() ? currentNativePath(camera) : QByteArray(); },
        [this] { return timeStampMode() == 1; },
        [this] { return m_playback->overlay().textNow(); },
        [this](double position) { return m_playback->overlay().textAtFrame(position); },
        [this](double position) { return TimeStampOverlay::sampleOfFrame(m_playback->gpsList(), position); },
        [this] { return m_strModelName; },
        [this] { return getGSensorBitmap(); },
        [this] { return mapView(); },
        [this](int camera) {
            VideoPlayerView* surface = camera == 2 ? videoPlayView2() : videoPlayView();
            return surface ? surface->zoom() : PictureZoom();
        },
    });
    m_clip = new ClipController(this);
    m_clip->setHooks(
        {window, [this] { return currentFolder(); }, pause, [this] { return getCurPlayIndex(); },
         [this] { return videoPlayView() ? videoPlayView()->getitemTime() : 0.0; },
         [this](int row) {
             return row >= 0 && row < mPlaylist.size() ? mPlaylist.at(row).nativePath() : QByteArray();
         },
         [this](int row) { return m_library->tripMembers(row); },
         [this](int row) { return m_library->getAnotherCameraFile(row); },
         [this](const std::vector<std::string>& recordings) { return m_attach->finderFor(recordings); }});
    // export features -> the controller's own signals
    connect(m_backup, &BackupController::finished, this, &AppDelegate::backupFinished);
    connect(m_upload, &UploadController::selectionChosen, this,
            [this](const UploadSelection& selection) { Q_EMIT uploadVideosChosen(selection.rows); });
    connect(m_capture, &CaptureService::captureClosed, this, &AppDelegate::captureClosed);
    connect(m_capture, &CaptureService::printClosed, this, &AppDelegate::printClosed);
}

QByteArray AppDelegate::currentNativePath(int camera) const
{
    const int index = camera == 1 ? getCurPlayIndex() : getCurPlayIndex2();
    const QUrl asset = m_playback->currentAsset(camera);
    if (asset.isEmpty())
        return QByteArray();
    // The playlist keeps the name's own bytes, which a URL cannot carry for
    // every name; it still holds the entry unless the folder check rebuilt it.
    if (index >= 0 && index < mPlaylist.size() && mPlaylist.at(index).URL() == asset)
        return mPlaylist.at(index).nativePath();
    return QFile::encodeName(asset.toLocalFile());
}

// ---- what stays here: the G-sensor panel's picture

QImage AppDelegate::getGSensorBitmap() const
{
    return gsensorView() ? gsensorView()->getGensorBitmap() : QImage();
}

void AppDelegate::openBackupDlg(const QString& title, bool backupButton)
{
    if (backupButton)
        m_backup->openSelection(title);
    else
        m_upload->openSelection(title);
}
