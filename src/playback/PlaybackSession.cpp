// The playback session (see PlaybackSession.h): the current rows, the play
// state and the play bar's commands, the tick, two cameras, the time-stamp
// overlay's mode and the player's keys. The session's side of the current
// track (what the map and the graph are given) is in RecordingTrack.cpp.
#include "playback/PlaybackSession.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/Log.h"
#include "core/TrackLoader.h"
#include "core/TripChain.h"

#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

PlaybackSession::PlaybackSession(QObject* parent) : QObject(parent)
{
    connect(&m_pair, &SurfacePair::ready, this, &PlaybackSession::onSurfaceReady);
    connect(&m_pair, &SurfacePair::frontEnded, this, &PlaybackSession::movieDidEnd);
    connect(&m_pair, &SurfacePair::loadFailed, this, &PlaybackSession::onSurfaceLoadFailed);
    connect(&m_pair, &SurfacePair::playbackFailed, this, &PlaybackSession::onSurfacePlaybackFailed);
    connect(&m_pair, &SurfacePair::recordingEntered, this, &PlaybackSession::onRecordingEntered);
    // The stamp over the picture follows the time shown.
    connect(&m_transport, &Transport::timeChanged, this, [this] {
        if (m_overlay.isShown())
            showTimeStamp();
    });
}

PlaybackSession::~PlaybackSession() = default;

// ---------------------------------------------------------------- wiring

void PlaybackSession::setSources(Sources sources)
{
    m_sources = std::move(sources);
    m_track.setAttachedReader(m_sources.attachedTrack);
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

// A recording that cannot be played ends its opening here: nothing will report
// it ready, so the controller must not keep waiting for that. The surface
// itself shows the reason over its black area.
void PlaybackSession::onSurfaceLoadFailed(int camera, const QString& reason)
{
    if (camera == 1) {
        pmWriteLogQ(QStringLiteral("AppDelegate - open video failed : %1 - %2")
                        .arg(reason, m_pair.asset(1).toString()));
        m_transport.setLoading(false);
        if (pmIsWaiting())
            pmEndWait();
        m_transport.checkPlayButtonState(true);
        Q_EMIT seekEnabled(false);
        m_transport.drawTime();
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
    const QList<AMediaFile> list = playlist();
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
        view->setRate(m_bOpenPaused ? 0.0f : m_transport.playSpeed());
        view->setVolume(static_cast<float>(m_transport.volume()) / 10.0f);
        view->setMuted(m_transport.isMuted());
        m_view360.recordingOpened(view, native, true);
        checkDpadButtons();
        // The slider's range and the track's padding wait for the
        // recording's length, a trip's timeline for every member's.
        m_transport.setDuration(0);
        m_pair.openFront(chainFrom(index, list), list,
                         [this](double length) { m_transport.setDuration(length); });
    }
    if (!m_pair.isFrontProbing())
        m_pair.openWaitingRear();

    m_transport.setTicking(!m_pair.asset(1).isEmpty());
    m_transport.setVolume(m_transport.volume());
    m_transport.checkMute();
    checkDpadButtons(); // the pad and the head tracker follow the new surface, or its absence
    pmWriteLog("Set movie to movie view !");
    pmWriteLog("setCurPlaylistIndex() - end !");
    pmWriteLogQ(QStringLiteral("AppDelegate - setCurPlaylistIndex -  timestamp = %1").arg(m_overlay.mode()));
}

void PlaybackSession::onSurfaceReady(int camera)
{
    if (camera == 1)
        handleLoadStateChanged();
    else
        handleLoadStateChanged2();
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

// ---------------------------------------------------------------- commands

void PlaybackSession::onPlay()
{
    if (!isPlaying())
        m_bPreviewing = false; // Play before a preview was ready: it plays
    m_transport.onPlay();
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
    m_transport.checkPlayButtonState(false);
    onPlay();
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
    m_transport.setCurrentTime(0);
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
        m_transport.stopOnLastFrames();
        return;
    }
    if (m_nCurPlayIndex + 1 < playlist().size())
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
    const int count = static_cast<int>(playlist().size());
    if (row < 0 || row >= count || isPlaying())
        return;
    if (m_pair.front() && (row == m_nCurPlayIndex || (has2Videos() && row == m_nCurPlayIndex2)))
        return;
    pmWriteLogQ(QStringLiteral("AppDelegate - preview : %1").arg(row));
    resetCtrl();
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

// Nothing follows the recording that ended: auto-advance does not wrap, and
// with two cameras the open rear partner is not a next recording.
bool PlaybackSession::isLastRecordingEnded() const
{
    const int count = static_cast<int>(playlist().size());
    const int next = isDualCameraMode() && m_pair.rear() ? m_nCurPlayIndex + 2 : m_nCurPlayIndex + 1;
    return next >= count;
}

// ---------------------------------------------------------------- tick and time display

// ---------------------------------------------------------------- play bar upkeep

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
    const int partner = partnerOf(index);
    if (partner < 0) {
        switchVideoWindow(false);
        if (m_pair.rear())
            setCurPlaylistIndex2(-1, false);
        setCurPlaylistIndex(index, true);
        return;
    }
    int first = index;
    int second = partner;
    if (cameraTypeOf(index) == kCameraMain) {
        if (switchFlag && m_pair.isSwitched())
            switchVideoWindow(false);
    } else {
        if (switchFlag && !m_pair.isSwitched())
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
        target = m_pair.rear() ? current + 2 : current + 1;
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
        m_transport.onStop();
        return false;
    }
    dualSelectFile(target, false);
    return true;
}

void PlaybackSession::setCurPlaylistIndex2(int index, bool)
{
    m_pair.release(2);
    m_nCurPlayIndex2 = index;
    const QList<AMediaFile> list = playlist();
    if (index < 0 || index >= list.size() || list.at(index).URL().isEmpty())
        return;
    const AMediaFile& entry = list.at(index);
    const std::string native = entry.nativePath().toStdString();
    if (!pmIsFileExist(native))
        return;
    m_overlay.recordingOpened(2, native);
    pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video 2 : %1").arg(entry.path()));

    VideoPlayerView* view = m_pair.make(2, entry.URL());
    view->setRate(m_bOpenPaused ? 0.0f : m_transport.playSpeed());
    view->setMuted(true); // before the player exists, so not even its first moment is heard
    m_pair.openRear(index, list, [this](int row) { return partnerOf(row); });
}

void PlaybackSession::handleLoadStateChanged2()
{
    moveTimeStamp();
    checkTimeStamp();
    // The rear started later than the front: bring it onto the front's time now
    // rather than a tick later.
    m_transport.syncSecondCamera();
}

void PlaybackSession::switchVideoWindow(bool switchVideo)
{
    pmWriteLogQ(QStringLiteral("AppDelegate - switchVideoWindow for timestamp - switch = %1")
                    .arg(switchVideo ? 1 : 0));
    const bool mapFull = m_sources.mapFullScreen && m_sources.mapFullScreen();
    const bool exchanged = m_pair.switchPictures(switchVideo, mapFull);
    checkTimeStamp();
    checkDpadButtons();
    if (!exchanged)
        return;
    moveTimeStamp();
    showTimeStamp();
}

void PlaybackSession::onButtonWindowSwitch()
{
    if (!playlist().isEmpty() && has2Videos())
        switchVideoWindow(!m_pair.isSwitched());
}

void PlaybackSession::onMenu360View()
{
    if (m_view360.toggle(videoPlayView()))
        checkDpadButtons();
}

void PlaybackSession::onUpdateTitle(int flag)
{
    if (m_nCurPlayIndex == -1)
        return;
    const VideoPlayerView::State state = this->state();
    if (state == VideoPlayerView::StatePlaying) {
        Q_EMIT currentRowShown(m_nCurPlayIndex, true);
        m_transport.checkPlayButtonState(false);
    } else if (state == VideoPlayerView::StatePaused) {
        Q_EMIT currentRowShown(m_nCurPlayIndex, true);
        m_transport.drawTime();
        m_transport.checkPlayButtonState(true);
    } else {
        Q_EMIT currentRowShown(m_nCurPlayIndex, flag == 1);
        m_transport.checkPlayButtonState(true);
    }
}

// ---------------------------------------------------------------- keys and the G-sensor graph

// ---------------------------------------------------------------- keys and the G-sensor graph

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

// Playback ran from one recording of a chain into the next (or a frame step
// went back into the one before): the application follows as if that
// recording had been opened at the end of the other one, without touching
// the surfaces. The rear camera's chain carries on by itself; where it holds
// no partner for the new recording, the rear is opened (or released) the
// ordinary way.
void PlaybackSession::onRecordingEntered(int chainIndex)
{
    const QList<AMediaFile> list = playlist();
    const int row = m_pair.chainRows(1).value(chainIndex, -1);
    if (row < 0 || row >= list.size() || row == m_nCurPlayIndex)
        return;
    pmWriteLog("AppDelegate::movieDidEnd");
    resetCtrl();
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
        const int partner = partnerOf(row);
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

// ---------------------------------------------------------------- the time-stamp overlay

std::optional<QString> PlaybackSession::getTimeStampString()
{
    const std::optional<QString> text = timeStampStringAt(frameTime());
    if (!text)
        m_overlay.setText(QStringLiteral(" "));
    return text;
}

void PlaybackSession::checkTimeStamp()
{
    m_overlay.check(m_pair, frameTime(), m_track.gps(), isOpen());
}
