// The track of the current recording: loaded once the surface reports the
// recording ready, then handed to the time slider (range and event mark), the
// G-sensor graph and the map. The choice of source (companion log, the front
// partner's log for a rear recording, AVI chunks) is the core's loadTrack;
// this side updates the panels. Also the per-second lookup that the map and
// the G-sensor cursor follow during playback.
#include "playback/PlaybackSession.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BitmapButton.h"
#include "controls/ToolbarView.h"
#include "core/Log.h"
#include "core/TrackLoader.h"
#include "media/MediaDuration.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/SensorGraphic.h"

#include <cmath>

namespace
{
void enableWidget(QWidget* w, bool enable)
{
    if (w)
        w->setEnabled(enable);
}

// Thousandths of g, rounded half away from zero.
int thousandths(float g)
{
    const double v = g > 0 ? g + 0.0005 : g - 0.0005;
    const double scaled = v * 1000.0;
    if (!std::isfinite(scaled) || std::fabs(scaled) > 1e9)
        return 0;
    return static_cast<int>(scaled);
}
} // namespace

void PlaybackSession::clearTrack()
{
    if (mMapView)
        mMapView->SetPosition(0, 0, 0, 65535.0f, -1.0f);
    m_poGpsList.ClearAllData();
    m_poGpsTempData.ResetData();
    resetCtrl();
    drawTime();
    m_nMotorType = 0;
    m_oSensorBitmap = QImage();
    if (mGSensorView)
        mGSensorView->setGensorGraphic(QImage(), 0, 0);
}

void PlaybackSession::onOpenGPSFile()
{
    pmWriteLog("CRDVManagerDlg::OnOpenGpsFile() - Start !");
    // Seekable from one second on.
    const bool seekable = mSelectedMovieDuration >= 1.0;
    Q_EMIT seekRangeChanged(seekable, seekable ? pmWholeVideoSeconds(mSelectedMovieDuration) : 1);
    Q_EMIT positionChanged(0);
    if (mToolbar) {
        enableWidget(mToolbar->oPrintBtn(), true);
        enableWidget(mToolbar->oCaptureBtn(), true);
    }

    m_nEventTime = -1;
    m_poGpsList.ClearAllData();
    m_poGpsTempData.ResetData();

    const QList<AMediaFile> list = playlist();
    if (m_nCurPlayIndex < 0 || m_nCurPlayIndex >= list.size())
        return;
    const std::string path = list.at(m_nCurPlayIndex).nativePath().toStdString();
    if (path.empty())
        return;

    const RecordingType type = pmGetFileType(path);
    m_nMotorType = static_cast<int16_t>(pmGetMotorType(path));
    m_poGpsList.setModelName(m_sources.modelName ? m_sources.modelName().toStdString()
                                                 : std::string()); // the current folder's camera, or none
    const double duration = mSelectedMovieDuration;
    const TrackLoadResult result = loadTrack(
        path, [duration] { return duration; }, m_poGpsList);

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
            mMapView->EnableMap(!m_poGpsList.IsGPSReady() ? -1 : (online ? 1 : 0));
        }
        const int mark = chooseEventMark(type, m_poGpsList);
        if (mark >= 0) {
            m_nEventTime = mark;
            Q_EMIT eventMarkChanged(mark);
            eventMarked = true;
        }
        const float scale = xCreateSensorGraphic(eventMarked ? m_nEventTime : 0);
        if (mGSensorView)
            mGSensorView->setGensorGraphic(m_oSensorBitmap, m_nMotorType, scale);
        if (mMapView)
            mMapView->DrawPath(&m_poGpsList);
        updateTripRoute();
        mapGoTo();
    } else {
        if (mMapView) {
            const int16_t withTrack = m_poGpsList.IsGPSReady() ? 1 : -1;
            if (mMapView->IsOnLine()) {
                mMapView->EnableMap(mMapView->IsInternetConnected() ? withTrack : 0);
            } else {
                mMapView->LoadMap();
                if (mMapView->IsOnLine())
                    mMapView->EnableMap(withTrack);
                else if (!m_poGpsList.IsGPSReady())
                    mMapView->EnableMap(-1);
            }
        }
        const float scale = xCreateSensorGraphic(0);
        if (mGSensorView)
            mGSensorView->setGensorGraphic(m_oSensorBitmap, m_nMotorType, scale);
        if (mMapView) {
            mMapView->SetPosition(0, 0, 0, 0, -1);
            mMapView->DrawPath(nullptr);
        }
        updateTripRoute();
    }

    if (mToolbar)
        enableWidget(mToolbar->oExportBtn(), m_poGpsList.IsGPSReady());
    if (!eventMarked)
        Q_EMIT eventMarkChanged(-1);
    if (mMapView && mMapView->GetMapState() != 1 && m_sources.mapFullScreen && m_sources.mapFullScreen())
        mMapView->OnButtonFullMap();
    pmWriteLogQ(QStringLiteral("OnOpenGpsFile() - timestamp = %1").arg(m_overlay.mode()));
    pmWriteLog("CRDVManagerDlg::OnOpenGpsFile() - End !");
}

float PlaybackSession::xCreateSensorGraphic(int eventIndex)
{
    m_oSensorBitmap = QImage();
    if (m_poGpsList.GetDataCount() == 0 || !m_poGpsList.IsGSensorReady())
        return 0;
    SensorGraphic graphic;
    if (mGSensorView) {
        graphic = createSensorGraphic(m_poGpsList, eventIndex, *mGSensorView);
    } else {
        graphic = createSensorGraphic(m_poGpsList, eventIndex,
                                      pmLoadAppImage(QStringLiteral("GSensorGraphic.png")).toImage(), Qt::red,
                                      Qt::green, Qt::blue);
    }
    m_oSensorBitmap = graphic.image;
    return graphic.scale;
}

const GpsData* PlaybackSession::getCurGpsData() const
{
    if (m_poGpsList.GetDataCount() == 0 || !std::isfinite(mSelectedMovieCurrentTime) ||
        mSelectedMovieCurrentTime < 0 || mSelectedMovieCurrentTime >= GpsList::kMaxVideoSeconds)
        return nullptr;
    return m_poGpsList.GetGpsData(static_cast<int>(mSelectedMovieCurrentTime));
}

// The map page finished loading: give it the current track, or an empty map.
void PlaybackSession::onMapViewReady()
{
    pmWriteLog("AppDelegate - onMapViewReady()");
    if (!mMapView)
        return;
    if (!mMapView->IsOnLine())
        mMapView->LoadMap();
    if (m_poGpsList.IsGPSReady()) {
        mMapView->DrawPath(&m_poGpsList);
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

// The other recordings of the trip, read with the same track rules as the
// current one; those before it are the stretch already driven.
void PlaybackSession::updateTripRoute()
{
    if (!mMapView)
        return;
    const std::vector<int> trip = currentTrip();
    const QList<AMediaFile> list = playlist();
    const bool show = m_bShowWholeTrip && trip.size() > 1 && m_poGpsList.IsGPSReady();
    if (!show) {
        m_tripRouteCache.clear();
        mMapView->DrawTripRoute({}, {});
        return;
    }
    QHash<QString, std::vector<std::pair<float, float>>> cache;
    MapView::RoutePoints driven, ahead;
    bool before = true;
    for (int row : trip) {
        if (row == m_nCurPlayIndex) {
            before = false;
            continue;
        }
        if (row < 0 || row >= list.size())
            continue;
        const QString path = list.at(row).path();
        auto cached = m_tripRouteCache.constFind(path);
        std::vector<std::pair<float, float>> points;
        if (cached != m_tripRouteCache.constEnd()) {
            points = *cached;
        } else {
            GpsList track;
            const std::string native = list.at(row).nativePath().toStdString();
            if (loadTrack(
                    native, [native] { return pmGetMediaDurationSeconds(native); }, track)
                    .loaded &&
                track.IsGPSReady()) {
                for (int i = 0; i < track.GetDataCount(); ++i)
                    if (const GpsData* sample = track.GetGpsData(i))
                        points.emplace_back(sample->fLatitude(), sample->fLongitude());
            }
        }
        MapView::RoutePoints& part = before ? driven : ahead;
        part.insert(part.end(), points.begin(), points.end());
        cache.insert(path, std::move(points));
    }
    m_tripRouteCache = std::move(cache);
    mMapView->DrawTripRoute(driven, ahead);
}

void PlaybackSession::mapGoTo()
{
    m_nSensorX = m_nSensorY = m_nSensorZ = 0;
    const GpsData* sample = getCurGpsData();
    float latitude = m_poGpsTempData.fLatitude();
    float longitude = m_poGpsTempData.fLongitude();
    float speed = m_poGpsTempData.fSpeed();
    float altitude = static_cast<float>(m_poGpsTempData.dAltitude());
    float direction = m_poGpsTempData.fDirection();
    if (sample) {
        if (sample->fLatitude() != 0 || sample->fLongitude() != 0) {
            latitude = sample->fLatitude();
            longitude = sample->fLongitude();
            speed = sample->fSpeed();
            altitude = static_cast<float>(sample->dAltitude());
            direction = sample->fDirection();
        } else {
            // A sample without a fix shows the reset values, except the "no
            // reading" markers of altitude and direction.
            if (sample->dAltitude() == GpsData::kNoAltitude)
                altitude = static_cast<float>(GpsData::kNoAltitude);
            if (sample->fDirection() == -1.0f)
                direction = -1.0f;
        }
        m_nSensorX = thousandths(sample->GetGValueX());
        m_nSensorY = thousandths(sample->GetGValueY());
        m_nSensorZ = thousandths(sample->GetGValueZ());
    }
    if (mMapView) {
        mMapView->SetPosition(latitude, longitude, speed, altitude, direction);
        mMapView->update();
    }
    Q_EMIT sensorCursorChanged(m_nSensorX, m_nSensorY, m_nSensorZ);
}

void PlaybackSession::onGSensorGraphClicked(int graphX)
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

// Reloading the G-sensor panel's images drops the installed graph: build it
// again for the current track and put the cursor back where it was.
void PlaybackSession::redrawSensorGraph()
{
    if (!mGSensorView || !m_poGpsList.IsGSensorReady())
        return;
    const float scale = xCreateSensorGraphic(m_nEventTime);
    mGSensorView->setGensorGraphic(m_oSensorBitmap, m_nMotorType, scale);
    Q_EMIT sensorCursorChanged(m_nSensorX, m_nSensorY, m_nSensorZ);
}
