// Input that does not come through a panel's notification: the player's keys
// (passed on by the main window when no text field or combo box wanted them),
// a click on the G-sensor graph, and a folder named on the command line or
// dropped onto the window. Every command here goes through the same
// controller methods as the play bar's buttons and sliders, so a key and its
// button cannot behave differently.
// Main thread only.
#include "app/AppDelegate.h"

#include "base/PlayerKeys.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "core/Log.h"
#include "core/TrackLoader.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/SensorGraphic.h"
#include "views/VideoPlayerView.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <cmath>

namespace
{
// A frame step lands a moment later; the labels, slider and map look again then.
constexpr int kFrameStepRefreshMsecs = 600;

int wholeSecondsOf(double seconds)
{
    return std::isfinite(seconds) && seconds > 0 ? pmWholeVideoSeconds(seconds) : 0;
}
} // namespace

// ---------------------------------------------------------------- keys

bool AppDelegate::handlePlayerKey(const QKeyEvent& event)
{
    const PlayerKey command = pmPlayerKeyFor(event.key(), event.modifiers());
    if (command == PlayerKey::None)
        return false;
    if (event.isAutoRepeat() && !pmPlayerKeyRepeats(command))
        return true; // held down: the toggle happened once, on the first press
    return runPlayerKey(command);
}

bool AppDelegate::runPlayerKey(PlayerKey command)
{
    switch (command) {
    case PlayerKey::PlayPause:
        if (_videoPlayView && getState() == PlayStatePlaying) {
            onButtonPause();
            checkPlayButtonState(true);
        } else {
            onButtonPlay();
        }
        return true;
    case PlayerKey::SeekBack:
    case PlayerKey::SeekForward:
        if (!_videoPlayView)
            return false;
        seekToSecond(wholeSecondsOf(_videoPlayView->getCurrentTime()) +
                     (command == PlayerKey::SeekForward ? kPlayerKeySeekSeconds : -kPlayerKeySeekSeconds));
        return true;
    case PlayerKey::FrameBack:
    case PlayerKey::FrameForward:
        return stepFrame(command == PlayerKey::FrameForward);
    case PlayerKey::PreviousRecording:
        onButtonPrev();
        return true;
    case PlayerKey::NextRecording:
        onButtonNext(1);
        return true;
    case PlayerKey::VolumeUp:
        stepVolume(1);
        return true;
    case PlayerKey::VolumeDown:
        stepVolume(-1);
        return true;
    case PlayerKey::Mute:
        onButtonMute();
        if (mPlayBar)
            mPlayBar->SetMute(m_bMute);
        return true;
    case PlayerKey::FullScreen:
        if (m_nScreenMode == ScreenFullMap)
            return leaveFullScreen();
        onButtonPlayFullScreen();
        if (mPlayBar && mPlayBar->poFullScreenBtn())
            mPlayBar->poFullScreenBtn()->setButtonIndex(m_nScreenMode == ScreenFullVideo ? 1 : 0);
        return true;
    case PlayerKey::LeaveFullScreen:
        return leaveFullScreen();
    case PlayerKey::EventMark:
        if (!_videoPlayView || m_nEventTime < 0)
            return false;
        seekToSecond(m_nEventTime);
        return true;
    case PlayerKey::None:
        break;
    }
    return false;
}

void AppDelegate::seekToSecond(int seconds)
{
    if (!_videoPlayView)
        return;
    const int last = wholeSecondsOf(mSelectedMovieDuration);
    const int target = last > 0 ? qBound(0, seconds, last) : qMax(0, seconds);
    setCurrentMovieTime(target);
    if (Slider* slider = mPlayBar ? mPlayBar->poTimeSlider() : nullptr)
        slider->setCurrentValue(target);
    drawTime();
    mapGoTo(); // also moves the G-sensor cursor
}

bool AppDelegate::stepFrame(bool forward)
{
    if (!_videoPlayView || getState() != PlayStatePaused)
        return false;
    _videoPlayView->stepFrame(forward);
    if (has2Videos())
        _videoPlayView2->stepFrame(forward);
    // Paused, the tick does not run: show where the step landed once it has.
    QPointer<VideoPlayerView> stepped(_videoPlayView);
    QTimer::singleShot(kFrameStepRefreshMsecs, this, [this, stepped] {
        if (!stepped || stepped != _videoPlayView || getState() != PlayStatePaused)
            return;
        const int now = wholeSecondsOf(_videoPlayView->getCurrentTime());
        if (Slider* slider = mPlayBar ? mPlayBar->poTimeSlider() : nullptr)
            slider->setCurrentValue(now);
        drawTime();
        mapGoTo();
    });
    return true;
}

void AppDelegate::stepVolume(int delta)
{
    const int step = qBound(0, m_nVolume + delta, 10);
    if (step == m_nVolume)
        return;
    pmSetIntSetting(SettingsKey::volume(), step);
    setVolume(step);
    if (mPlayBar)
        mPlayBar->SetVolume(step);
}

bool AppDelegate::leaveFullScreen()
{
    if (m_nScreenMode == ScreenFullMap) {
        // Through the map's own button, so its image and state come back too.
        if (mMapView)
            mMapView->OnButtonFullMap();
        else
            onButtonMapFullScreen();
    } else if (m_nScreenMode == ScreenFullVideo) {
        onButtonPlayFullScreen();
    } else {
        return false;
    }
    if (mPlayBar && mPlayBar->poFullScreenBtn())
        mPlayBar->poFullScreenBtn()->setButtonIndex(0);
    return true;
}

// ---------------------------------------------------------------- G-sensor graph

void AppDelegate::onGSensorGraphClicked(int graphX)
{
    if (!_videoPlayView || !m_poGpsList.IsGSensorReady())
        return;
    const int sample = sensorGraphicSampleAt(graphX, m_poGpsList.GetDataCount());
    if (sample < 0)
        return;
    pmWriteLogQ(
        QStringLiteral("AppDelegate - G-sensor graph clicked at %1: second %2").arg(graphX).arg(sample));
    seekToSecond(sample);
}

// ---------------------------------------------------------------- folders

void AppDelegate::openFolder(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    pmWriteLogQ(QStringLiteral("AppDelegate - openFolder() - %1").arg(folder));
    m_library->setCurrentFolder(folder);
    buildVideoLibrary(folder);
    pmSetCurrentFolder(folder);
}

QString AppDelegate::folderFromArguments(const QStringList& arguments, QString* error)
{
    if (error)
        error->clear();
    QStringList names;
    bool optionsEnded = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // Options are the toolkit's own (it has taken those it knows).
        if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1)
            continue;
        names.append(a);
    }
    if (names.isEmpty())
        return QString();
    if (names.size() > 1) {
        if (error)
            *error = QStringLiteral("only one folder can be opened");
        return QString();
    }
    const QFileInfo info(names.first());
    if (!info.isDir()) {
        if (error)
            *error = QStringLiteral("%1: not a folder").arg(names.first());
        return QString();
    }
    return QDir::cleanPath(info.absoluteFilePath());
}
