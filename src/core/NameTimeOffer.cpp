#include "core/NameTimeOffer.h"

bool pmNamesDisagreeWithFileDates(const std::vector<NameAndFileTime>& recordings)
{
    std::size_t disagreeing = 0;
    for (const NameAndFileTime& r : recordings) {
        if (!r.nameMsecs || !r.fileMsecs)
            continue;
        // Differences of times far apart must not overflow.
        const int64_t a = *r.nameMsecs, b = *r.fileMsecs;
        const bool apart = a > b ? (b < 0 && a > INT64_MAX + b) || a - b > kNameTimeOfferGapMsecs
                                 : (a < 0 && b > INT64_MAX + a) || b - a > kNameTimeOfferGapMsecs;
        if (apart)
            ++disagreeing;
    }
    return disagreeing * 2 > recordings.size();
}

bool pmShouldOfferNameTimePlacement(bool answeredBefore, bool placingByNames,
                                    const std::vector<NameAndFileTime>& recordings)
{
    return !answeredBefore && !placingByNames && pmNamesDisagreeWithFileDates(recordings);
}
