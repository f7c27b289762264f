#include "core/TripChain.h"

#include <gtest/gtest.h>

namespace
{

using Rows = std::vector<int>;

// Rows in pairs: front 0 with rear 1, 2 with 3, 4 with 5.
int pairs(int row)
{
    return row >= 0 && row < 6 ? row ^ 1 : -1;
}
int none(int)
{
    return -1;
}
bool all(int)
{
    return true;
}

TEST(TripChainRows, FrontChainsRunOverNeighboursAndTheRearFollowsItsPartners)
{
    const Rows trip{0, 2, 4};
    EXPECT_EQ(pmTripChainFrom(0, trip, all, pairs), (Rows{0, 2, 4}));
    EXPECT_EQ(pmTripChainFrom(2, trip, all, pairs), (Rows{2, 4}));
    EXPECT_EQ(pmRearChain({0, 2, 4}, 1, 6, pairs), (Rows{1, 3, 5}));
    // Opened at its second recording the rear plays its partners from there.
    EXPECT_EQ(pmRearChain({2, 4}, 3, 6, pairs), (Rows{3, 5}));

    // A row between two members that is no partner of either (an event in
    // the drive) ends the chain; so does a member that cannot be played, and
    // one that lies before the row opened.
    EXPECT_EQ(pmTripChainFrom(0, {0, 2, 4}, all, none), (Rows{0}));
    EXPECT_EQ(pmTripChainFrom(0, {0, 1, 3}, all, none), (Rows{0, 1}));
    EXPECT_EQ(pmTripChainFrom(
                  0, trip, [](int row) { return row != 4; }, pairs),
              (Rows{0, 2}));
    EXPECT_EQ(pmTripChainFrom(2, {2, 0}, all, pairs), (Rows{2}));

    // A row outside the trip plays alone; a long trip is cut at the limit.
    EXPECT_EQ(pmTripChainFrom(7, trip, all, pairs), (Rows{7}));
    Rows longTrip;
    for (int row = 0; row < 40; ++row)
        longTrip.push_back(row);
    EXPECT_EQ(pmTripChainFrom(0, longTrip, all, none).size(), kMaxChainRecordings);
    EXPECT_EQ(pmTripChainFrom(0, longTrip, all, none, 3), (Rows{0, 1, 2}));

    // The rear chains only beside its own front, and stops at the first
    // front recording without a partner in the playlist.
    EXPECT_EQ(pmRearChain({0, 2, 4}, 3, 6, pairs), (Rows{3}));
    EXPECT_EQ(pmRearChain({0}, 1, 6, pairs), (Rows{1}));
    EXPECT_EQ(pmRearChain({0, 2, 4}, 1, 4, pairs), (Rows{1, 3}));
    EXPECT_EQ(pmRearChain({0, 2, 8}, 1, 6, pairs), (Rows{1, 3}));
}

} // namespace
