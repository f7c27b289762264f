#pragma once
// Trips: the runs of recordings a camera cut one drive into. A camera closes a
// recording every one or three minutes and opens the next at once, so two
// recordings belong to one drive when the second starts no later than a few
// seconds after the first one's end. Pure: the caller gives each recording's
// start, duration, camera and type; nothing here touches a file.
#include <cstdint>
#include <vector>

struct TripEntry {
    int64_t startMs = 0;     // start time from the name, ms since epoch
    bool startKnown = false; // the name states a real start (a file date says nothing of it)
    int64_t durationMs = 0;  // container duration, ms (0 = unknown)
    int camera = 0;          // camera code the playlist uses
    int type = 0;            // recording type code the playlist uses
    int frontPartner = -1;   // for a rear recording: index of its front partner in the same vector, else -1
    int codec = 0;           // video codec (VideoCodec; 0 unknown): a trip never changes codec
};

struct Trip {
    std::vector<int> members; // indexes into the entries, ascending
};

// Trips in playlist order (by their first member); each trip lists member
// indexes in order. A recording without a partner chains to the previous one
// of its camera and type in the vector when that one is also without a partner,
// has a known duration, has the same codec where both are known (one player
// timeline, one stream copy, one decoder setup), and this one starts no
// earlier than it and no later than maxGapMs after its end. A recording whose
// start is not known stands alone: it neither joins a trip nor ends one. A
// recording with a front partner joins the partner's trip; a partner index that is out of range,
// itself, or a recording that has a partner of its own is ignored.
std::vector<Trip> pmDetectTrips(const std::vector<TripEntry>& entries, int64_t maxGapMs = 5000);
