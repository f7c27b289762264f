#include "fleet/PassSearch.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace
{
constexpr double kEarthRadius = 6371008.8;
}

PlaceBounds pmPlaceBounds(const PassQuery& q)
{
    PlaceBounds b;
    const double dLat = q.radiusMetres / kEarthRadius * 180.0 / M_PI * 1.001 + 1e-6;
    const double cosLat = std::cos(std::min(89.9, std::fabs(q.lat)) * M_PI / 180.0);
    const double dLon = std::min(180.0, dLat / std::max(cosLat, 1e-3));
    b.minLat = q.lat - dLat;
    b.maxLat = q.lat + dLat;
    const double west = q.lon - dLon, east = q.lon + dLon;
    if (dLon >= 180)
        b.lonRanges = {{-180.0, 180.0}};
    else if (west < -180)
        b.lonRanges = {{-180.0, east}, {west + 360, 180.0}};
    else if (east > 180)
        b.lonRanges = {{west, 180.0}, {-180.0, east - 360}};
    else
        b.lonRanges = {{west, east}};
    return b;
}

void pmTestSecond(const PassQuery& q, int second, double lat, double lon, RecordingHits& r)
{
    const int64_t t = r.start + second;
    if ((q.from && t < *q.from) || (q.to && t > *q.to))
        return;
    const double d = pmDistanceMetres(q.lat, q.lon, lat, lon);
    if (d <= q.radiusMetres)
        r.hits.emplace_back(second, d);
}

void pmPassesFromHits(std::map<int64_t, RecordingHits>& byRecording, std::vector<Pass>& passes)
{
    for (auto& [id, r] : byRecording) {
        std::sort(r.hits.begin(), r.hits.end());
        for (std::size_t i = 0; i < r.hits.size();) {
            Pass pass;
            pass.vehicle = r.vehicle;
            pass.archivePath = r.path;
            pass.firstSecond = r.hits[i].first;
            pass.nearestSecond = r.hits[i].first;
            pass.distanceMetres = r.hits[i].second;
            std::size_t k = i + 1;
            while (k < r.hits.size() && r.hits[k].first == r.hits[k - 1].first + 1) {
                if (r.hits[k].second < pass.distanceMetres) {
                    pass.distanceMetres = r.hits[k].second;
                    pass.nearestSecond = r.hits[k].first;
                }
                ++k;
            }
            pass.lastSecond = r.hits[k - 1].first;
            pass.nearestTime = r.start + pass.nearestSecond;
            passes.push_back(std::move(pass));
            i = k;
        }
    }
    std::sort(passes.begin(), passes.end(), [](const Pass& a, const Pass& b) {
        return std::tie(a.nearestTime, a.vehicle, a.archivePath) <
               std::tie(b.nearestTime, b.vehicle, b.archivePath);
    });
}
