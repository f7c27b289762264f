#include "playback/TripRoute.h"

#include "base/AMediaFile.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"

#include <QMetaMethod>

TripRoute::TripRoute(CurrentTrack& track, QObject* parent)
    : QObject(parent), m_track(track), m_bShowWholeTrip(pmReadSetting(SettingsKeys::showWholeTrip))
{
}

void TripRoute::setShowWholeTrip(bool on)
{
    m_bShowWholeTrip = on;
    pmWriteSetting(SettingsKeys::showWholeTrip, on);
    update();
}

void TripRoute::follow(std::function<Playing()> playing,
                       std::function<TrackAttachmentFinder(const std::vector<std::string>&)> attached)
{
    m_playing = std::move(playing);
    m_attached = std::move(attached);
}

void TripRoute::clear()
{
    m_reads.drop(LatestReads::TripRoute);
    m_track.forgetTripRoute();
    Q_EMIT routeChanged({}, {});
}

// The recordings before the current one are the stretch already driven. A
// trip just entered has nothing known yet, so the last trip's route goes at once.
void TripRoute::update()
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&TripRoute::routeChanged)))
        return; // no map to draw it on: nothing is read
    const Playing playing = m_playing ? m_playing() : Playing();
    const std::vector<int>& trip = playing.trip;
    const int current = playing.current;
    const QList<AMediaFile>& list = playing.list;
    if (!m_bShowWholeTrip || trip.size() < 2 || !m_track.gps().IsGPSReady()) {
        clear();
        return;
    }
    const CurrentTrack::RouteParts parts = m_track.tripRouteParts(trip, current, list);
    CurrentTrack::Points driven, ahead;
    CurrentTrack::splitRoute(parts, driven, ahead);
    Q_EMIT routeChanged(driven, ahead);
    if (CurrentTrack::routeKnown(parts)) {
        m_reads.drop(LatestReads::TripRoute);
        m_track.keepTripRoute(parts);
        return;
    }
    std::vector<std::string> recordings;
    for (const CurrentTrack::RoutePart& part : parts)
        recordings.push_back(part.native);
    TrackAttachmentFinder finder = m_attached ? m_attached(recordings) : TrackAttachmentFinder();
    const QString path = current >= 0 && current < list.size() ? list.at(current).path() : QString();
    m_reads.ask<CurrentTrack::RouteParts>(
        LatestReads::TripRoute,
        [parts, finder](const std::atomic<bool>& stop) {
            CurrentTrack::RouteParts read = parts;
            CurrentTrack::readRouteParts(read, finder, stop);
            return read;
        },
        [this, current, path, trip](const CurrentTrack::RouteParts& read) {
            const Playing now = m_playing ? m_playing() : Playing();
            const bool stillCurrent = now.current == current && current >= 0 && current < now.list.size() &&
                                      now.list.at(current).path() == path && now.trip == trip;
            if (!m_track.gps().IsGPSReady() || !CurrentTrack::routeKnown(read) || !stillCurrent)
                return;
            m_track.keepTripRoute(read);
            CurrentTrack::Points drivenNow, aheadNow;
            CurrentTrack::splitRoute(read, drivenNow, aheadNow);
            Q_EMIT routeChanged(drivenNow, aheadNow);
        });
}
