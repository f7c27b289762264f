#include "playback/View360Control.h"

#include "base/Services.h"
#include "core/Log.h"
#include "core/SphericalProbe.h"
#include "platform/PSVR.h"
#include "playback/SurfacePair.h"
#include "views/VideoPlayerView.h"

View360Control::~View360Control()
{
    if (m_psvr)
        m_psvr->stop();
}

void View360Control::recordingOpened(VideoPlayerView* surface, const std::string& path, bool front)
{
    if (!surface)
        return;
    // The container probe reads box headers only: cheap enough for every
    // recording opened.
    const bool spherical = pmIsSphericalVideo(path);
    if (spherical)
        pmWriteLogQ(QStringLiteral("AppDelegate - spherical video : %1").arg(QString::fromStdString(path)));
    if (front)
        m_spherical = spherical;
    if (spherical)
        surface->set360Player(true);
}

// A recording tagged spherical is a sphere by itself and the switch does not
// apply to it.
bool View360Control::toggle(VideoPlayerView* front)
{
    if (!front || m_spherical)
        return false;
    bool on = !front->is360Player();
    if (!front->set360Player(on))
        on = false; // no OpenGL here: the picture stays flat
    pmWriteLog(on ? "AppDelegate - 360-degree view on" : "AppDelegate - 360-degree view off");
    return true;
}

int View360Control::state(const VideoPlayerView* front) const
{
    if (!front || m_spherical)
        return -1;
    return front->is360Player() ? 1 : 0;
}

void View360Control::turn(VideoPlayerView* front, int command)
{
    if (front && front->is360Player())
        front->doDpadRotate(command);
}

void View360Control::update(const VideoPlayerView* front, bool switched)
{
    m_padEnabled = front && front->is360Player() && !switched;
    Q_EMIT padChanged(m_padEnabled);
    updateHeadTracker();
}

void View360Control::updateHeadTracker()
{
    if (!m_padEnabled) {
        if (m_psvr)
            m_psvr->stop();
        return;
    }
    if (!m_psvr)
        m_psvr = PSVR::sharedInstance();
    if (m_psvr)
        m_psvr->start(); // without a headset: one log line, nothing else
}

void View360Control::toggleNow()
{
    if (m_pair && toggle(m_pair->front()))
        updateNow();
}

int View360Control::stateNow() const
{
    return state(m_pair ? m_pair->front() : nullptr);
}

void View360Control::updateNow()
{
    update(m_pair ? m_pair->front() : nullptr, m_pair && m_pair->isSwitched());
}

void View360Control::turnNow(int command)
{
    turn(m_pair ? m_pair->front() : nullptr, command);
}
