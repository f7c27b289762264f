#include "playback/CurrentTrack.h"

#include "base/AMediaFile.h"
#include "base/Services.h"
#include "core/Log.h"
#include "core/TrackAttachments.h"
#include "media/MediaDuration.h"
#include "views/SensorGraphic.h"

#include <algorithm>
#include <cmath>

namespace
{
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

TrackLoadResult CurrentTrack::open(const std::string& path, double duration, const std::string& model)
{
    reset();
    const TrackLoadResult result = load(path, duration, model);
    Q_EMIT shown(result.loaded);
    const int mark = result.loaded ? markEvent(pmGetFileType(path)) : -1;
    Q_EMIT eventMarkChanged(mark);
    reportGraph(mark >= 0 ? m_eventTime : 0);
    Q_EMIT pathChanged(result.loaded ? &m_gps : nullptr);
    Q_EMIT exportEnabled(m_gps.IsGPSReady());
    return result;
}

void CurrentTrack::empty()
{
    clear();
    Q_EMIT graphChanged(QImage(), 0, 0);
}

bool CurrentTrack::redrawGraph()
{
    if (!m_gps.IsGSensorReady())
        return false;
    reportGraph(m_eventTime);
    return true;
}

bool CurrentTrack::reportPath()
{
    const bool positions = m_gps.IsGPSReady();
    Q_EMIT pathChanged(positions ? &m_gps : nullptr);
    return positions;
}

void CurrentTrack::reportGraph(int eventIndex)
{
    const float scale = drawGraphic(eventIndex, m_colours ? m_colours() : SensorGraphColours());
    Q_EMIT graphChanged(m_graphic, m_motorType, scale);
}

void CurrentTrack::clear()
{
    m_gps.ClearAllData();
    m_lastFix.ResetData();
    m_motorType = 0;
    m_graphic = QImage();
}

void CurrentTrack::reset()
{
    m_eventTime = -1;
    m_gps.ClearAllData();
    m_lastFix.ResetData();
}

TrackLoadResult CurrentTrack::load(const std::string& path, double duration, const std::string& model)
{
    m_motorType = static_cast<int16_t>(pmGetMotorType(path));
    m_gps.setModelName(model);
    TrackLoadResult result = loadTrack(
        path, [duration] { return duration; }, m_gps);
    takeAttached(
        path, [duration] { return duration; }, m_gps, result);
    return result;
}

bool CurrentTrack::takeAttached(const std::string& path, const std::function<double()>& seconds,
                                GpsList& list, TrackLoadResult& result)
{
    GpsList attached;
    std::string source;
    if (!m_attached || !m_attached(path, seconds, attached, source))
        return false;
    pmTakeAttachedPositions(list, attached);
    result.loaded = true;
    result.source = TrackSource::None;
    result.sourcePath = source;
    return true;
}

int CurrentTrack::markEvent(RecordingType type)
{
    const int mark = chooseEventMark(type, m_gps);
    if (mark >= 0)
        m_eventTime = mark;
    return mark;
}

float CurrentTrack::drawGraphic(int eventIndex, const SensorGraphColours& colours)
{
    m_graphic = QImage();
    if (m_gps.GetDataCount() == 0 || !m_gps.IsGSensorReady())
        return 0;
    const SensorGraphic graphic = createSensorGraphic(m_gps, eventIndex, colours);
    m_graphic = graphic.image;
    return graphic.scale;
}

const GpsData* CurrentTrack::sampleAt(double seconds) const
{
    if (m_gps.GetDataCount() == 0 || !std::isfinite(seconds) || seconds < 0 ||
        seconds >= GpsList::kMaxVideoSeconds)
        return nullptr;
    return m_gps.GetGpsData(static_cast<int>(seconds));
}

CurrentTrack::Place CurrentTrack::placeAt(double seconds)
{
    m_sensorX = m_sensorY = m_sensorZ = 0;
    Place place;
    place.latitude = m_lastFix.fLatitude();
    place.longitude = m_lastFix.fLongitude();
    place.speed = m_lastFix.fSpeed();
    place.altitude = static_cast<float>(m_lastFix.dAltitude());
    place.direction = m_lastFix.fDirection();
    if (const GpsData* sample = sampleAt(seconds)) {
        if (sample->fLatitude() != 0 || sample->fLongitude() != 0) {
            place.latitude = sample->fLatitude();
            place.longitude = sample->fLongitude();
            place.speed = sample->fSpeed();
            place.altitude = static_cast<float>(sample->dAltitude());
            place.direction = sample->fDirection();
        } else {
            // A sample without a fix shows the reset values, except the "no
            // reading" markers of altitude and direction.
            if (sample->dAltitude() == GpsData::kNoAltitude)
                place.altitude = static_cast<float>(GpsData::kNoAltitude);
            if (sample->fDirection() == -1.0f)
                place.direction = -1.0f;
        }
        m_sensorX = thousandths(sample->GetGValueX());
        m_sensorY = thousandths(sample->GetGValueY());
        m_sensorZ = thousandths(sample->GetGValueZ());
    }
    return place;
}

CurrentTrack::RouteParts CurrentTrack::tripRouteParts(const std::vector<int>& trip, int current,
                                                      const QList<AMediaFile>& list) const
{
    RouteParts parts;
    bool before = true;
    for (int row : trip) {
        if (row == current) {
            before = false;
            continue;
        }
        if (row < 0 || row >= list.size())
            continue;
        RoutePart part;
        part.path = list.at(row).path();
        part.native = list.at(row).nativePath().toStdString();
        part.before = before;
        const auto cached = m_routeCache.constFind(part.path);
        if (cached != m_routeCache.constEnd()) {
            part.known = true;
            part.points = *cached;
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

bool CurrentTrack::routeKnown(const RouteParts& parts)
{
    return std::all_of(parts.begin(), parts.end(), [](const RoutePart& part) { return part.known; });
}

// The other recordings are read with the same track rules as the current one.
void CurrentTrack::readRouteParts(RouteParts& parts, const TrackAttachmentFinder& attached,
                                  const std::atomic<bool>& stop)
{
    for (RoutePart& part : parts) {
        if (stop.load())
            return;
        if (part.known)
            continue;
        GpsList track;
        const std::string native = part.native;
        const auto seconds = [native] { return pmGetMediaDurationSeconds(native); };
        TrackLoadResult loaded = loadTrack(native, seconds, track);
        if (const std::optional<TrackAttachment> a = attached ? attached(native) : std::nullopt) {
            GpsList positions;
            std::string error;
            if (pmLoadAttachedTrack(a->trackFile, a->offsetSeconds, native, seconds(), positions, error)) {
                pmTakeAttachedPositions(track, positions);
                loaded.loaded = true;
            } else {
                pmWriteLog("TrackAttach - the track attached to " + native + " is not used: " + error);
            }
        }
        if (loaded.loaded && track.IsGPSReady()) {
            for (int i = 0; i < track.GetDataCount(); ++i)
                if (const GpsData* sample = track.GetGpsData(i))
                    part.points.emplace_back(sample->fLatitude(), sample->fLongitude());
        }
        part.known = true;
    }
}

void CurrentTrack::splitRoute(const RouteParts& parts, Points& driven, Points& ahead)
{
    for (const RoutePart& part : parts) {
        if (!part.known)
            continue;
        Points& stretch = part.before ? driven : ahead;
        stretch.insert(stretch.end(), part.points.begin(), part.points.end());
    }
}

void CurrentTrack::keepTripRoute(const RouteParts& parts)
{
    QHash<QString, Points> cache;
    for (const RoutePart& part : parts)
        if (part.known)
            cache.insert(part.path, part.points);
    m_routeCache = std::move(cache);
}
