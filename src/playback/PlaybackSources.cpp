#include "playback/PlaybackSources.h"

#include "core/TripChain.h"

std::vector<int> PlaybackSources::tripOf(int row) const
{
    if (row < 0)
        return {};
    std::vector<int> trip = tripMembers ? tripMembers(row) : std::vector<int>();
    if (trip.empty())
        trip.push_back(row);
    return trip;
}

QList<int> PlaybackSources::chainFrom(int row, const QList<AMediaFile>& list, bool gapless) const
{
    if (!gapless || !tripMembers)
        return {row};
    const std::vector<int> rows = pmTripChainFrom(
        row, tripMembers(row),
        [&list](int r) { return r >= 0 && r < list.size() && !list.at(r).URL().isEmpty(); },
        [this](int r) { return partner(r); });
    return QList<int>(rows.begin(), rows.end());
}
