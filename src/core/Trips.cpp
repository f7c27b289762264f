#include "core/Trips.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

namespace
{

bool hasValidPartner(const std::vector<TripEntry>& entries, std::size_t i)
{
    const int p = entries[i].frontPartner;
    if (p < 0 || static_cast<std::size_t>(p) >= entries.size() || static_cast<std::size_t>(p) == i)
        return false;
    // A chain of partners would leave the trip undefined; the partner must stand alone.
    const int pp = entries[static_cast<std::size_t>(p)].frontPartner;
    return pp < 0 || static_cast<std::size_t>(pp) >= entries.size() || pp == p;
}

} // namespace

std::vector<Trip> pmDetectTrips(const std::vector<TripEntry>& entries, int64_t maxGapMs)
{
    const std::size_t n = entries.size();
    std::vector<int> tripOf(n, -1);
    std::vector<Trip> trips;
    // The last chaining recording seen of each camera and type, and whether
    // the last one of that camera and type in the vector was partnered.
    std::map<std::pair<int, int>, int> lastOfKind;

    for (std::size_t i = 0; i < n; ++i) {
        const TripEntry& e = entries[i];
        const std::pair<int, int> kind{e.camera, e.type};
        if (hasValidPartner(entries, i)) {
            // It belongs to its partner's trip and ends the chain of its kind.
            lastOfKind[kind] = -1;
            continue;
        }
        if (!e.startKnown) {
            // When it was recorded is unknown, so nothing can chain to it.
            tripOf[i] = static_cast<int>(trips.size());
            trips.push_back({{static_cast<int>(i)}});
            continue;
        }
        auto last = lastOfKind.find(kind);
        bool chained = false;
        if (last != lastOfKind.end() && last->second >= 0) {
            const TripEntry& prev = entries[static_cast<std::size_t>(last->second)];
            // An unknown codec (a header cut short) decides nothing.
            const bool sameCodec = prev.codec == 0 || e.codec == 0 || prev.codec == e.codec;
            if (prev.durationMs > 0 && sameCodec && e.startMs >= prev.startMs) {
                // Saturating sum: a hostile duration must not wrap to the past.
                const int64_t limit = prev.startMs + std::min<int64_t>(prev.durationMs, INT64_MAX / 4) +
                                      std::max<int64_t>(maxGapMs, 0);
                chained = e.startMs <= limit;
            }
        }
        if (chained) {
            tripOf[i] = tripOf[static_cast<std::size_t>(last->second)];
        } else {
            tripOf[i] = static_cast<int>(trips.size());
            trips.push_back({});
        }
        trips[static_cast<std::size_t>(tripOf[i])].members.push_back(static_cast<int>(i));
        lastOfKind[kind] = static_cast<int>(i);
    }

    // Partnered recordings join their partner's trip.
    for (std::size_t i = 0; i < n; ++i) {
        if (!hasValidPartner(entries, i))
            continue;
        const int t = tripOf[static_cast<std::size_t>(entries[i].frontPartner)];
        tripOf[i] = t;
        std::vector<int>& members = trips[static_cast<std::size_t>(t)].members;
        members.insert(std::upper_bound(members.begin(), members.end(), static_cast<int>(i)),
                       static_cast<int>(i));
    }
    std::sort(trips.begin(), trips.end(),
              [](const Trip& a, const Trip& b) { return a.members.front() < b.members.front(); });
    return trips;
}
