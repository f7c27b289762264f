// The track of the current recording in the session: loaded once the surface
// reports the recording ready (playback/CurrentTrack), then handed to the time
// slider (range and event mark), the G-sensor graph and the map. The choice of
// source (companion log, the front partner's log for a rear recording, AVI
// chunks) is the core's loadTrack. Also the per-second place that the map and
// the G-sensor cursor follow during playback.
#include "playback/PlaybackSession.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/Log.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/SensorGraphic.h"

void PlaybackSession::clearTrack()
{
    if (mMapView)
        mMapView->SetPosition(0, 0, 0, 65535.0f, -1.0f);
    m_track.clear();
    resetCtrl();
    drawTime();
    if (mGSensorView)
        mGSensorView->setGensorGraphic(QImage(), 0, 0);
    Q_EMIT trackLoaded();
}

void PlaybackSession::onOpenGPSFile()
{
    pmWriteLog("CRDVManagerDlg::OnOpenGpsFile() - Start !");
    // Seekable from one second on.
    const bool seekable = mSelectedMovieDuration >= 1.0;
    Q_EMIT seekRangeChanged(seekable, seekable ? pmWholeVideoSeconds(mSelectedMovieDuration) : 1);
    Q_EMIT positionChanged(0);
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
        m_track.load(path, mSelectedMovieDuration,
                     m_sources.modelName ? m_sources.modelName().toStdString() : std::string());
    const GpsList& gps = m_track.gps();

    bool eventMarked = false;
    if (result.loaded) {
        if (mMapView) {
            bool online;
            if (!mMapView->IsOnLine() || !mMapView->IsMapDocReady()) {
                mMapView->LoadMap();
                online = mMapView->IsOnLine();
            } else {
                online = mMapView->IsInternetConnected();
            }
            mMapView->EnableMap(!gps.IsGPSReady() ? -1 : (online ? 1 : 0));
        }
        const int mark = m_track.markEvent(type);
        if (mark >= 0) {
            Q_EMIT eventMarkChanged(mark);
            eventMarked = true;
        }
        const float scale = xCreateSensorGraphic(eventMarked ? m_track.eventTime() : 0);
        if (mGSensorView)
            mGSensorView->setGensorGraphic(m_track.graphic(), m_track.motorType(), scale);
        if (mMapView)
            mMapView->DrawPath(&gps);
        updateTripRoute();
        mapGoTo();
    } else {
        if (mMapView) {
            const int16_t withTrack = gps.IsGPSReady() ? 1 : -1;
            if (mMapView->IsOnLine()) {
                mMapView->EnableMap(mMapView->IsInternetConnected() ? withTrack : 0);
            } else {
                mMapView->LoadMap();
                if (mMapView->IsOnLine())
                    mMapView->EnableMap(withTrack);
                else if (!gps.IsGPSReady())
                    mMapView->EnableMap(-1);
            }
        }
        const float scale = xCreateSensorGraphic(0);
        if (mGSensorView)
            mGSensorView->setGensorGraphic(m_track.graphic(), m_track.motorType(), scale);
        if (mMapView) {
            mMapView->SetPosition(0, 0, 0, 0, -1);
            mMapView->DrawPath(nullptr);
        }
        updateTripRoute();
    }

    Q_EMIT trackExportEnabled(gps.IsGPSReady());
    if (!eventMarked)
        Q_EMIT eventMarkChanged(-1);
    if (mMapView && mMapView->GetMapState() != 1 && m_sources.mapFullScreen && m_sources.mapFullScreen())
        mMapView->OnButtonFullMap();
    pmWriteLogQ(QStringLiteral("OnOpenGpsFile() - timestamp = %1").arg(m_overlay.mode()));
    pmWriteLog("CRDVManagerDlg::OnOpenGpsFile() - End !");
    Q_EMIT trackLoaded();
}

void PlaybackSession::reloadTrack()
{
    if (!isOpen() || isVideoLoading())
        return;
    m_track.forgetTripRoute();
    onOpenGPSFile();
    onPlayTimerChange();
}

float PlaybackSession::xCreateSensorGraphic(int eventIndex)
{
    return m_track.drawGraphic(eventIndex, mGSensorView.data());
}

// The map page finished loading: give it the current track, or an empty map.
void PlaybackSession::onMapViewReady()
{
    pmWriteLog("AppDelegate - onMapViewReady()");
    if (!mMapView)
        return;
    if (!mMapView->IsOnLine())
        mMapView->LoadMap();
    if (m_track.gps().IsGPSReady()) {
        mMapView->DrawPath(&m_track.gps());
        mapGoTo();
    } else {
        mMapView->SetPosition(0, 0, 0, 0, -1);
        mMapView->DrawPath(nullptr);
    }
    updateTripRoute();
}

void PlaybackSession::setShowWholeTrip(bool on)
{
    m_bShowWholeTrip = on;
    pmWriteSetting(SettingsKeys::showWholeTrip, on);
    updateTripRoute();
}

// The other recordings of the trip; those before the current one are the
// stretch already driven. What is known of them is drawn at once (none of a
// trip just entered, so the last trip's route goes); the rest is read on a
// worker and the whole route drawn when it is in, unless another recording,
// trip or request came first.
void PlaybackSession::updateTripRoute()
{
    if (!mMapView)
        return;
    const std::vector<int> trip = currentTrip();
    if (!m_bShowWholeTrip || trip.size() < 2 || !m_track.gps().IsGPSReady()) {
        m_reads.drop(LatestReads::TripRoute);
        m_track.forgetTripRoute();
        mMapView->DrawTripRoute({}, {});
        return;
    }
    const QList<AMediaFile> list = playlist();
    const CurrentTrack::RouteParts parts = m_track.tripRouteParts(trip, m_nCurPlayIndex, list);
    MapView::RoutePoints driven, ahead;
    CurrentTrack::splitRoute(parts, driven, ahead);
    mMapView->DrawTripRoute(driven, ahead);
    if (CurrentTrack::routeKnown(parts)) {
        m_reads.drop(LatestReads::TripRoute);
        m_track.keepTripRoute(parts);
        return;
    }
    std::vector<std::string> recordings;
    for (const CurrentTrack::RoutePart& part : parts)
        recordings.push_back(part.native);
    TrackAttachmentFinder attached =
        m_sources.attachedTracks ? m_sources.attachedTracks(recordings) : TrackAttachmentFinder();
    const int row = m_nCurPlayIndex;
    const QString path = row >= 0 && row < list.size() ? list.at(row).path() : QString();
    m_reads.ask<CurrentTrack::RouteParts>(
        LatestReads::TripRoute,
        [parts, attached](const std::atomic<bool>& stop) {
            CurrentTrack::RouteParts read = parts;
            CurrentTrack::readRouteParts(read, attached, stop);
            return read;
        },
        [this, row, path, trip](const CurrentTrack::RouteParts& read) {
            const QList<AMediaFile> now = playlist();
            if (!mMapView || m_nCurPlayIndex != row || row < 0 || row >= now.size() ||
                now.at(row).path() != path || !m_track.gps().IsGPSReady() || currentTrip() != trip ||
                !CurrentTrack::routeKnown(read))
                return;
            m_track.keepTripRoute(read);
            MapView::RoutePoints drivenNow, aheadNow;
            CurrentTrack::splitRoute(read, drivenNow, aheadNow);
            mMapView->DrawTripRoute(drivenNow, aheadNow);
        });
}

void PlaybackSession::mapGoTo()
{
    const CurrentTrack::Place place = m_track.placeAt(mSelectedMovieCurrentTime);
    if (mMapView) {
        mMapView->SetPosition(place.latitude, place.longitude, place.speed, place.altitude, place.direction);
        mMapView->update();
    }
    emitSensorCursor();
}

void PlaybackSession::onGSensorGraphClicked(int graphX)
{
    if (!_videoPlayView || !m_track.gps().IsGSensorReady())
        return;
    const int sample = sensorGraphicSampleAt(graphX, m_track.gps().GetDataCount());
    if (sample < 0)
        return;
    pmWriteLogQ(
        QStringLiteral("AppDelegate - G-sensor graph clicked at %1: second %2").arg(graphX).arg(sample));
    seekToSecond(sample);
}

// Reloading the G-sensor panel's images drops the installed graph: build it
// again for the current track and put the cursor back where it was.
void PlaybackSession::redrawSensorGraph()
{
    if (!mGSensorView || !m_track.gps().IsGSensorReady())
        return;
    const float scale = xCreateSensorGraphic(m_track.eventTime());
    mGSensorView->setGensorGraphic(m_track.graphic(), m_track.motorType(), scale);
    emitSensorCursor();
}
