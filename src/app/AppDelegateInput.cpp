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
#include "playback/HarshMarks.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/SensorGraphic.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <cmath>

// ---------------------------------------------------------------- keys

namespace
{
// The zoom keys act on the camera picture under the mouse, else on camera 1's.
VideoPlayerView* zoomTarget(VideoPlayerView* first, VideoPlayerView* second)
{
    for (QWidget* w = QApplication::widgetAt(QCursor::pos()); w; w = w->parentWidget()) {
        if (w == first || w == second)
            return static_cast<VideoPlayerView*>(w);
    }
    return first;
}
} // namespace

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
        if (getState() == VideoPlayerView::StatePlaying) {
            onButtonPause();
            m_playback->transport().checkPlayButtonState(true);
        } else {
            onButtonPlay();
        }
        return true;
    case PlayerKey::SeekBack:
    case PlayerKey::SeekForward:
        return m_playback->transport().seekBySeconds(
            command == PlayerKey::SeekForward ? kPlayerKeySeekSeconds : -kPlayerKeySeekSeconds);
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
        if (playBar())
            playBar()->SetMute(isMuted());
        return true;
    case PlayerKey::FullScreen:
        if (screenMode() == ScreenFullMap)
            return leaveFullScreen();
        onButtonPlayFullScreen();
        if (playBar() && playBar()->poFullScreenBtn())
            playBar()->poFullScreenBtn()->setButtonIndex(screenMode() == ScreenFullVideo ? 1 : 0);
        return true;
    case PlayerKey::LeaveFullScreen:
        return leaveFullScreen();
    case PlayerKey::NextMark:
    case PlayerKey::PreviousMark:
        return m_harshMarks->jump(command == PlayerKey::NextMark);
    case PlayerKey::SaveClip:
        onSaveClip();
        return true;
    case PlayerKey::ZoomIn:
    case PlayerKey::ZoomOut:
    case PlayerKey::ZoomReset:
        if (VideoPlayerView* surface = zoomTarget(m_playback->videoPlayView(), m_playback->videoPlayView2()))
            return surface->runZoomKey(command);
        return false;
    case PlayerKey::None:
        break;
    }
    return false;
}

// ---------------------------------------------------------------- folders

void AppDelegate::openFolder(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    pmWriteLogQ(QStringLiteral("AppDelegate - openFolder() - %1").arg(folder));
    pmSetCurrentFolder(folder);
    m_archive->openFolder(folder); // a card is built at once, an archive once its catalogue is read
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
