#include "playback/CameraSync.h"

#include "views/VideoPlayerView.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace
{
double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

void CameraSync::reset()
{
    m_nCameraSyncCount = 0;
    m_nCameraNudgeCount = 0;
    m_fRearNudge = 0;
    m_dLastCameraSeek = -1e9;
    m_dCameraQuietUntil = 0;
}

void CameraSync::bothSought()
{
    m_dLastCameraSeek = -1e9;
    m_dCameraQuietUntil = steadySeconds() + kCameraSeekSettle;
}

bool CameraSync::sync(VideoPlayerView& front, VideoPlayerView& rear, float playSpeed)
{
    const double now = steadySeconds();
    // A seek takes a moment to land; positions read meanwhile say nothing.
    if (now < m_dCameraQuietUntil)
        return false;
    // Around a join of a trip one camera is in the next recording a moment
    // before the other: their times are of different recordings.
    if (front.chainIndex() != rear.chainIndex())
        return false;
    const double frontTime = front.getitemTime();
    const double rearTime = rear.getitemTime();
    if (!std::isfinite(frontTime) || !std::isfinite(rearTime))
        return false;
    // The rear may be shorter than the front; past its end there is nothing to align.
    const double rearDuration = rear.getDuration();
    if (rearDuration > 0 && frontTime >= rearDuration)
        return false;
    const bool playing = front.getState() == VideoPlayerView::StatePlaying;
    const double gap = frontTime - rearTime; // > 0: the rear is behind
    const double rate = playSpeed > 0 ? playSpeed : 1.0;

    const bool seekAllowed = now - m_dLastCameraSeek >= kCameraSeekInterval;
    if (std::fabs(gap) > kCameraSeekGap && (seekAllowed || std::fabs(gap) > kCameraBreakGap || !playing)) {
        rear.seekToTime(frontTime);
        // Keep the rear's play state the front's: a seek does not start or stop it.
        if (playing)
            rear.setRate(playSpeed);
        m_fRearNudge = 0;
        m_dLastCameraSeek = now;
        m_dCameraQuietUntil = now + kCameraSeekSettle;
        ++m_nCameraSyncCount;
        return true;
    }
    if (!playing)
        return false;
    // Small gaps are closed by running the rear a little faster or slower:
    // aim to close the gap within about a second of play, by at most a few
    // percent (more only while a seek is not allowed yet), and leave a gap
    // smaller than a frame's worth of reading noise alone.
    double nudge = 0;
    if (std::fabs(gap) > kCameraNudgeDeadband) {
        const double limit = std::fabs(gap) > kCameraSeekGap ? 2 * kCameraMaxNudge : kCameraMaxNudge;
        nudge = std::clamp(gap / rate, -limit, limit);
    }
    if (std::fabs(nudge - m_fRearNudge) < 0.005)
        return false; // the rear already runs at about this speed
    m_fRearNudge = nudge;
    rear.setRate(static_cast<float>(rate * (1 + nudge)));
    ++m_nCameraNudgeCount;
    return false;
}
