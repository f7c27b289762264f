// The controller's playback names, each handed to the playback session
// (playback/PlaybackSession.h), and the play bar's command dispatch.
#include "app/AppDelegate.h"

#include "app/WindowController.h"
#include "core/Log.h"

#include "controls/DpadView.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "playback/PlaybackSession.h"
#include "views/MapView.h"

// clang-format off
void AppDelegate::setCurPlaylistIndex(int index, bool autoPlay) { m_playback->setCurPlaylistIndex(index, autoPlay); }
void AppDelegate::setCurPlaylistIndex2(int index, bool autoPlay) { m_playback->setCurPlaylistIndex2(index, autoPlay); }
bool AppDelegate::pausePlayback() { return m_playback->pausePlayback(); }
void AppDelegate::hideTimeStamp() { m_playback->overlay().setVisible(false); }
void AppDelegate::onSliderChanged(const Notification& n) { m_playback->transport().onSliderChanged(n); }
void AppDelegate::onMapViewReady(const Notification&)
{
    pmWriteLog("AppDelegate - onMapViewReady()");
    if (MapView* map = mapView(); map && !map->IsOnLine())
        map->LoadMap();
    m_playback->onMapViewReady();
}
const GpsData* AppDelegate::getCurGpsData() const { return m_playback->track().sampleAt(m_playback->transport().currentTime()); }
VideoPlayerView::State AppDelegate::playState() const { return m_playback->state(); }
int AppDelegate::getCurPlayIndex() const { return m_playback->curPlayIndex(); }
int AppDelegate::getCurPlayIndex2() const { return m_playback->curPlayIndex2(); }
void AppDelegate::onPlay() { m_playback->onPlay(); }
void AppDelegate::onPause() { m_playback->transport().onPause(); }
void AppDelegate::onButtonPlay() { m_playback->onButtonPlay(); }
void AppDelegate::onButtonPause() { m_playback->transport().onButtonPause(); }
void AppDelegate::onButtonNext(int wrap) { m_playback->onButtonNext(wrap); }
void AppDelegate::onButtonPrev() { m_playback->onButtonPrev(); }
void AppDelegate::onButtonMute() { m_playback->transport().onButtonMute(); }
void AppDelegate::onButtonSpeed() { m_playback->transport().onButtonSpeed(); }
void AppDelegate::onButtonDpad(int command) { m_playback->view360().turnNow(command); }
void AppDelegate::setPlaySpeed(float speed) { m_playback->transport().setPlaySpeed(speed); }
void AppDelegate::setVolume(int step) { m_playback->transport().setVolume(step); }
void AppDelegate::drawTime() { m_playback->transport().drawTime(); }
void AppDelegate::enableMediaButton(bool enable) { m_playback->enableMediaButton(enable); }
void AppDelegate::checkDpadButtons() { m_playback->view360().updateNow(); }
void AppDelegate::onMenu360View() { m_playback->view360().toggleNow(); }
int AppDelegate::view360State() const { return m_playback->view360().stateNow(); }
DpadView* AppDelegate::dpadView() const { return m_windows->panels().dpad.data(); }
float AppDelegate::speedForStep(int step) { return Transport::speedForStep(step); }
bool AppDelegate::isDualCameraMode() const { return m_playback->isDualCameraMode(); }
bool AppDelegate::has2Videos() const { return m_playback->has2Videos(); }
void AppDelegate::enable2VideoWindow(bool enable) { m_playback->enable2VideoWindow(enable); }
void AppDelegate::dualSelectFile(int index, bool switchFlag) { m_playback->dualSelectFile(index, switchFlag); }
void AppDelegate::switchVideoWindow(bool switchVideo) { m_playback->switchVideoWindow(switchVideo); }
void AppDelegate::onButtonWindowSwitch() { m_playback->onButtonWindowSwitch(); }
bool AppDelegate::syncSecondCamera() { return m_playback->transport().syncSecondCamera(); }
void AppDelegate::moveTimeStamp() { m_playback->overlay().placeNow(); }
VideoPlayerView* AppDelegate::videoPlayView() const { return m_playback->videoPlayView(); }
VideoPlayerView* AppDelegate::videoPlayView2() const { return m_playback->videoPlayView2(); }
bool AppDelegate::isVideoLoading() const { return m_playback->transport().isVideoLoading(); }
bool AppDelegate::isSwitchVideo() const { return m_playback->isSwitchVideo(); }
int AppDelegate::timeStampMode() const { return m_playback->overlay().mode(); }
const GpsList& AppDelegate::gpsList() const { return m_playback->gpsList(); }
float AppDelegate::playSpeed() const { return m_playback->transport().playSpeed(); }
bool AppDelegate::isMuted() const { return m_playback->transport().isMuted(); }
int AppDelegate::volume() const { return m_playback->transport().volume(); }
void AppDelegate::seekToSecond(int seconds) { m_playback->transport().seekToSecond(seconds); }
bool AppDelegate::stepFrame(bool forward) { return m_playback->transport().stepFrame(forward); }
void AppDelegate::stepVolume(int delta) { m_playback->transport().stepVolume(delta); }
void AppDelegate::onGSensorGraphClicked(int graphX) { m_playback->transport().seekToGraphColumn(graphX); }
// clang-format on

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
