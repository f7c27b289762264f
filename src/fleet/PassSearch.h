#pragma once
// What every catalogue shares in answering the place question: the area of
// the circle as latitude and longitude bounds, the exact test of one second,
// and the runs of consecutive seconds that make the passes. An index only
// narrows the seconds to measure; these decide, so every catalogue gives the
// same answer.
#include "fleet/Catalogue.h"

#include <map>
#include <utility>
#include <vector>

struct PlaceBounds {
    double minLat = 0;
    double maxLat = 0;
    // One range, or two for a circle over the 180th meridian.
    std::vector<std::pair<double, double>> lonRanges;
};

// A little larger than the circle, never smaller, and every longitude near a pole.
PlaceBounds pmPlaceBounds(const PassQuery& query);

struct RecordingHits {
    int64_t start = 0; // camera clock of second 0
    std::string vehicle;
    std::string path;
    std::vector<std::pair<int, double>> hits; // second, distance in metres
};

// Adds the second to `hits` when it is within the query's period and radius.
void pmTestSecond(const PassQuery& query, int second, double lat, double lon, RecordingHits& hits);

// The passes of the recordings' hits, in camera time order (then vehicle and
// path). The hits may come in any order.
void pmPassesFromHits(std::map<int64_t, RecordingHits>& byRecording, std::vector<Pass>& passes);
