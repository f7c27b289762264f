// The playback session (see PlaybackSession.h): surfaces, the play state and
// the play bar's commands, the tick, two cameras, the time-stamp overlay's
// mode and the player's keys. The session's side of the current track (what
// the map and the graph are given) is in RecordingTrack.cpp.
#include "playback/PlaybackSession.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/Log.h"
#include "core/TrackLoader.h"
#include "core/TripChain.h"
#include "media/MediaDuration.h"
#include "views/GSensorView.h"
#include "views/MapView.h"

#include <QLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

namespace
{
constexpr int kTickMsecs = 500;
constexpr int kSpeedSteps = 5;
// A frame step lands a moment later; the labels, slider and map look again then.
constexpr int kFrameStepRefreshMsecs = 600;
// One frame at the highest rate a camera records.
constexpr double kShortestFrameSeconds = 1.0 / 60.0;

int wholeSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return seconds >= 2147483647.0 ? 2147483647 : static_cast<int>(seconds);
}

int wholeSecondsOf(double seconds)
{
    return std::isfinite(seconds) && seconds > 0 ? pmWholeVideoSeconds(seconds) : 0;
}

std::vector<std::string> nativePaths(const QList<int>& rows, const QList<AMediaFile>& list)
{
    std::vector<std::string> paths;
    for (int row : rows)
        paths.push_back(list.at(row).nativePath().toStdString());
    return paths;
}

// The durations of `paths` in order, on a worker: the header answers at once
// for the camera's own files, FFmpeg (for a file whose header states none)
// may take seconds. A file gone from the card gives -1 and ends the list; so
// does, after its own, a duration of less than a frame, which ends a chain.
std::vector<double> probeDurations(const std::vector<std::string>& paths, const std::atomic<bool>& stop)
{
    std::vector<double> lengths;
    for (const std::string& path : paths) {
        if (stop)
            break;
        if (!pmIsFileExist(path)) {
            lengths.push_back(-1);
            break;
        }
        lengths.push_back(pmGetMediaDurationSeconds(path));
        if (!(lengths.back() >= kShortestFrameSeconds))
            break;
    }
    return lengths;
}

} // namespace

PlaybackSession::PlaybackSession(QObject* parent)
    : QObject(parent), m_bShowWholeTrip(pmReadSetting(SettingsKeys::showWholeTrip))
{
}

PlaybackSession::~PlaybackSession() = default;

// ---------------------------------------------------------------- wiring

void PlaybackSession::setSources(Sources sources)
{
    m_sources = std::move(sources);
    m_track.setAttachedReader(m_sources.attachedTrack);
}

void PlaybackSession::setPanels(MapView* map, GSensorView* gsensor)
{
    mMapView = map;
    mGSensorView = gsensor;
}

void PlaybackSession::setPlayerHosts(QWidget* host1, QWidget* host2)
{
    m_host1 = host1;
    m_host2 = host2;
}

void PlaybackSession::setOverlayHost(QWidget* content)
{
    m_overlay.setHost(content);
}

void PlaybackSession::resetState(int volume)
{
    m_nCurPlayIndex = -1;
    m_bMute = false;
    m_nVolume = volume;
    m_fPlaySpeed = 1.0f;
    m_nSpeedStep = 0;
    mSelectedMovieCurrentTime = 0.0;
    mSelectedMovieDuration = 0.0;
    m_track.resetMark();
    m_bVideoLoading = false;
    m_b2VideoWindowEnable = false;
    m_bSwitchVideo = false;
    m_overlay.setMode(TimeStampOverlay::Off);
    m_overlay.setStart(_SYSTEMTIME{});
    m_view360.reset();
}

QList<AMediaFile> PlaybackSession::playlist() const
{
    return m_sources.playlist ? m_sources.playlist() : QList<AMediaFile>();
}

int PlaybackSession::selectedRow() const
{
    return m_sources.selectedRow ? m_sources.selectedRow() : -1;
}

int PlaybackSession::partnerOf(int index) const
{
    return m_sources.partnerOf ? m_sources.partnerOf(index) : -1;
}

int PlaybackSession::cameraTypeOf(int index) const
{
    return m_sources.cameraTypeOf ? m_sources.cameraTypeOf(index) : kCameraMain;
}

VideoPlayerView* PlaybackSession::videoPlayView() const
{
    return _videoPlayView.data();
}

VideoPlayerView* PlaybackSession::videoPlayView2() const
{
    return _videoPlayView2.data();
}

float PlaybackSession::speedForStep(int step)
{
    switch (step) {
    case 1:
        return 1.5f;
    case 2:
        return 2.0f;
    case 3:
        return 0.25f;
    case 4:
        return 0.5f;
    default:
        return 1.0f;
    }
}

// ---------------------------------------------------------------- surfaces

QWidget* PlaybackSession::playerHost(int which) const
{
    return which == 1 ? m_host1.data() : m_host2.data();
}

VideoPlayerView* PlaybackSession::makeSurface(QWidget* host)
{
    const QRect frame = host ? host->rect() : QRect(0, 0, 640, 480);
    auto* view = new VideoPlayerView(frame, host);
    if (host) {
        // The surface fills its host and follows it when the window is laid out again.
        if (!host->layout()) {
            auto* layout = new QVBoxLayout(host);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        host->layout()->addWidget(view);
        view->show();
    }
    QPointer<VideoPlayerView> guard(view);
    connect(view, &VideoPlayerView::readyToPlay, this, [this, guard] {
        if (guard)
            onSurfaceReady(guard.data());
    });
    // Only the front camera's end moves playback on; the rear waits on its
    // last frame for the front.
    connect(view, &VideoPlayerView::ended, this, [this, guard] {
        if (guard && guard == _videoPlayView)
            movieDidEnd();
    });
    connect(view, &VideoPlayerView::loadFailed, this, [this, guard](const QString& reason) {
        if (guard)
            onSurfaceLoadFailed(guard.data(), reason);
    });
    connect(view, &VideoPlayerView::recordingEntered, this, [this, guard](int index) {
        if (guard)
            onRecordingEntered(guard.data(), index);
    });
    // Handled from the event loop: the surface is still inside its player's
    // event handling when it reports.
    connect(view, &VideoPlayerView::playbackFailed, this, [this, guard](const QString& reason) {
        QTimer::singleShot(0, this, [this, guard, reason] {
            if (guard)
                onSurfacePlaybackFailed(guard.data(), reason);
        });
    });
    return view;
}

void PlaybackSession::dropSurface(QPointer<VideoPlayerView>& surface)
{
    if (!surface)
        return;
    VideoPlayerView* view = surface.data();
    surface = nullptr;
    view->releasePlayer();
    view->hide();
    if (QWidget* host = view->parentWidget(); host && host->layout())
        host->layout()->removeWidget(view);
    view->disconnect(this);
    view->deleteLater();
}

// A recording that cannot be played ends its opening here: nothing will report
// it ready, so the controller must not keep waiting for that. The surface
// itself shows the reason over its black area.
void PlaybackSession::onSurfaceLoadFailed(VideoPlayerView* surface, const QString& reason)
{
    if (surface == _videoPlayView.data()) {
        pmWriteLogQ(QStringLiteral("AppDelegate - open video failed : %1 - %2")
                        .arg(reason, _currectasset.toString()));
        m_bVideoLoading = false;
        if (pmIsWaiting())
            pmEndWait();
        checkPlayButtonState(true);
        Q_EMIT seekEnabled(false);
        drawTime();
    } else if (surface == _videoPlayView2.data()) {
        pmWriteLogQ(QStringLiteral("AppDelegate - open video 2 failed : %1 - %2")
                        .arg(reason, _currectasset2.toString()));
    }
}

// A recording that stopped with an error while playing: when its file has
// gone, the folder check rebuilds the playlist; otherwise playback moves on as
// at the recording's end, instead of staying "playing" on a frozen clock.
void PlaybackSession::onSurfacePlaybackFailed(VideoPlayerView* surface, const QString& reason)
{
    const bool front = surface == _videoPlayView.data();
    if (!front && surface != _videoPlayView2.data())
        return; // a surface already released
    pmWriteLogQ(QStringLiteral("AppDelegate - video failed while playing : %1 - %2")
                    .arg(reason, (front ? _currectasset : _currectasset2).toString()));
    const int failed = m_nCurPlayIndex;
    Q_EMIT folderCheckRequested();
    if (!front || m_nCurPlayIndex != failed || _videoPlayView.data() != surface)
        return; // the playlist was rebuilt, or only the rear stopped
    movieDidEnd();
}

// ---------------------------------------------------------------- making an entry current

void PlaybackSession::setCurPlaylistIndex(int index, bool)
{
    const QList<AMediaFile> list = playlist();
    const int count = static_cast<int>(list.size());
    mSelectedMovieCurrentTime = 0;
    if (index < 0) {
        m_overlay.setMode(TimeStampOverlay::Off);
        mSelectedMovieDuration = 0;
    }
    if (_videoPlayView) {
        dropSurface(_videoPlayView);
        _currectasset = QUrl();
        // A released surface never reports ready; waiting for it would keep
        // speed changes from applying to the next recording.
        m_bVideoLoading = false;
    }
    _currectasset = QUrl();

    pmWriteLogQ(QStringLiteral("setCurPlaylistIndex() - index = %1").arg(index));
    m_nCurPlayIndex = index;
    m_chainRows.clear();
    m_reads.drop(LatestReads::FrontDurations);
    m_bPreviewing = false;

    if (index >= 0 && index < count && !list.at(index).URL().isEmpty()) {
        const AMediaFile& entry = list.at(index);
        const std::string native = entry.nativePath().toStdString();
        if (!pmIsFileExist(native)) {
            Q_EMIT recordingMissing();
            return;
        }
        markRearStart(native);
        pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video : %1").arg(entry.path()));
        m_bVideoLoading = true;

        VideoPlayerView* view = makeSurface(playerHost(1));
        _videoPlayView = view;
        view->setRate(m_bOpenPaused ? 0.0f : m_fPlaySpeed);
        view->setVolume(static_cast<float>(m_nVolume) / 10.0f);
        view->setMuted(m_bMute);
        _currectasset = entry.URL();
        apply360Mode(view, native);
        openFrontWhenProbed(view, chainFrom(index, list), list);
    }
    // A rear waiting for a front that will not open now opens on its own.
    if (m_rearOpening && !m_reads.isPending(LatestReads::FrontDurations))
        std::exchange(m_rearOpening, nullptr)();

    if (_currectasset.isEmpty()) {
        if (m_tickTimer) {
            m_tickTimer->stop();
            m_tickTimer->deleteLater();
            m_tickTimer = nullptr;
        }
    } else if (!m_tickTimer) {
        m_tickTimer = new QTimer(this);
        m_tickTimer->setInterval(kTickMsecs);
        connect(m_tickTimer, &QTimer::timeout, this, &PlaybackSession::checkMovieTime);
        m_tickTimer->start();
    }

    setVolume(m_nVolume);
    checkMute();
    checkDpadButtons(); // the pad and the head tracker follow the new surface, or its absence
    pmWriteLog("Set movie to movie view !");
    pmWriteLog("setCurPlaylistIndex() - end !");
    pmWriteLogQ(QStringLiteral("AppDelegate - setCurPlaylistIndex -  timestamp = %1").arg(m_overlay.mode()));
}

void PlaybackSession::onSurfaceReady(VideoPlayerView* surface)
{
    if (!surface)
        return;
    if (surface == _videoPlayView.data()) {
        handleLoadStateChanged();
        if (_videoPlayView)
            _videoPlayView->relayout(_videoPlayView->rect());
    } else if (surface == _videoPlayView2.data()) {
        handleLoadStateChanged2();
        if (_videoPlayView2)
            _videoPlayView2->relayout(_videoPlayView2->rect());
    }
}

void PlaybackSession::handleLoadStateChanged()
{
    if (_currectasset.isEmpty())
        return;
    if (!m_bVideoLoading) {
        pmWriteLog("AppDelegate::handleLoadStateChanged - twice open video OK, then pass it.");
        return;
    }
    m_bVideoLoading = false;
    pmWriteLog("AppDelegate::handleLoadStateChanged - open video OK!");
    // The container may state no duration that the probe could read; the player knows it now.
    if (mSelectedMovieDuration <= 0 && _videoPlayView)
        mSelectedMovieDuration = _videoPlayView->getDuration();
    onOpenGPSFile();
    moveTimeStamp();
    checkTimeStamp();
    checkDpadButtons();
    Q_EMIT speedEnabled(true);
    if (m_bPreviewing)
        showPreview();
    else
        onButtonPlay();
    if (pmIsWaiting())
        pmEndWait();
}

// ---------------------------------------------------------------- state

VideoPlayerView::State PlaybackSession::state() const
{
    return _videoPlayView ? _videoPlayView->getState() : VideoPlayerView::StateNoPlayer;
}

void PlaybackSession::onPlay()
{
    if (isPlaying())
        return;
    m_bPreviewing = false; // Play before a preview was ready: it plays
    rewindFromLastFrames();
    if (_videoPlayView)
        _videoPlayView->setRate(m_fPlaySpeed);
    if (has2Videos()) {
        _videoPlayView2->setRate(m_fPlaySpeed);
        m_sync.rateApplied();
    }
}

void PlaybackSession::onPause()
{
    if (state() == VideoPlayerView::StateNoPlayer)
        return;
    if (_videoPlayView)
        _videoPlayView->onPause();
    if (has2Videos())
        _videoPlayView2->onPause();
}

void PlaybackSession::onButtonPlay()
{
    pmWriteLog("AppDelegate - onButtonPlay()");
    const int rows = static_cast<int>(playlist().size());
    if (state() == VideoPlayerView::StateNoPlayer && rows > 0) {
        const int selection = selectedRow();
        if (selection >= 0 && selection < rows) {
            Q_EMIT openRowRequested(selection);
            return;
        }
    }
    checkPlayButtonState(false);
    onPlay();
}

void PlaybackSession::onButtonPause()
{
    pmWriteLog("AppDelegate - onButtonPause()");
    onPause();
}

bool PlaybackSession::pausePlayback()
{
    bool paused = false;
    if (isPlaying()) {
        onButtonPause();
        paused = true;
    }
    Q_EMIT playingChanged(false);
    return paused;
}

void PlaybackSession::onStop()
{
    if (_videoPlayView)
        _videoPlayView->onPause();
    if (has2Videos())
        _videoPlayView2->onPause();
    mSelectedMovieCurrentTime = 0;
    onStopMessage();
}

void PlaybackSession::onStopMessage()
{
    Q_EMIT playButtonReset();
    Q_EMIT positionChanged(0);
    drawTime();
    mapGoTo();
    emitSensorCursor();
}

void PlaybackSession::onButtonNext(int wrap)
{
    const int count = static_cast<int>(playlist().size());
    if (count < 2)
        return;
    int base = m_nCurPlayIndex;
    if (base < 0)
        base = selectedRow();
    int target = base + 1;
    if (target >= count)
        target = 0;
    if (target < 0 || target >= count)
        return;
    resetCtrl();
    mSelectedMovieCurrentTime = 0;
    if (isDualCameraMode())
        dualNextFile(true, wrap != 0);
    else
        setCurPlaylistIndex(target, true);
    onUpdateTitle(0);
}

void PlaybackSession::onButtonPrev()
{
    const int count = static_cast<int>(playlist().size());
    if (count < 2)
        return;
    int base = m_nCurPlayIndex;
    if (base < 0)
        base = selectedRow();
    const int target = base <= 0 ? count - 1 : base - 1;
    if (target >= count)
        return;
    resetCtrl();
    if (isDualCameraMode())
        dualNextFile(false, true);
    else
        setCurPlaylistIndex(target, true);
    onUpdateTitle(0);
}

void PlaybackSession::movieDidEnd()
{
    pmWriteLog("AppDelegate::movieDidEnd");
    if (isLastRecordingEnded()) {
        stopOnLastFrames();
        return;
    }
    if (m_nCurPlayIndex + 1 < playlist().size())
        onButtonNext(0);
    else
        onStop();
}

// A single click in the file list: the recording (with its partner) opens
// paused on its first frames, with its track on the map and the graph, as a
// preview; Play plays it from there. While a recording plays the click only
// selects (playing goes on), and a click on what is open already does nothing.
void PlaybackSession::previewRow(int row)
{
    const int count = static_cast<int>(playlist().size());
    if (row < 0 || row >= count || isPlaying())
        return;
    if (_videoPlayView && (row == m_nCurPlayIndex || (has2Videos() && row == m_nCurPlayIndex2)))
        return;
    pmWriteLogQ(QStringLiteral("AppDelegate - preview : %1").arg(row));
    resetCtrl();
    m_bOpenPaused = true;
    if (isDualCameraMode())
        dualSelectFile(row, true);
    else
        setCurPlaylistIndex(row, true);
    m_bOpenPaused = false;
    m_bPreviewing = _videoPlayView != nullptr;
}

// The previewed recording is ready: it stays paused on its first frame, with
// the play button showing Play and the slider, time, map and graph at 0.
void PlaybackSession::showPreview()
{
    m_bPreviewing = false;
    checkPlayButtonState(true);
    Q_EMIT positionChanged(0);
    drawTime();
    mapGoTo();
}

// Nothing follows the recording that ended: auto-advance does not wrap, and
// with two cameras the open rear partner is not a next recording.
bool PlaybackSession::isLastRecordingEnded() const
{
    const int count = static_cast<int>(playlist().size());
    const int next = isDualCameraMode() && _videoPlayView2 ? m_nCurPlayIndex + 2 : m_nCurPlayIndex + 1;
    return next >= count;
}

// The last recording has ended: both cameras stay paused on their last
// frames, with the slider, time and map at the end. The rear may have started
// a moment after the front and not reached its own end yet when the front's
// end arrives, so it is moved there rather than left wherever the pause
// caught it.
void PlaybackSession::stopOnLastFrames()
{
    if (_videoPlayView)
        _videoPlayView->onPause();
    if (has2Videos()) {
        _videoPlayView2->onPause();
        const double rearEnd = _videoPlayView2->getDuration();
        if (rearEnd > 0)
            _videoPlayView2->seekToTime(rearEnd); // keep-open shows the last frame
        m_sync.bothSought();
    }
    checkPlayButtonState(true);
    drawTime();
    Q_EMIT positionChanged(wholeSeconds(std::min(mSelectedMovieCurrentTime, mSelectedMovieDuration)));
    mapGoTo();
    emitSensorCursor();
}

// Play from the end of a recording starts both cameras from the beginning.
void PlaybackSession::rewindFromLastFrames()
{
    if (!_videoPlayView || !_videoPlayView->rewindIfAtEnd())
        return;
    if (has2Videos()) {
        _videoPlayView2->seekToTime(0);
        m_sync.bothSought();
    }
    mSelectedMovieCurrentTime = 0;
}

void PlaybackSession::onButtonMute()
{
    m_bMute = !m_bMute;
    checkMute();
}

void PlaybackSession::checkMute()
{
    if (_videoPlayView)
        _videoPlayView->setMuted(m_bMute);
    // The rear camera never plays sound.
    if (_videoPlayView2)
        _videoPlayView2->setMuted(true);
}

void PlaybackSession::setVolume(int step)
{
    m_nVolume = qBound(0, step, 10);
    if (_videoPlayView)
        _videoPlayView->setVolume(static_cast<float>(m_nVolume) / 10.0f);
}

void PlaybackSession::onButtonSpeed()
{
    m_nSpeedStep = (m_nSpeedStep + 1) % kSpeedSteps;
    setPlaySpeed(speedForStep(m_nSpeedStep));
    Q_EMIT speedChanged(m_nSpeedStep);
}

void PlaybackSession::setPlaySpeed(float speed)
{
    m_fPlaySpeed = speed;
    if (m_bVideoLoading) {
        pmWriteLog("AppDelegate - setPlaySpeed() - Video is loading, then pass it.");
        return;
    }
    if (isPlaying()) {
        _videoPlayView->setRate(m_fPlaySpeed);
        if (has2Videos()) {
            _videoPlayView2->setRate(m_fPlaySpeed);
            m_sync.rateApplied();
        }
    }
}

void PlaybackSession::onSliderChanged(const Notification& n)
{
    const QString type = n.userInfo.value(QStringLiteral("SLIDER_TYPE")).toString();
    const int value = n.object.toInt();
    if (type == QLatin1String("volume")) {
        pmWriteSetting(SettingsKeys::volume, value);
        setVolume(value);
    } else if (type == QLatin1String("time")) {
        setCurrentMovieTime(value);
        emitSensorCursor();
        drawTime();
        mapGoTo();
    }
}

void PlaybackSession::setCurrentMovieTime(int seconds)
{
    const bool wasPlaying = isPlaying();
    if (wasPlaying) {
        _videoPlayView->onPause();
        if (has2Videos())
            _videoPlayView2->onPause();
    }
    const double target = std::max(0, seconds);
    if (_videoPlayView)
        _videoPlayView->seekToTime(target);
    if (has2Videos()) {
        _videoPlayView2->seekToTime(target);
        m_sync.bothSought();
    }
    mSelectedMovieCurrentTime = target;
    if (wasPlaying) {
        if (_videoPlayView)
            _videoPlayView->setRate(m_fPlaySpeed);
        if (has2Videos()) {
            _videoPlayView2->setRate(m_fPlaySpeed);
            m_sync.rateApplied();
        }
    }
}

// ---------------------------------------------------------------- tick and time display

void PlaybackSession::checkMovieTime()
{
    if (!isPlaying())
        return;
    onPlayTimerChange();
    syncSecondCamera();
}

void PlaybackSession::onPlayTimerChange()
{
    drawTime();
    double position = mSelectedMovieCurrentTime;
    if (position > mSelectedMovieDuration)
        position = mSelectedMovieDuration;
    if (!(position >= 0))
        position = 0;
    Q_EMIT positionChanged(wholeSeconds(position));
    emitSensorCursor();
    mapGoTo();
}

void PlaybackSession::drawTime()
{
    if (_videoPlayView) {
        mSelectedMovieCurrentTime = _videoPlayView->getCurrentTime();
    } else {
        mSelectedMovieCurrentTime = 0;
        mSelectedMovieDuration = 0;
    }
    Q_EMIT timeChanged(wholeSeconds(mSelectedMovieCurrentTime), wholeSeconds(mSelectedMovieDuration));
    if (m_overlay.isShown())
        showTimeStamp();
}

// ---------------------------------------------------------------- play bar upkeep

void PlaybackSession::checkPlayButtonState(bool showPlay)
{
    Q_EMIT playingChanged(!showPlay);
}

void PlaybackSession::resetCtrl()
{
    Q_EMIT controlsReset();
}

void PlaybackSession::enableMediaButton(bool enable)
{
    Q_EMIT mediaEnabled(enable, enable && state() != VideoPlayerView::StateNoPlayer,
                        enable && m_track.gps().IsGPSReady());
}

bool PlaybackSession::has2Videos() const
{
    return m_b2VideoWindowEnable && _videoPlayView2;
}

void PlaybackSession::enable2VideoWindow(bool enable)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::enable2VideoWindow = %1").arg(enable ? 1 : 0));
    if (m_bSwitchVideo)
        switchVideoWindow(false);
    const bool changed = enable != m_b2VideoWindowEnable;
    m_b2VideoWindowEnable = enable;
    Q_EMIT windowSwitchShown(enable);
    if (changed)
        Q_EMIT dualCameraChanged();
}

void PlaybackSession::dualSelectFile(int index, bool switchFlag)
{
    const int partner = partnerOf(index);
    if (partner < 0) {
        switchVideoWindow(false);
        if (_videoPlayView2)
            setCurPlaylistIndex2(-1, false);
        setCurPlaylistIndex(index, true);
        return;
    }
    int first = index;
    int second = partner;
    if (cameraTypeOf(index) == kCameraMain) {
        if (switchFlag && m_bSwitchVideo)
            switchVideoWindow(false);
    } else {
        if (switchFlag && !m_bSwitchVideo)
            switchVideoWindow(true);
        // A preview follows the user's selection (keys walk the list row by
        // row); only opening a pair moves the selection to its front row.
        if (!m_bOpenPaused)
            Q_EMIT currentRowShown(partner, true);
        first = partner;
        second = index;
    }
    setCurPlaylistIndex(first, true);
    setCurPlaylistIndex2(second, true);
}

bool PlaybackSession::dualNextFile(bool forward, bool wrap)
{
    const int current = m_nCurPlayIndex;
    const int count = static_cast<int>(playlist().size());
    int target;
    if (forward) {
        target = _videoPlayView2 ? current + 2 : current + 1;
        if (target >= count)
            target = wrap ? 0 : current;
    } else if (current < 1) {
        target = wrap ? count - 1 : current;
    } else {
        target = current - 1;
        if (cameraTypeOf(target) == kCameraRear) {
            const int partner = partnerOf(target);
            if (partner >= 0)
                target = partner;
        }
    }
    if (target == current) {
        onStop();
        return false;
    }
    dualSelectFile(target, false);
    return true;
}

void PlaybackSession::setCurPlaylistIndex2(int index, bool)
{
    if (_videoPlayView2) {
        dropSurface(_videoPlayView2);
        _currectasset2 = QUrl();
    }
    m_nCurPlayIndex2 = index;
    m_sync.reset();
    m_chainRows2.clear();
    m_reads.drop(LatestReads::RearDurations);
    m_rearOpening = nullptr;
    const QList<AMediaFile> list = playlist();
    if (index < 0 || index >= list.size() || list.at(index).URL().isEmpty())
        return;
    const AMediaFile& entry = list.at(index);
    const std::string native = entry.nativePath().toStdString();
    if (!pmIsFileExist(native))
        return;
    setRearStart(native);
    pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video 2 : %1").arg(entry.path()));

    VideoPlayerView* view = makeSurface(playerHost(2));
    _videoPlayView2 = view;
    view->setRate(m_bOpenPaused ? 0.0f : m_fPlaySpeed);
    view->setMuted(true); // before the player exists, so not even its first moment is heard
    _currectasset2 = entry.URL();
    // The rear's chain follows the front's, known once the front's durations are in.
    if (m_reads.isPending(LatestReads::FrontDurations)) {
        QPointer<VideoPlayerView> surface(view);
        m_rearOpening = [this, surface, index, list] {
            if (surface && surface == _videoPlayView2)
                openRearRows(surface, index, list);
        };
    } else {
        openRearRows(view, index, list);
    }
}

void PlaybackSession::openRearRows(VideoPlayerView* view, int index, const QList<AMediaFile>& list)
{
    const std::vector<int> chain =
        pmRearChain(std::vector<int>(m_chainRows.begin(), m_chainRows.end()), index,
                    static_cast<int>(list.size()), [this](int row) { return partnerOf(row); });
    const QList<int> rows(chain.begin(), chain.end());
    if (rows.size() < 2) {
        loadRows(view, rows, list, {}, m_chainRows2);
        view->setMuted(true);
        return;
    }
    QPointer<VideoPlayerView> surface(view);
    m_reads.ask<std::vector<double>>(
        LatestReads::RearDurations,
        [paths = nativePaths(rows, list)](const std::atomic<bool>& stop) {
            return probeDurations(paths, stop);
        },
        [this, surface, rows, list](const std::vector<double>& lengths) {
            if (!surface || surface != _videoPlayView2)
                return;
            loadRows(surface, rows, list, lengths, m_chainRows2);
            surface->setMuted(true);
        });
}

void PlaybackSession::openFrontWhenProbed(VideoPlayerView* view, const QList<int>& rows,
                                          const QList<AMediaFile>& list)
{
    mSelectedMovieDuration = 0; // the new recording's is not known yet
    QPointer<VideoPlayerView> surface(view);
    m_reads.ask<std::vector<double>>(
        LatestReads::FrontDurations,
        [paths = nativePaths(rows, list)](const std::atomic<bool>& stop) {
            return probeDurations(paths, stop);
        },
        [this, surface, rows, list](const std::vector<double>& lengths) {
            if (!surface || surface != _videoPlayView)
                return;
            mSelectedMovieDuration = lengths.empty() ? 0.0 : std::max(0.0, lengths.front());
            loadRows(surface, rows, list, lengths, m_chainRows);
            if (m_rearOpening)
                std::exchange(m_rearOpening, nullptr)();
        });
}

void PlaybackSession::handleLoadStateChanged2()
{
    moveTimeStamp();
    checkTimeStamp();
    // The rear started later than the front: bring it onto the front's time now
    // rather than a tick later.
    syncSecondCamera();
}

bool PlaybackSession::syncSecondCamera()
{
    if (!has2Videos() || !_videoPlayView || m_bVideoLoading)
        return false;
    if (_videoPlayView->getPlayerStatus() != VideoPlayerView::StatusReadyToPlay ||
        _videoPlayView2->getPlayerStatus() != VideoPlayerView::StatusReadyToPlay)
        return false;
    return m_sync.sync(*_videoPlayView, *_videoPlayView2, m_fPlaySpeed);
}

void PlaybackSession::switchVideoWindow(bool switchVideo)
{
    m_bSwitchVideo = switchVideo;
    QWidget* host1 = playerHost(1);
    QWidget* host2 = playerHost(2);
    const QRect f1 = host1 ? host1->geometry() : QRect();
    const QRect f2 = host2 ? host2->geometry() : QRect();
    pmWriteLogQ(QStringLiteral("AppDelegate - switchVideoWindow for timestamp - switch = %1")
                    .arg(switchVideo ? 1 : 0));
    const bool exchange =
        (switchVideo && f1.width() > f2.width()) || (!switchVideo && f2.width() > f1.width());
    checkTimeStamp();
    checkDpadButtons();
    if (!exchange || !host1 || !host2)
        return;
    host1->setGeometry(f2);
    if (m_sources.mapFullScreen && m_sources.mapFullScreen())
        host1->hide();
    host2->setGeometry(f1);
    if (!m_b2VideoWindowEnable)
        host2->hide();
    if (_videoPlayView)
        _videoPlayView->relayout(QRect(QPoint(0, 0), f2.size()));
    if (_videoPlayView2)
        _videoPlayView2->relayout(QRect(QPoint(0, 0), f1.size()));
    moveTimeStamp();
    showTimeStamp();
}

void PlaybackSession::onButtonWindowSwitch()
{
    if (!playlist().isEmpty() && has2Videos())
        switchVideoWindow(!m_bSwitchVideo);
}

void PlaybackSession::onMenu360View()
{
    if (m_view360.toggle(_videoPlayView.data()))
        checkDpadButtons();
}

void PlaybackSession::apply360Mode(VideoPlayerView* view, const std::string& path)
{
    m_view360.recordingOpened(view, path, view && view == _videoPlayView.data());
    if (view)
        checkDpadButtons();
}

void PlaybackSession::onUpdateTitle(int flag)
{
    if (m_nCurPlayIndex == -1)
        return;
    const VideoPlayerView::State state = this->state();
    if (state == VideoPlayerView::StatePlaying) {
        Q_EMIT currentRowShown(m_nCurPlayIndex, true);
        Q_EMIT playingChanged(true);
    } else if (state == VideoPlayerView::StatePaused) {
        Q_EMIT currentRowShown(m_nCurPlayIndex, true);
        drawTime();
        Q_EMIT playingChanged(false);
    } else {
        Q_EMIT currentRowShown(m_nCurPlayIndex, flag == 1);
        Q_EMIT playingChanged(false);
    }
}

// ---------------------------------------------------------------- keys and the G-sensor graph

bool PlaybackSession::seekBySeconds(int delta)
{
    if (!_videoPlayView)
        return false;
    seekToSecond(wholeSecondsOf(_videoPlayView->getCurrentTime()) + delta);
    return true;
}

void PlaybackSession::seekToSecond(int seconds)
{
    if (!_videoPlayView)
        return;
    const int last = wholeSecondsOf(mSelectedMovieDuration);
    const int target = last > 0 ? qBound(0, seconds, last) : qMax(0, seconds);
    setCurrentMovieTime(target);
    Q_EMIT positionChanged(target);
    drawTime();
    mapGoTo(); // also moves the G-sensor cursor
}

bool PlaybackSession::stepFrame(bool forward)
{
    if (!_videoPlayView || state() != VideoPlayerView::StatePaused)
        return false;
    _videoPlayView->stepFrame(forward);
    if (has2Videos())
        _videoPlayView2->stepFrame(forward);
    // Paused, the tick does not run: show where the step landed once it has.
    QPointer<VideoPlayerView> stepped(_videoPlayView);
    QTimer::singleShot(kFrameStepRefreshMsecs, this, [this, stepped] {
        if (!stepped || stepped != _videoPlayView || state() != VideoPlayerView::StatePaused)
            return;
        Q_EMIT positionChanged(wholeSecondsOf(_videoPlayView->getCurrentTime()));
        drawTime();
        mapGoTo();
    });
    return true;
}

void PlaybackSession::stepVolume(int delta)
{
    const int step = qBound(0, m_nVolume + delta, 10);
    if (step == m_nVolume)
        return;
    pmWriteSetting(SettingsKeys::volume, step);
    setVolume(step);
    Q_EMIT volumeChanged(step);
}

// ---------------------------------------------------------------- trips

std::vector<int> PlaybackSession::currentTrip() const
{
    if (m_nCurPlayIndex < 0)
        return {};
    std::vector<int> trip = m_tripMembers ? m_tripMembers(m_nCurPlayIndex) : std::vector<int>();
    if (trip.empty())
        trip.push_back(m_nCurPlayIndex);
    return trip;
}

QList<int> PlaybackSession::chainFrom(int index, const QList<AMediaFile>& list) const
{
    if (!m_bGaplessTrips || !m_tripMembers)
        return {index};
    const std::vector<int> rows = pmTripChainFrom(
        index, m_tripMembers(index),
        [&list](int row) { return row >= 0 && row < list.size() && !list.at(row).URL().isEmpty(); },
        [this](int row) { return partnerOf(row); });
    return QList<int>(rows.begin(), rows.end());
}

void PlaybackSession::loadRows(VideoPlayerView* view, const QList<int>& rows, const QList<AMediaFile>& list,
                               const std::vector<double>& lengths, QList<int>& chained)
{
    chained = {rows.first()};
    if (rows.size() < 2) {
        view->loadURL(list.at(rows.first()).URL());
        return;
    }
    QList<QUrl> urls;
    QList<double> chainLengths;
    for (int i = 0; i < rows.size() && i < static_cast<int>(lengths.size()); ++i) {
        // A recording gone from the card (-1) ends the chain there; the
        // ordinary end of the one before finds it missing. A header stating
        // less than one frame places nothing on the timeline: the chain ends
        // before it, and the recording is opened on its own like any damaged one.
        const double length = lengths[static_cast<size_t>(i)];
        if (!(length >= kShortestFrameSeconds))
            break;
        urls.append(list.at(rows.at(i)).URL());
        chainLengths.append(length);
    }
    if (urls.size() < 2) {
        view->loadURL(list.at(rows.first()).URL());
        return;
    }
    view->loadChain(urls, chainLengths);
    chained = rows.mid(0, view->chainLength());
    if (chained.size() > 1)
        pmWriteLogQ(
            QStringLiteral("AppDelegate - trip of %1 recordings played in one go").arg(chained.size()));
}

// Playback ran from one recording of a chain into the next (or a frame step
// went back into the one before): the application follows as if that
// recording had been opened at the end of the other one, without touching
// the surfaces. The rear camera's chain carries on by itself; where it holds
// no partner for the new recording, the rear is opened (or released) the
// ordinary way.
void PlaybackSession::onRecordingEntered(VideoPlayerView* surface, int chainIndex)
{
    if (surface != _videoPlayView.data())
        return; // the rear follows the front
    const QList<AMediaFile> list = playlist();
    const int row = m_chainRows.value(chainIndex, -1);
    if (row < 0 || row >= list.size() || row == m_nCurPlayIndex)
        return;
    pmWriteLog("AppDelegate::movieDidEnd");
    resetCtrl();
    mSelectedMovieCurrentTime = 0;
    pmWriteLogQ(QStringLiteral("setCurPlaylistIndex() - index = %1").arg(row));
    m_nCurPlayIndex = row;
    const AMediaFile& entry = list.at(row);
    const std::string native = entry.nativePath().toStdString();
    markRearStart(native);
    pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video : %1").arg(entry.path()));
    _currectasset = entry.URL();
    mSelectedMovieDuration = _videoPlayView->getDuration();
    m_bVideoLoading = true;
    pmWriteLog("Set movie to movie view !");
    pmWriteLog("setCurPlaylistIndex() - end !");
    pmWriteLogQ(QStringLiteral("AppDelegate - setCurPlaylistIndex -  timestamp = %1").arg(m_overlay.mode()));

    bool rearFollows = false;
    if (isDualCameraMode()) {
        const int partner = partnerOf(row);
        if (partner >= 0 && _videoPlayView2 && m_chainRows2.value(chainIndex, -1) == partner) {
            m_nCurPlayIndex2 = partner;
            const AMediaFile& rear = list.at(partner);
            _currectasset2 = rear.URL();
            setRearStart(rear.nativePath().toStdString());
            pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video 2 : %1").arg(rear.path()));
            m_sync.reset();
            rearFollows = true;
        } else if (partner >= 0) {
            setCurPlaylistIndex2(partner, true);
        } else {
            switchVideoWindow(false);
            if (_videoPlayView2)
                setCurPlaylistIndex2(-1, false);
        }
    }

    // The new recording is taken as ready, as if its own surface had just
    // reported it: the track, the slider's range, the map and the graph follow.
    QPointer<VideoPlayerView> front(_videoPlayView);
    QPointer<VideoPlayerView> rear(_videoPlayView2);
    onSurfaceReady(front.data());
    if (rearFollows && rear && rear == _videoPlayView2)
        onSurfaceReady(rear.data());
    onUpdateTitle(0);
}

// ---------------------------------------------------------------- the time-stamp overlay

// The front surface opened `native`: a rear-camera recording there carries no
// stamp of its own, so the overlay counts from its name.
void PlaybackSession::markRearStart(const std::string& native)
{
    if (pmGetCameraType(native) == kCameraRear) {
        setRearStart(native);
        m_overlay.setMode(TimeStampOverlay::Front);
    } else {
        m_overlay.setMode(TimeStampOverlay::Off);
    }
}

void PlaybackSession::setRearStart(const std::string& native)
{
    _SYSTEMTIME start = m_overlay.start();
    pmGetFileDateTime(native, start);
    m_overlay.setStart(start);
    m_overlay.setMode(TimeStampOverlay::Rear);
}

std::optional<QString> PlaybackSession::getTimeStampString()
{
    const std::optional<QString> text = timeStampStringAt(frameTime());
    if (!text)
        m_overlay.setText(QStringLiteral(" "));
    return text;
}

// Shown only while the picture it belongs to is the large one.
void PlaybackSession::checkTimeStamp()
{
    const int mode = m_overlay.mode();
    const bool visible = (mode == TimeStampOverlay::Front && !m_bSwitchVideo) ||
                         (mode == TimeStampOverlay::Rear && has2Videos() && m_bSwitchVideo);
    m_overlay.setVisible(visible);
    if (visible)
        showTimeStamp();
}

void PlaybackSession::moveTimeStamp()
{
    const bool front = m_overlay.mode() == TimeStampOverlay::Front;
    const VideoPlayerView* surface = front ? _videoPlayView.data() : _videoPlayView2.data();
    m_overlay.place(playerHost(front ? 1 : 2), surface ? surface->getVideoResolution() : QSizeF(0, 0));
}
