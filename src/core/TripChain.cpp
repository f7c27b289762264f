#include "core/TripChain.h"

#include <algorithm>

std::vector<int> pmTripChainFrom(int row, const std::vector<int>& trip,
                                 const std::function<bool(int)>& playable,
                                 const std::function<int(int)>& partnerOf, std::size_t maxRows)
{
    std::vector<int> rows{row};
    auto at = std::find(trip.begin(), trip.end(), row);
    if (at == trip.end())
        return rows;
    for (++at; at != trip.end() && rows.size() < maxRows; ++at) {
        if (!playable(*at))
            break;
        const int before = rows.back();
        bool next = *at > before;
        for (int between = before + 1; between < *at && next; ++between)
            next = between == partnerOf(before) || between == partnerOf(*at);
        if (!next)
            break;
        rows.push_back(*at);
    }
    return rows;
}

std::vector<int> pmRearChain(const std::vector<int>& front, int rear, int rowCount,
                             const std::function<int(int)>& partnerOf)
{
    std::vector<int> rows{rear};
    if (front.size() < 2 || partnerOf(front.front()) != rear)
        return rows;
    for (std::size_t i = 1; i < front.size(); ++i) {
        const int partner = partnerOf(front[i]);
        if (partner < 0 || partner >= rowCount)
            break;
        rows.push_back(partner);
    }
    return rows;
}
