// The 360-degree view: the settings menu's switch, recordings that say they
// are spherical, the direction pad and the head tracker.
// Main thread only.
#include "app/AppDelegate.h"

#include "base/Services.h"
#include "controls/DpadView.h"
#include "controls/PlayControlView.h"
#include "core/Log.h"
#include "core/SphericalProbe.h"
#include "platform/PSVR.h"
#include "views/VideoPlayerView.h"

void AppDelegate::onMenu360View()
{
    if (!_videoPlayView)
        return;
    const bool on = !_videoPlayView->is360Player();
    m_bView360 = on;
    if (!_videoPlayView->set360Player(on))
        m_bView360 = false; // no OpenGL here: the picture stays flat
    pmWriteLog(m_bView360 ? "AppDelegate - 360-degree view on" : "AppDelegate - 360-degree view off");
    checkDpadButtons();
}

int AppDelegate::view360State() const
{
    if (!_videoPlayView)
        return -1;
    return _videoPlayView->is360Player() ? 1 : 0;
}

void AppDelegate::apply360Mode(VideoPlayerView* view, const std::string& path)
{
    if (!view)
        return;
    // The container probe reads box headers only: cheap enough for every
    // recording opened.
    const bool spherical = pmIsSphericalVideo(path);
    if (spherical)
        pmWriteLogQ(QStringLiteral("AppDelegate - spherical video : %1").arg(QString::fromStdString(path)));
    if (m_bView360 || spherical)
        view->set360Player(true);
    checkDpadButtons();
}

void AppDelegate::onButtonDpad(int command)
{
    if (_videoPlayView && _videoPlayView->is360Player())
        _videoPlayView->doDpadRotate(command);
}

void AppDelegate::checkDpadButtons()
{
    m_bEnableDpad = _videoPlayView && _videoPlayView->is360Player() && !m_bSwitchVideo;
    if (mPlayBar)
        mPlayBar->checkDpadButtons();
    if (mDpadView) {
        mDpadView->checkDpadButtons(m_bEnableDpad);
        mDpadView->setVisible(m_bEnableDpad);
        if (m_bEnableDpad)
            mDpadView->raise();
    }
    updateHeadTracker();
}

void AppDelegate::setHeadTracker(PSVR* tracker)
{
    if (m_psvr && m_psvr != tracker)
        m_psvr->stop();
    m_psvr = tracker;
}

void AppDelegate::updateHeadTracker()
{
    if (!m_bEnableDpad) {
        if (m_psvr)
            m_psvr->stop();
        return;
    }
    // Made on the first 360-degree picture only: a flat-only session never
    // touches the HID devices.
    if (!m_psvr)
        m_psvr = PSVR::sharedInstance();
    if (m_psvr)
        m_psvr->start(); // without a headset: one log line, nothing else
}

DpadView* AppDelegate::dpadView() const
{
    return mDpadView.data();
}
