// When a folder's names and file dates disagree enough to offer placing the
// recordings by their names.
#include "core/NameTimeOffer.h"

#include <gtest/gtest.h>

namespace
{
constexpr int64_t kDay = kNameTimeOfferGapMsecs;
constexpr int64_t kNamed = int64_t(1615797000) * 1000; // a recording's time from its name

NameAndFileTime copied(int64_t later)
{
    return {kNamed, kNamed + later};
}
} // namespace

TEST(NameTimeOffer, MoreThanHalfMoreThanADayApart)
{
    // A card copied a week later: every file carries the copy's date.
    EXPECT_TRUE(pmNamesDisagreeWithFileDates({copied(7 * kDay), copied(7 * kDay)}));
    // Dates kept, or only the time of day off (a camera clock in another zone).
    EXPECT_FALSE(pmNamesDisagreeWithFileDates({copied(0), copied(60000), copied(kDay - 1)}));
    // Exactly a day is not more than a day; either direction counts.
    EXPECT_FALSE(pmNamesDisagreeWithFileDates({copied(kDay)}));
    EXPECT_TRUE(pmNamesDisagreeWithFileDates({copied(-kDay - 1)}));
    // Half is not more than half: recordings without a real time in their
    // names or without a file date count as agreeing.
    EXPECT_FALSE(pmNamesDisagreeWithFileDates({copied(7 * kDay), copied(0)}));
    EXPECT_FALSE(pmNamesDisagreeWithFileDates({copied(7 * kDay), {std::nullopt, kNamed}}));
    EXPECT_FALSE(pmNamesDisagreeWithFileDates({copied(7 * kDay), {kNamed, std::nullopt}}));
    EXPECT_TRUE(pmNamesDisagreeWithFileDates({copied(7 * kDay), copied(3 * kDay), {std::nullopt, kNamed}}));
    EXPECT_FALSE(pmNamesDisagreeWithFileDates({}));
    // Times at the ends of the range do not overflow into agreement.
    EXPECT_TRUE(pmNamesDisagreeWithFileDates({{INT64_MIN, INT64_MAX}, {INT64_MAX, INT64_MIN}}));
}

TEST(NameTimeOffer, OfferedOnceAndNotWhilePlacingByNames)
{
    const std::vector<NameAndFileTime> card = {copied(30 * kDay), copied(30 * kDay)};
    EXPECT_TRUE(pmShouldOfferNameTimePlacement(false, false, card));
    EXPECT_FALSE(pmShouldOfferNameTimePlacement(true, false, card));
    EXPECT_FALSE(pmShouldOfferNameTimePlacement(false, true, card));
    EXPECT_FALSE(pmShouldOfferNameTimePlacement(false, false, {copied(0), copied(0)}));
}
