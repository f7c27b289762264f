// The controller's side of tracks attached from other devices and of the
// camera's clock: what the attachments need from the library and from
// playback, the info bar's tooltip, and the card's clock correction.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "core/CameraClock.h"
#include "library/LibraryModel.h"
#include "playback/PlaybackSession.h"
#include "views/MapView.h"

void AppDelegate::wireTrackAttachments()
{
    TrackAttachController::Hooks hooks;
    hooks.window = [this]() -> QWidget* { return window(); };
    hooks.recording = [this] { return currentNativePath(1).toStdString(); };
    hooks.recordingSeconds = [this] { return m_playback->transport().duration(); };
    hooks.tripOf = [this](const std::string& recording) {
        std::vector<std::string> paths;
        for (int row = 0; row < mPlaylist.size(); ++row) {
            if (mPlaylist.at(row).nativePath().toStdString() != recording)
                continue;
            for (int member : m_library->tripMembers(row))
                if (member >= 0 && member < mPlaylist.size())
                    paths.push_back(mPlaylist.at(member).nativePath().toStdString());
            break;
        }
        return paths;
    };
    m_attach->setHooks(std::move(hooks));
    // attachments -> playback: the track of the recording shown is read again
    connect(m_attach, &TrackAttachController::trackChanged, m_playback, &PlaybackSession::reloadTrack);
    // playback -> the map's info bar: the camera clock against the track's GPS time
    connect(m_playback, &PlaybackSession::trackLoaded, this, &AppDelegate::showCameraClock);
}

void AppDelegate::showCameraClock()
{
    MapView* map = mapView();
    if (!map)
        return;
    QString tip;
    int64_t cameraStart = 0;
    CameraClock clock;
    if (pmNameWallClockMs(currentNativePath(1).toStdString(), cameraStart) &&
        pmCameraClock(gpsList(), cameraStart, clock))
        tip = QString::fromStdString(pmCameraClockText(clock));
    map->setInfoBarToolTip(tip);
}

void AppDelegate::wireCameraClock()
{
    m_clockCorrection = new CameraClockCorrection(this);
    // library -> the correction: a card is measured once it is read
    connect(m_library, &LibraryModel::buildStarted, this, [this] {
        m_clockCorrection->cardClosed();
        m_playback->overlay().setClockCorrection(std::nullopt);
    });
    connect(m_library, &LibraryModel::libraryBuilt, this, [this] {
        std::vector<std::string> recordings;
        for (const AMediaFile& f : m_library->sortByFileDate())
            recordings.push_back(f.nativePath().toStdString());
        m_clockCorrection->measure(m_library->monitoredFolder(), m_library->modelName(), recordings);
    });
    // the correction -> the library (days, list times) and the stamp over the picture
    connect(m_clockCorrection, &CameraClockCorrection::correctionChanged, this,
            [this](std::optional<int64_t> differenceMs, bool afterBuild) {
                m_library->setClockCorrection(differenceMs, afterBuild);
                m_playback->overlay().setClockCorrection(differenceMs);
            });
}
