#pragma once
// The rest of the current recording's trip on the map: the stretch already
// driven and what lies ahead, around the current track. What is known of the
// other recordings is drawn at once (each is read once while the trip is
// stepped through); the rest is read on a worker and the whole route sent out
// when it is in, unless another recording, trip or request came first.
// Behind the settings menu's "Show the whole trip on the map" (stored).
// Main thread only.
#include "core/TrackAttachments.h"
#include "playback/CurrentTrack.h"
#include "playback/LatestReads.h"

#include <QList>
#include <QObject>

#include <functional>
#include <vector>

class AMediaFile;

class TripRoute : public QObject
{
    Q_OBJECT
public:
    // `track` is the current recording's, which keeps what was read of the trip.
    explicit TripRoute(CurrentTrack& track, QObject* parent = nullptr);

    bool showWholeTrip() const { return m_bShowWholeTrip; }
    // Stores the choice; the route follows at once.
    void setShowWholeTrip(bool on);

    // What plays: the row `current` of `list`, whose trip is `trip` (rows in
    // play order).
    struct Playing {
        std::vector<int> trip;
        int current = -1;
        QList<AMediaFile> list;
    };
    // What the route follows, asked at each update and again before a route
    // read on a worker is sent out (it is dropped when the row, its file or
    // its trip changed meanwhile); `attached` names the tracks attached to
    // recordings.
    void follow(std::function<Playing()> playing,
                std::function<TrackAttachmentFinder(const std::vector<std::string>&)> attached);
    // The route for what plays now.
    void update();
    // No route: outside a trip, off, or without a track.
    void clear();

Q_SIGNALS:
    // The route to draw (both empty: none).
    void routeChanged(const CurrentTrack::Points& driven, const CurrentTrack::Points& ahead);

private:
    CurrentTrack& m_track;
    bool m_bShowWholeTrip = true;
    std::function<Playing()> m_playing;
    std::function<TrackAttachmentFinder(const std::vector<std::string>&)> m_attached;
    LatestReads m_reads;
};
