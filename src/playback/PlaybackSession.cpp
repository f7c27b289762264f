// The playback session (see PlaybackSession.h): the current rows, what opens
// next, two cameras, a trip's recordings played into each other, and the
// current track read once a recording is ready.
#include "playback/PlaybackSession.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/Services.h"
#include "core/Log.h"
#include "core/PlayOrder.h"

#include <utility>

PlaybackSession::PlaybackSession(QObject* parent) : QObject(parent)
{
    connect(&m_pair, &SurfacePair::ready, this, &PlaybackSession::onSurfaceReady);
    connect(&m_pair, &SurfacePair::frontEnded, this, &PlaybackSession::movieDidEnd);
    connect(&m_pair, &SurfacePair::loadFailed, this, &PlaybackSession::onSurfaceLoadFailed);
    connect(&m_pair, &SurfacePair::playbackFailed, this, &PlaybackSession::onSurfacePlaybackFailed);
    connect(&m_pair, &SurfacePair::recordingEntered, this, &PlaybackSession::onRecordingEntered);
    m_view360.follow(&m_pair);
    m_route.follow(
        [this] {
            return TripRoute::Playing{currentTrip(), m_nCurPlayIndex, m_sources.list()};
        },
        [this](const std::vector<std::string>& recordings) {
            return m_sources.attachedTracks ? m_sources.attachedTracks(recordings) : TrackAttachmentFinder();
        });
    m_overlay.follow(&m_pair, &m_track, [this] {
        return TimeStampOverlay::frameTime(m_pair.front(), m_transport.currentTime());
    });
    // The stamp over the picture follows the time shown.
    connect(&m_transport, &Transport::timeChanged, this, [this] {
        if (m_overlay.isShown())
            m_overlay.showNow();
    });
}

PlaybackSession::~PlaybackSession() = default;

// ---------------------------------------------------------------- wiring

void PlaybackSession::setSources(Sources sources)
{
    m_sources = std::move(sources);
    m_track.setAttachedReader(m_sources.attachedTrack);
    m_track.setGraphColours(m_sources.graphColours);
}

void PlaybackSession::resetState(int volume)
{
    m_nCurPlayIndex = -1;
    m_transport.reset(volume);
    m_track.resetMark();
    m_pair.resetPictures();
    m_overlay.setMode(TimeStampOverlay::Off);
    m_overlay.setStart(_SYSTEMTIME{});
    m_view360.reset();
}

// A recording that cannot be played ends its opening here: nothing will report
// it ready, so the controller must not keep waiting for that. The surface
// itself shows the reason over its black area.
void PlaybackSession::onSurfaceLoadFailed(int camera, const QString& reason)
{
    if (camera == 1) {
        pmWriteLogQ(QStringLiteral("AppDelegate - open video failed : %1 - %2")
                        .arg(reason, m_pair.asset(1).toString()));
        m_transport.openFailed();
        if (pmIsWaiting())
            pmEndWait();
    } else {
        pmWriteLogQ(QStringLiteral("AppDelegate - open video 2 failed : %1 - %2")
                        .arg(reason, m_pair.asset(2).toString()));
    }
}

// A recording that stopped with an error while playing: when its file has
// gone, the folder check rebuilds the playlist; otherwise playback moves on as
// at the recording's end, instead of staying "playing" on a frozen clock.
void PlaybackSession::onSurfacePlaybackFailed(int camera, const QString& reason)
{
    pmWriteLogQ(QStringLiteral("AppDelegate - video failed while playing : %1 - %2")
                    .arg(reason, m_pair.asset(camera).toString()));
    const VideoPlayerView* surface = m_pair.surface(camera);
    const int failed = m_nCurPlayIndex;
    Q_EMIT folderCheckRequested();
    if (camera != 1 || m_nCurPlayIndex != failed || m_pair.front() != surface)
        return; // the playlist was rebuilt, or only the rear stopped
    movieDidEnd();
}

// ---------------------------------------------------------------- making an entry current

void PlaybackSession::setCurPlaylistIndex(int index, bool)
{
    const QList<AMediaFile> list = m_sources.list();
    const int count = static_cast<int>(list.size());
    m_transport.setCurrentTime(0);
    if (index < 0) {
        m_overlay.setMode(TimeStampOverlay::Off);
        m_transport.setDuration(0);
    }
    // A released surface never reports ready; waiting for it would keep
    // speed changes from applying to the next recording.
    if (m_pair.front())
        m_transport.setLoading(false);
    m_pair.release(1);

    pmWriteLogQ(QStringLiteral("setCurPlaylistIndex() - index = %1").arg(index));
    m_nCurPlayIndex = index;
    m_bPreviewing = false;

    if (index >= 0 && index < count && !list.at(index).URL().isEmpty()) {
        const AMediaFile& entry = list.at(index);
        const std::string native = entry.nativePath().toStdString();
        if (!pmIsFileExist(native)) {
            Q_EMIT recordingMissing();
            return;
        }
        m_overlay.recordingOpened(1, native);
        pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video : %1").arg(entry.path()));
        m_transport.setLoading(true);

        VideoPlayerView* view = m_pair.make(1, entry.URL());
        m_transport.prepareSurface(view, true, m_bOpenPaused);
        m_view360.recordingOpened(view, native, true);
        m_view360.updateNow();
        // The slider's range and the track's padding wait for the
        // recording's length, a trip's timeline for every member's.
        m_transport.setDuration(0);
        m_pair.openFront(m_sources.chainFrom(index, list, m_bGaplessTrips), list,
                         [this](double length) { m_transport.setDuration(length); });
    }
    if (!m_pair.isFrontProbing())
        m_pair.openWaitingRear();

    m_transport.setTicking(!m_pair.asset(1).isEmpty());
    m_transport.setVolume(m_transport.volume());
    m_transport.checkMute();
    m_view360.updateNow(); // the pad and the head tracker follow the new surface, or its absence
    pmWriteLog("Set movie to movie view !");
    pmWriteLog("setCurPlaylistIndex() - end !");
    pmWriteLogQ(QStringLiteral("AppDelegate - setCurPlaylistIndex -  timestamp = %1").arg(m_overlay.mode()));
}

void PlaybackSession::onSurfaceReady(int camera)
{
    if (camera == 1) {
        handleLoadStateChanged();
    } else {
        // The rear's stamp, and its time brought onto the front's now rather
        // than a tick later (it started later than the front).
        m_overlay.placeNow();
        m_overlay.checkNow();
        m_transport.syncSecondCamera();
    }
    if (VideoPlayerView* view = m_pair.surface(camera))
        view->relayout(view->rect());
}

void PlaybackSession::handleLoadStateChanged()
{
    if (m_pair.asset(1).isEmpty())
        return;
    if (!m_transport.isVideoLoading()) {
        pmWriteLog("AppDelegate::handleLoadStateChanged - twice open video OK, then pass it.");
        return;
    }
    m_transport.setLoading(false);
    pmWriteLog("AppDelegate::handleLoadStateChanged - open video OK!");
    // The container may state no duration that the probe could read; the player knows it now.
    if (m_transport.duration() <= 0 && m_pair.front())
        m_transport.setDuration(m_pair.front()->getDuration());
    onOpenGPSFile();
    m_overlay.placeNow();
    m_overlay.checkNow();
    m_view360.updateNow();
    m_transport.enableSpeed(true);
    if (m_bPreviewing)
        showPreview();
    else
        onButtonPlay();
    if (pmIsWaiting())
        pmEndWait();
}

// ---------------------------------------------------------------- commands

void PlaybackSession::onPlay()
{
    if (!m_transport.isPlaying())
        m_bPreviewing = false; // Play before a preview was ready: it plays
    m_transport.onPlay();
}

void PlaybackSession::onButtonPlay()
{
    pmWriteLog("AppDelegate - onButtonPlay()");
    const int rows = static_cast<int>(m_sources.list().size());
    if (state() == VideoPlayerView::StateNoPlayer && rows > 0) {
        const int selection = m_sources.selected();
        if (selection >= 0 && selection < rows) {
            Q_EMIT openRowRequested(selection);
            return;
        }
    }
    m_transport.checkPlayButtonState(false);
    onPlay();
}

void PlaybackSession::onButtonNext(int wrap)
{
    const int target =
        pmNextPlayRow(static_cast<int>(m_sources.list().size()), m_nCurPlayIndex, m_sources.selected());
    if (target >= 0)
        stepTo(target, true, wrap != 0);
}

void PlaybackSession::onButtonPrev()
{
    const int target =
        pmPrevPlayRow(static_cast<int>(m_sources.list().size()), m_nCurPlayIndex, m_sources.selected());
    if (target >= 0)
        stepTo(target, false, true);
}

// With two cameras the pair after or before the current one opens instead.
void PlaybackSession::stepTo(int target, bool forward, bool wrap)
{
    m_transport.resetControls();
    if (forward)
        m_transport.setCurrentTime(0);
    if (isDualCameraMode())
        dualNextFile(forward, wrap);
    else
        setCurPlaylistIndex(target, true);
    onUpdateTitle(0);
}

void PlaybackSession::movieDidEnd()
{
    pmWriteLog("AppDelegate::movieDidEnd");
    const int count = static_cast<int>(m_sources.list().size());
    if (pmIsLastPlayRow(count, m_nCurPlayIndex, isDualCameraMode() && m_pair.rear())) {
        m_transport.stopOnLastFrames();
        return;
    }
    if (m_nCurPlayIndex + 1 < count)
        onButtonNext(0);
    else
        m_transport.onStop();
}

// A single click in the file list: the recording (with its partner) opens
// paused on its first frames, with its track on the map and the graph, as a
// preview; Play plays it from there. While a recording plays the click only
// selects (playing goes on), and a click on what is open already does nothing.
void PlaybackSession::previewRow(int row)
{
    const int count = static_cast<int>(m_sources.list().size());
    if (row < 0 || row >= count || m_transport.isPlaying())
        return;
    if (m_pair.front() && (row == m_nCurPlayIndex || (has2Videos() && row == m_nCurPlayIndex2)))
        return;
    pmWriteLogQ(QStringLiteral("AppDelegate - preview : %1").arg(row));
    m_transport.resetControls();
    m_bOpenPaused = true;
    if (isDualCameraMode())
        dualSelectFile(row, true);
    else
        setCurPlaylistIndex(row, true);
    m_bOpenPaused = false;
    m_bPreviewing = m_pair.front() != nullptr;
}

// The previewed recording is ready: it stays paused on its first frame, with
// the play button showing Play and the slider, time, map and graph at 0.
void PlaybackSession::showPreview()
{
    m_bPreviewing = false;
    m_transport.checkPlayButtonState(true);
    m_transport.showPosition(0);
    m_transport.drawTime();
    m_transport.mapGoTo();
}

// ---------------------------------------------------------------- the media commands, two cameras

void PlaybackSession::enableMediaButton(bool enable)
{
    Q_EMIT mediaEnabled(enable, enable && state() != VideoPlayerView::StateNoPlayer,
                        enable && m_track.gps().IsGPSReady());
}

void PlaybackSession::enable2VideoWindow(bool enable)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::enable2VideoWindow = %1").arg(enable ? 1 : 0));
    if (m_pair.isSwitched())
        switchVideoWindow(false);
    const bool changed = m_pair.setDual(enable);
    Q_EMIT windowSwitchShown(enable);
    if (changed)
        Q_EMIT dualCameraChanged();
}

void PlaybackSession::dualSelectFile(int index, bool switchFlag)
{
    const int partner = m_sources.partner(index);
    if (partner < 0) {
        switchVideoWindow(false);
        if (m_pair.rear())
            setCurPlaylistIndex2(-1, false);
        setCurPlaylistIndex(index, true);
        return;
    }
    // The rear row chosen shows the rear large.
    const bool rear = m_sources.cameraType(index) != kCameraMain;
    if (switchFlag && m_pair.isSwitched() != rear)
        switchVideoWindow(rear);
    // A preview follows the user's selection (keys walk the list row by
    // row); only opening a pair moves the selection to its front row.
    if (rear && !m_bOpenPaused)
        Q_EMIT currentRowShown(partner, true);
    setCurPlaylistIndex(rear ? partner : index, true);
    setCurPlaylistIndex2(rear ? index : partner, true);
}

void PlaybackSession::dualNextFile(bool forward, bool wrap)
{
    const int current = m_nCurPlayIndex;
    const int target = pmNextPairRow(
        static_cast<int>(m_sources.list().size()), current, m_pair.rear() != nullptr, forward, wrap,
        [this](int row) { return m_sources.cameraType(row) == kCameraRear; },
        [this](int row) { return m_sources.partner(row); });
    if (target == current)
        m_transport.onStop();
    else
        dualSelectFile(target, false);
}

void PlaybackSession::setCurPlaylistIndex2(int index, bool)
{
    m_pair.release(2);
    m_nCurPlayIndex2 = index;
    const QList<AMediaFile> list = m_sources.list();
    if (index < 0 || index >= list.size() || list.at(index).URL().isEmpty())
        return;
    const AMediaFile& entry = list.at(index);
    const std::string native = entry.nativePath().toStdString();
    if (!pmIsFileExist(native))
        return;
    m_overlay.recordingOpened(2, native);
    pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video 2 : %1").arg(entry.path()));

    m_transport.prepareSurface(m_pair.make(2, entry.URL()), false, m_bOpenPaused);
    m_pair.openRear(index, list, [this](int row) { return m_sources.partner(row); });
}

void PlaybackSession::switchVideoWindow(bool switchVideo)
{
    pmWriteLogQ(QStringLiteral("AppDelegate - switchVideoWindow for timestamp - switch = %1")
                    .arg(switchVideo ? 1 : 0));
    const bool exchanged = m_pair.switchPictures(switchVideo, m_sources.mapFull());
    m_overlay.checkNow();
    m_view360.updateNow();
    if (!exchanged)
        return;
    m_overlay.placeNow();
    m_overlay.showNow();
}

void PlaybackSession::onButtonWindowSwitch()
{
    if (!m_sources.list().isEmpty() && has2Videos())
        switchVideoWindow(!m_pair.isSwitched());
}

void PlaybackSession::onUpdateTitle(int flag)
{
    if (m_nCurPlayIndex == -1)
        return;
    const VideoPlayerView::State now = state();
    const bool playing = now == VideoPlayerView::StatePlaying;
    const bool paused = now == VideoPlayerView::StatePaused;
    Q_EMIT currentRowShown(m_nCurPlayIndex, playing || paused || flag == 1);
    if (paused)
        m_transport.drawTime();
    m_transport.checkPlayButtonState(!playing);
}

// ---------------------------------------------------------------- trips

// Playback ran from one recording of a chain into the next (or a frame step
// went back into the one before): the application follows as if that
// recording had been opened at the end of the other one, without touching
// the surfaces. The rear camera's chain carries on by itself; where it holds
// no partner for the new recording, the rear is opened (or released) the
// ordinary way.
void PlaybackSession::onRecordingEntered(int chainIndex)
{
    const QList<AMediaFile> list = m_sources.list();
    const int row = m_pair.chainRows(1).value(chainIndex, -1);
    if (row < 0 || row >= list.size() || row == m_nCurPlayIndex)
        return;
    pmWriteLog("AppDelegate::movieDidEnd");
    m_transport.resetControls();
    m_transport.setCurrentTime(0);
    pmWriteLogQ(QStringLiteral("setCurPlaylistIndex() - index = %1").arg(row));
    m_nCurPlayIndex = row;
    const AMediaFile& entry = list.at(row);
    const std::string native = entry.nativePath().toStdString();
    m_overlay.recordingOpened(1, native);
    pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video : %1").arg(entry.path()));
    m_pair.setAsset(1, entry.URL());
    m_transport.setDuration(m_pair.front()->getDuration());
    m_transport.setLoading(true);
    pmWriteLog("Set movie to movie view !");
    pmWriteLog("setCurPlaylistIndex() - end !");
    pmWriteLogQ(QStringLiteral("AppDelegate - setCurPlaylistIndex -  timestamp = %1").arg(m_overlay.mode()));

    bool rearFollows = false;
    if (isDualCameraMode()) {
        const int partner = m_sources.partner(row);
        if (partner >= 0 && m_pair.rear() && m_pair.chainRows(2).value(chainIndex, -1) == partner) {
            m_nCurPlayIndex2 = partner;
            const AMediaFile& rear = list.at(partner);
            m_pair.setAsset(2, rear.URL());
            m_overlay.recordingOpened(2, rear.nativePath().toStdString());
            pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video 2 : %1").arg(rear.path()));
            m_pair.sync().reset();
            rearFollows = true;
        } else if (partner >= 0) {
            setCurPlaylistIndex2(partner, true);
        } else {
            switchVideoWindow(false);
            if (m_pair.rear())
                setCurPlaylistIndex2(-1, false);
        }
    }

    // The new recording is taken as ready, as if its own surface had just
    // reported it: the track, the slider's range, the map and the graph follow.
    QPointer<VideoPlayerView> front(m_pair.front());
    QPointer<VideoPlayerView> rear(m_pair.rear());
    if (front)
        onSurfaceReady(1);
    if (rearFollows && rear && rear == m_pair.rear())
        onSurfaceReady(2);
    onUpdateTitle(0);
}

// ---------------------------------------------------------------- the current track

// The track is read once the recording is ready: the slider's range first,
// then what the track reports (see CurrentTrack::open), the trip's route and
// the map's marker.
void PlaybackSession::onOpenGPSFile()
{
    pmWriteLog("CRDVManagerDlg::OnOpenGpsFile() - Start !");
    m_transport.announceSeekRange();
    m_transport.showPosition(0);
    Q_EMIT frameCommandsEnabled(true);

    const QList<AMediaFile> list = m_sources.list();
    const std::string path = m_nCurPlayIndex >= 0 && m_nCurPlayIndex < list.size()
                                 ? list.at(m_nCurPlayIndex).nativePath().toStdString()
                                 : std::string();
    if (path.empty()) {
        m_track.reset();
        Q_EMIT trackLoaded();
        return;
    }
    const bool loaded = m_track.open(path, m_transport.duration(), m_sources.model()).loaded;
    m_route.update();
    if (loaded)
        m_transport.mapGoTo();
    pmWriteLogQ(QStringLiteral("OnOpenGpsFile() - timestamp = %1").arg(m_overlay.mode()));
    pmWriteLog("CRDVManagerDlg::OnOpenGpsFile() - End !");
    Q_EMIT trackLoaded();
}

void PlaybackSession::clearTrack()
{
    m_transport.showNoPlace();
    m_track.empty();
    m_transport.resetControls();
    m_transport.drawTime();
    Q_EMIT trackLoaded();
}

void PlaybackSession::reloadTrack()
{
    if (!m_pair.isOpen() || m_transport.isVideoLoading())
        return;
    m_track.forgetTripRoute();
    onOpenGPSFile();
    m_transport.onPlayTimerChange();
}

void PlaybackSession::redrawSensorGraph()
{
    if (m_track.redrawGraph())
        m_transport.emitSensorCursor();
}

void PlaybackSession::onMapViewReady()
{
    if (m_track.reportPath())
        m_transport.mapGoTo();
    m_route.update();
}
