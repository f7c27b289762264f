#include "playback/Transport.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/Log.h"
#include "core/TrackLoader.h"
#include "views/SensorGraphic.h"

#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kTickMsecs = 500;
constexpr int kSpeedSteps = 5;
// A frame step lands a moment later; the labels, slider and map look again then.
constexpr int kFrameStepRefreshMsecs = 600;

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
} // namespace

Transport::Transport(SurfacePair& pair, CurrentTrack& track, QObject* parent)
    : QObject(parent), m_pair(pair), m_track(track)
{
}

void Transport::reset(int volume)
{
    m_bMute = false;
    m_nVolume = volume;
    m_fPlaySpeed = 1.0f;
    m_nSpeedStep = 0;
    mSelectedMovieCurrentTime = 0.0;
    mSelectedMovieDuration = 0.0;
    m_bVideoLoading = false;
}

VideoPlayerView::State Transport::state() const
{
    return m_pair.front() ? m_pair.front()->getState() : VideoPlayerView::StateNoPlayer;
}

void Transport::setTicking(bool on)
{
    if (!on) {
        if (m_tickTimer) {
            m_tickTimer->stop();
            m_tickTimer->deleteLater();
            m_tickTimer = nullptr;
        }
    } else if (!m_tickTimer) {
        m_tickTimer = new QTimer(this);
        m_tickTimer->setInterval(kTickMsecs);
        connect(m_tickTimer, &QTimer::timeout, this, &Transport::checkMovieTime);
        m_tickTimer->start();
    }
}

void Transport::showNoPlace()
{
    CurrentTrack::Place none;
    none.altitude = 65535.0f;
    none.direction = -1.0f;
    Q_EMIT placeChanged(none);
}

void Transport::mapGoTo()
{
    Q_EMIT placeChanged(m_track.placeAt(mSelectedMovieCurrentTime));
    emitSensorCursor();
}

void Transport::onPlay()
{
    if (isPlaying())
        return;
    rewindFromLastFrames();
    m_pair.setRate(m_fPlaySpeed);
}

void Transport::onPause()
{
    if (state() != VideoPlayerView::StateNoPlayer)
        m_pair.pause();
}

void Transport::onButtonPause()
{
    pmWriteLog("AppDelegate - onButtonPause()");
    onPause();
}

bool Transport::pausePlayback()
{
    bool paused = false;
    if (isPlaying()) {
        onButtonPause();
        paused = true;
    }
    Q_EMIT playingChanged(false);
    return paused;
}

void Transport::onStop()
{
    m_pair.pause();
    mSelectedMovieCurrentTime = 0;
    onStopMessage();
}

void Transport::onStopMessage()
{
    Q_EMIT playButtonReset();
    Q_EMIT positionChanged(0);
    drawTime();
    mapGoTo();
    emitSensorCursor();
}

// The last recording has ended: both cameras stay paused on their last
// frames, with the slider, time and map at the end.
void Transport::stopOnLastFrames()
{
    m_pair.pause();
    m_pair.rearToEnd();
    checkPlayButtonState(true);
    drawTime();
    Q_EMIT positionChanged(wholeSeconds(std::min(mSelectedMovieCurrentTime, mSelectedMovieDuration)));
    mapGoTo();
    emitSensorCursor();
}

// Play from the end of a recording starts both cameras from the beginning.
void Transport::rewindFromLastFrames()
{
    if (!m_pair.front() || !m_pair.front()->rewindIfAtEnd())
        return;
    m_pair.rearToStart();
    mSelectedMovieCurrentTime = 0;
}

void Transport::onButtonMute()
{
    m_bMute = !m_bMute;
    checkMute();
}

void Transport::checkMute()
{
    if (m_pair.front())
        m_pair.front()->setMuted(m_bMute);
    // The rear camera never plays sound.
    if (m_pair.rear())
        m_pair.rear()->setMuted(true);
}

void Transport::setVolume(int step)
{
    m_nVolume = qBound(0, step, 10);
    if (m_pair.front())
        m_pair.front()->setVolume(static_cast<float>(m_nVolume) / 10.0f);
}

void Transport::onButtonSpeed()
{
    m_nSpeedStep = (m_nSpeedStep + 1) % kSpeedSteps;
    setPlaySpeed(speedForStep(m_nSpeedStep));
    Q_EMIT speedChanged(m_nSpeedStep);
}

void Transport::setPlaySpeed(float speed)
{
    m_fPlaySpeed = speed;
    if (m_bVideoLoading) {
        pmWriteLog("AppDelegate - setPlaySpeed() - Video is loading, then pass it.");
        return;
    }
    if (isPlaying())
        m_pair.setRate(m_fPlaySpeed);
}

float Transport::speedForStep(int step)
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

void Transport::onSliderChanged(const Notification& n)
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

void Transport::setCurrentMovieTime(int seconds)
{
    const bool wasPlaying = isPlaying();
    if (wasPlaying)
        m_pair.pause();
    const double target = std::max(0, seconds);
    m_pair.seek(target);
    mSelectedMovieCurrentTime = target;
    if (wasPlaying)
        m_pair.setRate(m_fPlaySpeed);
}

void Transport::checkMovieTime()
{
    if (!isPlaying())
        return;
    onPlayTimerChange();
    syncSecondCamera();
}

void Transport::onPlayTimerChange()
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

void Transport::drawTime()
{
    if (m_pair.front()) {
        mSelectedMovieCurrentTime = m_pair.front()->getCurrentTime();
    } else {
        mSelectedMovieCurrentTime = 0;
        mSelectedMovieDuration = 0;
    }
    Q_EMIT timeChanged(wholeSeconds(mSelectedMovieCurrentTime), wholeSeconds(mSelectedMovieDuration));
}

bool Transport::seekBySeconds(int delta)
{
    if (!m_pair.front())
        return false;
    seekToSecond(wholeSecondsOf(m_pair.front()->getCurrentTime()) + delta);
    return true;
}

void Transport::prepareSurface(VideoPlayerView* view, bool front, bool paused) const
{
    view->setRate(paused ? 0.0f : m_fPlaySpeed);
    if (front)
        view->setVolume(static_cast<float>(m_nVolume) / 10.0f);
    view->setMuted(!front || m_bMute);
}

void Transport::openFailed()
{
    m_bVideoLoading = false;
    checkPlayButtonState(true);
    Q_EMIT seekEnabled(false);
    drawTime();
}

void Transport::announceSeekRange()
{
    const bool seekable = mSelectedMovieDuration >= 1.0;
    Q_EMIT seekRangeChanged(seekable, seekable ? pmWholeVideoSeconds(mSelectedMovieDuration) : 1);
}

void Transport::seekToGraphColumn(int graphX)
{
    if (!m_pair.front() || !m_track.gps().IsGSensorReady())
        return;
    const int sample = sensorGraphicSampleAt(graphX, m_track.gps().GetDataCount());
    if (sample < 0)
        return;
    pmWriteLogQ(
        QStringLiteral("AppDelegate - G-sensor graph clicked at %1: second %2").arg(graphX).arg(sample));
    seekToSecond(sample);
}

void Transport::seekToSecond(int seconds)
{
    if (!m_pair.front())
        return;
    const int last = wholeSecondsOf(mSelectedMovieDuration);
    const int target = last > 0 ? qBound(0, seconds, last) : qMax(0, seconds);
    setCurrentMovieTime(target);
    Q_EMIT positionChanged(target);
    drawTime();
    mapGoTo(); // also moves the G-sensor cursor
}

bool Transport::stepFrame(bool forward)
{
    if (!m_pair.front() || state() != VideoPlayerView::StatePaused)
        return false;
    m_pair.stepFrame(forward);
    // Paused, the tick does not run: show where the step landed once it has.
    QPointer<VideoPlayerView> stepped(m_pair.front());
    QTimer::singleShot(kFrameStepRefreshMsecs, this, [this, stepped] {
        if (!stepped || stepped != m_pair.front() || state() != VideoPlayerView::StatePaused)
            return;
        Q_EMIT positionChanged(wholeSecondsOf(m_pair.front()->getCurrentTime()));
        drawTime();
        mapGoTo();
    });
    return true;
}

void Transport::stepVolume(int delta)
{
    const int step = qBound(0, m_nVolume + delta, 10);
    if (step == m_nVolume)
        return;
    pmWriteSetting(SettingsKeys::volume, step);
    setVolume(step);
    Q_EMIT volumeChanged(step);
}

bool Transport::syncSecondCamera()
{
    return !m_bVideoLoading && m_pair.syncRear(m_fPlaySpeed);
}
