// Playback of the current recording: making a playlist entry current in a
// video surface, the play bar's commands (play, pause, next, previous, mute,
// volume, speed, seek), the 0.5-second tick that moves the slider, the map and
// the G-sensor cursor, and the advance at the end of a recording.
//
// The first surface's player is the one source of the play state (getState).
// Surfaces are created per recording; a released one is torn down at once and
// deleted from the event loop, because a release can happen inside one of the
// surface's own notifications (the end of a recording opens the next one).
#include "app/AppDelegate.h"

#include "base/EventHold.h"
#include "base/SettingsKeys.h"

#include "WaitingWindow/WaitingWindow.h"
#include "app/MainWindow.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "controls/ToolbarView.h"

#include "core/Log.h"
#include "media/MediaDuration.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include <QLabel>
#include <QLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>

namespace
{
constexpr int kTickMsecs = 500;
constexpr int kSpeedSteps = 5;

void enableWidget(QWidget* w, bool enable)
{
    if (w)
        w->setEnabled(enable);
}

int wholeSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return seconds >= 2147483647.0 ? 2147483647 : static_cast<int>(seconds);
}
} // namespace

VideoPlayerView* AppDelegate::videoPlayView() const
{
    return _videoPlayView.data();
}

VideoPlayerView* AppDelegate::videoPlayView2() const
{
    return _videoPlayView2.data();
}

float AppDelegate::speedForStep(int step)
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

QWidget* AppDelegate::playerHost(int which) const
{
    if (!m_window)
        return nullptr;
    return which == 1 ? m_window->playerView() : m_window->playerView2();
}

VideoPlayerView* AppDelegate::makeSurface(QWidget* host)
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
    connect(view, &VideoPlayerView::loadFailed, this, [this, guard](const QString& reason) {
        if (guard)
            onSurfaceLoadFailed(guard.data(), reason);
    });
    // Handled from the event loop: the surface is still inside its player's
    // event handling when it reports.
    connect(view, &VideoPlayerView::playbackFailed, this, [this, guard](const QString& reason) {
        QTimer::singleShot(0, this, [this, guard, reason] {
            pmRunUnlessHeld(this, [this, guard, reason] {
                if (guard)
                    onSurfacePlaybackFailed(guard.data(), reason);
            });
        });
    });
    return view;
}

void AppDelegate::dropSurface(QPointer<VideoPlayerView>& surface)
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
void AppDelegate::onSurfaceLoadFailed(VideoPlayerView* surface, const QString& reason)
{
    if (surface == _videoPlayView.data()) {
        pmWriteLogQ(QStringLiteral("AppDelegate - open video failed : %1 - %2")
                        .arg(reason, _currectasset.toString()));
        m_bVideoLoading = false;
        mSelectedMovieIsPlaying = false;
        if (pmIsWaiting())
            pmEndWait();
        checkPlayButtonState(true);
        if (mPlayBar && mPlayBar->poTimeSlider())
            mPlayBar->poTimeSlider()->setEnabled(false);
        drawTime();
    } else if (surface == _videoPlayView2.data()) {
        pmWriteLogQ(QStringLiteral("AppDelegate - open video 2 failed : %1 - %2")
                        .arg(reason, _currectasset2.toString()));
    }
}

// A recording that stopped with an error while playing: when its file has
// gone, the folder check rebuilds the playlist; otherwise playback moves on as
// at the recording's end, instead of staying "playing" on a frozen clock.
void AppDelegate::onSurfacePlaybackFailed(VideoPlayerView* surface, const QString& reason)
{
    const bool front = surface == _videoPlayView.data();
    if (!front && surface != _videoPlayView2.data())
        return; // a surface already released
    pmWriteLogQ(QStringLiteral("AppDelegate - video failed while playing : %1 - %2")
                    .arg(reason, (front ? _currectasset : _currectasset2).toString()));
    const int failed = m_nCurPlayIndex;
    onMonitorFolder();
    if (!front || m_nCurPlayIndex != failed || _videoPlayView.data() != surface)
        return; // the playlist was rebuilt, or only the rear stopped
    mSelectedMovieIsPlaying = false;
    movieDidEnd();
}

// ---------------------------------------------------------------- making an entry current

void AppDelegate::setCurPlaylistIndex(int index, bool)
{
    const int count = static_cast<int>(mPlaylist.size());
    mSelectedMovieCurrentTime = 0;
    if (index < 0) {
        m_nShowTimeStamp = 0;
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

    if (index >= 0 && index < count && !mPlaylist.at(index).URL().isEmpty()) {
        const AMediaFile& entry = mPlaylist.at(index);
        const std::string native = entry.nativePath().toStdString();
        if (!pmIsFileExist(native)) {
            NotificationCenter::defaultCenter().post(Notifications::VideoFileIsRemoved);
            return;
        }
        if (pmGetCameraType(native) == kCameraRear) {
            pmGetFileDateTime(native, m_stRearCamTime);
            m_nShowTimeStamp = 1;
        } else {
            m_nShowTimeStamp = 0;
        }
        pmWriteLogQ(QStringLiteral("AppDelegate - ready to open video : %1").arg(entry.path()));
        m_bVideoLoading = true;

        VideoPlayerView* view = makeSurface(playerHost(1));
        _videoPlayView = view;
        view->setRate(m_fPlaySpeed);
        view->setVolume(static_cast<float>(m_nVolume) / 10.0f);
        view->setMuted(m_bMute);
        _currectasset = entry.URL();
        view->loadURL(_currectasset, true);
        apply360Mode(view, native);
        mSelectedMovieDuration = pmGetMediaDurationSeconds(native);
        mSelectedMovieIsPlaying = true;
    }

    if (_currectasset.isEmpty()) {
        if (mCheckMovieTimeTimer) {
            mCheckMovieTimeTimer->stop();
            mCheckMovieTimeTimer->deleteLater();
            mCheckMovieTimeTimer = nullptr;
        }
    } else if (!mCheckMovieTimeTimer) {
        mCheckMovieTimeTimer = new QTimer(this);
        mCheckMovieTimeTimer->setInterval(kTickMsecs);
        connect(mCheckMovieTimeTimer, &QTimer::timeout, this, &AppDelegate::checkMovieTime);
        mCheckMovieTimeTimer->start();
    }

    setVolume(m_nVolume);
    checkMute();
    checkDpadButtons(); // the pad and the head tracker follow the new surface, or its absence
    pmWriteLog("Set movie to movie view !");
    pmWriteLog("setCurPlaylistIndex() - end !");
    pmWriteLogQ(QStringLiteral("AppDelegate - setCurPlaylistIndex -  timestamp = %1").arg(m_nShowTimeStamp));
}

void AppDelegate::movieLoadStateChanged(const Notification& n)
{
    QObject* object = n.object.value<QObject*>();
    if (!object)
        return;
    if (object == _videoPlayView.data()) {
        handleLoadStateChanged();
        if (_videoPlayView)
            _videoPlayView->relayout(_videoPlayView->rect());
    } else if (object == _videoPlayView2.data()) {
        handleLoadStateChanged2();
        if (_videoPlayView2)
            _videoPlayView2->relayout(_videoPlayView2->rect());
    }
}

void AppDelegate::handleLoadStateChanged()
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
    if (mPlayBar)
        enableWidget(mPlayBar->poSpeedBtn(), true);
    onButtonPlay();
    if (pmIsWaiting())
        pmEndWait();
}

// ---------------------------------------------------------------- state

AppDelegate::PlayState AppDelegate::playState() const
{
    if (!_videoPlayView)
        return PlayStateStopped;
    return static_cast<PlayState>(_videoPlayView->getState());
}

int AppDelegate::getState()
{
    return playState();
}

void AppDelegate::onPlayBarButtonClicked(const Notification& n)
{
    const int code = n.object.toInt();
    switch (code) {
    case PlayControlView::CmdPlay:
        onButtonPlay();
        break;
    case PlayControlView::CmdPause:
        onButtonPause();
        break;
    case PlayControlView::CmdNext:
        onButtonNext(1);
        break;
    case PlayControlView::CmdPrevious:
        onButtonPrev();
        break;
    case PlayControlView::CmdMute:
        onButtonMute();
        break;
    case PlayControlView::CmdSpeed:
        onButtonSpeed();
        break;
    case PlayControlView::CmdFullScreen:
        onButtonPlayFullScreen();
        break;
    case PlayControlView::CmdDpadUp:
    case PlayControlView::CmdDpadDown:
    case PlayControlView::CmdDpadLeft:
    case PlayControlView::CmdDpadRight:
    case PlayControlView::CmdDpadReset:
        onButtonDpad(code);
        break;
    default:
        break;
    }
}

void AppDelegate::onPlay()
{
    if (getState() == PlayStatePlaying)
        return;
    if (_videoPlayView)
        _videoPlayView->setRate(m_fPlaySpeed);
    if (has2Videos()) {
        _videoPlayView2->setRate(m_fPlaySpeed);
        m_fRearNudge = 0;
    }
}

void AppDelegate::onPause()
{
    const int state = getState();
    if (state != PlayStatePlaying && state != PlayStatePaused)
        return;
    if (_videoPlayView)
        _videoPlayView->onPause();
    if (has2Videos())
        _videoPlayView2->onPause();
}

void AppDelegate::onButtonPlay()
{
    pmWriteLog("AppDelegate - onButtonPlay()");
    if (getState() == PlayStateStopped && !mPlaylist.isEmpty() && mFileList) {
        const int selection = mFileList->getCurSel();
        if (selection >= 0 && selection < mPlaylist.size()) {
            dblClickFile(selection);
            return;
        }
    }
    checkPlayButtonState(false);
    onPlay();
}

void AppDelegate::onButtonPause()
{
    pmWriteLog("AppDelegate - onButtonPause()");
    onPause();
}

bool AppDelegate::pausePlayback()
{
    bool paused = false;
    if (getState() == PlayStatePlaying) {
        onButtonPause();
        paused = true;
    }
    if (mPlayBar && mPlayBar->poPlayBtn() && mPlayBar->poPlayBtn()->getCurButtonIndex() != 0)
        mPlayBar->poPlayBtn()->setButtonIndex(0);
    return paused;
}

void AppDelegate::onStop()
{
    if (_videoPlayView)
        _videoPlayView->onPause();
    if (has2Videos())
        _videoPlayView2->onPause();
    mSelectedMovieCurrentTime = 0;
    onStopMessage();
}

void AppDelegate::onStopMessage()
{
    Slider* slider = mPlayBar ? mPlayBar->poTimeSlider() : nullptr;
    if (mPlayBar && mPlayBar->poPlayBtn())
        mPlayBar->poPlayBtn()->resetButtonState();
    if (slider)
        slider->setCurrentValue(0);
    drawTime();
    mapGoTo();
    if (mGSensorView)
        mGSensorView->drawIndicator(slider ? slider->getCurrentIndicatorPos() : 0, m_nSensorX, m_nSensorY,
                                    m_nSensorZ);
}

void AppDelegate::onButtonNext(int wrap)
{
    const int count = static_cast<int>(mPlaylist.size());
    if (count < 2)
        return;
    int base = m_nCurPlayIndex;
    if (base < 0)
        base = mFileList ? mFileList->getCurSel() : -1;
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

void AppDelegate::onButtonPrev()
{
    const int count = static_cast<int>(mPlaylist.size());
    if (count < 2)
        return;
    int base = m_nCurPlayIndex;
    if (base < 0)
        base = mFileList ? mFileList->getCurSel() : -1;
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

void AppDelegate::onVideoEnd(const Notification&)
{
    movieDidEnd();
}

void AppDelegate::movieDidEnd()
{
    pmWriteLog("AppDelegate::movieDidEnd");
    if (m_nCurPlayIndex + 1 < mPlaylist.size())
        onButtonNext(0);
    else
        onStop();
}

void AppDelegate::onButtonMute()
{
    m_bMute = !m_bMute;
    checkMute();
}

void AppDelegate::checkMute()
{
    if (_videoPlayView)
        _videoPlayView->setMuted(m_bMute);
    // The rear camera never plays sound.
    if (_videoPlayView2)
        _videoPlayView2->setMuted(true);
}

void AppDelegate::setVolume(int step)
{
    m_nVolume = qBound(0, step, 10);
    if (_videoPlayView)
        _videoPlayView->setVolume(static_cast<float>(m_nVolume) / 10.0f);
}

void AppDelegate::onButtonSpeed()
{
    MultiButtons* button = mPlayBar ? mPlayBar->poSpeedBtn() : nullptr;
    // Without a play bar the controller keeps the step itself.
    m_nSpeedStep = button ? button->getCurButtonIndex() : (m_nSpeedStep + 1) % kSpeedSteps;
    setPlaySpeed(speedForStep(m_nSpeedStep));
}

void AppDelegate::setPlaySpeed(float speed)
{
    m_fPlaySpeed = speed;
    if (m_bVideoLoading) {
        pmWriteLog("AppDelegate - setPlaySpeed() - Video is loading, then pass it.");
        return;
    }
    if (getState() == PlayStatePlaying) {
        _videoPlayView->setRate(m_fPlaySpeed);
        if (has2Videos()) {
            _videoPlayView2->setRate(m_fPlaySpeed);
            m_fRearNudge = 0;
        }
    }
}

void AppDelegate::onSliderChanged(const Notification& n)
{
    const QString type = n.userInfo.value(QStringLiteral("SLIDER_TYPE")).toString();
    const int value = n.object.toInt();
    if (type == QLatin1String("volume")) {
        pmSetIntSetting(SettingsKey::volume(), value);
        setVolume(value);
    } else if (type == QLatin1String("time")) {
        setCurrentMovieTime(value);
        Slider* slider = mPlayBar ? mPlayBar->poTimeSlider() : nullptr;
        if (mGSensorView)
            mGSensorView->drawIndicator(slider ? slider->getCurrentIndicatorPos() : 0, m_nSensorX, m_nSensorY,
                                        m_nSensorZ);
        drawTime();
        mapGoTo();
    }
}

void AppDelegate::setCurrentMovieTime(int seconds)
{
    const bool wasPlaying = getState() == PlayStatePlaying;
    if (wasPlaying) {
        mSelectedMovieIsPlaying = false;
        _videoPlayView->onPause();
        if (has2Videos())
            _videoPlayView2->onPause();
    }
    const double target = std::max(0, seconds);
    if (_videoPlayView)
        _videoPlayView->seekToTime(target);
    if (has2Videos()) {
        _videoPlayView2->seekToTime(target);
        // Both jumped together: let the seeks land before the pair is
        // measured again; the rear's own seeks count afresh from here.
        const double now =
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        m_dLastCameraSeek = -1e9;
        m_dCameraQuietUntil = now + kCameraSeekSettle;
    }
    mSelectedMovieCurrentTime = target;
    if (wasPlaying) {
        if (_videoPlayView)
            _videoPlayView->setRate(m_fPlaySpeed);
        if (has2Videos()) {
            _videoPlayView2->setRate(m_fPlaySpeed);
            m_fRearNudge = 0;
        }
        mSelectedMovieIsPlaying = true;
    }
}

// ---------------------------------------------------------------- tick and time display

void AppDelegate::checkMovieTime()
{
    if (getState() != PlayStatePlaying)
        return;
    onPlayTimerChange();
    syncSecondCamera();
}

void AppDelegate::onPlayTimerChange()
{
    drawTime();
    double position = mSelectedMovieCurrentTime;
    if (position > mSelectedMovieDuration)
        position = mSelectedMovieDuration;
    if (!(position >= 0))
        position = 0;
    Slider* slider = mPlayBar ? mPlayBar->poTimeSlider() : nullptr;
    if (slider)
        slider->setCurrentValue(wholeSeconds(position));
    if (mGSensorView)
        mGSensorView->drawIndicator(slider ? slider->getCurrentIndicatorPos() : 0, m_nSensorX, m_nSensorY,
                                    m_nSensorZ);
    mapGoTo();
}

void AppDelegate::drawTime()
{
    if (_videoPlayView) {
        mSelectedMovieCurrentTime = _videoPlayView->getCurrentTime();
    } else {
        mSelectedMovieCurrentTime = 0;
        mSelectedMovieDuration = 0;
    }
    if (mPlayBar)
        mPlayBar->SetPlayTime(wholeSeconds(mSelectedMovieCurrentTime), wholeSeconds(mSelectedMovieDuration),
                              true);
    if (mTimeStamp && !mTimeStamp->isHidden())
        showTimeStamp();
}

// ---------------------------------------------------------------- play bar upkeep

void AppDelegate::checkPlayButtonState(bool showPlay)
{
    MultiButtons* button = mPlayBar ? mPlayBar->poPlayBtn() : nullptr;
    if (!button)
        return;
    const int index = showPlay ? 0 : 1;
    if (button->getCurButtonIndex() != index)
        button->setButtonIndex(index);
}

void AppDelegate::resetCtrl()
{
    if (!mPlayBar)
        return;
    if (Slider* slider = mPlayBar->poTimeSlider()) {
        slider->setCurrentValue(0);
        slider->setEventMarkPos(-1);
    }
    if (mPlayBar->poPlayBtn())
        mPlayBar->poPlayBtn()->resetButtonState();
    if (mPlayBar->poPlayRevBtn())
        mPlayBar->poPlayRevBtn()->resetButtonState();
}

void AppDelegate::enableMediaButton(bool enable)
{
    if (mPlayBar) {
        enableWidget(mPlayBar->poPlayBtn(), enable);
        enableWidget(mPlayBar->poPrevBtn(), enable);
        enableWidget(mPlayBar->poNextBtn(), enable);
        enableWidget(mPlayBar->poPlayRevBtn(), enable);
        enableWidget(mPlayBar->poSpeedBtn(), enable);
        enableWidget(mPlayBar->poTimeSlider(), enable);
        if (enable)
            enableWidget(mPlayBar->poFullScreenBtn(), true);
    }
    if (mToolbar) {
        enableWidget(mToolbar->oBackupBtn(), enable);
        enableWidget(mToolbar->oUploadYouTubeBtn(), enable);
        enableWidget(mToolbar->oUploadFacebookBtn(), enable);
        const bool open = enable && getState() != PlayStateStopped;
        enableWidget(mToolbar->oPrintBtn(), open);
        enableWidget(mToolbar->oCaptureBtn(), open);
        enableWidget(mToolbar->oExportBtn(), enable && m_poGpsList.IsGPSReady());
    }
}
