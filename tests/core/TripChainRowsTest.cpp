#include "core/PlayOrder.h"
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

// Next and Prev over front/rear pairs (rows 0+1, 2+3, 4+5): forward skips the
// open rear, back onto a rear row opens its front's pair, and the ends wrap
// only when asked; one camera at a time Next and Prev wrap round.
TEST(TripChainRows, NextAndPreviousStepOverPairsAndWrapOnlyWhenAsked)
{
    const auto rear = [](int row) { return row % 2 == 1; };
    EXPECT_EQ(pmNextPairRow(6, 0, true, true, false, rear, pairs), 2);
    EXPECT_EQ(pmNextPairRow(6, 0, false, true, false, rear, pairs), 1); // no rear open: the next row
    EXPECT_EQ(pmNextPairRow(6, 4, true, true, false, rear, pairs), 4);  // the last pair: nothing opens
    EXPECT_EQ(pmNextPairRow(6, 4, true, true, true, rear, pairs), 0);
    EXPECT_EQ(pmNextPairRow(6, 4, true, false, false, rear, pairs), 2); // back past the rear row 3
    EXPECT_EQ(pmNextPairRow(6, 3, false, false, false, none, none), 2);
    EXPECT_EQ(pmNextPairRow(6, 0, true, false, false, rear, pairs), 0);
    EXPECT_EQ(pmNextPairRow(6, 0, true, false, true, rear, pairs), 5);

    EXPECT_EQ(pmNextPlayRow(3, 2, -1), 0);
    EXPECT_EQ(pmNextPlayRow(3, -1, 1), 2); // nothing current: from the selection
    EXPECT_EQ(pmNextPlayRow(1, 0, 0), -1);
    EXPECT_EQ(pmPrevPlayRow(3, 0, -1), 2);
    EXPECT_EQ(pmPrevPlayRow(3, -1, -1), 2);
    EXPECT_EQ(pmPrevPlayRow(3, 5, -1), -1); // a row past the end (the playlist shrank)

    EXPECT_TRUE(pmIsLastPlayRow(6, 4, true));
    EXPECT_FALSE(pmIsLastPlayRow(6, 4, false));
    EXPECT_TRUE(pmIsLastPlayRow(6, 5, false));
}
