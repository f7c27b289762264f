#include "core/Trips.h"

#include <gtest/gtest.h>

namespace
{

constexpr int kFront = 1, kRear = 2, kNormal = 0, kEvent = 1;

TripEntry rec(int64_t startS, int64_t durS, int camera = kFront, int type = kNormal, int partner = -1)
{
    TripEntry e;
    e.startMs = startS * 1000;
    e.durationMs = durS * 1000;
    e.camera = camera;
    e.type = type;
    e.frontPartner = partner;
    e.startKnown = true;
    return e;
}

// A recording whose name states no time: its start is only a file date.
TripEntry timeless(int64_t fileDateS, int64_t durS, int camera = kFront, int partner = -1)
{
    TripEntry e = rec(fileDateS, durS, camera, kNormal, partner);
    e.startKnown = false;
    return e;
}

std::vector<std::vector<int>> members(const std::vector<Trip>& trips)
{
    std::vector<std::vector<int>> out;
    for (const Trip& t : trips)
        out.push_back(t.members);
    return out;
}

using M = std::vector<std::vector<int>>;

} // namespace

TEST(Trips, GapsUpToFiveSecondsJoinLongerOnesSplit)
{
    // 60 s recordings: +0 s, +5 s (joins at the limit), +5.001 s (splits).
    std::vector<TripEntry> e{rec(0, 60), rec(60, 60), rec(125, 60)};
    EXPECT_EQ(members(pmDetectTrips(e)), (M{{0, 1, 2}}));
    e[2].startMs = 125001;
    EXPECT_EQ(members(pmDetectTrips(e)), (M{{0, 1}, {2}}));
    // The limit is a parameter.
    EXPECT_EQ(members(pmDetectTrips(e, 0)), (M{{0, 1}, {2}}));
    e[1].startMs = 60001;
    EXPECT_EQ(members(pmDetectTrips(e, 0)), (M{{0}, {1}, {2}}));
    // Overlapping recordings join; one that starts before the previous does not.
    EXPECT_EQ(members(pmDetectTrips({rec(0, 60), rec(50, 60), rec(40, 60)})), (M{{0, 1}, {2}}));
    // An unknown duration cannot prove the drive went on.
    EXPECT_EQ(members(pmDetectTrips({rec(0, 0), rec(1, 60), rec(61, 60)})), (M{{0}, {1, 2}}));
    // Hostile figures do not wrap into a join.
    TripEntry huge = rec(0, 0);
    huge.durationMs = INT64_MAX;
    EXPECT_EQ(members(pmDetectTrips({huge, rec(100000, 60)})).size(), 1u);
    EXPECT_TRUE(pmDetectTrips({}).empty());
}

TEST(Trips, CamerasAndTypesChainApartAndInterleave)
{
    // An event recording between two normal ones of the same drive neither
    // joins them nor breaks their chain; the event forms a trip of its own.
    std::vector<TripEntry> e{rec(0, 60), rec(60, 60, kFront, kEvent), rec(60, 60), rec(120, 60),
                             rec(120, 60, kFront, kEvent)};
    EXPECT_EQ(members(pmDetectTrips(e)), (M{{0, 2, 3}, {1, 4}}));
    // A second camera without partners forms trips among its own recordings.
    std::vector<TripEntry> rearsOnly{rec(0, 60, kRear), rec(0, 60), rec(60, 60, kRear), rec(200, 60, kRear)};
    EXPECT_EQ(members(pmDetectTrips(rearsOnly)), (M{{0, 2}, {1}, {3}}));
    // A change of codec (H.264 to H.265) ends the trip: one timeline, one decoder.
    std::vector<TripEntry> codecs{rec(0, 60), rec(60, 60), rec(120, 60), rec(180, 60)};
    codecs[0].codec = codecs[1].codec = 1;
    codecs[2].codec = codecs[3].codec = 2;
    EXPECT_EQ(members(pmDetectTrips(codecs)), (M{{0, 1}, {2, 3}}));
    codecs[1].codec = 0; // unknown: decides nothing
    EXPECT_EQ(members(pmDetectTrips(codecs)), (M{{0, 1, 2, 3}}));
}

TEST(Trips, RearsFollowTheirFrontPartners)
{
    // Pairs side by side, the rear before or after its front.
    std::vector<TripEntry> e{
        rec(0, 60),   rec(0, 60, kRear, kNormal, 0),  rec(60, 60, kRear, kNormal, 3), rec(60, 60),
        rec(300, 60), rec(300, 60, kRear, kNormal, 4)};
    EXPECT_EQ(members(pmDetectTrips(e)), (M{{0, 1, 2, 3}, {4, 5}}));
    // A rear follows its partner even when its own times would split it.
    e[2].startMs = 999000;
    EXPECT_EQ(members(pmDetectTrips(e)), (M{{0, 1, 2, 3}, {4, 5}}));
    // A missing partner: the rear of the second moment stands alone, and a
    // partnered rear between two partnerless ones ends their chain.
    std::vector<TripEntry> missing{rec(0, 60), rec(0, 60, kRear, kNormal, 0), rec(60, 60, kRear), rec(60, 60),
                                   rec(120, 60, kRear)};
    EXPECT_EQ(members(pmDetectTrips(missing)), (M{{0, 1, 3}, {2, 4}}));
    std::vector<TripEntry> broken{rec(0, 60, kRear), rec(60, 60), rec(60, 60, kRear, kNormal, 1),
                                  rec(120, 60, kRear)};
    EXPECT_EQ(members(pmDetectTrips(broken)), (M{{0}, {1, 2}, {3}}));
    // Bad partner indexes are ignored: out of range, itself, a partnered one.
    EXPECT_EQ(members(pmDetectTrips({rec(0, 60, kRear, kNormal, 7), rec(60, 60, kRear, kNormal, 1)})),
              (M{{0, 1}}));
    std::vector<TripEntry> chain{rec(0, 60), rec(0, 60, kRear, kNormal, 0), rec(60, 60, kRear, kNormal, 1)};
    EXPECT_EQ(members(pmDetectTrips(chain)), (M{{0, 1}, {2}}));
}

TEST(Trips, RecordingsWithoutATimeInTheirNameNeverChain)
{
    // Three copies with one file date, each 20 s: three trips, not one.
    EXPECT_EQ(members(pmDetectTrips({timeless(0, 20), timeless(0, 20), timeless(0, 20)})),
              (M{{0}, {1}, {2}}));
    // Between two recordings of a drive it neither joins nor ends their trip.
    EXPECT_EQ(members(pmDetectTrips({rec(0, 60), timeless(60, 60), rec(60, 60)})), (M{{0, 2}, {1}}));
    // Its rear partner still goes with it.
    EXPECT_EQ(members(pmDetectTrips({timeless(0, 60), timeless(0, 60, kRear, 0), rec(60, 60)})),
              (M{{0, 1}, {2}}));
}
