#pragma once
// Whether to offer placing a folder's recordings by the time in their names.
// A card copied by a tool that keeps no dates gives every file the copy's
// time, so the calendar puts the whole card on one day; the names still say
// when each recording was made. When most recordings of a folder name a real
// time that lies more than a day from their file date, the user is asked
// once whether to place them by their names.
#include <cstdint>
#include <optional>
#include <vector>

struct NameAndFileTime {
    std::optional<int64_t> nameMsecs; // the real time the name states (pmNameTimeMsecs), if any
    std::optional<int64_t> fileMsecs; // the file's modification date, if known
};

// Name and file date more than this far apart count as disagreeing.
inline constexpr int64_t kNameTimeOfferGapMsecs = int64_t(24) * 60 * 60 * 1000;

// More than half of the recordings name a real time more than a day away
// from their file date (a recording without either counts as agreeing).
bool pmNamesDisagreeWithFileDates(const std::vector<NameAndFileTime>& recordings);

// The offer is made once: never after the user answered it, nor while the
// recordings are placed by their names already.
bool pmShouldOfferNameTimePlacement(bool answeredBefore, bool placingByNames,
                                    const std::vector<NameAndFileTime>& recordings);
