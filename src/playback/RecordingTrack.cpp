// The track of the current recording in the session: loaded once the surface
// reports the recording ready (playback/CurrentTrack), then reported to the
// time slider (range and event mark), the G-sensor graph and the map. The
// choice of source (companion log, the front partner's log for a rear
// recording, AVI chunks) is the core's loadTrack. Also the per-second place
// that the map and the G-sensor cursor follow during playback.
#include "playback/PlaybackSession.h"

#include "base/Services.h"
#include "core/Log.h"
#include "views/SensorGraphic.h"

void PlaybackSession::clearTrack()
{
    m_transport.showNoPlace();
    m_track.clear();
    resetCtrl();
    m_transport.drawTime();
    Q_EMIT sensorGraphChanged(QImage(), 0, 0);
    Q_EMIT trackLoaded();
}

void PlaybackSession::onOpenGPSFile()
{
    pmWriteLog("CRDVManagerDlg::OnOpenGpsFile() - Start !");
    // Seekable from one second on.
    const bool seekable = m_transport.duration() >= 1.0;
    Q_EMIT seekRangeChanged(seekable, seekable ? pmWholeVideoSeconds(m_transport.duration()) : 1);
    m_transport.showPosition(0);
    Q_EMIT frameCommandsEnabled(true);

    m_track.reset();
    const QList<AMediaFile> list = playlist();
    if (m_nCurPlayIndex < 0 || m_nCurPlayIndex >= list.size()) {
        Q_EMIT trackLoaded();
        return;
    }
    const std::string path = list.at(m_nCurPlayIndex).nativePath().toStdString();
    if (path.empty()) {
        Q_EMIT trackLoaded();
        return;
    }

    const RecordingType type = pmGetFileType(path);
    // The current folder's camera, or none.
    const TrackLoadResult result =
        m_track.load(path, m_transport.duration(),
                     m_sources.modelName ? m_sources.modelName().toStdString() : std::string());
    const GpsList& gps = m_track.gps();

    Q_EMIT trackShown(result.loaded);
    bool eventMarked = false;
    if (result.loaded) {
        const int mark = m_track.markEvent(type);
        if (mark >= 0) {
            Q_EMIT eventMarkChanged(mark);
            eventMarked = true;
        }
        drawSensorGraph(eventMarked ? m_track.eventTime() : 0);
        Q_EMIT pathChanged(&gps);
        updateTripRoute();
        m_transport.mapGoTo();
    } else {
        drawSensorGraph(0);
        Q_EMIT pathChanged(nullptr);
        updateTripRoute();
    }

    Q_EMIT trackExportEnabled(gps.IsGPSReady());
    if (!eventMarked)
        Q_EMIT eventMarkChanged(-1);
    pmWriteLogQ(QStringLiteral("OnOpenGpsFile() - timestamp = %1").arg(m_overlay.mode()));
    pmWriteLog("CRDVManagerDlg::OnOpenGpsFile() - End !");
    Q_EMIT trackLoaded();
}

void PlaybackSession::reloadTrack()
{
    if (!isOpen() || m_transport.isVideoLoading())
        return;
    m_track.forgetTripRoute();
    onOpenGPSFile();
    m_transport.onPlayTimerChange();
}

void PlaybackSession::drawSensorGraph(int eventIndex)
{
    const float scale = m_track.drawGraphic(eventIndex, m_sources.graphColours ? m_sources.graphColours()
                                                                               : SensorGraphColours());
    Q_EMIT sensorGraphChanged(m_track.graphic(), m_track.motorType(), scale);
}

void PlaybackSession::onMapViewReady()
{
    const bool positions = m_track.gps().IsGPSReady();
    Q_EMIT pathChanged(positions ? &m_track.gps() : nullptr);
    if (positions)
        m_transport.mapGoTo();
    updateTripRoute();
}

void PlaybackSession::setShowWholeTrip(bool on)
{
    m_route.setShowWholeTrip(on);
    updateTripRoute();
}

// The route is sent out again once read, unless another recording, trip or
// request came first.
void PlaybackSession::updateTripRoute()
{
    m_route.update(currentTrip(), m_nCurPlayIndex, playlist(), m_sources.attachedTracks,
                   [this](int row, const QString& path, const std::vector<int>& trip) {
                       const QList<AMediaFile> now = playlist();
                       return m_nCurPlayIndex == row && row >= 0 && row < now.size() &&
                              now.at(row).path() == path && currentTrip() == trip;
                   });
}

void PlaybackSession::onGSensorGraphClicked(int graphX)
{
    if (!m_pair.front() || !m_track.gps().IsGSensorReady())
        return;
    const int sample = sensorGraphicSampleAt(graphX, m_track.gps().GetDataCount());
    if (sample < 0)
        return;
    pmWriteLogQ(
        QStringLiteral("AppDelegate - G-sensor graph clicked at %1: second %2").arg(graphX).arg(sample));
    m_transport.seekToSecond(sample);
}

// Reloading the G-sensor panel's images drops the installed graph: build it
// again for the current track and put the cursor back where it was.
void PlaybackSession::redrawSensorGraph()
{
    if (!m_track.gps().IsGSensorReady())
        return;
    drawSensorGraph(m_track.eventTime());
    m_transport.emitSensorCursor();
}
