// Two cameras: the front recording of a pair plays in the first surface and
// its rear partner, always muted, in the second; both take the same commands,
// the pair is stepped as one, and the user can swap which is shown large.
//
// The two players are started one after the other and run on their own
// clocks, so they drift apart (start-up, seeks, decoding hiccups, rates other
// than 1). The playback tick measures the difference and closes small gaps by
// running the rear a few percent faster or slower; it seeks the rear onto the
// front only for a large gap (start-up, a stall), at most once per
// kCameraSeekInterval unless the gap is a break. An exact seek on a loaded
// machine shows as a stutter, which a speed nudge never does.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/FileListView.h"
#include "controls/ToolbarView.h"

#include "core/Log.h"
#include "views/VideoPlayerView.h"

#include <algorithm>
#include <chrono>
#include <cmath>

bool AppDelegate::has2Videos() const
{
    return m_b2VideoWindowEnable && _videoPlayView2;
}

void AppDelegate::enable2VideoWindow(bool enable)
{
    pmWriteLogQ(QStringLiteral("AppDelegate::enable2VideoWindow = %1").arg(enable ? 1 : 0));
    if (m_bSwitchVideo)
        switchVideoWindow(false);
    const bool changed = enable != m_b2VideoWindowEnable;
    m_b2VideoWindowEnable = enable;
    if (mToolbar && mToolbar->oWindowSwitchBtn())
        mToolbar->oWindowSwitchBtn()->setVisible(enable);
    const int width = static_cast<int>(m_sizeWindow.width());
    const int height = static_cast<int>(m_sizeWindow.height());
    if (changed && width != 0 && height != 0)
        relayout(m_sizeWindow.width(), m_sizeWindow.height());
}

void AppDelegate::dualSelectFile(int index, bool switchFlag)
{
    const int partner = getAnotherCameraFile(index);
    if (partner < 0) {
        switchVideoWindow(false);
        if (_videoPlayView2)
            setCurPlaylistIndex2(-1, false);
        setCurPlaylistIndex(index, true);
        return;
    }
    int first = index;
    int second = partner;
    if (checkDualCameraFileType(index) == kCameraMain) {
        if (switchFlag && m_bSwitchVideo)
            switchVideoWindow(false);
    } else {
        if (switchFlag && !m_bSwitchVideo)
            switchVideoWindow(true);
        if (mFileList)
            mFileList->setCurSel(partner, true);
        first = partner;
        second = index;
    }
    setCurPlaylistIndex(first, true);
    setCurPlaylistIndex2(second, true);
}

bool AppDelegate::dualNextFile(bool forward, bool wrap)
{
    const int current = m_nCurPlayIndex;
    const int count = static_cast<int>(mPlaylist.size());
    int target;
    if (forward) {
        target = _videoPlayView2 ? current + 2 : current + 1;
        if (target >= count)
            target = wrap ? 0 : current;
    } else if (current < 1) {
        target = wrap ? count - 1 : current;
    } else {
        target = current - 1;
        if (checkDualCameraFileType(target) == kCameraRear) {
            const int partner = getAnotherCameraFile(target);
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

void AppDelegate::setCurPlaylistIndex2(int index, bool)
{
    if (_videoPlayView2) {
        dropSurface(_videoPlayView2);
        _currectasset2 = QUrl();
    }
    m_nCurPlayIndex2 = index;
    m_nCameraSyncCount = 0;
    m_nCameraNudgeCount = 0;
    m_fRearNudge = 0;
    m_dLastCameraSeek = -1e9;
    m_dCameraQuietUntil = 0;
    if (index < 0 || index >= mPlaylist.size() || mPlaylist.at(index).URL().isEmpty())
        return;
    const AMediaFile& entry = mPlaylist.at(index);
    const std::string native = entry.nativePath().toStdString();
    if (!pmIsFileExist(native))
        return;
    pmGetFileDateTime(native, m_stRearCamTime);
    m_nShowTimeStamp = 2;
    pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video 2 : %1").arg(entry.path()));

    VideoPlayerView* view = makeSurface(playerHost(2));
    _videoPlayView2 = view;
    view->setRate(m_fPlaySpeed);
    view->setMuted(true); // before the player exists, so not even its first moment is heard
    _currectasset2 = entry.URL();
    view->loadURL(_currectasset2, false);
    view->setMuted(true);
}

void AppDelegate::handleLoadStateChanged2()
{
    moveTimeStamp();
    checkTimeStamp();
    // The rear started later than the front: bring it onto the front's time now
    // rather than a tick later.
    syncSecondCamera();
}

bool AppDelegate::syncSecondCamera()
{
    if (!has2Videos() || !_videoPlayView || m_bVideoLoading)
        return false;
    VideoPlayerView* front = _videoPlayView.data();
    VideoPlayerView* rear = _videoPlayView2.data();
    if (front->getPlayerStatus() != VideoPlayerView::StatusReadyToPlay ||
        rear->getPlayerStatus() != VideoPlayerView::StatusReadyToPlay)
        return false;
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    // A seek takes a moment to land; positions read meanwhile say nothing.
    if (now < m_dCameraQuietUntil)
        return false;
    const double frontTime = front->getitemTime();
    const double rearTime = rear->getitemTime();
    if (!std::isfinite(frontTime) || !std::isfinite(rearTime))
        return false;
    // The rear may be shorter than the front; past its end there is nothing to align.
    const double rearDuration = rear->getDuration();
    if (rearDuration > 0 && frontTime >= rearDuration)
        return false;
    const bool playing = front->getState() == VideoPlayerView::StatePlaying;
    const double gap = frontTime - rearTime; // > 0: the rear is behind
    const double rate = m_fPlaySpeed > 0 ? m_fPlaySpeed : 1.0;

    const bool seekAllowed = now - m_dLastCameraSeek >= kCameraSeekInterval;
    if (std::fabs(gap) > kCameraSeekGap && (seekAllowed || std::fabs(gap) > kCameraBreakGap || !playing)) {
        rear->seekToTime(frontTime);
        // Keep the rear's play state the front's: a seek does not start or stop it.
        if (playing)
            rear->setRate(m_fPlaySpeed);
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
    rear->setRate(static_cast<float>(rate * (1 + nudge)));
    ++m_nCameraNudgeCount;
    return false;
}

void AppDelegate::switchVideoWindow(bool switchVideo)
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
    if (m_nScreenMode == ScreenFullMap)
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

void AppDelegate::onButtonWindowSwitch()
{
    if (!mPlaylist.isEmpty() && has2Videos())
        switchVideoWindow(!m_bSwitchVideo);
}

int AppDelegate::getSwitchButtonPosition() const
{
    if (!mFileList)
        return 668;
    const QRect frame = mFileList->geometry();
    return frame.x() + (bR2L ? frame.width() : 0) - 18;
}
